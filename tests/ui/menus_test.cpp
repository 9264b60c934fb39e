// The menus, driven by key presses: the cursor, cancelling, the item window's
// marks, the spell refusals, escape and travel, the save slots, buying and the
// settings.
#include <algorithm>
#include <fstream>

#include "events/events.h"
#include "items/items.h"
#include "save/save.h"
#include "sound/sound.h"
#include "support/ui_fixture.h"

namespace ardo::testing {
namespace {

using platform::vk::kDown;

class MenuTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    ItemSet();
    MagSet();
    MapName = "field";
  }

  // Runs WinDeal(n) with the queued keys; the result, or 254 with a failure noted.
  Byte Deal(int n) {
    Byte r = 0;
    const auto ok = Run([&] { r = WinDeal(n); });
    EXPECT_TRUE(ok);
    return r;
  }

  int Sounds(const std::string& name) {
    const auto& s = audio().state().sounds;
    return static_cast<int>(
        std::count_if(s.begin(), s.end(), [&](const std::string& p) { return p.ends_with("/" + name + ".wav"); }));
  }

  using Texts = std::vector<std::string>;
};

TEST_F(MenuTest, CursorWrapsAtBothEnds) {
  Press(platform::vk::kUp, [] { return Front(11); });  // row 0 -> the last row
  Pick(11);
  EXPECT_EQ(Deal(11), 3);  // "はやい" is row 2: c + 1
  Down(11, 3);             // 0 -> 1 -> 2 -> 0
  Pick(11);
  EXPECT_EQ(Deal(11), 1);
  EXPECT_EQ(Sounds("movc"), 4);
  EXPECT_EQ(Sounds("pi"), 2);
  // Leaving hides the window and the message window.
  EXPECT_FALSE(picWindow(11).visible);
  EXPECT_FALSE(picWindow(0).visible);
}

TEST_F(MenuTest, CursorIsDrawnAtItsRowAndErasedWhenItMoves) {
  platform::Surface after_move;
  probe = [&] {
    if (after_move.empty() && Sounds("movc") == 1) after_move = picWindow(2);
  };
  Down(2);
  Cancel(2);
  EXPECT_EQ(Deal(2), 255);
  ASSERT_FALSE(after_move.empty());
  EXPECT_TRUE(Text(after_move, 8, 30, "⇒"));
  EXPECT_EQ(Ink(after_move, 8, 10, 18, 20), 0);
  EXPECT_EQ(after_move.At(10, 20), picWaku.At(7, 7));
}

TEST_F(MenuTest, CancelHidesOnlyTheMessageWindow) {
  Message("どうしますか？");
  ASSERT_TRUE(picWindow(0).visible);
  Cancel(3);
  EXPECT_EQ(Deal(3), 255);
  EXPECT_TRUE(picWindow(3).visible);
  EXPECT_FALSE(picWindow(0).visible);
}

TEST_F(MenuTest, FieldMenuPutsAwayEveryWindowItOpened) {
  WinDraw(6);  // as the field loop does before opening the menu
  Down(1);
  Pick(1);  // "まほう"
  Cancel(8);
  Down(1);
  Pick(1);  // "つよさ"
  Press('C', [] { return Front(5); });
  Cancel(1);
  EXPECT_EQ(Deal(1), 255);
  for (int n : {0, 1, 5, 8}) EXPECT_FALSE(picWindow(n).visible) << n;
  EXPECT_TRUE(picWindow(6).visible);
}

TEST_F(MenuTest, QuitFromTheFieldMenuReturnsToTheTitle) {
  WinDraw(6);
  Press(platform::vk::kUp, [] { return Front(1); });  // "終了"
  Pick(1);
  No();
  Pick(1);
  Yes();
  Answer();
  EXPECT_EQ(Deal(1), 0);
  EXPECT_TRUE(ReturnToTitle);
  EXPECT_EQ(messages, (Texts{"本当に終了しますか？", "本当に終了しますか？", "お疲れ様でした"}));
  for (int n : {0, 1, 3}) EXPECT_FALSE(picWindow(n).visible) << n;
}

