// The data-file field reader: fields, quotes, header lines, line ends, code pages,
// numbers and the faults at the end of a file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/core.h"

namespace ardo {
namespace {

class FieldReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("ardo-fieldreader-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  // Writes the bytes as they are and opens a reader on them.
  FieldReader Open(const std::string& bytes) {
    const auto path = (dir_ / "table.dat").string();
    std::ofstream(path, std::ios::binary) << bytes;
    FieldReader r;
    EXPECT_TRUE(r.Open(path));
    return r;
  }

  static std::vector<std::string> All(FieldReader& r) {
    std::vector<std::string> out;
    std::string f;
    while (r.Next(&f)) out.push_back(f);
    return out;
  }

  static int FaultOf(const std::function<void()>& f) {
    try {
      f();
    } catch (const Fault& fault) {
      return fault.number;
    }
    return 0;
  }

  std::filesystem::path dir_;
};

using Fields = std::vector<std::string>;

TEST_F(FieldReaderTest, FieldsEndAtCommasAndLineEnds) {
  auto r = Open("a,b\nc\n\n  d  ,e f\t\n,\n");
  // Blank space around unquoted text is dropped, empty lines are skipped, an empty
  // field between two commas is a field, and the space inside "e f" is kept.
  EXPECT_EQ(All(r), (Fields{"a", "b", "c", "d", "e f", ""}));
}

TEST_F(FieldReaderTest, QuotedFieldsKeepCommasAndDropTheRestUpToTheSeparator) {
  auto r = Open("\"a, b\",\" spaced \"\n\"tail\"junk,next\n\"open, to the end\nlast");
  EXPECT_EQ(All(r), (Fields{"a, b", " spaced ", "tail", "next", "open, to the end", "last"}));
}

TEST_F(FieldReaderTest, HeaderLineIsSkippedWholeAndCrLfLeavesNoCarriageReturns) {
  auto r = Open("\"name, count\",x,y\r\n1,\"two\"\r\n\"three\r\nfour\r\n\r\n");
  r.SkipLine();
  EXPECT_EQ(All(r), (Fields{"1", "two", "three", "four"}));
  EXPECT_TRUE(r.AtEnd());
}

TEST_F(FieldReaderTest, LineNumbersAndSkipLineAfterALastField) {
  auto r = Open("header\n1,2\n3,4\n\n5\n");
  r.SkipLine();
  EXPECT_EQ(r.ReadInteger(), 1);
  EXPECT_EQ(r.line(), 2);
  EXPECT_EQ(r.ReadInteger(), 2);
  EXPECT_EQ(r.line(), 2);  // still the line of the field just read
  // Dropping the rest of line 2 (nothing left on it) must not eat line 3.
  r.SkipLine();
  EXPECT_EQ(r.ReadInteger(), 3);
  EXPECT_EQ(r.line(), 3);
  r.SkipLine();  // drops ",4"
  EXPECT_EQ(r.ReadInteger(), 5);
  EXPECT_EQ(r.line(), 5);
}

TEST_F(FieldReaderTest, Utf8IsReadAsItIsAndABomIsDropped) {
  auto r = Open("\xEF\xBB\xBFh\n村人,\"宝箱，です\"\n");
  r.SkipLine();
  EXPECT_EQ(All(r), (Fields{"村人", "宝箱，です"}));
}

TEST_F(FieldReaderTest, Cp932IsDecodedToUtf8) {
  // "ヘッダ" / 村人,"宝箱，です" / ｱ in the Japanese Windows code page.
  auto r = Open(
      "\x83\x77\x83\x62\x83\x5f\r\n"
      "\x91\xba\x90\x6c,\"\x95\xf3\x94\xa0\x81\x43\x82\xc5\x82\xb7\"\r\n"
      "\xb1\r\n");
  r.SkipLine();
  EXPECT_EQ(All(r), (Fields{"村人", "宝箱，です", "ｱ"}));
}

TEST_F(FieldReaderTest, Cp932ThatLooksLikeUtf8AndBytesNoCodePageKnows) {
  // 烙｡ in CP932 is E0 80 A1: shaped like a three-byte UTF-8 sequence, but an
  // overlong one, which is not UTF-8. FD is not a CP932 byte at all.
  auto r = Open("\xE0\x80\xA1,a\xFD" "b\n");
  EXPECT_EQ(All(r), (Fields{"烙｡", "a\xEF\xBF\xBD" "b"}));
}

TEST_F(FieldReaderTest, Numbers) {
  auto r = Open(" 12 ,-3,+7,\"40\",2.5,3.5,,1e2\n");
  EXPECT_EQ(r.ReadInteger(), 12);
  EXPECT_EQ(r.ReadInteger(), -3);
  EXPECT_EQ(r.ReadInteger(), 7);
  EXPECT_EQ(r.ReadInteger(), 40);
  EXPECT_EQ(r.ReadInteger(), 2);  // halves round to even
  EXPECT_EQ(r.ReadInteger(), 4);
  EXPECT_EQ(r.ReadInteger(), 0);  // an empty field reads as 0
  EXPECT_EQ(r.ReadInteger(), 100);
}

TEST_F(FieldReaderTest, FieldsThatAreNotNumbers) {
  auto r = Open("abc,12abc,0x10,1e999,5\n");
  EXPECT_EQ(FaultOf([&] { r.ReadInteger(); }), err::kTypeMismatch);
  EXPECT_EQ(FaultOf([&] { r.ReadInteger(); }), err::kTypeMismatch);
  EXPECT_EQ(FaultOf([&] { r.ReadInteger(); }), err::kTypeMismatch);
  EXPECT_EQ(FaultOf([&] { r.ReadInteger(); }), err::kOverflow);
  // A bad field is used up: reading goes on with the next one.
  EXPECT_EQ(r.ReadInteger(), 5);
}

TEST_F(FieldReaderTest, ReadingPastTheEndFaults) {
  auto r = Open("1,x\n\n  \n");
  EXPECT_EQ(r.ReadInteger(), 1);
  EXPECT_FALSE(r.AtEnd());
  EXPECT_EQ(r.ReadText(), "x");
  EXPECT_TRUE(r.AtEnd());  // only blank lines left
  EXPECT_EQ(FaultOf([&] { r.ReadText(); }), err::kInputPastEnd);
  EXPECT_EQ(FaultOf([&] { r.ReadInteger(); }), err::kInputPastEnd);

  auto empty = Open("");
  EXPECT_TRUE(empty.AtEnd());
  empty.SkipLine();  // nothing to skip: no fault
  EXPECT_EQ(FaultOf([&] { empty.ReadText(); }), err::kInputPastEnd);

  // A missing file opens nothing, and the earlier file's text is gone too.
  r = Open("old,content\n");
  EXPECT_FALSE(r.Open((dir_ / "missing.dat").string()));
  EXPECT_TRUE(r.AtEnd());
  EXPECT_EQ(FaultOf([&] { r.ReadText(); }), err::kInputPastEnd);
}

}  // namespace
}  // namespace ardo
