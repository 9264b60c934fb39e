// Raster operations, clipping and stretching of our pixel surfaces.
#include <gtest/gtest.h>

#include <functional>
#include <iterator>
#include <utility>

#include "platform/blit.h"
#include "platform/compose.h"
#include "platform/display_scale.h"
#include "platform/frame_gate.h"
#include "platform/platform.h"
#include "platform/surface.h"

namespace ardo::platform {
namespace {

TEST(SurfaceRop, EachOperationCombinesChannelsBitwise) {
  const Color d = Rgb(0x12, 0xF0, 0x0F);
  const Color s = Rgb(0x30, 0x3C, 0xAA);
  struct Case {
    Rop op;
    Color want;
  } cases[] = {
      {Rop::kSrcCopy, s},
      {Rop::kSrcAnd, Rgb(0x12 & 0x30, 0xF0 & 0x3C, 0x0F & 0xAA)},
      {Rop::kSrcPaint, Rgb(0x12 | 0x30, 0xF0 | 0x3C, 0x0F | 0xAA)},
      {Rop::kMergePaint, Rgb(0x12 | 0xCF, 0xF0 | 0xC3, 0x0F | 0x55)},
      {Rop::kBlackness, 0},
  };
  for (const auto& c : cases) {
    Surface dst(2, 2, d);
    Surface src(2, 2, s);
    dst.BitBlt(0, 0, 2, 2, &src, 0, 0, c.op);
    EXPECT_EQ(dst.At(1, 1), c.want) << static_cast<int>(c.op);
    EXPECT_EQ(dst.At(0, 0) >> 24, 0u) << "no stray alpha bits";
  }
}

TEST(SurfaceRop, MaskedFigureLeavesBackgroundUnchanged) {
  // The figure drawing: mask (white figure on black) with OR, then the figure on white with AND.
  Surface view(3, 1, Rgb(10, 200, 30));
  Surface mask(3, 1, 0);
  mask.Set(1, 0, Rgb(255, 255, 255));
  Surface figure(3, 1, Rgb(255, 255, 255));
  figure.Set(1, 0, Rgb(200, 0, 0));
  view.BitBlt(0, 0, 3, 1, &mask, 0, 0, Rop::kSrcPaint);
  view.BitBlt(0, 0, 3, 1, &figure, 0, 0, Rop::kSrcAnd);
  EXPECT_EQ(view.At(0, 0), Rgb(10, 200, 30));
  EXPECT_EQ(view.At(1, 0), Rgb(200, 0, 0));
  EXPECT_EQ(view.At(2, 0), Rgb(10, 200, 30));
}

Surface Numbered(int w, int h) {
  Surface s(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) s.Set(x, y, static_cast<Color>(y * 100 + x + 1));
  return s;
}

TEST(SurfaceClip, BlitsAreClippedAtEveryEdge) {
  const Surface src = Numbered(4, 4);
  struct Case {
    int dx, dy, sx, sy;
  } cases[] = {{-2, 0, 0, 0}, {0, -2, 0, 0}, {3, 0, 0, 0}, {0, 3, 0, 0}, {0, 0, -1, 0}, {0, 0, 0, -1}, {0, 0, 2, 3}};
  for (const auto& c : cases) {
    Surface dst(4, 4, 0xABCDEF);
    dst.BitBlt(c.dx, c.dy, 4, 4, &src, c.sx, c.sy, Rop::kSrcCopy);
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 4; ++x) {
        const int fx = x - c.dx + c.sx, fy = y - c.dy + c.sy;
        const bool inside = fx >= 0 && fy >= 0 && fx < 4 && fy < 4;
        EXPECT_EQ(dst.At(x, y), inside ? src.At(fx, fy) : 0xABCDEFu)
            << "case " << c.dx << "," << c.dy << "," << c.sx << "," << c.sy << " at " << x << "," << y;
      }
    }
  }
}

