// The full screen's placement of the picture.
#include "platform/display_scale.h"

#include <algorithm>

namespace ardo::platform {

Placement FitPicture(int screen_w, int screen_h, int picture_w, int picture_h) {
  Placement p;
  if (screen_w <= 0 || screen_h <= 0 || picture_w <= 0 || picture_h <= 0) return p;
  const int n = std::min(screen_w / picture_w, screen_h / picture_h);
  if (n >= 1) {
    p.w = picture_w * n;
    p.h = picture_h * n;
    p.whole = true;
  } else if (static_cast<long long>(screen_w) * picture_h <= static_cast<long long>(screen_h) * picture_w) {
    // Smaller than the picture: as large as fits, the aspect kept.
    p.w = screen_w;
    p.h = static_cast<int>(static_cast<long long>(picture_h) * screen_w / picture_w);
  } else {
    p.h = screen_h;
    p.w = static_cast<int>(static_cast<long long>(picture_w) * screen_h / picture_h);
  }
  p.x = (screen_w - p.w) / 2;
  p.y = (screen_h - p.h) / 2;
  return p;
}

}  // namespace ardo::platform
