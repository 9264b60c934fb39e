#include "mml.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <optional>

#include "toolcommon.h"

namespace ardo::mml {
namespace {

using tool::SourceError;

// One character of track text with where it came from. Line ends and the
// boundaries of unrolled repeats become a ' ' separator.
struct Ch {
  char32_t c;
  int line;
  int col;
};

constexpr std::size_t kMaxExpanded = 200'000;         // characters after unrolling repeats, all tracks
constexpr std::int64_t kMaxTick = 0x0FFFFFFF;         // largest MIDI delta time
constexpr int kMaxRepeatDepth = 4;

struct TrackSource {
  std::vector<Ch> text;
  int line = 0;  // first line that names this track
  int col = 0;
};

// ---------------------------------------------------------------- header

struct Header {
  std::string title;
  bool has_title = false;
  int tempo = 120;
  bool has_tempo = false;
  int volume = -1;  // -1: not sent
  std::array<int, 26> channel{};  // 0: use the default
  std::array<TrackSource, 26> tracks;
  std::array<bool, 26> used{};
};

int default_channel(char letter) {
  if (letter >= 'A' && letter <= 'I') return letter - 'A' + 1;
  if (letter == 'R') return 10;
  if (letter >= 'J' && letter <= 'O') return letter - 'J' + 11;
  return 0;
}

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

// Splits "text" on blanks, remembering byte offsets.
std::vector<std::pair<std::size_t, std::string_view>> tokens(std::string_view s, std::size_t from) {
  std::vector<std::pair<std::size_t, std::string_view>> out;
  std::size_t i = from;
  while (i < s.size()) {
    while (i < s.size() && is_space(s[i])) ++i;
    if (i >= s.size()) break;
    std::size_t j = i;
    while (j < s.size() && !is_space(s[j])) ++j;
    out.emplace_back(i, s.substr(i, j - i));
    i = j;
  }
  return out;
}

Header read_header(std::string_view source, const std::string& file) {
  Header h;
  for (const tool::SourceLine& source_line : tool::split_lines(source)) {
    const int number = source_line.number;
    const std::string_view full = source_line.text;
    std::string_view text = full;
    if (auto semi = text.find(';'); semi != std::string_view::npos) text = text.substr(0, semi);
    std::size_t i = 0;
    while (i < text.size() && is_space(text[i])) ++i;
    if (i == text.size()) continue;
    auto col = [&](std::size_t off) { return tool::column_of(full, off); };
    auto fail = [&](std::size_t off, const std::string& msg) {
      throw SourceError(file, number, col(off), msg);
    };

    if (text[i] == '#') {
      std::size_t j = i + 1;
      while (j < text.size() && !is_space(text[j])) ++j;
      const std::string_view word = text.substr(i + 1, j - i - 1);
      if (word == "title") {
        if (h.has_title) fail(i, "#title given twice");
        std::string_view t = text.substr(j);
        while (!t.empty() && is_space(t.front())) t.remove_prefix(1);
        while (!t.empty() && is_space(t.back())) t.remove_suffix(1);
        h.title = std::string(t);
        h.has_title = true;
      } else if (word == "tempo") {
        if (h.has_tempo) fail(i, "#tempo given twice");
        auto tok = tokens(text, j);
        if (tok.empty()) fail(j, "#tempo needs a number (20-300)");
        if (tok.size() > 1) fail(tok[1].first, "unexpected text after #tempo");
        long v;
        if (!tool::parse_int(tok[0].second, v)) fail(tok[0].first, "bad number '" + std::string(tok[0].second) + "'");
        if (v < 20 || v > 300) fail(tok[0].first, "tempo must be 20-300 (got " + std::to_string(v) + ")");
        h.tempo = static_cast<int>(v);
        h.has_tempo = true;
      } else if (word == "volume") {
        if (h.volume >= 0) fail(i, "#volume given twice");
        auto tok = tokens(text, j);
        if (tok.empty()) fail(j, "#volume needs a number (0-127)");
        if (tok.size() > 1) fail(tok[1].first, "unexpected text after #volume");
        long v;
        if (!tool::parse_int(tok[0].second, v)) fail(tok[0].first, "bad number '" + std::string(tok[0].second) + "'");
        if (v < 0 || v > 127) fail(tok[0].first, "volume must be 0-127 (got " + std::to_string(v) + ")");
        h.volume = static_cast<int>(v);
      } else if (word == "channel") {
        auto tok = tokens(text, j);
        if (tok.size() < 2) fail(j, "#channel needs a track letter and a channel: #channel X N");
        if (tok.size() > 2) fail(tok[2].first, "unexpected text after #channel");
        const auto& [loff, letter] = tok[0];
        if (letter.size() != 1 || letter[0] < 'A' || letter[0] > 'Z')
          fail(loff, "track letter must be one of A-Z");
        long v;
        if (!tool::parse_int(tok[1].second, v)) fail(tok[1].first, "bad number '" + std::string(tok[1].second) + "'");
        if (v < 1 || v > 16) fail(tok[1].first, "MIDI channel must be 1-16 (got " + std::to_string(v) + ")");
        const int k = letter[0] - 'A';
        if (h.channel[k] != 0) fail(loff, std::string("channel of track ") + letter[0] + " given twice");
        h.channel[k] = static_cast<int>(v);
      } else {
        fail(i, "unknown directive '#" + std::string(word) + "' (known: #title, #tempo, #volume, #channel)");
      }
      continue;
    }

    // Track line "X: mml"
    const char letter = text[i];
    std::size_t j = i + 1;
    while (j < text.size() && is_space(text[j])) ++j;
    if (letter < 'A' || letter > 'Z' || j >= text.size() || text[j] != ':') {
      if (letter >= 'a' && letter <= 'z')
        fail(i, "expected a track line 'X: ...' (track letters are uppercase A-Z)");
      fail(i, "expected a track line 'X: ...' or a directive '#title', '#tempo', '#channel'");
    }
    const int k = letter - 'A';
    TrackSource& t = h.tracks[k];
    if (!h.used[k]) {
      h.used[k] = true;
      t.line = number;
      t.col = col(i);
    }
    std::size_t p = j + 1;
    int c = col(p);
    while (p < text.size()) {
      char32_t cp;
      tool::utf8_next(text, p, cp);
      if (cp == '\t' || cp == '\v' || cp == '\f' || cp == '\r') cp = ' ';
      t.text.push_back({cp, number, c++});
    }
    t.text.push_back({' ', number, c});
  }
  return h;
}

// ---------------------------------------------------------------- repeats

// Unrolls [ ... ]n groups (with | marking where the last pass stops) into a
// flat character list. Also checks that chord quotes are balanced and do not
// cross repeat brackets.
class Unroller {
public:
  // `room`: the characters the song's tracks before this one have left of kMaxExpanded.
  Unroller(const std::vector<Ch>& in, const std::string& file, std::size_t room)
      : in_(in), file_(file), room_(room) {}