TEST(SurfaceClip, HugeAndEmptyBlitsAreHarmless) {
  const Surface src = Numbered(3, 3);
  Surface dst(3, 3, 7);
  dst.BitBlt(-1000000, -1000000, 2000000, 2000000, &src, 0, 0, Rop::kSrcCopy);
  dst.BitBlt(0, 0, 0, 5, &src, 0, 0, Rop::kSrcCopy);
  dst.BitBlt(0, 0, 5, -5, &src, 0, 0, Rop::kSrcCopy);
  dst.BitBlt(0, 0, 3, 3, nullptr, 0, 0, Rop::kSrcCopy);
  EXPECT_EQ(dst.At(1, 1), 7u);
  dst.BitBlt(1, 1, 5, 5, nullptr, 0, 0, Rop::kBlackness);
  EXPECT_EQ(dst.At(0, 0), 7u);
  EXPECT_EQ(dst.At(2, 2), 0u);
}

TEST(SurfaceClip, OverlappingSelfCopyReadsTheOriginal) {
  Surface s = Numbered(4, 1);
  s.BitBlt(1, 0, 3, 1, &s, 0, 0, Rop::kSrcCopy);
  EXPECT_EQ(s.At(0, 0), 1u);
  EXPECT_EQ(s.At(1, 0), 1u);
  EXPECT_EQ(s.At(2, 0), 2u);
  EXPECT_EQ(s.At(3, 0), 3u);
}

// Every raster operation, with rectangles partly and wholly outside the destination
// and the source (and far beyond them), against a pixel-by-pixel reference.
TEST(SurfaceClip, EveryOperationMatchesThePixelReferenceAnywhere) {
  struct Rect {
    int dx, dy, w, h, sx, sy;
  };
  const Rect rects[] = {
      {1, 1, 3, 3, 0, 0},           {-2, 1, 4, 2, 0, 0},         {4, 4, 5, 5, 0, 0},
      {6, 0, 3, 3, 0, 0},           {0, 6, 3, 3, 0, 0},          {-9, -9, 3, 3, 0, 0},
      {100, 2, 4, 4, 0, 0},         {2, 100, 4, 4, 0, 0},        {0, 0, 6, 6, -3, -2},
      {0, 0, 6, 6, 2, 3},           {1, 1, 4, 4, 4, 0},          {0, 0, 3, 3, 9, 9},
      {-3, -3, 9, 9, -3, -3},       {2147483000, 0, 2000, 3, 0, 0}, {0, 0, 2147483647, 2147483647, 0, 0},
      {-2147483647, 0, 2147483647, 5, 0, 0},
  };
  const Rop ops[] = {Rop::kSrcCopy, Rop::kSrcAnd, Rop::kSrcPaint, Rop::kMergePaint, Rop::kBlackness};
  auto pattern = [](int w, int h, int seed) {
    Surface s(w, h);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) s.Set(x, y, Rgb(seed + 37 * x, 11 * y + seed, x * y + 3));
    }
    return s;
  };
  for (const Rect& r : rects) {
    for (const Rop op : ops) {
      Surface dst = pattern(6, 6, 5);
      const Surface src = pattern(4, 5, 90);
      Surface want = dst;
      for (long long y = 0; y < 6; ++y) {
        for (long long x = 0; x < 6; ++x) {
          const long long ox = x - r.dx, oy = y - r.dy;  // offset inside the rectangle
          if (ox < 0 || oy < 0 || ox >= r.w || oy >= r.h) continue;
          const long long fx = r.sx + ox, fy = r.sy + oy;
          const bool in_src = fx >= 0 && fy >= 0 && fx < src.width() && fy < src.height();
          if (op != Rop::kBlackness && !in_src) continue;
          const Color d = dst.At(static_cast<int>(x), static_cast<int>(y));
          const Color c = op == Rop::kBlackness ? 0 : src.At(static_cast<int>(fx), static_cast<int>(fy));
          Color out = c;
          if (op == Rop::kSrcAnd) out = d & c;
          if (op == Rop::kSrcPaint) out = d | c;
          if (op == Rop::kMergePaint) out = (d | ~c) & 0xFFFFFFu;
          want.Set(static_cast<int>(x), static_cast<int>(y), out);
        }
      }
      dst.BitBlt(r.dx, r.dy, r.w, r.h, &src, r.sx, r.sy, op);
      EXPECT_EQ(dst.pixels(), want.pixels()) << "op " << static_cast<int>(op) << " at " << r.dx << "," << r.dy
                                             << " " << r.w << "x" << r.h << " from " << r.sx << "," << r.sy;
      // The same rectangle as a fill and as a one-to-one stretch (which has no blackness of its own).
      Surface filled = pattern(6, 6, 5), stretched = pattern(6, 6, 5);
      filled.FillRect(r.dx, r.dy, r.w, r.h, Rgb(1, 2, 3));
      const bool stretch = op != Rop::kBlackness && r.w < 1000 && r.h < 1000;
      if (stretch) stretched.StretchBlt(r.dx, r.dy, r.w, r.h, src, r.sx, r.sy, r.w, r.h, op);
      for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 6; ++x) {
          const bool inside = x >= static_cast<long long>(r.dx) && y >= static_cast<long long>(r.dy) &&
                              x < static_cast<long long>(r.dx) + r.w && y < static_cast<long long>(r.dy) + r.h;
          EXPECT_EQ(filled.At(x, y), inside ? Rgb(1, 2, 3) : pattern(6, 6, 5).At(x, y)) << x << "," << y;
          if (stretch) {
            EXPECT_EQ(stretched.At(x, y), want.At(x, y)) << x << "," << y;
          }
        }
      }
    }
  }
}

