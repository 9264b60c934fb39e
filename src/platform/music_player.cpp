#include "platform/music_player.h"

#include <cstdio>
#include <cstring>

#include "platform/music_synth.h"

namespace ardo::platform {

namespace {
constexpr std::size_t kMaxMidiBytes = 4 << 20;
}  // namespace

bool MusicPlayer::Start(const std::string& soundfont, double rate) {
  Shutdown();
  settings_ = NewMusicSettings(rate);
  if (settings_ == nullptr) return false;
  synth_ = new_fluid_synth(settings_);
  if (synth_ == nullptr || fluid_synth_sfload(synth_, soundfont.c_str(), 1) == FLUID_FAILED) {
    std::fprintf(stderr, "ardo: %s: cannot load the soundfont; music is silent\n", soundfont.c_str());
    Shutdown();
    return false;
  }
  queue_.reserve(64);
  work_.reserve(64);
  stereo_.resize(2 * 4096);
  return true;
}

void MusicPlayer::Shutdown() {
  if (player_ != nullptr) {
    fluid_player_stop(player_);
    delete_fluid_player(player_);
  }
  player_ = nullptr;
  midi_.reset();
  if (synth_ != nullptr) delete_fluid_synth(synth_);
  if (settings_ != nullptr) delete_fluid_settings(settings_);
  synth_ = nullptr;
  settings_ = nullptr;
  queue_.clear();
  work_.clear();
  posted_ = 0;
  applied_ = 0;
  intended_ = kNone;
  state_ = kNone;
}

// ---------------------------------------------------------------------------
// The game's side: never waits for the synthesiser.

void MusicPlayer::Post(Op op, std::shared_ptr<const std::vector<char>> midi) {
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    queue_.push_back(Command{op, std::move(midi)});
  }
  ++posted_;
}

bool MusicPlayer::Open(const std::string& path) {
  Close();
  if (synth_ == nullptr) return false;
  auto bytes = std::make_shared<std::vector<char>>();
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    char buffer[8192];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0 && bytes->size() < kMaxMidiBytes) {
      bytes->insert(bytes->end(), buffer, buffer + n);
    }
    std::fclose(f);
  }
  if (bytes->size() < 14 || std::memcmp(bytes->data(), "MThd", 4) != 0) {
    std::fprintf(stderr, "ardo: %s: cannot open music: not a MIDI file\n", path.c_str());
    return false;
  }
  music_path_ = path;
  Post(Op::kOpen, std::move(bytes));
  intended_ = kStopped;  // open, not yet playing
  return true;
}

void MusicPlayer::Play() {
  if (intended_ == kNone) return;
  Post(Op::kPlay);
  intended_ = kPlaying;
}

void MusicPlayer::Restart() {
  if (intended_ == kNone) return;
  Post(Op::kRestart);
  intended_ = kPlaying;
}

void MusicPlayer::Stop() {
  if (intended_ != kPlaying) return;
  Post(Op::kStop);
  intended_ = kStopped;
}

void MusicPlayer::Close() {
  if (intended_ == kNone) return;
  Post(Op::kClose);
  intended_ = kNone;
}

