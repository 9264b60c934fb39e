// The last frame put on the screen, and whether a new one changes anything: a still
// game composes its frames as always, but the display (scaling, upload, the driver's
// drawing) only works when a pixel, the size or the display mode has changed, and then
// only on the rows that changed. The frame is read, never copied in: the display shows
// `last()`, which keeps a frame laid from a block by sharing its pixels.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/surface.h"

namespace ardo::platform {

class FrameGate {
 public:
  // True when `frame` differs from the last frame admitted, or a repaint was asked for;
  // the frame is then remembered as the one on the screen, and [*first, *end) are the
  // rows that differ (every row after a change of size or a repaint).
  bool Admit(const Surface& frame, int* first = nullptr, int* end = nullptr);
  // The next frame is admitted whatever it shows (the display mode or the window changed).
  void Repaint() { repaint_ = true; }
  // The frame on the screen (what a message box is drawn over).
  Surface& last() { return last_; }

 private:
  void CompareDrawn(const Surface& frame, bool copy, int* top, int* bottom);

  Surface last_;
  bool repaint_ = true;
  // The surface last admitted and its version then: an unchanged one is not compared at all,
  // a changed one only on the rows it says changed.
  const Surface* shown_ = nullptr;
  std::uint64_t shown_version_ = 0;
  std::vector<Rect> changed_;
  // A row of the frame, and of the last one, read through a laid block.
  std::vector<Color> scratch_, scratch_last_;
};

}  // namespace ardo::platform
