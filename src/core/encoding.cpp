// Text encodings: UTF-8 read a character at a time, and CP932 (Shift-JIS as the old
// saves and data files have it) <-> UTF-8 from a table made at build time, so the game
// converts the same on every platform.
#include <algorithm>
#include <cstdint>

#include "core/core.h"

namespace ardo {

namespace {

struct CodePair {
  std::uint16_t from;
  std::uint16_t to;
};

#include "cp932_table.inc"

constexpr std::uint16_t kNone = 0xFFFF;

bool LeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

template <std::size_t N>
std::uint16_t Find(const CodePair (&table)[N], std::uint32_t key) {
  const auto* end = table + N;
  const auto* it = std::lower_bound(table, end, key, [](const CodePair& p, std::uint32_t k) { return p.from < k; });
  return it != end && it->from == key ? it->to : kNone;
}

// The character at in[i] and its length in bytes; kNone (length 1) for a byte that
// starts nothing, or a pair with no character.
std::uint16_t DecodeAt(std::string_view in, std::size_t i, std::size_t* length) {
  const auto b = static_cast<unsigned char>(in[i]);
  *length = 1;
  if (!LeadByte(b)) return kCp932Single[b];
  if (i + 1 >= in.size()) return kNone;
  const std::uint16_t u = Find(kCp932Pairs, static_cast<std::uint32_t>(b) << 8 | static_cast<unsigned char>(in[i + 1]));
  if (u != kNone) *length = 2;
  return u;
}

}  // namespace

std::uint32_t Utf8CodePoint(std::string_view s, std::size_t i, std::size_t* length) {
  *length = 1;
  const std::size_t n = s.size();
  if (i >= n) return kBadUtf8;
  const auto c = static_cast<unsigned char>(s[i]);
  if (c < 0x80) return c;
  std::size_t more = 0;
  std::uint32_t u = 0;
  std::uint32_t least = 0;
  if (c >= 0xC2 && c <= 0xDF) {
    more = 1, u = c & 0x1F, least = 0x80;
  } else if (c >= 0xE0 && c <= 0xEF) {
    more = 2, u = c & 0x0F, least = 0x800;
  } else if (c >= 0xF0 && c <= 0xF4) {
    more = 3, u = c & 0x07, least = 0x10000;
  } else {
    return kBadUtf8;
  }
  if (i + more >= n) return kBadUtf8;
  for (std::size_t k = 1; k <= more; ++k) {
    const auto t = static_cast<unsigned char>(s[i + k]);
    if ((t & 0xC0) != 0x80) return kBadUtf8;
    u = u << 6 | (t & 0x3F);
  }
  if (u < least || u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF)) return kBadUtf8;
  *length = more + 1;
  return u;
}

std::size_t Utf8Length(std::string_view s) {
  std::size_t n = 0;
  const Utf8Chars chars(s);
  const auto end = chars.end();
  for (auto it = chars.begin(); it != end; ++it) ++n;
  return n;
}

std::size_t Utf8Offset(std::string_view s, std::size_t n) {
  const Utf8Chars chars(s);
  const auto end = chars.end();
  auto it = chars.begin();
  for (; n > 0 && it != end; --n) ++it;
  return it.offset();
}

bool IsValidUtf8(std::string_view s) {
  for (const Utf8Char& c : Utf8Chars(s)) {
    if (!c.valid()) return false;
  }
  return true;
}

void AppendUtf8(std::uint32_t c, std::string* out) {
  if (c < 0x80) {
    *out += static_cast<char>(c);
  } else if (c < 0x800) {
    *out += static_cast<char>(0xC0 | c >> 6);
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out += static_cast<char>(0xE0 | c >> 12);
    *out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (c >> 18 & 0x07));
    *out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    *out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool Cp932ToUtf8(std::string_view cp932, std::string* out) {
  std::string text;
  text.reserve(cp932.size() * 3 / 2);
  for (std::size_t i = 0; i < cp932.size();) {
    std::size_t n = 0;
    const std::uint16_t u = DecodeAt(cp932, i, &n);
    if (u == kNone) return false;
    AppendUtf8(u, &text);
    i += n;
  }
  *out = std::move(text);
  return true;
}

std::string Cp932ToUtf8Lenient(std::string_view cp932) {
  std::string text;
  text.reserve(cp932.size() * 3 / 2);
  for (std::size_t i = 0; i < cp932.size();) {
    std::size_t n = 0;
    const std::uint16_t u = DecodeAt(cp932, i, &n);
    AppendUtf8(u == kNone ? 0xFFFD : u, &text);
    i += n;
  }
  return text;
}

bool Utf8ToCp932(std::string_view utf8, std::string* out) {
  std::string bytes;
  bytes.reserve(utf8.size());
  for (const Utf8Char& c : Utf8Chars(utf8)) {
    if (!c.valid() || c.code > 0xFFFF) return false;
    const std::uint16_t code = c.code == 0 ? 0 : Find(kCp932Encode, c.code);
    if (code == kNone) return false;
    if (code > 0xFF) bytes += static_cast<char>(code >> 8);
    bytes += static_cast<char>(code & 0xFF);
  }
  *out = std::move(bytes);
  return true;
}

}  // namespace ardo
