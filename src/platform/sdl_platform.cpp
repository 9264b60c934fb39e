// The desktop platform: an SDL window showing the composed frame at an integer
// scale, the real clock, keyboard and game controller, and SDL_mixer for sound.
#include <SDL.h>
#include <SDL_mixer.h>
#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <mutex>
#include <vector>

#include "platform/debug_window.h"
#include "platform/display_scale.h"
#include "platform/font.h"
#include "platform/frame_gate.h"
#include "platform/msgbox.h"
#include "platform/music_player.h"
#include "platform/platform.h"
#include "platform/sdl_extras.h"
#include "platform/window_display.h"

namespace ardo::platform {

std::unique_ptr<Platform> CreateHeadlessPlatform(const PlatformOptions& options, std::string* error);

namespace {

Platform* g_platform = nullptr;

// ---------------------------------------------------------------------------
// Sound through SDL_mixer: WAV effects on mixer channels, and the music fed into
// SDL_mixer's music stream by our own player, which decodes the tunes (Ogg Vorbis
// rendered at build time, each with its loop) on the audio thread: opening a tune never
// holds the game's frame, and a tune loops without a seam (see MusicPlayer).
class MixerAudio final : public Audio {
 public:
  ~MixerAudio() override { Shutdown(); }

  // Opens the device. On any failure the game runs silent; the reason is said once.
  void Start() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
      std::fprintf(stderr, "ardo: no audio device (%s); running silent\n", SDL_GetError());
      return;
    }
    // 1024 frames keep an effect within about 25 ms of its call. The mix is always at the
    // tunes' own rate and in stereo; SDL converts it for a device that differs.
    if (Mix_OpenAudioDevice(MusicPlayer::kRate, AUDIO_S16SYS, 2, 1024, nullptr, 0) != 0) {
      std::fprintf(stderr, "ardo: cannot open the audio device (%s); running silent\n", Mix_GetError());
      return;
    }
    Mix_AllocateChannels(8);
    open_ = true;
    Mix_Volume(-1, effects_volume_);
    StartMusic();
  }

  void Shutdown() {
    if (!open_) return;
    CloseMusic();
    Mix_HaltChannel(-1);
    for (auto& [path, chunk] : chunks_) Mix_FreeChunk(chunk);
    chunks_.clear();
    Mix_CloseAudio();  // no more calls of RenderMusic after this
    music_.Shutdown();
    Mix_Quit();
    open_ = false;
  }

  // The music never waits on the decoder: see MusicPlayer.
  bool OpenMusic(const std::string& path) override { return music_.Open(path); }
  void PlayMusic() override { music_.Play(); }
  void RestartMusic() override { music_.Restart(); }
  void StopMusic() override { music_.Stop(); }
  void CloseMusic() override { music_.Close(); }
  bool MusicStopped() override { return music_.Stopped(); }
  void SetVolumes(int music_percent, int effects_percent) override {
    music_.SetVolume(music_percent);
    effects_volume_ = MIX_MAX_VOLUME * std::clamp(effects_percent, 0, 100) / 100;
    if (open_) Mix_Volume(-1, effects_volume_);
  }
  void PlaySound(const std::string& path, bool no_interrupt) override {
    if (!open_) return;
    if (no_interrupt && Mix_Playing(-1) > 0) return;
    Mix_Chunk* chunk = nullptr;
    if (auto it = chunks_.find(path); it != chunks_.end()) {
      chunk = it->second;
    } else {
      chunk = Mix_LoadWAV(path.c_str());
      if (chunk == nullptr) {
        if (missing_.insert({path, true}).second) {
          std::fprintf(stderr, "ardo: %s: cannot open sound: %s\n", path.c_str(), Mix_GetError());
        }
        return;
      }
      Mix_VolumeChunk(chunk, kEffectVolume);
      chunks_[path] = chunk;
    }
    // One effect at a time, as the old sound call did: a new one cuts the last.
    Mix_HaltChannel(0);
    Mix_PlayChannel(0, chunk, 0);
  }

