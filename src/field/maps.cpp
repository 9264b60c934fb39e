// Map files and the table of map display names.

#include "events/events.h"
#include "field/field.h"

namespace ardo {

MapGrid MapData;
Byte MapWidth = 0;
Byte MapHeight = 0;
std::string MapName;

MapCell& MapGrid::operator()(long long x, long long y) {
  if (x < 0 || x > 255 || y < 0 || y > 255) Raise(err::kSubscript);
  return cells_[static_cast<size_t>(x) * 256 + static_cast<size_t>(y)];
}

const MapCell& MapGrid::operator()(long long x, long long y) const {
  if (x < 0 || x > 255 || y < 0 || y > 255) Raise(err::kSubscript);
  return cells_[static_cast<size_t>(x) * 256 + static_cast<size_t>(y)];
}

void MapGrid::Clear() { cells_.fill(MapCell{}); }

void MapLoad(const std::string& name) {
  Trap on("MapLoad");
  MapName = name;
  const std::string file = "map/" + name + ".map";
  std::string data;
  std::string why;
  // The largest map: a 16-byte header and 256 x 256 cells of two bytes.
  const FileStatus status = ReadGameFile(GamePath(file), &data, &why, 16 + 256 * 256 * 2);
  if (status != FileStatus::kOk) {
    on.LogFault(FileFault(status, file, why));
    if (status == FileStatus::kMissing) {
      on([] {
        platform::GetPlatform().MessageBox("ファイルがありません", kGameTitle, platform::MsgBoxKind::kOk);
      });
    }
    return;
  }
  auto past_end = [&] {
    Fault f = Fault::Of(err::kInputPastEnd);
    f.description += " (" + file + ": " + std::to_string(data.size()) + " bytes)";
    return f;
  };
  if (data.size() < 2) {
    on.LogFault(past_end());
    return;
  }
  MapWidth = static_cast<Byte>(data[0]);
  MapHeight = static_cast<Byte>(data[1]);
  // Cells column by column from offset 16. A file shorter than its header promises
  // fills what it has; the other cells keep what they held.
  size_t at = 16;
  for (int x = 0; x < MapWidth; ++x) {
    for (int y = 0; y < MapHeight; ++y) {
      if (at + 1 >= data.size()) {
        on.LogFault(past_end());
        return;
      }
      MapCell& c = MapData(x, y);
      c.tile = static_cast<Byte>(data[at]);
      c.attr = static_cast<Byte>(data[at + 1]);
      at += 2;
    }
  }
  MapEventsSet();
}

bool CellToStandOn(const std::string& name, int x, int y, std::string* why) {
  std::string data;
  std::string ignored;
  if (ReadGameFile(GamePath("map/" + name + ".map"), &data, &ignored, 16 + 256 * 256 * 2) != FileStatus::kOk ||
      data.size() < 2) {
    return true;
  }
  const int w = static_cast<unsigned char>(data[0]);
  const int h = static_cast<unsigned char>(data[1]);
  const std::string cell = "(" + std::to_string(x) + ", " + std::to_string(y) + ")";
  if (x < 0 || y < 0 || x >= w || y >= h) {
    *why = cell + " is outside " + name + ", which is " + std::to_string(w) + " x " + std::to_string(h) +
           " cells (0 to " + std::to_string(w - 1) + ", 0 to " + std::to_string(h - 1) + ")";
    return false;
  }
  const size_t attr = 16 + (static_cast<size_t>(x) * static_cast<size_t>(h) + static_cast<size_t>(y)) * 2 + 1;
  if (attr < data.size() && (static_cast<Byte>(data[attr]) & kAttrBlocked) != 0) {
    *why = cell + " of " + name + " is a wall: the hero could never stand there";
    return false;
  }
  return true;
}

std::string MapTitle(const std::string& name) {
  static const std::pair<const char*, const char*> kTitles[] = {
      {"field", "フィールド"},       {"town1", "さいはての村"},     {"town2", "浮き島村"},
      {"dngn1", "ヒグラシ草の洞窟"}, {"dngn2", "潮風の洞穴"},       {"forest", "森"},
      {"town3", "谷間の村"},         {"dngn3", "ゴミの洞窟"},       {"zombi", "ゾンビパラダイス"},
      {"wall", "偉大なる壁"},        {"cavity", "大空洞"},          {"icewall", "氷壁"},
      {"kikori", "きこりの家"},      {"smog", "雲の中"},            {"topl", "山頂への道"},
      {"toph", "嘆きの壁"},          {"top", "山頂"},
  };
  for (const auto& [file, title] : kTitles) {
    if (name == file) return title;
  }
  return "";
}

}  // namespace ardo