  std::vector<Ch> run() {
    std::vector<Ch> out;
    std::size_t i = 0;
    while (i < in_.size()) {
      const Ch c = in_[i];
      if (quote_ && (c.c == '[' || c.c == ']' || c.c == '|'))
        throw error(c, "'" + std::string(1, static_cast<char>(c.c)) + "' is not allowed inside a chord");
      ++i;
      if (c.c == '[') {
        outer_ = c;
        group(i, 1, c, out);
        outer_ = Ch{};
        continue;
      }
      if (c.c == ']') throw error(c, "']' without a matching '['");
      if (c.c == '|') throw error(c, "'|' outside a repeat");
      if (c.c == '\'') quote_ = quote_ ? std::nullopt : std::optional<Ch>(c);
      emit(out, c);
    }
    if (quote_) throw error(*quote_, "unbalanced quote: chord is not closed");
    return out;
  }

private:
  SourceError error(const Ch& at, const std::string& msg) const {
    return SourceError(file_, at.line, at.col, msg);
  }

  // Appends one character; the unrolled text of the whole song has a size limit (so
  // its time and memory are bounded however many tracks there are), reported at the
  // outermost repeat being unrolled.
  void emit(std::vector<Ch>& out, const Ch& c) {
    if (out.size() >= room_)
      throw error(outer_.line ? outer_ : c,
                  "repeats unroll to more than " + std::to_string(kMaxExpanded) + " characters (all tracks together)");
    out.push_back(c);
  }

