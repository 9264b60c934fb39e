#include "platform/surface.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <numbers>
#include <utility>

#include "platform/quad.h"

namespace ardo::platform {

namespace {

FontRenderer* g_font_renderer = nullptr;
std::atomic<std::uint64_t> g_next_version{1};

inline Color Combine(Color dst, Color src, Rop op) {
  switch (op) {
    case Rop::kSrcCopy:
      return src;
    case Rop::kSrcAnd:
      return dst & src;
    case Rop::kSrcPaint:
      return dst | src;
    case Rop::kMergePaint:
      return (dst | ~src) & 0x00FFFFFFu;
    case Rop::kBlackness:
      return 0;
  }
  return dst;
}

// Row kernels for the operations the game draws with most, four pixels at a time
// (explicit vectors, so they vectorise at any optimisation level), then the tail.
using quad::Load;
using quad::Store;

void AndRow(Color* __restrict d, const Color* __restrict s, int n) {
  int x = 0;
  for (; x + 4 <= n; x += 4) Store(d + x, Load(d + x) & Load(s + x));
  for (; x < n; ++x) d[x] &= s[x];
}

void OrRow(Color* __restrict d, const Color* __restrict s, int n) {
  int x = 0;
  for (; x + 4 <= n; x += 4) Store(d + x, Load(d + x) | Load(s + x));
  for (; x < n; ++x) d[x] |= s[x];
}

inline Rect Meet(const Rect& a, const Rect& b) {
  const int x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
  const int x1 = std::min(a.x + a.w, b.x + b.w), y1 = std::min(a.y + a.h, b.y + b.h);
  return x0 < x1 && y0 < y1 ? Rect{x0, y0, x1 - x0, y1 - y0} : Rect{};
}

inline bool Inside(const Rect& in, const Rect& of) {
  return of.x <= in.x && of.y <= in.y && of.x + of.w >= in.x + in.w && of.y + of.h >= in.y + in.h;
}

// Walks [x0, x1) of row y in order, calling gap(a, b) for the pieces no rectangle of
// rects[0, n) covers and covered(a, b) for the others.
template <size_t N, typename Gap, typename Covered>
void WalkRow(const std::array<Rect, N>& rects, int n, int y, int x0, int x1, Gap gap, Covered covered) {
  struct Span {
    int first, second;
    bool operator>(const Span& o) const { return first != o.first ? first > o.first : second > o.second; }
  };
  std::array<Span, N> spans;  // only the first k are set: left uninitialised, this runs for every row
  size_t k = 0;
  for (int i = 0; i < n; ++i) {
    const Rect& q = rects[static_cast<size_t>(i)];
    if (y < q.y || y >= q.y + q.h || q.x >= x1 || q.x + q.w <= x0) continue;
    const Span span{std::max(q.x, x0), std::min(q.x + q.w, x1)};
    size_t at = k++;
    for (; at > 0 && spans[at - 1] > span; --at) spans[at] = spans[at - 1];
    spans[at] = span;
  }
  int x = x0;
  for (size_t i = 0; i < k; ++i) {
    if (spans[i].first > x) gap(x, spans[i].first);
    if (spans[i].second > x) covered(std::max(x, spans[i].first), spans[i].second);
    x = std::max(x, spans[i].second);
  }
  if (x < x1) gap(x, x1);
}

}  // namespace

const Surface::Pixels Surface::kNoPixels;

void Surface::Touch() { Touch(Rect{0, 0, width_, height_}); }

void Surface::Touch(const Rect& r) {
  const long long x0 = std::max(0, r.x), y0 = std::max(0, r.y);
  const long long x1 = std::min<long long>(width_, static_cast<long long>(r.x) + r.w);
  const long long y1 = std::min<long long>(height_, static_cast<long long>(r.y) + r.h);
  const Rect in{static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(std::max(0LL, x1 - x0)),
                static_cast<int>(std::max(0LL, y1 - y0))};
  Prepare(in);
  Note(in);
}

void Surface::Note(const Rect& in) {
  // After a copy the log starts from the version copied: changes after it are known.
  if (log_.known_since == ChangeLog::kUnknown) {
    log_.known_since = version_;
    log_.floor = g_next_version.load(std::memory_order_relaxed);
  }
  version_ = g_next_version.fetch_add(1, std::memory_order_relaxed);
  Change& slot = log_.ring[static_cast<size_t>(log_.next)];
  if (slot.version != 0) log_.known_since = std::max(log_.known_since, slot.version);  // forgotten
  slot = Change{version_, in};
  log_.next = (log_.next + 1) % kLogSize;
}

void Surface::Own() const {
  const size_t n = static_cast<size_t>(width_) * static_cast<size_t>(height_);
  if (!buf_ || buf_->size() != n) {
    buf_ = std::make_shared<Pixels>(n, back_color_);
    return;
  }
  if (buf_.use_count() == 1) return;
  // Shared with a copy: pixels of its own, in the spare buffer when nobody holds that any
  // more. Of a laid surface only what shows of its own pixels is copied (the squares copied
  // in, and round the laid area), and of that only what the spare buffer does not show.
  std::shared_ptr<Pixels> next;
  const bool spare = spare_.pixels && spare_.pixels.use_count() == 1 && spare_.pixels->size() == n;
  if (spare) next = std::move(spare_.pixels);
  if (!pending_.from) {
    if (next) {
      std::copy(buf_->begin(), buf_->end(), next->begin());
    } else {
      next = std::make_shared<Pixels>(*buf_);
    }
  } else {
    if (!next) next = std::make_shared<Pixels>(n);
    const Rect& a = pending_.area;
    const auto copy = [&](const Rect& q) {
      if (q.empty()) return;
      for (int y = q.y; y < q.y + q.h; ++y) {
        const size_t at = static_cast<size_t>(y) * width_ + static_cast<size_t>(q.x);
        std::memcpy(next->data() + at, buf_->data() + at, sizeof(Color) * static_cast<size_t>(q.w));
      }
    };
    const auto round_area = [&](const Rect& r) {  // the parts of r outside the laid area
      const Rect q = Meet(r, Rect{0, 0, width_, height_});
      if (q.empty()) return;
      const Rect in = Meet(q, a);
      if (in.empty()) {
        copy(q);
        return;
      }
      copy(Rect{q.x, q.y, q.w, in.y - q.y});
      copy(Rect{q.x, in.y + in.h, q.w, q.y + q.h - in.y - in.h});
      copy(Rect{q.x, in.y, in.x - q.x, in.h});
      copy(Rect{in.x + in.w, in.y, q.x + q.w - in.x - in.w, in.h});
    };
    static thread_local std::vector<Rect> changed;
    changed.clear();
    const Rect& was = spare_.area;
    const bool same_round = spare && was.x == a.x && was.y == a.y && was.w == a.w && was.h == a.h &&
                            ChangedSince(spare_.version, &changed) && changed.size() <= kLogSize / 2;
    // The spare buffer showed the picture of its version where it had its own pixels:
    // round the same laid area, and in the squares then copied in (a square copied in
    // since, or drawn on, is a change).
    if (same_round) {
      for (const Rect& r : changed) {
        round_area(r);
        for (int k = 0; k < pending_.count; ++k) copy(Meet(r, pending_.real[static_cast<size_t>(k)]));
      }
    } else {
      round_area(Rect{0, 0, width_, height_});
      for (int k = 0; k < pending_.count; ++k) copy(pending_.real[static_cast<size_t>(k)]);
    }
  }
  // Kept for the next turn only by a laid surface (a frame the display keeps by sharing);
  // another lets the pixels it gave up go.
  if (pending_.from) {
    spare_.pixels = std::move(buf_);
    spare_.version = version_;
    spare_.area = pending_.area;
  }
  buf_ = std::move(next);
}

bool Surface::Real(const Rect& r) const {
  for (int k = 0; k < pending_.count; ++k) {
    if (Inside(r, pending_.real[static_cast<size_t>(k)])) return true;
  }
  return false;
}

void Surface::Prepare(const Rect& r) {
  const Rect in = pending_.from ? Meet(r, pending_.area) : Rect{};
  if (!in.empty() && !Real(in)) {
    if (pending_.count == kMostReal || static_cast<long long>(in.w) * in.h * 4 >= static_cast<long long>(width_) * height_) {
      Settle();
    } else {
      Realise(in);
      pending_.real[static_cast<size_t>(pending_.count++)] = in;
    }
  }
  Own();
}

void Surface::Settle() const {
  if (!pending_.from) return;
  Realise(pending_.area);
  pending_ = Pending{};
}

void Surface::Realise(const Rect& within) const {
  if (!pending_.from) return;
  Own();
  const Rect r = Meet(within, pending_.area);
  if (r.empty()) return;
  Color* const d = buf_->data();
  const size_t w = static_cast<size_t>(width_);
  std::array<Rect, kMostReal> meet{};
  int n = 0;
  for (int k = 0; k < pending_.count; ++k) {
    const Rect& q = pending_.real[static_cast<size_t>(k)];
    if (!Meet(q, r).empty()) meet[static_cast<size_t>(n++)] = q;
  }
  for (int y = r.y; y < r.y + r.h; ++y) {
    Color* const row = d + static_cast<size_t>(y) * w;
    if (n == 0) {
      std::memcpy(row + r.x, Block(r.x, y), sizeof(Color) * static_cast<size_t>(r.w));
      continue;
    }
    WalkRow(meet, n, y, r.x, r.x + r.w,
            [&](int a, int b) { std::memcpy(row + a, Block(a, y), sizeof(Color) * static_cast<size_t>(b - a)); },
            [](int, int) {});
  }
}

void Surface::ReadInto(const Rect& r, Color* to, size_t stride) const {
  if (r.empty()) return;
  const size_t own = static_cast<size_t>(width_);
  const auto copy = [&](const Rect& q, bool block) {
    // q of this surface to its place in `to`, from the laid block or from the own pixels.
    Color* at = to + static_cast<size_t>(q.y - r.y) * stride + static_cast<size_t>(q.x - r.x);
    for (int y = q.y; y < q.y + q.h; ++y, at += stride) {
      const Color* from = block ? Block(q.x, y) : buf_->data() + static_cast<size_t>(y) * own + static_cast<size_t>(q.x);
      std::memcpy(at, from, sizeof(Color) * static_cast<size_t>(q.w));
    }
  };
  const Rect a = pending_.from ? Meet(r, pending_.area) : Rect{};
  if (a.empty() || Real(r)) {
    copy(r, false);
    return;
  }
  // Round the laid area, the surface's own pixels.
  copy(Rect{r.x, r.y, r.w, a.y - r.y}, false);
  copy(Rect{r.x, a.y + a.h, r.w, r.y + r.h - a.y - a.h}, false);
  copy(Rect{r.x, a.y, a.x - r.x, a.h}, false);
  copy(Rect{a.x + a.w, a.y, r.x + r.w - a.x - a.w, a.h}, false);
  // In it, row by row, the block round the large squares copied in (windows) and those
  // squares; then the small ones (figures) over it, each a block of its own.
  constexpr long long kLarge = 32 * 32;
  std::array<Rect, kMostReal> large{};
  int n = 0;
  for (int k = 0; k < pending_.count; ++k) {
    const Rect q = Meet(pending_.real[static_cast<size_t>(k)], a);
    if (static_cast<long long>(q.w) * q.h >= kLarge) large[static_cast<size_t>(n++)] = q;
  }
  for (int y = a.y; y < a.y + a.h; ++y) {
    Color* const row = to + static_cast<size_t>(y - r.y) * stride - r.x;
    const auto piece = [&](int x0, int x1, const Color* from) {
      std::memcpy(row + x0, from, sizeof(Color) * static_cast<size_t>(x1 - x0));
    };
    if (n == 0) {
      piece(a.x, a.x + a.w, Block(a.x, y));
      continue;
    }
    WalkRow(large, n, y, a.x, a.x + a.w, [&](int x0, int x1) { piece(x0, x1, Block(x0, y)); },
            [&](int x0, int x1) { piece(x0, x1, buf_->data() + static_cast<size_t>(y) * own + static_cast<size_t>(x0)); });
  }
  for (int k = 0; k < pending_.count; ++k) {
    const Rect q = Meet(pending_.real[static_cast<size_t>(k)], a);
    if (!q.empty() && static_cast<long long>(q.w) * q.h < kLarge) copy(q, false);
  }
}

const Color* Surface::ReadRow(int x, int y, int n, Color* scratch) const {
  const Rect r{x, y, n, 1};
  const Color* const own = buf_->data() + static_cast<size_t>(y) * width_ + x;
  if (!pending_.from || Meet(r, pending_.area).empty()) return own;
  bool meets = false;
  for (int k = 0; k < pending_.count; ++k) {
    const Rect& q = pending_.real[static_cast<size_t>(k)];
    if (Inside(r, q)) return own;
    meets = meets || !Meet(r, q).empty();
  }
  if (!meets && Inside(r, pending_.area)) return Block(x, y);  // all of it the block's
  ReadInto(r, scratch, static_cast<size_t>(n));
  return scratch;
}

void Surface::Lay(const Surface& src, int sx, int sy) {
  src.Settle();  // one block deep: a laid source is copied in first
  pending_ = Pending{};
  const bool same = src.width_ == width_ && src.height_ == height_ && sx == 0 && sy == 0;
  if (same) {
    // The source's picture, so its version (and nothing known of the changes before).
    version_ = src.version_;
    log_ = ChangeLog{};
    log_.known_since = ChangeLog::kUnknown;
  } else {
    Note(Rect{0, 0, width_, height_});
  }
  pending_ = Pending{src.buf_, src.width_, sx, sy, 0, {}, Rect{0, 0, width_, height_}};
}

bool Surface::LayThrough(const Rect& to, const Surface& src, int sx, int sy, const std::vector<Rect>& keep) {
  const Pending& p = src.pending_;
  const Rect on_src{sx, sy, to.w, to.h};
  if (&src == this || !p.from || to.empty() || !Inside(on_src, p.area) || !Inside(to, Rect{0, 0, width_, height_})) {
    return false;
  }
  Pending next{p.from, p.stride, p.sx + sx - to.x, p.sy + sy - to.y, 0, {}, to};
  for (const Rect& k : keep) {
    const Rect q = Meet(k, to);
    if (q.empty()) continue;
    if (next.count == kMostReal) return false;
    next.real[static_cast<size_t>(next.count++)] = q;
  }
  const int kept = next.count;
  for (int k = 0; k < p.count; ++k) {
    Rect q = Meet(p.real[static_cast<size_t>(k)], on_src);
    if (q.empty()) continue;
    if (next.count == kMostReal) return false;
    q.x += to.x - sx;
    q.y += to.y - sy;
    next.real[static_cast<size_t>(next.count++)] = q;
  }
  // What was laid before stays only where `to` does not cover it.
  if (pending_.from && !Inside(pending_.area, to)) Settle();
  pending_ = next;
  Own();
  // Changed: `to` but the kept squares, band by band between their top and bottom edges,
  // so that whoever reads the changes (the display) does not copy the windows again.
  std::array<int, 2 * kMostReal + 2> edges{};
  size_t n_edges = 0;
  edges[n_edges++] = to.y;
  edges[n_edges++] = to.y + to.h;
  for (int k = 0; k < kept; ++k) {
    edges[n_edges++] = next.real[static_cast<size_t>(k)].y;
    edges[n_edges++] = next.real[static_cast<size_t>(k)].y + next.real[static_cast<size_t>(k)].h;
  }
  std::sort(edges.begin(), edges.begin() + static_cast<std::ptrdiff_t>(n_edges));
  const std::uint64_t before = version_;
  for (size_t b = 0; b + 1 < n_edges; ++b) {
    const int y0 = edges[b], y1 = edges[b + 1];
    if (y0 >= y1) continue;
    WalkRow(next.real, kept, y0, to.x, to.x + to.w, [&](int a, int c) { Note(Rect{a, y0, c - a, y1 - y0}); },
            [](int, int) {});
  }
  if (version_ == before) Note(Rect{to.x, to.y, 0, 0});  // all of it kept: still another picture
  laid_ = LaidCopy{};
  // src's squares, but where a kept square lies in front of them.
  const size_t w = static_cast<size_t>(width_), sw = static_cast<size_t>(src.width_);
  for (int k = kept; k < next.count; ++k) {
    const Rect& q = next.real[static_cast<size_t>(k)];
    for (int y = q.y; y < q.y + q.h; ++y) {
      Color* const row = buf_->data() + static_cast<size_t>(y) * w;
      const size_t from_row = static_cast<size_t>(sy + y - to.y) * sw;
      WalkRow(next.real, kept, y, q.x, q.x + q.w,
              [&](int a, int b) {
                std::memcpy(row + a, src.buf_->data() + from_row + static_cast<size_t>(sx + a - to.x),
                            sizeof(Color) * static_cast<size_t>(b - a));
              },
              [](int, int) {});
    }
  }
  return true;
}

void MergeRects(std::vector<Rect>* rects) {
  std::vector<Rect>& v = *rects;
  const auto area = [](const Rect& r) { return static_cast<long long>(r.w) * r.h; };
  bool merged = true;
  while (merged) {
    merged = false;
    for (size_t i = 0; i < v.size() && !merged; ++i) {
      if (v[i].empty()) {
        v.erase(v.begin() + static_cast<std::ptrdiff_t>(i));
        merged = true;
        break;
      }
      for (size_t j = i + 1; j < v.size(); ++j) {
        const Rect& a = v[i];
        const Rect& b = v[j];
        const int x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
        const int x1 = std::max(a.x + a.w, b.x + b.w), y1 = std::max(a.y + a.h, b.y + b.h);
        const Rect u{x0, y0, x1 - x0, y1 - y0};
        if (area(u) <= area(a) + area(b)) {
          v[i] = u;
          v.erase(v.begin() + static_cast<std::ptrdiff_t>(j));
          merged = true;
          break;
        }
      }
    }
  }
}

bool Surface::ChangedSince(std::uint64_t seen, std::vector<Rect>* changed) const {
  if (seen == version_) return true;
  if (log_.known_since == ChangeLog::kUnknown || seen < log_.known_since || seen > version_) return false;
  if (seen != log_.known_since && seen < log_.floor) return false;
  for (int k = 0; k < kLogSize; ++k) {
    const Change& c = log_.ring[static_cast<size_t>((log_.next + k) % kLogSize)];
    if (c.version > seen) changed->push_back(c.rect);
  }
  return true;
}

void SetFontRenderer(FontRenderer* renderer) { g_font_renderer = renderer; }
FontRenderer* GetFontRenderer() { return g_font_renderer; }

int TextWidth(std::string_view utf8, const TextStyle& style) {
  return g_font_renderer == nullptr || utf8.empty() ? 0 : g_font_renderer->Render(utf8, style).width;
}

int Surface::TextWidth(std::string_view utf8) const { return platform::TextWidth(utf8, style_); }

Surface::Surface(int width, int height, Color fill)
    : width_(std::max(0, width)),
      height_(std::max(0, height)),
      buf_(std::make_shared<Pixels>(static_cast<size_t>(width_) * height_, fill)),
      back_color_(fill) {
  version_ = g_next_version.fetch_add(1, std::memory_order_relaxed);
  log_.known_since = version_;
}

Color Surface::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return pixels()[static_cast<size_t>(y) * width_ + x];
}

