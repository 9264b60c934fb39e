// The services the scripts call (shops, inns, treasure, chests, the money panel) and
// the stat changes through which every change of money, experience, HP, MP, attack,
// defence and speed goes, each with its own limits.
//
// The sums are taken in 64 bits, so no sum overflows its field's type: a sum beyond
// the upper limit is clamped like any other, and `MMPadd`, which has no lower limit,
// stops at the Integer minimum. Nothing in the stat changes can fault, so only
// `ExpAdd` (which runs the level-ups) keeps an error handler.
#include <algorithm>
#include <limits>

#include "battle/battle.h"
#include "events/events.h"
#include "field/field.h"
#include "items/items.h"
#include "sound/sound.h"
#include "ui/ui.h"

namespace ardo {

VbArray<Byte, 0, 7> ShopStock;

namespace {

constexpr long long kMoneyLimit = 999999999;
constexpr long long kMaxPointsLimit = 9999;
constexpr long long kStatLimit = 30000;

long long SaturatedSum(long long a, long long b) {
  long long s = 0;
  if (__builtin_add_overflow(a, b, &s)) {
    return b > 0 ? std::numeric_limits<long long>::max() : std::numeric_limits<long long>::min();
  }
  return s;
}

// The common rule of the stat table: a sum of 0 or less becomes 0, a sum above the
// limit becomes the limit (both report 255); otherwise the sum is stored.
template <class T>
Byte ApplyClamped(T& field, long long sum, long long limit) {
  if (sum <= 0) {
    field = 0;
    return 255;
  }
  if (sum > limit) {
    field = static_cast<T>(limit);
    return 255;
  }
  field = static_cast<T>(sum);
  return 0;
}

std::string GoldPanelText() { return Word(Say::kGoldPanel, {MoneyText(Player.gold)}); }

}  // namespace

std::string MoneyText(long long amount) { return NumberText(amount, ToFullWidth(std::to_string(amount))); }

void ShowGold() {
  Trap on("ShowGold");
  on([] { BtlText(GoldPanelText()); });
}

Byte Shop(const std::vector<int>& goods) {
  Trap on("Shop");
  // The goods list holds at most 8 rows; more is a scripting slip, logged once.
  const int count = static_cast<int>(std::min<size_t>(goods.size(), 8));
  if (goods.size() > 8) on.LogFault(Fault::Of(err::kSubscript));
  on([&] { Windows(win::kShop).Count = static_cast<Integer>(count); });
  for (int i = 0; i <= 7; ++i) {
    on([&] {
      Windows(win::kShop).Item(i).clear();
      ShopStock(i) = 0;
      if (i < count) {
        Windows(win::kShop).Item(i) = Named(ItemTable(goods[i]).Name);
        ShopStock(i) = CByte(goods[i]);
      }
    });
  }
  on([] { BtlText(GoldPanelText()); });
  on([] { WinDeal(win::kShop); });
  on([] { Message(Word(Say::kShopThanks)); });
  on([] { WinHide(win::kPanel); });
  on([] { WinHide(win::kShop); });
  return 0;
}

Byte Yado(int price) {
  Trap on("Yado");
  on([] { ShowGold(); });
  on([&] { Message(Word(Say::kInnPrice, {MoneyText(price)})); });
  const Byte answer = on.Value<Byte>(255, [] { return WinDeal(win::kYesNo); });
  if (answer != 0) {
    on([] { Message(Word(Say::kInnDeclined)); });
  } else if (Player.gold < price) {
    on([] { Message(Word(Say::kInnNoMoney)); });
  } else {
    // Paid directly, not through GOLDAdd.
    Player.gold = static_cast<Long>(std::clamp<long long>(
        static_cast<long long>(Player.gold) - price, std::numeric_limits<Long>::min(),
        std::numeric_limits<Long>::max()));
    on([] { ShowGold(); });
    on([] { Message(Word(Say::kInnSleep)); });
    on([] { WinHide(win::kPanel); });
    SleepTillMorning(on);
    on([] { Message(Word(Say::kInnMorning)); });
  }
  on([] { WinHide(win::kPanel); });
  on([] { WinHide(win::kMessage); });
  return 0;
}

void SleepTillMorning(const Trap& on) {
  on([] { WinHide(win::kMessage); });
  on([] { ScreenFade(0); });
  Wait(1000);
  on([] { HPadd(9999); });
  on([] { MPadd(9999); });
  on([] { BuffDraw(); });
  on([] { MapDraw(0, 0, 1, 1); });
  on([] { ScreenFade(1); });
}

Byte Treasure(int goods, int flag) {
  Trap on("Treasure");
  if (Flag(flag) != 0) {
    on([] { Message(Word(Say::kNothingMore)); });
    return 0;
  }
  if (goods < 0) {
    const long long amount = -static_cast<long long>(goods);
    on([&] { Message(Word(Say::kFoundGold, {MoneyText(amount)})); });
    on([&] { GOLDAdd(amount); });
    SetFlag(flag, 1);
    return 0;
  }
  // An item number beyond the table fails here, before anything is shown or given.
  on([&] {
    const std::string name = Named(ItemTable(goods).Name);
    on([&] { Message(Word(Say::kFound, {name})); });
    if (ItemAdd(goods) != 0) {
      on([] { Message(Word(Say::kBagFull)); });  // the treasure stays
    } else {
      SetFlag(flag, 1);
    }
  });
  return 0;
}

void BoxOpen(int index) {
  Trap on("BoxOpen");
  on([&] {
    CharRecord& c = Chars(index);
    if (c.pic == 16) {
      on([] { PlaySe("heal", 1); });
      c.pic = 17;
    }
  });
  on([] { MapDraw(Player.dx * StepOffset, Player.dy * StepOffset, 1, 1); });
  RefreshScreen();
}

Byte GOLDAdd(long long n) {
  return ApplyClamped(Player.gold, SaturatedSum(Player.gold, n), kMoneyLimit);
}

Byte ExpAdd(long long n) {
  Trap on("ExpAdd");
  if (ApplyClamped(Player.exp, SaturatedSum(Player.exp, n), kMoneyLimit) != 0) return 255;
  // One level a call: a large gain raises several levels, one message each.
  while (on.Value<Byte>(255, [] { return Lv_Up(); }) == 0) {
  }
  return 0;
}

Byte HPadd(int n) {
  return ApplyClamped(Player.hp, static_cast<long long>(Player.hp) + n, Player.mhp);
}

Byte MPadd(int n) {
  return ApplyClamped(Player.mp, static_cast<long long>(Player.mp) + n, Player.mmp);
}

Byte MHPadd(int n) {
  return ApplyClamped(Player.mhp, static_cast<long long>(Player.mhp) + n, kMaxPointsLimit);
}

// No lower rule: the sum is stored even when it is 0 or negative.
Byte MMPadd(int n) {
  const long long sum = static_cast<long long>(Player.mmp) + n;
  if (sum > kMaxPointsLimit) {
    Player.mmp = static_cast<Integer>(kMaxPointsLimit);
    return 255;
  }
  if (sum < std::numeric_limits<Integer>::min()) {
    Player.mmp = std::numeric_limits<Integer>::min();
    return 255;
  }
  Player.mmp = static_cast<Integer>(sum);
  return 0;
}

Byte PowAdd(int n) {
  return ApplyClamped(Player.ap, static_cast<long long>(Player.ap) + n, kStatLimit);
}

Byte DefAdd(int n) {
  return ApplyClamped(Player.dp, static_cast<long long>(Player.dp) + n, kStatLimit);
}

Byte SpdAdd(int n) {
  return ApplyClamped(Player.sp, static_cast<long long>(Player.sp) + n, kStatLimit);
}

}  // namespace ardo
