// The autopilot's logbook and its report.
#include "drivers/logbook.h"

#include <chrono>
#include <cstdio>

#include "core/core.h"

namespace ardo::autopilot {

namespace {

std::string ChapterLine(const Tally& t) {
  char line[512];
  std::snprintf(line, sizeof line,
                "%-24s game %s  wall %6.1f s  steps %5ld  battles %3ld (won %3ld, ran %2ld)  deaths %ld  reloads %ld  "
                "level %d",
                t.name.c_str(), Clock(t.game_ms).c_str(), t.wall_s, t.steps, t.battles, t.won, t.ran, t.deaths,
                t.reloads, t.level);
  return line;
}

}  // namespace

std::string Clock(std::uint32_t ms) {
  char buf[32];
  const unsigned s = ms / 1000;
  std::snprintf(buf, sizeof buf, "%u:%02u:%02u", s / 3600, s / 60 % 60, s % 60);
  return buf;
}

double WallSeconds() {
  using clock = std::chrono::steady_clock;
  static const clock::time_point start = clock::now();
  return std::chrono::duration<double>(clock::now() - start).count();
}

void Logbook::TheEnd(int level, int gold) {
  ended_ = true;
  final_level_ = level;
  final_gold_ = gold;
}

int Logbook::Level() const { return ended_ ? final_level_ : Player.lv; }

void Logbook::EnterChapter(const std::string& name, std::uint32_t now) {
  if (current_ >= 0 && chapters_[static_cast<size_t>(current_)].name == name) return;
  LeaveChapter(now, true);
  size_t at = 0;
  while (at < chapters_.size() && chapters_[at].name != name) ++at;
  if (at == chapters_.size()) {
    chapters_.push_back(Tally{});
    chapters_.back().name = name;
    chapters_.back().arrival_level = Player.lv;
  }
  Resume(at, now);
  std::printf("autopilot: %s  chapter %s\n", Clock(now).c_str(), name.c_str());
}

void Logbook::Resume(size_t chapter, std::uint32_t now) {
  current_ = static_cast<int>(chapter);
  chapters_[chapter].game_start = now;
  chapters_[chapter].wall_start = WallSeconds();
}

void Logbook::LeaveChapter(std::uint32_t now, bool report) {
  if (current_ < 0) return;
  Tally& t = chapters_[static_cast<size_t>(current_)];
  t.game_ms += now - t.game_start;
  t.wall_s += WallSeconds() - t.wall_start;
  t.level = Level();
  current_ = -1;
  if (report) std::printf("autopilot: %s  end of chapter: %s\n", Clock(now).c_str(), ChapterLine(t).c_str());
}

void Logbook::ReturnTo(int chapter, std::uint32_t now) {
  if (current_ == chapter) return;
  LeaveChapter(now, false);
  if (chapter >= 0) Resume(static_cast<size_t>(chapter), now);
}

void Logbook::PrintSummary(std::uint32_t now, const std::string& route, bool novice,
                           const std::vector<int>& beaten) const {
  std::printf("autopilot: report (%s)\n", route.c_str());
  for (const Tally& t : chapters_) std::printf("autopilot:   %s\n", ChapterLine(t).c_str());
  std::printf(
      "autopilot:   total: game %s  wall %.1f s  steps %ld  battles %ld (won %ld, ran %ld)  deaths %ld  reloads %ld  "
      "level %d  gold %d\n",
      Clock(now).c_str(), WallSeconds(), total_.steps, total_.battles, total_.won, total_.ran, total_.deaths,
      total_.reloads, Level(), ended_ ? final_gold_ : static_cast<int>(Player.gold));
  std::printf("autopilot:   grinding: game %s (%.0f %% of the play)\n", Clock(grind_ms_).c_str(),
              now > 0 ? 100.0 * grind_ms_ / now : 0.0);
  if (novice) {
    for (const Tally& t : chapters_) {
      std::string falls;
      for (const std::string& f : t.falls) falls += (falls.empty() ? " at: " : "; ") + f;
      std::printf("autopilot:   novice %-24s arrived at level %2d  battles %3ld  game overs %ld%s\n", t.name.c_str(),
                  t.arrival_level, t.battles, t.deaths, falls.c_str());
    }
  }
  std::string list;
  for (int e : beaten) list += " " + std::to_string(e);
  std::printf("autopilot:   bosses beaten:%s\n", list.empty() ? " none" : list.c_str());
  std::fflush(stdout);
}

}  // namespace ardo::autopilot
