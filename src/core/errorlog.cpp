// The error log: one line per fault, appended to error.log in the write folder.
#include <chrono>
#include <cstdio>
#include <ctime>

#include "core/core.h"

namespace ardo {

namespace {
FaultListener g_listener;
}  // namespace

std::string ErrorLogPath() { return WritePath("error.log"); }

void SetFaultListener(FaultListener listener) { g_listener = std::move(listener); }

void Trap::LogFault(const Fault& f) const { LogError(source_, f); }

void LogError(std::string_view source, const Fault& fault) {
  if (g_listener) g_listener(source, fault);
  // The file is opened and closed for every line so each line is on disk at once.
  // Whatever goes wrong here (read-only folder, full disk), the line is lost, not the game.
  try {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y/%m/%d %H:%M:%S", &local);
    std::string line = stamp;
    line += ": ";
    line += source;
    line += " Error: ";
    line += std::to_string(fault.number);
    line += " ";
    line += fault.description;
    line += "\r\n";
    bool written = false;
    if (std::FILE* f = std::fopen(ErrorLogPath().c_str(), "ab")) {
      written = std::fwrite(line.data(), 1, line.size(), f) == line.size();
      written = std::fclose(f) == 0 && written;
    }
    // No place for the log (a read-only or missing home folder): the player still
    // gets the line, on the terminal.
    if (!written) std::fprintf(stderr, "ardo: (no error.log) %.*s\n", static_cast<int>(line.size() - 2), line.c_str());
  } catch (...) {
    // Out of memory while building the line: drop it.
  }
}

}  // namespace ardo
