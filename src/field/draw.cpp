// The picture surfaces and the drawing of the field: back buffer, view, hero,
// fades and the map change.
#include <cstdio>
#include <set>

#include "events/events.h"
#include "field/field.h"
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
Surface picVeloLogo(130, 65);
std::shared_ptr<Surface> picMesBackground;

namespace {

// Loads one picture into a surface of the size the game expects; a missing or
// wrong-sized file is said once and leaves a blank picture.
void LoadInto(Surface& target, const char* file, int w, int h) {
  std::string error;
  auto pic = platform::LoadPicture(GamePath(std::string("graphics/") + file), &error);
  target = Surface(w, h, target.back_color());
  target.visible = false;
  if (!pic) {
    std::fprintf(stderr, "ardo: %s\n", error.c_str());
    return;
  }
  if (pic->width() != w || pic->height() != h) {
    std::fprintf(stderr, "ardo: graphics/%s: expected %d x %d, found %d x %d\n", file, w, h, pic->width(),
                 pic->height());
  }
  target.BitBlt(0, 0, w, h, pic.get(), 0, 0, Rop::kSrcCopy);
}

}  // namespace

void LoadPictures() {
  LoadInto(picMaptip, "maptip.png", 384, 384);
  LoadInto(picChr, "chr.png", 192, 528);
  LoadInto(picMask, "chrmask.png", 192, 528);
  LoadInto(picWaku, "waku.png", 15, 15);
  LoadInto(picEnemy, "enemy.png", 300, 1508);
  LoadInto(picBtlChr, "btlchr.png", 504, 260);
  LoadInto(picBtlBack, "btlback.png", 360, 360);
  LoadInto(picTitle, "title.png", 200, 84);
  LoadInto(picVeloLogo, "logo.png", 130, 65);
  auto bg = std::make_shared<Surface>(274, 116, platform::Rgb(0, 0, 128));
  LoadInto(*bg, "mesbg.png", 274, 116);
  picMesBackground = bg;
}

void BuffDraw() {
  Trap on("BuffDraw");
  const int T = TileSize;
  for (int x = Player.x - 8; x <= Player.x + 8; ++x) {
    for (int y = Player.y - 8; y <= Player.y + 8; ++y) {
      if (x < 0 || y < 0 || x > MapWidth || y > MapHeight) continue;
      on([&] {
        const Byte t = MapData(x, y).tile;
        picBuff.BitBlt((x - Player.x + 8) * T, (y - Player.y + 8) * T, T, T, &picMaptip, (t % 16) * T, (t / 16) * T,
                       Rop::kSrcCopy);
      });
    }
  }
}

void DrawFigure(int sx, int sy, int dx, int dy, Byte attr) {
  const int T = TileSize;
  const int half = T / 2;
  if ((attr & kAttrHideUpper) == 0) {
    picMain.BitBlt(dx, dy, T, half, &picMask, sx, sy, Rop::kSrcPaint);
    picMain.BitBlt(dx, dy, T, half, &picChr, sx, sy, Rop::kSrcAnd);
  }
  if ((attr & kAttrHideLower) == 0) {
    picMain.BitBlt(dx, dy + half, T, half, &picMask, sx, sy + half, Rop::kSrcPaint);
    picMain.BitBlt(dx, dy + half, T, half, &picChr, sx, sy + half, Rop::kSrcAnd);
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

void MapDraw(int ox, int oy, int drawHero, int drawChars) {
  Trap on("MapDraw");
  picMain.BitBlt(0, 0, picMain.width(), picMain.height(), &picBuff, ox + TileSize, oy + TileSize, Rop::kSrcCopy);
  if (drawHero != 0) on([] { PlayerDraw(0); });
  if (drawChars != 0 && CharCount > 0) {
    on([] { ChrMove(); });
    for (int i = 0; i < CharCount; ++i) {
      on([&] { ChrDraw(i, Player.dx, Player.dy, 0); });
    }
  }
}

void ScreenFade(int mode) {
  auto& p = platform::GetPlatform();
  picBuff.BitBlt(0, 0, picMain.width(), picMain.height(), &picMain, 0, 0, Rop::kSrcCopy);
  const int steps = mode != 0 ? 27 : 10;
  for (int i = 0; i < steps; ++i) {
    int g = mode != 0 ? 10 * i : 180 - 20 * i;
    if (g > 255) g = 255;
    const std::uint32_t t0 = p.TimeGetTime();
    picMain.BitBlt(0, 0, picMain.width(), picMain.height(), &picBuff, 0, 0, Rop::kSrcCopy);
    picFlash.SetBackColor(platform::Rgb(g, g, g));
    picMain.BitBlt(0, 0, picMain.width(), picMain.height(), &picFlash, 0, 0, Rop::kSrcAnd);
    RefreshScreen();
    Wait(WalkWait - static_cast<long>(p.TimeGetTime() - t0));
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
  Flags(1) = CByte(area);
  ScreenFade(1);
}

}  // namespace ardo
