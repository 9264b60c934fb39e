// The message window: line breaks, scrolling, the prompt and its buttons, the
// full-width text and the low-HP red.
#include <algorithm>
#include <fstream>

#include "support/ui_fixture.h"

namespace ardo::testing {
namespace {

class MessageTest : public UiTest {
 protected:
  static const platform::Surface& Win() { return picWindow(0); }
  static bool MarkShown() { return Ink(Win(), 129, 90, 17, 20) + Ink(Win(), 129, 90, 17, 20, kRed) > 0; }

  // A copy of window 0 taken at the first event point of the k-th prompt wait.
  void CapturePrompt(int k, platform::Surface* out) {
    probe = [this, k, out, waits = 0, was = false]() mutable {
      const bool now_waiting = MessageWaiting();
      if (now_waiting && !was && ++waits == k) *out = Win();
      was = now_waiting;
    };
  }
};

TEST_F(MessageTest, FullLineFollowedByABreakLeavesAnEmptyLine) {
  for (const std::string mark : {"／", "￥"}) {
    if (mark == "￥") Answer();
    ASSERT_TRUE(Run([&] { Message("あいうえおかきくけこさしすせそ" + mark + "た"); })) << mark;
    EXPECT_TRUE(Glyph(Win(), 248, 10, "そ")) << mark;
    EXPECT_EQ(Ink(Win(), 0, 30, Win().width(), 20), 0) << mark << ": the second line stays empty";
    EXPECT_TRUE(Glyph(Win(), 10, 50, "た")) << mark;
  }
  // One character short of a full line, the break only ends the line.
  ASSERT_TRUE(Run([] { Message("あいうえおかきくけこさしすせ／た"); }));
  EXPECT_TRUE(Glyph(Win(), 10, 30, "た"));
}

TEST_F(MessageTest, TheSixthLineScrollsAndEveryFurtherLineAgain) {
  ASSERT_TRUE(Run([] { Message("１／２／３／４／５／６"); }));
  const char* six[] = {"２", "３", "４", "５", "６"};
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(Glyph(Win(), 10, 10 + 20 * i, six[i]));

  ASSERT_TRUE(Run([] { Message("１／２／３／４／５／６／７"); }));
  EXPECT_TRUE(Glyph(Win(), 10, 10, "３"));
  EXPECT_TRUE(Glyph(Win(), 10, 90, "７"));
  // The frame is still there after the scroll.
  EXPECT_EQ(Win().At(0, 0), picWaku.At(0, 0));
  EXPECT_EQ(Win().At(274, 114), picWaku.At(14, 14));
}

TEST_F(MessageTest, AWaitOnTheFifthLineScrollsFirstThenPromptsOnTheBlankLine) {
  platform::Surface at_prompt;
  CapturePrompt(1, &at_prompt);
  Answer();
  ASSERT_TRUE(Run([] { Message("１／２／３／４／５￥６"); }));
  ASSERT_FALSE(at_prompt.empty());
  EXPECT_TRUE(Glyph(at_prompt, 10, 10, "２"));
  EXPECT_TRUE(Glyph(at_prompt, 10, 70, "５"));
  EXPECT_EQ(Ink(at_prompt, 10, 90, 100, 20), 0);
  EXPECT_TRUE(Glyph(at_prompt, 129, 90, "▽"));
  // The answer erases the mark; the text goes on on the new line.
  EXPECT_FALSE(MarkShown());
  EXPECT_TRUE(Glyph(Win(), 10, 90, "６"));
}

TEST_F(MessageTest, ThePromptIsAlwaysAtTheMiddleOfTheBottomLine) {
  for (const std::string text : {"あ￥", "あいうえおかきくけこさしすせそ／あ／あ￥", "あ／い／う／え／お／か￥"}) {
    platform::Surface at_prompt;
    CapturePrompt(1, &at_prompt);
    Answer();
    ASSERT_TRUE(Run([&] { Message(text); })) << text;
    ASSERT_FALSE(at_prompt.empty()) << text;
    EXPECT_TRUE(Glyph(at_prompt, 129, 90, "▽")) << text;
  }
}

TEST_F(MessageTest, TheBlinkRunsOnFromOnePromptToTheNext) {
  // Answer the first prompt while the mark is off; the second prompt then starts off too.
  Press('X', [] { return MessageWaiting() && !MarkShown(); });
  std::vector<bool> first_pass_shown;
  probe = [&, was = false]() mutable {
    const bool now_waiting = MessageWaiting();
    if (now_waiting && !was) first_pass_shown.push_back(MarkShown());
    was = now_waiting;
  };
  Answer();
  ASSERT_TRUE(Run([] { Message("あ￥い￥"); }));
  ASSERT_EQ(first_pass_shown.size(), 2u);
  EXPECT_TRUE(first_pass_shown[0]);
  EXPECT_FALSE(first_pass_shown[1]);
}

TEST_F(MessageTest, ButtonsOneAndTwoAnswerButNotThreeNorOneWithTwo) {
  control().SetPad(true, 32767, 32767, 0);
  JoyInit();
  // C (button 3) and Z with the pad's button 2 (1 | 2 = 3) are held long, and
  // ignored; the pad's button 1 answers the first prompt, Enter the second.
  Press(Step{{'C'}, 0, [] { return MessageWaiting(); }, 300});
  Press(Step{{'Z'}, 2, [] { return MessageWaiting(); }, 300});
  Press(Step{{}, 1, [] { return MessageWaiting(); }, 40});
  Press(platform::vk::kReturn, [] { return MessageWaiting(); });
  ASSERT_TRUE(Run([] { Message("あ￥い￥う"); }));
  EXPECT_EQ(MessageShown(), "あいう");
  const auto& sounds = audio().state().sounds;
  EXPECT_EQ(std::count_if(sounds.begin(), sounds.end(),
                          [](const std::string& s) { return s.ends_with("/pi.wav"); }),
            2);
}

TEST_F(MessageTest, TypesOneCharacterAndOneScrollStepPerMessageWait) {
  for (Integer wait : {32, 16}) {
    MessageWait = wait;
    const auto t0 = now();
    ASSERT_TRUE(Run([] { Message("１／２／３／４／５／６"); }));
    // Eleven characters (breaks included) and ten scroll steps.
    EXPECT_EQ(now() - t0, 21u * wait);
  }
}

TEST_F(MessageTest, TextIsDrawnFullWidthAndShownWithoutMarkup) {
  ASSERT_TRUE(Run([] { Message("HP3／ｶﾞ"); }));
  EXPECT_TRUE(Glyph(Win(), 10, 10, "Ｈ"));
  EXPECT_TRUE(Glyph(Win(), 27, 10, "Ｐ"));
  EXPECT_TRUE(Glyph(Win(), 44, 10, "３"));
  // One character at a time: the half-width voiced mark is a character of its own.
  EXPECT_TRUE(Glyph(Win(), 10, 30, "カ"));
  EXPECT_TRUE(Glyph(Win(), 27, 30, "゛"));
  EXPECT_EQ(MessageShown(), "HP3ｶﾞ");

  ASSERT_TRUE(Run([] { Message(""); }));
  EXPECT_TRUE(Win().visible);
  EXPECT_EQ(MessageShown(), "");
  EXPECT_EQ(Ink(Win(), 0, 0, 275, 115), 0);
}

TEST_F(MessageTest, EnglishIsTypedHalfWidthAndWrapsAtSpaces) {
  SetGameLanguage(Language::kEnglish);
  Answer();
  ASSERT_TRUE(Run([] { Message("Hello there, traveller. Welcome to our little village!￥Bye."); }));
  SetGameLanguage(Language::kJapanese);
  // Two letters to a full-width cell, as the font writes them in its regular weight;
  // "Welcome" did not fit the first line, and the second is a full line of 30.
  const auto letters = [](int x, int y, const std::string& two) {
    platform::Surface ref(24, 24, 0);
    ref.SetForeColor(kSilver);
    ref.SetTextStyle(platform::TextStyle{16, false});
    ref.TextOut(0, 0, two);
    int differ = 0;
    for (int dy = 0; dy < 20; ++dy) {
      for (int dx = 0; dx < 16; ++dx) differ += (ref.At(dx, dy) == kSilver) != (Win().At(x + dx, y + dy) == kSilver);
    }
    return differ;
  };
  EXPECT_EQ(letters(10, 10, "He"), 0);
  EXPECT_EQ(letters(10, 30, "We"), 0);
  EXPECT_EQ(letters(10 + 8 * 28, 30, "e!"), 0);
  EXPECT_EQ(letters(10, 50, "By"), 0);
  EXPECT_EQ(MessageShown(), "Hello there, traveller. Welcome to our little village!Bye.");
}

TEST(WrapMessage, WrapsAtSpacesAndCutsOnlyWordsLongerThanALine) {
  using End = MessageLine::End;
  struct Line {
    std::string text;
    End end;
    bool cut = false;
  };
  const std::string full = "abcdefghij abcdefghij abcdefgh";  // exactly 30 letters
  const std::string long_word(35, 'x');
  const struct {
    std::string text;
    std::vector<Line> lines;
  } cases[] = {
      {full + "／x￥", {{full, End::kBreak}, {"x", End::kWait}}},
      {full + " next", {{full, End::kWrap}, {"next", End::kEnd}}},
      {"Hi " + long_word, {{"Hi", End::kWrap}, {long_word.substr(0, 30), End::kWrap, true}, {"xxxxx", End::kEnd}}},
      {"A／／B￥", {{"A", End::kBreak}, {"", End::kBreak}, {"B", End::kWait}}},
      {"  spaced   out ￥", {{"spaced out", End::kWait}}},
  };
  for (const auto& c : cases) {
    const std::vector<MessageLine> got = WrapMessage(c.text);
    ASSERT_EQ(got.size(), c.lines.size()) << c.text;
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].text, c.lines[i].text) << c.text << " line " << i;
      EXPECT_EQ(got[i].end, c.lines[i].end) << c.text << " line " << i;
      EXPECT_EQ(got[i].cut, c.lines[i].cut) << c.text << " line " << i;
    }
  }
  EXPECT_EQ(WrapMessage(full + " next")[1].start, 31u) << "where the line starts in the text";
}

