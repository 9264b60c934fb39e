// The game's own words, read once per language from the texts built into the program.
#include "ui/words.h"

#include <map>
#include <memory>

#include "events/events.h"
#include "ui/ui.h"

namespace ardo {

// Written by the build from assets/words/ (see words_text.cmake).
extern const char* const kWordsJapanese;
extern const char* const kWordsEnglish;
extern const char* const kNamesEnglish;

namespace {

using U = WordUse;

// The room a window row gives an English label, in half-width letters of 8 pixels: the
// window's width less the cursor's column and the frame (or up to the value beside it).
constexpr int kMenu = 9, kSystem = 8, kYesNo = 7, kStat = 9, kStatShort = 6, kSmall = 4, kItemRow = 21, kSlotTitle = 20,
              kSettings = 14, kSpeeds = 11, kCommand = 9, kTitle = 11, kStrength = 9;

const std::vector<WordNeed> kNeeds = {
    {Say::kQuitAsk, "quit_ask", U::kOpen},
    {Say::kQuitBye, "quit_bye", U::kPage},
    {Say::kSaveAsk, "save_ask", U::kOpen},
    {Say::kSaveConfirm, "save_confirm", U::kOpen, 2},
    {Say::kSaved, "saved", U::kPage},
    {Say::kSaveFailed, "save_failed", U::kPage},
    {Say::kLoadAsk, "load_ask", U::kOpen},
    {Say::kLoadConfirm, "load_confirm", U::kOpen, 2},
    {Say::kLoaded, "loaded", U::kPage},
    {Say::kLoadFailed, "load_failed", U::kAny},
    {Say::kNoData, "no_data", U::kPage},
    {Say::kTitleLoading, "title_loading", U::kPage, 2},
    {Say::kSlow, "slow", U::kLabel, kSpeeds},
    {Say::kNormal, "normal", U::kLabel, kSpeeds},
    {Say::kFast, "fast", U::kLabel, kSpeeds},
    {Say::kWalkSpeedNow, "walk_speed_now", U::kOpen, 8},
    {Say::kMessageSpeedNow, "message_speed_now", U::kOpen, 8},
    {Say::kSettingDone, "setting_done", U::kPage},
    {Say::kMusicNow, "music_now", U::kOpen, 6},
    {Say::kSoundNow, "sound_now", U::kOpen, 6},
    {Say::kAutoTalkNow, "auto_talk_now", U::kOpen, 6},
    {Say::kJoypadNow, "joypad_now", U::kOpen, 6},
    {Say::kFullScreenNow, "full_screen_now", U::kOpen, 6},
    {Say::kOn, "on", U::kLabel, 6},
    {Say::kOff, "off", U::kLabel, 6},
    {Say::kSwitched, "switched", U::kPage, 6},
    {Say::kMpShort, "mp_short", U::kPage},
    {Say::kMpShortDot, "mp_short_dot", U::kPage},
    {Say::kNotNow, "not_now", U::kPage},
    {Say::kNotNowKanji, "not_now_kanji", U::kPage},
    {Say::kNotNowDot, "not_now_dot", U::kPage},
    {Say::kNotNowPlain, "not_now_plain", U::kPage},
    {Say::kNoMagicYet, "no_magic_yet", U::kPage},
    {Say::kNotUsableYet, "not_usable_yet", U::kPage},
    {Say::kUnusable, "unusable", U::kPage},
    {Say::kEscapeAsk, "escape_ask", U::kOpen},
    {Say::kNoEffectDot, "no_effect_dot", U::kPage},
    {Say::kBuyNoMoney, "buy_no_money", U::kOpen},
    {Say::kBuyConfirm, "buy_confirm", U::kOpen},
    {Say::kBuyCancel, "buy_cancel", U::kPage},
    {Say::kGoldPanel, "gold_panel", U::kPanel, 16},
    {Say::kBought, "bought", U::kPage},
    {Say::kBagFullShop, "bag_full_shop", U::kPage},
    {Say::kBuyMore, "buy_more", U::kOpen},
    {Say::kMenuItems, "menu_items", U::kLabel, kMenu},
    {Say::kMenuMagic, "menu_magic", U::kLabel, kMenu},
    {Say::kMenuStatus, "menu_status", U::kLabel, kMenu},
    {Say::kMenuSystem, "menu_system", U::kLabel, kMenu},
    {Say::kMenuQuit, "menu_quit", U::kLabel, kMenu},
    {Say::kMenuSave, "menu_save", U::kLabel, kSystem},
    {Say::kMenuLoad, "menu_load", U::kLabel, kSystem},
    {Say::kMenuSettings, "menu_settings", U::kLabel, kSystem},
    {Say::kYes, "yes", U::kLabel, kYesNo},
    {Say::kNo, "no", U::kLabel, kYesNo},
    {Say::kStatLevel, "stat_level", U::kLabel, kStat},
    {Say::kStatHp, "stat_hp", U::kLabel, kStatShort},
    {Say::kStatMp, "stat_mp", U::kLabel, kStatShort},
    {Say::kStatPower, "stat_power", U::kLabel, kStat},
    {Say::kStatDefense, "stat_defense", U::kLabel, kStat},
    {Say::kStatSpeed, "stat_speed", U::kLabel, kStat},
    {Say::kStatExp, "stat_exp", U::kLabel, kStatShort},
    {Say::kStatGold, "stat_gold", U::kLabel, kStatShort},
    {Say::kSmallLevel, "small_level", U::kLabel, kSmall},
    {Say::kSmallHp, "small_hp", U::kLabel, kSmall},
    {Say::kSmallMp, "small_mp", U::kLabel, kSmall},
    {Say::kTrash, "trash", U::kLabel, kItemRow},
    {Say::kDitto, "ditto", U::kLabel, kItemRow},
    {Say::kEmptySlot, "empty_slot", U::kLabel, kSlotTitle},
    {Say::kSlotLevel, "slot_level", U::kLabel, 14},
    {Say::kContinue, "continue", U::kLabel, kTitle},
    {Say::kNewGame, "new_game", U::kLabel, kTitle},
    {Say::kEndGame, "end_game", U::kLabel, kTitle},
    {Say::kSetWalk, "set_walk", U::kLabel, kSettings},
    {Say::kSetMessage, "set_message", U::kLabel, kSettings},
    {Say::kSetMusic, "set_music", U::kLabel, kSettings},
    {Say::kSetSound, "set_sound", U::kLabel, kSettings},
    {Say::kSetAutoTalk, "set_auto_talk", U::kLabel, kSettings},
    {Say::kSetJoypad, "set_joypad", U::kLabel, kSettings},
    {Say::kSetScreen, "set_screen", U::kLabel, kSettings},
    {Say::kFight, "fight", U::kLabel, kCommand},
    {Say::kRun, "run", U::kLabel, kCommand},
    {Say::kHealGentle, "heal_gentle", U::kLabel, kStrength},
    {Say::kHealNormal, "heal_normal", U::kLabel, kStrength},
    {Say::kHealHustle, "heal_hustle", U::kLabel, kStrength},
    {Say::kHealAllOut, "heal_all_out", U::kLabel, kStrength},
    {Say::kRanAway, "ran_away", U::kPanel},
    {Say::kCannotRun, "cannot_run", U::kPanel},
    {Say::kDefeated, "defeated", U::kPage, 20},
    {Say::kReward, "reward", U::kPage, 5},
    {Say::kDied, "died", U::kPage},
    {Say::kAsleep, "asleep", U::kPanel},
    {Say::kWoke, "woke", U::kPanel},
    {Say::kEnemyWoke, "enemy_woke", U::kPanel},
    {Say::kEnemyAsleep, "enemy_asleep", U::kPanel},
    {Say::kNoEffect, "no_effect", U::kPanel},
    {Say::kFellAsleep, "fell_asleep", U::kPanel},
    {Say::kEnemySlept, "enemy_slept", U::kPanel},
    {Say::kNoEffectDots, "no_effect_dots", U::kPanel},
    {Say::kPanelNotNow, "panel_not_now", U::kPanel},
    {Say::kPanelUnusable, "panel_unusable", U::kPanel},
    {Say::kPanelDamaged, "panel_damaged", U::kPanel},
    {Say::kPanelMpDamaged, "panel_mp_damaged", U::kPanel},
    {Say::kPanelMpHealed, "panel_mp_healed", U::kPanel},
    {Say::kPanelNoEffect, "panel_no_effect", U::kPanel},
    {Say::kGrewMaxHp, "grew_max_hp", U::kPage, 4},
    {Say::kGrewMaxMp, "grew_max_mp", U::kPage, 4},
    {Say::kGrewPower, "grew_power", U::kPage, 4},
    {Say::kGrewDefense, "grew_defense", U::kPage, 4},
    {Say::kGrewSpeed, "grew_speed", U::kPage, 4},
    {Say::kDropAsk, "drop_ask", U::kOpen, 18},
    {Say::kDropped, "dropped", U::kPage},
    {Say::kHpHealed, "hp_healed", U::kPage},
    {Say::kDamaged, "damaged", U::kPage},
    {Say::kMpHealed, "mp_healed", U::kPage},
    {Say::kMpDamaged, "mp_damaged", U::kPage},
    {Say::kNoEffectPage, "no_effect_page", U::kPage},
    {Say::kLevelUp, "level_up", U::kPage},
    {Say::kAboutWallet, "about_wallet", U::kPage},
    {Say::kAboutDrill, "about_drill", U::kPage, 0, true},
    {Say::kAboutSword, "about_sword", U::kPage},
    {Say::kAboutRobe, "about_robe", U::kPage},
    {Say::kAboutHat, "about_hat", U::kPage},
    {Say::kAboutRing, "about_ring", U::kPage},
    {Say::kAboutBoard, "about_board", U::kPage},
    {Say::kRestAsk, "rest_ask", U::kOpen},
    {Say::kRested, "rested", U::kPage},
    {Say::kSpringAsk, "spring_ask", U::kOpen},
    {Say::kTreeAttack, "tree_attack", U::kPage},
    {Say::kBridgeEnd, "bridge_end", U::kPage, 0, true},
    {Say::kSignWorldsEnd, "sign_worlds_end", U::kPage},
    {Say::kSignForest, "sign_forest", U::kPage},
    {Say::kSignCrossroads, "sign_crossroads", U::kPage},
    {Say::kSignFlowers, "sign_flowers", U::kPage},
    {Say::kSignBridge, "sign_bridge", U::kPage},
    {Say::kSignGrotto, "sign_grotto", U::kPage},
    {Say::kSignLowdale, "sign_lowdale", U::kPage},
    {Say::kSignRoad, "sign_road", U::kPage},
    {Say::kTown1Gate, "town1_gate", U::kPage},
    {Say::kShop1, "shop1", U::kAny},
    {Say::kInn2, "inn2", U::kAny},
    {Say::kShop2, "shop2", U::kAny},
    {Say::kInn3, "inn3", U::kAny},
    {Say::kShop3, "shop3", U::kAny},
    {Say::kShopMedicine, "shop_medicine", U::kAny},
    {Say::kInnGhost, "inn_ghost", U::kAny},
    {Say::kBombShop, "bomb_shop", U::kAny},
    {Say::kShopThanks, "shop_thanks", U::kPage},
    {Say::kInnPrice, "inn_price", U::kOpen, 4},
    {Say::kInnDeclined, "inn_declined", U::kPage},
    {Say::kInnNoMoney, "inn_no_money", U::kPage},
    {Say::kInnSleep, "inn_sleep", U::kPage},
    {Say::kInnMorning, "inn_morning", U::kPage},
    {Say::kNothingMore, "nothing_more", U::kPage},
    {Say::kFoundGold, "found_gold", U::kPage, 5},
    {Say::kFound, "found", U::kPage, 18},
    {Say::kBagFull, "bag_full", U::kPage},
    {Say::kOpeningMonologue, "opening_monologue", U::kPage},
    {Say::kHerbNarration, "herb_narration", U::kPage},
    {Say::kTreeInscription, "tree_inscription", U::kPage},
    {Say::kClosingLine, "closing_line", U::kFree},
    {Say::kPushButton, "push_button", U::kFree},
    {Say::kStudio, "studio", U::kLabel, 10},
    {Say::kStaffThanks, "staff_thanks", U::kFree},
    {Say::kGameTitle, "game_title", U::kFree},
    {Say::kGameCaption, "game_caption", U::kFree},
    {Say::kSubtitle, "subtitle", U::kFree},
    {Say::kConsoleItem, "console_item", U::kLabel, 10},
    {Say::kBoxQuit, "box_quit", U::kFree},
    {Say::kBoxCancel, "box_cancel", U::kFree},
    {Say::kBoxNoFile, "box_no_file", U::kFree},
    {Say::kBoxLevels, "box_levels", U::kFree},
    {Say::kBoxLevelRows, "box_level_rows", U::kFree},
    {Say::kBoxLevelMore, "box_level_more", U::kFree},
};

constexpr size_t kCount = static_cast<size_t>(Say::kCount);

struct Book {
  std::vector<std::string> words;  // by Say
  std::map<std::string, std::string> names;
};

std::unique_ptr<Book> Read(Language language) {
  auto out = std::make_unique<Book>();
  const bool english = language == Language::kEnglish;
  const TalkTextFile file = ParseTalkText(english ? kWordsEnglish : kWordsJapanese, language);
  out->words.resize(kCount);
  for (const WordNeed& n : kNeeds) {
    // A word the file lacks (textc stops such a build) shows its key rather than nothing.
    const TalkTextEntry* e = file.Find(n.key);
    out->words[static_cast<size_t>(n.id)] = e != nullptr ? e->text : std::string(n.key);
  }
  if (english) {
    std::vector<std::pair<int, std::string>> faults;
    for (auto& [ja, en] : ParseNames(kNamesEnglish, &faults)) out->names.emplace(std::move(ja), std::move(en));
  }
  return out;
}

const Book& Current() {
  static std::unique_ptr<Book> japanese;
  static std::unique_ptr<Book> english;
  std::unique_ptr<Book>& l = GameLanguage() == Language::kEnglish ? english : japanese;
  if (!l) l = Read(GameLanguage());
  return *l;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

}  // namespace

const std::vector<WordNeed>& WordNeeds() {
  static const bool in_order = [] {
    for (size_t i = 0; i < kNeeds.size(); ++i) {
      if (static_cast<size_t>(kNeeds[i].id) != i) return false;
    }
    return kNeeds.size() == kCount;
  }();
  if (!in_order) Raise(err::kInvalidCall);
  return kNeeds;
}

const std::string& Word(Say id) {
  const size_t i = static_cast<size_t>(id);
  if (i >= kCount) Raise(err::kSubscript);
  return Current().words[i];
}

std::string Word(Say id, std::initializer_list<std::string> args) {
  std::string text = Word(id);
  size_t number = 1;
  for (const std::string& arg : args) {
    const std::string mark = "{" + std::to_string(number++) + "}";
    for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + arg.size())) {
      text.replace(at, mark.size(), arg);
    }
  }
  return text;
}

