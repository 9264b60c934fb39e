// Generators for the parts of pictures that hand grids would only make tedious:
// ground noise, water crests, shore edges, gradients, bricks and frames.
#include <algorithm>
#include <array>
#include <cmath>

#include "image.h"

namespace ardo::picc::gen {

namespace {

int Wrap(int v, int n) { return ((v % n) + n) % n; }

void SetWrapped(Image* img, int x, int y, Pixel c) { img->Set(Wrap(x, img->w), Wrap(y, img->h), c); }

Pixel Lerp(Pixel a, Pixel b, double t) {
  auto ch = [&](int shift) {
    const double va = (a >> shift) & 255, vb = (b >> shift) & 255;
    return static_cast<Pixel>(std::lround(va + (vb - va) * t)) & 255;
  };
  return (ch(16) << 16) | (ch(8) << 8) | ch(0);
}

// One part of an edge mask.
struct Component {
  bool n = false, s = false, e = false, w = false;  // strips along these sides
  int inner = -1;                                   // inner corner: 0 nw, 1 ne, 2 sw, 3 se
};

bool ParseMask(const std::string& text, std::vector<Component>* out) {
  size_t start = 0;
  while (start <= text.size()) {
    size_t plus = text.find('+', start);
    if (plus == std::string::npos) plus = text.size();
    const std::string part = text.substr(start, plus - start);
    Component c;
    if (part.empty()) return false;
    if (part[0] == 'i') {
      static const std::array<const char*, 4> names = {"inw", "ine", "isw", "ise"};
      for (int i = 0; i < 4; ++i)
        if (part == names[i]) c.inner = i;
      if (c.inner < 0) return false;
    } else {
      for (char ch : part) {
        bool* side = ch == 'n' ? &c.n : ch == 's' ? &c.s : ch == 'e' ? &c.e : ch == 'w' ? &c.w : nullptr;
        if (side == nullptr || *side) return false;
        *side = true;
      }
    }
    out->push_back(c);
    start = plus + 1;
  }
  return !out->empty();
}

// Per-side boundary offsets: zero near the block's corners (so neighbouring pieces meet),
// gently wandering by up to `amp` pixels in between.
std::vector<int> Wander(Rng* rng, int n, int amp) {
  std::vector<int> j(static_cast<size_t>(std::max(n, 0)), 0);
  if (amp <= 0) return j;
  int v = 0;
  for (int i = 0; i < n; ++i) {
    const int margin = std::min(i, n - 1 - i);
    const int r = rng->Below(4);
    if (r == 0 && v > -amp) --v;
    if (r == 1 && v < amp) ++v;
    const int limit = std::max(0, (margin - 3) / 2);
    j[static_cast<size_t>(i)] = std::clamp(v, -limit, limit);
  }
  return j;
}

}  // namespace

void Tufts(Image* img, std::uint64_t seed, int count, Pixel dark, Pixel light) {
  if (img->w <= 0 || img->h <= 0) return;
  Rng rng(seed);
  for (int i = 0; i < count; ++i) {
    const int x = rng.Below(img->w), y = rng.Below(img->h);
    // A small "v" of two blades with lit tips.
    SetWrapped(img, x, y + 1, dark);
    SetWrapped(img, x + 1, y + 2, dark);
    SetWrapped(img, x + 2, y + 1, dark);
    SetWrapped(img, x, y, light);
    SetWrapped(img, x + 2, y, light);
  }
}

void Speckle(Image* img, std::uint64_t seed, int count, const std::vector<Pixel>& colors) {
  if (img->w <= 0 || img->h <= 0 || colors.empty()) return;
  Rng rng(seed);
  for (int i = 0; i < count; ++i) {
    const int x = rng.Below(img->w), y = rng.Below(img->h);
    img->Set(x, y, colors[static_cast<size_t>(rng.Below(static_cast<int>(colors.size())))]);
  }
}

void Ripple(Image* img, std::uint64_t seed, int count, Pixel color) {
  if (img->w <= 0 || img->h <= 0) return;
  Rng rng(seed);
  for (int i = 0; i < count; ++i) {
    const int x = rng.Below(img->w), y = rng.Below(img->h);
    const int len = 2 + rng.Below(3);
    SetWrapped(img, x, y + 1, color);
    for (int k = 1; k <= len; ++k) SetWrapped(img, x + k, y, color);
    SetWrapped(img, x + len + 1, y + 1, color);
  }
}

bool Edge(Image* img, const std::string& mask, int depth, const Image& other, std::uint64_t seed,
          int jitter, const std::vector<Pixel>& rim, const std::vector<Pixel>& bank) {
  std::vector<Component> parts;
  if (!ParseMask(mask, &parts)) return false;
  const int W = img->w, H = img->h;
  Rng rng(seed);
  const std::vector<int> jn = Wander(&rng, W, jitter), js = Wander(&rng, W, jitter),
                         jw = Wander(&rng, H, jitter), je = Wander(&rng, H, jitter);
  auto at = [](const std::vector<int>& v, int i) {
    return i >= 0 && i < static_cast<int>(v.size()) ? v[static_cast<size_t>(i)] : 0;
  };
  const double d = depth, r = std::max(2.0, depth / 2.0);
  // True where the other picture shows. Works outside the block too (straight continuation),
  // so that rims at the block's border agree with the neighbouring piece.
  auto in_other = [&](int x, int y) {
    const double px = x + 0.5, py = y + 0.5;
    for (const Component& c : parts) {
      if (c.inner >= 0) {
        // Mirror the coordinates so that every inner corner is the north-west one.
        const double qx = (c.inner == 1 || c.inner == 3) ? W - px : px;
        const double qy = (c.inner >= 2) ? H - py : py;
        if (qx < d && qy < d) {
          if (qx > d - r && qy > d - r) {
            if (std::hypot(qx - (d - r), qy - (d - r)) <= r) return true;
          } else {
            return true;
          }
        }
        continue;
      }
      const double dn = c.n ? py - (d + at(jn, x)) : 1e9;
      const double ds = c.s ? (H - py) - (d + at(js, x)) : 1e9;
      const double dw = c.w ? px - (d + at(jw, y)) : 1e9;
      const double de = c.e ? (W - px) - (d + at(je, y)) : 1e9;
      if (dn < 0 || ds < 0 || dw < 0 || de < 0) return true;
      // Round the block's own corner where two listed sides meet.
      auto round = [&](double a, double b) { return a < r && b < r && std::hypot(r - a, r - b) > r; };
      if (c.n && c.w && round(dn, dw)) return true;
      if (c.n && c.e && round(dn, de)) return true;
      if (c.s && c.w && round(ds, dw)) return true;
      if (c.s && c.e && round(ds, de)) return true;
    }
    return false;
  };
  const int pad = static_cast<int>(std::max(rim.size(), bank.size())) + 1;
  const int EW = W + 2 * pad, EH = H + 2 * pad;
  std::vector<char> mine(static_cast<size_t>(EW) * EH);
  for (int y = 0; y < EH; ++y)
    for (int x = 0; x < EW; ++x) mine[static_cast<size_t>(y) * EW + x] = in_other(x - pad, y - pad) ? 1 : 0;
  // Distance (4-neighbour steps) to the other region, for both sides, up to `pad`.
  auto distance = [&](int x, int y, char want) {
    for (int k = 1; k < pad; ++k)
      for (int dy = -k; dy <= k; ++dy) {
        const int dx = k - std::abs(dy);
        for (int sx : {dx, -dx}) {
          const int ex = x + pad + sx, ey = y + pad + dy;
          if (ex >= 0 && ey >= 0 && ex < EW && ey < EH && mine[static_cast<size_t>(ey) * EW + ex] == want)
            return k;
        }
      }
    return 1 << 20;
  };
  Image out = *img;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const bool o = mine[static_cast<size_t>(y + pad) * EW + x + pad] != 0;
      if (o) {
        Pixel c = other.At(x, y);
        const int k = distance(x, y, 0);
        if (k <= static_cast<int>(bank.size())) c = bank[static_cast<size_t>(k - 1)];
        if (c != kNone) out.Set(x, y, c);
      } else {
        const int k = distance(x, y, 1);
        if (k <= static_cast<int>(rim.size())) out.Set(x, y, rim[static_cast<size_t>(k - 1)]);
      }
    }
  *img = std::move(out);
  return true;
}