// The row kernels work four pixels at a time: odd widths and offsets against the
// one-pixel reference, the masked pair in one pass against its two blits, a row of
// tiles against a blit of each, and a surface scrolled over itself every way against
// a scroll from a copy.
TEST(SurfaceFastPaths, WideOddBlitsMatchThePixelReference) {
  auto noise = [](int w, int h, std::uint32_t v) {
    Surface s(w, h);
    for (auto& p : s.pixels()) p = (v = v * 1664525u + 1013904223u) >> 8;
    return s;
  };
  const Surface src = noise(29, 13, 3), mask = noise(29, 13, 4);
  struct Rect {
    int dx, dy, w, h, sx, sy;
  } rects[] = {{0, 0, 29, 13, 0, 0}, {3, 1, 23, 9, 1, 2}, {-5, -2, 27, 11, 0, 0}, {30, 7, 15, 9, 2, 1},
               {7, 3, 13, 5, 17, 9}};
  for (const Rect& r : rects) {
    for (const Rop op : {Rop::kSrcCopy, Rop::kSrcAnd, Rop::kSrcPaint}) {
      Surface dst = noise(37, 11, 5), want = dst;
      for (int y = 0; y < r.h; ++y) {
        for (int x = 0; x < r.w; ++x) {
          const int tx = r.dx + x, ty = r.dy + y, fx = r.sx + x, fy = r.sy + y;
          if (tx < 0 || ty < 0 || tx >= 37 || ty >= 11 || fx >= 29 || fy >= 13) continue;
          const Color d = want.At(tx, ty), c = src.At(fx, fy);
          want.Set(tx, ty, op == Rop::kSrcCopy ? c : op == Rop::kSrcAnd ? (d & c) : (d | c));
        }
      }
      dst.BitBlt(r.dx, r.dy, r.w, r.h, &src, r.sx, r.sy, op);
      EXPECT_EQ(dst.pixels(), want.pixels()) << static_cast<int>(op) << " at " << r.dx << "," << r.dy;
    }
    Surface one = noise(37, 11, 6), two = one;
    MaskedBlt(one, r.dx, r.dy, r.w, r.h, mask, src, r.sx, r.sy);
    two.BitBlt(r.dx, r.dy, r.w, r.h, &mask, r.sx, r.sy, Rop::kSrcPaint);
    two.BitBlt(r.dx, r.dy, r.w, r.h, &src, r.sx, r.sy, Rop::kSrcAnd);
    EXPECT_EQ(one.pixels(), two.pixels()) << "masked at " << r.dx << "," << r.dy;
    // A battle's figure: mask and image on one sheet, apart (at its edge, clipped apart).
    for (const int apart : {0, 3}) {
      MaskThenPaint(one, r.dx, r.dy, r.w, r.h, src, r.sx, r.sy + apart, r.sx + apart, r.sy);
      two.BitBlt(r.dx, r.dy, r.w, r.h, &src, r.sx, r.sy + apart, Rop::kSrcAnd);
      two.BitBlt(r.dx, r.dy, r.w, r.h, &src, r.sx + apart, r.sy, Rop::kSrcPaint);
      EXPECT_EQ(one.pixels(), two.pixels()) << "mask then paint at " << r.dx << "," << r.dy << " apart " << apart;
    }
  }
  for (const auto& [dx, dy] : {std::pair{0, 0}, {-9, 3}, {20, -4}, {1, 8}}) {
    const int sx[] = {0, 7, 21, 25, -3, 14}, sy[] = {0, 7, 2, 9, 0, 10};  // some off the sheet's edge
    Surface laid = noise(37, 11, 9), want = laid;
    LayTileRow(laid, dx, dy, 7, src, sx, sy, 6);
    for (int k = 0; k < 6; ++k) want.BitBlt(dx + 7 * k, dy, 7, 7, &src, sx[k], sy[k], Rop::kSrcCopy);
    EXPECT_EQ(laid.pixels(), want.pixels()) << "tiles at " << dx << "," << dy;
  }
  for (const auto& [mx, my] : {std::pair{5, 0}, {-5, 0}, {0, 3}, {0, -3}, {7, -2}, {-1, 4}}) {
    Surface s = noise(31, 17, 8);
    const Surface copy = s;
    Surface want = s;
    want.BitBlt(mx, my, 31, 17, &copy, 0, 0, Rop::kSrcCopy);
    s.BitBlt(mx, my, 31, 17, &s, 0, 0, Rop::kSrcCopy);
    EXPECT_EQ(s.pixels(), want.pixels()) << "scroll by " << mx << "," << my;
  }
}