  // Reads a group body after its '[' up to and including ']' and its count,
  // and appends the unrolled passes to `out`.
  void group(std::size_t& i, int depth, const Ch& open, std::vector<Ch>& out) {
    // Body is read once into `before` and `after` (split at '|').
    std::vector<Ch> before, after;
    std::vector<Ch>* cur = &before;
    bool bar = false;
    bool closed = false;
    while (i < in_.size()) {
      const Ch c = in_[i];
      if (c.c == '|' && !quote_) {
        if (bar) throw error(c, "more than one '|' in a repeat");
        bar = true;
        cur = &after;
        ++i;
        continue;
      }
      if (c.c == ']' && !quote_) {
        ++i;
        closed = true;
        break;
      }
      if (c.c == '[' && !quote_) {
        if (depth >= kMaxRepeatDepth)
          throw error(c, "repeats nested more than " + std::to_string(kMaxRepeatDepth) + " deep");
        ++i;
        group(i, depth + 1, c, *cur);
        continue;
      }
      if (quote_ && (c.c == '[' || c.c == ']' || c.c == '|'))
        throw error(c, "'" + std::string(1, static_cast<char>(c.c)) + "' is not allowed inside a chord");
      if (c.c == '\'') quote_ = quote_ ? std::nullopt : std::optional<Ch>(c);
      emit(*cur, c);
      ++i;
    }
    if (!closed) {
      if (quote_) throw error(*quote_, "unbalanced quote: chord is not closed");
      throw error(open, "unbalanced '[': the repeat is not closed with ']'");
    }
    // Count: digits right after ']'.
    long count = 2;
    if (i < in_.size() && in_[i].c >= '0' && in_[i].c <= '9') {
      const Ch at = in_[i];
      count = 0;
      int digits = 0;
      while (i < in_.size() && in_[i].c >= '0' && in_[i].c <= '9') {
        if (++digits <= 6) count = count * 10 + static_cast<long>(in_[i].c - '0');
        ++i;
      }
      if (digits > 6 || count < 1 || count > 99)
        throw error(at, "repeat count must be 1-99");
    }
    const Ch sep{' ', open.line, open.col};
    for (long pass = 0; pass < count; ++pass) {
      emit(out, sep);
      for (const Ch& c : before) emit(out, c);
      if (pass + 1 < count)
        for (const Ch& c : after) emit(out, c);
    }
    emit(out, sep);
  }

  const std::vector<Ch>& in_;
  const std::string& file_;
  std::size_t room_;
  std::optional<Ch> quote_;
  Ch outer_{};
};

// ---------------------------------------------------------------- tracks

class TrackCompiler {
public:
  TrackCompiler(const std::vector<Ch>& text, const std::string& file, char letter, int channel, int volume,
                std::vector<std::pair<TempoChange, int>>& tempos, int& tempo_seq)
      : s_(text), file_(file), tempos_(tempos), tempo_seq_(tempo_seq) {
    track_.letter = letter;
    track_.channel = channel;
    if (volume >= 0) event(1, 0xB0 | ch(), 7, static_cast<std::uint8_t>(volume), 3, 0);
  }

  Track run() {
    while (p_ < s_.size()) command();
    if (pend_.tie) throw error(pend_.tie_at, "'&' at the end of the track has no note to tie to");
    close_pending();
    track_.end_tick = std::max(tick_, last_off_);
    std::stable_sort(track_.events.begin(), track_.events.end(), [](const TrackEvent& a, const TrackEvent& b) {
      if (a.tick != b.tick) return a.tick < b.tick;
      if (a.order != b.order) return a.order < b.order;
      return a.seq < b.seq;
    });
    return std::move(track_);
  }

private:
  struct Pending {
    bool active = false;
    std::vector<int> pitches;
    std::int64_t seg_start = 0;
    std::int64_t seg_len = 0;
    int q = 7;
    bool tie = false;
    Ch tie_at{};
  };

  SourceError error(const Ch& at, const std::string& msg) const {
    return SourceError(file_, at.line, at.col, msg);
  }

  bool at_end() const { return p_ >= s_.size(); }
  char32_t peek() const { return at_end() ? 0 : s_[p_].c; }
  const Ch& here() const { return at_end() ? s_.back() : s_[p_]; }
  static bool digit(char32_t c) { return c >= '0' && c <= '9'; }

  void skip_space() {
    while (!at_end() && s_[p_].c == ' ') ++p_;
  }

