// How the picture fills a full screen: the largest whole-number scale that fits,
// centred with black bars; a screen smaller than the picture scales it down to fit.
#pragma once

namespace ardo::platform {

struct Placement {
  int x = 0, y = 0, w = 0, h = 0;  // where the picture goes on the screen
  bool whole = false;              // an integer scale (else a fit that keeps the aspect)
};

Placement FitPicture(int screen_w, int screen_h, int picture_w, int picture_h);

}  // namespace ardo::platform
