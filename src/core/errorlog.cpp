// The error log: one line per fault, appended to error.log in the game folder.
#include <chrono>
#include <cstdio>
#include <ctime>

#include "core/core.h"

namespace ardo {

namespace {
FaultListener g_listener;
}  // namespace

std::string ErrorLogPath() { return GamePath("error.log"); }

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
    if (std::FILE* f = std::fopen(ErrorLogPath().c_str(), "ab")) {
      std::fwrite(line.data(), 1, line.size(), f);
      std::fclose(f);
    }
  } catch (...) {
    // Out of memory while building the line: drop it.
  }
}

}  // namespace ardo
