#include "toolcommon.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <new>

namespace ardo::tool {

SourceError::SourceError(std::string file_, int line_, int col_, std::string message_)
    : file(std::move(file_)), line(line_), col(col_), message(std::move(message_)),
      text_(format_diag(file, line, col, message)) {}

std::string format_diag(std::string_view file, int line, int col, std::string_view message) {
  std::string s(file);
  s += ':';
  s += std::to_string(line);
  s += ':';
  s += std::to_string(col);
  s += ": ";
  s += message;
  return s;
}

bool read_file(const std::string& path, std::string& data, std::string& err) {
  // Non-blocking, so a named pipe or a device is refused by the check below instead of
  // blocking the tool or feeding it without end.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    err = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    err = "cannot read " + path + (S_ISDIR(st.st_mode) ? ": is a directory" : ": not a plain file");
    return false;
  }
  if (static_cast<unsigned long long>(st.st_size) > kMaxSourceFile) {
    ::close(fd);
    err = "cannot read " + path + ": larger than " + std::to_string(kMaxSourceFile >> 20) + " MB";
    return false;
  }
  data.clear();
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      err = "cannot read " + path + ": " + std::strerror(errno);
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    if (data.size() + static_cast<std::size_t>(n) > kMaxSourceFile) {  // it grew while we read
      err = "cannot read " + path + ": larger than " + std::to_string(kMaxSourceFile >> 20) + " MB";
      ::close(fd);
      return false;
    }
    data.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return true;
}

bool write_file_atomic(const std::string& path, std::string_view data, std::string& err) {
  const std::string tmp = path + ".tmp" + std::to_string(static_cast<long>(::getpid()));
  std::error_code ec;
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) {
      err = "cannot write " + path + ": " + std::strerror(errno);
      return false;
    }
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    out.flush();
    if (!out) {
      out.close();
      std::filesystem::remove(tmp, ec);
      err = "cannot write " + path;
      return false;
    }
  }
  std::filesystem::rename(tmp, path, ec);
  if (ec) {
    std::error_code ec2;
    std::filesystem::remove(tmp, ec2);
    err = "cannot write " + path + ": " + ec.message();
    return false;
  }
  return true;
}

bool utf8_next(std::string_view s, std::size_t& i, char32_t& cp) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) {
    cp = b0;
    ++i;
    return true;
  }
  int extra;
  char32_t min;
  if ((b0 & 0xE0) == 0xC0) {
    extra = 1, cp = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    extra = 2, cp = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    extra = 3, cp = b0 & 0x07, min = 0x10000;
  } else {
    cp = 0xFFFD;
    ++i;
    return false;
  }
  if (s.size() - i <= static_cast<std::size_t>(extra)) {  // truncated
    cp = 0xFFFD;
    ++i;
    return false;
  }
  for (int k = 1; k <= extra; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) {
      cp = 0xFFFD;
      ++i;
      return false;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    cp = 0xFFFD;
    ++i;
    return false;
  }
  i += extra + 1;
  return true;
}

void utf8_append(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string describe_char(char32_t cp) {
  if (cp < 0x20 || cp == 0x7F || cp == 0xFFFD || (cp >= 0x80 && cp < 0xA0)) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(cp));
    return buf;
  }
  std::string s = "'";
  utf8_append(s, cp);
  s += '\'';
  return s;
}

std::vector<SourceLine> split_lines(std::string_view data) {
  if (data.substr(0, 3) == "\xEF\xBB\xBF") data.remove_prefix(3);
  std::vector<SourceLine> lines;
  int number = 1;
  std::size_t start = 0;
  while (start < data.size()) {
    std::size_t end = data.find('\n', start);
    const bool last = end == std::string_view::npos;
    if (last) end = data.size();
    std::string_view text = data.substr(start, end - start);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    lines.push_back({number++, text});
    if (last) break;
    start = end + 1;
  }
  return lines;
}

int column_of(std::string_view line, std::size_t offset) {
  int col = 1;
  for (std::size_t i = 0; i < offset && i < line.size(); ++i)
    if ((static_cast<unsigned char>(line[i]) & 0xC0) != 0x80) ++col;
  return col;
}

bool parse_int(std::string_view token, long& value, bool allow_negative) {
  bool neg = false;
  std::size_t i = 0;
  if (allow_negative && !token.empty() && (token[0] == '-' || token[0] == '+')) {
    neg = token[0] == '-';
    i = 1;
  }
  if (i >= token.size() || token.size() - i > 12) return false;
  // Twelve digits need more than 32 bits, which is all a long has on some targets.
  std::int64_t v = 0;
  for (; i < token.size(); ++i) {
    if (token[i] < '0' || token[i] > '9') return false;
    v = v * 10 + (token[i] - '0');
  }
  if (v > std::numeric_limits<long>::max()) return false;
  value = static_cast<long>(neg ? -v : v);
  return true;
}

int run_main(const char* tool_name, int argc, char** argv, int (*body)(int, char**)) {
  try {
    return body(argc, argv);
  } catch (const SourceError& e) {
    std::cerr << e.what() << '\n';
  } catch (const std::bad_alloc&) {
    std::cerr << tool_name << ": out of memory\n";
  } catch (const std::exception& e) {
    std::cerr << tool_name << ": " << e.what() << '\n';
  } catch (...) {
    std::cerr << tool_name << ": unexpected failure\n";
  }
  return 1;
}

}  // namespace ardo::tool
