// The route reader: a goal a line, each checked as it is read.
#include "drivers/route.h"

#include <cstdint>

#include "drivers/script_lines.h"

namespace ardo::autopilot {

namespace {

bool ToInt(const std::string& s, int* v) {
  std::int64_t r = 0;
  if (!ParseInt(s, &r) || r < -1000000 || r > 1000000) return false;
  *v = static_cast<int>(r);
  return true;
}

}  // namespace

bool ParseRoute(const std::string& text, const std::string& name, std::vector<Goal>* goals, std::string* error) {
  ScriptLines lines(text, name);
  auto bad = [&](const std::string& why) { lines.Bad(why); };
  while (lines.Next()) {
    std::vector<std::string>& w = lines.words();
    Goal g;
    g.line = lines.number();
    g.text = lines.text();
    // Guards at the end: "if COND..." or "unless COND...".
    for (size_t i = 1; i < w.size(); ++i) {
      if (w[i] == "if" || w[i] == "unless") {
        std::vector<std::string> conds(w.begin() + static_cast<long>(i) + 1, w.end());
        if (conds.empty()) bad(w[i] + " needs a condition");
        (w[i] == "if" ? g.when : g.unless) = conds;
        w.resize(i);
        break;
      }
    }
    const std::string& op = w[0];
    auto cell = [&](size_t at) {
      if (w.size() != at + 3 || !ToInt(w[at + 1], &g.x) || !ToInt(w[at + 2], &g.y) || g.x < 0 || g.x > 255 ||
          g.y < 0 || g.y > 255) {
        bad(op + " takes MAP X Y");
        return;
      }
      g.map = w[at];
    };
    // Two numbers, x and y, in their ranges.
    auto two = [&](int x_lo, int x_hi, int y_lo, int y_hi) {
      return w.size() == 3 && ToInt(w[1], &g.x) && ToInt(w[2], &g.y) && g.x >= x_lo && g.x <= x_hi && g.y >= y_lo &&
             g.y <= y_hi;
    };
    // A name and a number x from 0 to hi.
    auto named = [&](int hi, std::string* name) {
      if (w.size() > 1) *name = w[1];
      return w.size() == 3 && ToInt(w[2], &g.x) && g.x >= 0 && g.x <= hi;
    };
    if (op == "chapter") {
      g.kind = GoalKind::kChapter;
      if (w.size() < 2) bad("chapter needs a name");
      for (size_t i = 1; i < w.size(); ++i) g.name += (i > 1 ? " " : "") + w[i];
    } else if (op == "go") {
      g.kind = GoalKind::kGo;
      cell(1);
    } else if (op == "touch") {
      g.kind = GoalKind::kTouch;
      cell(1);
    } else if (op == "talk") {
      g.kind = GoalKind::kTalk;
      if (!named(255, &g.map)) bad("talk takes MAP N");
    } else if (op == "keep") {
      g.kind = GoalKind::kKeep;
      if (!two(1, 255, 0, 15)) bad("keep takes ITEM COUNT (count 0 to 15)");
    } else if (op == "save") {
      g.kind = GoalKind::kSave;
      if (w.size() != 1) bad("save takes nothing");
    } else if (op == "boss") {
      g.kind = GoalKind::kBoss;
      if (!named(200, &g.name)) bad("boss takes NAME ENEMY");
    } else if (op == "expect") {
      g.kind = GoalKind::kExpect;
      g.conds.assign(w.begin() + 1, w.end());
      if (g.conds.empty()) bad("expect needs a condition");
    } else if (op == "grind") {
      g.kind = GoalKind::kGrind;
      if ((w.size() != 2 && w.size() != 5) || !ToInt(w[1], &g.x) || g.x < 1 || g.x > 99) {
        bad("grind takes LEVEL [MAP X Y]");
      } else if (w.size() == 5) {
        int lv = g.x;
        cell(2);
        g.y2 = g.y;
        g.x2 = g.x;
        g.x = lv;
      }
    } else if (op == "inn") {
      g.kind = GoalKind::kInn;
      cell(1);
    } else if (op == "gate") {
      g.kind = GoalKind::kGate;
      if (w.size() != 4 || !ToInt(w[2], &g.x) || !ToInt(w[3], &g.y) || g.y < 0 || g.y > 2047) {
        bad("gate takes MAP TALK FLAG");
      }
      if (w.size() > 1) g.map = w[1];
    } else if (op == "hint") {
      g.kind = GoalKind::kHint;
      if (!two(0, 200, 1, 3)) bad("hint takes ENEMY SPELL (spell 1 to 3)");
    } else if (op == "end") {
      g.kind = GoalKind::kEnd;
    } else {
      bad("unknown goal '" + op + "'");
    }
    goals->push_back(std::move(g));
  }
  if (!lines.errors().empty()) {
    *error = lines.errors();
    return false;
  }
  if (goals->empty()) {
    *error = name + ": the route is empty\n";
    return false;
  }
  return true;
}

}  // namespace ardo::autopilot
