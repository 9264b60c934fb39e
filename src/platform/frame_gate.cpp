#include "platform/frame_gate.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace ardo::platform {

// Compares only the rectangles drawn since the last frame shown (a town where people walk
// about draws a few small squares a frame), and copies the rows that differ when `copy`;
// [*top, *bottom) are the rows that differ, empty when none does. A rectangle whose first
// rows all differ is a new picture (the view scrolled): the rest of it is taken to differ
// without comparing, since a row shown again costs less than comparing every row of a
// scroll, where long runs of the same colour match far into the row.
void FrameGate::CompareDrawn(const Surface& frame, bool copy, int* top, int* bottom) {
  constexpr int kRowsToTell = 8;
  const int w = frame.width(), h = frame.height();
  *top = h;
  *bottom = 0;
  Color* const last = copy ? last_.pixels().data() : nullptr;
  for (const Rect& r : changed_) {
    const int x0 = std::max(r.x, 0), x1 = std::min(r.x + r.w, w);
    const int y0 = std::max(r.y, 0), y1 = std::min(r.y + r.h, h);
    if (x0 >= x1) continue;
    const size_t bytes = static_cast<size_t>(x1 - x0) * sizeof(Color);
    bool all_differ = true;
    for (int y = y0; y < y1; ++y) {
      const Color* const now = frame.ReadRow(x0, y, x1 - x0, scratch_.data());
      const Color* const was = last_.ReadRow(x0, y, x1 - x0, scratch_last_.data());
      if (std::memcmp(now, was, bytes) == 0) {
        all_differ = false;
        continue;
      }
      Color* const to = copy ? last + static_cast<size_t>(y) * w + x0 : nullptr;
      if (copy) std::memcpy(to, now, bytes);
      *top = std::min(*top, y);
      *bottom = std::max(*bottom, y + 1);
      if (all_differ && y - y0 + 1 == kRowsToTell && y + 1 < y1) {  // a new picture
        if (copy) frame.ReadInto(Rect{x0, y + 1, x1 - x0, y1 - y - 1}, to + w, static_cast<size_t>(w));
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
  scratch_last_.resize(static_cast<size_t>(w));
  const auto same = [&](int y) {
    return std::memcmp(frame.ReadRow(0, y, w, scratch_.data()), last_.ReadRow(0, y, w, scratch_last_.data()), row_bytes) == 0;
  };
  // A frame laid from a block, much of it new (the view scrolled), is kept by sharing its
  // pixels: it takes its own again, cheaply, when drawn on next. Any other, and a few
  // squares drawn on one, by copying the rows that changed.
  bool share = frame.laid();
  int top = 0, bottom = h;
  if (!repaint_ && w == last_.width() && h == last_.height()) {
    if (&frame == shown_ && frame.version() == shown_version_) return false;
    changed_.clear();
    if (&frame == shown_ && frame.ChangedSince(shown_version_, &changed_)) {
      // The same frame surface as last time: only what it says changed is compared.
      shown_version_ = frame.version();
      long long area = 0;
      for (const Rect& r : changed_) area += static_cast<long long>(std::max(r.w, 0)) * std::max(r.h, 0);
      share = share && area * 2 >= static_cast<long long>(w) * h;
      CompareDrawn(frame, !share, &top, &bottom);
      if (top >= bottom) return false;
    } else {
      shown_ = &frame;
      shown_version_ = frame.version();
      while (top < bottom && same(top)) ++top;
      if (top == bottom) return false;
      while (bottom > top + 1 && same(bottom - 1)) --bottom;
      // The pixels only: the buffer is reused, nothing is allocated.
      if (!share) {
        frame.ReadInto(Rect{0, top, w, bottom - top}, last_.pixels().data() + static_cast<size_t>(top) * w,
                       static_cast<size_t>(w));
      }
    }
    if (share) last_ = frame;
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
