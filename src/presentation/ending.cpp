// The ending: the last climb to the summit, the view dimmed under the ending
// narration, and the staff roll.
#include "core/core.h"
#include "events/events.h"
#include "ui/words.h"
#include "field/field.h"
#include "presentation/presentation.h"
#include "presentation/presentation_internal.h"
#include "sound/sound.h"
#include "ui/ui.h"

namespace ardo {

// Pages 1 to 7 of the staff roll: what really made this game. Lines are centred by
// their length in half-width characters, so every credit is plain ASCII; only the
// thanks at the end is a word of the language.
const std::vector<std::vector<StaffLine>>& StaffPages() {
  static std::vector<std::vector<StaffLine>> by_language[2];
  std::vector<std::vector<StaffLine>>& pages = by_language[GameLanguage() == Language::kEnglish ? 1 : 0];
  if (!pages.empty()) return pages;
  pages = {
      {{-20, "Scenario, Design, and Program", 2000}, {20, "The ardo project", 3500}},
      {{-50, "Music Composer", 0},
       {-40, "(Thanks to)", 0},
       {-20, "Scores: the ardo project", 0},
       {0, "FluidR3 GM soundfont (MIT)", 0},
       {10, "by Frank Wen", 0},
       {25, "FluidSynth, Ogg Vorbis", 3200}},
      {{-50, "Special Thanks to", 0},
       {-20, "IPA Fonts (IPA Font License v1.0)", 0},
       {0, "SDL 2 (zlib license)", 0},
       {10, "by Sam Lantinga and contributors", 0},
       {25, "SDL_image, SDL_ttf, SDL_mixer", 3200}},
      {{0, "Debian and the GNU Project", 0}, {20, "GoogleTest, nlohmann/json, CMake", 2300}},
      // A last thanks to the one who gave every tune its voice.
      {{0, "F.W.", 2800}},
      {{-20, "A N D", 2000}},
      {{-20, Word(Say::kStaffThanks), 3200}},
  };
  return pages;
}

namespace {

const Trap on("Ending");

struct RouteStep {
  int dx;
  int dy;
  int wait;  // ms after the step
};

// From (10, 25) of the summit to (13, 10), slowing down towards the top.
constexpr RouteStep kSummitRoute[] = {
    {0, -1, 400}, {0, -1, 400}, {0, -1, 400}, {0, -1, 400}, {1, 0, 400},  {0, -1, 400},
    {0, -1, 400}, {1, 0, 400},  {0, -1, 400}, {0, -1, 400}, {0, -1, 400}, {1, 0, 500},
    {0, -1, 500}, {0, -1, 600}, {0, -1, 700}, {0, -1, 800}, {0, -1, 900}, {0, -1, 1000},
};

// Writes one line centred the staff roll's way and shows it: six pixels a character,
// which is the 9-point credits' own width. English is centred by its drawn width, so
// the larger thanks on the last page stands in the middle too.
void WriteCentred(const std::string& text, int dy) {
  double width = static_cast<double>(CharLength(text)) * 6;
  if (const int drawn = picMain.TextWidth(text); GameLanguage() == Language::kEnglish && drawn > 0) width = drawn;
  const double x = picMain.width() / 2.0 - width / 2.0;
  picMain.TextOut(static_cast<int>(RoundHalfEven(x)), picMain.height() / 2 + dy, text);
  RefreshScreen();
}

void EndPage() {
  presentation::SetStaffPage(0);
  ScreenFade(0);
  Wait(1000);
}

}  // namespace

void Ending() {
  presentation::SceneGuard scene(Scene::kEnding);
  WalkWait = 24;
  for (int i = 0; i < 7; ++i) {
    PlayerMove(0, -1);
    Wait(200);
  }
  on([] { ChangeMap("last", 10, 25, "spring", 0); });
  Wait(400);
  for (const RouteStep& s : kSummitRoute) {
    PlayerMove(s.dx, s.dy);
    Wait(s.wait);
  }
  const int w = picMain.width();
  const int h = picMain.height();
  picBuff.BitBlt(0, 0, w, h, &picMain, 0, 0, platform::Rop::kSrcCopy);
  for (int c : {180, 160, 140}) {
    picMain.BitBlt(0, 0, w, h, &picBuff, 0, 0, platform::Rop::kSrcCopy);
    picFlash.SetBackColor(platform::Rgb(c, c, c));
    picMain.BitBlt(0, 0, w, h, &picFlash, 0, 0, platform::Rop::kSrcAnd);
    RefreshScreen();
    Wait(500);
  }
  picBuff.BitBlt(0, 0, w, h, &picMain, 0, 0, platform::Rop::kSrcCopy);
  Wait(2000);
  picMain.SetForeColor(platform::Rgb(255, 255, 255));
  EndingText();
  Wait(1500);
  StaffRoll();
  on([] { CloseBgm(); });
  picMain.SetForeColor(kViewGrey);
  ReturnToTitle = true;
}

void StaffRoll() {
  presentation::SceneGuard scene(Scene::kStaffRoll);
  ScreenFade(0);
  picMain.Clear();
  Wait(1000);
  int page = 0;
  for (const auto& lines : StaffPages()) {
    presentation::SetStaffPage(++page);
    for (const StaffLine& l : lines) {
      WriteCentred(l.text, l.dy);
      if (l.pause > 0) Wait(l.pause);
    }
    EndPage();
  }
  presentation::SetStaffPage(8);
  const platform::TextStyle saved = picMain.text_style();
  picMain.SetTextStyle(PointFont(11, saved.bold));
  WriteCentred(Word(Say::kStaffThanks), -30);
  Wait(3000);
  picMain.SetTextStyle(PointFont(8, saved.bold));
  std::vector<std::string> chars;
  for (const Utf8Char& c : Utf8Chars(Word(Say::kClosingLine))) chars.emplace_back(c.bytes);
  const int x = picMain.width() / 2 - 70;
  const int y = picMain.height() / 2 + 5;
  // Typed a character at a time; a space stays blank, each typed character stands after
  // as many blanks as came before it.
  const std::string blank = GameLanguage() == Language::kEnglish ? " " : "　";
  std::string blanks;
  for (size_t k = 0; k + 1 < chars.size(); ++k, blanks += blank) {
    if (chars[k] == blank) continue;  // the pause between the words
    picMain.TextOut(x, y, blanks + chars[k]);
    RefreshScreen();
    Wait(k + 2 == chars.size() ? 1500 : 500);
  }
  picMain.TextOut(x, y, blanks + chars.back());
  RefreshScreen();
  picMain.SetTextStyle(saved);
  Wait(20000);
  presentation::SetStaffPage(0);
  ScreenFade(0);
  on([] { CloseBgm(); });
}

}  // namespace ardo