bool MusicPlayer::Stopped() {
  // Commands still on their way: the state they leave.
  if (applied_.load(std::memory_order_acquire) != posted_) return intended_ == kStopped;
  switch (state_.load(std::memory_order_acquire)) {
    case kPlaying:
      return false;
    case kStopped:
      return true;
    case kRefused:
      if (intended_ != kNone) {
        // The synthesiser refused the file when it began to play it. Restarting would
        // only be refused again, every frame: the tune stays closed and silent.
        std::fprintf(stderr, "ardo: %s: the synthesiser can't play this music; silent\n", music_path_.c_str());
        intended_ = kNone;
      }
      return false;
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------
// The audio thread's side.

bool MusicPlayer::NewPlayer() {
  if (player_ != nullptr) delete_fluid_player(player_);
  player_ = new_fluid_player(synth_);
  if (player_ != nullptr && fluid_player_add_mem(player_, midi_->data(), midi_->size()) != FLUID_OK) {
    delete_fluid_player(player_);
    player_ = nullptr;
  }
  return player_ != nullptr;
}

// The last event of the tune has been played (the player itself says so only seconds later).
bool MusicPlayer::AtEnd() {
  const int total = fluid_player_get_total_ticks(player_);
  return total > 0 && fluid_player_get_current_tick(player_) >= total;
}

void MusicPlayer::Apply(const Command& c) {
  switch (c.op) {
    case Op::kOpen:
      // A new tune starts from a synthesiser without the last tune's programs and controllers.
      fluid_synth_system_reset(synth_);
      midi_ = c.midi;
      paused_ = false;
      if (!NewPlayer()) midi_.reset();
      break;
    case Op::kPlay:
      if (player_ == nullptr) break;
      if (AtEnd()) {
        NewPlayer();  // it ran out: from the beginning
      } else if (fluid_player_get_status(player_) == FLUID_PLAYER_PLAYING) {
        break;
      }
      if (player_ != nullptr) fluid_player_play(player_);  // starts, or resumes where stopped
      paused_ = false;
      break;
    case Op::kRestart:
      if (player_ == nullptr) break;
      // The last notes ring on into the new start, as a loop should sound.
      if (NewPlayer()) fluid_player_play(player_);
      paused_ = false;
      break;
    case Op::kStop:
      if (player_ == nullptr || fluid_player_get_status(player_) != FLUID_PLAYER_PLAYING) break;
      fluid_player_stop(player_);  // keeps its place: play resumes
      paused_ = true;
      fluid_synth_all_notes_off(synth_, -1);
      break;
    case Op::kClose:
      if (player_ == nullptr) break;
      fluid_player_stop(player_);
      delete_fluid_player(player_);
      player_ = nullptr;
      midi_.reset();
      fluid_synth_all_notes_off(synth_, -1);
      break;
  }
}

void MusicPlayer::Publish() {
  int s = kNone;
  if (player_ != nullptr) {
    const int status = fluid_player_get_status(player_);
    if (!paused_ && status == FLUID_PLAYER_DONE && fluid_player_get_total_ticks(player_) <= 0) {
      delete_fluid_player(player_);
      player_ = nullptr;
      midi_.reset();
      s = kRefused;
    } else {
      s = status != FLUID_PLAYER_PLAYING || AtEnd() ? kStopped : kPlaying;
    }
  } else if (state_.load(std::memory_order_relaxed) == kRefused) {
    s = kRefused;  // said until a new tune is opened or closed
  }
  state_.store(s, std::memory_order_release);
}

void MusicPlayer::Render(std::int16_t* out, int samples, int channels) {
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    work_.swap(queue_);
  }
  if (!work_.empty()) {
    bool fresh = false;
    for (const Command& c : work_) {
      Apply(c);
      fresh = fresh || c.op == Op::kOpen || c.op == Op::kClose;
    }
    if (fresh && state_.load(std::memory_order_relaxed) == kRefused) state_.store(kNone, std::memory_order_relaxed);
    Publish();
    applied_.fetch_add(work_.size(), std::memory_order_release);
    work_.clear();
  }
  const int frames = samples / channels;
  const bool playing = player_ != nullptr && fluid_player_get_status(player_) == FLUID_PLAYER_PLAYING;
  if (!playing && fluid_synth_get_active_voice_count(synth_) == 0) {
    std::memset(out, 0, static_cast<std::size_t>(samples) * sizeof(std::int16_t));
  } else if (channels == 2) {
    fluid_synth_write_s16(synth_, frames, out, 0, 2, out, 1, 2);
  } else {
    if (stereo_.size() < static_cast<std::size_t>(2 * frames)) stereo_.resize(2 * frames);
    fluid_synth_write_s16(synth_, frames, stereo_.data(), 0, 2, stereo_.data(), 1, 2);
    for (int f = 0; f < frames; ++f) {
      const std::int16_t l = stereo_[2 * f];
      const std::int16_t r = stereo_[2 * f + 1];
      std::int16_t* frame = out + f * channels;
      if (channels == 1) {
        frame[0] = static_cast<std::int16_t>((l + r) / 2);
      } else {
        frame[0] = l;
        frame[1] = r;
        for (int c = 2; c < channels; ++c) frame[c] = 0;
      }
    }
  }
  if (const int v = volume_.load(std::memory_order_relaxed); v < 100) {
    for (int i = 0; i < samples; ++i) out[i] = static_cast<std::int16_t>(out[i] * v / 100);
  }
  Publish();
}

}  // namespace ardo::platform