void Surface::Set(int x, int y, Color c) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  Touch(Rect{x, y, 1, 1});
  (*buf_)[static_cast<size_t>(y) * width_ + x] = c & 0x00FFFFFFu;
}

void Surface::Resize(int width, int height) {
  width = std::max(0, width);
  height = std::max(0, height);
  if (width == width_ && height == height_) return;
  const Pixels& now = std::as_const(*this).pixels();
  auto next = std::make_shared<Pixels>(static_cast<size_t>(width) * height, back_color_);
  const int cw = std::min(width, width_);
  const int ch = std::min(height, height_);
  for (int y = 0; y < ch; ++y) {
    std::memcpy(&(*next)[static_cast<size_t>(y) * width], &now[static_cast<size_t>(y) * width_],
                sizeof(Color) * cw);
  }
  buf_ = std::move(next);
  width_ = width;
  height_ = height;
  Touch();
  log_ = ChangeLog{};  // nothing before the new size says where it changed
  log_.known_since = version_;
  laid_ = LaidCopy{};
}

void Surface::BitBlt(int dx, int dy, int w, int h, const Surface* src, int sx, int sy, Rop op) {
  const bool blackness = op == Rop::kBlackness;
  if (w <= 0 || h <= 0 || (src == nullptr && !blackness)) return;
  if (src == this) Settle();
  // Clip the rectangle first, against the destination and then the source, in 64 bits
  // so that rectangles far off either surface cannot overflow.
  long long x = dx, y = dy, cw = w, ch = h, fx = sx, fy = sy;
  if (x < 0) { fx -= x; cw += x; x = 0; }
  if (y < 0) { fy -= y; ch += y; y = 0; }
  cw = std::min<long long>(cw, width_ - x);
  ch = std::min<long long>(ch, height_ - y);
  if (!blackness) {
    if (fx < 0) { x -= fx; cw += fx; fx = 0; }
    if (fy < 0) { y -= fy; ch += fy; fy = 0; }
    cw = std::min<long long>(cw, src->width_ - fx);
    ch = std::min<long long>(ch, src->height_ - fy);
  }
  if (cw <= 0 || ch <= 0) return;
  dx = static_cast<int>(x);
  dy = static_cast<int>(y);
  w = static_cast<int>(cw);
  h = static_cast<int>(ch);
  if (op == Rop::kSrcCopy && src != this) {
    const Rect to{dx, dy, w, h};
    const int from_x = static_cast<int>(fx), from_y = static_cast<int>(fy);
    if (CopyAgain(to, src, from_x, from_y)) return;
    if (to.x == 0 && to.y == 0 && to.w == width_ && to.h == height_) {
      Lay(*src, from_x, from_y);
    } else {
      Touch(to);
      CopyIn(to.x, to.y, to.w, to.h, *src, from_x, from_y);
    }
    laid_ = LaidCopy{src, src->version_, version_, to, from_x, from_y};
    return;
  } else if (op == Rop::kSrcCopy && buf_.use_count() > 1) {
    // A scroll of pixels shared with another surface (one laid from this): into pixels of
    // its own at once, in one pass, rather than copying them all and then scrolling.
    const std::shared_ptr<const Pixels> old = buf_;
    auto next = std::make_shared<Pixels>();
    next->reserve(old->size());
    const Color* const o = old->data();
    const size_t ww = static_cast<size_t>(width_);
    for (int row = 0; row < height_; ++row) {
      const Color* const at = o + static_cast<size_t>(row) * ww;
      if (row < dy || row >= dy + h) {
        next->insert(next->end(), at, at + ww);
        continue;
      }
      const Color* const from = o + static_cast<size_t>(static_cast<int>(fy) + row - dy) * ww + static_cast<size_t>(fx);
      next->insert(next->end(), at, at + dx);
      next->insert(next->end(), from, from + w);
      next->insert(next->end(), at + dx + w, at + ww);
    }
    buf_ = std::move(next);
    Note(Rect{dx, dy, w, h});
    return;
  } else {
    Touch(Rect{dx, dy, w, h});
  }
  if (blackness) {
    for (int row = 0; row < h; ++row) {
      std::fill_n(&(*buf_)[static_cast<size_t>(dy + row) * width_ + dx], w, Color{0});
    }
    return;
  }
  sx = static_cast<int>(fx);
  sy = static_cast<int>(fy);
  Color* const dbase = buf_->data();
  if (src == this) {
    if (op == Rop::kSrcCopy) {
      // A scroll of a surface over itself: rows in the order that reads each before it is
      // overwritten, and memmove within a row.
      const bool upward = dy <= sy;
      for (int i = 0; i < h; ++i) {
        const int y = upward ? i : h - 1 - i;
        std::memmove(dbase + static_cast<size_t>(dy + y) * width_ + dx,
                     dbase + static_cast<size_t>(sy + y) * width_ + sx, sizeof(Color) * w);
      }
      return;
    }
    // The other operations on an overlapping rectangle read a copy of the source.
    const Surface copy = *this;
    BitBlt(dx, dy, w, h, &copy, sx, sy, op);
    return;
  }
  const Color* const sbase = src->pixels().data();
  const size_t sstride = static_cast<size_t>(src->width_);
  for (int y = 0; y < h; ++y) {
    const Color* s = sbase + static_cast<size_t>(sy + y) * sstride + sx;
    Color* d = dbase + static_cast<size_t>(dy + y) * width_ + dx;
    switch (op) {
      case Rop::kSrcCopy:
        std::memcpy(d, s, sizeof(Color) * w);
        break;
      case Rop::kSrcAnd:
        AndRow(d, s, w);
        break;
      case Rop::kSrcPaint:
        OrRow(d, s, w);
        break;
      default:
        for (int x = 0; x < w; ++x) d[x] = Combine(d[x], s[x], op);
        break;
    }
  }
}

