// The visible frame from its layers: the form's colour round the field view, the view,
// and the window surfaces over it in z-order (opaque, positioned relative to the view
// and clipped to it).
//
// A composer keeps what it composed last into an output surface. When the same layers
// stand in the same places, only what changed is copied again: the rectangles of the view
// that changed (or all of it where no window covers it, when much changed), and the
// windows whose pictures changed (with those above them). A view laid from a larger
// picture (the field's back buffer) is not copied at all: the output shows the same block
// there (see Surface::LayThrough), and only who reads the output copies it.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/surface.h"

namespace ardo::platform {

class FrameComposer {
 public:
  FrameComposer() {
    layers_.reserve(19);
    last_.reserve(19);
    changed_.reserve(64);
    keep_.reserve(19);
  }
  // `windows` bottom to top. Allocates nothing unless the output's size changes.
  void Compose(Color form_back, int form_width, int form_height, const Surface& view,
               const std::vector<const Surface*>& windows, Surface* out);
  // The next Compose draws everything.
  void Forget() { out_ = nullptr; }

 private:
  struct Layer {
    const Surface* surface = nullptr;
    std::uint64_t version = 0;
    int x = 0, y = 0, w = 0, h = 0;  // where it lands on the output, clipped
    int sx = 0, sy = 0;              // the corner of it that shows
    bool SamePlace(const Layer& o) const {
      return surface == o.surface && x == o.x && y == o.y && w == o.w && h == o.h && sx == o.sx && sy == o.sy;
    }
  };
  void ComposeAll(Color form_back, int form_width, int form_height, Surface* out);
  void CopyViewAroundWindows(Surface* out);
  // The view laid through onto the output, under the windows; false when it cannot be.
  bool LayView(Surface* out);
  // Only the view's changed rectangles; false when they are not known or too many.
  bool CopyViewChanges(Surface* out);

  std::vector<Layer> layers_;  // this frame's: the view first, then the windows
  std::vector<Layer> last_;    // what the output shows
  const Surface* out_ = nullptr;
  std::uint64_t out_version_ = 0;
  Color back_ = 0;
  std::vector<Rect> changed_;
  std::vector<Rect> keep_;
};

}  // namespace ardo::platform