 private:
  // The effects at full volume: each one is levelled in its source to sit a few dB
  // above the music (see assets/sound/README.md).
  static constexpr int kEffectVolume = 128;

  void StartMusic() {
    int freq = 0;
    Uint16 format = 0;
    int channels = 0;
    if (Mix_QuerySpec(&freq, &format, &channels) == 0 || format != AUDIO_S16SYS || channels < 1 ||
        freq != MusicPlayer::kRate) {
      std::fprintf(stderr, "ardo: the audio device's format can't take the music; music is silent\n");
      return;
    }
    music_.Start();
    channels_ = channels;
    Mix_HookMusic(&MixerAudio::RenderMusic, this);
  }

  // The music stream, on SDL's audio thread.
  static void SDLCALL RenderMusic(void* self, Uint8* stream, int len) {
    auto* audio = static_cast<MixerAudio*>(self);
    audio->music_.Render(reinterpret_cast<Sint16*>(stream), len / static_cast<int>(sizeof(Sint16)),
                         audio->channels_);
  }

  bool open_ = false;
  MusicPlayer music_;
  int effects_volume_ = MIX_MAX_VOLUME;
  int channels_ = 2;
  std::map<std::string, Mix_Chunk*> chunks_;
  std::map<std::string, bool> missing_;
};

// ---------------------------------------------------------------------------
SDL_Scancode ScancodeFor(int key, SDL_Scancode* second) {
  *second = SDL_SCANCODE_UNKNOWN;
  if (key >= 'A' && key <= 'Z') return static_cast<SDL_Scancode>(SDL_SCANCODE_A + (key - 'A'));
  switch (key) {
    case vk::kUp: return SDL_SCANCODE_UP;
    case vk::kDown: return SDL_SCANCODE_DOWN;
    case vk::kLeft: return SDL_SCANCODE_LEFT;
    case vk::kRight: return SDL_SCANCODE_RIGHT;
    case vk::kNumpad2: return SDL_SCANCODE_KP_2;
    case vk::kNumpad4: return SDL_SCANCODE_KP_4;
    case vk::kNumpad6: return SDL_SCANCODE_KP_6;
    case vk::kNumpad8: return SDL_SCANCODE_KP_8;
    case vk::kSpace: return SDL_SCANCODE_SPACE;
    case vk::kReturn: *second = SDL_SCANCODE_KP_ENTER; return SDL_SCANCODE_RETURN;
    case vk::kShift: *second = SDL_SCANCODE_RSHIFT; return SDL_SCANCODE_LSHIFT;
    case vk::kControl: *second = SDL_SCANCODE_RCTRL; return SDL_SCANCODE_LCTRL;
    case vk::kMenu: *second = SDL_SCANCODE_RALT; return SDL_SCANCODE_LALT;
    case vk::kEscape: return SDL_SCANCODE_ESCAPE;
    default: return ExtraScancodeFor(key);
  }
}

int KeyFor(SDL_Keysym sym) {
  const SDL_Scancode sc = sym.scancode;
  if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) return 'A' + (sc - SDL_SCANCODE_A);
  switch (sc) {
    case SDL_SCANCODE_UP: return vk::kUp;
    case SDL_SCANCODE_DOWN: return vk::kDown;
    case SDL_SCANCODE_LEFT: return vk::kLeft;
    case SDL_SCANCODE_RIGHT: return vk::kRight;
    case SDL_SCANCODE_RETURN: return vk::kReturn;
    case SDL_SCANCODE_KP_ENTER: return vk::kSeparator;
    case SDL_SCANCODE_SPACE: return vk::kSpace;
    case SDL_SCANCODE_ESCAPE: return vk::kEscape;
    case SDL_SCANCODE_KP_2: return vk::kNumpad2;
    case SDL_SCANCODE_KP_4: return vk::kNumpad4;
    case SDL_SCANCODE_KP_6: return vk::kNumpad6;
    case SDL_SCANCODE_KP_8: return vk::kNumpad8;
    default: return ExtraKeyFor(sc);
  }
}

