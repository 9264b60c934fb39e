// The line reader of the game's small command files (the harness scripts and the
// autopilot's route): one command a line, words parted by blanks, '#' starts a note,
// and every problem reported as "NAME:LINE: reason" with the line it was found on.
#pragma once

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace ardo {

// A whole decimal number written alone (sign allowed) that fits 64 bits (a long may
// have only 32, so every range the callers check is checked in a fixed width).
inline bool ParseInt(const std::string& s, std::int64_t* v) {
  if (s.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const std::int64_t r = std::strtoll(s.c_str(), &end, 10);
  if (*end != '\0' || errno == ERANGE) return false;
  *v = r;
  return true;
}

class ScriptLines {
 public:
  ScriptLines(const std::string& text, std::string name) : in_(text), name_(std::move(name)) {}

  // Moves to the next line that has words; false at the end. A line that begins with
  // `keep_notes` (when given) keeps its '#' as text.
  bool Next(const char* keep_notes = nullptr) {
    while (std::getline(in_, raw_)) {
      ++number_;
      if (!raw_.empty() && raw_.back() == '\r') raw_.pop_back();
      text_ = raw_;
      const size_t hash = text_.find('#');
      if (hash != std::string::npos && (keep_notes == nullptr || text_.rfind(keep_notes, 0) != 0)) {
        text_.erase(hash);
      }
      words_.clear();
      std::istringstream words_in(text_);
      for (std::string w; words_in >> w;) words_.push_back(std::move(w));
      if (!words_.empty()) {
        text_.erase(text_.find_last_not_of(" \t") + 1);
        return true;
      }
    }
    return false;
  }

  int number() const { return number_; }
  // The line as written (without its line end), and without its note and trailing blanks.
  const std::string& raw() const { return raw_; }
  const std::string& text() const { return text_; }
  std::vector<std::string>& words() { return words_; }

  // Notes a problem of the current line.
  void Bad(const std::string& why) { errors_ += name_ + ":" + std::to_string(number_) + ": " + why + "\n"; }
  const std::string& errors() const { return errors_; }

 private:
  std::istringstream in_;
  std::string name_;
  std::string raw_;
  std::string text_;
  std::vector<std::string> words_;
  int number_ = 0;
  std::string errors_;
};

}  // namespace ardo
