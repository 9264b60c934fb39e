// The compiler's working pictures: like a surface, plus a "none" value for the
// transparent pixels of stamps and grids. Internal to ardo-picc.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ardo::picc {

using Pixel = std::uint32_t;
constexpr Pixel kNone = 0xFF000000u;  // transparent: never a stored colour

struct Image {
  int w = 0;
  int h = 0;
  std::vector<Pixel> px;

  Image() = default;
  Image(int width, int height, Pixel fill) : w(width), h(height), px(static_cast<size_t>(width) * height, fill) {}
  bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < w && y < h; }
  Pixel At(int x, int y) const { return Inside(x, y) ? px[static_cast<size_t>(y) * w + x] : kNone; }
  void Set(int x, int y, Pixel c) {
    if (Inside(x, y)) px[static_cast<size_t>(y) * w + x] = c;
  }
  // Draws src with its top-left at (dx, dy); transparent source pixels leave this one alone.
  void Draw(const Image& src, int dx, int dy) {
    for (int y = 0; y < src.h; ++y)
      for (int x = 0; x < src.w; ++x) {
        const Pixel c = src.At(x, y);
        if (c != kNone) Set(dx + x, dy + y, c);
      }
  }
  Image Crop(int x0, int y0, int width, int height) const {
    Image out(width, height, kNone);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) out.Set(x, y, At(x0 + x, y0 + y));
    return out;
  }
};

// A small deterministic generator (splitmix64), the same on every machine.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 0x2545F4914F6CDD1Dull) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int Below(int n) { return n <= 0 ? 0 : static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }

 private:
  std::uint64_t state_;
};

// Terrain and picture generators (generators.cpp). Each works on a block in place.
namespace gen {

// Little grass blades: a dark stroke with a light tip, wrapping at the block's edges.
void Tufts(Image* img, std::uint64_t seed, int count, Pixel dark, Pixel light);
// Single pixels of the given colours at random places.
void Speckle(Image* img, std::uint64_t seed, int count, const std::vector<Pixel>& colors);
// Small wave crests on water.
void Ripple(Image* img, std::uint64_t seed, int count, Pixel color);

// A shore or border: `other` is laid over the parts of the block that `mask` selects, with a
// slightly uneven boundary; rim colours run along the boundary on the block's own side
// (distance 1, 2, ...) and bank colours on the other side. Mask: components joined by '+',
// each a set of sides ("n", "sw", "nsew") or an inner corner ("inw", "ine", "isw", "ise").
// Returns false when the mask does not parse.
bool Edge(Image* img, const std::string& mask, int depth, const Image& other, std::uint64_t seed,
          int jitter, const std::vector<Pixel>& rim, const std::vector<Pixel>& bank);

// A vertical gradient between two colours in `bands` steps, optionally dithered.
void Gradient(Image* img, Pixel top, Pixel bottom, int bands, bool dither);

// A running-bond brick pattern over the block: each brick gets a light top-left and a dark
// bottom-right, with mortar lines between. Odd rows are shifted by `offset`.
void Bricks(Image* img, int bw, int bh, int offset, Pixel mortar, Pixel light, Pixel dark);

// Frames the block with the nine pieces of `frame` (3 x 3 equal pieces).
void Nine(Image* img, const Image& frame, bool fill);

// A shaded round body (tree top, bush, boulder, cloud) lit from the top left. colors[0] is
// the outline, the rest run from dark to light. rough > 0 breaks the surface and the
// silhouette into clumps (leaves); dither blends neighbouring tones in a checker.
void Ball(Image* img, double cx, double cy, double rx, double ry, std::uint64_t seed, double rough, bool dither,
          const std::vector<Pixel>& colors);
// A filled ellipse of one colour (shadows, holes).
void Oval(Image* img, double cx, double cy, double rx, double ry, Pixel color);
// A mountain peak: apex at (cx, top), base from cx - half to cx + half at row `base`.
// colors: outline, shade, body, lit face; snow colours (shade, lit) cap the top third.
void Peak(Image* img, double cx, int top, int base, double half, std::uint64_t seed, const std::vector<Pixel>& colors,
          const std::vector<Pixel>& snow);

// Pixels of colour `background` that touch (4-neighbour) another colour become `color`.
void Outline(Image* img, Pixel background, Pixel color);

}  // namespace gen
}  // namespace ardo::picc