int ShiftOf(Uint16 mod) {
  int s = 0;
  if (mod & KMOD_SHIFT) s |= kShiftMask;
  if (mod & KMOD_CTRL) s |= kCtrlMask;
  if (mod & KMOD_ALT) s |= kAltMask;
  return s;
}

int ButtonOf(Uint8 b) {
  switch (b) {
    case SDL_BUTTON_LEFT: return kMouseLeft;
    case SDL_BUTTON_RIGHT: return kMouseRight;
    case SDL_BUTTON_MIDDLE: return kMouseMiddle;
    default: return 0;
  }
}

class SdlPlatform final : public Platform {
 public:
  ~SdlPlatform() override {
    audio_.Shutdown();
    CloseController();
    console_.reset();
    display_.reset();
    if (window_) SDL_DestroyWindow(window_);
    SDL_Quit();
  }

  bool Start(const PlatformOptions& options, std::string* error) {
#if defined(__GLIBC__)
    // Blocks of a megabyte and more (pictures, decoded images, the scaled window) are
    // mapped each on its own and given back to the system when freed. Left to itself the
    // allocator raises this line to the largest block freed so far, after which pictures
    // come from its heap, and what they leave there when freed (the title's, at a new
    // game) stays resident while the field's buffers are put elsewhere: the game's memory
    // rose by steps it never used again. Frames and the field's back buffer stay below
    // the line, so walking, which takes and gives back those, maps nothing.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_GAMECONTROLLER | SDL_INIT_JOYSTICK) != 0) {
      if (error) *error = std::string("cannot open the display: ") + SDL_GetError();
      return false;
    }
    if (!InitFont(options.font_path, error)) return false;
    scale_ = options.scale;
    if (scale_ <= 0) scale_ = ChooseScale();
    window_ = SDL_CreateWindow(options.title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 366 * scale_,
                               366 * scale_, SDL_WINDOW_SHOWN);
    if (window_ == nullptr) {
      if (error) *error = std::string("cannot open the game window: ") + SDL_GetError();
      return false;
    }
    SetWindowIconFrom(window_, options.icon_path);
    display_ = std::make_unique<WindowDisplay>();
    if (!display_->Open(window_, error)) return false;
    SDL_ShowCursor(SDL_ENABLE);
    if (options.audio) audio_.Start();
    start_ = SDL_GetTicks64();
    OpenFirstController();
    return true;
  }

  std::uint32_t TimeGetTime() override { return static_cast<std::uint32_t>(SDL_GetTicks64() - start_); }
  void Sleep(std::uint32_t ms) override { SDL_Delay(ms); }
  // Sleeps until an event is waiting or ms have passed: a still game wakes once a frame,
  // not once a millisecond.
  void IdleUpTo(std::uint32_t ms) override {
    if (ms > 0) SDL_WaitEventTimeout(nullptr, static_cast<int>(std::min<std::uint32_t>(ms, 1000)));
  }

  void PumpEvents() override {
    pumped_at_ = SDL_GetTicks64();
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
      if (console_) {  // the debug window's events are the console's
        const SdlConsoleWindow::Routed r = console_->Route(e, &typed_);
        if (r == SdlConsoleWindow::Routed::kGameClosed && sink_) sink_->OnClose();
        if (r != SdlConsoleWindow::Routed::kNotMine) continue;
      }
      switch (e.type) {
        case SDL_QUIT:
          if (sink_) sink_->OnClose();
          break;
        case SDL_TEXTINPUT:
          typed_ += e.text.text;
          break;
        case SDL_CONTROLLERBUTTONDOWN:
          // A button bound to a key action (full screen) acts as that key's key-down.
          if (sink_) sink_->OnKeyDown(vk::PadKey(e.cbutton.button), 0);
          break;
        case SDL_KEYDOWN:
          if (!e.key.repeat && sink_) {
            const int key = KeyFor(e.key.keysym);
            if (key != 0) sink_->OnKeyDown(key, ShiftOf(e.key.keysym.mod));
          }
          break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
        case SDL_MOUSEMOTION:
          DeliverMouse(e);
          break;
        default:
          HandleSystemEvent(e);
          break;
      }
    }
  }

  // Pads plugged in or out and the window uncovered, wherever the event is read.
  void HandleSystemEvent(const SDL_Event& e) {
    switch (e.type) {
      case SDL_CONTROLLERDEVICEADDED:
      case SDL_JOYDEVICEADDED:
        if (controller_ == nullptr && joystick_ == nullptr) OpenFirstController();
        break;
      case SDL_CONTROLLERDEVICEREMOVED:
      case SDL_JOYDEVICEREMOVED:
        CloseController();
        OpenFirstController();
        break;
      case SDL_WINDOWEVENT:
        // The desktop lost the picture (uncovered, restored, resized): show the last frame again.
        if (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_RESTORED ||
            e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
          display_->Redraw(last_frame_);
        }
        break;
      default:
        break;
    }
  }

  bool KeyHeld(int key) override {
    if (KeyInjected(key)) return true;
    // Pumping first makes a key count in the very frame it was pressed; once a
    // millisecond is enough for all the keys a poll asks about.
    if (const Uint64 now = SDL_GetTicks64(); now != pumped_at_) {
      SDL_PumpEvents();
      pumped_at_ = now;
    }
    if (console_ && console_->OwnsKeyboard()) return false;  // typing into the debug window
    SDL_Scancode second;
    const SDL_Scancode first = ScancodeFor(key, &second);
    const Uint8* state = SDL_GetKeyboardState(nullptr);
    return (first != SDL_SCANCODE_UNKNOWN && state[first]) || (second != SDL_SCANCODE_UNKNOWN && state[second]);
  }

  int JoyGetDevCaps(JoyCaps* caps) override {
    if (controller_ == nullptr && joystick_ == nullptr) return kJoyErrUnplugged;
    *caps = JoyCaps{0, 65535, 0, 65535};
    return 0;
  }

  int JoyGetPos(JoyPos* pos) override {
    SDL_GameControllerUpdate();
    if (controller_ != nullptr) {
      SDL_GameController* c = controller_;
      int x = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTX) + 32768;
      int y = SDL_GameControllerGetAxis(c, SDL_CONTROLLER_AXIS_LEFTY) + 32768;
      // The buttons as the player bound them (PadMap; by default the d-pad walks, B or
      // Start is button 1 (cancel, the menu), A button 2 (choose, talk), X or Y button 3 (dash)).
      std::uint32_t held = 0;
      for (int i = 0; i < kPadButtonCount; ++i) {
        if (SDL_GameControllerGetButton(c, static_cast<SDL_GameControllerButton>(i))) held |= 1u << i;
      }
      if (held & pad_map_.left) x = 0;
      if (held & pad_map_.right) x = 65535;
      if (held & pad_map_.up) y = 0;
      if (held & pad_map_.down) y = 65535;
      std::uint32_t b = 0;
      if (held & pad_map_.cancel) b |= 1;
      if (held & pad_map_.choose) b |= 2;
      if (held & pad_map_.dash) b |= 4;
      *pos = JoyPos{static_cast<std::uint32_t>(std::clamp(x, 0, 65535)),
                    static_cast<std::uint32_t>(std::clamp(y, 0, 65535)), 32767, b};
      return 0;
    }
    if (joystick_ != nullptr) {
      SDL_JoystickUpdate();
      const int x = SDL_JoystickGetAxis(joystick_, 0) + 32768;
      const int y = SDL_JoystickGetAxis(joystick_, 1) + 32768;
      std::uint32_t b = 0;
      const int n = std::min(SDL_JoystickNumButtons(joystick_), 12);
      for (int i = 0; i < n; ++i) {
        if (SDL_JoystickGetButton(joystick_, i)) b |= 1u << i;
      }
      *pos = JoyPos{static_cast<std::uint32_t>(std::clamp(x, 0, 65535)),
                    static_cast<std::uint32_t>(std::clamp(y, 0, 65535)), 32767, b};
      return 0;
    }
    return kJoyErrUnplugged;
  }

  void SetPadMap(const PadMap& map) override { pad_map_ = map; }

  void Present(const Surface& frame) override {
    // A frame the same as the one on the screen is not shown again, and of one that
    // differs only the rows that changed go to the display.
    int first = 0, end = 0;
    if (frame.empty() || !shown_.Admit(frame, &first, &end)) return;
    Show(shown_.last(), first, end);  // the same picture, all its own pixels
  }

  void Show(const Surface& frame, int first = 0, int end = -1) {
    if (frame.width() != shown_w_ || frame.height() != shown_h_) {
      shown_w_ = frame.width();
      shown_h_ = frame.height();
      if (!full_) SDL_SetWindowSize(window_, shown_w_ * scale_, shown_h_ * scale_);
      display_->Invalidate();
    }
    display_->Show(frame, first, end < 0 ? frame.height() : end);
    if (!first_shown_) {
      first_shown_ = true;
      // For bench/first_frame.sh: the wall clock when the first frame reached the window.
      if (std::getenv("ARDO_FIRST_FRAME") != nullptr) {
        timespec now{}, cpu{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
        std::fprintf(stderr, "ardo: first frame at %lld.%09ld after %.1f ms of CPU\n", static_cast<long long>(now.tv_sec),
                     now.tv_nsec, static_cast<double>(cpu.tv_sec) * 1e3 + static_cast<double>(cpu.tv_nsec) / 1e6);
      }
    }
  }

  bool SetFullScreenMode(bool full) override {
#ifdef __EMSCRIPTEN__
    // In a browser the page goes full screen (web/ardo-pre.js; the key or click that asked
    // for it lets it) and scales the picture; the game only shows its 640 x 480 one.
    EM_ASM({ if (Module.ardoFullScreen) Module.ardoFullScreen($0); }, full ? 1 : 0);
    shown_.Repaint();
    return true;
#endif
    // Full screen uses the desktop's own mode; the 640 x 480 canvas is scaled to fit
    // with letterbox bars, so the desktop resolution never changes.
    if (full && !full_) {
      SDL_GetWindowPosition(window_, &windowed_.x, &windowed_.y);
      SDL_GetWindowSize(window_, &windowed_.w, &windowed_.h);
    }
    if (SDL_SetWindowFullscreen(window_, full ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) return false;
    if (full && !CoversItsDisplay()) {
      // Nothing made the window full screen (no window manager, say): it stays a window.
      SDL_SetWindowFullscreen(window_, 0);
      RestoreWindowedPlace();
      return false;
    }
    if (!full && full_) RestoreWindowedPlace();
    full_ = full;
    shown_w_ = shown_h_ = 0;  // the window's size and the picture's place are settled at the next present
    shown_.Repaint();
    return true;
  }

  // Whether the window has come to cover its display; a window manager may take a
  // moment to grant the request.
  bool CoversItsDisplay() {
    SDL_Rect bounds;
    const int display = SDL_GetWindowDisplayIndex(window_);
    if (display < 0 || SDL_GetDisplayBounds(display, &bounds) != 0) return true;  // nothing to compare with
    for (int tries = 0; tries < 25; ++tries) {
      SDL_PumpEvents();
      int w = 0, h = 0;
      ActualWindowSize(window_, &w, &h);
      if (w >= bounds.w && h >= bounds.h) return true;
      SDL_Delay(10);
    }
    return false;
  }

  // Back where the window was before full screen, at its size.
  void RestoreWindowedPlace() {
    if (windowed_.w <= 0 || windowed_.h <= 0) return;
    SDL_SetWindowSize(window_, windowed_.w, windowed_.h);
    SDL_SetWindowPosition(window_, windowed_.x, windowed_.y);
  }

  void MoveWindowBy(int dx, int dy) override {
    if (full_) return;
    int x, y;
    SDL_GetWindowPosition(window_, &x, &y);
    SDL_SetWindowPosition(window_, x + dx * scale_, y + dy * scale_);
  }
  void Minimize() override { SDL_MinimizeWindow(window_); }
  void SetPointer(int shape) override {
    SDL_Cursor* c = SDL_CreateSystemCursor(shape == 15 ? SDL_SYSTEM_CURSOR_SIZEALL : SDL_SYSTEM_CURSOR_ARROW);
    if (c) SDL_SetCursor(c);
    if (cursor_) SDL_FreeCursor(cursor_);
    cursor_ = c;
  }
  void SetCaption(const std::string& caption) override { SDL_SetWindowTitle(window_, caption.c_str()); }

  // The box is drawn by the game over its last frame, in its own font, and answered
  // here: nothing else of the game runs until it is.
  MsgBoxResult MessageBox(const std::string& text, const std::string& caption, MsgBoxKind kind) override {
    if (last_frame_.empty()) last_frame_ = Surface(366, 366, Rgb(0, 0, 255));  // before the first frame
    DrawnMessageBox box(text, caption, kind, last_frame_.width(), last_frame_.height());
    Surface shown;
    bool dirty = true;
    bool closed = false;
    while (!box.answered()) {
      if (dirty) {
        shown = last_frame_;
        box.Draw(&shown);
        Show(shown);
        dirty = false;
      }
      SDL_Event e;
      if (SDL_WaitEventTimeout(&e, 100) == 0) continue;
      dirty = true;
      if (console_) {  // the debug window's typing waits for the console; its keys never answer the box
        const SdlConsoleWindow::Routed r = console_->Route(e, &typed_);
        if (r == SdlConsoleWindow::Routed::kGameClosed) {
          e.type = SDL_QUIT;
        } else if (r != SdlConsoleWindow::Routed::kNotMine) {
          continue;
        }
      }
      switch (e.type) {
        case SDL_QUIT:
          closed = true;  // answered as a cancel; the game sees the close afterwards
          box.KeyDown(vk::kEscape);
          break;
        case SDL_KEYDOWN:
          if (!e.key.repeat) box.KeyDown(KeyFor(e.key.keysym));
          break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
          if (e.button.button == SDL_BUTTON_LEFT) {
            float lx = 0, ly = 0;
            display_->WindowToFrame(e.button.x, e.button.y, &lx, &ly);
            if (e.type == SDL_MOUSEBUTTONDOWN) {
              box.MouseDown(static_cast<int>(lx), static_cast<int>(ly));
            } else {
              box.MouseUp(static_cast<int>(lx), static_cast<int>(ly));
            }
          }
          break;
        case SDL_CONTROLLERBUTTONDOWN:
          switch (e.cbutton.button) {
            case SDL_CONTROLLER_BUTTON_A: box.KeyDown(vk::kReturn); break;
            case SDL_CONTROLLER_BUTTON_B: box.KeyDown(vk::kEscape); break;
            case SDL_CONTROLLER_BUTTON_DPAD_LEFT: box.KeyDown(vk::kLeft); break;
            case SDL_CONTROLLER_BUTTON_DPAD_RIGHT: box.KeyDown(vk::kRight); break;
            default: break;
          }
          break;
        default:
          HandleSystemEvent(e);
          break;
      }
    }
    if (closed) {
      SDL_Event quit{};
      quit.type = SDL_QUIT;
      SDL_PushEvent(&quit);
    }
    // The key that answered is released while the box is gone: forget held keys.
    SDL_ResetKeyboard();
    Show(last_frame_);
    return box.result();
  }

  Audio& audio() override { return audio_; }
  ConsoleWindow* console_window() override {
    if (!console_) console_ = std::make_unique<SdlConsoleWindow>(window_, scale_);
    return console_.get();
  }

 private:
  int ChooseScale() {
    SDL_Rect usable{0, 0, 1280, 720};
    SDL_GetDisplayUsableBounds(0, &usable);
    // The largest of 1x-4x whose window (with a caption bar) fits the desktop comfortably.
    for (int s = 4; s >= 2; --s) {
      if (366 * s <= usable.w * 9 / 10 && 366 * s + 40 <= usable.h * 95 / 100) return s;
    }
    return 366 * 2 <= usable.h ? 2 : 1;
  }

  void DeliverMouse(const SDL_Event& e) {
    if (sink_ == nullptr) return;
    int wx = e.type == SDL_MOUSEMOTION ? e.motion.x : e.button.x;
    int wy = e.type == SDL_MOUSEMOTION ? e.motion.y : e.button.y;
    float lx = 0, ly = 0;
    display_->WindowToFrame(wx, wy, &lx, &ly);
    // Coordinates relative to the field view.
    const int vx = static_cast<int>(lx) - (full_ ? 140 : 3);
    const int vy = static_cast<int>(ly) - (full_ ? 60 : 3);
    const int shift = ShiftOf(SDL_GetModState());
    if (e.type == SDL_MOUSEMOTION) {
      int b = 0;
      if (e.motion.state & SDL_BUTTON_LMASK) b |= kMouseLeft;
      if (e.motion.state & SDL_BUTTON_RMASK) b |= kMouseRight;
      // Dragging moves the window, so report motion in screen-stable units.
      sink_->OnMouseMove(b, shift, vx, vy);
      return;
    }
    if (vx < 0 || vy < 0 || vx >= 360 || vy >= 360) return;
    const int b = ButtonOf(e.button.button);
    if (b == 0) return;
    if (e.type == SDL_MOUSEBUTTONDOWN) {
      if (e.button.clicks == 2 && b == kMouseLeft) {
        sink_->OnDblClick();
      } else {
        sink_->OnMouseDown(b, shift, vx, vy);
      }
    } else {
      sink_->OnMouseUp(b, shift, vx, vy);
    }
  }

  void OpenFirstController() {
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
      if (SDL_IsGameController(i)) {
        controller_ = SDL_GameControllerOpen(i);
        if (controller_) return;
      }
    }
    if (SDL_NumJoysticks() > 0) joystick_ = SDL_JoystickOpen(0);
  }
  void CloseController() {
    if (controller_) SDL_GameControllerClose(controller_);
    if (joystick_) SDL_JoystickClose(joystick_);
    controller_ = nullptr;
    joystick_ = nullptr;
  }

  SDL_Window* window_ = nullptr;
  std::unique_ptr<WindowDisplay> display_;
  SDL_Cursor* cursor_ = nullptr;
  SDL_GameController* controller_ = nullptr;
  SDL_Joystick* joystick_ = nullptr;
  bool first_shown_ = false;
  int shown_w_ = 0, shown_h_ = 0;  // the size of the frame on the screen
  FrameGate shown_;
  Surface& last_frame_ = shown_.last();  // what a message box is drawn over
  Uint64 pumped_at_ = ~Uint64{0};
  PadMap pad_map_;
  int scale_ = 2;
  bool full_ = false;
  SDL_Rect windowed_{0, 0, 0, 0};  // the window's place and size before full screen
  Uint64 start_ = 0;
  MixerAudio audio_;
  std::unique_ptr<SdlConsoleWindow> console_;
};

}  // namespace

std::unique_ptr<Platform> CreatePlatform(const PlatformOptions& options, std::string* error) {
  if (options.headless) return CreateHeadlessPlatform(options, error);
  auto p = std::make_unique<SdlPlatform>();
  if (!p->Start(options, error)) return nullptr;
  return p;
}

Platform& GetPlatform() { return *g_platform; }
void SetPlatform(Platform* platform) { g_platform = platform; }

}  // namespace ardo::platform
