#include "platform/compose.h"

#include <algorithm>
#include <array>
#include <utility>

#include "platform/platform.h"

namespace ardo::platform {

namespace {

constexpr size_t kMostLayers = 19;  // the view and eighteen windows

// Cuts a rectangle to [0, w) x [0, h), moving the corner it shows from with it.
void ClipTo(int w, int h, int* x, int* y, int* cw, int* ch, int* sx, int* sy) {
  if (*x < 0) { *sx -= *x; *cw += *x; *x = 0; }
  if (*y < 0) { *sy -= *y; *ch += *y; *y = 0; }
  *cw = std::min(*cw, w - *x);
  *ch = std::min(*ch, h - *y);
}

}  // namespace

void FrameComposer::Compose(Color form_back, int form_width, int form_height, const Surface& view,
                            const std::vector<const Surface*>& windows, Surface* out) {
  layers_.clear();
  Layer v{&view, view.version(), view.left, view.top, view.width(), view.height(), 0, 0};
  ClipTo(form_width, form_height, &v.x, &v.y, &v.w, &v.h, &v.sx, &v.sy);
  v.w = std::max(v.w, 0);
  v.h = std::max(v.h, 0);
  layers_.push_back(v);
  for (const Surface* s : windows) {
    if (s == nullptr || !s->visible || layers_.size() == kMostLayers) continue;
    // Window surfaces are children of the view: clipped to it, then to the form.
    Layer w{s, s->version(), s->left, s->top, s->width(), s->height(), 0, 0};
    ClipTo(view.width(), view.height(), &w.x, &w.y, &w.w, &w.h, &w.sx, &w.sy);
    if (w.w <= 0 || w.h <= 0) continue;
    w.x += view.left;
    w.y += view.top;
    ClipTo(form_width, form_height, &w.x, &w.y, &w.w, &w.h, &w.sx, &w.sy);
    if (w.w <= 0 || w.h <= 0) continue;
    layers_.push_back(w);
  }

  bool same = out == out_ && out->version() == out_version_ && out->width() == form_width &&
              out->height() == form_height && form_back == back_ && layers_.size() == last_.size();
  for (size_t i = 0; same && i < layers_.size(); ++i) same = layers_[i].SamePlace(last_[i]);
  if (!same) {
    ComposeAll(form_back, form_width, form_height, out);
  } else {
    if (layers_[0].version != last_[0].version && !CopyViewChanges(out) && !LayView(out)) CopyViewAroundWindows(out);
    // A window drawn again covers those above it where they overlap: they follow.
    bool again = false;
    for (size_t i = 1; i < layers_.size(); ++i) {
      const Layer& w = layers_[i];
      again = again || w.version != last_[i].version;
      if (again) out->BitBlt(w.x, w.y, w.w, w.h, w.surface, w.sx, w.sy, Rop::kSrcCopy);
    }
  }
  std::swap(layers_, last_);
  out_ = out;
  out_version_ = out->version();
  back_ = form_back;
}

void FrameComposer::ComposeAll(Color form_back, int form_width, int form_height, Surface* out) {
  if (out->width() != form_width || out->height() != form_height) {
    *out = Surface(form_width, form_height, form_back);  // the only allocation, when the size changes
  }
  const Layer& v = layers_[0];
  // The form's colour only where the view does not cover it: the bands round it.
  if (v.w <= 0 || v.h <= 0) {
    out->FillRect(0, 0, form_width, form_height, form_back);
  } else {
    out->FillRect(0, 0, form_width, v.y, form_back);
    out->FillRect(0, v.y + v.h, form_width, form_height - v.y - v.h, form_back);
    out->FillRect(0, v.y, v.x, v.h, form_back);
    out->FillRect(v.x + v.w, v.y, form_width - v.x - v.w, v.h, form_back);
    if (!LayView(out)) CopyViewAroundWindows(out);
  }
  for (size_t i = 1; i < layers_.size(); ++i) {
    const Layer& w = layers_[i];
    out->BitBlt(w.x, w.y, w.w, w.h, w.surface, w.sx, w.sy, Rop::kSrcCopy);
  }
}

bool FrameComposer::LayView(Surface* out) {
  const Layer& v = layers_[0];
  if (v.w <= 0 || v.h <= 0) return false;
  // The windows' pixels on the output stay: those unchanged since they were copied, and
  // the others are copied again next.
  keep_.clear();
  for (size_t i = 1; i < layers_.size(); ++i) keep_.push_back(Rect{layers_[i].x, layers_[i].y, layers_[i].w, layers_[i].h});
  return out->LayThrough(Rect{v.x, v.y, v.w, v.h}, *v.surface, v.sx, v.sy, keep_);
}

bool FrameComposer::CopyViewChanges(Surface* out) {
  const Layer& v = layers_[0];
  changed_.clear();
  if (!v.surface->ChangedSince(last_[0].version, &changed_)) return false;
  if (changed_.size() > 32) return false;
  const long long view_area = static_cast<long long>(v.w) * v.h;
  for (const Rect& r : changed_) {
    if (static_cast<long long>(r.w) * r.h * 2 >= view_area) return false;  // a new picture: copy it all
  }
  MergeRects(&changed_);
  long long area = 0;
  for (const Rect& r : changed_) area += static_cast<long long>(r.w) * r.h;
  if (area * 2 >= view_area) return false;
  for (const Rect& r : changed_) {
    // The rectangle on the output, within the part of the view that shows.
    const int x0 = std::max(v.x, v.x + r.x - v.sx), y0 = std::max(v.y, v.y + r.y - v.sy);
    const int x1 = std::min(v.x + v.w, v.x + r.x - v.sx + r.w), y1 = std::min(v.y + v.h, v.y + r.y - v.sy + r.h);
    if (x0 >= x1 || y0 >= y1) continue;
    out->BitBlt(x0, y0, x1 - x0, y1 - y0, v.surface, v.sx + x0 - v.x, v.sy + y0 - v.y, Rop::kSrcCopy);
    // The windows over it, bottom to top, where they cover it.
    for (size_t i = 1; i < layers_.size(); ++i) {
      const Layer& w = layers_[i];
      const int wx0 = std::max(x0, w.x), wy0 = std::max(y0, w.y);
      const int wx1 = std::min(x1, w.x + w.w), wy1 = std::min(y1, w.y + w.h);
      if (wx0 >= wx1 || wy0 >= wy1) continue;
      out->BitBlt(wx0, wy0, wx1 - wx0, wy1 - wy0, w.surface, w.sx + wx0 - w.x, w.sy + wy0 - w.y, Rop::kSrcCopy);
    }
  }
  return true;
}

void FrameComposer::CopyViewAroundWindows(Surface* out) {
  const Layer& v = layers_[0];
  if (v.w <= 0 || v.h <= 0) return;
  // Rows between two window edges are covered alike: one pass per band of them.
  std::array<int, 2 * kMostLayers + 2> edges{};
  size_t n = 0;
  edges[n++] = v.y;
  edges[n++] = v.y + v.h;
  for (size_t i = 1; i < layers_.size(); ++i) {
    edges[n++] = std::clamp(layers_[i].y, v.y, v.y + v.h);
    edges[n++] = std::clamp(layers_[i].y + layers_[i].h, v.y, v.y + v.h);
  }
  std::sort(edges.begin(), edges.begin() + static_cast<std::ptrdiff_t>(n));
  std::array<std::pair<int, int>, kMostLayers> spans{};
  for (size_t b = 0; b + 1 < n; ++b) {
    const int y0 = edges[b], y1 = edges[b + 1];
    if (y0 >= y1) continue;
    size_t k = 0;
    for (size_t i = 1; i < layers_.size(); ++i) {
      const Layer& w = layers_[i];
      if (w.y <= y0 && y0 < w.y + w.h) spans[k++] = {w.x, w.x + w.w};
    }
    std::sort(spans.begin(), spans.begin() + static_cast<std::ptrdiff_t>(k));
    int x = v.x;
    const auto copy = [&](int x0, int x1) {
      if (x0 < x1) out->BitBlt(x0, y0, x1 - x0, y1 - y0, v.surface, v.sx + x0 - v.x, v.sy + y0 - v.y, Rop::kSrcCopy);
    };
    for (size_t i = 0; i < k; ++i) {
      copy(x, std::min(spans[i].first, v.x + v.w));
      x = std::max(x, spans[i].second);
    }
    copy(x, v.x + v.w);
  }
}

void ComposeFrame(Color form_back, int form_width, int form_height, const Surface& view,
                  const std::vector<const Surface*>& windows, Surface* out) {
  static FrameComposer composer;
  composer.Forget();
  composer.Compose(form_back, form_width, form_height, view, windows, out);
}

}  // namespace ardo::platform