TEST_F(MenuTest, ItemWindowUsesSwapsAndThrowsAway) {
  // 1 薬草 and 2 上薬草 restore hit points, 4 魔法の水 magic points.
  auto inventory = [] {
    std::vector<int> v;
    for (int i = 0; i < 5; ++i) v.push_back(Player.items(i));
    return v;
  };
  auto reset = [&] {
    const Byte items[15] = {1, 2, 4, 1, 0};
    for (int i = 0; i < 15; ++i) Player.items(i) = items[i];
    Player.hp = 50;
    messages.clear();
  };

  // The same row twice: the item is used.
  reset();
  Pick(7);
  Pick(7);
  Answer();
  Cancel(7);
  EXPECT_EQ(Deal(7), 255);
  EXPECT_EQ(inventory(), (std::vector<int>{2, 4, 1, 0, 0})) << "the list closes up";
  EXPECT_GT(Player.hp, 50);
  EXPECT_EQ(messages, Texts{"ＨＰが回復した！"});

  // Two different rows: swapped.
  reset();
  Pick(7);
  Down(7, 2);
  Pick(7);
  Cancel(7);
  EXPECT_EQ(Deal(7), 255);
  EXPECT_EQ(inventory(), (std::vector<int>{4, 2, 1, 1, 0}));
  EXPECT_TRUE(messages.empty());

  // A row, then the trash: thrown away after the question.
  reset();
  Down(7);
  Pick(7);
  Press(platform::vk::kUp, [] { return Front(7); });
  Press(platform::vk::kUp, [] { return Front(7); });  // 1 -> 0 -> 15
  Pick(7);
  Yes();
  Answer();
  Cancel(7);
  EXPECT_EQ(Deal(7), 255);
  EXPECT_EQ(inventory(), (std::vector<int>{1, 4, 1, 0, 0}));
  EXPECT_EQ(messages, (Texts{"上薬草を捨てますか？", "捨てました。"}));

  // The trash, then a row: the same question; "いいえ" keeps the item.
  reset();
  Press(platform::vk::kUp, [] { return Front(7); });
  Pick(7);
  Down(7, 3);  // 15 -> 0 -> 1 -> 2
  Pick(7);
  No();
  Cancel(7);
  EXPECT_EQ(Deal(7), 255);
  EXPECT_EQ(inventory(), (std::vector<int>{1, 2, 4, 1, 0}));
  EXPECT_EQ(messages, Texts{"魔法の水を捨てますか？"});

  // The trash twice does nothing.
  reset();
  Press(platform::vk::kUp, [] { return Front(7); });
  Pick(7);
  Pick(7);
  Cancel(7);
  EXPECT_EQ(Deal(7), 255);
  EXPECT_EQ(inventory(), (std::vector<int>{1, 2, 4, 1, 0}));
  EXPECT_TRUE(messages.empty());

  // Cancel clears a mark without leaving; the next pick marks afresh.
  reset();
  Pick(7);    // mark row 0
  Cancel(7);  // unmark
  Down(7);
  Pick(7);  // mark row 1
  Pick(7);  // use row 1
  Answer();
  Cancel(7);
  EXPECT_EQ(Deal(7), 255);
  EXPECT_EQ(inventory(), (std::vector<int>{1, 4, 1, 0, 0}));
}

