#include "platform/frame_gate.h"

#include <algorithm>
#include <cstring>
#include <utility>

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
  Color* const last = last_.pixels().data();
  for (const Rect& r : changed_) {
    const int x0 = std::max(r.x, 0), x1 = std::min(r.x + r.w, w);
    const int y0 = std::max(r.y, 0), y1 = std::min(r.y + r.h, h);
    if (x0 >= x1) continue;
    const size_t bytes = static_cast<size_t>(x1 - x0) * sizeof(Color);
    bool all_differ = true;
    for (int y = y0; y < y1; ++y) {
      Color* const to = last + static_cast<size_t>(y) * w + x0;
      const Color* const now = frame.ReadRow(x0, y, x1 - x0, scratch_.data());
      if (std::memcmp(now, to, bytes) == 0) {
        all_differ = false;
        continue;
      }
      std::memcpy(to, now, bytes);
      *top = std::min(*top, y);
      *bottom = std::max(*bottom, y + 1);
      if (all_differ && y - y0 + 1 == kRowsToTell && y + 1 < y1) {  // a new picture
        frame.ReadInto(Rect{x0, y + 1, x1 - x0, y1 - y - 1}, to + w, static_cast<size_t>(w));
        *bottom = std::max(*bottom, y1);
        break;
      }
    }
  }
}

bool FrameGate::Admit(const Surface& frame, int* first, int* end) {
  const int w = frame.width(), h = frame.height();
  const size_t row_bytes = static_cast<size_t>(w) * sizeof(Color);
  scratch_.resize(static_cast<size_t>(w));  // allocates only when the width grows
  const auto same = [&](int y) {
    return std::memcmp(frame.ReadRow(0, y, w, scratch_.data()), std::as_const(last_).pixels().data() + static_cast<size_t>(y) * w,
                       row_bytes) == 0;
  };
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
      while (top < bottom && same(top)) ++top;
      if (top == bottom) return false;
      while (bottom > top + 1 && same(bottom - 1)) --bottom;
      // The pixels only: the buffer is reused, nothing is allocated.
      frame.ReadInto(Rect{0, top, w, bottom - top}, last_.pixels().data() + static_cast<size_t>(top) * w,
                     static_cast<size_t>(w));
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
