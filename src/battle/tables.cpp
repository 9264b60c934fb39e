// The enemy and encounter tables, and the random-encounter roll after each step.
#include <algorithm>
#include <cmath>

#include "events/story.h"
#include "battle/battle.h"
#include "core/table_rows.h"

namespace ardo {

VbArray<EnemyRecord, 0, 200> EnemyTable;
Byte EnemyCount = 0;
Integer EnemyId = 0;
EnemyRecord Enemy;
VbArray<VbArray<Byte, 0, 10>, 0, 20> EncountTable;
Byte EncountCount = 0;

namespace {

using items_internal::AtLine;
using items_internal::NumberField;
using items_internal::ParseRow;
using items_internal::RowReader;
using items_internal::RowStatus;

constexpr const char* kEnemyFile = "data/enemy.dat";
constexpr const char* kEncountFile = "data/encount.dat";
constexpr int kEnemyFields = 29;
constexpr int kEncountFields = 12;

// One line of enemy.dat: row, name, srcX, srcY, spare, w, h, x, y, lv, max HP, max MP,
// attack, defence, speed, experience, money, sleep resistance, wake chance, ten actions.
void StoreEnemyRow(const std::vector<std::string>& f) {
  const double number = NumberField(f[0]);
  if (!(number > -0.5 && number < 200.5)) Raise(err::kSubscript);
  EnemyRecord e;
  e.name = f[1];
  e.srcX = CInt(NumberField(f[2]));
  e.srcY = CInt(NumberField(f[3]));
  e.spare = CInt(NumberField(f[4]));
  e.w = CLng(NumberField(f[5]));
  e.h = CLng(NumberField(f[6]));
  e.x = CInt(NumberField(f[7]));
  e.y = CInt(NumberField(f[8]));
  e.stats.lv = CByte(NumberField(f[9]));
  e.stats.mhp = CInt(NumberField(f[10]));
  e.stats.hp = e.stats.mhp;
  e.stats.mmp = CInt(NumberField(f[11]));
  e.stats.mp = e.stats.mmp;
  e.stats.ap = CInt(NumberField(f[12]));
  e.stats.dp = CInt(NumberField(f[13]));
  e.stats.sp = CInt(NumberField(f[14]));
  e.stats.exp = CLng(NumberField(f[15]));
  e.stats.gold = CLng(NumberField(f[16]));
  e.sleepResist = CInt(NumberField(f[17]));
  e.wakeChance = CInt(NumberField(f[18]));
  for (int k = 0; k < 10; ++k) e.skills(k) = f[static_cast<size_t>(19 + k)];
  EnemyTable(static_cast<long long>(RoundHalfEven(number))) = std::move(e);
}

// One line of encount.dat: eleven enemy numbers and the author's label (read, not kept).
void StoreEncountRow(int row, const std::vector<std::string>& f) {
  VbArray<Byte, 0, 10> r;
  for (int c = 0; c <= 10; ++c) r(c) = CByte(NumberField(f[static_cast<size_t>(c)]));
  EncountTable(row) = r;
}

// The fault for a line that is not one row: too few fields, or too many.
Fault BadLine(RowStatus s) { return Fault::Of(s == RowStatus::kShort ? err::kInputPastEnd : err::kTypeMismatch); }

}  // namespace

void EnemySet() {
  Trap on("EnemySet");
  for (auto& e : EnemyTable) e = EnemyRecord{};
  EnemyCount = 0;
  FieldReader reader;
  if (!reader.Open(GamePath(kEnemyFile))) {
    on.LogFault(AtLine(Fault::Of(err::kFileNotFound), kEnemyFile, 0));
    return;
  }
  reader.SkipLine();  // the header, whatever it looks like
  RowReader rows(reader);
  std::vector<std::string> fields;
  int line = 0;
  int stored = 0;
  for (;;) {
    const RowStatus s = rows.Read(kEnemyFields, &fields, &line);
    if (s == RowStatus::kEnd) break;
    if (s != RowStatus::kRow) {
      on.LogFault(AtLine(BadLine(s), kEnemyFile, line));
      continue;
    }
    if (ParseRow(on, kEnemyFile, line, [&] { StoreEnemyRow(fields); })) ++stored;
  }
  EnemyCount = static_cast<Byte>(std::clamp(stored - 1, 0, 255));
}

// Rows are areas in file order, so a bad line still takes its row (left empty) and
// the areas after it keep their numbers. Lines past row 20 are logged and dropped.
void EncSet() {
  Trap on("EncSet");
  for (auto& row : EncountTable) row = {};
  EncountCount = 0;
  FieldReader reader;
  if (!reader.Open(GamePath(kEncountFile))) {
    on.LogFault(AtLine(Fault::Of(err::kFileNotFound), kEncountFile, 0));
    return;
  }
  RowReader rows(reader);
  std::vector<std::string> fields;
  int line = 0;
  int row = 0;
  for (;; ++row) {
    const RowStatus s = rows.Read(kEncountFields, &fields, &line);
    if (s == RowStatus::kEnd) break;
    if (row > EncountTable.upper()) {
      on.LogFault(AtLine(Fault::Of(err::kSubscript), kEncountFile, line));
      continue;
    }
    if (s != RowStatus::kRow) {
      on.LogFault(AtLine(BadLine(s), kEncountFile, line));
      continue;
    }
    ParseRow(on, kEncountFile, line, [&] { StoreEncountRow(row, fields); });
  }
  EncountCount = static_cast<Byte>(std::clamp(std::min(row, EncountTable.upper() + 1) - 1, 0, 255));
}

bool EncounterPick() {
  Trap on("EncounterRoll");
  const Byte area = Flags(story::kAreaByte);
  if (area == 0 || NoEncount != 0) return false;
  const float roll = Rnd() * 100.0f;
  if (RoundHalfEven(roll) <= 98) return false;
  bool chosen = false;
  on([&] {
    if (area <= EncountCount) {
      const auto column = static_cast<long long>(std::floor(static_cast<double>(Rnd()) * 11.0));
      EnemyId = EncountTable(area)(column);
    } else {
      const double n = static_cast<double>(EnemyCount) + 1.0;
      EnemyId = static_cast<Integer>(std::floor(static_cast<double>(Rnd()) * n));
    }
    // A row that was never loaded has no picture and no name: no battle against nothing.
    const EnemyRecord& e = EnemyTable(EnemyId);
    if (e.name.empty() && e.w == 0) return;
    Enemy = e;
    chosen = true;
  });
  return chosen;
}

void EncounterRoll() {
  Trap on("EncounterRoll");
  if (EncounterPick()) on([] { BtlMain(true, "fight4"); });
}

}  // namespace ardo
