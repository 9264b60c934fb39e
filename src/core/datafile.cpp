// The reader of the game's comma-separated data files.
#include <iconv.h>

#include <fstream>
#include <sstream>

#include "core/core.h"

namespace ardo {

namespace {

bool IsValidUtf8(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    int n = 0;
    if (c < 0x80) {
      n = 0;
    } else if ((c & 0xE0) == 0xC0 && c >= 0xC2) {
      n = 1;
    } else if ((c & 0xF0) == 0xE0) {
      n = 2;
    } else if ((c & 0xF8) == 0xF0 && c <= 0xF4) {
      n = 3;
    } else {
      return false;
    }
    if (n > 0 && i + n >= s.size()) return false;
    for (int k = 1; k <= n; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += n + 1;
  }
  return true;
}

// Converts CP932 text to UTF-8; undecodable bytes become U+FFFD.
std::string FromCp932(const std::string& in) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return in;
  std::string out;
  out.reserve(in.size() * 3 / 2 + 16);
  char* src = const_cast<char*>(in.data());
  size_t left = in.size();
  char buf[4096];
  while (left > 0) {
    char* dst = buf;
    size_t room = sizeof buf;
    const size_t r = iconv(cd, &src, &left, &dst, &room);
    out.append(buf, static_cast<size_t>(dst - buf));
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      out += "\xEF\xBF\xBD";
      ++src;
      --left;
    }
  }
  iconv_close(cd);
  return out;
}

}  // namespace

bool FieldReader::Open(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  text_ = ss.str();
  if (text_.size() >= 3 && text_.compare(0, 3, "\xEF\xBB\xBF") == 0) text_.erase(0, 3);
  if (!IsValidUtf8(text_)) text_ = FromCp932(text_);
  pos_ = 0;
  line_ = 1;
  return true;
}

void FieldReader::SkipLine() {
  while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
  if (pos_ < text_.size()) {
    ++pos_;
    ++line_;
  }
}

bool FieldReader::AtEnd() const {
  for (size_t i = pos_; i < text_.size(); ++i) {
    const char c = text_[i];
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '\x1A') return false;
  }
  return true;
}

bool FieldReader::Next(std::string* field) {
  // Blank space and empty lines before a field are skipped.
  while (pos_ < text_.size()) {
    const char c = text_[pos_];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\x1A') {
      ++pos_;
    } else if (c == '\n') {
      ++pos_;
      ++line_;
    } else {
      break;
    }
  }
  if (pos_ >= text_.size()) return false;
  std::string f;
  if (text_[pos_] == '"') {
    ++pos_;
    while (pos_ < text_.size() && text_[pos_] != '"' && text_[pos_] != '\n') f += text_[pos_++];
    if (pos_ < text_.size() && text_[pos_] == '"') ++pos_;
    // Anything up to the separator after the closing quote is dropped.
    while (pos_ < text_.size() && text_[pos_] != ',' && text_[pos_] != '\n') ++pos_;
  } else {
    while (pos_ < text_.size() && text_[pos_] != ',' && text_[pos_] != '\n') f += text_[pos_++];
    while (!f.empty() && (f.back() == ' ' || f.back() == '\t' || f.back() == '\r')) f.pop_back();
  }
  if (pos_ < text_.size()) {
    if (text_[pos_] == '\n') ++line_;
    ++pos_;  // the separator
  }
  *field = std::move(f);
  return true;
}

std::string FieldReader::ReadText() {
  std::string f;
  if (!Next(&f)) Raise(err::kInputPastEnd);
  return f;
}

long long FieldReader::ReadInteger() {
  std::string f;
  if (!Next(&f)) Raise(err::kInputPastEnd);
  const double v = ToNumber(f);
  return static_cast<long long>(RoundHalfEven(v));
}

}  // namespace ardo
