// The reader of the game's comma-separated data files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "core/core.h"

namespace ardo {

FileStatus ReadGameFile(const std::string& path, std::string* bytes, std::string* why, std::size_t limit) {
  bytes->clear();
  // Non-blocking, so that opening a named pipe returns at once; fstat then refuses it.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int e = errno;
    if (e == ENOENT || e == ENOTDIR) return FileStatus::kMissing;
    *why = std::strerror(e);
    return FileStatus::kFailed;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    *why = S_ISDIR(st.st_mode) ? "a folder, not a file" : "not a plain file";
    return FileStatus::kFailed;
  }
  if (static_cast<unsigned long long>(st.st_size) > limit) {
    ::close(fd);
    *why = std::to_string(st.st_size) + " bytes, more than the " + std::to_string(limit) + " this file may have";
    return FileStatus::kFailed;
  }
  bytes->resize(static_cast<std::size_t>(st.st_size));
  std::size_t got = 0;
  for (;;) {
    if (got == bytes->size()) {
      if (got >= limit) break;
      bytes->resize(std::min(limit, got + 4096));  // a file that grew while we read
    }
    const ssize_t n = ::read(fd, bytes->data() + got, bytes->size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *why = std::strerror(errno);
      ::close(fd);
      bytes->clear();
      return FileStatus::kFailed;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  bytes->resize(got);
  return FileStatus::kOk;
}

Fault FileFault(FileStatus status, const std::string& path, const std::string& why) {
  Fault f = Fault::Of(status == FileStatus::kMissing ? err::kFileNotFound : err::kIoError);
  f.description += " (" + path + (why.empty() ? "" : ": " + why) + ")";
  return f;
}

bool IsPlainFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FieldReader::Open(const std::string& path) {
  text_.clear();
  pos_ = 0;
  line_ = 1;
  failure_ = Fault{};
  std::string why;
  const FileStatus status = ReadGameFile(path, &text_, &why);
  if (status != FileStatus::kOk) {
    failure_ = FileFault(status, GameRelative(path), why);
    return false;
  }
  if (text_.size() >= 3 && text_.compare(0, 3, "\xEF\xBB\xBF") == 0) text_.erase(0, 3);
  // Strict UTF-8: CP932 text almost never passes it by accident.
  if (!IsValidUtf8(text_)) text_ = Cp932ToUtf8Lenient(text_);
  return true;
}

// A line end is left in place after the last field of a line: the next field (or
// SkipLine) steps over it. So line() stays on the line of the field just read, and
// SkipLine after a line's last field drops nothing but that line end.
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
  // Blank space and line ends before a field are skipped, so are empty lines.
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
    // Quoted: commas are part of the text; the field ends at the closing quote (or,
    // without one, at the line end), and anything between it and the separator is dropped.
    ++pos_;
    while (pos_ < text_.size() && text_[pos_] != '"' && text_[pos_] != '\n') f += text_[pos_++];
    if (pos_ < text_.size() && text_[pos_] == '"') {
      ++pos_;
    } else if (!f.empty() && f.back() == '\r') {
      f.pop_back();
    }
    while (pos_ < text_.size() && text_[pos_] != ',' && text_[pos_] != '\n') ++pos_;
  } else {
    while (pos_ < text_.size() && text_[pos_] != ',' && text_[pos_] != '\n') f += text_[pos_++];
    while (!f.empty() && (f.back() == ' ' || f.back() == '\t' || f.back() == '\r')) f.pop_back();
  }
  if (pos_ < text_.size() && text_[pos_] == ',') ++pos_;
  *field = std::move(f);
  return true;
}

std::string FieldReader::ReadText() {
  std::string f;
  if (!Next(&f)) Raise(err::kInputPastEnd);
  return f;
}

// An empty field reads as 0, as the old run-time's input did; text that is not a
// decimal number is a type mismatch, a number beyond any integer an overflow.
long long FieldReader::ReadInteger() {
  std::string f;
  if (!Next(&f)) Raise(err::kInputPastEnd);
  if (f.empty()) return 0;
  const double v = RoundHalfEven(ToNumber(f));
  if (!(std::fabs(v) < 9.0e18)) Raise(err::kOverflow);
  return static_cast<long long>(v);
}

}  // namespace ardo
