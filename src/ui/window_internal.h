// Private to the message and window code: UTF-8 walking, frames, cursors and the
// bookkeeping the three files share.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ui/ui.h"

namespace ardo::ui_internal {

// The code points of a UTF-8 text; a byte that does not start a valid sequence
// stands for itself (so nothing is ever lost or read past the end).
std::vector<char32_t> Decode(std::string_view s);
// The code point at s[*at] by the same rule, moving *at past it (*at < s.size()).
char32_t DecodeNext(std::string_view s, size_t* at);
void AppendUtf8(std::string* out, char32_t c);
// The text split into its characters, each as its own UTF-8 string.
std::vector<std::string> Characters(std::string_view s);

// The red text colour applies while the hero has less than a fifth of his hit points.
bool HitPointsLow();

// Draws the frame of window n (corners and edges from picWaku) for its current size.
void DrawFrame(platform::Surface& s);

// The menu cursor "⇒" of row c, and its erasure with the window's fill.
void DrawCursor(int n, int c);
void EraseCursor(int n, int c);

// A place the hero can be sent to: a map, the cell, the music and the area.
struct Destination {
  std::string_view place;
  const char* map;
  int x;
  int y;
  const char* bgm;
  int area;
};
// The destination of a row of the travel list (window 17) as it was last drawn.
const Destination& TravelDestination(int row);

// Window 0 keeps the text it shows for MessageShown.
void ResetShownText();
void AppendShownText(const std::string& c);

}  // namespace ardo::ui_internal
