#include "platform/frame_gate.h"

#include <cstring>

namespace ardo::platform {

bool FrameGate::Admit(const Surface& frame, int* first, int* end) {
  const int w = frame.width(), h = frame.height();
  const size_t row_bytes = static_cast<size_t>(w) * sizeof(Color);
  const auto row = [w](const Surface& s, int y) { return s.pixels().data() + static_cast<size_t>(y) * w; };
  int top = 0, bottom = h;
  if (!repaint_ && w == last_.width() && h == last_.height()) {
    while (top < h && std::memcmp(row(frame, top), row(last_, top), row_bytes) == 0) ++top;
    if (top == h) return false;
    while (bottom > top + 1 && std::memcmp(row(frame, bottom - 1), row(last_, bottom - 1), row_bytes) == 0) --bottom;
    // The pixels only: the buffer is reused, nothing is allocated.
    std::memcpy(last_.pixels().data() + static_cast<size_t>(top) * w, row(frame, top),
                static_cast<size_t>(bottom - top) * row_bytes);
  } else {
    last_ = frame;
  }
  repaint_ = false;
  if (first) *first = top;
  if (end) *end = bottom;
  return true;
}

}  // namespace ardo::platform
