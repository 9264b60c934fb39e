// The desktop platform: an SDL window showing the composed frame at an integer
// scale, the real clock, keyboard and game controller, and SDL_mixer for sound.
#include <SDL.h>
#include <SDL_mixer.h>
#include <fluidsynth.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <vector>

#include "platform/font.h"
#include "platform/msgbox.h"
#include "platform/music_synth.h"
#include "platform/platform.h"

namespace ardo::platform {

std::unique_ptr<Platform> CreateHeadlessPlatform(const PlatformOptions& options, std::string* error);

namespace {

Platform* g_platform = nullptr;

// ---------------------------------------------------------------------------
// Sound through SDL_mixer: WAV effects on mixer channels, and the music from one
// FluidSynth synthesiser fed into SDL_mixer's music stream. The synthesiser loads the
// soundfont once, so opening a tune only reads a small MIDI file; SDL_mixer's own MIDI
// player loads the soundfont again for every tune (12 to 150 ms here, a visible
// hitch), keeps a halted tune at the place it stopped, and reports a tune as playing
// for seconds after its last note.
class MixerAudio final : public Audio {
 public:
  ~MixerAudio() override { Shutdown(); }

  // Opens the device. On any failure the game runs silent; the reason is said once.
  void Start(const std::string& soundfont) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
      std::fprintf(stderr, "ardo: no audio device (%s); running silent\n", SDL_GetError());
      return;
    }
    std::string note;
    const std::string sf =
        ChooseSoundFont(soundfont.empty() ? SoundFontOverride() : soundfont, SoundFontCandidates(), &note);
    if (!note.empty()) std::fprintf(stderr, "ardo: %s\n", note.c_str());
    // 1024 frames keep an effect within about 25 ms of its call.
    if (Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 1024) != 0) {
      std::fprintf(stderr, "ardo: cannot open the audio device (%s); running silent\n", Mix_GetError());
      return;
    }
    Mix_AllocateChannels(8);
    open_ = true;
    if (sf.empty()) return;
    StartSynth(sf);
  }

  void Shutdown() {
    if (!open_) return;
    CloseMusic();
    Mix_HaltChannel(-1);
    for (auto& [path, chunk] : chunks_) Mix_FreeChunk(chunk);
    chunks_.clear();
    Mix_CloseAudio();  // no more calls of RenderMusic after this
    if (synth_ != nullptr) delete_fluid_synth(synth_);
    if (settings_ != nullptr) delete_fluid_settings(settings_);
    synth_ = nullptr;
    settings_ = nullptr;
    Mix_Quit();
    open_ = false;
  }

  bool OpenMusic(const std::string& path) override {
    CloseMusic();
    if (synth_ == nullptr) return false;
    std::vector<char> bytes;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
      char buffer[8192];
      std::size_t n = 0;
      while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0 && bytes.size() < kMaxMidiBytes) {
        bytes.insert(bytes.end(), buffer, buffer + n);
      }
      std::fclose(f);
    }
    if (bytes.size() < 14 || std::memcmp(bytes.data(), "MThd", 4) != 0) {
      std::fprintf(stderr, "ardo: %s: cannot open music: not a MIDI file\n", path.c_str());
      return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    // A new tune starts from a synthesiser without the last tune's programs and controllers.
    fluid_synth_system_reset(synth_);
    midi_ = std::move(bytes);
    music_path_ = path;
    if (!NewPlayer()) {
      std::fprintf(stderr, "ardo: %s: cannot open music\n", path.c_str());
      midi_.clear();
      return false;
    }
    return true;
  }
  void PlayMusic() override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (player_ == nullptr) return;
    if (AtEnd()) {
      NewPlayer();  // it ran out: from the beginning
    } else if (fluid_player_get_status(player_) == FLUID_PLAYER_PLAYING) {
      return;
    }
    if (player_ != nullptr) fluid_player_play(player_);  // starts, or resumes where stopped
    paused_ = false;
  }
  void RestartMusic() override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (player_ == nullptr) return;
    // The last notes ring on into the new start, as a loop should sound.
    if (NewPlayer()) fluid_player_play(player_);
    paused_ = false;
  }
  void StopMusic() override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (player_ == nullptr || fluid_player_get_status(player_) != FLUID_PLAYER_PLAYING) return;
    fluid_player_stop(player_);  // keeps its place: play resumes
    paused_ = true;
    fluid_synth_all_notes_off(synth_, -1);
  }
  void CloseMusic() override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (player_ == nullptr) return;
    fluid_player_stop(player_);
    delete_fluid_player(player_);
    player_ = nullptr;
    midi_.clear();
    fluid_synth_all_notes_off(synth_, -1);
  }
  bool MusicStopped() override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (player_ == nullptr) return false;
    if (!paused_ && fluid_player_get_status(player_) == FLUID_PLAYER_DONE &&
        fluid_player_get_total_ticks(player_) <= 0) {
      // The synthesiser refused the file when it began to play it. Restarting would
      // only be refused again, every frame: the tune is closed and stays silent.
      std::fprintf(stderr, "ardo: %s: the synthesiser can't play this music; silent\n", music_path_.c_str());
      delete_fluid_player(player_);
      player_ = nullptr;
      midi_.clear();
      return false;
    }
    return fluid_player_get_status(player_) != FLUID_PLAYER_PLAYING || AtEnd();
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
  static constexpr std::size_t kMaxMidiBytes = 4 << 20;

  void StartSynth(const std::string& sf) {
    int freq = 0;
    Uint16 format = 0;
    int channels = 0;
    if (Mix_QuerySpec(&freq, &format, &channels) == 0 || format != AUDIO_S16SYS || channels < 1) {
      std::fprintf(stderr, "ardo: the audio device's format can't take the music; music is silent\n");
      return;
    }
    settings_ = NewMusicSettings(freq);
    if (settings_ == nullptr) return;
    synth_ = new_fluid_synth(settings_);
    if (synth_ == nullptr || fluid_synth_sfload(synth_, sf.c_str(), 1) == FLUID_FAILED) {
      std::fprintf(stderr, "ardo: %s: cannot load the soundfont; music is silent\n", sf.c_str());
      if (synth_ != nullptr) delete_fluid_synth(synth_);
      delete_fluid_settings(settings_);
      synth_ = nullptr;
      settings_ = nullptr;
      return;
    }
    channels_ = channels;
    stereo_.resize(2 * 4096);
    Mix_HookMusic(&MixerAudio::RenderMusic, this);
  }

  // A fresh player of the open tune, at its beginning. Called with mutex_ held.
  bool NewPlayer() {
    if (player_ != nullptr) delete_fluid_player(player_);
    player_ = new_fluid_player(synth_);
    if (player_ != nullptr && fluid_player_add_mem(player_, midi_.data(), midi_.size()) != FLUID_OK) {
      delete_fluid_player(player_);
      player_ = nullptr;
    }
    return player_ != nullptr;
  }
  // The last event of the tune has been played (the player itself says so only
  // seconds later). Called with mutex_ held.
  bool AtEnd() {
    const int total = fluid_player_get_total_ticks(player_);
    return total > 0 && fluid_player_get_current_tick(player_) >= total;
  }

  // The music stream, on SDL's audio thread.
  static void SDLCALL RenderMusic(void* self, Uint8* stream, int len) {
    static_cast<MixerAudio*>(self)->Render(reinterpret_cast<Sint16*>(stream),
                                            len / static_cast<int>(sizeof(Sint16)));
  }
  void Render(Sint16* out, int samples) {
    std::lock_guard<std::mutex> lock(mutex_);
    const int frames = samples / channels_;
    const bool playing = player_ != nullptr && fluid_player_get_status(player_) == FLUID_PLAYER_PLAYING;
    if (!playing && fluid_synth_get_active_voice_count(synth_) == 0) {
      std::memset(out, 0, static_cast<std::size_t>(samples) * sizeof(Sint16));
      return;
    }
    if (channels_ == 2) {
      fluid_synth_write_s16(synth_, frames, out, 0, 2, out, 1, 2);
      return;
    }
    if (stereo_.size() < static_cast<std::size_t>(2 * frames)) stereo_.resize(2 * frames);
    fluid_synth_write_s16(synth_, frames, stereo_.data(), 0, 2, stereo_.data(), 1, 2);
    for (int f = 0; f < frames; ++f) {
      const Sint16 l = stereo_[2 * f];
      const Sint16 r = stereo_[2 * f + 1];
      Sint16* frame = out + f * channels_;
      if (channels_ == 1) {
        frame[0] = static_cast<Sint16>((l + r) / 2);
      } else {
        frame[0] = l;
        frame[1] = r;
        for (int c = 2; c < channels_; ++c) frame[c] = 0;
      }
    }
  }

  bool open_ = false;
  // The music: touched by the game and by the audio thread, always under mutex_.
  std::mutex mutex_;
  fluid_settings_t* settings_ = nullptr;
  fluid_synth_t* synth_ = nullptr;
  fluid_player_t* player_ = nullptr;
  std::vector<char> midi_;  // the open tune's file
  std::string music_path_;
  bool paused_ = false;  // stopped by StopMusic, not by the end of the tune
  int channels_ = 2;
  std::vector<Sint16> stereo_;
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
    default: return SDL_SCANCODE_UNKNOWN;
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
    default: return 0;
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
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (window_) SDL_DestroyWindow(window_);
    SDL_Quit();
  }

  bool Start(const PlatformOptions& options, std::string* error) {
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_GAMECONTROLLER | SDL_INIT_JOYSTICK) != 0) {
      if (error) *error = std::string("cannot open the display: ") + SDL_GetError();
      return false;
    }
    if (!InitFont(options.font_path, error)) return false;
    scale_ = options.scale;
    if (scale_ <= 0) scale_ = ChooseScale();
    window_ = SDL_CreateWindow("ardo", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 366 * scale_,
                               366 * scale_, SDL_WINDOW_SHOWN);
    if (window_ == nullptr) {
      if (error) *error = std::string("cannot open the game window: ") + SDL_GetError();
      return false;
    }
    renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED);
    if (renderer_ == nullptr) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (renderer_ == nullptr) {
      if (error) *error = std::string("cannot draw into the game window: ") + SDL_GetError();
      return false;
    }
    SDL_ShowCursor(SDL_ENABLE);
    if (options.audio) audio_.Start(options.soundfont_path);
    start_ = SDL_GetTicks64();
    OpenFirstController();
    return true;
  }

  std::uint32_t TimeGetTime() override { return static_cast<std::uint32_t>(SDL_GetTicks64() - start_); }
  void Sleep(std::uint32_t ms) override { SDL_Delay(ms); }

  void PumpEvents() override {
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
      switch (e.type) {
        case SDL_QUIT:
          if (sink_) sink_->OnClose();
          break;
        case SDL_TEXTINPUT:
          typed_ += e.text.text;
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
          Redraw();
        }
        break;
      default:
        break;
    }
  }

  bool KeyHeld(int key) override {
    if (KeyInjected(key)) return true;
    // Pumping first makes a key count in the very frame it was pressed.
    SDL_PumpEvents();
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
      if (SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_LEFT)) x = 0;
      if (SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_RIGHT)) x = 65535;
      if (SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_UP)) y = 0;
      if (SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_DPAD_DOWN)) y = 65535;
      std::uint32_t b = 0;
      // Button 1 cancels and opens the menu, button 2 confirms and talks, button 3 dashes.
      if (SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_B) ||
          SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_START))
        b |= 1;
      if (SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_A)) b |= 2;
      if (SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_X) ||
          SDL_GameControllerGetButton(c, SDL_CONTROLLER_BUTTON_Y))
        b |= 4;
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

  void Present(const Surface& frame) override {
    if (frame.empty()) return;
    last_frame_ = frame;  // what a message box is drawn over
    Show(frame);
  }

  void Show(const Surface& frame) {
    if (texture_ == nullptr || tex_w_ != frame.width() || tex_h_ != frame.height()) {
      if (texture_) SDL_DestroyTexture(texture_);
      texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING,
                                   frame.width(), frame.height());
      tex_w_ = frame.width();
      tex_h_ = frame.height();
      SDL_RenderSetLogicalSize(renderer_, tex_w_, tex_h_);
      SDL_RenderSetIntegerScale(renderer_, full_ ? SDL_FALSE : SDL_TRUE);
      if (!full_) SDL_SetWindowSize(window_, tex_w_ * scale_, tex_h_ * scale_);
    }
    SDL_UpdateTexture(texture_, nullptr, frame.pixels().data(), frame.width() * 4);
    Redraw();
  }

  void Redraw() {
    if (texture_ == nullptr) return;
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    SDL_RenderPresent(renderer_);
  }

  bool SetFullScreenMode(bool full) override {
    // Full screen uses the desktop's own mode; the 640 x 480 canvas is scaled to fit
    // with letterbox bars, so the desktop resolution never changes.
    if (SDL_SetWindowFullscreen(window_, full ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) return false;
    full_ = full;
    tex_w_ = tex_h_ = 0;  // re-create the texture and logical size at the next present
    return true;
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
            SDL_RenderWindowToLogical(renderer_, e.button.x, e.button.y, &lx, &ly);
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
    SDL_RenderWindowToLogical(renderer_, wx, wy, &lx, &ly);
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
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  SDL_Cursor* cursor_ = nullptr;
  SDL_GameController* controller_ = nullptr;
  SDL_Joystick* joystick_ = nullptr;
  int tex_w_ = 0, tex_h_ = 0;
  Surface last_frame_;
  int scale_ = 2;
  bool full_ = false;
  Uint64 start_ = 0;
  MixerAudio audio_;
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
