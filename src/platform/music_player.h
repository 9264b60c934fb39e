// The music player: one tune at a time, an Ogg Vorbis file rendered at build time with its
// loop in the comments (LOOPSTART, LOOPLENGTH or LOOPEND, in samples; without them the
// whole file loops). It is driven from two threads without either waiting on the other's
// work: the game posts commands (open, play, restart, stop, close) to a queue held only
// for a push or a swap; the audio thread takes them at the start of each buffer, applies
// them (opening the file there too) and decodes. What the game reads back (is the tune
// stopped?) is published by the audio thread after each buffer, and answered from the
// game's own record while commands are in flight.
#pragma once

#define OV_EXCLUDE_STATIC_CALLBACKS  // the library's unused static callbacks
#include <vorbis/vorbisfile.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace ardo::platform {

class MusicPlayer {
 public:
  static constexpr int kRate = 44100;  // the rate of the tunes and of what Render fills

  MusicPlayer() = default;
  MusicPlayer(const MusicPlayer&) = delete;
  MusicPlayer& operator=(const MusicPlayer&) = delete;
  ~MusicPlayer() { Shutdown(); }

  void Start();
  // Closes the tune; call it once the audio thread no longer renders.
  void Shutdown();
  bool started() const { return started_; }

  // The game's side.
  bool Open(const std::string& path);  // false when there is no player; the file is read on the audio side
  void Play();                         // plays or resumes
  void Restart();                      // from the beginning
  void Stop();                         // pauses; play resumes
  void Close();
  bool Stopped();                      // a tune is open and not playing
  void SetVolume(int percent) { volume_.store(percent < 0 ? 0 : percent > 100 ? 100 : percent); }

  // The audio thread's side: fills `samples` 16-bit samples of `channels`-channel audio at kRate.
  void Render(std::int16_t* out, int samples, int channels);

 private:
  enum class Op : std::uint8_t { kOpen, kPlay, kRestart, kStop, kClose };
  struct Command {
    Op op;
    std::string path;  // kOpen: the file
  };
  // What the audio thread publishes after each buffer.
  enum State : int { kNone, kPlaying, kStopped, kRefused };

  void Post(Op op, std::string path = {});
  // Audio thread only.
  void Apply(const Command& c);
  bool OpenFile(const std::string& path);
  void CloseFile();
  void Seek(std::int64_t frame);
  void Decode(std::int16_t* stereo, int frames);
  void Publish();

  bool started_ = false;
  std::atomic<int> volume_{100};  // the music's master volume in percent, read by the audio thread

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
  OggVorbis_File file_{};
  bool open_ = false;      // file_ holds a tune
  bool refused_ = false;   // the last tune opened could not be played
  bool playing_ = false;
  int file_channels_ = 2;
  std::int64_t position_ = 0;  // the next frame decoded
  std::int64_t loop_start_ = 0, loop_end_ = 0;
  std::vector<std::int16_t> stereo_;
  std::vector<std::int16_t> decoded_;
};

}  // namespace ardo::platform
