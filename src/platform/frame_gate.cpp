#include "platform/frame_gate.h"

#include <cstring>

namespace ardo::platform {

bool FrameGate::Admit(const Surface& frame) {
  const bool same_size = frame.width() == last_.width() && frame.height() == last_.height();
  if (!repaint_ && same_size &&
      std::memcmp(frame.pixels().data(), last_.pixels().data(), frame.pixels().size() * sizeof(Color)) == 0) {
    return false;
  }
  if (same_size) {
    // The pixels only: the buffer is reused, nothing is allocated.
    std::memcpy(last_.pixels().data(), frame.pixels().data(), frame.pixels().size() * sizeof(Color));
  } else {
    last_ = frame;
  }
  repaint_ = false;
  return true;
}

}  // namespace ardo::platform
