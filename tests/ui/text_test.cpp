// Full-width forms, the number format of the windows and character counting.
#include <gtest/gtest.h>

#include "ui/ui.h"

namespace ardo {
namespace {

TEST(ToFullWidth, AsciiLettersDigitsSymbolsAndSpace) {
  EXPECT_EQ(ToFullWidth("3"), "３");
  EXPECT_EQ(ToFullWidth("HP"), "ＨＰ");
  EXPECT_EQ(ToFullWidth("a-z!~"), "ａ\uFF0Dｚ！\uFF5E");
  EXPECT_EQ(ToFullWidth(" "), "\u3000");
  // Text that is full-width already, and markup, pass unchanged.
  EXPECT_EQ(ToFullWidth("お金：１０／￥▽"), "お金：１０／￥▽");
}

TEST(ToFullWidth, HalfWidthKatakanaWithVoicedMarks) {
  EXPECT_EQ(ToFullWidth("ｱｲｳｴｵﾝｰ"), "アイウエオンー");
  EXPECT_EQ(ToFullWidth("ｶﾞｷﾞﾀﾞﾂﾞﾄﾞ"), "ガギダヅド");
  EXPECT_EQ(ToFullWidth("ﾊﾞﾋﾟﾌﾞﾍﾟﾎﾞ"), "バピブペボ");
  EXPECT_EQ(ToFullWidth("ｳﾞ"), "ヴ");
  EXPECT_EQ(ToFullWidth("ｧｯｮ｡｢｣､･"), "ァッョ。「」、・");
  // A mark that cannot combine stays a mark of its own.
  EXPECT_EQ(ToFullWidth("ｱﾞﾅﾟﾟ"), "ア゛ナ゜゜");
  EXPECT_EQ(ToFullWidth("ﾞ"), "゛");
}

TEST(ToFullWidth, BrokenUtf8NeverReadsPastTheEnd) {
  const std::string cut = std::string("あ").substr(0, 2);
  EXPECT_FALSE(ToFullWidth(cut).empty());
  EXPECT_EQ(CharLength(cut), 2u);  // each stray byte counts as one character
}

TEST(NumberFormat, LeadingFullWidthSpaceOrMinus) {
  EXPECT_EQ(F(150), "\u3000１５０");
  EXPECT_EQ(F(0), "\u3000０");
  EXPECT_EQ(F(-5), "\uFF0D５");
  EXPECT_EQ(F(1000), "\u3000１０００");
  // The status window's maximum: the last four characters after "／".
  EXPECT_EQ(RightChars(F(150), 4), "\u3000１５０");
  EXPECT_EQ(RightChars(F(1000), 4), "１０００");
  EXPECT_EQ(RightChars(F(9999), 4), "９９９９");
  EXPECT_EQ(RightChars(F(3), 1), "３");
}

TEST(NumberFormat, CharactersAreCodePoints) {
  EXPECT_EQ(CharLength(""), 0u);
  EXPECT_EQ(CharLength("ＨＰ　："), 4u);
  EXPECT_EQ(CharLength(F(150)), 4u);
  EXPECT_EQ(RightChars("ab", 5), "ab");
  EXPECT_EQ(RightChars("レベル", 2), "ベル");
}

}  // namespace
}  // namespace ardo
