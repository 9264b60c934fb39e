// The session recorder (--record FILE): a session written as a harness script that
// replays it headless, exactly. While it records, the game reads the machine through
// a recording platform that samples everything the game can read (the clock, the held
// keys, the pad, typed text) once per event point and holds it until the next one, and
// writes each change together with the event point it came at:
//
//   tick MS...            one number per event point: the clock moved on by MS there
//                         (DxN: N event points of D ms each)
//   keys +NAME -NAME...   keys held from this event point on / let go
//   pad X Y BUTTONS       the pad's stick and buttons (pad off: unplugged)
//   event ...             a window event delivered at this event point (key, mouse, close)
//   type TEXT / typehex   text typed
//   answer ok|cancel      how a message box was answered
//   fullscreen allow|refuse  whether a request for full screen was granted
//
// The replay sets the same inputs at the same event points and the virtual clock to the
// same times, so the game takes the same path. The debug console lives in the game
// window while recording, as it does headless.
#include <deque>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/bindings.h"
#include "drivers/drivers.h"

namespace ardo {

namespace {

namespace vk = platform::vk;

// The harness's names of the keys; any other key is written vkN (its code).
struct NamedKey {
  const char* name;
  int key;
};
constexpr NamedKey kKeyNames[] = {
    {"up", vk::kUp},        {"down", vk::kDown},     {"left", vk::kLeft},     {"right", vk::kRight},
    {"space", vk::kSpace},  {"enter", vk::kReturn},  {"shift", vk::kShift},   {"escape", vk::kEscape},
    {"kp2", vk::kNumpad2},  {"kp4", vk::kNumpad4},   {"kp6", vk::kNumpad6},   {"kp8", vk::kNumpad8},
};

std::string KeyWord(int key) {
  for (const NamedKey& k : kKeyNames) {
    if (k.key == key) return k.name;
  }
  if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) {
    return std::string(1, static_cast<char>(key >= 'A' && key <= 'Z' ? key - 'A' + 'a' : key));
  }
  return "vk" + std::to_string(key);
}

// Text goes as `type` when the line keeps it whole, else as hex bytes.
std::string TypedLine(const std::string& text) {
  bool plain = text.find("\\n") == std::string::npos && text.front() != ' ' && text.back() != ' ';
  for (unsigned char ch : text) plain = plain && ch >= 0x20 && ch != 0x7f;
  if (plain) return "type " + text;
  static const char* kHex = "0123456789abcdef";
  std::string line = "typehex ";
  for (unsigned char ch : text) {
    line += kHex[ch >> 4];
    line += kHex[ch & 15];
  }
  return line;
}

class RecordingPlatform final : public platform::Platform, private platform::WindowEvents {
 public:
  RecordingPlatform(platform::Platform& inner, std::ofstream out)
      : inner_(inner), out_(std::move(out)), base_(inner.TimeGetTime()) {
    inner_.SetEventSink(this);
    // The keys the game asks about; any other key is watched from the first time it is asked.
    for (const auto& keys : CurrentBindings().keys) {
      for (const KeyInput& k : keys) Watch(k.key);
    }
    for (int k : {vk::kShift, vk::kControl, vk::kMenu}) Watch(k);
  }
  ~RecordingPlatform() override { inner_.SetEventSink(nullptr); }

  void Close() {
    Write("quit");
    out_.flush();
  }

  // Clock: the time of the last event point.
  std::uint32_t TimeGetTime() override { return now_; }
  void Sleep(std::uint32_t ms) override { inner_.Sleep(ms); }
  void IdleUpTo(std::uint32_t ms) override { inner_.IdleUpTo(ms); }

  void PumpEvents() override {
    now_ = inner_.TimeGetTime() - base_;
    inner_.PumpEvents();  // the window's events come to OnKeyDown and the rest below, and queue
    // A replay being recorded again sets its clock inside the pump.
    now_ = inner_.TimeGetTime() - base_;
    AddTick(now_ - ticked_);
    ticked_ = now_;
    for (Watched& w : keys_) {
      const bool down = inner_.KeyHeld(w.key);
      if (down != w.down) changes_ += (down ? " +" : " -") + KeyWord(w.key);
      w.down = down;
    }
    if (!changes_.empty()) Write("keys" + std::exchange(changes_, ""));
    platform::JoyPos pos;
    const bool pad = inner_.JoyGetPos(&pos) == 0;
    if (pad != pad_ || (pad && (pos.x != pos_.x || pos.y != pos_.y || pos.buttons != pos_.buttons))) {
      Write(pad ? "pad " + std::to_string(pos.x) + " " + std::to_string(pos.y) + " " + std::to_string(pos.buttons)
                : std::string("pad off"));
    }
    pad_ = pad;
    if (pad) pos_ = pos;
    if (std::string text = inner_.TakeTypedText(); !text.empty()) {
      Write(TypedLine(text));
      typed_ += text;
    }
    for (const std::string& line : event_lines_) Write(line);
    event_lines_.clear();
    out_.flush();
    // Events go to the game one by one; an event point inside one (a battle run from the
    // console) delivers the rest, as the headless platform does.
    while (!events_.empty() && sink_ != nullptr) {
      const Event e = events_.front();
      events_.pop_front();
      switch (e.kind) {
        case Event::kKey: sink_->OnKeyDown(e.button, e.shift); break;
        case Event::kDown: sink_->OnMouseDown(e.button, e.shift, e.x, e.y); break;
        case Event::kMove: sink_->OnMouseMove(e.button, e.shift, e.x, e.y); break;
        case Event::kUp: sink_->OnMouseUp(e.button, e.shift, e.x, e.y); break;
        case Event::kDouble: sink_->OnDblClick(); break;
        case Event::kClose: sink_->OnClose(); break;
      }
    }
  }

