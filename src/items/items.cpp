// The item table and the hero's inventory: loading data/item.dat, adding, removing,
// testing, swapping and throwing away items, and using one from the item window.
#include <algorithm>
#include <limits>
#include <map>

#include "events/events.h"
#include "items/items.h"
#include "core/table_rows.h"
#include "sound/sound.h"
#include "ui/ui.h"

namespace ardo {

VbArray<ItemRecord, 0, 255> ItemTable;
Byte ItemCount = 0;

namespace {

using items_internal::NumberField;
using items_internal::ParseRow;
using items_internal::RowReader;
using items_internal::RowStatus;

constexpr const char* kItemFile = "data/item.dat";

// What the special items (kind 0) say about themselves when used.
const std::map<std::string, Say>& SpecialDescriptions() {
  static const std::map<std::string, Say> table = {
      {"財布", Say::kAboutWallet},     {"削岩ドリル", Say::kAboutDrill}, {"月下の剣", Say::kAboutSword},
      {"不死鳥の衣", Say::kAboutRobe}, {"華の帽子", Say::kAboutHat},     {"風のリング", Say::kAboutRing},
      {"万能まないた", Say::kAboutBoard},
  };
  return table;
}

// A number as the windows print it: a full-width space (or minus), then full-width digits.
std::string SignedFullWidth(long long v) {
  return (v < 0 ? "－" : "　") + MoneyText(v < 0 ? -v : v);
}

Integer SaturatedInteger(long long v) {
  return static_cast<Integer>(std::clamp<long long>(v, std::numeric_limits<Integer>::min(),
                                                    std::numeric_limits<Integer>::max()));
}

// One row of item.dat: number, Name, Kind, NoField, Value, Keep, Price.
void StoreItemRow(const std::vector<std::string>& f) {
  const double number = NumberField(f[0]);
  if (!(number > -0.5 && number < 255.5)) Raise(err::kSubscript);
  ItemRecord r;
  r.Name = f[1];
  r.Kind = CByte(NumberField(f[2]));
  r.NoField = CByte(NumberField(f[3]));
  r.Value = CInt(NumberField(f[4]));
  r.Keep = CByte(NumberField(f[5]));
  r.Price = CLng(NumberField(f[6]));
  ItemTable(static_cast<long long>(RoundHalfEven(number))) = std::move(r);
}

}  // namespace

void ItemSet() {
  Trap on("ItemSet");
  for (auto& it : ItemTable) it = ItemRecord{};
  ItemCount = 0;
  FieldReader reader;
  if (!reader.Open(GamePath(kItemFile))) {
    on.LogFault(reader.failure());
    return;
  }
  reader.SkipLine();  // the header
  RowReader rows(reader);
  std::vector<std::string> fields;
  int line = 0;
  int stored = 0;
  for (;;) {
    const RowStatus s = rows.Read(7, &fields, &line);
    if (s == RowStatus::kEnd) break;
    if (s == RowStatus::kShort) {
      on.LogFault(items_internal::AtLine(Fault::Of(err::kInputPastEnd), kItemFile, line));
      continue;
    }
    if (s == RowStatus::kLong) {
      on.LogFault(items_internal::AtLine(Fault::Of(err::kTypeMismatch), kItemFile, line));
      continue;
    }
    if (ParseRow(on, kItemFile, line, [&] { StoreItemRow(fields); })) ++stored;
  }
  ItemCount = static_cast<Byte>(std::clamp(stored - 1, 0, 255));
}

Byte ItemAdd(int id) {
  Trap on("ItemAdd");
  return on.Value<Byte>(255, [&]() -> Byte {
    const Byte item = CByte(id);
    for (int s = 0; s <= 14; ++s) {
      if (Player.items(s) == 0) {
        Player.items(s) = item;
        return 0;
      }
    }
    return 255;
  });
}

Byte ItemDel(int id) {
  Trap on("ItemDel");
  return on.Value<Byte>(255, [&]() -> Byte {
    for (int s = 0; s <= 14; ++s) {
      if (Player.items(s) == id) {
        Player.items(s) = 0;
        return 0;
      }
    }
    return 255;
  });
}

Byte ItemHave(int id) {
  Trap on("ItemHave");
  return on.Value<Byte>(255, [&]() -> Byte {
    for (int s = 0; s <= 14; ++s) {
      if (Player.items(s) == id) return 0;
    }
    return 255;
  });
}

void ItemSwap(int a, int b) {
  Trap on("ItemSwap");
  on([&] { std::swap(Player.items(a), Player.items(b)); });
}

void CloseUpItems() {
  int to = 0;
  for (int s = 0; s <= 14; ++s) {
    const Byte id = Player.items(s);
    if (id == 0) continue;
    Player.items(s) = 0;
    Player.items(to++) = id;
  }
}

void ItemDrop(int slot) {
  Trap on("ItemDrop");
  Byte id = 0;
  on([&] { id = Player.items(slot); });
  if (id == 0) return;
  on([&] { Message(Word(Say::kDropAsk, {Named(ItemTable(id).Name)})); });
  const Byte answer = on.Value<Byte>(255, [] { return WinDeal(win::kYesNo); });
  if (answer != 0) return;  // the question stays for the caller to clear
  on([] { Message(Word(Say::kDropped)); });
  on([&] { Player.items(slot) = 0; });
  on([] { KeyWait(); });
  on([] { WinHide(win::kMessage); });
}

void ItemUse(int slot) {
  Trap on("ItemUse");
  Byte id = 0;
  on([&] { id = Player.items(slot); });
  if (id == 0) return;
  const ItemRecord item = ItemTable(id);
  const auto use_up = [&] {
    on([&] {
      if (item.Keep == 0) Player.items(slot) = 0;
    });
  };

  switch (item.Kind) {
    case 0: {
      const auto& d = SpecialDescriptions();
      const auto it = d.find(item.Name);
      on([&] { Message(Word(it != d.end() ? it->second : Say::kUnusable)); });
      break;
    }
    case 1:
    case 2: {
      if (item.NoField != 0) {
        on([] { Message(Word(Say::kNotNowPlain)); });
        break;
      }
      Integer amount = 0;
      on([&] { amount = ItemRestoreAmount(item.Value); });
      on([] { PlaySe("heal", 1); });
      if (item.Kind == 1) {
        on([&] { Message(Word(item.Value > 0 ? Say::kHpHealed : Say::kDamaged)); });
        on([&] { HPadd(amount); });
      } else {
        on([&] { Message(Word(item.Value > 0 ? Say::kMpHealed : Say::kMpDamaged)); });
        on([&] { MPadd(amount); });
      }
      use_up();
      on([] { WinDraw(win::kSmallStatus); });
      break;
    }
    case 3:
    case 4:
    case 5:
    case 6:
    case 7: {
      const long long g = UseGrowthItem(item.Kind, item.Value, on);
      on([&] { Message(Word(GrowthWord(item.Kind), {NumberText(g, SignedFullWidth(g))})); });
      use_up();
      break;
    }
    default:
      on([] { Message(Word(Say::kNoEffectPage)); });
      break;
  }
  on([] { WinHide(win::kMessage); });
  on([] { WinDraw(win::kItems); });
}

Integer ItemRestoreAmount(Integer value) {
  const int q = value / 4;
  // Single precision, as the old run-time worked out Rnd x q.
  const float a = Rnd() * static_cast<float>(q) + static_cast<float>(3 * q);
  return CInt(static_cast<double>(a));
}

long long ItemGrowthGain(Integer value) {
  // p is 0 or 100 with even chance.
  const long long p = static_cast<long long>(static_cast<double>(Rnd()) + 0.5) * 100 % 101;
  return static_cast<long long>(RoundHalfEven(static_cast<double>(value) * p / 100.0 + 1));
}

long long UseGrowthItem(Byte kind, Integer value, const Trap& on) {
  long long gain = 0;
  on([&] { gain = ItemGrowthGain(value); });
  on([&] { AddGrowth(kind, gain); });
  return gain;
}

void AddGrowth(Byte kind, long long gain) {
  const int g = static_cast<int>(gain);  // at most 32768, from a Value of 32767
  switch (kind) {
    case 3: MHPadd(g); break;
    case 4: MMPadd(g); break;
    case 5: Player.ap = SaturatedInteger(Player.ap + gain); break;
    case 6: Player.dp = SaturatedInteger(Player.dp + gain); break;
    default: Player.sp = SaturatedInteger(Player.sp + gain); break;
  }
}

Say GrowthWord(Byte kind) {
  switch (kind) {
    case 3: return Say::kGrewMaxHp;
    case 4: return Say::kGrewMaxMp;
    case 5: return Say::kGrewPower;
    case 6: return Say::kGrewDefense;
    default: return Say::kGrewSpeed;
  }
}

void ResetItemState() {
  for (auto& it : ItemTable) it = ItemRecord{};
  ItemCount = 0;
  for (auto& m : MagicTable) m = MagicRecord{};
  for (auto& l : LevelTable) l = LevelRecord{};
}

}  // namespace ardo
