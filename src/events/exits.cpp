// The exits table: every door, stairway, cave mouth and warp of the world, read from
// data/exits.dat (built from assets/maps/*.exits). One row per trigger cell:
//   from,x,y,to,x,y,music,area,flag        (flag -1: none)
// A missing or broken table is logged and leaves the world without exits: the game
// goes on, and nothing half-read is ever used.
#include <fstream>
#include <sstream>

#include "events/events.h"

namespace ardo {

std::vector<ExitRecord> ExitTable;

namespace {

constexpr const char* kExitFile = "data/exits.dat";

std::vector<std::string> SplitFields(const std::string& line) {
  std::vector<std::string> out;
  std::string f;
  std::istringstream in(line);
  while (std::getline(in, f, ',')) out.push_back(f);
  if (!line.empty() && line.back() == ',') out.emplace_back();
  return out;
}

bool ValidName(const std::string& s) {
  if (s.empty() || s.size() > 64) return false;
  for (const char c : s) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
}

// A whole decimal number within [lo, hi]; anything else is a type mismatch.
int Number(const std::string& s, int lo, int hi) {
  const bool negative = !s.empty() && s[0] == '-';
  if (s.size() == (negative ? 1u : 0u) || s.size() > 6) Raise(err::kTypeMismatch);
  for (size_t i = negative ? 1 : 0; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') Raise(err::kTypeMismatch);
  }
  const int v = std::stoi(s);
  if (v < lo || v > hi) Raise(err::kOverflow);
  return v;
}

ExitRecord ParseRow(const std::vector<std::string>& f) {
  if (f.size() != 9 || !ValidName(f[0]) || !ValidName(f[3]) || !ValidName(f[6])) Raise(err::kTypeMismatch);
  ExitRecord r;
  r.map = f[0];
  r.x = static_cast<Integer>(Number(f[1], 0, 255));
  r.y = static_cast<Integer>(Number(f[2], 0, 255));
  r.to = f[3];
  r.toX = static_cast<Integer>(Number(f[4], 0, 255));
  r.toY = static_cast<Integer>(Number(f[5], 0, 255));
  r.music = f[6];
  r.area = static_cast<Byte>(Number(f[7], 0, 255));
  r.flag = static_cast<Integer>(Number(f[8], -1, 2047));
  return r;
}

}  // namespace

void ExitSet() {
  Trap on("ExitSet");
  ExitTable.clear();
  std::ifstream in(GamePath(kExitFile), std::ios::binary);
  if (!in) {
    Fault f = Fault::Of(err::kFileNotFound);
    f.description += " (" + std::string(kExitFile) + ")";
    on.LogFault(f);
    return;
  }
  std::vector<ExitRecord> rows;
  std::string line;
  int number = 0;
  std::getline(in, line);  // the header
  ++number;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    try {
      rows.push_back(ParseRow(SplitFields(line)));
    } catch (const Fault& f) {
      // One bad row makes the whole table suspect: use none of it.
      Fault at = f;
      at.description += " (" + std::string(kExitFile) + " line " + std::to_string(number) + ")";
      on.LogFault(at);
      return;
    }
  }
  ExitTable = std::move(rows);
}

const ExitRecord* FindExit(const std::string& map, int x, int y) {
  for (const ExitRecord& e : ExitTable) {
    if (e.x == x && e.y == y && e.map == map) return &e;
  }
  return nullptr;
}

}  // namespace ardo