// After a mark is cancelled on the cursor's row the item window shows no "⇒"; after
// an item is used the list closes up and the cursor stays on a real row.
TEST_F(MenuTest, ItemWindowErasesTheArrowAfterCancellingAMarkAndClosesUpAfterUse) {
  const Byte items[15] = {1, 1, 0};
  for (int i = 0; i < 15; ++i) Player.items(i) = items[i];
  Player.hp = 50;
  auto arrows = [] {
    int rows = 0;
    for (int row = 0; row < 16; ++row) rows += Ink(picWindow(7), 8, 10 + 20 * row, 18, 20) > 0 ? 1 : 0;
    return rows;
  };
  platform::Surface after_cancel;
  Pick(7);  // mark row 0
  Cancel(7);
  // Before marking row 0 again: the window as the cancel left it.
  Press(Step{{'X'}, 0, [&] {
               if (!Front(7)) return false;
               after_cancel = picWindow(7);
               return true;
             }});
  Pick(7);   // use it
  Answer();  // "ＨＰが回復した！"
  Cancel(7);
  EXPECT_EQ(Deal(7), 255);
  ASSERT_FALSE(after_cancel.empty());
  EXPECT_EQ(Ink(after_cancel, 8, 10, 18, 20), 0) << "the cancelled mark's arrow is erased";
  EXPECT_EQ(arrows(), 1) << "only the cursor after using the item";
  EXPECT_GT(Ink(picWindow(7), 8, 10, 18, 20), 0) << "on the first row, where the second herb moved up";
  EXPECT_EQ(Player.items(0), 1);
  EXPECT_EQ(Player.items(1), 0);
}

TEST_F(MenuTest, SpellsThatDoNotFitTheFieldAreRefused) {
  // Rows 1-7: "炎", "氷結", "雷", "催眠", "攻撃アップ", "防御アップ", "素早さアップ".
  for (int row = 1; row <= 7; ++row) {
    Down(8);
    Pick(8);
    Answer();
  }
  Cancel(8);
  EXPECT_EQ(Deal(8), 255);
  EXPECT_EQ(messages, (Texts{"今は使えません", "今は使えません", "今は使えません", "今は使えません",
                             "まだ魔法が使えません", "まだ魔法が使えません", "今は使えません"}));
  EXPECT_EQ(Player.mp, 20);
  EXPECT_FALSE(picWindow(0).visible);
}

TEST_F(MenuTest, EscapeIsRefusedInTheOpenCountryAndBeforeFlag257) {
  SetFlag(257, 1);
  for (const char* map : {"field", "cavity", "icewall", "smog"}) {
    MapName = map;
    messages.clear();
    Down(8, 8);  // "脱出"
    Pick(8);
    Answer();
    Cancel(8);
    EXPECT_EQ(Deal(8), 255) << map;
    EXPECT_EQ(messages, Texts{"今はつかえません"}) << map;
  }
  SetFlag(257, 0);
  MapName = "town1";
  messages.clear();
  Down(8, 8);
  Pick(8);
  Answer();
  Cancel(8);
  EXPECT_EQ(Deal(8), 255);
  EXPECT_EQ(messages, Texts{"今はつかえません"});
  EXPECT_EQ(Player.mp, 20);
  EXPECT_EQ(MapName, "town1");
}

TEST_F(MenuTest, EscapeTakesTheHeroToThePlacesExitAndCostsTen) {
  SetFlag(257, 1);
  MapName = "town1";
  Player.x = Player.y = 3;
  Down(8, 8);
  Pick(8);
  No();  // nothing happens
  Pick(8);
  Yes();
  EXPECT_EQ(Deal(8), 0);
  EXPECT_EQ(MapName, "field");
  EXPECT_EQ(Player.x, 21);
  EXPECT_EQ(Player.y, 9);
  EXPECT_EQ(Flags(1), 1);
  EXPECT_EQ(BgmName, "letsgo");
  EXPECT_EQ(Player.mp, 10);

  // Every town, cave and part of the climb has its way out.
  for (const char* map : {"town2", "town3", "dngn1", "dngn2", "dngn3", "forest", "zombi", "wall", "kikori",
                          "topl", "toph", "top"}) {
    MapName = map;
    Player.mp = 20;
    Down(8, 8);
    Pick(8);
    Yes();
    EXPECT_EQ(Deal(8), 0) << map;
    EXPECT_TRUE(MapName == "field" || MapName == "smog") << map << " -> " << MapName;
  }

  // Not enough magic points: said, nothing else.
  messages.clear();
  MapName = "town1";
  Player.mp = 9;
  Down(8, 8);
  Pick(8);
  Answer();
  Cancel(8);
  EXPECT_EQ(Deal(8), 255);
  EXPECT_EQ(messages, Texts{"ＭＰが足りません。"});
  EXPECT_EQ(Player.mp, 9);
  EXPECT_EQ(MapName, "town1");
}