// The display is worked only for a frame that changed (or after a change of mode).
TEST(FrameGate, AdmitsOnlyAFrameThatDiffersFromTheLastShown) {
  FrameGate gate;
  Surface frame(366, 366, Rgb(0, 0, 255));
  EXPECT_TRUE(gate.Admit(frame)) << "the first frame";
  EXPECT_FALSE(gate.Admit(frame)) << "the same again";
  frame.Set(365, 365, Rgb(0, 0, 254));
  EXPECT_TRUE(gate.Admit(frame)) << "one pixel changed, in the last corner";
  EXPECT_FALSE(gate.Admit(frame));
  frame.Set(0, 0, 1);
  EXPECT_TRUE(gate.Admit(frame)) << "the first pixel";
  EXPECT_EQ(gate.last().At(0, 0), 1u) << "what is on the screen, for a message box";
  // Only the rows between the first and the last that changed go to the display.
  int first = -1, end = -1;
  frame.Set(7, 40, 5);
  frame.Set(300, 122, 5);
  EXPECT_TRUE(gate.Admit(frame, &first, &end));
  EXPECT_EQ(first, 40);
  EXPECT_EQ(end, 123);
  EXPECT_TRUE(std::as_const(gate.last()).pixels() == std::as_const(frame).pixels());
  // Drawn again whole, the same: nothing to show. Drawn anew (the view scrolled): all of it.
  Surface same(366, 366);
  same.pixels() = std::as_const(frame).pixels();
  frame.BitBlt(0, 0, 366, 365, &same, 0, 0, Rop::kSrcCopy);
  EXPECT_FALSE(gate.Admit(frame)) << "redrawn as it was";
  for (int y = 0; y < 366; ++y) frame.FillRect(0, y, 366, 1, y < 100 || y > 200 ? Color(y) : 1);
  EXPECT_TRUE(gate.Admit(frame));
  EXPECT_TRUE(std::as_const(gate.last()).pixels() == std::as_const(frame).pixels()) << "a new picture";
  EXPECT_TRUE(gate.Admit(Surface(640, 480, 0))) << "another size";
  EXPECT_FALSE(gate.Admit(Surface(640, 480, 0)));
  gate.Repaint();
  EXPECT_TRUE(gate.Admit(Surface(640, 480, 0))) << "after a change of display mode";
}

