// Picture surfaces: our own 32-bit pixel buffers with the raster operations the
// game draws with. Nothing here touches SDL; the platform only shows a finished frame.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ardo::platform {

// A colour as 0x00RRGGBB. The top byte is always zero in stored pixels.
using Color = std::uint32_t;

constexpr Color Rgb(int r, int g, int b) {
  return (static_cast<Color>(r & 255) << 16) | (static_cast<Color>(g & 255) << 8) |
         static_cast<Color>(b & 255);
}

// The classic raster operations, bitwise on each colour channel.
enum class Rop {
  kSrcCopy,     // dest = src
  kSrcAnd,      // dest = dest & src
  kSrcPaint,    // dest = dest | src
  kMergePaint,  // dest = dest | ~src
  kBlackness,   // dest = 0 (no source)
};

// A rectangle of pixels.
struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
  bool empty() const { return w <= 0 || h <= 0; }
  bool Contains(int px, int py) const { return px >= x && py >= y && px < x + w && py < y + h; }
};

// Rectangles that overlap or nearly do become the one rectangle round both (where that
// covers no more than the two apart), so a region drawn over twice is copied once.
void MergeRects(std::vector<Rect>* rects);

struct TextStyle {
  int size_px = 16;  // the window font: 12 pt bold, a 16 px glyph on a 17 px grid
  bool bold = true;
};

class Surface {
 public:
  Surface() = default;
  Surface(int width, int height, Color fill = 0);

  int width() const { return width_; }
  int height() const { return height_; }
  bool empty() const { return width_ == 0 || height_ == 0; }
  // Shows a block laid from another surface that is not copied in (see BitBlt, LayThrough):
  // a copy of it costs nothing now, and little when it is drawn on next.
  bool laid() const { return pending_.from != nullptr; }

  Color At(int x, int y) const;  // 0 outside the surface
  void Set(int x, int y, Color c);  // ignored outside the surface
  // For reading. (A surface laid from another's block copies it in here first.)
  const std::vector<Color>& pixels() const {
    Settle();
    return buf_ ? *buf_ : kNoPixels;
  }
  // For writing: counts as a change of the whole surface (ask for it again for each drawing).
  std::vector<Color>& pixels() {
    Touch();
    return *buf_;
  }
  // For writing within `r` only (clipped to the surface by the caller): a change of that rectangle.
  std::vector<Color>& pixels(const Rect& r) {
    Touch(r);
    return *buf_;
  }

  // Changes whenever the pixels or the size may have changed, and never comes back: a
  // surface showing the version seen before shows the same picture. (Copies, and surfaces
  // given a whole copy of a surface of their size, share the version of the picture they
  // copied.)
  std::uint64_t version() const { return version_; }
  // The rectangles that changed since this surface showed version `seen` (in the order they
  // changed, possibly overlapping), appended to *changed. False when that is no longer known
  // (too many changes since, or another picture): then anything may have changed.
  bool ChangedSince(std::uint64_t seen, std::vector<Rect>* changed) const;

  // Resizes the pixel buffer; the new area is filled with the background colour.
  void Resize(int width, int height);

  // Copies a w x h block from src (sx, sy) to this surface at (dx, dy), combining with op.
  // Both rectangles are clipped at every edge of both surfaces. A copy of the same block of
  // the same unchanged source as the last copy only copies again where this surface has
  // changed since (a background laid again under moving figures costs their size). A plain
  // copy that covers this whole surface copies nothing yet: the surface shows the source's
  // block (the source's pixels kept as they were, whatever is drawn on it later) and copies
  // in only what is drawn on, or all of it when read; copying from it reads the block.
  void BitBlt(int dx, int dy, int w, int h, const Surface* src, int sx, int sy, Rop op);
  // A plain copy of src's block at (sx, sy) to `to` (within both surfaces) that copies nothing
  // where src shows a block laid from another surface: from now on this surface shows that
  // block there too, with src's own squares (its figures) copied in, but for `keep`: squares
  // of this surface's own pixels that stay in front of it (windows over the view, unchanged
  // since they were drawn, or drawn again at once). False, nothing done, when src shows no
  // block there or there would be too many squares: copy instead.
  bool LayThrough(const Rect& to, const Surface& src, int sx, int sy, const std::vector<Rect>& keep);
  // Reads rectangle r (within the surface) of the picture into `to`, rows `stride` pixels
  // apart, without copying a laid block in.
  void ReadInto(const Rect& r, Color* to, size_t stride) const;
  // Row y from x, n pixels: the surface's own pixels where it has them, else read into `scratch`.
  const Color* ReadRow(int x, int y, int n, Color* scratch) const;
  // Stretches the src rectangle onto the dest rectangle (nearest neighbour), combining with op.
  void StretchBlt(int dx, int dy, int dw, int dh, const Surface& src, int sx, int sy, int sw, int sh,
                  Rop op);
  void FillRect(int x, int y, int w, int h, Color c);

  // Background: the colour a clear fills with, and an optional picture that a clear restores.
  Color back_color() const { return back_color_; }
  // Setting the background colour also fills the surface with it, as the old picture boxes did.
  void SetBackColor(Color c);
  void SetBackPicture(std::shared_ptr<const Surface> picture);
  const Surface* back_picture() const { return back_picture_.get(); }
  void Clear();

  // Text in the window font, drawn over what is already there (transparent background).
  Color fore_color() const { return fore_color_; }
  void SetForeColor(Color c) { fore_color_ = c; }
  const TextStyle& text_style() const { return style_; }
  void SetTextStyle(TextStyle s) { style_ = s; }
  // Draws UTF-8 text with its top-left corner at (x, y); returns the advance in pixels.
  int TextOut(int x, int y, std::string_view utf8);
  // The width TextOut would draw utf8 in, in this surface's text style (0 without a font).
  int TextWidth(std::string_view utf8) const;