TEST_F(MenuTest, TravelWorksOnlyInTheOpenCountryAndCancellingCostsNothing) {
  for (const char* map : {"town1", "dngn1", "top"}) {
    MapName = map;
    messages.clear();
    Down(8, 9);  // "移動"
    Pick(8);
    Answer();
    Cancel(8);
    EXPECT_EQ(Deal(8), 255) << map;
    EXPECT_EQ(messages, Texts{"今はつかえません"}) << map;
  }
  for (const char* map : {"field", "cavity", "icewall", "smog"}) {
    MapName = map;
    Down(8, 9);
    Pick(8);
    Cancel(17);  // leaves the spell list without paying
    EXPECT_EQ(Deal(8), 0) << map;
    EXPECT_EQ(Player.mp, 20) << map;
    EXPECT_EQ(std::get<long long>(MenuChoice), 255) << map;
  }
}

TEST_F(MenuTest, TravelToAKnownPlace) {
  MapName = "cavity";
  SetFlag(34, 1);  // "谷間の村"
  Down(8, 9);
  Pick(8);
  Down(17);
  Pick(17);
  EXPECT_EQ(Deal(8), 0);
  EXPECT_EQ(MapName, "field");
  EXPECT_EQ(Player.x, 91);
  EXPECT_EQ(Player.y, 44);
  EXPECT_EQ(Flags(1), 9);
  EXPECT_EQ(Player.mp, 15);
  EXPECT_FALSE(picWindow(17).visible);
}

TEST_F(MenuTest, HealingNeedsTwiceTheCostPerStrength) {
  Player.mp = 7;
  Down(16);
  Pick(16);  // "ふつう" needs 8
  Answer();
  Press(platform::vk::kUp, [] { return Front(16); });
  Pick(16);  // "てきとう" needs 4
  EXPECT_EQ(Deal(16), 0);
  EXPECT_EQ(messages, Texts{"ＭＰが足りません"});
  EXPECT_EQ(Player.mp, 7);  // paid by the spell itself, not by the choice

  Player.mp = 20;
  Down(16);
  Pick(16);
  EXPECT_EQ(Deal(16), 1);  // here "ふつう" is a strength, row 1
}

TEST_F(MenuTest, HealFromTheSpellList) {
  Player.hp = 10;
  Pick(8);   // "回復"
  Pick(16);  // "てきとう"
  Answer();
  EXPECT_EQ(Deal(8), 0);
  EXPECT_EQ(Player.mp, 16);
  EXPECT_GT(Player.hp, 10);
  EXPECT_EQ(std::get<long long>(MenuChoice), 0);
}

TEST_F(MenuTest, AnEmptySlotCannotBeLoadedButAnySlotSaved) {
  SaveList(1) = SaveEntry{3, "town1"};
  MenuChoice = SlotPurpose::kLoad;
  Pick(4);  // slot 1 is empty
  Answer();
  Down(4);
  Pick(4);
  EXPECT_EQ(Deal(4), 2);
  EXPECT_EQ(messages, (Texts{"データがありません。", "何番をロードしますか？"}));

  MenuChoice = SlotPurpose::kSave;
  messages.clear();
  Pick(4);
  EXPECT_EQ(Deal(4), 1);
  EXPECT_TRUE(messages.empty());
}

// A save names the slot and asks first; one that could not be written says so and
// leaves the slot list as it was.
TEST_F(MenuTest, SaveDialogueConfirmsAndTellsWhetherItSaved) {
  testing::ExpectFault("Save", 76);
  UseScratchFolder();
  std::filesystem::create_directories(GamePath("save"));
  MapName = "town1";
  auto save_in_slot_3 = [&] {
    messages.clear();
    Pick(2);     // "セーブ"
    Down(4, 2);  // slot 3
    Pick(4);
    Yes();
    Answer();
    Cancel(2);
    EXPECT_EQ(Deal(2), 255);
  };
  save_in_slot_3();
  EXPECT_EQ(messages, (Texts{"何番にセーブしますか？", "３番にセーブします。よろしいですか？", "セーブしました"}));
  EXPECT_EQ(SaveList(2).name, "town1");
  EXPECT_FALSE(picWindow(4).visible);

  // The save folder turned into a file.
  std::filesystem::remove_all(GamePath("save"));
  std::ofstream(GamePath("save")) << "a file where the save folder should be";
  MapName = "field";
  save_in_slot_3();
  EXPECT_EQ(messages,
            (Texts{"何番にセーブしますか？", "３番にセーブします。よろしいですか？", "セーブに失敗しました。"}));
  EXPECT_EQ(SaveList(2).name, "town1");
  std::ifstream log(ErrorLogPath());
  const std::string text((std::istreambuf_iterator<char>(log)), {});
  EXPECT_NE(text.find("Save Error: "), std::string::npos);
}

