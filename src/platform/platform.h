// The one narrow interface between the game and the machine: clock, input, the
// visible frame, message boxes, sound, pictures and fonts. Two implementations:
// the SDL one with a real window and clock, and the headless one with a virtual
// clock and scripted input (for tests, tools and acceptance scripts).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/surface.h"

namespace ardo::platform {

// Virtual-key codes of the keys the game polls or handles.
namespace vk {
constexpr int kReturn = 0x0D;
constexpr int kShift = 0x10;
constexpr int kControl = 0x11;
constexpr int kMenu = 0x12;  // Alt
constexpr int kEscape = 0x1B;
constexpr int kSpace = 0x20;
constexpr int kLeft = 0x25;
constexpr int kUp = 0x26;
constexpr int kRight = 0x27;
constexpr int kDown = 0x28;
constexpr int kNumpad2 = 0x62;
constexpr int kNumpad4 = 0x64;
constexpr int kNumpad6 = 0x66;
constexpr int kNumpad8 = 0x68;
constexpr int kSeparator = 0x6C;  // the keypad's Enter
constexpr int kF1 = 0x70;
constexpr int Letter(char c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; }
// More keys a player may bind: digits are '0'-'9', letters 'A'-'Z'.
constexpr int kBack = 0x08;
constexpr int kTab = 0x09;
constexpr int kPageUp = 0x21;
constexpr int kPageDown = 0x22;
constexpr int kEnd = 0x23;
constexpr int kHome = 0x24;
constexpr int kInsert = 0x2D;
constexpr int kDelete = 0x2E;
constexpr int kNumpad0 = 0x60;  // to kNumpad0 + 9
constexpr int kF12 = 0x7B;
// A game controller's button as the key code of its key-down event (see PadButton).
constexpr int kPadBase = 0x100;
constexpr int PadKey(int button) { return kPadBase + button; }
}  // namespace vk

// Game controller buttons, numbered as bits of a PadMap mask and in PadKey codes.
enum PadButton {
  kPadA, kPadB, kPadX, kPadY, kPadBack, kPadGuide, kPadStart, kPadLeftStick, kPadRightStick,
  kPadLeftShoulder, kPadRightShoulder, kPadDpadUp, kPadDpadDown, kPadDpadLeft, kPadDpadRight,
  kPadButtonCount
};
constexpr std::uint32_t PadBit(PadButton b) { return 1u << b; }

// Which controller buttons make the pad's button 1 (cancel, the menu), button 2
// (choose, talk), button 3 (dash) and the four directions (the left stick always
// steers too). The game sets it from the player's key bindings.
struct PadMap {
  std::uint32_t cancel = PadBit(kPadB) | PadBit(kPadStart);
  std::uint32_t choose = PadBit(kPadA);
  std::uint32_t dash = PadBit(kPadX) | PadBit(kPadY);
  std::uint32_t up = PadBit(kPadDpadUp);
  std::uint32_t down = PadBit(kPadDpadDown);
  std::uint32_t left = PadBit(kPadDpadLeft);
  std::uint32_t right = PadBit(kPadDpadRight);
};

// Shift-state bits of key and mouse events.
constexpr int kShiftMask = 1;
constexpr int kCtrlMask = 2;
constexpr int kAltMask = 4;

// Mouse buttons.
constexpr int kMouseLeft = 1;
constexpr int kMouseRight = 2;
constexpr int kMouseMiddle = 4;

// Joystick capability and position records (axis ranges 0..65535).
struct JoyCaps {
  std::uint32_t x_min = 0, x_max = 0, y_min = 0, y_max = 0;
};
struct JoyPos {
  std::uint32_t x = 0, y = 0, z = 0, buttons = 0;  // buttons: bit 0 = button 1, ...
};
constexpr int kJoyErrUnplugged = 167;  // the classic "joystick unplugged" result
constexpr int kJoyErrNoDriver = 6;

// Window events, delivered only from PumpEvents (the game's event points).
// Mouse coordinates are relative to the field view.
class WindowEvents {
 public:
  virtual ~WindowEvents() = default;
  virtual void OnClose() = 0;
  virtual void OnKeyDown(int key, int shift) = 0;
  virtual void OnMouseDown(int button, int shift, int x, int y) = 0;
  virtual void OnMouseMove(int button, int shift, int x, int y) = 0;
  virtual void OnMouseUp(int button, int shift, int x, int y) = 0;
  virtual void OnDblClick() = 0;
};

enum class MsgBoxKind { kOk, kOkCancelQuestion };
enum class MsgBoxResult { kOk, kCancel };
// The label of a question box's cancel button, in the game's language ("キャンセル" at first).
void SetMessageBoxCancelLabel(const std::string& label);

// Background music (one tune at a time) and sound effects.
class Audio {
 public:
  virtual ~Audio() = default;
  // Opens a tune file as the current tune (closing any tune still open). False when it
  // can't. (The window's player reads the file on its audio thread, so a tune change costs
  // the frame nothing: there a file that can't be played is refused, said once, and silent.)
  virtual bool OpenMusic(const std::string& path) = 0;
  virtual void PlayMusic() = 0;            // plays or resumes the open tune
  virtual void RestartMusic() = 0;         // plays the open tune from its beginning
  virtual void StopMusic() = 0;            // pauses; play resumes
  virtual void CloseMusic() = 0;
  virtual bool MusicStopped() = 0;         // true when a tune is open and not playing
  // Plays a WAV effect asynchronously. no_interrupt: leave an effect already playing alone.
  virtual void PlaySound(const std::string& path, bool no_interrupt) = 0;
  // Master volumes in percent (0-100) for the music and the effects.
  virtual void SetVolumes(int music_percent, int effects_percent) {}
};

// Audio that plays nothing and remembers what it was asked: the headless back-end.
// A tune "plays" until FinishMusic() says it ran to its end.
class RecordingAudio final : public Audio {
 public:
  struct State {
    std::string music_path;  // the open tune, empty when none
    bool playing = false;
    int opens = 0;
    int restarts = 0;
    std::vector<std::string> sounds;  // every effect played, in order
    std::vector<std::string> log;     // every request, in order
    int music_volume = 100;           // the master volumes last set
    int effects_volume = 100;
  };
  bool OpenMusic(const std::string& path) override;
  void PlayMusic() override;
  void RestartMusic() override;
  void StopMusic() override;
  void CloseMusic() override;
  bool MusicStopped() override;
  void PlaySound(const std::string& path, bool no_interrupt) override;
  void SetVolumes(int music_percent, int effects_percent) override {
    state_.music_volume = music_percent;
    state_.effects_volume = effects_percent;
  }
  void FinishMusic() { state_.playing = false; }
  const State& state() const { return state_; }
  void Reset() { state_ = State{}; }