TEST_F(MessageTest, RedBelowAFifthOfTheHitPointsAndSilverAfterwards) {
  Player.mhp = 150;
  Player.hp = 29;
  platform::Surface at_prompt;
  CapturePrompt(1, &at_prompt);
  Answer();
  ASSERT_TRUE(Run([] { Message("あ￥"); }));
  EXPECT_TRUE(Glyph(Win(), 10, 10, "あ", kRed));
  EXPECT_TRUE(Glyph(at_prompt, 129, 90, "▽", kRed));
  for (int n = 0; n <= 17; ++n) EXPECT_EQ(picWindow(n).fore_color(), kSilver) << n;

  Player.hp = 30;  // exactly a fifth is not below it
  ASSERT_TRUE(Run([] { Message("あ"); }));
  EXPECT_TRUE(Glyph(Win(), 10, 10, "あ", kSilver));
}

TEST_F(MessageTest, WorksWithoutTheWindowArt) {
  UseScratchFolder();  // no graphics/ at all
  LoadPictures();
  WinSet();
  Answer();
  ASSERT_TRUE(Run([] { Message("１／２／３／４／５／６￥７"); }));
  EXPECT_TRUE(Glyph(Win(), 10, 10, "３"));
  EXPECT_TRUE(Glyph(Win(), 10, 90, "７"));
  EXPECT_EQ(Win().At(137, 60), kNavy);
}

// The resident memory of the process, in kB.
long ResidentKb() {
  std::ifstream in("/proc/self/status");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return 0;
}

// A long text is typed from where it stands: nothing the size of the text (let alone
// many times it) is made before its first character shows.
TEST_F(MessageTest, ALongTextCostsNoMoreMemoryThanItself) {
  const std::string text(4 << 20, 'a');
  long grew = -1;
  const long before = ResidentKb();
  probe = [&] {
    if (grew >= 0) return;
    grew = ResidentKb() - before;
    GameRunning = false;  // seen enough: the first character is out
  };
  (void)Run([&] { Message(text); });
  ASSERT_GE(grew, 0);
  EXPECT_LT(grew, 2 * 4096) << "kB for a text of 4096 kB";
}

}  // namespace
}  // namespace ardo::testing
