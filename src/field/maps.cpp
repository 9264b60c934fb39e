// Map files and the table of map display names.

#include <algorithm>

#include "events/events.h"
#include "field/field.h"
#include "ui/words.h"

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

std::string MapFileName(const std::string& name) { return "map/" + name + ".map"; }

const MapCell* MapFile::cell(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return nullptr;
  const std::size_t i = static_cast<std::size_t>(x) * static_cast<std::size_t>(height) + static_cast<std::size_t>(y);
  return i < cells.size() ? &cells[i] : nullptr;
}

MapFile ReadMapFile(const std::string& name) {
  constexpr std::size_t kHeader = 16;
  MapFile m;
  std::string data;
  // The largest map: the header and 256 x 256 cells of two bytes.
  m.status = ReadGameFile(GamePath(MapFileName(name)), &data, &m.why, kHeader + 256 * 256 * 2);
  if (m.status != FileStatus::kOk) return m;
  m.bytes = data.size();
  if (!m.has_size()) return m;
  m.width = static_cast<Byte>(data[0]);
  m.height = static_cast<Byte>(data[1]);
  const std::size_t in_file = data.size() >= kHeader ? (data.size() - kHeader) / 2 : 0;
  m.cells.resize(std::min(in_file, static_cast<std::size_t>(m.width) * static_cast<std::size_t>(m.height)));
  for (std::size_t i = 0; i < m.cells.size(); ++i) {
    m.cells[i] = MapCell{static_cast<Byte>(data[kHeader + 2 * i]), static_cast<Byte>(data[kHeader + 2 * i + 1])};
  }
  return m;
}

void MapLoad(const std::string& name) {
  Trap on("MapLoad");
  MapName = name;
  const std::string file = MapFileName(name);
  const MapFile m = ReadMapFile(name);
  if (m.status != FileStatus::kOk) {
    on.LogFault(FileFault(m.status, file, m.why));
    if (m.status == FileStatus::kMissing) {
      on([] {
        platform::GetPlatform().MessageBox(Word(Say::kBoxNoFile), Word(Say::kGameTitle), platform::MsgBoxKind::kOk);
      });
    }
    return;
  }
  auto past_end = [&] {
    Fault f = Fault::Of(err::kInputPastEnd);
    f.description += " (" + file + ": " + std::to_string(m.bytes) + " bytes)";
    return f;
  };
  if (!m.has_size()) {
    on.LogFault(past_end());
    return;
  }
  MapWidth = static_cast<Byte>(m.width);
  MapHeight = static_cast<Byte>(m.height);
  // A file shorter than its header promises fills what it has; the other cells keep
  // what they held.
  for (std::size_t i = 0; i < m.cells.size(); ++i) {
    MapData(static_cast<long long>(i) / m.height, static_cast<long long>(i) % m.height) = m.cells[i];
  }
  if (!m.complete()) {
    on.LogFault(past_end());
    return;
  }
  MapEventsSet();
}

bool CellToStandOn(const std::string& name, int x, int y, std::string* why) {
  const MapFile m = ReadMapFile(name);
  if (m.status != FileStatus::kOk || !m.has_size()) return true;
  const int w = m.width;
  const int h = m.height;
  const std::string cell = "(" + std::to_string(x) + ", " + std::to_string(y) + ")";
  if (x < 0 || y < 0 || x >= w || y >= h) {
    *why = cell + " is outside " + name + ", which is " + std::to_string(w) + " x " + std::to_string(h) +
           " cells (0 to " + std::to_string(w - 1) + ", 0 to " + std::to_string(h - 1) + ")";
    return false;
  }
  const MapCell* c = m.cell(x, y);
  if (c != nullptr && (c->attr & kAttrBlocked) != 0) {
    *why = cell + " of " + name + " is a wall: the hero could never stand there";
    return false;
  }
  return true;
}

namespace {
constexpr std::pair<const char*, const char*> kTitles[] = {
      {"field", "フィールド"},       {"town1", "さいはての村"},     {"town2", "浮き島村"},
      {"dngn1", "ヒグラシ草の洞窟"}, {"dngn2", "潮風の洞穴"},       {"forest", "森"},
      {"town3", "谷間の村"},         {"dngn3", "ゴミの洞窟"},       {"zombi", "ゾンビパラダイス"},
      {"wall", "偉大なる壁"},        {"cavity", "大空洞"},          {"icewall", "氷壁"},
      {"kikori", "きこりの家"},      {"smog", "雲の中"},            {"topl", "山頂への道"},
      {"toph", "嘆きの壁"},          {"top", "山頂"},
};
}  // namespace

std::vector<std::string> MapTitles() {
  std::vector<std::string> out;
  for (const auto& [file, title] : kTitles) out.emplace_back(title);
  return out;
}

std::string MapTitle(const std::string& name) {
  for (const auto& [file, title] : kTitles) {
    if (name == file) return title;
  }
  return "";
}

}  // namespace ardo