void Gradient(Image* img, Pixel top, Pixel bottom, int bands, bool dither) {
  static const int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  bands = std::max(bands, 2);
  for (int y = 0; y < img->h; ++y) {
    const double t = img->h > 1 ? static_cast<double>(y) / (img->h - 1) : 0.0;
    const double pos = t * (bands - 1);
    for (int x = 0; x < img->w; ++x) {
      int band = static_cast<int>(std::floor(pos));
      const double frac = pos - band;
      if (dither) {
        if (frac * 16.0 > kBayer[y & 3][x & 3] + 0.5) ++band;
      } else if (frac >= 0.5) {
        ++band;
      }
      band = std::clamp(band, 0, bands - 1);
      img->Set(x, y, Lerp(top, bottom, static_cast<double>(band) / (bands - 1)));
    }
  }
}

void Bricks(Image* img, int bw, int bh, int offset, Pixel mortar, Pixel light, Pixel dark) {
  if (bw < 2 || bh < 2) return;
  for (int y = 0; y < img->h; ++y) {
    const int row = y / bh, iy = y % bh;
    for (int x = 0; x < img->w; ++x) {
      const int sx = x + (row % 2 == 1 ? offset : 0);
      const int ix = ((sx % bw) + bw) % bw;
      if (iy == bh - 1 || ix == bw - 1) {
        img->Set(x, y, mortar);
      } else if (iy == 0 || ix == 0) {
        img->Set(x, y, light);
      } else if (iy == bh - 2 || ix == bw - 2) {
        img->Set(x, y, dark);
      }
    }
  }
}

