// The battle backdrop of each map: data/backdrop.dat names a picture in graphics/ for a
// map ("map,picture" a line); a map it does not name fights on btlback.png.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/table_rows.h"
#include "field/field.h"

namespace ardo {

namespace {

constexpr const char* kBackdropFile = "data/backdrop.dat";
constexpr int kSide = 360;

// A picture name is a plain file name in graphics/: letters, digits, '_', '-' and
// '.', not starting with a dot, ending in ".png".
bool PlainPictureName(const std::string& name) {
  if (name.size() < 5 || name.size() > 64 || name[0] == '.') return false;
  if (name.compare(name.size() - 4, 4, ".png") != 0) return false;
  for (char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                    c == '-' || c == '.';
    if (!ok) return false;
  }
  return true;
}

// Reads `file` (in graphics/) into picBtlBack; false, with one line on stderr, when it is
// missing, unreadable or not 360 x 360.
bool ReadBackdrop(const std::string& file) {
  const std::string path = GamePath("graphics/" + file);
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    std::fprintf(stderr, "ardo: graphics/%s: missing\n", file.c_str());
    return false;
  }
  std::string error;
  auto pic = platform::LoadPicture(path, &error, kSide);
  if (!pic) {
    std::fprintf(stderr, "ardo: %s\n", GameRelative(error).c_str());
    return false;
  }
  if (pic->width() != kSide || pic->height() != kSide) {
    std::fprintf(stderr, "ardo: graphics/%s: expected %d x %d, found %d x %d\n", file.c_str(), kSide, kSide,
                 pic->width(), pic->height());
    return false;
  }
  picBtlBack = Surface(kSide, kSide);
  picBtlBack.visible = false;
  picBtlBack.BitBlt(0, 0, kSide, kSide, pic.get(), 0, 0, platform::Rop::kSrcCopy);
  return true;
}

// The picture picBtlBack was last given for, and the version it had then.
std::string g_loaded;
std::uint64_t g_loaded_version = 0;

}  // namespace

std::string BattleBackdrop(const std::string& map) {
  Trap on("BattleBackdrop");
  FieldReader reader;
  if (!reader.Open(GamePath(kBackdropFile))) {
    on.LogFault(reader.failure());  // every battle on the design's backdrop, and the log says why
    return kDefaultBackdrop;
  }
  reader.SkipLine();  // the header
  RowReader rows(reader);
  std::vector<std::string> fields;
  int line = 0;
  for (;;) {
    const RowStatus s = rows.Read(2, &fields, &line);
    if (s == RowStatus::kEnd) break;
    if (s != RowStatus::kRow || fields[0] != map) continue;
    if (PlainPictureName(fields[1])) return fields[1];
    on.LogFault(items_internal::AtLine(Fault::Of(err::kInvalidPicture), kBackdropFile, line));
    break;
  }
  return kDefaultBackdrop;
}

void LoadBattleBackdrop(const std::string& map) {
  const std::string file = BattleBackdrop(map);
  if (file == g_loaded && picBtlBack.version() == g_loaded_version) return;
  if (!ReadBackdrop(file) && file != kDefaultBackdrop) {
    std::fprintf(stderr, "ardo: the battle on %s uses %s\n", map.c_str(), kDefaultBackdrop);
    ReadBackdrop(kDefaultBackdrop);
  }
  g_loaded = file;
  g_loaded_version = picBtlBack.version();
}

}  // namespace ardo