bool Surface::CopyAgain(const Rect& to, const Surface* src, int sx, int sy) {
  const LaidCopy& l = laid_;
  if (l.src != src || l.src_version != src->version_ || l.to.x != to.x || l.to.y != to.y || l.to.w != to.w ||
      l.to.h != to.h || l.sx != sx || l.sy != sy) {
    return false;
  }
  // The block equals the source except where this surface changed since it was laid.
  static thread_local std::vector<Rect> changed;
  changed.clear();
  const bool known = ChangedSince(l.version, &changed) && changed.size() <= kLogSize / 2;
  MergeRects(&changed);
  if (pending_.from && pending_.from == src->buf_ && pending_.sx == sx && pending_.sy == sy && to.x == 0 &&
      to.y == 0 && to.w == width_ && to.h == height_) {
    // Still laid from the same pixels: what was copied in and drawn on shows the block again.
    if (!known) {
      Note(Rect{0, 0, width_, height_});
    } else {
      for (const Rect& r : changed) Note(r);
    }
    pending_.count = 0;
    laid_.version = version_;
    return true;
  }
  if (!known) return false;
  long long area = 0;
  for (const Rect& r : changed) area += static_cast<long long>(r.w) * r.h;
  if (area >= static_cast<long long>(to.w) * to.h) return false;
  for (const Rect& r : changed) {
    const int x0 = std::max(r.x, to.x), y0 = std::max(r.y, to.y);
    const int x1 = std::min(r.x + r.w, to.x + to.w), y1 = std::min(r.y + r.h, to.y + to.h);
    if (x0 >= x1 || y0 >= y1) continue;
    Touch(Rect{x0, y0, x1 - x0, y1 - y0});
    CopyIn(x0, y0, x1 - x0, y1 - y0, *src, sx + x0 - to.x, sy + y0 - to.y);
  }
  laid_.version = version_;
  return true;
}

