#include "platform/music_player.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace ardo::platform {

namespace {

// A comment's number when it is KEY=NUMBER, else -1.
std::int64_t Tag(const vorbis_comment* vc, const char* key) {
  const size_t n = std::strlen(key);
  for (int i = 0; vc != nullptr && i < vc->comments; ++i) {
    const char* c = vc->user_comments[i];
    if (c != nullptr && ::strncasecmp(c, key, n) == 0 && c[n] == '=') {
      char* end = nullptr;
      const long long v = std::strtoll(c + n + 1, &end, 10);
      if (end != c + n + 1 && v >= 0) return v;
    }
  }
  return -1;
}

}  // namespace

void MusicPlayer::Start() {
  Shutdown();
  queue_.reserve(64);
  work_.reserve(64);
  stereo_.resize(2 * 4096);
  decoded_.resize(4096);
  started_ = true;
}

void MusicPlayer::Shutdown() {
  CloseFile();
  refused_ = false;
  queue_.clear();
  work_.clear();
  posted_ = 0;
  applied_ = 0;
  intended_ = kNone;
  state_ = kNone;
  started_ = false;
}

// ---------------------------------------------------------------------------
// The game's side: never waits for the decoder, nor touches the file.

void MusicPlayer::Post(Op op, std::string path) {
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    queue_.push_back(Command{op, std::move(path)});
  }
  ++posted_;
}

bool MusicPlayer::Open(const std::string& path) {
  Close();
  if (!started_) return false;
  // The file itself is read on the audio side: a file it cannot decode is refused there
  // and said once (see Stopped), so a tune change costs the game no system call.
  music_path_ = path;
  Post(Op::kOpen, path);
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
        // The decoder refused the file. Restarting would only be refused again, every
        // frame: the tune stays closed and silent.
        std::fprintf(stderr, "ardo: %s: can't play this music; silent\n", music_path_.c_str());
        intended_ = kNone;
      }
      return false;
    default:
      return false;
  }
}

// ---------------------------------------------------------------------------
// The audio thread's side.

bool MusicPlayer::OpenFile(const std::string& path) {
  CloseFile();
  if (ov_fopen(path.c_str(), &file_) != 0) return false;
  open_ = true;
  const vorbis_info* info = ov_info(&file_, -1);
  const std::int64_t total = ov_pcm_total(&file_, -1);
  if (info == nullptr || info->rate != kRate || info->channels < 1 || info->channels > 2 || total <= 0) {
    CloseFile();
    return false;
  }
  file_channels_ = info->channels;
  const vorbis_comment* vc = ov_comment(&file_, -1);
  const std::int64_t start = Tag(vc, "LOOPSTART"), length = Tag(vc, "LOOPLENGTH"), end = Tag(vc, "LOOPEND");
  loop_start_ = std::max<std::int64_t>(0, start);
  loop_end_ = length > 0 ? loop_start_ + length : end > 0 ? end : total;
  loop_end_ = std::min(loop_end_, total);
  if (loop_start_ >= loop_end_) {
    loop_start_ = 0;
    loop_end_ = total;
  }
  position_ = 0;
  return true;
}

void MusicPlayer::CloseFile() {
  if (open_) ov_clear(&file_);
  open_ = false;
  playing_ = false;
  position_ = 0;
}

void MusicPlayer::Seek(std::int64_t frame) {
  if (position_ == frame) return;
  if (ov_pcm_seek(&file_, frame) == 0) {
    position_ = frame;
  } else {
    position_ = std::max<std::int64_t>(0, ov_pcm_tell(&file_));
  }
}

// `frames` stereo frames of the tune, from the loop's start again at its end.
void MusicPlayer::Decode(std::int16_t* stereo, int frames) {
  constexpr int kBigEndian = std::endian::native == std::endian::big ? 1 : 0;
  int done = 0;
  for (int tries = 0; done < frames && tries < 64; ++tries) {
    if (position_ >= loop_end_) Seek(loop_start_);
    const int want = static_cast<int>(std::min<std::int64_t>(frames - done, loop_end_ - position_));
    if (want <= 0) break;
    int section = 0;
    long got = 0;
    if (file_channels_ == 2) {
      got = ov_read(&file_, reinterpret_cast<char*>(stereo + 2 * done), want * 4, kBigEndian, 2, 1, &section) / 4;
    } else {
      const int n = std::min(want, static_cast<int>(decoded_.size()));
      got = ov_read(&file_, reinterpret_cast<char*>(decoded_.data()), n * 2, kBigEndian, 2, 1, &section) / 2;
      for (long i = 0; i < got; ++i) stereo[2 * (done + i)] = stereo[2 * (done + i) + 1] = decoded_[static_cast<size_t>(i)];
    }
    if (got == 0) {
      // The file ends before its loop says: it loops where it ends.
      loop_end_ = position_;
      if (loop_start_ >= loop_end_) loop_start_ = 0;
      Seek(loop_start_);
      continue;
    }
    if (got < 0) continue;  // a damaged stretch: read on
    done += static_cast<int>(got);
    position_ += got;
  }
  if (done < frames) std::memset(stereo + 2 * done, 0, static_cast<size_t>(frames - done) * 2 * sizeof(std::int16_t));
}

void MusicPlayer::Apply(const Command& c) {
  switch (c.op) {
    case Op::kOpen:
      refused_ = !OpenFile(c.path);
      break;
    case Op::kPlay:
      if (open_) playing_ = true;  // starts, or resumes where stopped
      break;
    case Op::kRestart:
      if (!open_) break;
      Seek(0);
      playing_ = true;
      break;
    case Op::kStop:
      playing_ = false;  // keeps its place: play resumes
      break;
    case Op::kClose:
      CloseFile();
      refused_ = false;
      break;
  }
}

void MusicPlayer::Publish() {
  const int s = open_ ? (playing_ ? kPlaying : kStopped) : refused_ ? kRefused : kNone;
  state_.store(s, std::memory_order_release);
}

void MusicPlayer::Render(std::int16_t* out, int samples, int channels) {
  {
    std::lock_guard<std::mutex> lock(queue_mutex_);
    work_.swap(queue_);
  }
  if (!work_.empty()) {
    for (const Command& c : work_) Apply(c);
    Publish();
    applied_.fetch_add(work_.size(), std::memory_order_release);
    work_.clear();
  }
  const int frames = samples / channels;
  if (!open_ || !playing_) {
    std::memset(out, 0, static_cast<size_t>(samples) * sizeof(std::int16_t));
  } else if (channels == 2) {
    Decode(out, frames);
  } else {
    if (stereo_.size() < static_cast<size_t>(2 * frames)) stereo_.resize(static_cast<size_t>(2 * frames));
    Decode(stereo_.data(), frames);
    for (int f = 0; f < frames; ++f) {
      const std::int16_t l = stereo_[static_cast<size_t>(2 * f)];
      const std::int16_t r = stereo_[static_cast<size_t>(2 * f + 1)];
      std::int16_t* frame = out + f * channels;
      if (channels == 1) {
        frame[0] = static_cast<std::int16_t>((l + r) / 2);
      } else {
        frame[0] = l;
        frame[1] = r;
        for (int k = 2; k < channels; ++k) frame[k] = 0;
      }
    }
  }
  if (const int v = volume_.load(std::memory_order_relaxed); v < 100) {
    for (int i = 0; i < samples; ++i) out[i] = static_cast<std::int16_t>(out[i] * v / 100);
  }
  Publish();
}

}  // namespace ardo::platform