  // Circle or arc outline centred on (cx, cy). aspect = height / width of the ellipse
  // (greater than 1: the radius is the vertical one). Angles in radians, counter-clockwise
  // from the positive x axis; start == end draws the whole circle.
  void Circle(double cx, double cy, double radius, Color c, double aspect = 1.0,
              double start = 0.0, double end = 0.0);

  // Window-surface attributes used by the frame composition.
  bool visible = true;
  int left = 0;
  int top = 0;
  std::uint64_t z = 0;  // larger is in front

 private:
  using Pixels = std::vector<Color>;
  static const Pixels kNoPixels;

  // Before drawing within r: the buffer this surface's own (copies share it until one of
  // them is drawn on), and r copied in from a laid block. Then a new version, r logged.
  void Touch();
  void Touch(const Rect& r);
  void Note(const Rect& in);  // a new version, `in` (clipped) logged
  void Own() const;
  void Prepare(const Rect& r);
  void Settle() const;                 // all of a laid block copied in
  void Realise(const Rect& r) const;  // r copied in, but for what is already
  // A plain copy of a clipped block, reading a laid source's block where it is not copied in.
  void CopyIn(int dx, int dy, int w, int h, const Surface& src, int sx, int sy) {
    src.ReadInto(Rect{sx, sy, w, h}, buf_->data() + static_cast<size_t>(dy) * width_ + dx, static_cast<size_t>(width_));
  }
  // The laid block's pixel for (x, y) of this surface (within the laid area).
  const Color* Block(int x, int y) const {
    const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(pending_.sy + y) * pending_.stride + pending_.sx + x;
    return pending_.from->data() + at;
  }
  // Whether r is within one of the squares copied in from a laid block.
  bool Real(const Rect& r) const;
  // The whole surface shows src's block at (sx, sy) from now on.
  void Lay(const Surface& src, int sx, int sy);
  // The copy of BitBlt again over what the last one laid: true when done here.
  bool CopyAgain(const Rect& to, const Surface* src, int sx, int sy);

  // The last changes, as a ring: enough for a frame's figures, their backgrounds and text.
  static constexpr int kLogSize = 64;
  struct Change {
    std::uint64_t version = 0;
    Rect rect;
  };
  // A copied or moved surface knows nothing of its changes before the copy: what changed in
  // the picture it came from says nothing about what the surface it replaced showed.
  struct ChangeLog {
    static constexpr std::uint64_t kUnknown = ~std::uint64_t{0};
    std::uint64_t known_since = 0;  // every change after this version is in the ring
    // Versions below this one, but known_since, were another picture's (set at the first
    // change after a copy: what the surface showed before it came earlier).
    std::uint64_t floor = 0;
    std::array<Change, kLogSize> ring{};
    int next = 0;
    ChangeLog() = default;
    ChangeLog(const ChangeLog&) : known_since(kUnknown) {}
    ChangeLog& operator=(const ChangeLog&) {
      known_since = kUnknown;
      ring.fill(Change{});
      next = 0;
      return *this;
    }
    ChangeLog(ChangeLog&& o) noexcept : ChangeLog(static_cast<const ChangeLog&>(o)) {}
    ChangeLog& operator=(ChangeLog&& o) noexcept { return *this = static_cast<const ChangeLog&>(o); }
  };
  // The last plain copy of a whole block (see BitBlt).
  struct LaidCopy {
    const Surface* src = nullptr;
    std::uint64_t src_version = 0, version = 0;
    Rect to;
    int sx = 0, sy = 0;
  };

  // A block laid but not yet copied in: within `area`, the picture is `from`'s pixel
  // (sx + x, sy + y) for this surface's (x, y), but within `real`, where this surface's own
  // pixels are copied in (and drawn on since). Outside `area` the pixels are its own.
  static constexpr int kMostReal = 24;
  struct Pending {
    std::shared_ptr<const Pixels> from;
    int stride = 0, sx = 0, sy = 0;
    int count = 0;
    std::array<Rect, kMostReal> real{};
    Rect area;
  };

  int width_ = 0;
  int height_ = 0;
  std::uint64_t version_ = 0;
  ChangeLog log_;
  LaidCopy laid_;
  // Copied in on reading: a const surface may still copy its laid block in.
  mutable std::shared_ptr<Pixels> buf_;
  // The pixels given up when they were shared and this surface was drawn on: taken again
  // once nobody else holds them (a frame and the copy the display keeps of it take turns).
  // Never copied with the surface.
  struct Spare {
    std::shared_ptr<Pixels> pixels;
    std::uint64_t version = 0;  // the picture they showed
    Rect area;                  // the surface's laid area then (all of it when none)
    Spare() = default;
    Spare(const Spare&) {}
    Spare& operator=(const Spare&) { return *this; }
  };
  mutable Spare spare_;
  mutable Pending pending_;
  Color back_color_ = 0;
  Color fore_color_ = 0;
  std::shared_ptr<const Surface> back_picture_;
  TextStyle style_;
};

// Renders text into an alpha mask (1 byte a pixel, 0 or 255: no anti-aliasing).
class FontRenderer {
 public:
  virtual ~FontRenderer() = default;
  struct Glyphs {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> alpha;
  };
  virtual const Glyphs& Render(std::string_view utf8, const TextStyle& style) = 0;
};

// The renderer that Surface::TextOut uses; set up by the platform. Without one, text draws nothing.
void SetFontRenderer(FontRenderer* renderer);
FontRenderer* GetFontRenderer();
// The width of utf8 drawn in `style` (0 for no text, or without a renderer).
int TextWidth(std::string_view utf8, const TextStyle& style);

}  // namespace ardo::platform