 private:
  State state_;
};

// Scripted control of the headless platform (tests and the --script harness).
class HeadlessControl {
 public:
  virtual ~HeadlessControl() = default;
  virtual void SetKey(int key, bool down) = 0;
  virtual void ReleaseAllKeys() = 0;
  virtual void SetPad(bool connected, std::uint32_t x, std::uint32_t y, std::uint32_t buttons) = 0;
  virtual void QueueKeyDown(int key, int shift) = 0;
  virtual void QueueMouse(int button, int x, int y, bool double_click) = 0;
  virtual void QueueClose() = 0;
  // One mouse event of the window as it comes (a press, a move or a release; shift as in key events).
  enum class MouseEvent { kDown, kMove, kUp };
  virtual void QueueMouseEvent(MouseEvent kind, int button, int shift, int x, int y) = 0;
  virtual void QueueMessageBoxAnswer(MsgBoxResult r) = 0;
  // Called at every event point (each PumpEvents), before events are delivered.
  virtual void SetEventPointHook(std::function<void()> hook) = 0;
  // Message boxes shown so far (text), for tests.
  virtual const std::vector<std::string>& message_boxes() const = 0;
  virtual void AdvanceTime(std::uint32_t ms) = 0;
  // While on, only AdvanceTime moves the clock: sleeping and idling leave it (a replay sets the time).
  virtual void FollowScriptClock(bool on) = 0;
  // Text typed into the focused text box (the console text channel).
  virtual void TypeText(const std::string& text) = 0;
  // Full-screen requests fail from now on, as on a desktop without a window manager.
  virtual void RefuseFullScreen(bool refuse) = 0;
};

// The debug console's own window (the desktop platform's; a headless run has none).
// The game draws its contents; the platform shows them and sends what is typed into
// it to the console text channel (Enter as '\r', Backspace as '\b'), never to the game.
constexpr int kConsoleWidth = 392;
constexpr int kConsoleHeight = 300;
class ConsoleWindow {
 public:
  virtual ~ConsoleWindow() = default;
  // Shows it (again) with the keyboard focus. False when no window can be opened.
  virtual bool Open() = 0;
  virtual bool IsOpen() const = 0;  // false once the player closed it
  virtual bool HasFocus() const = 0;
  virtual void Present(const Surface& contents) = 0;  // kConsoleWidth x kConsoleHeight
  // The IME's composition under way (UTF-8), shown at the caret until it is finished.
  virtual const std::string& Composition() const = 0;
  virtual void GiveFocusToGame() = 0;
  // The oldest left click in the window not yet taken, in the contents' pixels.
  virtual bool TakeClick(int* /*x*/, int* /*y*/) { return false; }
};

class Platform {
 public:
  virtual ~Platform() = default;

