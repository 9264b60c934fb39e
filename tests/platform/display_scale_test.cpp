// Full screen: the picture at a whole-number scale, centred, black around it.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

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

// The frame in a window's own pixels: every pixel of the placement shows the frame's
// nearest pixel, only the rows asked for are written, and nothing outside the placement.
TEST(FrameScaler, EveryPlacedPixelShowsItsNearestFramePixel) {
  Surface frame(7, 5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) frame.Set(x, y, static_cast<Color>(y * 16 + x + 1));
  const Placement placements[] = {
      {2, 1, 14, 10, true}, {0, 0, 7, 5, true}, {1, 3, 21, 15, true}, {3, 2, 10, 7, false}, {0, 0, 4, 3, false}};
  FrameScaler scaler;
  for (const Placement& to : placements) {
    const int pitch = 30;
    std::vector<std::uint32_t> window(static_cast<size_t>(pitch) * 20, 0xDEADu);
    scaler.Scale(frame, 1, 3, to, window.data(), pitch);  // frame rows 1 and 2 only
    int first = 0, end = 0;
    FrameScaler::Rows(5, to, 1, 3, &first, &end);
    for (int y = 0; y < 20; ++y) {
      for (int x = 0; x < pitch; ++x) {
        const int r = y - to.y, c = x - to.x;
        const bool written = c >= 0 && c < to.w && r >= first && r < end;
        const std::uint32_t want = written ? frame.At(c * 7 / to.w, r * 5 / to.h) : 0xDEADu;
        ASSERT_EQ(window[static_cast<size_t>(y) * pitch + x], want) << to.w << "x" << to.h << " at " << x << "," << y;
        if (written) {
          EXPECT_TRUE(r * 5 / to.h >= 1 && r * 5 / to.h < 3) << "a row not asked for";
        }
      }
    }
  }
}

}  // namespace
}  // namespace ardo::platform
