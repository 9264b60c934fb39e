// The headless platform: no window and no sound card, a virtual clock that jumps
// when slept on, and input set by a script or a test.
#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <set>
#include <utility>

#include "platform/font.h"
#include "platform/headless_captions.h"
#include "platform/platform.h"

namespace ardo::platform {

bool RecordingAudio::OpenMusic(const std::string& path) {
  state_.log.push_back("open " + path);
  if (!std::filesystem::exists(path)) {
    state_.music_path.clear();
    state_.playing = false;
    return false;
  }
  state_.music_path = path;
  state_.playing = false;
  ++state_.opens;
  return true;
}

void RecordingAudio::PlayMusic() {
  state_.log.push_back("play");
  if (!state_.music_path.empty()) state_.playing = true;
}

void RecordingAudio::RestartMusic() {
  state_.log.push_back("play from 0");
  if (!state_.music_path.empty()) {
    state_.playing = true;
    ++state_.restarts;
  }
}

void RecordingAudio::StopMusic() {
  state_.log.push_back("stop");
  state_.playing = false;
}

void RecordingAudio::CloseMusic() {
  state_.log.push_back("close");
  state_.playing = false;
  state_.music_path.clear();
}

bool RecordingAudio::MusicStopped() { return !state_.music_path.empty() && !state_.playing; }

void RecordingAudio::PlaySound(const std::string& path, bool no_interrupt) {
  state_.log.push_back(std::string(no_interrupt ? "sound-nowait " : "sound ") + path);
  state_.sounds.push_back(path);
}

void Platform::InjectKey(int key, bool down) {
  auto at = std::find(injected_.begin(), injected_.end(), key);
  if (down && at == injected_.end()) injected_.push_back(key);
  if (!down && at != injected_.end()) injected_.erase(at);
}

bool Platform::KeyInjected(int key) const {
  return std::find(injected_.begin(), injected_.end(), key) != injected_.end();
}

namespace {

class HeadlessPlatform final : public Platform, public HeadlessControl {
 public:
  explicit HeadlessPlatform(std::string title) : caption_(std::move(title)) {}
  std::uint32_t TimeGetTime() override { return now_; }
  void Sleep(std::uint32_t ms) override {
    if (!follow_script_clock_) now_ += ms;
  }
  void AdvanceTime(std::uint32_t ms) override { now_ += ms; }
  void FollowScriptClock(bool on) override { follow_script_clock_ = on; }

  void PumpEvents() override {
    if (hook_) hook_();
    while (!events_.empty() && sink_ != nullptr) {
      Event e = events_.front();
      events_.pop_front();
      switch (e.kind) {
        case Event::kKey:
          sink_->OnKeyDown(e.a, e.b);
          break;
        case Event::kMouse:
          if (e.dbl) {
            sink_->OnDblClick();
          } else {
            sink_->OnMouseDown(e.a, 0, e.x, e.y);
            sink_->OnMouseUp(e.a, 0, e.x, e.y);
          }
          break;
        case Event::kClose:
          sink_->OnClose();
          break;
        case Event::kMouseDown:
          sink_->OnMouseDown(e.a, e.b, e.x, e.y);
          break;
        case Event::kMouseMove:
          sink_->OnMouseMove(e.a, e.b, e.x, e.y);
          break;
        case Event::kMouseUp:
          sink_->OnMouseUp(e.a, e.b, e.x, e.y);
          break;
      }
    }
  }

  bool KeyHeld(int key) override { return keys_.count(key) != 0 || KeyInjected(key); }
  int JoyGetDevCaps(JoyCaps* caps) override {
    if (!pad_connected_) return kJoyErrUnplugged;
    *caps = JoyCaps{0, 65535, 0, 65535};
    return 0;
  }
  int JoyGetPos(JoyPos* pos) override {
    if (!pad_connected_) return kJoyErrUnplugged;
    *pos = pad_;
    return 0;
  }

