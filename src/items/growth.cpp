// The hero's growth: the spell table, the level table with the level-up rule, and
// the healing spell cast from the field menu.
#include "events/events.h"
#include "items/items.h"
#include "core/table_rows.h"
#include "sound/sound.h"
#include "ui/ui.h"

namespace ardo {

VbArray<MagicRecord, 0, 10> MagicTable;
VbArray<LevelRecord, 0, 255> LevelTable;

namespace {

using items_internal::NumberField;
using items_internal::ParseRow;
using items_internal::RowReader;
using items_internal::RowStatus;

constexpr const char* kLevelFile = "data/lvup.dat";

// The only notice the player ever gets about the data: one box naming the first row
// that failed and how many more did.
void ReportBadRows(int first, int more) {
  auto number = [](int v) {
    std::string s = F(v);
    const std::string space = "　";  // the sign's place
    while (s.starts_with(space)) s.erase(0, space.size());
    return NumberText(v, s);
  };
  const std::string rest = more > 0 ? Word(Say::kBoxLevelMore, {number(more)}) : "";
  const std::string text = Word(Say::kBoxLevelRows, {kLevelFile, number(first), rest});
  platform::GetPlatform().MessageBox(text, Word(Say::kGameTitle), platform::MsgBoxKind::kOk);
}

// One row of lvup.dat: row number (ignored), Exp, MaxHpUp, MaxMpUp, AttackUp, DefenceUp, SpeedUp.
LevelRecord ParseLevelRow(const std::vector<std::string>& f) {
  LevelRecord r;
  r.Exp = CLng(NumberField(f[1]));
  r.MaxHpUp = CInt(NumberField(f[2]));
  r.MaxMpUp = CInt(NumberField(f[3]));
  r.AttackUp = CInt(NumberField(f[4]));
  r.DefenceUp = CInt(NumberField(f[5]));
  r.SpeedUp = CInt(NumberField(f[6]));
  return r;
}

}  // namespace

void MagSet() {
  Trap on("MagSet");
  static const struct {
    const char* name;
    Integer cost;
  } kSpells[10] = {
      {"回復", 2},       {"炎", 1},         {"氷結", 3},       {"雷", 6},   {"催眠", 7},
      {"攻撃アップ", 6}, {"防御アップ", 5}, {"素早さアップ", 3}, {"脱出", 10}, {"移動", 5},
  };
  for (int i = 0; i < 10; ++i) {
    on([&] { MagicTable(i) = MagicRecord{kSpells[i].name, kSpells[i].cost}; });
  }
}

// Rows are read in order, one a line; a row that can't be read is logged and keeps
// zero values, and one message box names the first such row. A missing file or a
// file that ends early reports the first row it could not reach.
void LvupSet() {
  Trap on("LvupSet");
  for (auto& l : LevelTable) l = LevelRecord{};
  FieldReader reader;
  if (!reader.Open(GamePath(kLevelFile))) {
    on.LogFault(reader.failure());
    platform::GetPlatform().MessageBox(Word(Say::kBoxLevels, {kLevelFile}), Word(Say::kGameTitle),
                                       platform::MsgBoxKind::kOk);
    return;
  }
  reader.SkipLine();  // the header
  RowReader rows(reader);
  std::vector<std::string> fields;
  int line = 0;
  int first_bad = -1;
  int bad = 0;
  auto failed = [&](int row) {
    if (bad++ == 0) first_bad = row;
  };
  for (int row = 0; row <= 255; ++row) {
    const RowStatus s = rows.Read(7, &fields, &line);
    if (s == RowStatus::kEnd) {
      on.LogFault(items_internal::AtLine(Fault::Of(err::kInputPastEnd), kLevelFile, 0));
      failed(row);
      break;
    }
    if (s != RowStatus::kRow) {
      const int number = s == RowStatus::kShort ? err::kInputPastEnd : err::kTypeMismatch;
      on.LogFault(items_internal::AtLine(Fault::Of(number), kLevelFile, line));
      failed(row);
      continue;
    }
    if (!ParseRow(on, kLevelFile, line, [&] { LevelTable(row) = ParseLevelRow(fields); })) failed(row);
  }
  if (bad > 0) ReportBadRows(first_bad, bad - 1);
}

Byte Lv_Up() {
  Trap on("Lv_Up");
  if (Player.lv >= 255) return 255;
  if (Player.exp < LevelTable(Player.lv + 1).Exp) return 255;
  Player.lv = static_cast<Byte>(Player.lv + 1);
  const LevelRecord row = LevelTable(Player.lv);
  on([&] { MHPadd(row.MaxHpUp); });
  on([&] { MMPadd(row.MaxMpUp); });
  on([&] { PowAdd(row.AttackUp); });
  on([&] { DefAdd(row.DefenceUp); });
  on([&] { SpdAdd(row.SpeedUp); });
  on([] { WinDraw(win::kSmallStatus); });
  on([] { Message(Word(Say::kLevelUp)); });
  return 0;
}

void Heal(int strength) {
  Trap on("Heal");
  on([] { PlaySe("heal", 1); });
  Integer amount = 0;
  on([&] {
    const double r = Rnd();
    switch (strength) {
      case 0: amount = CInt((r + 0.7) * 70); break;
      case 1: amount = CInt((r + 0.7) * 250); break;
      case 2: amount = CInt((r + 0.7) * 1000); break;
      default: amount = Player.mhp; break;
    }
  });
  on([&] { MPadd(CInt(-(static_cast<long long>(strength) + 1) * MagicTable(0).Cost * 2)); });
  on([&] { HPadd(amount); });
  on([] { WinDraw(win::kSmallStatus); });
  on([] { Message(Word(Say::kHpHealed)); });
  on([] { WinHide(win::kMessage); });
}

}  // namespace ardo
