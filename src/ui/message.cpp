// The message window: text typed out one character at a time, scrolled a line at
// a time, and held at each "￥" until the player answers the blinking "▽".
#include <algorithm>
#include <utility>
#include <vector>

#include "field/field.h"
#include "sound/sound.h"
#include "ui/window_internal.h"

namespace ardo {

using namespace ui_internal;

namespace {

// Layout of the message window.
constexpr int kLeft = 10;         // pen x at the start of a line
constexpr int kTop = 10;          // pen y of the first line
constexpr int kAdvance = 17;      // one character
constexpr int kHalfAdvance = 8;   // one half-width letter (its glyph is half a full-width one)
constexpr int kLastColumn = 248;  // x of the fifteenth character
constexpr int kLineHeight = 20;
constexpr int kLastLine = 90;    // y of the fifth line
constexpr int kPromptX = 129;
constexpr int kPromptY = 90;
constexpr int kInnerWidth = 255;
constexpr int kInnerHeight = 95;
static_assert((kLastColumn - kLeft) / kAdvance + 1 == kMessageLineChars);
static_assert((kLastLine - kTop) / kLineHeight + 1 == kMessageLines);

std::string g_shown;
bool g_waiting = false;

// Paints the message window's background over a rectangle of `to` (the window, or a
// surface of its size): its background picture where it has one, the fill colour beyond it.
void PaintBackground(platform::Surface& to, int x0, int y0, int w, int h) {
  const platform::Surface& s = picWindow(win::kMessage);
  to.FillRect(x0, y0, w, h, s.back_color());
  if (const platform::Surface* bg = s.back_picture()) to.BitBlt(x0, y0, w, h, bg, x0, y0, platform::Rop::kSrcCopy);
}

// Puts the window's background back over a rectangle (erases the prompt mark).
void RestoreBackground(int x0, int y0, int w, int h) { PaintBackground(picWindow(win::kMessage), x0, y0, w, h); }

void ClearWindow() {
  picWindow(win::kMessage).Clear();
  DrawFrame(picWindow(win::kMessage));
}

// Moves the text up by one line in ten steps of two pixels. The inner area goes to
// picMes_Buff and comes back two pixels higher each step; only the text's own
// pixels are copied back (those unlike the background), so a shaded background stays
// where it is.
void Scroll() {
  platform::Surface& w = picWindow(win::kMessage);
  picMes_Buff.BitBlt(0, 0, kInnerWidth, kInnerHeight, &w, kLeft, kTop, platform::Rop::kSrcCopy);
  ClearWindow();
  platform::Surface back(w.width(), w.height());  // what a pixel unlike is text
  PaintBackground(back, 0, 0, w.width(), w.height());
  const int ww = w.width(), bw = picMes_Buff.width();
  const int x1 = std::min(kInnerWidth, std::min(ww - kLeft, bw));
  const int y1 = std::min(kInnerHeight, std::min(w.height() - kTop, picMes_Buff.height()));
  for (int k = 2; k <= 20; k += 2) {
    RestoreBackground(kLeft, kTop, kInnerWidth, kInnerHeight);
    if (x1 > 0 && y1 > k) {
      const std::vector<platform::Color>& text = std::as_const(picMes_Buff).pixels();
      const std::vector<platform::Color>& under = std::as_const(back).pixels();
      std::vector<platform::Color>& to = w.pixels(platform::Rect{kLeft, kTop, x1, y1 - k});
      for (int y = k; y < y1; ++y) {
        const size_t from = static_cast<size_t>(y) * bw, at = static_cast<size_t>(kTop + y) * ww + kLeft;
        const size_t dest = static_cast<size_t>(kTop + y - k) * ww + kLeft;
        for (int x = 0; x < x1; ++x) {
          const platform::Color c = text[from + static_cast<size_t>(x)];
          if (c != under[at + static_cast<size_t>(x)]) to[dest + static_cast<size_t>(x)] = c;
        }
      }
    }
    RefreshScreen();
    Wait(MessageWait);
  }
}

void ErasePrompt() { RestoreBackground(kPromptX, kPromptY, 20, 20); }

// The wait of a "￥": the mark blinks until button 1 or 2 (not 3) is pressed.
// The blink counter runs on across the prompts of one message.
void PromptWait(int* blink) {
  platform::Surface& w = picWindow(win::kMessage);
  struct Waiting {
    Waiting() { g_waiting = true; }
    ~Waiting() { g_waiting = false; }
  } waiting;
  for (;;) {
    *blink = (*blink + 20) % 1000;
    if (*blink <= 500) {
      TextPut("▽", w, kPromptX, kPromptY);
    } else {
      ErasePrompt();
    }
    RefreshScreen();
    KeyState key = Getkey();
    KeyState pad = JoyPad();
    if (key.btn > 0 || pad.btn > 0) {
      key = Getkey();
      pad = JoyPad();
      if ((key.btn | pad.btn) < 3) {
        PlaySe("pi", 1);
        ErasePrompt();
        RefreshScreen();
        return;
      }
    }
    // At least one millisecond, so that a zero text speed still lets events in.
    Wait(std::max<long>(MessageWait, 1));
  }
}

}  // namespace

namespace ui_internal {
void ResetShownText() { g_shown.clear(); }
void AppendShownText(const std::string& c) { g_shown += c; }
}  // namespace ui_internal

const std::string& MessageShown() { return g_shown; }
bool MessageWaiting() { return g_waiting; }

namespace {

// English: the lines of WrapMessage, a half-width letter at a time. The pen goes to a
// new line after each line (scrolling at the bottom as in Japanese), and a line that
// wrapped by itself leaves a space in the shown text where its break was.
void MessageHalfWidth(const std::string& text) {
  platform::Surface& w = picWindow(0);
  int y = kTop;
  int blink = 0;
  for (const MessageLine& line : WrapMessage(text)) {
    int x = kLeft;
    for (const Utf8Char& ch : Utf8Chars(line.text)) {
      const std::string c(ch.bytes);
      TextPutHalfWidth(c, w, x, y);
      AppendShownText(c);
      x += kHalfAdvance;
      RefreshScreen();
      Wait(MessageWait);
    }
    if (line.end == MessageLine::End::kEnd) break;
    if (line.end == MessageLine::End::kWrap) AppendShownText(" ");
    y += kLineHeight;
    if (y > kLastLine) {
      y = kLastLine;
      Scroll();
    }
    if (line.end == MessageLine::End::kWait) PromptWait(&blink);
    RefreshScreen();
    Wait(MessageWait);
  }
  KeyWait();
}

}  // namespace

void Message(const std::string& text) {
  platform::Surface& w = picWindow(win::kMessage);
  w.Clear();
  WinToFront(win::kMessage);
  WinDraw(win::kMessage);
  ResetShownText();
  if (GameLanguage() == Language::kEnglish) {
    MessageHalfWidth(text);
    return;
  }
  int x = kLeft;
  int y = kTop;
  int blink = 0;
  // One character at a time from the text as it stands: a long text costs no more
  // than itself.
  std::string c;
  for (const Utf8Char& ch : Utf8Chars(text)) {
    c.clear();
    AppendUtf8(DrawnCode(ch), &c);
    const bool wait = c == "￥";
    if (wait || c == "／") {
      x = kLastColumn;
    } else {
      TextPut(c, w, x, y);
      AppendShownText(c);
    }
    x += kAdvance;
    if (x > kLastColumn) {
      x = kLeft;
      y += kLineHeight;
      if (y > kLastLine) {
        y = kLastLine;
        Scroll();
      }
    }
    if (wait) PromptWait(&blink);
    RefreshScreen();
    Wait(MessageWait);
  }
  KeyWait();
}

void ResetMessageState() {
  g_shown.clear();
  g_waiting = false;
}

}  // namespace ardo
