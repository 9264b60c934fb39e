// The debug console: the command interpreter, its output and its command line.
#include "debug/console.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "battle/battle.h"
#include "core/bindings.h"
#include "core/core.h"
#include "events/events.h"
#include "field/field.h"
#include "platform/platform.h"
#include "presentation/presentation.h"
#include "ui/words.h"

namespace ardo {

namespace {

constexpr const char* kSource = "frmDebug.txtCommand_KeyDown";
// The menu bar's one menu; its item is a word of the game's language.
constexpr const char* kMenuTitle = "Debug";
// The command box holds this many characters; a longer line is refused.
constexpr size_t kMaxLineChars = 255;
// Bytes kept in the command line while typing, so a flood of text cannot grow it without end.
constexpr size_t kMaxLineBytes = 4 * kMaxLineChars;

std::string g_output;
std::string g_command;
bool g_shown = false;
bool g_focus = false;
bool g_running = false;
// What the window shows now, so it is drawn again only when that changes.
std::string g_drawn;
bool g_windowed = false;  // shown in a window of its own
bool g_menu_open = false;  // the "Debug" menu dropped down

platform::ConsoleWindow* Window() {
  platform::ConsoleWindow* w = platform::GetPlatform().console_window();
  return w != nullptr && w->IsOpen() ? w : nullptr;
}

std::string Left(const std::string& s, size_t n) { return s.substr(0, Utf8Offset(s, n)); }

// Columns numbered from 1; a field shorter than its length is read as far as the line goes.
std::string Mid(const std::string& s, size_t col, size_t len = std::string::npos) {
  const size_t b = Utf8Offset(s, col - 1);
  if (len == std::string::npos) return s.substr(b);
  return s.substr(b, Utf8Offset(s.substr(b), len));
}

bool StartsWith(const std::string& s, const char* key) { return s.rfind(key, 0) == 0; }

Integer ConvInteger(const std::string& t) { return CInt(ToNumber(t)); }
Long ConvLong(const std::string& t) { return CLng(ToNumber(t)); }
Byte ConvByte(const std::string& t) { return CByte(ToNumber(t)); }

void GiveFocusBack() {
  g_focus = false;
  SetKeyboardTaken(false);
  // The Enter that ran the command is still down: it is not also the game's button.
  IgnoreHeldKeys();
  if (platform::ConsoleWindow* w = Window()) w->GiveFocusToGame();
}

void Backspace() {
  if (!g_command.empty()) g_command.erase(Utf8Offset(g_command, Utf8Length(g_command) - 1));
}

void Redraw() {
  BuffDraw();
  MapDraw(0, 0, 1, 1);
  RefreshScreen();
}

void ListMaps() {
  std::vector<std::string> names;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(GamePath("mapedit"), ec), end; !ec && it != end; it.increment(ec)) {
    const std::filesystem::path& p = it->path();
    if (p.extension() == ".map" && it->is_regular_file(ec)) names.push_back(p.filename().string());
  }
  std::sort(names.begin(), names.end());
  DebugPrint("---------------------------------");
  for (const std::string& n : names) DebugPrint(n);
  DebugPrint("MapFile List---------------------");
}

void ShowFlags(const std::string& c) {
  if (Mid(c, 6, 4) != "flag") return;
  const std::string field = Mid(c, 12, 4);
  const long long n = static_cast<long long>(Val(field));
  if (n < 0 || n + 16 > 2047) Raise(err::kSubscript);
  std::string text = "flag(" + field + "to" + std::to_string(n + 16) + "\r\n";
  for (long long i = n; i <= n + 16; ++i) text += "," + std::to_string(Flag(static_cast<int>(i)));
  DebugPrint(text);
}

void SetCommand(const std::string& c) {
  if (Mid(c, 5, 4) == "flag") {
    const long long index = static_cast<long long>(Val(Mid(c, 10, 3)));
    const double value = Val(Mid(c, 13));
    if (index < 0 || index > 2047) Raise(err::kSubscript);
    if (value != 0 && value != 1) Raise(err::kInvalidCall);
    SetFlag(static_cast<int>(index), static_cast<int>(value));
  } else if (Mid(c, 5, 5) == "array") {
    const long long index = static_cast<long long>(Val(Mid(c, 11, 3)));
    const double value = Val(Mid(c, 14));
    Byte& slot = Flags(index);  // an index above 255 faults here, before anything changes
    slot = CByte(Mod(static_cast<long long>(value), 256));
  }
}

// ---------------------------------------------------------------------------
// The commands. A number that does not convert is logged and only its own assignment
// is skipped: the rest of the command (the other field, the redraw, the focus) still
// happens.
const Trap on(kSource);

Integer ValInteger(const std::string& t) { return CInt(Val(t)); }

// A stat command: the field at (column, length) converted into one of the hero's
// numbers, then the focus back to the game.
template <auto Member, auto Convert, size_t Column, size_t Length>
void SetStat(const std::string& c) {
  on([&] { Player.*Member = Convert(Mid(c, Column, Length)); });
  GiveFocusBack();
}

void Move(const std::string& c) {
  on([&] { Player.x = ConvInteger(Mid(c, 6, 3)); });
  on([&] { Player.y = ConvInteger(Mid(c, 10, 3)); });
  on([] { Redraw(); });
  GiveFocusBack();
}

void LoadMap(const std::string& c) {
  on([&] { MapLoad(Mid(c, 5, 10)); });
  on([] { Redraw(); });
  GiveFocusBack();
}

void Encount(const std::string& c) {
  if (Mid(c, 9, 3) == "yes") {
    NoEncount = 0;
  } else if (Mid(c, 9, 2) == "no") {
    NoEncount = 255;
  }
}

void SetExp(const std::string& c) {
  on([&] { Player.exp = ConvLong(Mid(c, 5, 10)); });
  on([] { ExpAdd(0); });
  GiveFocusBack();
}

void Battle(const std::string& c) {
  // Without an enemy there is no battle: a bad number starts none.
  bool chosen = false;
  on([&] {
    const Integer n = ConvInteger(Mid(c, 5, 3));
    const EnemyRecord e = EnemyTable(n);  // above 200 (or below 0) faults before anything changes
    EnemyId = n;
    Enemy = e;
    chosen = true;
  });
  GiveFocusBack();
  if (chosen) BtlMain(true, "fight4");
}

void ListEnemies(const std::string&) {
  DebugPrint("---------------------------------");
  for (int i = EnemyCount; i >= 0; --i) DebugPrint(std::to_string(i) + ": " + EnemyTable(i).name);
  DebugPrint("Enemy List---------------------");
}

struct Command {
  const char* keyword;  // compared with the start of the line, case and all
  void (*run)(const std::string& line);
};

// Tested in this order; the first whose keyword starts the line runs.
constexpr Command kCommands[] = {
    {"move", Move},
    {"map ", LoadMap},
    {"mlist", [](const std::string&) { ListMaps(); }},
    {"back", [](const std::string&) { GiveFocusBack(); }},
    {"show", ShowFlags},
    {"set", SetCommand},
    {"encount", Encount},
    {"lv", SetStat<&PlayerStatus::lv, ConvByte, 4, 3>},
    {"hp", SetStat<&PlayerStatus::hp, ConvInteger, 4, 4>},
    {"mp", SetStat<&PlayerStatus::mp, ConvInteger, 4, 4>},
    {"mhp", SetStat<&PlayerStatus::mhp, ConvInteger, 5, 4>},
    {"mmp", SetStat<&PlayerStatus::mmp, ConvInteger, 5, 4>},
    {"ap", SetStat<&PlayerStatus::ap, ConvInteger, 4, 4>},
    {"dp", SetStat<&PlayerStatus::dp, ConvInteger, 4, 4>},
    {"sp", SetStat<&PlayerStatus::sp, ConvInteger, 4, 4>},
    {"pid", SetStat<&PlayerStatus::pid, ValInteger, 5, 4>},
    {"exp", SetExp},
    {"gold", SetStat<&PlayerStatus::gold, ConvLong, 6, 10>},
    {"btl", Battle},
    {"elist", ListEnemies},
    {"ending", [](const std::string&) { Ending(); }},
    {"staff", [](const std::string&) { StaffRoll(); }},
};

void Interpret(const std::string& c) {
  if (Utf8Length(c) > kMaxLineChars) Raise(err::kInvalidCall);
  for (const Command& command : kCommands) {
    if (StartsWith(c, command.keyword)) {
      command.run(c);
      return;
    }
  }
  DebugPrint("No Much!");
}


// ---------------------------------------------------------------------------
// The window: the "Debug" menu bar, the command box across the top with its caret,
// and the output box below it, newest line on top, all in the game's font.
namespace view {

using platform::Color;
using platform::Rgb;
using platform::Surface;

constexpr Color kFace = Rgb(212, 208, 200);
constexpr Color kShadow = Rgb(128, 128, 128);
constexpr Color kWhite = Rgb(255, 255, 255);
constexpr Color kInk = Rgb(0, 0, 0);
constexpr Color kComposing = Rgb(0, 0, 160);
constexpr int kLine = 17;
constexpr int kBoxLeft = 4;
constexpr int kBoxWidth = platform::kConsoleWidth - 8;
constexpr int kCommandTop = 24;
constexpr int kCommandHeight = 22;
constexpr int kOutputTop = kCommandTop + kCommandHeight + 4;
constexpr int kOutputHeight = platform::kConsoleHeight - kOutputTop - 4;

int TextWidth(std::string_view s) { return platform::TextWidth(s, platform::TextStyle{}); }

// A sunken white box, as the old text boxes were.
void Sunken(Surface* s, int x, int y, int w, int h) {
  s->FillRect(x, y, w, h, kWhite);
  s->FillRect(x, y, w, 1, kShadow);
  s->FillRect(x, y, 1, h, kShadow);
}

// The output split at its line breaks and wrapped to the box's width, character by character.
std::vector<std::string> OutputLines(const std::string& out, int width, size_t most) {
  std::vector<std::string> lines;
  size_t b = 0;
  while (b < out.size() && lines.size() < most) {
    size_t e = out.find("\r\n", b);
    if (e == std::string::npos) e = out.size();
    std::string line;
    int w = 0;
    for (const Utf8Char& c : Utf8Chars(std::string_view(out).substr(b, e - b))) {
      const std::string ch(c.bytes);
      const int cw = TextWidth(ch);
      if (w + cw > width && !line.empty()) {
        lines.push_back(line);
        line.clear();
        w = 0;
      }
      line += ch;
      w += cw;
    }
    lines.push_back(line);
    b = e + 2;
  }
  return lines;
}

// The menu bar's one menu, "Debug", and where its item drops down.
constexpr int kMenuRight = 54;
constexpr int kMenuBar = 20;
constexpr int kItemWidth = 96;
constexpr int kItemHeight = 22;

// The dropped-down menu with its one item, the word Say::kConsoleItem (it does nothing), over the boxes.
void DrawMenu(Surface* s) {
  s->FillRect(2, 1, kMenuRight - 4, kMenuBar - 2, kShadow);
  s->SetForeColor(kWhite);
  s->TextOut(8, 2, kMenuTitle);
  s->FillRect(2, kMenuBar, kItemWidth, kItemHeight, kShadow);
  s->FillRect(2, kMenuBar, kItemWidth - 1, kItemHeight - 1, kWhite);
  s->FillRect(3, kMenuBar + 1, kItemWidth - 3, kItemHeight - 3, kFace);
  s->SetForeColor(kInk);
  s->TextOut(12, kMenuBar + 3, Word(Say::kConsoleItem));
}

void Draw(Surface* s, const std::string& command, const std::string& composing, bool caret) {
  s->FillRect(0, 0, s->width(), s->height(), kFace);
  s->SetForeColor(kInk);
  s->TextOut(8, 2, kMenuTitle);
  s->FillRect(0, kMenuBar, s->width(), 1, kShadow);

  // The command box: the end of a long line stays in sight.
  Surface box(kBoxWidth - 2, kCommandHeight - 2, kWhite);
  box.SetForeColor(kInk);
  const int typed_w = TextWidth(command);
  const int composing_w = TextWidth(composing);
  const int x0 = std::min(3, box.width() - 4 - typed_w - composing_w);
  box.TextOut(x0, 2, command);
  if (!composing.empty()) {
    box.SetForeColor(kComposing);
    box.TextOut(x0 + typed_w, 2, composing);
    box.FillRect(x0 + typed_w, 18, composing_w, 1, kComposing);
  }
  if (caret) box.FillRect(x0 + typed_w + composing_w, 2, 1, 16, kInk);
  Sunken(s, kBoxLeft, kCommandTop, kBoxWidth, kCommandHeight);
  s->BitBlt(kBoxLeft + 1, kCommandTop + 1, box.width(), box.height(), &box, 0, 0, platform::Rop::kSrcCopy);

  // The output box.
  Surface out(kBoxWidth - 2, kOutputHeight - 2, kWhite);
  out.SetForeColor(kInk);
  int y = 2;
  for (const std::string& line : OutputLines(g_output, out.width() - 6, out.height() / kLine + 1)) {
    out.TextOut(3, y, line);
    y += kLine;
  }
  Sunken(s, kBoxLeft, kOutputTop, kBoxWidth, kOutputHeight);
  s->BitBlt(kBoxLeft + 1, kOutputTop + 1, out.width(), out.height(), &out, 0, 0, platform::Rop::kSrcCopy);
  if (g_menu_open) DrawMenu(s);
}

bool OnMenuTitle(int x, int y) { return x >= 0 && x < kMenuRight && y >= 0 && y < kMenuBar; }

}  // namespace view

// Draws the window again when what it shows has changed (the caret blinks twice a second).
void Show(platform::ConsoleWindow* w) {
  int cx = 0;
  int cy = 0;
  while (w->TakeClick(&cx, &cy)) DebugConsoleClick(cx, cy);
  const bool caret = w->HasFocus() && platform::GetPlatform().TimeGetTime() / 500 % 2 == 0;
  std::string now = g_command;
  now += '\0';
  now += w->Composition();
  now += '\0';
  now += caret ? '1' : '0';
  now += g_menu_open ? '1' : '0';
  now += g_output;
  if (now == g_drawn) return;
  g_drawn = std::move(now);
  platform::Surface s(platform::kConsoleWidth, platform::kConsoleHeight);
  view::Draw(&s, g_command, w->Composition(), caret);
  w->Present(s);
}

}  // namespace

