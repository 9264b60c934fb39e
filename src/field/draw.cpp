// The picture surfaces and the drawing of the field: back buffer, view, hero,
// fades and the map change.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <set>

#include "events/events.h"
#include "events/story.h"
#include "field/field.h"
#include "platform/blit.h"
#include "sound/sound.h"
#include "ui/ui.h"

namespace ardo {

using platform::Rop;

Surface picMain(360, 360);
Surface picBuff(408, 408);
Surface picFlash(360, 360);
Surface picMaptip(384, 384);
Surface picChr(192, 528, platform::Rgb(255, 255, 255));
Surface picMask(192, 528);
Surface picWaku(15, 15);
Surface picEnemy(300, 1508);
Surface picBtlChr(504, 260);
Surface picBtlBack(360, 360);
Surface picTitle(200, 84);
Surface picTitleBack(360, 360);
Surface picVeloLogo(130, 65);
std::shared_ptr<Surface> picMesBackground;

namespace {

// The largest sheet the game draws from (the enemies, 300 x 1508): a picture whose
// header claims more is refused before it is decoded.
constexpr int kLargestSheetSide = 1508;

// Loads one picture into a surface of the size the game expects. A missing picture
// leaves it blank (and is named in one line by LoadPictures); one that can't be read
// is logged with its name; a wrong size is said.
bool LoadInto(Surface& target, const char* file, int w, int h) {
  std::string error;
  const std::string path = GamePath(std::string("graphics/") + file);
  target = Surface(w, h, target.back_color());
  target.visible = false;
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return false;
  auto pic = platform::LoadPicture(path, &error, kLargestSheetSide);
  if (!pic) {
    Fault f = Fault::Of(err::kInvalidPicture);
    f.description += " (" + GameRelative(error) + ")";
    LogError("frmMain_Load", f);
    std::fprintf(stderr, "ardo: %s\n", error.c_str());
    return true;
  }
  if (pic->width() != w || pic->height() != h) {
    std::fprintf(stderr, "ardo: graphics/%s: expected %d x %d, found %d x %d\n", file, w, h, pic->width(),
                 pic->height());
  }
  target.BitBlt(0, 0, w, h, pic.get(), 0, 0, Rop::kSrcCopy);
  return true;
}

}  // namespace

void LoadPictures() {
  std::string missing;
  auto load = [&](Surface& target, const char* file, int w, int h) {
    if (!LoadInto(target, file, w, h)) missing += std::string(missing.empty() ? "" : ", ") + file;
  };
  load(picMaptip, "maptip.png", 384, 384);
  load(picChr, "chr.png", 192, 528);
  load(picMask, "chrmask.png", 192, 528);
  load(picWaku, "waku.png", 15, 15);
  load(picEnemy, "enemy.png", 300, 1508);
  load(picBtlChr, "btlchr.png", 504, 260);
  load(picBtlBack, "btlback.png", 360, 360);
  load(picTitle, "title.png", 200, 84);
  load(picTitleBack, "titlebg.png", 360, 360);
  load(picVeloLogo, "logo.png", 130, 65);
  auto bg = std::make_shared<Surface>(274, 116, platform::Rgb(0, 0, 128));
  load(*bg, "mesbg.png", 274, 116);
  picMesBackground = bg;
  if (!missing.empty()) {
    std::fprintf(stderr, "ardo: %s: no %s (drawn blank)\n", GamePath("graphics").c_str(), missing.c_str());
  }
}

namespace {

// What the back buffer shows: the tile in each of its cells (-1: not known), valid while
// picBuff and picMaptip are as BuffDraw left them. A step then scrolls the buffer and
// lays only the cells that differ, instead of all 289.
struct ShownTiles {
  static constexpr int kSide = 17;
  std::array<std::int16_t, kSide * kSide> tile{};
  int x = 0, y = 0;  // the hero's cell it was drawn round
  std::uint64_t buff_version = 0, sheet_version = 0;
  bool valid = false;