  // Digits right at the cursor, if any.
  std::optional<long> number() {
    if (!digit(peek())) return std::nullopt;
    const Ch at = here();
    long v = 0;
    int n = 0;
    while (digit(peek())) {
      if (++n > 6) throw error(at, "number too large");
      v = v * 10 + static_cast<long>(peek() - '0');
      ++p_;
    }
    return v;
  }

  long required(const Ch& cmd, long lo, long hi, const char* what) {
    const Ch at = here();
    auto v = number();
    const std::string name(1, static_cast<char>(cmd.c));
    if (!v) throw error(at_end() ? cmd : at, "missing number after '" + name + "' (" + what + ")");
    if (*v < lo || *v > hi)
      throw error(at, "'" + name + "' must be " + std::to_string(lo) + "-" + std::to_string(hi) + " (got " +
                          std::to_string(*v) + ")");
    return *v;
  }

  // Optional length number and dots. Without a number the default length
  // (with its dots) is the base that further dots extend.
  std::int64_t length(bool require_number = false, const Ch* cmd = nullptr) {
    const Ch at = here();
    std::int64_t base;
    if (auto n = number()) {
      if (*n < 1 || *n > 64 || kWhole % *n != 0)
        throw error(at, "length " + std::to_string(*n) +
                            " not allowed (use 1, 2, 3, 4, 6, 8, 12, 16, 24, 32, 48, 64 or another divisor of " +
                            std::to_string(kWhole) + " up to 64)");
      base = kWhole / *n;
    } else {
      if (require_number) throw error(at_end() ? *cmd : at, "missing length after 'l'");
      base = default_len_;
    }
    std::int64_t total = base, add = base;
    while (peek() == '.') {
      const Ch dot = here();
      ++p_;
      if (add % 2 != 0) throw error(dot, "dotted length is not a whole number of ticks");
      add /= 2;
      total += add;
    }
    return total;
  }

  // Lengthens the last note or rest by len (`^8`, `&8`).
  void extend_last(std::int64_t len, const Ch& at, const char* no_note) {
    if (!last_rest_ && !pend_.active) throw error(at, no_note);
    if (!last_rest_) pend_.seg_len += len;
    advance(len, at);
  }

  void advance(std::int64_t len, const Ch& at) {
    tick_ += len;
    if (tick_ > kMaxTick) throw error(at, "track is too long");
  }

  void event(int order, std::uint8_t a, std::uint8_t b, std::uint8_t c, int size, std::int64_t tick) {
    TrackEvent e{tick, order, seq_++, {a, b, c}, size};
    track_.events.push_back(e);
  }
  std::uint8_t ch() const { return static_cast<std::uint8_t>(track_.channel - 1); }

  void note_off(int pitch, std::int64_t tick) {
    event(0, 0x80 | ch(), static_cast<std::uint8_t>(pitch), 64, 3, tick);
    last_off_ = std::max(last_off_, tick);
  }
  void note_on(int pitch) {
    event(2, 0x90 | ch(), static_cast<std::uint8_t>(pitch), static_cast<std::uint8_t>(velocity_), 3, tick_);
    ++track_.notes;
  }

  void close_pending() {
    if (!pend_.active) return;
    const std::int64_t gate = std::max<std::int64_t>(1, pend_.seg_len * pend_.q / 8);
    for (int pitch : pend_.pitches) note_off(pitch, pend_.seg_start + gate);
    pend_.active = false;
  }

  void play(std::vector<int> pitches, std::int64_t len, const Ch& at) {
    // A velocity-0 note-on would read as a note-off: a v0 note writes nothing
    // (but a note it is tied to keeps sounding).
    if (velocity_ == 0) {
      std::erase_if(pitches, [&](int p) {
        return !pend_.tie || std::find(pend_.pitches.begin(), pend_.pitches.end(), p) == pend_.pitches.end();
      });
    }
    if (pend_.tie && pend_.active) {
      for (int old : pend_.pitches)
        if (std::find(pitches.begin(), pitches.end(), old) == pitches.end()) note_off(old, tick_);
      for (int p : pitches)
        if (std::find(pend_.pitches.begin(), pend_.pitches.end(), p) == pend_.pitches.end()) note_on(p);
    } else {
      close_pending();
      for (int p : pitches) note_on(p);
    }
    pend_.active = true;
    pend_.tie = false;
    pend_.pitches = std::move(pitches);
    pend_.seg_start = tick_;
    pend_.seg_len = len;
    pend_.q = gate_;
    last_rest_ = false;
    advance(len, at);
  }