void DebugPrint
(const std::string& line) { g_output = line + "\r\n" + Left(g_output, 142); }

void Debugging(int mode) {
  if (mode != 0) return;
  g_output = "Position : " + std::to_string(Player.x) + "," + std::to_string(Player.y) + "\r\n" + Left(g_output, 512);
}

void ShowDebugWindow() {
  g_shown = true;
  g_focus = true;
  platform::ConsoleWindow* w = platform::GetPlatform().console_window();
  g_windowed = w != nullptr && w->Open();
  // Typed into the game window, the keys are the command line's, not the game's.
  SetKeyboardTaken(!g_windowed);
  if (g_windowed) {
    g_drawn.clear();
    Show(w);
  }
}

void RunDebugCommand(const std::string& line) {
  // A command that runs a loop of its own (a battle, the ending) passes event points;
  // what is typed meanwhile waits for it.
  // The game may end inside such a loop: the console is left ready all the same.
  struct Running {
    Running() { g_running = true; }
    ~Running() {
      g_running = false;
      g_command.clear();
    }
  } running;
  on([&] { Interpret(line); });
}

void PumpDebugConsole() {
  if (g_running) return;
  const std::string typed = platform::GetPlatform().TakeTypedText();
  // With a window of its own, the platform hands over only what was typed into it.
  platform::ConsoleWindow* w = Window();
  if (w != nullptr) {
    g_shown = true;
    g_focus = w->HasFocus();
  } else if (g_windowed) {
    g_shown = g_focus = g_windowed = false;  // the player closed it
    SetKeyboardTaken(false);
    return;
  }
  if (!g_focus && w == nullptr) return;
  for (char ch : typed) {
    if (ch == '\r' || ch == '\n') {
      const std::string line = g_command;
      RunDebugCommand(line);
      if (!g_focus && w == nullptr) return;  // the rest was typed into the game window
    } else if (ch == '\b') {
      Backspace();
    } else if (g_command.size() < kMaxLineBytes) {
      g_command += ch;
    }
  }
  if (w != nullptr) Show(w);
}

