// The message box drawn by the game: a caption strip, the text, and OK (with Cancel
// for a question) in the colours of the game's own windows.
#include "platform/msgbox.h"

#include <algorithm>

namespace ardo::platform {

namespace {

constexpr Color kBody = Rgb(0, 0, 128);
constexpr Color kStrip = Rgb(0, 0, 255);
constexpr Color kInk = Rgb(255, 255, 255);
constexpr int kLine = 20;     // text line height
constexpr int kPad = 12;      // space inside the frame
constexpr int kStripH = 22;   // caption strip
constexpr int kButtonH = 24;
constexpr int kButtonGap = 16;

const TextStyle kStyle{16, true};

// The UTF-8 text cut into its characters.
std::vector<std::string> Characters(const std::string& s) {
  std::vector<std::string> out;
  for (size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    out.push_back(s.substr(i, n));
    i += n;
  }
  return out;
}

int TextWidth(const std::string& s) {
  FontRenderer* font = GetFontRenderer();
  int w = 0;
  for (const std::string& ch : Characters(s)) {
    w += font != nullptr ? font->Render(ch, kStyle).width : 8 * static_cast<int>(std::min<size_t>(ch.size(), 2));
  }
  return w;
}

// Lines no wider than `width`, broken at line ends or wherever the width runs out.
std::vector<std::string> Wrap(const std::string& text, int width) {
  std::vector<std::string> lines(1);
  int used = 0;
  for (const std::string& ch : Characters(text)) {
    if (ch == "\n") {
      lines.emplace_back();
      used = 0;
      continue;
    }
    const int w = TextWidth(ch);
    if (used + w > width && !lines.back().empty()) {
      lines.emplace_back();
      used = 0;
    }
    lines.back() += ch;
    used += w;
  }
  return lines;
}

void Frame(Surface* s, const Rect& r, Color c) {
  s->FillRect(r.x, r.y, r.w, 1, c);
  s->FillRect(r.x, r.y + r.h - 1, r.w, 1, c);
  s->FillRect(r.x, r.y, 1, r.h, c);
  s->FillRect(r.x + r.w - 1, r.y, 1, r.h, c);
}

}  // namespace

namespace {
std::string g_cancel_label = "キャンセル";
}  // namespace

void SetMessageBoxCancelLabel(const std::string& label) { g_cancel_label = label; }

DrawnMessageBox::DrawnMessageBox(const std::string& text, const std::string& caption, MsgBoxKind kind,
                                 int frame_width, int frame_height)
    : caption_(caption) {
  labels_ = {"OK"};
  if (kind == MsgBoxKind::kOkCancelQuestion) labels_.push_back(g_cancel_label);
  const int max_text = std::max(64, frame_width - 2 * kPad - 16);
  lines_ = Wrap(text, max_text);

  int button_w = 0;
  for (const auto& l : labels_) button_w = std::max(button_w, TextWidth(l) + 24);
  const int buttons_w = static_cast<int>(labels_.size()) * button_w + (static_cast<int>(labels_.size()) - 1) * kButtonGap;
  int text_w = 0;
  for (const auto& l : lines_) text_w = std::max(text_w, TextWidth(l));
  const int inner = std::min(std::max({text_w, buttons_w, 160}), frame_width - 2 * kPad - 4);
  box_.w = inner + 2 * kPad;
  box_.h = kStripH + kPad + static_cast<int>(lines_.size()) * kLine + kPad + kButtonH + kPad;
  box_.x = (frame_width - box_.w) / 2;
  box_.y = std::max(0, (frame_height - box_.h) / 2);

  int bx = box_.x + (box_.w - buttons_w) / 2;
  const int by = box_.y + box_.h - kPad - kButtonH;
  for (size_t i = 0; i < labels_.size(); ++i) {
    buttons_.push_back(Rect{bx, by, button_w, kButtonH});
    bx += button_w + kButtonGap;
  }
}

void DrawnMessageBox::Draw(Surface* frame) const {
  const TextStyle old_style = frame->text_style();
  const Color old_ink = frame->fore_color();
  frame->SetTextStyle(kStyle);
  frame->FillRect(box_.x, box_.y, box_.w, box_.h, kBody);
  frame->FillRect(box_.x, box_.y, box_.w, kStripH, kStrip);
  Frame(frame, box_, kInk);
  Frame(frame, Rect{box_.x + 2, box_.y + 2, box_.w - 4, box_.h - 4}, kInk);
  frame->SetForeColor(kInk);
  frame->TextOut(box_.x + 8, box_.y + 3, caption_);
  int y = box_.y + kStripH + kPad;
  for (const std::string& line : lines_) {
    frame->TextOut(box_.x + kPad, y, line);
    y += kLine;
  }
  for (int i = 0; i < button_count(); ++i) {
    const Rect& b = button(i);
    const bool lit = i == focus_;
    if (lit) frame->FillRect(b.x, b.y, b.w, b.h, kInk);
    Frame(frame, b, kInk);
    const std::string& label = labels_[static_cast<size_t>(i)];
    frame->SetForeColor(lit ? kBody : kInk);
    frame->TextOut(b.x + (b.w - TextWidth(label)) / 2, b.y + (b.h - 16) / 2, label);
  }
  frame->SetForeColor(old_ink);
  frame->SetTextStyle(old_style);
}

void DrawnMessageBox::Answer(int button) {
  if (answered_) return;
  answered_ = true;
  result_ = button == 0 ? MsgBoxResult::kOk : MsgBoxResult::kCancel;
}

void DrawnMessageBox::KeyDown(int key) {
  switch (key) {
    case vk::kReturn:
    case vk::kSeparator:
    case 'X':
      Answer(focus_);
      break;
    case vk::kEscape:
    case vk::kSpace:
    case 'Z':
      Answer(button_count() - 1);  // Cancel, or the only button
      break;
    case vk::kLeft:
    case vk::kUp:
    case vk::kNumpad4:
    case vk::kNumpad8:
      focus_ = std::max(0, focus_ - 1);
      break;
    case vk::kRight:
    case vk::kDown:
    case vk::kNumpad6:
    case vk::kNumpad2:
      focus_ = std::min(button_count() - 1, focus_ + 1);
      break;
    default:
      break;
  }
}

void DrawnMessageBox::MouseDown(int x, int y) {
  pressed_ = -1;
  for (int i = 0; i < button_count(); ++i) {
    if (button(i).Contains(x, y)) {
      pressed_ = i;
      focus_ = i;
    }
  }
}

void DrawnMessageBox::MouseUp(int x, int y) {
  if (pressed_ >= 0 && button(pressed_).Contains(x, y)) Answer(pressed_);
  pressed_ = -1;
}

}  // namespace ardo::platform
