// Core, the foundation: numbers with the old run-time's semantics, faults and the
// error log, the program-wide game state and flags, the event point and frame pacing,
// keyboard and joypad input, and the data-file reader. Nothing here sees the layers above.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace ardo {

// ---------------------------------------------------------------------------
// Numbers. Integer is 16-bit, Long 32-bit, Byte 8-bit unsigned. Assigning a value
// that does not fit is a run-time fault (6, Overflow); see CInt and friends.
using Integer = std::int16_t;
using Long = std::int32_t;
using Byte = std::uint8_t;

// A run-time fault with the classic error number and description.
struct Fault {
  int number = 0;
  std::string description;

  static Fault Of(int number);  // with the run-time library's description
};

// Standard error numbers.
namespace err {
constexpr int kInvalidCall = 5;
constexpr int kOverflow = 6;
constexpr int kSubscript = 9;
constexpr int kDivisionByZero = 11;
constexpr int kTypeMismatch = 13;
constexpr int kBadFileName = 52;
constexpr int kFileNotFound = 53;
constexpr int kIoError = 57;
constexpr int kInputPastEnd = 62;
constexpr int kPathFileAccess = 75;
constexpr int kPathNotFound = 76;
constexpr int kInvalidPicture = 481;
}  // namespace err

[[noreturn]] void Raise(int number);

// The run-time fault that matches an exception of the standard library: an I/O
// failure is 57, running out of memory 7, an out-of-range conversion 6 and so on;
// the exception's own text follows the description.
Fault FaultOf(const std::exception& e);

// Conversions that fault when the value does not fit. Real values round to the
// nearest integer with halves to even, as the old run-time did.
Integer CInt(double v);
Long CLng(double v);
Byte CByte(double v);
Integer CInt(long long v);
Long CLng(long long v);
Byte CByte(long long v);
inline Integer CInt(int v) { return CInt(static_cast<long long>(v)); }
inline Long CLng(int v) { return CLng(static_cast<long long>(v)); }
inline Byte CByte(int v) { return CByte(static_cast<long long>(v)); }
// Round half to even (the rounding of every conversion).
double RoundHalfEven(double v);
// Integer division `\` and `Mod` that fault on a zero divisor.
long long IntDiv(long long a, long long b);
long long Mod(long long a, long long b);
// Strict text-to-number conversion; faults with 13 (Type mismatch) on anything else.
double ToNumber(std::string_view text);
// Leading number of a text, 0 when there is none.
double Val(std::string_view text);

// A fixed array indexed Lo..Hi whose out-of-range index is fault 9.
template <class T, int Lo, int Hi>
struct VbArray {
  std::array<T, Hi - Lo + 1> data{};
  T& operator()(long long i) {
    if (i < Lo || i > Hi) Raise(err::kSubscript);
    return data[static_cast<size_t>(i - Lo)];
  }
  const T& operator()(long long i) const {
    if (i < Lo || i > Hi) Raise(err::kSubscript);
    return data[static_cast<size_t>(i - Lo)];
  }
  static constexpr int lower() { return Lo; }
  static constexpr int upper() { return Hi; }
  auto begin() { return data.begin(); }
  auto end() { return data.end(); }
  auto begin() const { return data.begin(); }
  auto end() const { return data.end(); }
};

// ---------------------------------------------------------------------------
// The error log. Procedures with an error handler run their fault-prone statements
// through a Trap: a fault is logged under the procedure's name and the procedure
// goes on with its next statement. Procedures without one let faults pass to the
// nearest caller with a handler, which logs its own name and resumes after the call.
//
//   Byte HPadd(Integer n) {
//     Trap on("HPadd");
//     Byte r = 0;
//     on([&] { ... });
//     return r;
//   }
//
// Any exception a statement throws counts as a fault (see FaultOf), so a failing
// stream or allocation is logged like the game's own faults and never ends the game.
class Trap {
 public:
  explicit Trap(const char* source) : source_(source) {}
  template <class F>
  void operator()(F&& statement) const {
    try {
      statement();
    } catch (const Fault& f) {
      LogFault(f);
    } catch (const std::exception& e) {
      LogFault(FaultOf(e));
    }
  }
  // Runs a statement that yields a value; on a fault the fallback is returned.
  template <class T, class F>
  T Value(T fallback, F&& expression) const {
    try {
      return expression();
    } catch (const Fault& f) {
      LogFault(f);
      return fallback;
    } catch (const std::exception& e) {
      LogFault(FaultOf(e));
      return fallback;
    }
  }
  void LogFault(const Fault& f) const;
  const char* source() const { return source_; }

 private:
  const char* source_;
};

// Appends one line "<date> <time>: <source> Error: <number> <description>" (CR LF)
// to error.log in the write folder. Never raises: a line that cannot reach the file
// (a read-only or missing folder) goes to stderr instead.
void LogError(std::string_view source, const Fault& fault);
// Where the log goes (error.log in the write folder).
std::string ErrorLogPath();

// Thrown by Wait when the game is over; unwinds to Sub Main, which closes down cleanly.
struct EndProgram {};

