// Field maps and drawing: map files and display names, the picture surfaces, the
// back buffer and the view, the hero's figure, fades and the map change.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "core/core.h"
#include "platform/surface.h"

namespace ardo {

struct MapCell {
  Byte tile = 0;
  Byte attr = 0;
};

// Attribute bits of a cell.
constexpr Byte kAttrBlocked = 1;
constexpr Byte kAttrHideUpper = 2;
constexpr Byte kAttrHideLower = 4;

// The map: a fixed 256 x 256 grid, of which MapWidth x MapHeight is loaded.
class MapGrid {
 public:
  MapCell& operator()(long long x, long long y);
  const MapCell& operator()(long long x, long long y) const;
  void Clear();

 private:
  std::array<MapCell, 256 * 256> cells_{};
};

extern MapGrid MapData;
extern Byte MapWidth;
extern Byte MapHeight;
extern std::string MapName;

// A map file as it lies in the game folder, map/NAME.map: a 16-byte header whose first
// two bytes are the width and the height, then two bytes a cell (tile, attributes),
// column by column. Reading it needs nothing of the game's state.
struct MapFile {
  FileStatus status = FileStatus::kMissing;
  std::string why;         // what went wrong, when status is not kOk
  std::size_t bytes = 0;   // the file's length
  int width = 0;           // from the header; 0 when the file is too short to have one
  int height = 0;
  std::vector<MapCell> cells;  // cell (x, y) at x * height + y; fewer than width x height when the file is short

  bool has_size() const { return bytes >= 2; }
  bool complete() const { return cells.size() == static_cast<std::size_t>(width) * static_cast<std::size_t>(height); }
  // Cell (x, y) as the file has it; null outside the map or past the file's end.
  const MapCell* cell(int x, int y) const;
};
// The file of map `name`, relative to the game folder ("map/NAME.map").
std::string MapFileName(const std::string& name);
MapFile ReadMapFile(const std::string& name);

void MapLoad(const std::string& name);
std::string MapTitle(const std::string& name);
// The title of every map.
std::vector<std::string> MapTitles();
// Can the hero be put on cell (x, y) of the map file `name`? False, with the reason, for
// a cell outside the map or a wall (no step could ever lead there). A map file that can't
// be read is not judged here (true): loading it reports that.
bool CellToStandOn(const std::string& name, int x, int y, std::string* why);

// Picture surfaces of the main window.
using platform::Surface;
extern Surface picMain;     // the visible field view, 360 x 360
extern Surface picBuff;     // back buffer, 408 x 408, hidden
extern Surface picFlash;    // fade surface, 360 x 360, hidden
extern Surface picMaptip;   // tile sheet
extern Surface picChr;      // figure sheet
extern Surface picMask;     // figure mask sheet
extern Surface picWaku;     // window frame pieces
extern Surface picEnemy;    // enemy pictures
extern Surface picBtlChr;   // battle effect pictures
extern Surface picBtlBack;  // battle background
extern Surface picTitle;    // title picture
extern Surface picTitleBack;  // the title screen's backdrop, 360 x 360
extern Surface picVeloLogo; // studio logo
extern std::shared_ptr<Surface> picMesBackground;  // the message window's background picture

// The view's own text (captions, narrations, battle numbers): grey, 9 point regular.
constexpr platform::Color kViewGrey = platform::Rgb(128, 128, 128);
// A font size in points as the surfaces draw it (96 dots an inch: 9 pt is 12 px, 12 pt 16 px).
constexpr platform::TextStyle PointFont(int points, bool bold) { return {(points * 4 + 1) / 3, bold}; }

// Loads the art from the game folder's graphics/; a missing picture is logged and
// left blank, never fatal.
void LoadPictures();

// The battle backdrop of a map: the picture data/backdrop.dat gives it (a file in
// graphics/), or kDefaultBackdrop for a map the table does not name.
inline constexpr const char* kDefaultBackdrop = "btlback.png";
std::string BattleBackdrop(const std::string& map);
// Puts the backdrop of `map` into picBtlBack (reading it only when it changes); a picture
// that is missing, unreadable or of the wrong size is logged and the default one is used.
void LoadBattleBackdrop(const std::string& map);

void BuffDraw();
void MapDraw(int ox, int oy, int drawHero, int drawChars);
void PlayerDraw(int refresh);
void ScreenFade(int mode);
void ChangeMap(const std::string& map, int x, int y, const std::string& bgm, int area);

// Masked figure drawing shared by the hero and the characters: the two 24 x 12 halves
// of figure cell (sx, sy) at (dx, dy), each suppressed by the attr bits 2 and 4.
void DrawFigure(int sx, int sy, int dx, int dy, Byte attr);

// The main window round the field view (field/screen.cpp).
void ScreenLoad();      // its first showing: the view's surfaces, the caption, the pictures
bool ScreenLoaded();
void ToggleFullScreen();
void SetFullScreen();
void SetWindowed();
// Composes the visible frame as the player sees it now.
void ComposeScreen(platform::Surface* out);
// The frame presenter for the event point: shows the frame on a real display when it changed.
void PresentScreen(bool refreshed);

// Back to the start-up state: the map, the surfaces (pictures unloaded) and the main window.
void ResetFieldState();
void ResetScreenState();

}  // namespace ardo