void Surface::StretchBlt(int dx, int dy, int dw, int dh, const Surface& src, int sx, int sy, int sw,
                         int sh, Rop op) {
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
  Touch(Rect{dx, dy, dw, dh});
  const Surface* from = &src;
  Surface copy;
  if (&src == this) {
    copy = src;
    from = &copy;
    Own();  // the copy keeps the pixels read
  }
  const Pixels& from_px = from->pixels();
  // Only the rows and columns that land on this surface are visited.
  const long long y_end = std::min<long long>(dh, static_cast<long long>(height_) - dy);
  const long long x_begin = std::max<long long>(0, -static_cast<long long>(dx));
  const long long x_end = std::min<long long>(dw, static_cast<long long>(width_) - dx);
  for (long long y = std::max<long long>(0, -static_cast<long long>(dy)); y < y_end; ++y) {
    const long long ty = dy + y;
    const long long fy = sy + y * sh / dh;
    if (fy < 0 || fy >= from->height_) continue;
    for (long long x = x_begin; x < x_end; ++x) {
      const long long tx = dx + x;
      const long long fx = sx + x * sw / dw;
      if (fx < 0 || fx >= from->width_) continue;
      Color& d = (*buf_)[static_cast<size_t>(ty) * width_ + tx];
      d = Combine(d, from_px[static_cast<size_t>(fy) * from->width_ + fx], op);
    }
  }
}

