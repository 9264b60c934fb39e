// The error log: one line per fault, appended to error.log in the write folder. A fault
// that repeats without end (a statement failing every frame) is folded: after a few
// identical lines in a row the rest are only counted, and "… repeated N times" says how
// many, so the log grows with the kinds of fault, not with the time they go on.
#include <chrono>
#include <cstdio>
#include <ctime>

#include "core/core.h"

namespace ardo {

namespace {

FaultListener g_listener;

// Identical lines written in a row before the rest are folded into a count.
constexpr long kWrittenInARow = 3;

std::string Stamp() {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y/%m/%d %H:%M:%S", &local);
  return stamp;
}

// Appends one line (without its CR LF) to the file; false when it did not get there.
bool Append(const std::string& path, const std::string& line) {
  const std::string out = line + "\r\n";
  bool written = false;
  if (std::FILE* f = std::fopen(path.c_str(), "ab")) {
    written = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    written = std::fclose(f) == 0 && written;
  }
  return written;
}

// The last line written and how often it came since, per log file.
struct Repeats {
  std::string path;
  std::string text;      // the line without its time
  long count = 0;        // times it came in a row, the first included
  long noted = 0;        // the count the log already tells of

  // Tells the log how often the line came, when it does not know yet: a line of its own
  // that names what repeated.
  void Note(bool so_far) {
    if (count <= kWrittenInARow || noted == count) return;
    noted = count;
    Append(path, Stamp() + ": … repeated " + std::to_string(count - kWrittenInARow) + " times" +
                     (so_far ? " so far" : "") + ": " + text);
  }
  ~Repeats() {
    try {
      Note(false);
    } catch (...) {
    }
  }
};

Repeats& LastLine() {
  static Repeats r;
  return r;
}

}  // namespace

std::string ErrorLogPath() { return WritePath("error.log"); }

void SetFaultListener(FaultListener listener) { g_listener = std::move(listener); }

void Trap::LogFault(const Fault& f) const { LogError(source_, f); }

void LogError(std::string_view source, const Fault& fault) {
  if (g_listener) g_listener(source, fault);
  // The file is opened and closed for every line so each line is on disk at once.
  // Whatever goes wrong here (read-only folder, full disk), the line is lost, not the game.
  try {
    std::string text(source);
    text += " Error: ";
    text += std::to_string(fault.number);
    text += " ";
    text += fault.description;
    const std::string path = ErrorLogPath();
    Repeats& last = LastLine();
    if (last.path != path) {
      last = Repeats{};  // another log (the write folder changed): its count starts afresh
      last.path = path;
    }
    if (text == last.text) {
      ++last.count;
      // Counted only; now and then (at 10, 100, 1000 ... repeats) the log is told.
      long n = last.count - kWrittenInARow;
      while (n >= 10 && n % 10 == 0) n /= 10;
      if (n == 1 && last.count > kWrittenInARow + 1) last.Note(true);
      if (last.count > kWrittenInARow) return;
    } else {
      last.Note(false);
      last.text = text;
      last.count = 1;
      last.noted = 0;
    }
    const std::string line = Stamp() + ": " + text;
    // No place for the log (a read-only or missing home folder): the player still
    // gets the line, on the terminal.
    if (!Append(path, line)) std::fprintf(stderr, "ardo: (no error.log) %s\n", line.c_str());
  } catch (...) {
    // Out of memory while building the line: drop it.
  }
}

}  // namespace ardo
