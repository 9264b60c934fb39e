#include "platform/blit.h"

#include <algorithm>
#include <cstring>

#include "platform/quad.h"

namespace ardo::platform {

namespace {

using quad::Load;
using quad::Store;

// The mask's white clears the background under the figure; the image's black keeps the rest.
void MaskRow(Color* __restrict d, const Color* __restrict m, const Color* __restrict c, int n) {
  int x = 0;
  for (; x + 4 <= n; x += 4) Store(d + x, (Load(d + x) | Load(m + x)) & Load(c + x));
  for (; x < n; ++x) d[x] = (d[x] | m[x]) & c[x];
}

// A battle's figures: the mask's black cuts the figure's shape out, the image fills it.
void PaintRow(Color* __restrict d, const Color* __restrict m, const Color* __restrict c, int n) {
  int x = 0;
  for (; x + 4 <= n; x += 4) Store(d + x, (Load(d + x) & Load(m + x)) | Load(c + x));
  for (; x < n; ++x) d[x] = (d[x] & m[x]) | c[x];
}

// A short copy inline (a tile's row is 24 pixels): a library call for each costs more
// than the copy.
inline void CopyRow(Color* __restrict d, const Color* __restrict s, long long n) {
  long long x = 0;
  for (; x + 8 <= n; x += 8) {
    Store(d + x, Load(s + x));
    Store(d + x + 4, Load(s + x + 4));
  }
  for (; x + 4 <= n; x += 4) Store(d + x, Load(s + x));
  for (; x < n; ++x) d[x] = s[x];
}

// A rectangle clipped as BitBlt clips it: against the destination, then the source.
struct Clip {
  long long x, y, w, h, fx, fy;
  bool empty() const { return w <= 0 || h <= 0; }
};
Clip ClipTo(const Surface& dst, const Surface& src, long long x, long long y, long long w, long long h, long long fx,
            long long fy) {
  if (x < 0) { fx -= x; w += x; x = 0; }
  if (y < 0) { fy -= y; h += y; y = 0; }
  w = std::min<long long>(w, dst.width() - x);
  h = std::min<long long>(h, dst.height() - y);
  if (fx < 0) { x -= fx; w += fx; fx = 0; }
  if (fy < 0) { y -= fy; h += fy; fy = 0; }
  w = std::min<long long>(w, src.width() - fx);
  h = std::min<long long>(h, src.height() - fy);
  return Clip{x, y, w, h, fx, fy};
}

// Each row of the clipped rectangle c of dst, with the same rows of two pictures (a's from
// (afx, afy), b's from (bfx, bfy)), through row(dst, a, b, width): one change of dst.
template <void (*row)(Color* __restrict, const Color* __restrict, const Color* __restrict, int)>
void EachRow(Surface& dst, const Clip& c, const Surface& a, long long afx, long long afy, const Surface& b,
             long long bfx, long long bfy) {
  const size_t dw = static_cast<size_t>(dst.width()), aw = static_cast<size_t>(a.width()),
               bw = static_cast<size_t>(b.width());
  Color* const d = dst.pixels(Rect{static_cast<int>(c.x), static_cast<int>(c.y), static_cast<int>(c.w),
                                  static_cast<int>(c.h)}).data();
  const Color* const pa = a.pixels().data();
  const Color* const pb = b.pixels().data();
  for (long long y = 0; y < c.h; ++y) {
    row(d + static_cast<size_t>(c.y + y) * dw + static_cast<size_t>(c.x),
        pa + static_cast<size_t>(afy + y) * aw + static_cast<size_t>(afx),
        pb + static_cast<size_t>(bfy + y) * bw + static_cast<size_t>(bfx), static_cast<int>(c.w));
  }
}

}  // namespace

void MaskedBlt(Surface& dst, int dx, int dy, int w, int h, const Surface& mask, const Surface& image, int sx,
               int sy) {
  if (&mask == &dst || &image == &dst || mask.width() != image.width() || mask.height() != image.height()) {
    dst.BitBlt(dx, dy, w, h, &mask, sx, sy, Rop::kSrcPaint);
    dst.BitBlt(dx, dy, w, h, &image, sx, sy, Rop::kSrcAnd);
    return;
  }
  if (w <= 0 || h <= 0) return;
  const Clip c = ClipTo(dst, mask, dx, dy, w, h, sx, sy);
  if (!c.empty()) EachRow<MaskRow>(dst, c, mask, c.fx, c.fy, image, c.fx, c.fy);
}

void MaskThenPaint(Surface& dst, int dx, int dy, int w, int h, const Surface& sheet, int mx, int my, int sx, int sy) {
  if (w <= 0 || h <= 0) return;
  const Clip cm = ClipTo(dst, sheet, dx, dy, w, h, mx, my);
  const Clip ci = ClipTo(dst, sheet, dx, dy, w, h, sx, sy);
  if (&sheet == &dst || cm.x != ci.x || cm.y != ci.y || cm.w != ci.w || cm.h != ci.h) {
    // Clipped apart (a picture at the sheet's edge): each as its own blit clips it.
    dst.BitBlt(dx, dy, w, h, &sheet, mx, my, Rop::kSrcAnd);
    dst.BitBlt(dx, dy, w, h, &sheet, sx, sy, Rop::kSrcPaint);
    return;
  }
  if (!ci.empty()) EachRow<PaintRow>(dst, ci, sheet, cm.fx, cm.fy, sheet, ci.fx, ci.fy);
}

void LayTileRow(Surface& dst, int dx, int dy, int size, const Surface& sheet, const int* sx, const int* sy,
                int count) {
  if (size <= 0 || count <= 0 || &sheet == &dst) {
    for (int k = 0; k < count; ++k) dst.BitBlt(dx + k * size, dy, size, size, &sheet, sx[k], sy[k], Rop::kSrcCopy);
    return;
  }
  // Each tile's rectangle clipped once; then the rows, each a run of short copies.
  constexpr int kMax = 32;
  Clip clips[kMax];
  for (int first = 0; first < count; first += kMax) {
    const int n = std::min(kMax, count - first);
    long long top = 0, bottom = 0;
    bool any = false;
    for (int k = 0; k < n; ++k) {
      const int t = first + k;
      clips[k] = ClipTo(dst, sheet, static_cast<long long>(dx) + static_cast<long long>(t) * size, dy, size, size,
                        sx[t], sy[t]);
      if (clips[k].empty()) continue;
      top = any ? std::min(top, clips[k].y) : clips[k].y;
      bottom = any ? std::max(bottom, clips[k].y + clips[k].h) : clips[k].y + clips[k].h;
      any = true;
    }
    if (!any) continue;
    const size_t dw = static_cast<size_t>(dst.width()), sw = static_cast<size_t>(sheet.width());
    Color* const d = dst.pixels(Rect{dx + first * size, static_cast<int>(top), n * size, static_cast<int>(bottom - top)}).data();
    const Color* const s = sheet.pixels().data();
    for (long long y = top; y < bottom; ++y) {
      Color* const row = d + static_cast<size_t>(y) * dw;
      for (int k = 0; k < n; ++k) {
        const Clip& c = clips[k];
        if (c.empty() || y < c.y || y >= c.y + c.h) continue;
        CopyRow(row + c.x, s + static_cast<size_t>(c.fy + (y - c.y)) * sw + static_cast<size_t>(c.fx), c.w);
      }
    }
  }
}

}  // namespace ardo::platform
