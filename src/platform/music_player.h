// The music player: one FluidSynth synthesiser and one tune at a time, driven from two
// threads without either waiting on the other's work. The game posts commands (open,
// play, restart, stop, close) to a queue held only for a push or a swap; the audio
// thread takes them at the start of each buffer, applies them and synthesises. What
// the game reads back (is the tune stopped?) is published by the audio thread after
// each buffer, and answered from the game's own record while commands are in flight.
#pragma once

#include <fluidsynth.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace ardo::platform {

class MusicPlayer {
 public:
  MusicPlayer() = default;
  MusicPlayer(const MusicPlayer&) = delete;
  MusicPlayer& operator=(const MusicPlayer&) = delete;
  ~MusicPlayer() { Shutdown(); }

  // Loads the soundfont into a synthesiser at `rate` Hz. False (and one line on stderr) when it can't.
  bool Start(const std::string& soundfont, double rate);
  // Frees the synthesiser; call it once the audio thread no longer renders.
  void Shutdown();
  bool started() const { return synth_ != nullptr; }

  // The game's side.
  bool Open(const std::string& path);  // false when there is no synthesiser or the file is not MIDI
  void Play();                         // plays or resumes; from the beginning when it ran out
  void Restart();                      // from the beginning
  void Stop();                         // pauses; play resumes
  void Close();
  bool Stopped();                      // a tune is open and not playing
  void SetVolume(int percent) { volume_.store(percent < 0 ? 0 : percent > 100 ? 100 : percent); }

  // The audio thread's side: fills `samples` 16-bit samples of `channels`-channel audio.
  void Render(std::int16_t* out, int samples, int channels);

 private:
  enum class Op : std::uint8_t { kOpen, kPlay, kRestart, kStop, kClose };
  struct Command {
    Op op;
    std::shared_ptr<const std::vector<char>> midi;  // kOpen: the file
  };
  // What the audio thread publishes after each buffer.
  enum State : int { kNone, kPlaying, kStopped, kRefused };

  void Post(Op op, std::shared_ptr<const std::vector<char>> midi = nullptr);
  // Audio thread only.
  void Apply(const Command& c);
  bool NewPlayer();
  bool AtEnd();
  void Publish();

  std::atomic<int> volume_{100};  // the music's master volume in percent, read by the audio thread
  fluid_settings_t* settings_ = nullptr;
  fluid_synth_t* synth_ = nullptr;

  // The queue: the only lock, held for a push or a swap.
  std::mutex queue_mutex_;
  std::vector<Command> queue_;

  // The game thread's record.
  std::uint64_t posted_ = 0;  // commands posted so far
  State intended_ = kNone;    // what the commands posted so far leave
  std::string music_path_;

  // Published by the audio thread.
  std::atomic<std::uint64_t> applied_{0};
  std::atomic<int> state_{kNone};

  // The audio thread's own.
  std::vector<Command> work_;
  fluid_player_t* player_ = nullptr;
  std::shared_ptr<const std::vector<char>> midi_;
  bool paused_ = false;
  std::vector<std::int16_t> stereo_;
};

}  // namespace ardo::platform
