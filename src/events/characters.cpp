// The people of each map: loading them from data/chara.dat, their wandering and
// drawing, the hero's step test and the scripted hero step.
#include <cstdlib>

#include "debug/console.h"
#include "events/events.h"
#include "events/story.h"
#include "field/field.h"
#include "items/items.h"
#include "sound/sound.h"
#include "ui/ui.h"

namespace ardo {

VbArray<CharRecord, 0, 255> Chars;
Byte CharCount = 0;

namespace {

// Item that breaks brown rock, and the two rock tiles it breaks.
constexpr Byte kRockTile = 95;
constexpr Byte kRockTile2 = 111;

}  // namespace

// Turns character k toward the hero, draws the field, runs its conversation and turns
// it back: what the field loop does when the hero talks to someone.
void TalkFacingHero(int k) {
  const Byte saved = Chars(k).dir;
  Chars(k).dir = static_cast<Byte>(Player.dir - (Player.dir % 2) * 2 + 1);
  MapDraw(Player.dx * StepOffset, Player.dy * StepOffset, 1, 1);
  RefreshScreen();
  Talk(k);
  Chars(k).dir = saved;
}

void ArrivalTileEffects() {
  MapCell& cell = MapData(Player.x, Player.y);
  if (cell.tile == 90) {
    cell.tile = Player.dx != 0 ? 79 : 78;  // footprints in fresh snow
  } else if (cell.tile == 106 && Player.hp > 2) {
    HPadd(-2);  // the damaging floor never takes the last hit points
  }
}

namespace {
// The fault with the line of the table it came from, so the log says where.
Fault InPeopleFile(Fault f, int line) {
  f.description += std::string(" (") + kPeopleFile + " line " + std::to_string(line) + ")";
  return f;
}
}  // namespace

PeopleEntry ReadPeople(const std::string& map) {
  PeopleEntry e;
  const auto fail = [&e](Fault f) {
    e.failed = true;
    e.fault = std::move(f);
    return e;
  };
  FieldReader in;
  if (!in.Open(GamePath(kPeopleFile))) return fail(in.failure());
  if (in.AtEnd()) return fail(InPeopleFile(Fault::Of(err::kInputPastEnd), 1));
  in.SkipLine();
  std::string field;
  while (!e.found && in.Next(&field)) e.found = field == map;
  if (!e.found) return e;
  try {
    e.count = CByte(in.ReadInteger());
  } catch (const Fault& f) {
    e.count = -1;
    return fail(InPeopleFile(f, in.line()));
  }
  try {
    for (int i = 0; i < e.count; ++i) {
      PersonRecord p;
      p.talk = CByte(in.ReadInteger());
      p.x = CInt(in.ReadInteger());
      p.y = CInt(in.ReadInteger());
      p.pic = CInt(in.ReadInteger());
      p.dir = CByte(in.ReadInteger());
      p.walks = CByte(in.ReadInteger());
      in.ReadText();  // the author's note
      e.people.push_back(p);
    }
  } catch (const Fault& f) {
    return fail(InPeopleFile(f, in.line()));
  }
  return e;
}

void CharaSet(const std::string& map) {
  const PeopleEntry e = ReadPeople(map);
  if (e.found && e.count >= 0) {
    CharCount = static_cast<Byte>(e.people.size());
    for (size_t i = 0; i < e.people.size(); ++i) {
      const PersonRecord& p = e.people[i];
      CharRecord& c = Chars(static_cast<long long>(i));
      c.talk = p.talk;
      c.x = p.x;
      c.y = p.y;
      c.pic = p.pic;
      c.dir = p.dir;
      c.walks = p.walks;
      c.step = 0;
    }
  }
  if (e.failed) throw e.fault;
}

// One frame of wandering. A standing wanderer tries a step once in 50 frames on
// average; the target must be free of walls, the hero and every other character,
// whose x and y already hold the destination of a step under way, and must not be an
// exit cell: a wanderer standing in a doorway would block the way in or out.
void ChrMove() {
  Trap on("ChrMove");
  for (int i = 0; i < CharCount; ++i) {
    CharRecord& c = Chars(i);
    if (c.walks == 0) continue;
    if (c.step != 0) {
      on([&] { c.step = CInt(c.step + 1); });
      continue;
    }
    if (!(Rnd() < 0.02)) continue;
    const int r = static_cast<int>(4.0f * Rnd());
    switch (r) {
      case 0: c.dx = 0; c.dy = 1; c.dir = 0; break;
      case 1: c.dx = 0; c.dy = -1; c.dir = 1; break;
      case 2: c.dx = 1; c.dy = 0; c.dir = 3; break;
      case 3: c.dx = -1; c.dy = 0; c.dir = 2; break;
      default: break;
    }
    const int tx = c.x + c.dx;
    const int ty = c.y + c.dy;
    c.canMove = -1;
    for (int j = 0; j < CharCount; ++j) {
      if (Chars(j).x == tx && Chars(j).y == ty) c.canMove = 0;
    }
    on([&] {
      if ((MapData(tx, ty).attr & kAttrBlocked) != 0) c.canMove = 0;
    });
    if (Player.x == tx && Player.y == ty) c.canMove = 0;
    if (c.canMove != 0 && FindExit(MapName, tx, ty) != nullptr) c.canMove = 0;
    if (c.canMove != 0) {
      on([&] {
        c.x = CInt(tx);
        c.y = CInt(ty);
        c.step = CInt(-23 * std::abs(c.dx) - 23 * std::abs(c.dy));
      });
    }
  }
}

// Draws character i over the view: placed relative to the hero at the centre,
// following the view while the hero's step (pdx, pdy) is under way, and set back by
// its own step. The cell it stands on may hide either half. Anything outside the
// view is clipped by the surface.
void ChrDraw(int i, int pdx, int pdy, int refresh) {
  Trap on("ChrDraw");
  on([&] {
    const CharRecord& c = Chars(i);
    const int T = TileSize;
    const Integer x = CInt((c.x - Player.x + 7) * T - pdx * StepOffset + c.dx * c.step);
    const Integer y = CInt((c.y - Player.y + 7) * T - pdy * StepOffset + c.dy * c.step);
    const Integer sx = CInt((AnimFrame + c.dir * 2) * T);
    const Integer sy = CInt(c.pic * T);
    DrawFigure(sx, sy, x, y, MapData(c.x, c.y).attr);
  });
  if (refresh != 0) RefreshScreen();
}

// Turns the hero toward (dx, dy) and tries to move him one cell. Returns 0 when he
// moved, -1 when the cell is blocked, k + 1 when character k stands there.
int TryStep(int dx, int dy) {
  if (dy == 1) {
    Player.dir = 0;
  } else if (dy == -1) {
    Player.dir = 1;
  } else if (dx == 1) {
    Player.dir = 3;
  } else if (dx == -1) {
    Player.dir = 2;
  }
  const int tx = Player.x + dx;
  const int ty = Player.y + dy;
  MapCell& cell = MapData(tx, ty);
  if ((cell.attr & kAttrBlocked) != 0) {
    if ((cell.tile == kRockTile || cell.tile == kRockTile2) && ItemHave(story::kDrill) == 0) {
      cell.tile = static_cast<Byte>(cell.tile - 1);
      cell.attr = 0;
      PlaySe("heal", 1);
      Player.x = CInt(tx);
      Player.y = CInt(ty);
      return 0;
    }
    return -1;
  }
  for (int k = 0; k < CharCount; ++k) {
    if (Chars(k).x == tx && Chars(k).y == ty) return k + 1;
  }
  Player.x = CInt(tx);
  Player.y = CInt(ty);
  return 0;
}

void HandleStepResult(int r, const Trap& on) {
  if (r == 0) {
    on([] { BuffDraw(); });
    on([] { StepOffset = CInt(-TileSize); });
    on([] { Debugging(0); });
  } else if (r == -1) {
    on([] { MapDraw(Player.dx * StepOffset, Player.dy * StepOffset, 1, 1); });
    RefreshScreen();
    on([] { EventProc(Player.x + Player.dx, Player.y + Player.dy, true); });
  } else if (r > 0) {
    on([&] {
      if (Flag(story::kAutoTalk) == 1) TalkFacingHero(r - 1);
    });
  }
}

// One whole step of the hero for scripted scenes: the same 12 frames as a walked
// step, without input, arrival event, encounter or moving floor.
void PlayerMove(int dx, int dy) {
  Trap on("PlayerMove");
  on([] {
    if (picWindow(win::kSmallStatus).visible) {
      WinHide(win::kSmallStatus);
      AnimClock = 0;
    }
  });
  on([&] {
    Player.dx = CInt(dx);
    Player.dy = CInt(dy);
  });
  on([&] { HandleStepResult(TryStep(dx, dy), on); });
  while (StepOffset < 0) {
    FramePace frame;
    DoEvents();
    on([] { LoopBgm(); });
    on([&] {
      StepOffset = CInt(StepOffset + 2);
      MapDraw(dx * StepOffset, dy * StepOffset, 1, 1);
    });
    if (StepOffset >= 0) {
      on([] { ArrivalTileEffects(); });
    }
    on([&] { MapDraw(dx * StepOffset, dy * StepOffset, 1, 1); });
    RefreshScreen();
    frame.Finish(WalkWait);
  }
}

}  // namespace ardo