const std::string& Named(const std::string& japanese) {
  if (GameLanguage() != Language::kEnglish) return japanese;
  const auto& names = Current().names;
  const auto it = names.find(japanese);
  return it != names.end() ? it->second : japanese;
}

std::string WordStem(Say id) {
  std::string text;
  for (const Utf8Char& c : Utf8Chars(Word(id))) {
    if (c.bytes != "￥" && c.bytes != "／") text += c.bytes;
  }
  for (const std::string_view dot : {"・", "."}) {
    while (text.ends_with(dot)) text.resize(text.size() - dot.size());
  }
  return text;
}

std::string NumberText(long long value, const std::string& japanese) {
  return GameLanguage() == Language::kEnglish ? std::to_string(value) : japanese;
}

const std::vector<WordSource>& WordSources() {
  static const std::vector<WordSource> sources = {
      {"words.txt", kWordsJapanese}, {"en/words.txt", kWordsEnglish}, {"en/names.txt", kNamesEnglish}};
  return sources;
}

std::vector<std::pair<std::string, std::string>> ParseNames(const std::string& source,
                                                            std::vector<std::pair<int, std::string>>* faults) {
  std::vector<std::pair<std::string, std::string>> out;
  std::string_view rest = source;
  int number = 0;
  while (!rest.empty()) {
    ++number;
    const size_t end = rest.find('\n');
    const std::string_view line = Trim(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (line.empty() || line.front() == '#') continue;
    const size_t eq = line.find('=');
    const std::string_view ja = eq == std::string_view::npos ? std::string_view() : Trim(line.substr(0, eq));
    const std::string_view en = eq == std::string_view::npos ? std::string_view() : Trim(line.substr(eq + 1));
    if (ja.empty() || en.empty()) {
      faults->emplace_back(number, "a name line is: Japanese name = English name");
      continue;
    }
    bool twice = false;
    for (const auto& [j, e] : out) twice = twice || j == ja;
    if (twice) {
      faults->emplace_back(number, std::string(ja) + " is named twice");
      continue;
    }
    out.emplace_back(std::string(ja), std::string(en));
  }
  return out;
}

}  // namespace ardo