  static int semitone(char32_t c) {
    switch (c) {
      case 'c': return 0;
      case 'd': return 2;
      case 'e': return 4;
      case 'f': return 5;
      case 'g': return 7;
      case 'a': return 9;
      case 'b': return 11;
      default: return -1;
    }
  }

  // Note letter at the cursor with its accidentals; returns the MIDI pitch.
  int pitch(int octave) {
    const Ch at = here();
    int semi = semitone(at.c);
    ++p_;
    while (peek() == '+' || peek() == '#' || peek() == '-') {
      semi += peek() == '-' ? -1 : 1;
      ++p_;
    }
    const long v = static_cast<long>(octave + 1) * 12 + semi + transpose_;
    if (v < 0 || v > 127)
      throw error(at, "note out of range 0-127 (MIDI note " + std::to_string(v) + ")");
    return static_cast<int>(v);
  }

  void chord(const Ch& open) {
    ++p_;
    int octave = octave_;
    std::vector<int> pitches;
    for (;;) {
      if (at_end()) throw error(open, "unbalanced quote: chord is not closed");
      const Ch c = here();
      if (c.c == '\'') {
        ++p_;
        break;
      }
      if (c.c == ' ') {
        ++p_;
      } else if (c.c == '<') {
        --octave, ++p_;
      } else if (c.c == '>') {
        ++octave, ++p_;
      } else if (semitone(c.c) >= 0) {
        const int pt = pitch(octave);
        if (std::find(pitches.begin(), pitches.end(), pt) == pitches.end()) pitches.push_back(pt);
        if (digit(peek()) || peek() == '.')
          throw error(here(), "a chord's length goes after its closing quote");
      } else if (c.c == 'n') {
        ++p_;
        const int pt = static_cast<int>(required(c, 0, 127, "MIDI note number"));
        if (std::find(pitches.begin(), pitches.end(), pt) == pitches.end()) pitches.push_back(pt);
      } else {
        throw error(c, describe(c.c) + " is not allowed inside a chord (only notes, n, < and >)");
      }
    }
    if (pitches.empty()) throw error(open, "empty chord");
    play(std::move(pitches), length(), open);
  }

  static std::string describe(char32_t c) { return tool::describe_char(c); }