TEST(SurfaceStretch, NearestNeighbourScalesUpAndDown) {
  Surface src(2, 2);
  src.Set(0, 0, 1);
  src.Set(1, 0, 2);
  src.Set(0, 1, 3);
  src.Set(1, 1, 4);
  Surface big(4, 4);
  big.StretchBlt(0, 0, 4, 4, src, 0, 0, 2, 2, Rop::kSrcCopy);
  EXPECT_EQ(big.At(0, 0), 1u);
  EXPECT_EQ(big.At(1, 1), 1u);
  EXPECT_EQ(big.At(2, 1), 2u);
  EXPECT_EQ(big.At(3, 3), 4u);
  Surface small(1, 1);
  small.StretchBlt(0, 0, 1, 1, big, 0, 0, 4, 4, Rop::kSrcCopy);
  EXPECT_EQ(small.At(0, 0), 1u);
  // A 5 x 5 fill tile stretched over 18 x 20 (the menu cursor eraser), clipped at the edge.
  Surface tile(5, 5, 0x000080);
  Surface win(20, 20, 0xFFFFFF);
  win.StretchBlt(8, 10, 18, 20, tile, 0, 0, 5, 5, Rop::kSrcCopy);
  EXPECT_EQ(win.At(8, 10), 0x000080u);
  EXPECT_EQ(win.At(19, 19), 0x000080u);
  EXPECT_EQ(win.At(7, 10), 0xFFFFFFu);
}

TEST(SurfaceBackground, ClearRestoresThePictureOverTheColour) {
  auto pic = std::make_shared<Surface>(2, 1, 0x111111);
  Surface s(3, 1);
  s.SetBackColor(0x222222);
  EXPECT_EQ(s.At(2, 0), 0x222222u) << "setting the colour fills";
  s.SetBackPicture(pic);
  s.Set(0, 0, 5);
  s.Clear();
  EXPECT_EQ(s.At(0, 0), 0x111111u);
  EXPECT_EQ(s.At(2, 0), 0x222222u);
}

TEST(SurfaceCircle, PointsLieOnTheEllipse) {
  Surface s(101, 101);
  s.Circle(50, 50, 40, 0xFF0000, 0.5);
  EXPECT_EQ(s.At(90, 50), 0xFF0000u);
  EXPECT_EQ(s.At(50, 30), 0xFF0000u) << "aspect 0.5 halves the vertical radius";
  EXPECT_EQ(s.At(50, 10), 0u);
  Surface t(101, 101);
  t.Circle(50, 50, 40, 0xFF, 2.0);
  EXPECT_EQ(t.At(50, 10), 0xFFu) << "aspect above 1: the radius is the vertical one";
  EXPECT_EQ(t.At(70, 50), 0xFFu);
}

TEST(Compose, WindowsLieOverTheViewInZOrderAndAreClipped) {
  Surface view(10, 10, 1);
  view.left = 3;
  view.top = 3;
  Surface a(4, 4, 2), b(4, 4, 3), hidden(10, 10, 9);
  a.left = 1;
  a.top = 1;
  a.z = 5;
  b.left = 3;
  b.top = 3;
  b.z = 2;
  b.visible = true;
  hidden.visible = false;
  Surface edge(6, 6, 4);
  edge.left = 7;
  edge.top = 7;
  edge.z = 1;
  Surface out;
  ComposeFrame(0x0000FF, 16, 16, view, {&a, &b, &hidden, &edge}, &out);
  ASSERT_EQ(out.width(), 16);
  EXPECT_EQ(out.At(0, 0), 0x0000FFu) << "border";
  EXPECT_EQ(out.At(3, 3), 1u) << "view";
  EXPECT_EQ(out.At(4, 4), 2u) << "window a";
  // The ComposeFrame call draws in the given order; the caller sorts by z.
  EXPECT_EQ(out.At(7, 7), 3u);
  EXPECT_EQ(out.At(12, 12), 4u);
  EXPECT_EQ(out.At(13, 13), 0x0000FFu) << "a window never spills out of the view";
}

