// The full screen's placement of the picture.
#include "platform/display_scale.h"

#include <algorithm>
#include <cstring>

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

void FrameScaler::Rows(int frame_h, const Placement& to, int y0, int y1, int* first, int* end) {
  // Buffer row r shows frame row floor(r * frame_h / to.h): the rows showing [y0, y1)
  // run from ceil(y0 * to.h / frame_h) to ceil(y1 * to.h / frame_h).
  const auto up = [&](int y) {
    if (frame_h <= 0) return 0;
    return static_cast<int>((static_cast<long long>(y) * to.h + frame_h - 1) / frame_h);
  };
  *first = up(std::clamp(y0, 0, frame_h));
  *end = std::max(*first, up(std::clamp(y1, 0, frame_h)));
}

void FrameScaler::Scale(const Surface& frame, int y0, int y1, const Placement& to, std::uint32_t* dst, int pitch) {
  const int fw = frame.width(), fh = frame.height();
  if (fw <= 0 || fh <= 0 || to.w <= 0 || to.h <= 0) return;
  y0 = std::clamp(y0, 0, fh);
  y1 = std::clamp(y1, y0, fh);
  row_.resize(static_cast<size_t>(fw));  // a row of a frame laid from a block, read through it
  const auto source = [&](int y) { return frame.ReadRow(0, y, fw, row_.data()); };
  const size_t row_bytes = static_cast<size_t>(to.w) * sizeof(std::uint32_t);
  std::uint32_t* base = dst + static_cast<std::ptrdiff_t>(to.y) * pitch + to.x;
  if (to.whole && to.w % fw == 0 && to.h == to.w / fw * fh) {
    // k x k blocks: widen each row once, then copy it down.
    const int k = to.w / fw;
    for (int y = y0; y < y1; ++y) {
      std::uint32_t* row = base + static_cast<std::ptrdiff_t>(y) * k * pitch;
      const Color* s = source(y);
      if (k == 1) {
        std::memcpy(row, s, row_bytes);
        continue;
      }
      if (k == 2) {
        for (int x = 0; x < fw; ++x) row[2 * x] = row[2 * x + 1] = s[x];
      } else {
        for (int x = 0; x < fw; ++x) std::fill_n(row + static_cast<size_t>(x) * k, k, s[x]);
      }
      for (int j = 1; j < k; ++j) std::memcpy(row + static_cast<std::ptrdiff_t>(j) * pitch, row, row_bytes);
    }
    return;
  }
  if (column_for_w_ != to.w || column_for_frame_w_ != fw) {
    column_.resize(static_cast<size_t>(to.w));  // allocates only when the sizes change
    for (int x = 0; x < to.w; ++x) column_[static_cast<size_t>(x)] = static_cast<int>(static_cast<long long>(x) * fw / to.w);
    column_for_w_ = to.w;
    column_for_frame_w_ = fw;
  }
  int first = 0, end = 0;
  Rows(fh, to, y0, y1, &first, &end);
  int last_source = -1;
  const std::uint32_t* last_row = nullptr;
  for (int r = first; r < end && r < to.h; ++r) {
    const int sy = static_cast<int>(static_cast<long long>(r) * fh / to.h);
    std::uint32_t* row = base + static_cast<std::ptrdiff_t>(r) * pitch;
    if (sy == last_source) {
      std::memcpy(row, last_row, row_bytes);
    } else {
      const Color* s = source(sy);
      for (int x = 0; x < to.w; ++x) row[x] = s[column_[static_cast<size_t>(x)]];
    }
    last_source = sy;
    last_row = row;
  }
}

}  // namespace ardo::platform
