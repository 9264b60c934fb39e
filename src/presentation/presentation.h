// Presentation: the studio logo, the title screen and its menu, the opening and demo
// narrations, the ending walk with its narration, and the staff roll.
#pragma once

#include <string>
#include <vector>

namespace ardo {

// The whole title flow: the logo, the title screen with its menu, the demo when left
// alone, the opening of a new game. Returns when a game has been placed on its map
// (new or loaded), or when the player chose to quit (GameRunning is then False).
void Title();
void TitleLogo();
// The narrations. mode 0: on black after a fade, held "up" slows it, a held button
// speeds it up, it cannot be skipped. mode -1: over the title picture, any button ends it.
void OpeningText(int mode);
void DemoText(int mode);

// Starts a new game at once (the hero as new, the home village and its music): what
// "初めから" does after the opening, for players who skip logo, title and opening.
void NewGame();

// The end of the story: the walk to the summit, the dimmed view with the ending
// narration over it, the staff roll. Leaves ReturnToTitle True (the title comes back).
void Ending();
void EndingText();
void StaffRoll();

// What the presentation is showing, for the harness and the tests.
enum class Scene {
  kField,            // none of the below: the game itself
  kLogo,             // the studio logo
  kTitle,            // the title screen and its menu
  kOpening,          // the opening narration of a new game
  kDemo,             // the demo narration over the title picture
  kEnding,           // the ending walk and the dimming of the view
  kEndingNarration,  // the ending narration
  kStaffRoll,        // the staff roll
};
Scene CurrentScene();
// "field", "logo", "title", "opening", "demo", "ending", "ending_narration", "staff".
const char* SceneName(Scene scene);
// The staff page being shown (1 to 8), 0 outside the staff roll and between its pages.
int StaffPage();
// The scroll of the narration running now: the entry in the top row (from 1) and the
// pixels it has moved up (0 to 30); both 0 when no narration runs.
struct ScrollPosition {
  int top = 0;
  int off = 0;
};
ScrollPosition NarrationScroll();

// The narration scripts as the game folder holds them (narration/NAME.txt): one text
// a row, most of them empty. A missing or broken file is logged under `source` and
// leaves the rows it could not fill empty.
std::vector<std::string> LoadNarration(const std::string& name, int entries, const char* source);
// One script's text read into its rows, and what could not be read: the file's line
// number and the fault (13: not a row number and its text; 9: a row past `entries`).
struct NarrationScript {
  std::vector<std::string> rows;
  std::vector<int> lines;  // the file line of each row (0: not written)
  std::vector<std::pair<int, int>> faults;
};
NarrationScript ParseNarration(const std::string& bytes, int entries);
// The width of a row in half-width cells (a full-width character takes two). The view
// writes rows from x = 40 in a 12 pixel font: kNarrationRowCells fit.
int NarrationRowCells(const std::string& row);
constexpr int kNarrationRowCells = 46;
// Each script with its size and last starting row, for the build's check.
struct NarrationShape {
  const char* name;
  int entries;
  int last_start;
};
// The scripts' sizes and the last row each scroll starts from.
constexpr int kOpeningEntries = 101;
constexpr int kOpeningLastStart = 70;
constexpr int kDemoEntries = 201;
constexpr int kDemoLastStart = 107;
constexpr int kEndingEntries = 126;
constexpr int kEndingLastStart = 101;
constexpr NarrationShape kNarrations[] = {
    {"opening", kOpeningEntries, kOpeningLastStart},
    {"demo", kDemoEntries, kDemoLastStart},
    {"ending", kEndingEntries, kEndingLastStart},
};

// The staff roll's pages (the studio's name under its logo is the word Say::kStudio).
struct StaffLine {
  int dy;             // from the middle of the view
  std::string text;
  int pause;          // ms to wait after writing it (0: write the next line at once)
};
const std::vector<std::vector<StaffLine>>& StaffPages();  // pages 1 to 7, in the game's language
// The closing line of page 8 is the word Say::kClosingLine, typed a character at a time.

}  // namespace ardo