void Nine(Image* img, const Image& frame, bool fill) {
  const int pw = frame.w / 3, ph = frame.h / 3;
  if (pw <= 0 || ph <= 0) return;
  auto piece = [&](int px, int py, int dx, int dy, int w, int h) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const Pixel c = frame.At(px * pw + x % pw, py * ph + y % ph);
        if (c != kNone) img->Set(dx + x, dy + y, c);
      }
  };
  const int W = img->w, H = img->h;
  const int iw = std::max(0, W - 2 * pw), ih = std::max(0, H - 2 * ph);
  if (fill) piece(1, 1, pw, ph, iw, ih);
  piece(1, 0, pw, 0, iw, ph);
  piece(1, 2, pw, H - ph, iw, ph);
  piece(0, 1, 0, ph, pw, ih);
  piece(2, 1, W - pw, ph, pw, ih);
  piece(0, 0, 0, 0, pw, ph);
  piece(2, 0, W - pw, 0, pw, ph);
  piece(0, 2, 0, H - ph, pw, ph);
  piece(2, 2, W - pw, H - ph, pw, ph);
}

void Outline(Image* img, Pixel background, Pixel color) {
  Image out = *img;
  for (int y = 0; y < img->h; ++y)
    for (int x = 0; x < img->w; ++x) {
      if (img->At(x, y) != background) continue;
      const int nx[4] = {x - 1, x + 1, x, x}, ny[4] = {y, y, y - 1, y + 1};
      for (int k = 0; k < 4; ++k) {
        if (!img->Inside(nx[k], ny[k])) continue;
        const Pixel c = img->At(nx[k], ny[k]);
        if (c != background && c != color) {
          out.Set(x, y, color);
          break;
        }
      }
    }
  *img = std::move(out);
}

}  // namespace ardo::picc::gen

namespace ardo::picc::gen {

namespace {

// Smooth seeded noise in -1..1 with features about `cell` pixels across.
class ValueNoise {
 public:
  ValueNoise(std::uint64_t seed, double cell) : cell_(cell) {
    Rng rng(seed);
    for (double& v : table_) v = (rng.Below(2001) - 1000) / 1000.0;
  }
  double At(double x, double y) const {
    x /= cell_;
    y /= cell_;
    const double fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    double tx = x - fx, ty = y - fy;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    const double a = Corner(ix, iy), b = Corner(ix + 1, iy), c = Corner(ix, iy + 1), d = Corner(ix + 1, iy + 1);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
  }