TEST_F(MenuTest, LoadingClosesTheWholeMenuTree) {
  UseScratchFolder();
  std::filesystem::create_directories(GamePath("save"));
  std::filesystem::create_directories(GamePath("map"));
  std::filesystem::copy_file(std::string(ARDO_GAME_DIR) + "/map/test.map", GamePath("map/test.map"));
  std::filesystem::create_directories(GamePath("data"));
  std::ofstream(GamePath("data/chara.dat")) << "header\n";  // nobody on the map
  MapName = "test";
  MapLoad(MapName);
  Init_PlayerStatus();
  Player.x = 5;
  Player.y = 6;
  Player.gold = 777;
  ASSERT_EQ(Save(2), 0);
  Player.x = 1;
  Player.gold = 1;

  WinDraw(6);
  Down(1, 3);  // "システム"
  Pick(1);
  Down(2);  // "ロード"
  Pick(2);
  Down(4);  // slot 2
  Pick(4);
  Yes();
  Answer();
  EXPECT_EQ(Deal(1), 0);
  EXPECT_EQ(messages, (Texts{"何番をロードしますか？", "２番をロードします。よろしいですか？", "ロードしました"}));
  EXPECT_EQ(Player.x, 5);
  EXPECT_EQ(Player.gold, 777);
  for (int n = 0; n <= 17; ++n) EXPECT_FALSE(picWindow(n).visible) << n;
}

TEST_F(MenuTest, BuyingWithExactlyEnoughGoldAndWithAFullInventory) {
  Windows(15).Count = 1;
  Windows(15).Item(0) = ItemTable(3).Name;  // 特上薬草, 120 gold
  ShopStock(0) = 3;
  for (int i = 0; i < 15; ++i) Player.items(i) = i < 14 ? 1 : 0;

  Player.gold = 120;
  Pick(15);
  Yes();
  Answer();
  Cancel(15);
  EXPECT_EQ(Deal(15), 255);
  EXPECT_EQ(Player.gold, 0);
  EXPECT_EQ(Player.items(14), 3);
  EXPECT_EQ(messages, (Texts{"よろしいですか？", "買った！", "ほかに何か買われますか？"}));
  EXPECT_TRUE(picWindow(14).visible);  // the money panel

  // Now the inventory is full: the gold stays.
  Player.gold = 500;
  messages.clear();
  Pick(15);
  Yes();
  Answer();
  Cancel(15);
  EXPECT_EQ(Deal(15), 255);
  EXPECT_EQ(Player.gold, 500);
  EXPECT_EQ(messages, (Texts{"よろしいですか？", "持ち物が一杯です。", "ほかに何か買われますか？"}));

  // Too little gold, and thinking better of it.
  Player.gold = 119;
  Player.items(14) = 0;
  messages.clear();
  Pick(15);
  Answer();
  Cancel(15);
  EXPECT_EQ(Deal(15), 255);
  Player.gold = 120;
  Pick(15);
  No();
  Answer();
  Cancel(15);
  EXPECT_EQ(Deal(15), 255);
  EXPECT_EQ(Player.gold, 120);
  EXPECT_EQ(Player.items(14), 0);
  EXPECT_EQ(messages, (Texts{"お金が足りません何を買いますか？", "よろしいですか？", "やめた・・・"}));
}