void Surface::FillRect(int x, int y, int w, int h, Color c) {
  if (w <= 0 || h <= 0) return;
  const long long x0 = std::max<long long>(0, x), y0 = std::max<long long>(0, y);
  const long long x1 = std::min<long long>(width_, static_cast<long long>(x) + w);
  const long long y1 = std::min<long long>(height_, static_cast<long long>(y) + h);
  if (x0 >= x1 || y0 >= y1) return;
  Touch(Rect{static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0), static_cast<int>(y1 - y0)});
  for (long long yy = y0; yy < y1; ++yy) {
    std::fill_n(&(*buf_)[static_cast<size_t>(yy * width_ + x0)], x1 - x0, c & 0x00FFFFFFu);
  }
}

void Surface::SetBackColor(Color c) {
  back_color_ = c & 0x00FFFFFFu;
  pending_ = Pending{};  // all of it painted over
  Touch();
  std::fill(buf_->begin(), buf_->end(), back_color_);
}

void Surface::SetBackPicture(std::shared_ptr<const Surface> picture) { back_picture_ = std::move(picture); }

void Surface::Clear() {
  pending_ = Pending{};  // all of it painted over
  Touch();
  std::fill(buf_->begin(), buf_->end(), back_color_);
  if (back_picture_) {
    BitBlt(0, 0, back_picture_->width(), back_picture_->height(), back_picture_.get(), 0, 0, Rop::kSrcCopy);
  }
}

