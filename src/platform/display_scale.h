// How the picture fills a full screen: the largest whole-number scale that fits,
// centred with black bars; a screen smaller than the picture scales it down to fit.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/surface.h"

namespace ardo::platform {

struct Placement {
  int x = 0, y = 0, w = 0, h = 0;  // where the picture goes on the screen
  bool whole = false;              // an integer scale (else a fit that keeps the aspect)
};

Placement FitPicture(int screen_w, int screen_h, int picture_w, int picture_h);

// Nearest-neighbour scaling of a frame into a 32-bit pixel buffer laid out as 0x00RRGGBB
// (a window's own pixels), `pitch` pixels a row.
class FrameScaler {
 public:
  // Draws rows [y0, y1) of the frame where they fall inside the placement `to`.
  void Scale(const Surface& frame, int y0, int y1, const Placement& to, std::uint32_t* dst, int pitch);
  // The buffer rows [*first, *end) that rows [y0, y1) of a frame `frame_h` rows high cover.
  static void Rows(int frame_h, const Placement& to, int y0, int y1, int* first, int* end);

 private:
  std::vector<Color> row_;
  std::vector<int> column_;  // the frame column of each buffer column (a fractional scale)
  int column_for_w_ = 0, column_for_frame_w_ = 0;
};

}  // namespace ardo::platform