  void Present(const Surface&) override { ++presents_; }
  bool SetFullScreenMode(bool full) override {
    if (full && refuse_full_screen_) return false;
    full_ = full;
    return true;
  }
  void RefuseFullScreen(bool refuse) override { refuse_full_screen_ = refuse; }
  void MoveWindowBy(int, int) override {}
  void Minimize() override {}
  void SetPointer(int) override {}
  void SetCaption(const std::string& caption) override { caption_ = caption; }
  MsgBoxResult MessageBox(const std::string& text, const std::string& caption, MsgBoxKind kind) override {
    boxes_.push_back(text);
    box_captions_.push_back(caption);
    if (!answers_.empty()) {
      MsgBoxResult r = answers_.front();
      answers_.pop_front();
      return kind == MsgBoxKind::kOk ? MsgBoxResult::kOk : r;
    }
    return kind == MsgBoxKind::kOk ? MsgBoxResult::kOk : MsgBoxResult::kCancel;
  }
  Audio& audio() override { return audio_; }
  HeadlessControl* headless() override { return this; }

  // HeadlessControl
  void SetKey(int key, bool down) override {
    if (down) {
      keys_.insert(key);
    } else {
      keys_.erase(key);
    }
  }
  void ReleaseAllKeys() override {
    keys_.clear();
    pad_.buttons = 0;
    pad_.x = pad_.y = 32767;
  }
  void SetPad(bool connected, std::uint32_t x, std::uint32_t y, std::uint32_t buttons) override {
    pad_connected_ = connected;
    pad_.x = x;
    pad_.y = y;
    pad_.buttons = buttons;
  }
  void QueueKeyDown(int key, int shift) override { events_.push_back({Event::kKey, key, shift, 0, 0, false}); }
  void QueueMouse(int button, int x, int y, bool dbl) override {
    events_.push_back({Event::kMouse, button, 0, x, y, dbl});
  }
  void QueueClose() override { events_.push_back({Event::kClose, 0, 0, 0, 0, false}); }
  void QueueMouseEvent(MouseEvent kind, int button, int shift, int x, int y) override {
    const Event::Kind k = kind == MouseEvent::kDown ? Event::kMouseDown
                          : kind == MouseEvent::kMove ? Event::kMouseMove
                                                      : Event::kMouseUp;
    events_.push_back({k, button, shift, x, y, false});
  }
  void QueueMessageBoxAnswer(MsgBoxResult r) override { answers_.push_back(r); }
  void TypeText(const std::string& text) override { typed_ += text; }
  void SetEventPointHook(std::function<void()> hook) override { hook_ = std::move(hook); }
  const std::vector<std::string>& message_boxes() const override { return boxes_; }
  const std::vector<std::string>& message_box_captions() const { return box_captions_; }
  const std::string& window_caption() const { return caption_; }

 private:
  struct Event {
    enum Kind { kKey, kMouse, kClose, kMouseDown, kMouseMove, kMouseUp } kind;
    int a, b, x, y;
    bool dbl;
  };
  std::uint32_t now_ = 0;
  std::set<int> keys_;
  bool pad_connected_ = false;
  JoyPos pad_{32767, 32767, 0, 0};
  std::deque<Event> events_;
  std::deque<MsgBoxResult> answers_;
  std::vector<std::string> boxes_;
  std::vector<std::string> box_captions_;
  std::string caption_;
  std::function<void()> hook_;
  RecordingAudio audio_;
  bool full_ = false;
  bool refuse_full_screen_ = false;
  bool follow_script_clock_ = false;
  long presents_ = 0;
};

}  // namespace

const std::string* HeadlessWindowCaption(Platform& p) {
  auto* h = dynamic_cast<HeadlessPlatform*>(&p);
  return h != nullptr ? &h->window_caption() : nullptr;
}

const std::vector<std::string>* HeadlessMessageBoxCaptions(Platform& p) {
  auto* h = dynamic_cast<HeadlessPlatform*>(&p);
  return h != nullptr ? &h->message_box_captions() : nullptr;
}

std::unique_ptr<Platform> CreateHeadlessPlatform(const PlatformOptions& options, std::string* error) {
  if (!InitFont(options.font_path, error)) return nullptr;
  return std::make_unique<HeadlessPlatform>(options.title);
}

}  // namespace ardo::platform