 private:
  double Corner(int x, int y) const { return table_[static_cast<size_t>(((x & 15) * 16 + (y & 15)) & 255)]; }
  double cell_;
  std::array<double, 256> table_{};
};

// Marks the outline of a mask: inside pixels with a 4-neighbour outside.
void OutlineMask(const std::vector<char>& inside, int w, int h, std::vector<char>* edge) {
  edge->assign(inside.size(), 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (!inside[static_cast<size_t>(y) * w + x]) continue;
      auto in = [&](int ax, int ay) {
        return ax >= 0 && ay >= 0 && ax < w && ay < h && inside[static_cast<size_t>(ay) * w + ax];
      };
      if (!in(x - 1, y) || !in(x + 1, y) || !in(x, y - 1) || !in(x, y + 1)) (*edge)[static_cast<size_t>(y) * w + x] = 1;
    }
}

}  // namespace

void Ball(Image* img, double cx, double cy, double rx, double ry, std::uint64_t seed, double rough, bool dither,
          const std::vector<Pixel>& colors) {
  if (colors.size() < 2 || rx <= 0 || ry <= 0) return;
  const int W = img->w, H = img->h;
  const ValueNoise clumps(seed, 2.6), edge_noise(seed + 7, 3.0);
  std::vector<char> inside(static_cast<size_t>(W) * H, 0);
  std::vector<double> light(inside.size(), 0.0);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const double nx = (x + 0.5 - cx) / rx, ny = (y + 0.5 - cy) / ry;
      const double d2 = nx * nx + ny * ny;
      const double limit = 1.0 + rough * 0.22 * edge_noise.At(x, y);
      if (d2 > limit * limit) continue;
      inside[static_cast<size_t>(y) * W + x] = 1;
      const double nz = std::sqrt(std::max(0.0, 1.0 - std::min(d2, 1.0)));
      // Light from the top left and a little from the front.
      double l = (-0.5 * nx - 0.6 * ny + 0.62 * nz) / 0.95;
      l = 0.4 + 0.5 * l + rough * 0.28 * clumps.At(x, y);
      light[static_cast<size_t>(y) * W + x] = l;
    }
  std::vector<char> edge;
  OutlineMask(inside, W, H, &edge);
  const int tones = static_cast<int>(colors.size()) - 1;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const size_t i = static_cast<size_t>(y) * W + x;
      if (!inside[i]) continue;
      if (edge[i]) {
        img->Set(x, y, colors[0]);
        continue;
      }
      double v = light[i] * tones;
      if (dither) v += ((x + y) & 1) ? 0.2 : -0.2;
      const int t = std::clamp(static_cast<int>(std::floor(v)), 0, tones - 1);
      img->Set(x, y, colors[static_cast<size_t>(1 + t)]);
    }
}

void Oval(Image* img, double cx, double cy, double rx, double ry, Pixel color) {
  if (rx <= 0 || ry <= 0) return;
  for (int y = 0; y < img->h; ++y)
    for (int x = 0; x < img->w; ++x) {
      const double nx = (x + 0.5 - cx) / rx, ny = (y + 0.5 - cy) / ry;
      if (nx * nx + ny * ny <= 1.0) img->Set(x, y, color);
    }
}

void Peak(Image* img, double cx, int top, int base, double half, std::uint64_t seed, const std::vector<Pixel>& colors,
          const std::vector<Pixel>& snow) {
  if (colors.size() < 4 || base <= top || half <= 0) return;
  const int W = img->w, H = img->h;
  Rng rng(seed);
  // The ridge wanders from the apex down to the base, a little right of the middle.
  std::vector<double> ridge(static_cast<size_t>(H), cx);
  double rxp = cx;
  for (int y = top; y < H; ++y) {
    rxp += (rng.Below(3) - 1) * 0.5 + 0.12;
    ridge[static_cast<size_t>(y)] = rxp;
  }
  const double snow_line = top + (base - top) * 0.38;
  std::vector<double> snow_edge(static_cast<size_t>(W));
  for (int x = 0; x < W; ++x) snow_edge[static_cast<size_t>(x)] = snow_line + rng.Below(3) - 1 + ((x & 1) ? 1 : 0);
  std::vector<char> inside(static_cast<size_t>(W) * H, 0);
  for (int y = top; y <= base && y < H; ++y) {
    const double t = (y + 0.5 - top) / (base - top + 0.5);
    const double hw = half * t + 0.5;
    for (int x = 0; x < W; ++x)
      if (std::abs(x + 0.5 - cx) <= hw) inside[static_cast<size_t>(y) * W + x] = 1;
  }
  std::vector<char> edge;
  OutlineMask(inside, W, H, &edge);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const size_t i = static_cast<size_t>(y) * W + x;
      if (!inside[i]) continue;
      if (edge[i]) {
        img->Set(x, y, colors[0]);
        continue;
      }
      const double r = ridge[static_cast<size_t>(y)];
      const bool lit = x + 0.5 < r;
      const bool snowy = !snow.empty() && y < snow_edge[static_cast<size_t>(x)];
      Pixel c;
      if (snowy) {
        c = lit ? snow.back() : snow.front();
      } else if (lit) {
        // The lit face, with a few diagonal gullies in the body colour.
        c = ((x + y * 2 + static_cast<int>(seed)) % 7 == 0 && x + 2 < r) ? colors[2] : colors[3];
      } else {
        c = ((x * 2 + y + static_cast<int>(seed)) % 6 == 0) ? colors[2] : colors[1];
      }
      if (std::abs(x + 0.5 - r) < 0.75 && !snowy) c = colors[1];
      img->Set(x, y, c);
    }
}

}  // namespace ardo::picc::gen