// ---------------------------------------------------------------------------
// Reading a whole game file. Anything that is not a plain file (a folder, a named
// pipe, a device) is refused before a byte is read, so nothing can block or hang;
// so is a file larger than `limit`.
enum class FileStatus { kOk, kMissing, kFailed };
constexpr std::size_t kMaxGameFile = 16u << 20;
FileStatus ReadGameFile(const std::string& path, std::string* bytes, std::string* why,
                        std::size_t limit = kMaxGameFile);
// The fault for a game file that is missing (53) or can't be read (57), naming the file.
Fault FileFault(FileStatus status, const std::string& path, const std::string& why);
// True when path is a plain file (following links); never opens it.
bool IsPlainFile(const std::string& path);

// ---------------------------------------------------------------------------
// Text encodings. The game's text is UTF-8; saves and old data files are CP932, converted
// by a table the game carries (the same on every platform).
constexpr std::uint32_t kBadUtf8 = 0xFFFFFFFFu;
// The character at byte i of s, strictly (no overlong forms, surrogates or values above
// U+10FFFF), and its length in bytes; kBadUtf8 (length 1) where no character starts.
std::uint32_t Utf8CodePoint(std::string_view s, std::size_t i, std::size_t* length);
// One character of a text: its code point (kBadUtf8 for a byte where no character
// starts, which counts as a character of its own) and its bytes in the text.
struct Utf8Char {
  std::uint32_t code = kBadUtf8;
  std::string_view bytes;
  bool valid() const { return code != kBadUtf8; }
};
// The characters of a UTF-8 text in order, by Utf8CodePoint's rule, so every walk over
// text counts, cuts and draws it alike:  for (const Utf8Char& c : Utf8Chars(text)) ...
class Utf8Chars {
 public:
  explicit Utf8Chars(std::string_view s) : s_(s) {}
  class iterator {
   public:
    iterator(std::string_view s, std::size_t at) : s_(s), at_(at) { Read(); }
    const Utf8Char& operator*() const { return c_; }
    const Utf8Char* operator->() const { return &c_; }
    iterator& operator++() {
      at_ += c_.bytes.size();
      Read();
      return *this;
    }
    bool operator==(const iterator& o) const { return at_ == o.at_; }
    std::size_t offset() const { return at_; }  // of this character in the text

   private:
    void Read() {
      if (at_ >= s_.size()) return;
      std::size_t n = 0;
      c_.code = Utf8CodePoint(s_, at_, &n);
      c_.bytes = s_.substr(at_, n);
    }
    std::string_view s_;
    std::size_t at_;
    Utf8Char c_;
  };
  iterator begin() const { return {s_, 0}; }
  iterator end() const { return {s_, s_.size()}; }

 private:
  std::string_view s_;
};
// The number of characters of a text, counted as Utf8Chars walks it.
std::size_t Utf8Length(std::string_view s);
// The byte offset of character n (0-based) of a text; its size when it has no more.
std::size_t Utf8Offset(std::string_view s, std::size_t n);
// True when every byte of the text belongs to a character.
bool IsValidUtf8(std::string_view s);
// Appends code point c (at most U+10FFFF) as UTF-8.
void AppendUtf8(std::uint32_t c, std::string* out);
// CP932 <-> UTF-8, strict: false (and *out untouched) for text with no form in the other.
bool Cp932ToUtf8(std::string_view cp932, std::string* out);
bool Utf8ToCp932(std::string_view utf8, std::string* out);
// CP932 text as UTF-8, each byte that starts no character read as U+FFFD.
std::string Cp932ToUtf8Lenient(std::string_view cp932);

// ---------------------------------------------------------------------------
// The reader of the game's comma-separated data files (characters, items, levels,
// enemies, encounters): a field ends at a comma or a line end, a text field may be
// written in double quotes, numbers are decimal text; a header line is skipped whole.
// Files are UTF-8; a file that is not valid UTF-8 is read as CP932.
class FieldReader {
 public:
  // Reads the whole file; false when it does not exist or can't be read, with the
  // fault that says so (naming the file) in failure().
  bool Open(const std::string& path);
  const Fault& failure() const { return failure_; }
  void SkipLine();                 // drops the rest of the current line
  bool AtEnd() const;              // nothing but blank space left
  bool Next(std::string* field);   // the next field; false at the end
  // Typed reads; fault 62 (Input past end of file) at the end, 13 (Type mismatch)
  // for a number field that is not a number.
  std::string ReadText();
  long long ReadInteger();
  int line() const { return line_; }  // 1-based line of the last field read

 private:
  std::string text_;
  size_t pos_ = 0;
  int line_ = 1;
  Fault failure_;
};