// Composing into the same frame again copies only what changed, laying a background again
// copies only where it was drawn over, and the gate compares only the rows the frame says
// changed: through any sequence of drawing, moving, hiding and restacking, drawing on the
// frame itself and laying the view's background again, the frame shows what composing from
// nothing would, the view what copying the background whole would, and the gate what is shown.
TEST(ComposeFrame, AKeptFrameAlwaysMatchesOneComposedFromNothing) {
  Surface view(40, 40, 1), ref(40, 40, 1), back(40, 40), big(52, 52), sheet(8, 8);
  for (int i = 0; i < 1600; ++i) back.Set(i % 40, i / 40, static_cast<Color>(i * 2654435761u) >> 8);
  for (int i = 0; i < 52 * 52; ++i) big.Set(i % 52, i / 52, static_cast<Color>(i * 2246822519u) >> 8);
  for (int i = 0; i < 64; ++i) sheet.Set(i % 8, i / 8, static_cast<Color>(i * 40503u));
  view.left = view.top = 3;
  Surface w[3] = {Surface(12, 10, 2), Surface(30, 8, 3), Surface(9, 30, 4)};
  const int places[3][2] = {{2, 2}, {5, 28}, {25, 5}};
  for (int i = 0; i < 3; ++i) {
    w[i].left = places[i][0];
    w[i].top = places[i][1];
  }
  FrameComposer kept;
  FrameGate gate;
  FrameScaler scaler;
  Surface out, fresh;
  std::uint32_t r = 1;
  const auto next = [&r](std::uint32_t n) { return ((r = r * 1664525u + 1013904223u) >> 8) % n; };
  for (int round = 0; round < 1500; ++round) {
    Surface& s = w[next(3)];
    switch (next(10)) {
      case 0: {
        const int x = static_cast<int>(next(44)) - 2, y = static_cast<int>(next(44)) - 2;
        const Color c = next(200);
        view.FillRect(x, y, 5, 5, c);
        ref.FillRect(x, y, 5, 5, c);
        break;
      }
      case 1: s.FillRect(static_cast<int>(next(12)), static_cast<int>(next(8)), 3, 3, next(200)); break;
      case 2: s.left = static_cast<int>(next(50)) - 5; break;
      case 3:
        s.visible = !s.visible;
        if (next(4) == 0) view.left = static_cast<int>(next(9)) - 2;  // the form resized round it
        break;
      case 4: std::swap(w[0], w[1]); break;  // the same surfaces, other pictures and places
      case 5: out.Set(static_cast<int>(next(46)), static_cast<int>(next(46)), 77); break;
      case 6: case 7: case 9: {
        // The background laid again (as every field and battle frame does), or a block of
        // a larger one (a field view scrolling), then figures on it.
        const bool scroll = next(3) != 0;
        const Surface& under = scroll ? big : back;
        const int ox = scroll ? static_cast<int>(next(13)) : 0, oy = scroll ? static_cast<int>(next(13)) : 0;
        view.BitBlt(0, 0, 40, 40, &under, ox, oy, Rop::kSrcCopy);
        ref.FillRect(0, 0, 40, 40, 0);
        ref.BitBlt(0, 0, 40, 40, &under, ox, oy, Rop::kSrcPaint);
        for (int n = static_cast<int>(next(4)); n >= 0; --n) {
          const int x = static_cast<int>(next(40)) - 4, y = static_cast<int>(next(40)) - 4;
          view.BitBlt(x, y, 8, 8, &sheet, 0, 0, Rop::kSrcAnd);
          ref.BitBlt(x, y, 8, 8, &sheet, 0, 0, Rop::kSrcAnd);
        }
        break;
      }
      case 8:
        back.Set(static_cast<int>(next(40)), static_cast<int>(next(40)), next(200));
        big.Set(static_cast<int>(next(52)), static_cast<int>(next(52)), next(200));
        break;
      default: break;  // nothing changed
    }
    // Read through copies, so that neither the view nor the output is copied in here.
    const auto read = [](const Surface& s) { return Surface(s).pixels(); };
    ASSERT_TRUE(read(view) == std::as_const(ref).pixels()) << "round " << round;
    const std::vector<const Surface*> shown = {&w[0], &w[1], &w[2]};
    kept.Compose(0x0000FF, 46, 46, view, shown, &out);
    Surface flat = view;  // a view of its own pixels, so composed by copying
    flat.pixels();
    ComposeFrame(0x0000FF, 46, 46, flat, shown, &fresh);
    ASSERT_TRUE(read(out) == std::as_const(fresh).pixels()) << "round " << round;
    gate.Admit(out);
    ASSERT_TRUE(read(gate.last()) == std::as_const(fresh).pixels()) << "round " << round;
    // What the display scales from the frame it keeps (reading through it).
    std::vector<std::uint32_t> shown_px(46 * 46);
    scaler.Scale(gate.last(), 0, 46, Placement{0, 0, 46, 46, true}, shown_px.data(), 46);
    ASSERT_TRUE(shown_px == std::as_const(fresh).pixels()) << "round " << round;
  }
}

