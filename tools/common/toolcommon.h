// Helpers shared by the content compilers (ardo-mapc, ardo-mmlc, ardo-sfxc).
//
// Every tool reports problems in its source as `file:line:col: message`
// (lines and columns count from 1, columns in characters, not bytes) and never
// leaves a half-written output behind: outputs are written to a temporary file
// beside the target and renamed over it only when complete.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace ardo::tool {

// A fault in a source file, at a position.
class SourceError : public std::exception {
public:
  SourceError(std::string file, int line, int col, std::string message);
  const char* what() const noexcept override { return text_.c_str(); }

  std::string file;
  int line;
  int col;
  std::string message;

private:
  std::string text_;
};

// "file:line:col: message"
std::string format_diag(std::string_view file, int line, int col, std::string_view message);

// The largest source a tool reads.
constexpr std::size_t kMaxSourceFile = 16u << 20;
// Reads a whole file into `data`. Anything but a plain file (a folder, a named pipe, a
// device) and a file larger than kMaxSourceFile are refused. On failure returns false
// and sets `err`.
bool read_file(const std::string& path, std::string& data, std::string& err);

// Writes `data` to a temporary file next to `path` and renames it over `path`.
// On failure the temporary is removed, `path` is left as it was, `err` is set.
bool write_file_atomic(const std::string& path, std::string_view data, std::string& err);

// Decodes the UTF-8 code point at s[i] and advances i past it. An invalid or
// truncated sequence yields U+FFFD, advances one byte and returns false.
bool utf8_next(std::string_view s, std::size_t& i, char32_t& cp);
void utf8_append(std::string& out, char32_t cp);

// Quoted form of a character for messages: 'x', or U+0007 for controls.
std::string describe_char(char32_t cp);

// One line of a source: its number (from 1) and its text without the line end.
struct SourceLine {
  int number;
  std::string_view text;
};

// Splits a file into lines. A leading UTF-8 byte order mark is dropped, and
// both "\n" and "\r\n" line ends are accepted.
std::vector<SourceLine> split_lines(std::string_view data);

// 1-based column of byte offset `offset` in `line`, counting code points.
int column_of(std::string_view line, std::size_t offset);

// Parses a whole decimal token (optional leading '-' when allow_negative).
// Returns false on empty, non-digit or out-of-long-range input.
bool parse_int(std::string_view token, long& value, bool allow_negative = false);

// Shared main(): runs `body`, and turns any escaping exception into a message
// on stderr and exit status 1, so no input can end a tool abnormally.
int run_main(const char* tool_name, int argc, char** argv, int (*body)(int, char**));

}  // namespace ardo::tool
