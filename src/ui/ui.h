// Messages and windows: the message window with its markup, the window table with
// drawing and hiding, and the menu loop with every menu's actions.
#pragma once

#include <string>
#include <variant>

#include "core/core.h"
#include "platform/surface.h"

namespace ardo {

struct WindowDef {
  Integer X = 0;
  Integer Y = 0;
  Integer W = 0;
  Integer H = 0;
  Integer Count = 0;
  VbArray<std::string, 0, 15> Item;
};

extern VbArray<WindowDef, 0, 20> Windows;
extern VbArray<platform::Surface, 0, 17> picWindow;
extern platform::Surface picMes_Buff;

// Text colours of the windows.
constexpr platform::Color kSilver = platform::Rgb(192, 192, 192);
constexpr platform::Color kRed = platform::Rgb(255, 0, 0);
constexpr platform::Color kNavy = platform::Rgb(0, 0, 128);

// Types text into the message window at MessageWait per character: "／" breaks the
// line, "￥" breaks it and waits for button 1 or 2 under a blinking "▽"; the sixth
// line scrolls. In English the text is laid out by WrapMessage and typed half-width. Returns when all is shown; the window stays up (WinHide 0 closes it).
void Message(const std::string& text);
// The message window holds 15 characters a line and shows 5 lines.
constexpr int kMessageLineChars = 15;
constexpr int kMessageLines = 5;
// English is written in half-width letters, two to a full-width cell.
constexpr int kMessageLineLetters = 2 * kMessageLineChars;
// One line of an English message as the window lays it out.
struct MessageLine {
  enum class End {
    kWrap,   // the next word did not fit: the window went on to a new line by itself
    kBreak,  // "／"
    kWait,   // "￥": a new line, then the window waits under the prompt
    kEnd,    // the text ended here
  };
  std::size_t start = 0;  // byte offset in the text of its first letter
  std::string text;       // the letters drawn, without markup
  End end = End::kEnd;
  bool cut = false;  // a word longer than a whole line was cut here
};
// Lays out English for the message window: lines of at most `width` letters, wrapped
// at spaces (a run of spaces is one space, and none starts or ends a line), never
// inside a word unless the word alone is longer than a line. "／" starts a new line,
// "￥" ends the page. Every line but a last kEnd one is followed by a new line. The
// window and the build's text check both lay out through this.
std::vector<MessageLine> WrapMessage(std::string_view text, int width = kMessageLineLetters);
// Draws s full-width at (x, y) on dc; red on every window while HP < max HP / 5.
void TextPut(const std::string& s, platform::Surface& dc, int x, int y);
// The same, with the text as it stands (English: half-width letters).
void TextPutHalfWidth(const std::string& s, platform::Surface& dc, int x, int y);
// The text of the message now in window 0, markup removed: every character drawn
// so far by the latest Message, concatenated ("／" and "￥" leave nothing, so a
// search may run across line breaks; in English a line the window wrapped by itself
// keeps the space it broke at). It stays while the window is hidden, as the
// window's picture does, and starts afresh with the next Message.
const std::string& MessageShown();
// True while Message waits at a "￥" for a button (for tests and the harness).
bool MessageWaiting();

void WinSet();
void WinDraw(int n);
// The small status window (LV/H/M), when it is on screen and the hero's numbers changed
// since it was drawn, shows the new ones in its place. True when it was drawn again.
bool KeepStatusCurrent();
void WinHide(int n);
// Brings window n to the front of the other windows.
void WinToFront(int n);

// Runs window n as a menu and acts on the picked row; 255 when cancelled (the
// window stays on screen, only the message window is hidden). When the field menu
// (1) returns, every window its menus opened is put away.
Byte WinDeal(int n);
// The menu that waits for the player now (the innermost selection loop, the field's
// or the battle's) and its cursor row; window -1 when no menu is waiting.
struct MenuFocus {
  int window = -1;
  int row = 0;
};
MenuFocus ActiveMenu();
// Held by a selection loop for as long as it runs; the loop it interrupted gets the focus back.
class MenuFocusScope {
 public:
  explicit MenuFocusScope(int window);
  ~MenuFocusScope();
  MenuFocusScope(const MenuFocusScope&) = delete;
  MenuFocusScope& operator=(const MenuFocusScope&) = delete;
  void SetRow(int row);

 private:
  MenuFocus saved_;
};
// Shared with the battle: a mode text before the save slots, a window's result after.
using MenuValue = std::variant<long long, std::string>;
extern MenuValue MenuChoice;

// ASCII letters, digits and symbols and half-width katakana to their full-width forms.
std::string ToFullWidth(const std::string& s);

// Back to the start-up state: window definitions and surfaces, the message, the menu choice.
void ResetUiState();
void ResetMessageState();
// A number as the windows show it: a leading space (or minus), then full-width.
std::string F(long long v);
// Last k characters (UTF-8 aware).
std::string RightChars(const std::string& s, size_t k);
size_t CharLength(const std::string& s);

}  // namespace ardo
