// The game's own words in the language it speaks: menu labels, prompts, system and
// battle messages, shop and inn talk, signposts and the scenes the game tells itself.
// They are written in assets/words/words.txt (Japanese) and assets/words/en/words.txt
// (English), in the conversation texts' format, and built into the program; ardo-textc
// checks both against the table below. English names of the things the data tables
// name in Japanese (items, enemies and their moves, spells, places) come from
// assets/words/en/names.txt.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace ardo {

// Every word the game asks for.
enum class Say : int {
  // System menu, saving and loading.
  kQuitAsk, kQuitBye, kSaveAsk, kSaveConfirm, kSaved, kSaveFailed, kLoadAsk, kLoadConfirm, kLoaded,
  kLoadFailed, kNoData, kTitleLoading,
  // Settings.
  kSlow, kNormal, kFast, kWalkSpeedNow, kMessageSpeedNow, kSettingDone, kMusicNow, kSoundNow, kAutoTalkNow,
  kJoypadNow, kFullScreenNow, kOn, kOff, kSwitched,
  // Refusals.
  kMpShort, kMpShortDot, kNotNow, kNotNowKanji, kNotNowDot, kNotNowPlain, kNoMagicYet, kNotUsableYet, kUnusable,
  // Field spells and shopping.
  kEscapeAsk, kNoEffectDot, kBuyNoMoney, kBuyConfirm, kBuyCancel, kGoldPanel, kBought, kBagFullShop, kBuyMore,
  // Window rows.
  kMenuItems, kMenuMagic, kMenuStatus, kMenuSystem, kMenuQuit, kMenuSave, kMenuLoad, kMenuSettings, kYes, kNo,
  kStatLevel, kStatHp, kStatMp, kStatPower, kStatDefense, kStatSpeed, kStatExp, kStatGold, kSmallLevel, kSmallHp,
  kSmallMp, kTrash, kDitto, kEmptySlot, kSlotLevel, kContinue, kNewGame, kEndGame, kSetWalk, kSetMessage,
  kSetMusic, kSetSound, kSetAutoTalk, kSetJoypad, kSetScreen, kFight, kRun, kHealGentle, kHealNormal,
  kHealHustle, kHealAllOut,
  // Battle.
  kRanAway, kCannotRun, kDefeated, kReward, kDied, kAsleep, kWoke, kEnemyWoke, kEnemyAsleep, kNoEffect,
  kFellAsleep, kEnemySlept, kNoEffectDots, kPanelNotNow, kPanelUnusable, kPanelDamaged, kPanelMpDamaged,
  kPanelMpHealed, kPanelNoEffect,
  // Items and growth.
  kGrewMaxHp, kGrewMaxMp, kGrewPower, kGrewDefense, kGrewSpeed, kDropAsk, kDropped, kHpHealed, kDamaged,
  kMpHealed, kMpDamaged, kNoEffectPage, kLevelUp, kAboutWallet, kAboutDrill, kAboutSword, kAboutRobe, kAboutHat,
  kAboutRing, kAboutBoard,
  // Places, inns, shops and treasure.
  kRestAsk, kRested, kSpringAsk, kTreeAttack, kBridgeEnd, kSignWorldsEnd, kSignForest, kSignCrossroads,
  kSignFlowers, kSignBridge, kSignGrotto, kSignLowdale, kSignRoad, kTown1Gate, kShop1, kInn2, kShop2, kInn3,
  kShop3, kShopMedicine, kInnGhost, kBombShop, kShopThanks, kInnPrice, kInnDeclined, kInnNoMoney, kInnSleep,
  kInnMorning, kNothingMore, kFoundGold, kFound, kBagFull,
  // Scenes.
  kOpeningMonologue, kHerbNarration, kTreeInscription, kClosingLine, kPushButton, kStudio, kStaffThanks,
  // The game's name on its window and message boxes, its subtitle, and the debug console's menu item.
  kGameTitle, kGameCaption, kSubtitle, kConsoleItem,
  // Message boxes.
  kBoxQuit, kBoxCancel, kBoxNoFile, kBoxLevels, kBoxLevelRows, kBoxLevelMore,
  kCount
};

// How a word is shown, for the checks of ardo-textc.
enum class WordUse : unsigned char {
  kPage,   // the message window; ends with a wait
  kOpen,   // the message window, left on screen under a menu
  kAny,    // the message window, either
  kPanel,  // the one-line panel of the battle, the shop and the inn
  kLabel,  // a row of a window, or a word put into one: `cells` half-width cells at most
  kFree,   // a message box, the title screen, the ending's line: not laid out by a window
};

struct WordNeed {
  Say id;
  const char* key;
  WordUse use;
  int cells = 0;  // kLabel: the room in half-width cells; kPage..kPanel: the widest {N} in cells
  // Japanese only: a line runs past the window's fifteen characters, and the window
  // breaks it where it must (an old text kept as players know it).
  bool runs_on = false;
};
// The words in the order of Say.
const std::vector<WordNeed>& WordNeeds();

// The word in the current language. A placeholder {1}, {2}, ... is replaced by the
// argument of that number.
const std::string& Word(Say id);
std::string Word(Say id, std::initializer_list<std::string> args);
// The name the player reads for a name the data tables give in Japanese: itself in
// Japanese, its English name in English (the Japanese one if none is written).
const std::string& Named(const std::string& japanese);
// The word as the message window shows it typed, without its marks and the dots it
// trails off with: what the pilots look for on screen.
std::string WordStem(Say id);
// A number as the messages write it: half-width digits in English, `japanese` (its
// full-width form, as each message has it) in Japanese.
std::string NumberText(long long value, const std::string& japanese);

// The spells as the windows list them (Japanese), for the checks of the English names.
std::vector<std::string> SpellNames();

// The texts the words are read from (for ardo-textc and the tests).
struct WordSource {
  const char* name;  // words.txt, en/words.txt, en/names.txt
  const char* text;
};
const std::vector<WordSource>& WordSources();
// The English names, Japanese name first, in file order; `faults` gets (line, what).
std::vector<std::pair<std::string, std::string>> ParseNames(const std::string& source,
                                                            std::vector<std::pair<int, std::string>>* faults);

}  // namespace ardo
