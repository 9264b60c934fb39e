// Picture files through SDL_image.
#include <SDL.h>
#include <SDL_image.h>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/platform.h"

namespace ardo::platform {

namespace {

// The size a PNG's header claims, read before anything is decoded.
bool PngSize(const std::string& path, std::uint32_t* w, std::uint32_t* h) {
  unsigned char head[24];
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  const bool got = std::fread(head, 1, sizeof head, f) == sizeof head;
  std::fclose(f);
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (!got || std::memcmp(head, kSignature, 8) != 0 || std::memcmp(head + 12, "IHDR", 4) != 0) return false;
  auto be32 = [&](int at) {
    return (std::uint32_t{head[at]} << 24) | (std::uint32_t{head[at + 1]} << 16) | (std::uint32_t{head[at + 2]} << 8) |
           std::uint32_t{head[at + 3]};
  };
  *w = be32(16);
  *h = be32(20);
  return true;
}

}  // namespace

std::shared_ptr<Surface> LoadPicture(const std::string& path, std::string* error, int max_side) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (error) *error = path + ": " + std::strerror(errno);
    return nullptr;
  }
  if (!S_ISREG(st.st_mode)) {
    if (error) *error = path + ": not a plain file";
    return nullptr;
  }
  if (max_side > 0) {
    std::uint32_t w = 0, h = 0;
    if (!PngSize(path, &w, &h)) {
      if (error) *error = path + ": not a PNG picture";
      return nullptr;
    }
    const auto limit = static_cast<std::uint32_t>(max_side);
    if (w == 0 || h == 0 || w > limit || h > limit) {
      if (error) {
        *error = path + ": claims " + std::to_string(w) + " x " + std::to_string(h) + " pixels, more than the " +
                 std::to_string(max_side) + " a side that a picture of the game may have";
      }
      return nullptr;
    }
  }
  SDL_Surface* loaded = IMG_Load(path.c_str());
  if (loaded == nullptr) {
    if (error) *error = path + ": cannot load picture: " + IMG_GetError();
    return nullptr;
  }
  SDL_Surface* rgb = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
  SDL_FreeSurface(loaded);
  if (rgb == nullptr) {
    if (error) *error = path + ": cannot convert picture: " + SDL_GetError();
    return nullptr;
  }
  auto out = std::make_shared<Surface>(rgb->w, rgb->h);
  SDL_LockSurface(rgb);
  std::vector<Color>& to = out->pixels();  // (one change for the whole picture, not one a pixel)
  for (int y = 0; y < rgb->h; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(rgb->pixels) +
                                                              static_cast<size_t>(y) * rgb->pitch);
    Color* dst = to.data() + static_cast<size_t>(y) * rgb->w;
    for (int x = 0; x < rgb->w; ++x) dst[x] = row[x] & 0x00FFFFFFu;
  }
  SDL_UnlockSurface(rgb);
  SDL_FreeSurface(rgb);
  return out;
}

bool SavePng(const Surface& surface, const std::string& path, std::string* error) {
  if (surface.empty()) {
    if (error) *error = path + ": nothing to save (empty picture)";
    return false;
  }
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, surface.width(), surface.height(), 32,
                                                  SDL_PIXELFORMAT_ARGB8888);
  if (s == nullptr) {
    if (error) *error = path + ": " + SDL_GetError();
    return false;
  }
  SDL_LockSurface(s);
  for (int y = 0; y < surface.height(); ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(s->pixels) +
                                                 static_cast<size_t>(y) * s->pitch);
    for (int x = 0; x < surface.width(); ++x) row[x] = 0xFF000000u | surface.At(x, y);
  }
  SDL_UnlockSurface(s);
  // Write beside the target and rename, so a picture is never half-written.
  const std::string temp = path + ".tmp";
  const bool ok = IMG_SavePNG(s, temp.c_str()) == 0;
  SDL_FreeSurface(s);
  if (!ok) {
    if (error) *error = path + ": cannot write PNG: " + IMG_GetError();
    std::remove(temp.c_str());
    return false;
  }
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  if (ec) {
    if (error) *error = path + ": " + ec.message();
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace ardo::platform
