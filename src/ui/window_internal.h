// Private to the message and window code: UTF-8 walking, frames, cursors and the
// bookkeeping the three files share.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ui/ui.h"

namespace ardo::ui_internal {

// The code point a window draws for a character: a byte that starts no character
// stands for itself (so nothing is ever lost, and what is drawn is always UTF-8).
char32_t DrawnCode(const Utf8Char& c);
// The drawn code points of a text.
std::vector<char32_t> Decode(std::string_view s);

// The red text colour applies while the hero has less than a fifth of his hit points.
bool HitPointsLow();

// Draws the frame of window n (corners and edges from picWaku) for its current size.
void DrawFrame(platform::Surface& s);

// The menu cursor "⇒" of row c, and its erasure with the window's fill.
void DrawCursor(int n, int c);
void EraseCursor(int n, int c);

// A place the hero can be sent to: a map, the cell, the music and the area. `place` names
// the row of the travel list, or for an escape the map the hero leaves (its file name).
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
