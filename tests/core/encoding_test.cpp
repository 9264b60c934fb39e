// The CP932 table the game carries agrees with this machine's own converter, character
// for character, both ways; UTF-8 is read strictly.
#include <gtest/gtest.h>
#include <iconv.h>

#include <string>
#include <vector>

#include "core/core.h"

namespace ardo {
namespace {

// The host's answer; false where it refuses.
bool HostConvert(const char* to, const char* from, const std::string& in, std::string* out) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string buffer(in.size() * 4 + 4, '\0');
  char* src = const_cast<char*>(in.data());
  std::size_t left = in.size();
  char* dst = buffer.data();
  std::size_t room = buffer.size();
  const bool ok = iconv(cd, &src, &left, &dst, &room) != static_cast<std::size_t>(-1) && left == 0;
  iconv_close(cd);
  if (ok) out->assign(buffer.data(), buffer.size() - room);
  return ok;
}

TEST(Cp932, TheCarriedTableIsTheHostConverter) {
  iconv_t probe = iconv_open("UTF-8", "CP932");
  if (probe == reinterpret_cast<iconv_t>(-1)) GTEST_SKIP() << "this C library has no CP932 to compare with";
  iconv_close(probe);
  int compared = 0;
  auto same_decode = [&](const std::string& in) {
    std::string ours = "?";
    std::string host;
    const bool ok = Cp932ToUtf8(in, &ours);
    ASSERT_EQ(ok, HostConvert("UTF-8", "CP932", in, &host)) << std::hex << static_cast<unsigned char>(in[0]);
    if (ok) {
      EXPECT_EQ(ours, host);
    }
    ++compared;
  };
  for (int b = 0; b < 256; ++b) same_decode(std::string(1, static_cast<char>(b)));
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    for (int trail = 0x40; trail <= 0xFC; ++trail) same_decode(std::string{static_cast<char>(lead), static_cast<char>(trail)});
  }
  for (std::uint32_t u = 1; u <= 0xFFFF; ++u) {
    if (u >= 0xD800 && u <= 0xDFFF) continue;
    std::string utf8;
    HostConvert("UTF-8", "UTF-32LE", std::string{static_cast<char>(u & 0xFF), static_cast<char>(u >> 8), '\0', '\0'},
                &utf8);
    std::string ours;
    std::string host;
    const bool ok = Utf8ToCp932(utf8, &ours);
    ASSERT_EQ(ok, HostConvert("CP932", "UTF-8", utf8, &host)) << std::hex << u;
    if (ok) {
      EXPECT_EQ(ours, host) << std::hex << u;
    }
  }
  EXPECT_GT(compared, 20000);
}

TEST(Cp932, SaveNamesAndBrokenBytes) {
  std::string sjis;
  ASSERT_TRUE(Utf8ToCp932("town1 さいはての村", &sjis));
  EXPECT_EQ(sjis.size(), 6u + 12u);
  std::string back;
  ASSERT_TRUE(Cp932ToUtf8(sjis, &back));
  EXPECT_EQ(back, "town1 さいはての村");
  EXPECT_FALSE(Utf8ToCp932("\xF0\x9F\x98\x80", &sjis)) << "no form in CP932";
  EXPECT_FALSE(Utf8ToCp932("\xC0\xAF", &sjis)) << "overlong UTF-8";
  EXPECT_FALSE(Cp932ToUtf8("\x82", &back)) << "a lead byte at the end";
  EXPECT_EQ(Cp932ToUtf8Lenient("a\x82"), "a\xEF\xBF\xBD");
  EXPECT_EQ(Cp932ToUtf8Lenient("\x85\x40\x41"), "\xEF\xBF\xBD@A") << "a pair with no character";
}

// Every walk over text (counting, cutting, drawing) goes by one rule: a byte where no
// character starts is one character of its own, and nothing is read past the end.
TEST(Utf8, AStrayByteIsOneCharacter) {
  const std::string s = "aあ\x80\xE3\x81\xF0\x9F\x98\x80";
  std::vector<std::uint32_t> codes;
  std::vector<std::size_t> sizes;
  for (const Utf8Char& c : Utf8Chars(s)) {
    codes.push_back(c.code);
    sizes.push_back(c.bytes.size());
  }
  EXPECT_EQ(codes, (std::vector<std::uint32_t>{'a', 0x3042, kBadUtf8, kBadUtf8, kBadUtf8, 0x1F600}));
  EXPECT_EQ(sizes, (std::vector<std::size_t>{1, 3, 1, 1, 1, 4}));
  EXPECT_EQ(Utf8Length(s), 6u);
  EXPECT_EQ(Utf8Offset(s, 2), 4u);
  EXPECT_EQ(Utf8Offset(s, 99), s.size());
  EXPECT_FALSE(IsValidUtf8(s));
  EXPECT_TRUE(IsValidUtf8("aあ\xF0\x9F\x98\x80"));
  std::string out;
  for (std::uint32_t c : {0x41u, 0x3042u, 0x1F600u}) AppendUtf8(c, &out);
  EXPECT_EQ(out, "Aあ\xF0\x9F\x98\x80");
}

}  // namespace
}  // namespace ardo
