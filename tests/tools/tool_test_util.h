// Helpers for the content tool tests: run a tool binary as a subprocess,
// a scratch directory per test, and small readers for the tools' outputs.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

namespace tooltest {

namespace fs = std::filesystem;

inline std::string tool_path(const std::string& dir, const std::string& name) {
  return std::string(ARDO_BINARY_DIR) + "/tools/" + dir + "/" + name;
}
inline std::string mapc() { return tool_path("mapc", "ardo-mapc"); }
inline std::string mmlc() { return tool_path("mmlc", "ardo-mmlc"); }
inline std::string sfxc() { return tool_path("sfxc", "ardo-sfxc"); }

inline std::string read_bytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void write_bytes(const fs::path& p, const std::string& data) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

inline std::string quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

struct Result {
  int code = -1;          // exit status
  bool crashed = false;   // killed by a signal or stopped by a sanitizer
  std::string out, err;
};

// Runs `tool args...`, capturing stdout and stderr in `scratch`. Sanitizer
// reports get their own exit codes so they cannot pass for an ordinary error.
inline Result run(const fs::path& scratch, const std::string& tool, const std::vector<std::string>& args) {
  const fs::path out = scratch / "stdout.txt", err = scratch / "stderr.txt";
  std::string cmd = "ASAN_OPTIONS=exitcode=86:detect_leaks=1 UBSAN_OPTIONS=exitcode=87:halt_on_error=1 " + quote(tool);
  for (const std::string& a : args) cmd += " " + quote(a);
  cmd += " >" + quote(out.string()) + " 2>" + quote(err.string()) + " </dev/null";
  const int status = std::system(cmd.c_str());
  Result r;
  r.out = read_bytes(out);
  r.err = read_bytes(err);
  if (status == -1 || !WIFEXITED(status)) {
    r.crashed = true;
  } else {
    r.code = WEXITSTATUS(status);
    // 126/127: the shell could not run the tool; 128+N: killed by signal N.
    r.crashed = r.code == 86 || r.code == 87 || r.code >= 126 ||
                r.err.find("Sanitizer") != std::string::npos || r.err.find("runtime error") != std::string::npos;
  }
  return r;
}

// A fresh directory per test (tests may run in parallel processes).
class ScratchTest : public ::testing::Test {
protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           ("ardo_tooltest_" + std::to_string(::getpid()) + "_" + info->test_suite_name() + "_" + info->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  fs::path path(const std::string& name) const { return dir_ / name; }
  std::string file(const std::string& name, const std::string& content) const {
    write_bytes(dir_ / name, content);
    return (dir_ / name).string();
  }
  Result run(const std::string& tool, const std::vector<std::string>& args) const {
    return tooltest::run(dir_, tool, args);
  }

  fs::path dir_;
};

inline std::uint32_t be(const std::string& s, std::size_t at, int n) {
  std::uint32_t v = 0;
  for (int i = 0; i < n; ++i) v = (v << 8) | static_cast<unsigned char>(s.at(at + i));
  return v;
}
inline std::uint32_t le(const std::string& s, std::size_t at, int n) {
  std::uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s.at(at + i));
  return v;
}

// ---- Standard MIDI File reader (independent of the compiler's writer)

struct MidiEvent {
  std::int64_t tick;
  std::vector<std::uint8_t> bytes;  // status and data, or FF type data (length dropped)
};

struct Midi {
  int format = -1, division = 0;
  std::vector<std::vector<MidiEvent>> tracks;
};

inline bool read_vlq(const std::string& s, std::size_t& p, std::size_t end, std::uint32_t& v) {
  v = 0;
  for (int i = 0; i < 4; ++i) {
    if (p >= end) return false;
    const auto b = static_cast<unsigned char>(s[p++]);
    v = (v << 7) | (b & 0x7F);
    if (!(b & 0x80)) return true;
  }
  return false;
}

// Parses a format 0/1 file without running status; returns false if malformed.
inline bool parse_midi(const std::string& s, Midi& m) {
  if (s.size() < 14 || s.compare(0, 4, "MThd") != 0 || be(s, 4, 4) != 6) return false;
  m.format = static_cast<int>(be(s, 8, 2));
  const int n = static_cast<int>(be(s, 10, 2));
  m.division = static_cast<int>(be(s, 12, 2));
  std::size_t p = 14;
  for (int t = 0; t < n; ++t) {
    if (p + 8 > s.size() || s.compare(p, 4, "MTrk") != 0) return false;
    const std::size_t end = p + 8 + be(s, p + 4, 4);
    if (end > s.size()) return false;
    p += 8;
    std::vector<MidiEvent> events;
    std::int64_t tick = 0;
    while (p < end) {
      std::uint32_t delta;
      if (!read_vlq(s, p, end, delta) || p >= end) return false;
      tick += delta;
      MidiEvent e{tick, {}};
      const auto st = static_cast<unsigned char>(s[p++]);
      e.bytes.push_back(st);
      std::size_t len;
      if (st == 0xFF) {
        if (p >= end) return false;
        e.bytes.push_back(static_cast<unsigned char>(s[p++]));
        std::uint32_t l;
        if (!read_vlq(s, p, end, l)) return false;
        len = l;
      } else if (st >= 0x80 && st < 0xF0) {
        len = (st & 0xF0) == 0xC0 || (st & 0xF0) == 0xD0 ? 1 : 2;
      } else {
        return false;
      }
      if (p + len > end) return false;
      for (std::size_t i = 0; i < len; ++i) e.bytes.push_back(static_cast<unsigned char>(s[p++]));
      events.push_back(std::move(e));
    }
    m.tracks.push_back(std::move(events));
  }
  return p == s.size();
}

struct Note {
  int pitch;
  std::int64_t on, off;
  int velocity;
  int channel;  // 1..16
  bool operator==(const Note&) const = default;
};

inline void PrintTo(const Note& n, std::ostream* os) {
  *os << "{pitch " << n.pitch << ", " << n.on << "-" << n.off << ", v" << n.velocity << ", ch" << n.channel << "}";
}

// Pairs note-ons with note-offs, in note-on order.
inline std::vector<Note> notes_of(const std::vector<MidiEvent>& track) {
  std::vector<Note> notes;
  for (const MidiEvent& e : track) {
    const int kind = e.bytes[0] & 0xF0;
    if (kind == 0x90 && e.bytes[2] > 0) {
      notes.push_back({e.bytes[1], e.tick, -1, e.bytes[2], (e.bytes[0] & 0x0F) + 1});
    } else if (kind == 0x80 || (kind == 0x90 && e.bytes[2] == 0)) {
      for (Note& n : notes)
        if (n.pitch == e.bytes[1] && n.off < 0 && n.channel == (e.bytes[0] & 0x0F) + 1) {
          n.off = e.tick;
          break;
        }
    }
  }
  return notes;
}

}  // namespace tooltest
