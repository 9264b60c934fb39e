#include "platform/frame_gate.h"

#include <algorithm>
#include <cstring>

namespace ardo::platform {

bool FrameGate::Admit(const Surface& frame, int* first, int* end) {
  const int w = frame.width(), h = frame.height();
  const size_t row_bytes = static_cast<size_t>(w) * sizeof(Color);
  const auto row = [w](const Surface& s, int y) { return s.pixels().data() + static_cast<size_t>(y) * w; };
  int top = 0, bottom = h;
  if (!repaint_ && w == last_.width() && h == last_.height()) {
    // The same frame surface as last time: only the rows it says changed are compared.
    if (&frame == shown_ && frame.version() == shown_version_) return false;
    if (&frame == shown_) {
      changed_.clear();
      if (frame.ChangedSince(shown_version_, &changed_)) {
        top = h;
        bottom = 0;
        for (const Rect& r : changed_) {
          if (r.empty()) continue;
          top = std::min(top, r.y);
          bottom = std::max(bottom, r.y + r.h);
        }
        if (top >= bottom) {
          shown_version_ = frame.version();
          return false;
        }
      }
    }
    shown_ = &frame;
    shown_version_ = frame.version();
    while (top < bottom && std::memcmp(row(frame, top), row(last_, top), row_bytes) == 0) ++top;
    if (top == bottom) return false;
    while (bottom > top + 1 && std::memcmp(row(frame, bottom - 1), row(last_, bottom - 1), row_bytes) == 0) --bottom;
    // The pixels only: the buffer is reused, nothing is allocated.
    std::memcpy(last_.pixels().data() + static_cast<size_t>(top) * w, row(frame, top),
                static_cast<size_t>(bottom - top) * row_bytes);
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
