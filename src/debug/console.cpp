// The debug console: the command interpreter, its output and its command line.
#include "debug/console.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "battle/battle.h"
#include "core/core.h"
#include "events/events.h"
#include "field/field.h"
#include "presentation/presentation.h"

namespace ardo {

namespace {

constexpr const char* kSource = "frmDebug.txtCommand_KeyDown";
// The command box holds this many characters; a longer line is refused.
constexpr size_t kMaxLineChars = 255;
// Bytes kept in the command line while typing, so a flood of text cannot grow it without end.
constexpr size_t kMaxLineBytes = 4 * kMaxLineChars;

std::string g_output;
std::string g_command;
bool g_shown = false;
bool g_focus = false;
bool g_running = false;

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Byte offset of character `n` (0-based); a byte that does not continue a sequence
// starts a character, so any byte string has a definite length.
size_t CharOffset(const std::string& s, size_t n) {
  size_t i = 0;
  while (i < s.size() && n > 0) {
    ++i;
    while (i < s.size() && IsContinuation(static_cast<unsigned char>(s[i]))) ++i;
    --n;
  }
  return i;
}

size_t TextLength(const std::string& s) {
  size_t n = 0;
  for (unsigned char c : s) n += IsContinuation(c) ? 0 : 1;
  return n;
}

std::string Left(const std::string& s, size_t n) { return s.substr(0, CharOffset(s, n)); }

// Columns numbered from 1; a field shorter than its length is read as far as the line goes.
std::string Mid(const std::string& s, size_t col, size_t len = std::string::npos) {
  const size_t b = CharOffset(s, col - 1);
  if (len == std::string::npos) return s.substr(b);
  return s.substr(b, CharOffset(s.substr(b), len));
}

bool StartsWith(const std::string& s, const char* key) { return s.rfind(key, 0) == 0; }

Integer ConvInteger(const std::string& t) { return CInt(ToNumber(t)); }
Long ConvLong(const std::string& t) { return CLng(ToNumber(t)); }
Byte ConvByte(const std::string& t) { return CByte(ToNumber(t)); }

void GiveFocusBack() { g_focus = false; }

void Backspace() {
  if (!g_command.empty()) g_command.erase(CharOffset(g_command, TextLength(g_command) - 1));
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

// One command line, tested keyword by keyword in this order.
void Interpret(const std::string& c) {
  if (TextLength(c) > kMaxLineChars) Raise(err::kInvalidCall);
  if (StartsWith(c, "move")) {
    const Integer x = ConvInteger(Mid(c, 6, 3));
    const Integer y = ConvInteger(Mid(c, 10, 3));
    Player.x = x;
    Player.y = y;
    Redraw();
    GiveFocusBack();
  } else if (StartsWith(c, "map ")) {
    MapLoad(Mid(c, 5, 10));
    Redraw();
    GiveFocusBack();
  } else if (StartsWith(c, "mlist")) {
    ListMaps();
  } else if (StartsWith(c, "back")) {
    GiveFocusBack();
  } else if (StartsWith(c, "show")) {
    ShowFlags(c);
  } else if (StartsWith(c, "set")) {
    SetCommand(c);
  } else if (StartsWith(c, "encount")) {
    if (Mid(c, 9, 3) == "yes") {
      NoEncount = 0;
    } else if (Mid(c, 9, 2) == "no") {
      NoEncount = 255;
    }
  } else if (StartsWith(c, "lv")) {
    Player.lv = ConvByte(Mid(c, 4, 3));
    GiveFocusBack();
  } else if (StartsWith(c, "hp")) {
    Player.hp = ConvInteger(Mid(c, 4, 4));
    GiveFocusBack();
  } else if (StartsWith(c, "mp")) {
    Player.mp = ConvInteger(Mid(c, 4, 4));
    GiveFocusBack();
  } else if (StartsWith(c, "mhp")) {
    Player.mhp = ConvInteger(Mid(c, 5, 4));
    GiveFocusBack();
  } else if (StartsWith(c, "mmp")) {
    Player.mmp = ConvInteger(Mid(c, 5, 4));
    GiveFocusBack();
  } else if (StartsWith(c, "ap")) {
    Player.ap = ConvInteger(Mid(c, 4, 4));
    GiveFocusBack();
  } else if (StartsWith(c, "dp")) {
    Player.dp = ConvInteger(Mid(c, 4, 4));
    GiveFocusBack();
  } else if (StartsWith(c, "sp")) {
    Player.sp = ConvInteger(Mid(c, 4, 4));
    GiveFocusBack();
  } else if (StartsWith(c, "pid")) {
    Player.pid = CInt(Val(Mid(c, 5, 4)));
    GiveFocusBack();
  } else if (StartsWith(c, "exp")) {
    Player.exp = ConvLong(Mid(c, 5, 10));
    ExpAdd(0);
    GiveFocusBack();
  } else if (StartsWith(c, "gold")) {
    Player.gold = ConvLong(Mid(c, 6, 10));
    GiveFocusBack();
  } else if (StartsWith(c, "btl")) {
    const Integer n = ConvInteger(Mid(c, 5, 3));
    const EnemyRecord e = EnemyTable(n);  // above 200 (or below 0) faults before anything changes
    EnemyId = n;
    Enemy = e;
    GiveFocusBack();
    BtlMain(true, "fight4");
  } else if (StartsWith(c, "elist")) {
    DebugPrint("---------------------------------");
    for (int i = EnemyCount; i >= 0; --i) DebugPrint(std::to_string(i) + ": " + EnemyTable(i).name);
    DebugPrint("Enemy List---------------------");
  } else if (StartsWith(c, "ending")) {
    Ending();
  } else if (StartsWith(c, "staff")) {
    StaffRoll();
  } else {
    DebugPrint("No Much!");
  }
}

}  // namespace

void DebugPrint(const std::string& line) { g_output = line + "\r\n" + Left(g_output, 142); }

void Debugging(int mode) {
  if (mode != 0) return;
  g_output = "Position : " + std::to_string(Player.x) + "," + std::to_string(Player.y) + "\r\n" + Left(g_output, 512);
}

void ShowDebugWindow() {
  g_shown = true;
  g_focus = true;
}

void RunDebugCommand(const std::string& line) {
  Trap on(kSource);
  // A command that runs a loop of its own (a battle, the ending) passes event points;
  // what is typed meanwhile waits for it.
  g_running = true;
  on([&] { Interpret(line); });
  g_running = false;
  g_command.clear();
}

void PumpDebugConsole() {
  if (g_running) return;
  const std::string typed = platform::GetPlatform().TakeTypedText();
  if (!g_focus) return;
  for (char ch : typed) {
    if (ch == '\r' || ch == '\n') {
      const std::string line = g_command;
      RunDebugCommand(line);
      if (!g_focus) return;  // the rest was typed into the game window
    } else if (ch == '\b') {
      Backspace();
    } else if (g_command.size() < kMaxLineBytes) {
      g_command += ch;
    }
  }
}

bool DebugConsoleKey(int key) {
  if (!g_focus || g_running) return false;
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
}

}  // namespace ardo
