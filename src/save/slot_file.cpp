// The slot and list files byte by byte, and the durable replacement of a file.
#include "save/slot_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/persist.h"

namespace ardo::save_internal {

std::function<bool(const std::string& temp_path)> before_replace_hook;

namespace {

// A temporary file is the target's name, this mark and six unique characters.
constexpr const char* kTempMark = ".tmp.";

constexpr int kBadRecordLength = 59;  // a value longer than its record

unsigned char* Record(std::string& image, int k) {
  return reinterpret_cast<unsigned char*>(image.data()) + (k - 1) * kRecordLength;
}
const unsigned char* Record(std::string_view image, int k) {
  return reinterpret_cast<const unsigned char*>(image.data()) + (k - 1) * kRecordLength;
}

void Put16(unsigned char*& p, Integer v) {
  const auto u = static_cast<std::uint16_t>(v);
  *p++ = static_cast<unsigned char>(u & 0xFF);
  *p++ = static_cast<unsigned char>(u >> 8);
}
void Put32(unsigned char*& p, Long v) {
  const auto u = static_cast<std::uint32_t>(v);
  for (int i = 0; i < 4; ++i) *p++ = static_cast<unsigned char>((u >> (8 * i)) & 0xFF);
}
Integer Get16(const unsigned char*& p) {
  const auto u = static_cast<std::uint16_t>(p[0] | (p[1] << 8));
  p += 2;
  return static_cast<Integer>(u);
}
Long Get32(const unsigned char*& p) {
  std::uint32_t u = 0;
  for (int i = 0; i < 4; ++i) u |= static_cast<std::uint32_t>(p[i]) << (8 * i);
  p += 4;
  return static_cast<Long>(u);
}

// A string value: its byte length (2 bytes, little-endian), then its CP932 bytes,
// all within the `room` bytes left in the record.
void PutString(unsigned char* at, std::size_t room, const std::string& utf8) {
  std::string text;
  if (!Utf8ToCp932(utf8, &text)) {
    Fault f = Fault::Of(err::kInvalidCall);
    f.description += " (\"" + utf8 + "\" has no Shift-JIS form)";
    throw f;
  }
  if (text.size() + 2 > room) {
    throw Fault{kBadRecordLength, "Bad record length (\"" + utf8 + "\" is longer than its record)"};
  }
  at[0] = static_cast<unsigned char>(text.size() & 0xFF);
  at[1] = static_cast<unsigned char>(text.size() >> 8);
  std::memcpy(at + 2, text.data(), text.size());
}

bool GetString(const unsigned char* at, std::size_t room, std::string* utf8, const char* what,
               std::string* why) {
  const std::size_t length = static_cast<std::size_t>(at[0] | (at[1] << 8));
  if (length + 2 > room) {
    *why = std::string("the ") + what + " claims " + std::to_string(length) + " bytes, beyond its record";
    return false;
  }
  const std::string_view text(reinterpret_cast<const char*>(at + 2), length);
  if (!Cp932ToUtf8(text, utf8)) {
    *why = std::string("the ") + what + " is not Shift-JIS text";
    return false;
  }
  return true;
}

// A name the game builds a file path from: no folders, nothing a file name can't hold.
bool PlainFileName(std::string_view s) {
  if (s.empty() || s == "." || s == "..") return false;
  for (const char c : s) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || std::strchr("/\\:*?\"<>|", c) != nullptr) return false;
  }
  return true;
}

Fault IoFault(int errnum, const std::string& path, int fallback) {
  int number = fallback;
  switch (errnum) {
    case ENOSPC:
    case EDQUOT: number = 61; break;  // Disk full
    case EACCES:
    case EPERM:
    case EROFS: number = 70; break;   // Permission denied
    case ENOENT:
    case ENOTDIR: number = err::kPathNotFound; break;
    default: break;
  }
  Fault f = Fault::Of(number);
  f.description += " (" + path + ": " + std::strerror(errnum) + ")";
  return f;
}

}  // namespace

std::string SlotPath(int slot) { return WritePath("save/" + std::to_string(slot) + ".vkd"); }
std::string ListPath() { return WritePath("save/list"); }

void PackPlayer(const PlayerStatus& p, unsigned char out[kPlayerBytes]) {
  unsigned char* q = out;
  Put16(q, p.x);
  Put16(q, p.y);
  Put16(q, p.pid);
  Put16(q, p.dx);
  Put16(q, p.dy);
  *q++ = p.dir;
  *q++ = p.lv;
  Put16(q, p.hp);
  Put16(q, p.mhp);
  Put16(q, p.mp);
  Put16(q, p.mmp);
  Put32(q, p.exp);
  Put32(q, p.gold);
  Put16(q, p.ap);
  Put16(q, p.dp);
  Put16(q, p.sp);
  for (const Byte item : p.items) *q++ = item;
}

PlayerStatus UnpackPlayer(const unsigned char in[kPlayerBytes]) {
  PlayerStatus p;
  const unsigned char* q = in;
  p.x = Get16(q);
  p.y = Get16(q);
  p.pid = Get16(q);
  p.dx = Get16(q);
  p.dy = Get16(q);
  p.dir = *q++;
  p.lv = *q++;
  p.hp = Get16(q);
  p.mhp = Get16(q);
  p.mp = Get16(q);
  p.mmp = Get16(q);
  p.exp = Get32(q);
  p.gold = Get32(q);
  p.ap = Get16(q);
  p.dp = Get16(q);
  p.sp = Get16(q);
  for (Byte& item : p.items) item = *q++;
  return p;
}

