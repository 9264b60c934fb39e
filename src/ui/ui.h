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

void Message(const std::string& text);
void TextPut(const std::string& s, platform::Surface& dc, int x, int y);
// The text now in the message window, markup removed (for the harness and tests).
const std::string& MessageShown();

void WinSet();
void WinDraw(int n);
void WinHide(int n);
// Brings window n to the front of the other windows.
void WinToFront(int n);

// Runs window n as a menu; 255 when cancelled.
Byte WinDeal(int n);
// Shared with the battle: a mode text before the save slots, a window's result after.
using MenuValue = std::variant<long long, std::string>;
extern MenuValue MenuChoice;

// ASCII letters, digits and symbols and half-width katakana to their full-width forms.
std::string ToFullWidth(const std::string& s);
// A number as the windows show it: a leading space (or minus), then full-width.
std::string F(long long v);
// Last k characters (UTF-8 aware).
std::string RightChars(const std::string& s, size_t k);
size_t CharLength(const std::string& s);

}  // namespace ardo
