// The music macro language compiler: MML text in, Standard MIDI File out.
// The dialect is described in assets/music/MML.md.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ardo::mml {

constexpr int kDivision = 480;          // ticks per quarter note
constexpr int kWhole = 4 * kDivision;   // ticks per whole note

struct TrackEvent {
  std::int64_t tick;
  int order;   // 0 note-off, 1 control/program, 2 note-on: same-tick order
  int seq;     // source order within a class
  std::uint8_t bytes[3];
  int size;
};

struct Track {
  char letter;
  int channel;        // 1..16
  int notes = 0;      // note-ons written
  std::int64_t end_tick = 0;
  std::vector<TrackEvent> events;  // sorted
};

struct TempoChange {
  std::int64_t tick;
  int bpm;
};

struct Song {
  std::string title;
  bool has_title = false;
  std::vector<TempoChange> tempos;  // sorted by tick; the first one is at tick 0
  std::vector<Track> tracks;        // alphabetical
  std::int64_t end_tick = 0;
};

// Compiles MML source text. `file` is used only in error messages.
// Throws ardo::tool::SourceError on any fault in the source.
Song compile(std::string_view source, const std::string& file);

// Standard MIDI File, format 1, 480 ticks per quarter.
std::string write_smf(const Song& song);

// Seconds from the start to `tick`, following the tempo changes.
double seconds_at(const Song& song, std::int64_t tick);

// The --info report: title, per-track note count and duration, total.
std::string info(const Song& song);

}  // namespace ardo::mml