TEST_F(MenuTest, SpeedSettingsSetOneFlagOfThreeAndTheDelay) {
  Down(10);  // "メッセージ"
  Pick(10);
  Down(11, 2);  // "はやい"
  Pick(11);
  Answer();
  Press(platform::vk::kUp, [] { return Front(10); });  // "歩く速さ"
  Pick(10);
  Pick(11);  // "おそい"
  Answer();
  Cancel(10);
  EXPECT_EQ(Deal(10), 255);
  EXPECT_EQ(messages, (Texts{"現在のメッセージスピードはふつうです", "設定しました", "現在の歩く速さはふつうです",
                             "設定しました"}));
  EXPECT_EQ(MessageWait, 16);
  EXPECT_EQ(WalkWait, 24);
  EXPECT_EQ((std::vector<int>{Flag(2), Flag(3), Flag(4), Flag(5), Flag(6), Flag(7)}),
            (std::vector<int>{0, 0, 1, 1, 0, 0}));
}

TEST_F(MenuTest, SwitchSettings) {
  Down(10, 2);  // "音楽": on -> off
  Pick(10);
  Yes();
  Answer();
  Down(10, 3);  // "ジョイパッド": flag 17 clear means on
  Pick(10);
  Yes();
  Answer();
  Down(10);  // "画面モード"
  Pick(10);
  Yes();
  Answer();
  Up(10, 4);  // "音楽" again, answered "いいえ"
  Pick(10);
  No();
  Cancel(10);
  EXPECT_EQ(Deal(10), 255);
  EXPECT_EQ(messages, (Texts{"現在音楽はＯＮですＯＦＦにしますか？", "ＯＦＦにしました。",
                             "現在ジョイパッドはＯＮですＯＦＦにしますか？", "ＯＦＦにしました。",
                             "現在フルスクリーンはＯＦＦですＯＮにしますか？", "ＯＮにしました。",
                             "現在音楽はＯＦＦですＯＮにしますか？"}));
  EXPECT_EQ(Flag(0), 0);
  EXPECT_EQ(Flag(17), 1);
  EXPECT_TRUE(FullScreen);
  // The music is stopped after each answer about it.
  const auto& log = audio().state().log;
  EXPECT_EQ(std::count(log.begin(), log.end(), "stop"), 2);
  SetWindowed();
}

// What a row does is its action, whatever its label says: every label here moves one
// row down (the last to the top), and each menu still does what its rows did.
TEST_F(MenuTest, RowsActAlikeWhateverTheirLabelsSay) {
  for (int n = 0; n <= win::kLast; ++n) {
    WindowDef& w = Windows(n);
    for (int i = w.Count - 1; i > 0; --i) std::swap(w.Item(i), w.Item(i - 1));
  }
  Down(1, 3);  // "システム"
  Pick(1);
  Down(2, 2);  // "設定"
  Pick(2);
  Down(10, 2);  // "音楽"
  Pick(10);
  Yes();
  Answer();
  Cancel(10);
  Cancel(2);
  Cancel(1);
  EXPECT_EQ(Deal(1), 255);
  EXPECT_EQ(Flag(0), 0);
  Down(9);
  Pick(9);
  EXPECT_EQ(Deal(9), 254);  // "初めから"
  Pick(9);
  EXPECT_EQ(Deal(9), 253);
  Press(platform::vk::kUp, [] { return Front(9); });
  Pick(9);
  EXPECT_EQ(Deal(9), 252);
  Press(platform::vk::kUp, [] { return Front(12); });
  Pick(12);
  EXPECT_EQ(Deal(12), 3);  // "にげる"
  Pick(3);
  EXPECT_EQ(Deal(3), 0);
  Down(3);
  Pick(3);
  EXPECT_EQ(Deal(3), 255);
  // A row without an action of its own.
  Pick(13);
  Answer();
  Cancel(13);
  EXPECT_EQ(Deal(13), 255);
  EXPECT_EQ(messages, (Texts{"現在音楽はＯＮですＯＦＦにしますか？", "ＯＦＦにしました。", "まだ使用できません。がくっ・・・"}));
}

}  // namespace
}  // namespace ardo::testing