  // Clock: milliseconds since start; Sleep advances it (at once, when virtual).
  virtual std::uint32_t TimeGetTime() = 0;
  virtual void Sleep(std::uint32_t ms) = 0;
  // Waits until something arrives (input, a window event) or ms have passed, whichever
  // is first. Virtual time has scripted input on any millisecond, so there (the
  // default) it is always one millisecond's sleep, the grain of the old message pump.
  virtual void IdleUpTo(std::uint32_t ms) { Sleep(1); }
  // One pass of the event pump: pending window events go to the sink.
  virtual void PumpEvents() = 0;
  void SetEventSink(WindowEvents* sink) { sink_ = sink; }

  // Input.
  virtual bool KeyHeld(int key) = 0;
  // The controller buttons behind the pad's buttons and directions (JoyGetPos).
  // A controller button press is also delivered as a key-down of vk::PadKey(button).
  virtual void SetPadMap(const PadMap& map) {}
  virtual int JoyGetDevCaps(JoyCaps* caps) = 0;  // 0 on success
  virtual int JoyGetPos(JoyPos* pos) = 0;        // 0 on success

  // Display: shows a finished frame (366 x 366 windowed, 640 x 480 full screen).
  virtual void Present(const Surface& frame) = 0;
  // Switches the display to full screen (640 x 480 canvas) or back. False when it failed.
  virtual bool SetFullScreenMode(bool full) = 0;
  virtual void MoveWindowBy(int dx, int dy) = 0;
  virtual void Minimize() = 0;
  virtual void SetPointer(int shape) = 0;  // 0 default, 15 size-all
  virtual void SetCaption(const std::string& caption) = 0;
  virtual MsgBoxResult MessageBox(const std::string& text, const std::string& caption,
                                  MsgBoxKind kind) = 0;

  virtual Audio& audio() = 0;

  // The console text channel: the text typed since the last call (UTF-8), then empty.
  std::string TakeTypedText() {
    std::string t;
    t.swap(typed_);
    return t;
  }

  // Non-null only for the headless platform.
  virtual HeadlessControl* headless() { return nullptr; }
  // The debug console's window; null when there is no desktop.
  virtual ConsoleWindow* console_window() { return nullptr; }

  // Keys held down by the program itself (the autopilot's hands): KeyHeld counts them
  // as held on every platform, beside the real keyboard.
  void InjectKey(int key, bool down);
  void ReleaseInjectedKeys() { injected_.clear(); }
  bool KeyInjected(int key) const;

 protected:
  WindowEvents* sink_ = nullptr;
  std::string typed_;
  std::vector<int> injected_;
};

// Options for creating a platform.
struct PlatformOptions {
  bool headless = false;
  int scale = 0;               // 0: choose from the desktop size
  std::string font_path;       // empty: the system's IPAGothic
  bool audio = true;           // headless always records instead of playing
  std::string title = "ardo";  // the window's title until the game sets its caption
  std::string icon_path;       // the window's icon (a PNG); empty or unreadable: none
};

// Creates the platform; on failure returns null and sets error to one clear line.
std::unique_ptr<Platform> CreatePlatform(const PlatformOptions& options, std::string* error);

// The platform the game runs on (set once by the program or a test).
Platform& GetPlatform();
void SetPlatform(Platform* platform);

// Pictures (PNG and the other formats SDL_image reads). Null and an error line on failure.
// With max_side > 0 only a PNG whose header claims at most max_side pixels each way is
// decoded, so a damaged or hostile file can't ask for gigabytes. Anything that is not a
// plain file is refused before it is opened.
std::shared_ptr<Surface> LoadPicture(const std::string& path, std::string* error, int max_side = 0);
bool SavePng(const Surface& surface, const std::string& path, std::string* error);

// Composes the visible frame: the form's background, the field view at its position,
// and the visible window surfaces (positioned relative to the view and clipped to it)
// in z-order.
void ComposeFrame(Color form_back, int form_width, int form_height, const Surface& view,
                  const std::vector<const Surface*>& windows, Surface* out);

}  // namespace ardo::platform