  void command() {
    const Ch c = here();
    switch (c.c) {
      case ' ':
        ++p_;
        return;
      case 'c': case 'd': case 'e': case 'f': case 'g': case 'a': case 'b': {
        const int pt = pitch(octave_);
        play({pt}, length(), c);
        return;
      }
      case 'n': {
        ++p_;
        const int pt = static_cast<int>(required(c, 0, 127, "MIDI note number"));
        std::int64_t len = default_len_;
        if (peek() == ',') {
          ++p_;
          if (!digit(peek())) throw error(at_end() ? c : here(), "missing length after ','");
          len = length();
        }
        play({pt}, len, c);
        return;
      }
      case '\'':
        chord(c);
        return;
      case 'r': {
        ++p_;
        const std::int64_t len = length();
        if (pend_.tie) throw error(pend_.tie_at, "'&' must be followed by a note or a length, not a rest");
        close_pending();
        last_rest_ = true;
        advance(len, c);
        return;
      }
      case '^': {
        ++p_;
        extend_last(length(), c, "'^' needs a note or a rest before it");
        return;
      }
      case '&': {
        ++p_;
        skip_space();
        if (digit(peek())) {
          extend_last(length(), c, "'&' needs a note before it");
        } else if (pend_.active && !last_rest_) {
          pend_.tie = true;
          pend_.tie_at = c;
        } else if (!last_rest_) {
          throw error(c, "'&' needs a note before it");
        }
        return;
      }
      case 'o':
        ++p_;
        octave_ = static_cast<int>(required(c, 0, 8, "octave"));
        return;
      case '<':
        ++p_;
        --octave_;
        return;
      case '>':
        ++p_;
        ++octave_;
        return;
      case 'l':
        ++p_;
        default_len_ = length(true, &c);
        return;
      case 't': {
        ++p_;
        const int bpm = static_cast<int>(required(c, 20, 300, "tempo in BPM"));
        tempos_.push_back({{tick_, bpm}, tempo_seq_++});
        return;
      }
      case 'v':
        ++p_;
        velocity_ = static_cast<int>(required(c, 0, 127, "velocity"));
        return;
      case '@': {
        ++p_;
        const auto prog = static_cast<std::uint8_t>(required(c, 0, 127, "program"));
        event(1, 0xC0 | ch(), prog, 0, 2, tick_);
        return;
      }
      case 'p': {
        ++p_;
        const auto v = static_cast<std::uint8_t>(required(c, 0, 127, "pan"));
        event(1, 0xB0 | ch(), 10, v, 3, tick_);
        return;
      }
      case 'x': {
        ++p_;
        const auto v = static_cast<std::uint8_t>(required(c, 0, 127, "expression"));
        event(1, 0xB0 | ch(), 11, v, 3, tick_);
        return;
      }
      case 'y': {
        ++p_;
        const auto cc = static_cast<std::uint8_t>(required(c, 0, 119, "controller number"));
        if (peek() != ',') throw error(at_end() ? c : here(), "expected ',' and a value after the controller number");
        ++p_;
        const auto v = static_cast<std::uint8_t>(required(c, 0, 127, "controller value"));
        event(1, 0xB0 | ch(), cc, v, 3, tick_);
        return;
      }
      case 'q':
        ++p_;
        gate_ = static_cast<int>(required(c, 1, 8, "gate in eighths"));
        return;
      case 'k': {
        ++p_;
        int sign = 1;
        if (peek() == '-' || peek() == '+') {
          sign = peek() == '-' ? -1 : 1;
          ++p_;
        }
        const Ch at = here();
        const auto v = number();
        if (!v) throw error(at, "missing number after 'k' (transpose in semitones, -24 to 24)");
        if (*v > 24) throw error(at, "'k' must be -24 to 24 (got " + std::to_string(sign * *v) + ")");
        transpose_ = sign * static_cast<int>(*v);
        return;
      }
      default:
        break;
    }
    if (digit(c.c))
      throw error(c, "number " + describe(c.c) + " without a command (a length goes right after its note, no space)");
    if (c.c == '.') throw error(c, "'.' without a note or length before it");
    if (c.c == '+' || c.c == '#' || c.c == '-') throw error(c, "accidental " + describe(c.c) + " without a note");
    if (c.c == ',') throw error(c, "',' without 'n' before it");
    if (c.c >= 'A' && c.c <= 'Z') throw error(c, "unknown command " + describe(c.c) + " (commands are lowercase)");
    throw error(c, "unknown command " + describe(c.c));
  }

