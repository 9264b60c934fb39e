// The autopilot's logbook: what was played, chapter by chapter, and the report of it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ardo::autopilot {

// Game time as H:MM:SS.
std::string Clock(std::uint32_t ms);
// Seconds of wall time since the first call.
double WallSeconds();

// One chapter's counts. A reload of a save from an earlier chapter takes the play back to
// that chapter, so a chapter may be played in several stretches: its times add up.
struct Tally {
  std::string name;
  std::uint32_t game_start = 0;  // of the stretch under way
  double wall_start = 0;
  std::uint32_t game_ms = 0;  // of the stretches before it
  double wall_s = 0;
  long steps = 0, battles = 0, won = 0, ran = 0, deaths = 0, reloads = 0;
  int level = 0;                   // when it was last left
  int arrival_level = 0;           // when it was first entered
  std::vector<std::string> falls;  // where the hero fell in it
};

class Logbook {
 public:
  // One more of a count (&Tally::steps, ...), for the chapter under way and the whole play.
  void Add(long Tally::*count) {
    ++(Current().*count);
    ++(total_.*count);
  }
  // Where the hero fell, in the chapter under way.
  void Fell(const std::string& where) { Current().falls.push_back(where); }
  void AddGrinding(std::uint32_t ms) { grind_ms_ += ms; }
  // The hero as the game ends: the title that follows starts from a new game's.
  void TheEnd(int level, int gold);

  // A chapter goal: a new chapter, or (played again after a reload) the same one again.
  void EnterChapter(const std::string& name, std::uint32_t now);
  void LeaveChapter(std::uint32_t now, bool report);
  // The chapter under way (-1: none yet), and back to one after a reload.
  int chapter() const { return current_; }
  void ReturnTo(int chapter, std::uint32_t now);

  // The report: every chapter, the totals, the grinding, the bosses beaten (and the
  // novice's arrivals and falls).
  void PrintSummary(std::uint32_t now, const std::string& route, bool novice, const std::vector<int>& beaten) const;

 private:
  // The counts go to the chapter under way; before the first one, nowhere in particular.
  Tally& Current() { return current_ >= 0 ? chapters_[static_cast<size_t>(current_)] : loose_; }
  void Resume(size_t chapter, std::uint32_t now);
  int Level() const;

  std::vector<Tally> chapters_;  // in the order they were first played
  int current_ = -1;             // the one under way
  Tally loose_, total_;
  std::uint32_t grind_ms_ = 0;
  bool ended_ = false;
  int final_level_ = 0, final_gold_ = 0;
};

}  // namespace ardo::autopilot