// ---------------------------------------------------------------------------
// The game folder (the program's own folder, or --data DIR).
const std::string& AppPath();
void SetAppPath(std::string path);
// AppPath() + "/" + relative, with old-style backslashes turned into slashes.
std::string GamePath(std::string_view relative);
// The path as the log names it: relative to the game folder when it lies inside it.
std::string GameRelative(const std::string& path);
// Where the game writes its saves and error.log: the game folder, unless the program
// chose another (the player's own data folder, for an installed game whose content
// folder is read-only). Empty: the game folder.
void SetWriteFolder(std::string path);
const std::string& WriteFolder();  // the folder in use (the game folder when none was set)
std::string WritePath(std::string_view relative);

// ---------------------------------------------------------------------------
// The language of the texts a player reads: Japanese, the game's own and the default,
// or English. Each text file of a language sits in its folder: Japanese in the folder
// itself (text/town1.txt), English one level down (text/en/town1.txt).
enum class Language { kJapanese, kEnglish };
Language GameLanguage();
void SetGameLanguage(Language language);
// "ja" or "en" (any case); false for anything else.
bool ParseLanguage(std::string_view code, Language* out);
const char* LanguageCode(Language language);
// The game-folder path of a text file in the current language: "text/town1.txt" or
// "text/en/town1.txt" for LanguagePath("text", "town1.txt").
std::string LanguagePath(std::string_view folder, std::string_view file);

// ---------------------------------------------------------------------------
// The hero's record, members in order (saved as one unit).
struct PlayerStatus {
  Integer x = 0;
  Integer y = 0;
  Integer pid = 0;
  Integer dx = 0;
  Integer dy = 0;
  Byte dir = 0;
  Byte lv = 0;
  Integer hp = 0;
  Integer mhp = 0;
  Integer mp = 0;
  Integer mmp = 0;
  Long exp = 0;
  Long gold = 0;
  Integer ap = 0;
  Integer dp = 0;
  Integer sp = 0;
  VbArray<Byte, 0, 14> items;
};

extern PlayerStatus Player;
extern VbArray<Byte, 0, 255> Flags;

// Control and timing variables.
extern bool GameRunning;
extern bool ReturnToTitle;
extern Integer FrameWait;
extern Integer WalkWait;
extern Integer MessageWait;
extern Integer AnimClock;
extern Integer AnimFrame;
extern Integer StepOffset;
extern Byte NoEncount;
extern Integer TileSize;
extern bool FullScreen;

Byte Bit(Byte value, Byte n);
void SetBit(Byte& target, Byte n, Byte on);
Byte Flag(int n);
void SetFlag(int n, int value);
void Wait(long ms);
void Init_PlayerStatus();
void Exit_Game();
// The speed delays from flags 2-7.
void RecomputeSpeeds();

// One uniform generator in [0, 1), single precision like the old Rnd.
float Rnd();
// Seeded once, at start-up (--seed or the clock): a run is its seed and its inputs.
void SeedRandom(std::uint32_t seed);

// ---------------------------------------------------------------------------
// Input.
struct KeyState {
  Integer dx = 0;
  Integer dy = 0;
  Integer btn = 0;
};

struct JoyInfoRecord {
  std::uint32_t x = 0, y = 0, z = 0, buttons = 0;
  Long X = 0;
  Long Y = 0;
};
extern Long JoyCenterX;
extern Long JoyCenterY;
extern Long JoyThreshold;
extern JoyInfoRecord JoyInfo;

KeyState Getkey();
KeyState JoyPad();
bool BynDown();
void KeyWait();
Integer JoyInit();
Integer JoyRead(Integer id, JoyInfoRecord& info, Integer& code);

// ---------------------------------------------------------------------------
// The event point. Wait, KeyWait and the game's loops call DoEvents: pending window
// events are delivered, then the frame presenter (installed by the game at start-up)
// is called, told whether anything was refreshed since the last event point.
void DoEvents();
// Marks the visible frame as changed (the refresh of a visible surface).
void RefreshScreen();
using FramePresenter = std::function<void(bool refreshed)>;
void SetFramePresenter(FramePresenter presenter);

// The pace of one frame of walking, scrolling or fading:
//   FramePace frame;            // at the start of the frame's work
//   ... draw ...
//   frame.Finish(WalkWait);     // waits out the rest and advances the animation clock
class FramePace {
 public:
  FramePace();
  // Advances AnimClock/AnimFrame by one frame (unless animate is false), then waits
  // what is left of frame_ms since the frame began (nothing when it is already over).
  void Finish(long frame_ms, bool animate = true);

 private:
  std::uint32_t start_;
};

// ---------------------------------------------------------------------------
// Faults as they are logged. Tests and --verbose listen; the listener sees every line
// that LogError writes (even one that could not reach the disk).
using FaultListener = std::function<void(std::string_view source, const Fault& fault)>;
void SetFaultListener(FaultListener listener);

// The settings flags 0-7 (music, sound, message and walking speed) of a new game.
void SetDefaultSettings();
// Puts the foundation's state (hero, flags, timing, joypad, random numbers) back to
// its start-up value.
void ResetCoreState();
// Makes Rnd return these values in turn (tests and reproductions); after the last,
// the seeded generator takes over again. An empty list ends the fixing at once.
void FixRandom(std::vector<float> values);

}  // namespace ardo
