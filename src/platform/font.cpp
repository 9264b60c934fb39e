// Window text through SDL_ttf, rendered without anti-aliasing.
#include "platform/font.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <vector>
#include <unordered_map>

namespace ardo::platform {

namespace {

const char* const kFontCandidates[] = {
    "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf",
    "/usr/share/fonts/truetype/fonts-japanese-gothic.ttf",
};

class TtfFontRenderer final : public FontRenderer {
 public:
  explicit TtfFontRenderer(std::string path) : path_(std::move(path)) {}
  ~TtfFontRenderer() override {
    for (auto& [key, font] : fonts_) TTF_CloseFont(font);
  }

  bool Probe(std::string* error) {
    // The font file is read into memory once (a few large reads); every size and style
    // opens on that copy instead of reading the file again in small pieces.
    std::error_code ec;
    const auto size = std::filesystem::file_size(path_, ec);
    if (std::FILE* f = ec || size > (64u << 20) ? nullptr : std::fopen(path_.c_str(), "rb")) {
      std::setvbuf(f, nullptr, _IONBF, 0);  // straight into data_, in one read
      data_.resize(size);
      data_.resize(std::fread(data_.data(), 1, data_.size(), f));
      std::fclose(f);
    }
    if (data_.empty()) {
      if (error) *error = path_ + ": cannot read the window font";
      return false;
    }
    if (Font(TextStyle{}) == nullptr) {
      if (error) *error = path_ + ": cannot open the window font: " + TTF_GetError();
      return false;
    }
    return true;
  }

  const Glyphs& Render(std::string_view utf8, const TextStyle& style) override {
    std::string key(utf8);
    key += '\x01';
    key += std::to_string(style.size_px);
    key += style.bold ? 'b' : 'n';
    if (auto it = cache_.find(key); it != cache_.end()) return it->second;
    // The cache is bounded by what it holds, not by its count of strings: long lines
    // and message pages would otherwise keep megabytes of masks that never come back.
    if (cache_bytes_ > kCacheBytes || cache_.size() > 8192) {
      cache_.clear();
      cache_bytes_ = 0;
    }
    Glyphs& g = cache_[key];
    TTF_Font* font = Font(style);
    if (font == nullptr) return g;
    const std::string text(utf8);
    SDL_Surface* s = TTF_RenderUTF8_Solid(font, text.c_str(), SDL_Color{255, 255, 255, 255});
    if (s == nullptr) return g;
    g.width = s->w;
    g.height = s->h;
    g.alpha.assign(static_cast<size_t>(s->w) * s->h, 0);
    cache_bytes_ += g.alpha.size() + key.size();
    SDL_LockSurface(s);
    for (int y = 0; y < s->h; ++y) {
      const auto* row = static_cast<const std::uint8_t*>(s->pixels) + static_cast<size_t>(y) * s->pitch;
      for (int x = 0; x < s->w; ++x) g.alpha[static_cast<size_t>(y) * s->w + x] = row[x] ? 255 : 0;
    }
    SDL_UnlockSurface(s);
    SDL_FreeSurface(s);
    return g;
  }

 private:
  TTF_Font* Font(const TextStyle& style) {
    const int key = style.size_px * 2 + (style.bold ? 1 : 0);
    if (auto it = fonts_.find(key); it != fonts_.end()) return it->second;
    SDL_RWops* rw = SDL_RWFromConstMem(data_.data(), static_cast<int>(data_.size()));
    TTF_Font* f = rw != nullptr ? TTF_OpenFontRW(rw, 1, style.size_px) : nullptr;
    if (f == nullptr) return nullptr;
    TTF_SetFontStyle(f, style.bold ? TTF_STYLE_BOLD : TTF_STYLE_NORMAL);
    TTF_SetFontHinting(f, TTF_HINTING_MONO);
    fonts_[key] = f;
    return f;
  }

  std::string path_;
  std::vector<char> data_;  // the whole file, for every TTF_Font opened on it
  std::map<int, TTF_Font*> fonts_;
  static constexpr std::size_t kCacheBytes = 2 << 20;
  std::unordered_map<std::string, Glyphs> cache_;
  std::size_t cache_bytes_ = 0;
};

std::unique_ptr<TtfFontRenderer> g_renderer;

}  // namespace

bool InitFont(const std::string& requested_path, std::string* error) {
  if (g_renderer) return true;
  if (TTF_WasInit() == 0 && TTF_Init() != 0) {
    if (error) *error = std::string("cannot start the font library: ") + TTF_GetError();
    return false;
  }
  std::string path = requested_path;
  if (path.empty()) {
    for (const char* c : kFontCandidates) {
      if (std::filesystem::exists(c)) {
        path = c;
        break;
      }
    }
    if (path.empty()) {
      if (error) *error = std::string(kFontCandidates[0]) + ": window font not found (install fonts-ipafont-gothic)";
      return false;
    }
  } else if (!std::filesystem::exists(path)) {
    if (error) *error = path + ": window font not found";
    return false;
  }
  auto r = std::make_unique<TtfFontRenderer>(path);
  if (!r->Probe(error)) return false;
  g_renderer = std::move(r);
  SetFontRenderer(g_renderer.get());
  return true;
}

}  // namespace ardo::platform