int Surface::TextOut(int x, int y, std::string_view utf8) {
  if (utf8.empty() || g_font_renderer == nullptr) return 0;
  const FontRenderer::Glyphs& g = g_font_renderer->Render(utf8, style_);
  const Color c = fore_color_ & 0x00FFFFFFu;
  Touch(Rect{x, y, g.width, g.height});
  for (int gy = 0; gy < g.height; ++gy) {
    const int ty = y + gy;
    if (ty < 0 || ty >= height_) continue;
    for (int gx = 0; gx < g.width; ++gx) {
      const int tx = x + gx;
      if (tx < 0 || tx >= width_) continue;
      if (g.alpha[static_cast<size_t>(gy) * g.width + gx] >= 128) {
        (*buf_)[static_cast<size_t>(ty) * width_ + tx] = c;
      }
    }
  }
  return g.width;
}

void Surface::Circle(double cx, double cy, double radius, Color c, double aspect, double start,
                     double end) {
  if (radius <= 0) return;
  double rx = radius, ry = radius;
  if (aspect > 1.0) {
    rx = radius / aspect;
  } else {
    ry = radius * aspect;
  }
  constexpr double kTau = 2 * std::numbers::pi;
  start = std::fmod(std::fabs(start), kTau);
  end = std::fmod(std::fabs(end), kTau);
  double sweep = end - start;
  if (sweep <= 0) sweep += kTau;
  if (start == end) sweep = kTau;
  const int steps = std::max(16, static_cast<int>(std::max(rx, ry) * sweep * 2));
  for (int i = 0; i <= steps; ++i) {
    const double a = start + sweep * i / steps;
    Set(static_cast<int>(std::lround(cx + rx * std::cos(a))), static_cast<int>(std::lround(cy - ry * std::sin(a))), c);
  }
}

}  // namespace ardo::platform