  std::int16_t& at(int i, int j) { return tile[static_cast<size_t>(j * kSide + i)]; }
};
ShownTiles g_shown;

bool OnMap(int x, int y) { return x >= 0 && y >= 0 && x <= MapWidth && y <= MapHeight; }

// Moves what the buffer shows by (dx, dy) cells (the hero moved that way), when the whole
// new buffer lies on the map; otherwise cells off the map must keep their old pictures in
// place, and only the cells already right are kept.
void ScrollShown(int dx, int dy) {
  const int T = TileSize, n = ShownTiles::kSide;
  const bool whole_on_map = OnMap(Player.x - 8, Player.y - 8) && OnMap(Player.x + 8, Player.y + 8);
  if (!whole_on_map) return;
  if (std::abs(dx) >= n || std::abs(dy) >= n) {  // nothing of the old buffer stays in view
    g_shown.tile.fill(-1);
    return;
  }
  picBuff.BitBlt(std::max(0, -dx) * T, std::max(0, -dy) * T, (n - std::abs(dx)) * T, (n - std::abs(dy)) * T,
                 &picBuff, std::max(0, dx) * T, std::max(0, dy) * T, Rop::kSrcCopy);
  ShownTiles moved = g_shown;
  for (int j = 0; j < n; ++j) {
    for (int i = 0; i < n; ++i) {
      const int fi = i + dx, fj = j + dy;
      moved.at(i, j) = fi >= 0 && fj >= 0 && fi < n && fj < n ? g_shown.at(fi, fj) : std::int16_t{-1};
    }
  }
  g_shown.tile = moved.tile;
}

}  // namespace

// The 17 x 17 tiles round the hero into the back buffer, a run of cells at a time;
// cells off the map keep what they had.
void BuffDraw() {
  Trap on("BuffDraw");
  on([] {
    const int T = TileSize;
    const bool valid = g_shown.valid && picBuff.version() == g_shown.buff_version &&
                       picMaptip.version() == g_shown.sheet_version &&
                       picBuff.width() == ShownTiles::kSide * T && picBuff.height() == ShownTiles::kSide * T;
    g_shown.valid = false;  // until the buffer is laid (a fault half-way leaves it unknown)
    if (!valid) {
      g_shown.tile.fill(-1);
    } else if (Player.x != g_shown.x || Player.y != g_shown.y) {
      ScrollShown(Player.x - g_shown.x, Player.y - g_shown.y);
    }
    // The cells on the map in any row: x from Player.x - 8 + first to Player.x - 8 + last.
    const int first = std::max(0, 8 - Player.x);
    const int last = std::min(16, MapWidth - Player.x + 8);
    std::array<int, 17> sx{}, sy{};
    for (int j = 0; first <= last && j < 17; ++j) {
      const int y = Player.y - 8 + j;
      if (y < 0 || y > MapHeight) continue;
      // Runs of cells that need their tile.
      int run = -1;
      for (int i = first; i <= last + 1; ++i) {
        bool lay = false;
        if (i <= last) {
          const Byte t = MapData(Player.x - 8 + i, y).tile;
          lay = g_shown.at(i, j) != t;
          if (lay) {
            sx[static_cast<size_t>(i)] = (t % 16) * T;
            sy[static_cast<size_t>(i)] = (t / 16) * T;
            g_shown.at(i, j) = t;
          }
        }
        if (lay && run < 0) run = i;
        if (!lay && run >= 0) {
          platform::LayTileRow(picBuff, run * T, j * T, T, picMaptip, &sx[static_cast<size_t>(run)],
                               &sy[static_cast<size_t>(run)], i - run);
          run = -1;
        }
      }
    }
    g_shown.x = Player.x;
    g_shown.y = Player.y;
    g_shown.buff_version = picBuff.version();
    g_shown.sheet_version = picMaptip.version();
    g_shown.valid = true;
  });
}

void DrawFigure(int sx, int sy, int dx, int dy, Byte attr) {
  const int T = TileSize;
  const int half = T / 2;
  if ((attr & (kAttrHideUpper | kAttrHideLower)) == 0) {
    platform::MaskedBlt(picMain, dx, dy, T, T, picMask, picChr, sx, sy);  // whole: one square drawn on
    return;
  }
  if ((attr & kAttrHideUpper) == 0) {
    platform::MaskedBlt(picMain, dx, dy, T, half, picMask, picChr, sx, sy);
  }
  if ((attr & kAttrHideLower) == 0) {
    platform::MaskedBlt(picMain, dx, dy + half, T, half, picMask, picChr, sx, sy + half);
  }
}

void PlayerDraw(int refresh) {
  Trap on("PlayerDraw");
  on([] {
    const int T = TileSize;
    const int sx = (AnimFrame + Player.dir * 2) * T;
    const int sy = Player.pid * T;
    DrawFigure(sx, sy, 7 * T, 7 * T, MapData(Player.x, Player.y).attr);
  });
  if (refresh != 0) RefreshScreen();
}

namespace {

// What the view was last drawn from by MapDraw: when nothing of it changed and nothing else
// drew on the view since, the view already shows the frame and is left as it is, so the
// frame is neither drawn nor composed again.
struct DrawnView {
  std::vector<std::uint64_t> from, now;
  std::uint64_t main_version = 0;
  bool valid = false;
};
DrawnView g_drawn;

void AddFigure(std::vector<std::uint64_t>& key, std::initializer_list<long long> values, int x, int y) {
  for (long long v : values) key.push_back(static_cast<std::uint64_t>(v));
  key.push_back(OnMap(x, y) ? MapData(x, y).attr : 0x100u);
}

}  // namespace

void MapDraw(int ox, int oy, int drawHero, int drawChars) {
  Trap on("MapDraw");
  const bool chars = drawChars != 0 && CharCount > 0;
  if (chars) on([] { ChrMove(); });  // moves them only: they are drawn below
  std::vector<std::uint64_t>& key = g_drawn.now;
  key.clear();
  for (long long v : {static_cast<long long>(ox), static_cast<long long>(oy), static_cast<long long>(drawHero),
                      static_cast<long long>(chars), static_cast<long long>(TileSize),
                      static_cast<long long>(AnimFrame), static_cast<long long>(StepOffset)}) {
    key.push_back(static_cast<std::uint64_t>(v));
  }
  key.insert(key.end(), {picBuff.version(), picChr.version(), picMask.version()});
  AddFigure(key, {Player.x, Player.y, Player.dx, Player.dy, Player.dir, Player.pid}, Player.x, Player.y);
  for (int i = 0; chars && i < CharCount; ++i) {
    const CharRecord& c = Chars(i);
    AddFigure(key, {c.x, c.y, c.dx, c.dy, c.step, c.dir, c.pic}, c.x, c.y);
  }
  if (g_drawn.valid && key == g_drawn.from && picMain.version() == g_drawn.main_version) return;
  g_drawn.valid = false;
  picMain.BitBlt(0, 0, picMain.width(), picMain.height(), &picBuff, ox + TileSize, oy + TileSize, Rop::kSrcCopy);
  if (drawHero != 0) on([] { PlayerDraw(0); });
  for (int i = 0; chars && i < CharCount; ++i) {
    on([&] { ChrDraw(i, Player.dx, Player.dy, 0); });
  }
  std::swap(g_drawn.from, g_drawn.now);
  g_drawn.main_version = picMain.version();
  g_drawn.valid = true;
}

void ScreenFade(int mode) {
  picBuff.BitBlt(0, 0, picMain.width(), picMain.height(), &picMain, 0, 0, Rop::kSrcCopy);
  const int steps = mode != 0 ? 27 : 10;
  for (int i = 0; i < steps; ++i) {
    int g = mode != 0 ? 10 * i : 180 - 20 * i;
    if (g > 255) g = 255;
    FramePace frame;
    picMain.BitBlt(0, 0, picMain.width(), picMain.height(), &picBuff, 0, 0, Rop::kSrcCopy);
    picFlash.SetBackColor(platform::Rgb(g, g, g));
    picMain.BitBlt(0, 0, picMain.width(), picMain.height(), &picFlash, 0, 0, Rop::kSrcAnd);
    RefreshScreen();
    frame.Finish(WalkWait, false);
  }
  if (!ReturnToTitle) BuffDraw();
}

void ChangeMap(const std::string& map, int x, int y, const std::string& bgm, int area) {
  ScreenFade(0);
  Player.dx = 0;
  Player.dy = 0;
  StepOffset = 0;
  if (BgmName != bgm) {
    CloseBgm();
    if (!bgm.empty()) {
      BgmName = bgm;
      PlayBgm(BgmName);
    }
  }
  if (map != MapName) {
    // A broken map or character file is logged, and the change still ends with the
    // hero placed and the view faded in, never on a black screen.
    Trap on("ChangeMap");
    on([&] { MapLoad(map); });
    on([&] { CharaSet(map); });
  }
  Player.x = CInt(x);
  Player.y = CInt(y);
  BuffDraw();
  MapDraw(0, 0, 1, 1);
  Flags(story::kAreaByte) = CByte(area);
  ScreenFade(1);
}

void ResetFieldState() {
  MapData.Clear();
  MapWidth = MapHeight = 0;
  MapName.clear();
  g_shown = ShownTiles{};
  g_drawn = DrawnView{};
  picMain = Surface(360, 360);
  picBuff = Surface(408, 408);
  picFlash = Surface(360, 360);
  picMaptip = Surface(384, 384);
  picChr = Surface(192, 528, platform::Rgb(255, 255, 255));
  picMask = Surface(192, 528);
  picWaku = Surface(15, 15);
  picEnemy = Surface(300, 1508);
  picBtlChr = Surface(504, 260);
  picBtlBack = Surface(360, 360);
  picTitle = Surface(200, 84);
  picTitleBack = Surface(360, 360);
  picVeloLogo = Surface(130, 65);
  picMesBackground.reset();
  ResetScreenState();
}

}  // namespace ardo
