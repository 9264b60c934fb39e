// Window text through SDL_ttf, rendered without anti-aliasing.
#include "platform/font.h"

#include <SDL.h>
#include <SDL_ttf.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

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
    if (mapped_ != nullptr) ::munmap(mapped_, size_);
  }

  bool Probe(std::string* error) {
    // The font file is mapped into memory once; every size and style opens on that one
    // mapping instead of reading the file again in small pieces. Only the pages of the
    // glyphs drawn become resident (the whole of IPAGothic is 6 MB). Where it can't be
    // mapped it is read whole, in one read.
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd >= 0 && ::fstat(fd, &st) == 0 && st.st_size > 0 && st.st_size < (64 << 20)) {
      size_ = static_cast<std::size_t>(st.st_size);
      void* m = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
      if (m != MAP_FAILED) {
        mapped_ = m;
      } else {
        copy_.resize(size_);
        const ssize_t n = ::read(fd, copy_.data(), size_);
        copy_.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        size_ = copy_.size();
      }
    }
    if (fd >= 0) ::close(fd);
    if (size_ == 0) {
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
    const void* data = mapped_ != nullptr ? mapped_ : static_cast<const void*>(copy_.data());
    SDL_RWops* rw = SDL_RWFromConstMem(data, static_cast<int>(size_));
    TTF_Font* f = rw != nullptr ? TTF_OpenFontRW(rw, 1, style.size_px) : nullptr;
    if (f == nullptr) return nullptr;
    TTF_SetFontStyle(f, style.bold ? TTF_STYLE_BOLD : TTF_STYLE_NORMAL);
    TTF_SetFontHinting(f, TTF_HINTING_MONO);
    fonts_[key] = f;
    return f;
  }

  std::string path_;
  // The whole file, for every TTF_Font opened on it: mapped, or else read.
  void* mapped_ = nullptr;
  std::vector<char> copy_;
  std::size_t size_ = 0;
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
