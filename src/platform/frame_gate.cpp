#include "platform/frame_gate.h"

#include <algorithm>
#include <cstring>

namespace ardo::platform {

// Compares and copies only the rectangles drawn since the last frame shown (a town where
// people walk about draws a few small squares a frame); [*top, *bottom) are the rows
// that differ, empty when none does. A rectangle whose first rows all differ is a new
// picture (the view scrolled): the rest of it is copied without comparing, since a row
// shown again costs less than comparing every row of a scroll, where long runs of the same
// colour match far into the row.
void FrameGate::CopyDrawn(const Surface& frame, int* top, int* bottom) {
  constexpr int kRowsToTell = 8;
  const int w = frame.width(), h = frame.height();
  *top = h;
  *bottom = 0;
  const Color* const now = frame.pixels().data();
  Color* const last = last_.pixels().data();
  for (const Rect& r : changed_) {
    const int x0 = std::max(r.x, 0), x1 = std::min(r.x + r.w, w);
    const int y0 = std::max(r.y, 0), y1 = std::min(r.y + r.h, h);
    if (x0 >= x1) continue;
    const size_t bytes = static_cast<size_t>(x1 - x0) * sizeof(Color);
    bool compare = true, all_differ = true;
    for (int y = y0; y < y1; ++y) {
      const size_t at = static_cast<size_t>(y) * w + x0;
      if (compare && std::memcmp(now + at, last + at, bytes) == 0) {
        all_differ = false;
        continue;
      }
      if (all_differ && y - y0 + 1 == kRowsToTell) compare = false;  // a new picture
      std::memcpy(last + at, now + at, bytes);
      *top = std::min(*top, y);
      *bottom = std::max(*bottom, y + 1);
    }
  }
}

bool FrameGate::Admit(const Surface& frame, int* first, int* end) {
  const int w = frame.width(), h = frame.height();
  const size_t row_bytes = static_cast<size_t>(w) * sizeof(Color);
  const auto row = [w](const Surface& s, int y) { return s.pixels().data() + static_cast<size_t>(y) * w; };
  int top = 0, bottom = h;
  if (!repaint_ && w == last_.width() && h == last_.height()) {
    if (&frame == shown_ && frame.version() == shown_version_) return false;
    changed_.clear();
    if (&frame == shown_ && frame.ChangedSince(shown_version_, &changed_)) {
      // The same frame surface as last time: only what it says changed is compared.
      shown_version_ = frame.version();
      CopyDrawn(frame, &top, &bottom);
      if (top >= bottom) return false;
    } else {
      shown_ = &frame;
      shown_version_ = frame.version();
      while (top < bottom && std::memcmp(row(frame, top), row(last_, top), row_bytes) == 0) ++top;
      if (top == bottom) return false;
      while (bottom > top + 1 && std::memcmp(row(frame, bottom - 1), row(last_, bottom - 1), row_bytes) == 0) --bottom;
      // The pixels only: the buffer is reused, nothing is allocated.
      std::memcpy(last_.pixels().data() + static_cast<size_t>(top) * w, row(frame, top),
                  static_cast<size_t>(bottom - top) * row_bytes);
    }
  } else {
    last_ = frame;
    shown_ = &frame;
    shown_version_ = frame.version();
  }
  repaint_ = false;
  if (first) *first = top;
  if (end) *end = bottom;
  return true;
}

}  // namespace ardo::platform