bool DebugConsoleKey(int key) {
  // A window of its own takes its keys itself: the game window's keys are the game's.
  if (!g_focus || g_running || Window() != nullptr) return false;
  if (key == 13 || key == 108) {
    PumpDebugConsole();
    const std::string line = g_command;
    RunDebugCommand(line);
    return true;
  }
  if (key == 8) {
    PumpDebugConsole();
    Backspace();
    return true;
  }
  return false;
}

void DebugConsoleClick(int x, int y) { g_menu_open = !g_menu_open && view::OnMenuTitle(x, y); }

std::vector<std::string> DebugMenuRows() { return {kMenuTitle, Word(Say::kConsoleItem)}; }

void DrawDebugConsole(platform::Surface* s) {
  *s = platform::Surface(platform::kConsoleWidth, platform::kConsoleHeight);
  view::Draw(s, g_command, "", false);
}

bool DebugWindowShown() { return g_shown; }
bool DebugConsoleFocused() { return g_focus; }
const std::string& DebugCommandLine() { return g_command; }
const std::string& DebugOutput() { return g_output; }

void ResetDebugConsole() {
  g_output.clear();
  g_command.clear();
  g_shown = false;
  g_focus = false;
  g_running = false;
  g_drawn.clear();
  g_windowed = false;
  g_menu_open = false;
  SetKeyboardTaken(false);
}

}  // namespace ardo