// A copy of a surface replaces another's picture: what changed in the copy's history says
// nothing of what the replaced one showed, so those who kept a version of it look again.
TEST(Surface, ACopyKnowsNoChangesFromBeforeIt) {
  Surface a(8, 8, 1), b(8, 8, 2);
  const std::uint64_t seen = a.version();
  b.Set(1, 1, 3);
  a = b;
  std::vector<Rect> changed;
  EXPECT_FALSE(a.ChangedSince(seen, &changed)) << "another picture";
  EXPECT_TRUE(a.ChangedSince(a.version(), &changed));
  EXPECT_TRUE(changed.empty());
  const std::uint64_t copied = a.version();
  a.FillRect(2, 3, 2, 2, 5);
  ASSERT_TRUE(a.ChangedSince(copied, &changed));
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_EQ(changed[0].x, 2);
  EXPECT_EQ(changed[0].y, 3);
}

TEST(Surface, EveryDrawingChangesTheVersion) {
  Surface s(8, 8), other(8, 8, 5);
  const std::function<void()> drawings[] = {
      [&] { s.Set(1, 1, 3); },
      [&] { s.BitBlt(0, 0, 4, 4, &other, 0, 0, Rop::kSrcAnd); },
      [&] { s.StretchBlt(0, 0, 8, 8, other, 0, 0, 2, 2, Rop::kSrcCopy); },
      [&] { s.FillRect(2, 2, 2, 2, 9); },
      [&] { s.SetBackColor(4); },
      [&] { s.Clear(); },
      [&] { s.Resize(9, 8); },
      [&] { s.Circle(4, 4, 2, 1); },
      [&] { s.pixels()[0] = 1; },
  };
  for (size_t i = 0; i < std::size(drawings); ++i) {
    const std::uint64_t before = s.version();
    drawings[i]();
    EXPECT_NE(s.version(), before) << "drawing " << i;
  }
  const std::uint64_t v = s.version();
  s.BitBlt(20, 20, 4, 4, &other, 0, 0, Rop::kSrcCopy);  // wholly outside: nothing drawn
  EXPECT_EQ(s.version(), v);
}