std::string EncodeSlot(const SlotContents& c) {
  std::string image(kSlotFileSize, '\0');
  PutString(Record(image, 1), kRecordLength, c.map_name);
  Record(image, 2)[0] = c.level;
  PutString(Record(image, 3), kRecordLength, c.bgm_name);
  PackPlayer(c.player, Record(image, 4));
  for (int i = 0; i <= 255; ++i) Record(image, 5 + i)[0] = c.flags(i);
  return image;
}

bool DecodeSlot(std::string_view bytes, SlotContents* out, std::string* why) {
  if (bytes.size() < kSlotMinimumSize) {
    *why = "only " + std::to_string(bytes.size()) + " bytes, a slot needs " + std::to_string(kSlotMinimumSize);
    return false;
  }
  // Only the bytes of the last record that the file really has are read below.
  SlotContents c;
  if (!GetString(Record(bytes, 1), kRecordLength, &c.map_name, "map name", why)) return false;
  c.level = Record(bytes, 2)[0];
  if (!GetString(Record(bytes, 3), kRecordLength, &c.bgm_name, "music name", why)) return false;
  c.player = UnpackPlayer(Record(bytes, 4));
  for (int i = 0; i <= 255; ++i) c.flags(i) = Record(bytes, 5 + i)[0];

  if (c.level == 0) {
    *why = "a level of 0";
    return false;
  }
  if (c.player.lv != c.level) {
    *why = "the hero's level " + std::to_string(c.player.lv) + " differs from the slot's " +
           std::to_string(c.level);
    return false;
  }
  if (!PlainFileName(c.map_name)) {
    *why = "the map name \"" + c.map_name + "\" is not a file name";
    return false;
  }
  if (!c.bgm_name.empty() && !PlainFileName(c.bgm_name)) {
    *why = "the music name \"" + c.bgm_name + "\" is not a file name";
    return false;
  }
  if (c.player.dir > 3) {
    *why = "a facing of " + std::to_string(c.player.dir);
    return false;
  }
  *out = std::move(c);
  return true;
}

std::string EncodeList(const VbArray<SaveEntry, 0, 8>& list) {
  std::string image(kSlots * kRecordLength, '\0');
  for (int n = 0; n < kSlots; ++n) {
    unsigned char* at = Record(image, n + 1);
    at[0] = list(n).level;
    PutString(at + 1, kRecordLength - 1, list(n).name);
  }
  return image;
}


ReadResult ReadFile(const std::string& path, std::size_t limit, std::string* bytes, std::string* why) {
  switch (ReadGameFile(path, bytes, why)) {
    case FileStatus::kMissing:
      return ReadResult::kMissing;
    case FileStatus::kFailed:
      return ReadResult::kFailed;
    case FileStatus::kOk:
      break;
  }
  if (bytes->size() > limit) bytes->resize(limit);
  return ReadResult::kOk;
}

void ReplaceFile(const std::string& path, std::string_view bytes) {
  const std::filesystem::path target(path);
  std::filesystem::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    Fault f = Fault::Of(err::kPathNotFound);
    f.description += " (" + folder.string() + ": " + ec.message() + ")";
    throw f;
  }

  std::string temp = path + kTempMark + "XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) throw IoFault(errno, temp, err::kPathFileAccess);
  ::fchmod(fd, 0644);
  auto fail = [&](int errnum, bool close_fd) {
    if (close_fd) ::close(fd);
    ::unlink(temp.c_str());
    throw IoFault(errnum, temp, err::kIoError);
  };
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) fail(errno, true);
    done += static_cast<std::size_t>(n);
  }
  if (::fsync(fd) != 0) fail(errno, true);
  if (::close(fd) != 0) fail(errno, false);

  if (before_replace_hook && !before_replace_hook(temp)) {
    Fault f = Fault::Of(err::kIoError);
    f.description += " (" + temp + ": stopped before it replaced " + path + ")";
    throw f;
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const int errnum = errno;
    ::unlink(temp.c_str());
    throw IoFault(errnum, path, err::kPathFileAccess);
  }
  // The rename itself must reach the disk too. The new file is in place either way,
  // so a folder that can't be synced (some file systems refuse) is no failure.
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  if (!platform::PersistWrites()) {
    Fault f = Fault::Of(err::kIoError);
    f.description += " (" + path + ": the browser's storage refused it)";
    throw f;
  }
}

}  // namespace ardo::save_internal

namespace ardo::save_internal {

namespace {

// The names ReplaceFile gives its temporary files in the save folder: a slot's
// "N.vkd" (N 1 to 9) or "list", the mark and mkostemp's six letters and digits; and
// the single ".tmp" older versions used. Nothing else there is the game's to delete.
bool MadeByTheGame(const std::string& name) {
  const size_t mark_length = std::strlen(kTempMark);
  const size_t mark = name.rfind(kTempMark);
  std::string base;
  if (mark != std::string::npos && name.size() == mark + mark_length + 6 &&
      std::all_of(name.begin() + static_cast<std::ptrdiff_t>(mark + mark_length), name.end(),
                  [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; })) {
    base = name.substr(0, mark);
  } else if (name.ends_with(".tmp")) {
    base = name.substr(0, name.size() - 4);
  } else {
    return false;
  }
  if (base == std::filesystem::path(ListPath()).filename().string()) return true;
  for (int n = 1; n <= kSlots; ++n) {
    if (base == std::filesystem::path(SlotPath(n)).filename().string()) return true;
  }
  return false;
}

}  // namespace

void RemoveStaleTemporaries(const std::string& folder) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const auto now = fs::file_time_type::clock::now();
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (!MadeByTheGame(it->path().filename().string()) || !it->is_regular_file(ec)) continue;
    const auto written = it->last_write_time(ec);
    if (ec || now - written < std::chrono::minutes(1)) continue;
    fs::remove(it->path(), ec);
  }
}

}  // namespace ardo::save_internal
