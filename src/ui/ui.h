// Messages and windows: the message window with its markup, the window table with
// drawing and hiding, the selection loop and every menu's actions.
#pragma once

#include <functional>
#include <string>
#include <variant>

#include "core/core.h"
#include "platform/surface.h"
#include "ui/words.h"

namespace ardo {

// The window table's rows by their numbers.
namespace win {
enum Id : int {
  kMessage = 0,
  kFieldMenu = 1,
  kSystem = 2,
  kYesNo = 3,
  kSaveSlots = 4,
  kStatus = 5,
  kSmallStatus = 6,  // LV, H and M
  kItems = 7,
  kFieldSpells = 8,
  kTitleMenu = 9,
  kSettings = 10,
  kSpeeds = 11,  // slow, normal, fast
  kBattleCommands = 12,
  kBattleSpells = 13,
  kPanel = 14,  // the one-line panel of BtlText
  kShop = 15,
  kHealStrength = 16,
  kTravel = 17,
  kLast = kTravel,
};
}  // namespace win

// What picking a menu row does. The row's label is only shown; the menus and the
// battle decide by this.
enum class MenuAction : std::uint8_t {
  kNone,  // nothing: the menus and the battle say it cannot be used yet
  // The field menu and the battle's commands.
  kItems,
  kMagic,
  kStatus,
  kSystem,
  kQuit,
  kFight,  // leaves with the row
  kRun,    // leaves with the row
  // The system menu and its settings.
  kSave,
  kLoad,
  kSettings,
  kWalkSpeed,
  kMessageSpeed,
  kMusic,
  kSoundEffects,
  kAutoTalk,
  kJoypad,
  kScreenMode,
  kSpeed,  // one of the three speeds: leaves with the row + 1
  // Questions and lists.
  kYes,
  kNo,
  kSlot,      // a save slot: leaves with the row + 1
  kItemSlot,  // an inventory slot
  kTrash,
  kBuy,       // the shop's goods
  kHealStrength,
  kTravelTo,  // a destination of the travel spell
  // The spells, in the field and in the battle.
  kHeal,
  kSpellNotHere,     // a battle spell: not now
  kSpellNotLearned,  // not learned yet
  kEscape,
  kTravel,
  kCastSpell,  // the battle's spell list
  // The title menu.
  kContinue,
  kNewGame,
  kEndGame,
};

// What the title menu (window 9) returns for its rows.
constexpr Byte kTitleEndGame = 252;
constexpr Byte kTitleContinue = 253;
constexpr Byte kTitleNewGame = 254;

struct WindowDef {
  Integer X = 0;
  Integer Y = 0;
  Integer W = 0;
  Integer H = 0;
  Integer Count = 0;
  VbArray<std::string, 0, 15> Item;   // the labels
  VbArray<MenuAction, 0, 15> Action;  // what each row does
};

extern VbArray<WindowDef, 0, 20> Windows;
extern VbArray<platform::Surface, 0, win::kLast> picWindow;
extern platform::Surface picMes_Buff;

// Text colours of the windows.
constexpr platform::Color kSilver = platform::Rgb(192, 192, 192);
constexpr platform::Color kRed = platform::Rgb(255, 0, 0);
constexpr platform::Color kNavy = platform::Rgb(0, 0, 128);

// Types text into the message window at MessageWait per character: "／" breaks the
// line, "￥" breaks it and waits for button 1 or 2 under a blinking "▽"; the sixth
// line scrolls. In English the text is laid out by WrapMessage and typed half-width. Returns when all is shown; the window stays up (WinHide 0 closes it).
void Message(const std::string& text);
// The message window holds 15 characters a line and shows 5 lines.
constexpr int kMessageLineChars = 15;
constexpr int kMessageLines = 5;
// English is written in half-width letters, two to a full-width cell.
constexpr int kMessageLineLetters = 2 * kMessageLineChars;
// One line of an English message as the window lays it out.
struct MessageLine {
  enum class End {
    kWrap,   // the next word did not fit: the window went on to a new line by itself
    kBreak,  // "／"
    kWait,   // "￥": a new line, then the window waits under the prompt
    kEnd,    // the text ended here
  };
  std::size_t start = 0;  // byte offset in the text of its first letter
  std::string text;       // the letters drawn, without markup
  End end = End::kEnd;
  bool cut = false;  // a word longer than a whole line was cut here
};
// Lays out English for the message window: lines of at most `width` letters, wrapped
// at spaces (a run of spaces is one space, and none starts or ends a line), never
// inside a word unless the word alone is longer than a line. "／" starts a new line,
// "￥" ends the page. Every line but a last kEnd one is followed by a new line. The
// window and the build's text check both lay out through this.
std::vector<MessageLine> WrapMessage(std::string_view text, int width = kMessageLineLetters);
// Draws s full-width at (x, y) on dc; red on every window while HP < max HP / 5.
void TextPut(const std::string& s, platform::Surface& dc, int x, int y);
// The same, with the text as it stands (English: half-width letters).
void TextPutHalfWidth(const std::string& s, platform::Surface& dc, int x, int y);
// The text of the message now in window 0, markup removed: every character drawn
// so far by the latest Message, concatenated ("／" and "￥" leave nothing, so a
// search may run across line breaks; in English a line the window wrapped by itself
// keeps the space it broke at). It stays while the window is hidden, as the
// window's picture does, and starts afresh with the next Message.
const std::string& MessageShown();
// True while Message waits at a "￥" for a button (for tests and the harness).
bool MessageWaiting();

void WinSet();
void WinDraw(int n);
// The small status window (LV/H/M), when it is on screen and the hero's numbers changed
// since it was drawn, shows the new ones in its place. True when it was drawn again.
bool KeepStatusCurrent();
void WinHide(int n);
// Brings window n to the front of the other windows.
void WinToFront(int n);

// Runs window n as a menu and acts on the picked row; 255 when cancelled (the
// window stays on screen, only the message window is hidden). When the field menu
// (1) returns, every window its menus opened is put away.
Byte WinDeal(int n);
// The menu that waits for the player now (the innermost selection loop, the field's
// or the battle's) and its cursor row; window -1 when no menu is waiting.
struct MenuFocus {
  int window = -1;
  int row = 0;
};
MenuFocus ActiveMenu();

// The selection loop of a window, shared by the menus (WinDeal) and the battle
// (btldeal): the window is drawn and brought to the front with the cursor "⇒" at row
// 0; up and down move the cursor (wrapping at both ends, "movc"); button 2 picks a row
// ("pi", KeyWait) and button 1 cancels, and the owner's hooks say what follows. Each
// pass ends with KeyWait and a frame's Wait.
enum class Pick {
  kStay,    // go on selecting (after a pick the window comes to the front again)
  kLeave,   // erase the cursor, hide the window if the rules say so, hide the message
            // window, KeyWait, and return the result
  kReturn,  // return the result at once
};
class Selection;
struct SelectionRules {
  std::function<Pick(Selection&)> pick;
  std::function<Pick(Selection&)> cancel;
  // True when moving away must leave the cursor at the row drawn (the item window's mark).
  std::function<bool(const Selection&)> keeps_cursor;
  // Leaving hides the window itself (the battle leaves its windows up).
  bool hide_on_leave = true;
  // The battle moves on a press in either direction, even up and down at once, and
  // wraps the sum without adding the row count first: two rows up from row 0 land on
  // the last row, where the menus land on the one above it.
  bool battle_moves = false;
};
class Selection {
 public:
  int window() const { return window_; }
  int row() const { return row_; }
  // Puts the cursor row at `row` (the drawing is the caller's).
  void MoveTo(int row);
  Byte result = 0;

 private:
  friend Byte RunSelection(int window, const Trap& on, const SelectionRules& rules);
  explicit Selection(int window) : window_(window) {}
  int window_;
  int row_ = 0;
};
// Runs window n's selection loop; each statement's fault is logged under `on`.
Byte RunSelection(int window, const Trap& on, const SelectionRules& rules);

// What the save slots are opened for: a save may pick an empty slot, a load may not.
enum class SlotPurpose { kSave, kLoad };
// Shared with the battle: the slots' purpose before the save slots, a window's result after.
using MenuValue = std::variant<long long, SlotPurpose>;
extern MenuValue MenuChoice;

// ASCII letters, digits and symbols and half-width katakana to their full-width forms.
std::string ToFullWidth(const std::string& s);

// Back to the start-up state: window definitions and surfaces, the message, the menu choice.
void ResetUiState();
void ResetMessageState();
// A number as the windows show it: a leading space (or minus), then full-width.
std::string F(long long v);
// Last k characters (UTF-8 aware).
std::string RightChars(const std::string& s, size_t k);
size_t CharLength(const std::string& s);

}  // namespace ardo