// A whole copy (a same-size surface, or a block of a larger one laid over all of a surface)
// is read from the source until drawn on. Drawing on either side, reading it into a frame,
// copying it again or drawing more figures than are tracked leaves each side its own picture.
TEST(SurfaceLaid, EachSideKeepsItsPictureAndVersions) {
  for (const bool same : {true, false}) {
    Surface src(same ? 10 : 14, same ? 8 : 12);
    for (size_t i = 0; i < src.pixels().size(); ++i) src.pixels()[i] = static_cast<Color>(i * 40503u) >> 8;
    const Surface before = src;  // shares the pixels until src is drawn on
    const int sx = same ? 0 : 3, sy = same ? 0 : 2;
    Surface a(10, 8, 7), ref(10, 8);
    a.Set(0, 0, 1);
    const std::uint64_t old = a.version();
    a.BitBlt(0, 0, 10, 8, &src, sx, sy, Rop::kSrcCopy);
    ref.BitBlt(0, 0, 10, 8, &before, sx, sy, Rop::kSrcPaint);
    std::vector<Rect> changed;
    EXPECT_EQ(a.version() == src.version(), same);
    // A shared picture is another picture since; a laid block changed all of the surface.
    EXPECT_EQ(a.ChangedSince(old, &changed), !same);
    changed.clear();
    const std::uint64_t laid = a.version();
    Surface scrolled = before;
    scrolled.Set(0, 0, before.At(0, 0));  // pixels of its own: scrolled in place
    for (Surface* s : {&src, &scrolled}) s->BitBlt(1, 2, 7, 5, s, 0, 1, Rop::kSrcCopy);
    EXPECT_EQ(std::as_const(src).pixels(), std::as_const(scrolled).pixels());
    src.FillRect(0, 0, 6, 6, 0x222);
    for (int k = 0; k < 24; ++k) {  // more figures than the rectangles tracked
      for (Surface* s : {&a, &ref}) s->BitBlt((k * 3) % 10, (k * 5) % 8, 1, 1, &before, k % 8, 1, Rop::kSrcAnd);
      if (k == 2) {
        ASSERT_TRUE(a.ChangedSince(laid, &changed));
        EXPECT_EQ(changed.size(), 3u);
        Surface out(12, 10, 5), expect(12, 10, 5);
        out.BitBlt(1, 1, 10, 8, &a, 0, 0, Rop::kSrcCopy);
        expect.BitBlt(1, 1, 10, 8, &ref, 0, 0, Rop::kSrcCopy);
        EXPECT_EQ(std::as_const(out).pixels(), std::as_const(expect).pixels());
        Surface b = a;
        b.Set(4, 4, 9);
        EXPECT_EQ(a.At(4, 4), ref.At(4, 4));
      }
    }
    EXPECT_EQ(std::as_const(a).pixels(), std::as_const(ref).pixels()) << same;
    EXPECT_EQ(src.At(0, 0), 0x222u);
  }
}

// The frame laid through and the copy the display keeps of it take turns with the pixels:
// whatever is drawn on the frame between copies, each copy shows what was drawn.
TEST(SurfaceLaid, AFrameSharedWithItsLastCopyKeepsEveryDrawing) {
  Surface big(30, 30), ref(24, 24, 9);
  for (int i = 0; i < 900; ++i) big.Set(i % 30, i / 30, static_cast<Color>(i * 2654435761u) >> 8);
  Surface view(20, 20), frame(24, 24, 9), kept[2] = {frame, frame};
  std::vector<Color> kept_px[2] = {std::as_const(frame).pixels(), std::as_const(frame).pixels()};
  std::uint32_t r = 7;
  const auto next = [&r](std::uint32_t n) { return ((r = r * 1664525u + 1013904223u) >> 8) % n; };
  const std::vector<Rect> keep = {Rect{4, 4, 6, 5}};
  for (int round = 0; round < 400; ++round) {
    switch (next(4)) {
      case 0: {  // the view scrolled and laid through again, under the kept square
        const int ox = static_cast<int>(next(11)), oy = static_cast<int>(next(11));
        view.BitBlt(0, 0, 20, 20, &big, ox, oy, Rop::kSrcCopy);
        view.FillRect(static_cast<int>(next(20)), static_cast<int>(next(20)), 3, 3, next(99));
        ASSERT_TRUE(frame.LayThrough(Rect{2, 2, 20, 20}, view, 0, 0, keep));
        Surface flat = view, front = ref;  // the kept square stays as it was
        ref.BitBlt(2, 2, 20, 20, &flat, 0, 0, Rop::kSrcCopy);
        ref.BitBlt(4, 4, 6, 5, &front, 4, 4, Rop::kSrcCopy);
        break;
      }
      default: {  // drawn on anywhere, round the view too
        const int x = static_cast<int>(next(24)), y = static_cast<int>(next(24));
        const Color c = next(99);
        frame.FillRect(x, y, 2, 2, c);
        ref.FillRect(x, y, 2, 2, c);
        break;
      }
    }
    if (next(2) == 0) {  // shown (or kept for a message box): shares the frame's pixels
      const size_t k = next(2);
      kept[k] = frame;
      kept_px[k] = std::as_const(ref).pixels();
    }
    ASSERT_EQ(Surface(frame).pixels(), std::as_const(ref).pixels()) << "round " << round;
    for (size_t k = 0; k < 2; ++k) ASSERT_EQ(Surface(kept[k]).pixels(), kept_px[k]) << "round " << round;
  }
}

}  // namespace
}  // namespace ardo::platform