  const std::vector<Ch>& s_;
  const std::string& file_;
  std::vector<std::pair<TempoChange, int>>& tempos_;
  int& tempo_seq_;
  Track track_;
  std::size_t p_ = 0;
  int seq_ = 0;
  std::int64_t tick_ = 0;
  std::int64_t last_off_ = 0;
  int octave_ = 4;
  std::int64_t default_len_ = kDivision;
  int gate_ = 7;
  int velocity_ = 100;
  int transpose_ = 0;
  bool last_rest_ = false;
  Pending pend_;
};

// ---------------------------------------------------------------- output

void put_vlq(std::string& out, std::uint32_t v) {
  char buf[5];
  int n = 0;
  buf[n++] = static_cast<char>(v & 0x7F);
  while (v >>= 7) buf[n++] = static_cast<char>(0x80 | (v & 0x7F));
  while (n > 0) out += buf[--n];
}

void put_be(std::string& out, std::uint32_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

void put_chunk(std::string& out, const char* id, const std::string& body) {
  out += id;
  put_be(out, static_cast<std::uint32_t>(body.size()), 4);
  out += body;
}

void put_meta(std::string& out, std::uint8_t type, std::string_view data) {
  out += static_cast<char>(0xFF);
  out += static_cast<char>(type);
  put_vlq(out, static_cast<std::uint32_t>(data.size()));
  out += data;
}

std::string tempo_bytes(int bpm) {
  const std::uint32_t usec = static_cast<std::uint32_t>((60'000'000 + bpm / 2) / bpm);
  std::string s;
  put_be(s, usec, 3);
  return s;
}

}  // namespace

Song compile(std::string_view source, const std::string& file) {
  Header h = read_header(source, file);
  Song song;
  song.title = h.title;
  song.has_title = h.has_title;

  bool any = false;
  std::vector<std::pair<TempoChange, int>> tempos;
  int tempo_seq = 0;
  std::size_t room = kMaxExpanded;
  for (int k = 0; k < 26; ++k) {
    if (!h.used[k]) continue;
    any = true;
    const char letter = static_cast<char>('A' + k);
    int channel = h.channel[k] ? h.channel[k] : default_channel(letter);
    if (channel == 0)
      throw SourceError(file, h.tracks[k].line, h.tracks[k].col,
                        std::string("track ") + letter + " has no default MIDI channel; add '#channel " + letter +
                            " N' (N = 1-16)");
    const std::vector<Ch> flat = Unroller(h.tracks[k].text, file, room).run();
    room -= flat.size();
    TrackCompiler tc(flat, file, letter, channel, h.volume, tempos, tempo_seq);
    song.tracks.push_back(tc.run());
  }
  if (!any) throw SourceError(file, 1, 1, "no track lines ('A: ...') in this file");

  std::stable_sort(tempos.begin(), tempos.end(), [](const auto& a, const auto& b) {
    if (a.first.tick != b.first.tick) return a.first.tick < b.first.tick;
    return a.second < b.second;
  });
  song.tempos.push_back({0, h.tempo});
  for (const auto& [t, seq] : tempos) song.tempos.push_back(t);
  for (const Track& t : song.tracks) song.end_tick = std::max(song.end_tick, t.end_tick);
  return song;
}

std::string write_smf(const Song& song) {
  std::string out = "MThd";
  put_be(out, 6, 4);
  put_be(out, 1, 2);
  put_be(out, static_cast<std::uint32_t>(1 + song.tracks.size()), 2);
  put_be(out, kDivision, 2);

  std::string conductor;
  if (song.has_title) {
    put_vlq(conductor, 0);
    put_meta(conductor, 0x03, song.title);
  }
  std::int64_t last = 0;
  for (const TempoChange& t : song.tempos) {
    put_vlq(conductor, static_cast<std::uint32_t>(t.tick - last));
    last = t.tick;
    put_meta(conductor, 0x51, tempo_bytes(t.bpm));
  }
  put_vlq(conductor, static_cast<std::uint32_t>(song.end_tick - last));
  put_meta(conductor, 0x2F, "");
  put_chunk(out, "MTrk", conductor);

  for (const Track& t : song.tracks) {
    std::string body;
    put_vlq(body, 0);
    put_meta(body, 0x03, std::string(1, t.letter));
    last = 0;
    for (const TrackEvent& e : t.events) {
      put_vlq(body, static_cast<std::uint32_t>(e.tick - last));
      last = e.tick;
      body.append(reinterpret_cast<const char*>(e.bytes), static_cast<std::size_t>(e.size));
    }
    put_vlq(body, static_cast<std::uint32_t>(t.end_tick - last));
    put_meta(body, 0x2F, "");
    put_chunk(out, "MTrk", body);
  }
  return out;
}

double seconds_at(const Song& song, std::int64_t tick) {
  double sec = 0;
  std::int64_t at = 0;
  int bpm = song.tempos.empty() ? 120 : song.tempos.front().bpm;
  for (const TempoChange& t : song.tempos) {
    if (t.tick >= tick) break;
    sec += static_cast<double>(t.tick - at) * 60.0 / (bpm * kDivision);
    at = t.tick;
    bpm = t.bpm;
  }
  sec += static_cast<double>(tick - at) * 60.0 / (bpm * kDivision);
  return sec;
}

std::string info(const Song& song) {
  std::string out;
  char buf[160];
  if (song.has_title) out += "title: " + song.title + "\n";
  std::snprintf(buf, sizeof buf, "tempo: %d", song.tempos.front().bpm);
  out += buf;
  if (song.tempos.size() > 1) {
    std::snprintf(buf, sizeof buf, " (%zu changes)", song.tempos.size() - 1);
    out += buf;
  }
  out += '\n';
  for (const Track& t : song.tracks) {
    std::snprintf(buf, sizeof buf, "track %c: channel %d, %d notes, %lld ticks, %.2f s\n", t.letter, t.channel,
                  t.notes, static_cast<long long>(t.end_tick), seconds_at(song, t.end_tick));
    out += buf;
  }
  std::snprintf(buf, sizeof buf, "total: %lld ticks, %.2f s\n", static_cast<long long>(song.end_tick),
                seconds_at(song, song.end_tick));
  out += buf;
  return out;
}

}  // namespace ardo::mml