  bool KeyHeld(int key) override {
    if (KeyInjected(key)) return true;
    for (const Watched& w : keys_) {
      if (w.key == key) return w.down;
    }
    Watch(key);  // up until the next event point, where it is read (and the replay sets it)
    return false;
  }
  void SetPadMap(const platform::PadMap& map) override { inner_.SetPadMap(map); }
  int JoyGetDevCaps(platform::JoyCaps* caps) override {
    if (!pad_) return platform::kJoyErrUnplugged;
    *caps = platform::JoyCaps{0, 65535, 0, 65535};
    return 0;
  }
  int JoyGetPos(platform::JoyPos* pos) override {
    if (!pad_) return platform::kJoyErrUnplugged;
    *pos = pos_;
    return 0;
  }

  void Present(const platform::Surface& frame) override { inner_.Present(frame); }
  bool SetFullScreenMode(bool full) override {
    const bool ok = inner_.SetFullScreenMode(full);
    if (full && ok == refused_) {
      refused_ = !ok;
      Write(refused_ ? "fullscreen refuse" : "fullscreen allow");
    }
    return ok;
  }
  void MoveWindowBy(int dx, int dy) override { inner_.MoveWindowBy(dx, dy); }
  void Minimize() override { inner_.Minimize(); }
  void SetPointer(int shape) override { inner_.SetPointer(shape); }
  void SetCaption(const std::string& caption) override { inner_.SetCaption(caption); }
  platform::MsgBoxResult MessageBox(const std::string& text, const std::string& caption,
                                    platform::MsgBoxKind kind) override {
    const platform::MsgBoxResult r = inner_.MessageBox(text, caption, kind);
    Write(r == platform::MsgBoxResult::kOk ? "answer ok" : "answer cancel");
    out_.flush();
    return r;
  }
  platform::Audio& audio() override { return inner_.audio(); }
  platform::HeadlessControl* headless() override { return inner_.headless(); }

 private:
  struct Event {
    enum Kind { kKey, kDown, kMove, kUp, kDouble, kClose } kind;
    int button = 0, shift = 0, x = 0, y = 0;
  };
  struct Watched {
    int key;
    bool down;
  };

  // The window's events, as the inner platform delivers them.
  void OnKeyDown(int key, int shift) override {
    Queue({Event::kKey, key, shift}, "event key " + KeyWord(key) + " " + std::to_string(shift));
  }
  void OnMouseDown(int button, int shift, int x, int y) override { Mouse(Event::kDown, "down", button, shift, x, y); }
  void OnMouseMove(int button, int shift, int x, int y) override {
    // A move with no button held does nothing in the game.
    if (button != 0) Mouse(Event::kMove, "move", button, shift, x, y);
  }
  void OnMouseUp(int button, int shift, int x, int y) override { Mouse(Event::kUp, "up", button, shift, x, y); }
  void OnDblClick() override { Queue({Event::kDouble}, "event double"); }
  void OnClose() override { Queue({Event::kClose}, "event close"); }

  void Mouse(Event::Kind kind, const char* word, int button, int shift, int x, int y) {
    Queue({kind, button, shift, x, y}, std::string("event ") + word + " " + std::to_string(button) + " " +
                                           std::to_string(shift) + " " + std::to_string(x) + " " + std::to_string(y));
  }
  void Queue(const Event& e, std::string line) {
    events_.push_back(e);
    event_lines_.push_back(std::move(line));
  }

  void Watch(int key) {
    for (const Watched& w : keys_) {
      if (w.key == key) return;
    }
    keys_.push_back({key, false});
  }

  // Ticks gather on one line until something else has to be written.
  void AddTick(std::uint32_t ms) {
    if (!ticks_.empty() && ticks_.back().ms == ms) {
      ++ticks_.back().count;
    } else {
      if (ticks_.size() >= 16) FlushTicks();
      ticks_.push_back({ms, 1});
    }
  }
  void FlushTicks() {
    if (ticks_.empty()) return;
    std::string line = "tick";
    for (const Tick& t : ticks_) {
      line += " " + std::to_string(t.ms);
      if (t.count > 1) line += "x" + std::to_string(t.count);
    }
    ticks_.clear();
    out_ << line << "\n";
  }
  void Write(const std::string& line) {
    FlushTicks();
    out_ << line << "\n";
  }

  struct Tick {
    std::uint32_t ms;
    std::uint32_t count;
  };

  platform::Platform& inner_;
  std::ofstream out_;
  std::uint32_t base_;
  std::uint32_t now_ = 0;
  std::uint32_t ticked_ = 0;  // the time of the last tick written
  std::vector<Tick> ticks_;
  std::vector<Watched> keys_;
  std::string changes_;
  bool pad_ = false;
  platform::JoyPos pos_;
  bool refused_ = false;
  std::deque<Event> events_;
  std::vector<std::string> event_lines_;
};

std::unique_ptr<RecordingPlatform> g_recorder;
platform::Platform* g_recorded = nullptr;

}  // namespace

bool StartRecording(const std::string& path, const std::string& options, std::string* error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "# ardo:" << options << "\n"
      << "# A recorded session: replay it with  ardo --headless" << options << " --script " << path << "\n";
  if (!out) {
    *error = path + ": cannot write the recording";
    return false;
  }
  g_recorded = &platform::GetPlatform();
  g_recorder = std::make_unique<RecordingPlatform>(*g_recorded, std::move(out));
  platform::SetPlatform(g_recorder.get());
  return true;
}

void StopRecording() {
  if (!g_recorder) return;
  g_recorder->Close();
  platform::SetPlatform(g_recorded);
  g_recorder.reset();
  g_recorded = nullptr;
}

}  // namespace ardo
