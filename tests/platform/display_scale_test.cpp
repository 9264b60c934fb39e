// Full screen: the picture at a whole-number scale, centred, black around it.
#include <gtest/gtest.h>

#include "platform/display_scale.h"

namespace ardo::platform {
namespace {

TEST(FullScreenFit, WholeScalesWhereTheyFitElseTheAspectIsKept) {
  const struct {
    int sw, sh, pw, ph;
    bool whole;
    int w, h;
  } cases[] = {
      {1920, 1080, 640, 480, true, 1280, 960},  // 2x, bars on all sides
      {3840, 2160, 640, 480, true, 2560, 1920}, // 4x (4.5x would blur)
      {640, 480, 640, 480, true, 640, 480},
      {1280, 1024, 366, 366, true, 732, 732},
      {600, 400, 640, 480, false, 533, 400},    // smaller: scaled down, aspect kept
      {0, 0, 640, 480, false, 0, 0},
  };
  for (const auto& c : cases) {
    const Placement p = FitPicture(c.sw, c.sh, c.pw, c.ph);
    EXPECT_EQ(p.whole, c.whole) << c.sw << "x" << c.sh;
    EXPECT_EQ(p.w, c.w) << c.sw << "x" << c.sh;
    EXPECT_EQ(p.h, c.h) << c.sw << "x" << c.sh;
    EXPECT_EQ(p.x, (c.sw - p.w) / 2);
    EXPECT_EQ(p.y, (c.sh - p.h) / 2);
  }
}

}  // namespace
}  // namespace ardo::platform
