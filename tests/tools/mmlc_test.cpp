// ardo-mmlc: the MIDI it writes for small pieces, and its error reports.
#include <regex>

#include "tool_test_util.h"

namespace {

using namespace tooltest;

class Mmlc : public ScratchTest {
protected:
  // Compiles `source`; expects success and returns the parsed MIDI file.
  Midi compile(const std::string& source) {
    const std::string in = file("t.mml", source);
    const Result r = run(mmlc(), {in, path("t.mid").string()});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_FALSE(r.crashed) << r.err;
    raw = read_bytes(path("t.mid"));
    Midi m;
    EXPECT_TRUE(parse_midi(raw, m)) << "malformed MIDI for: " << source;
    return m;
  }
  std::vector<Note> notes(const std::string& track_line) {
    const Midi m = compile(track_line + "\n");
    if (m.tracks.size() < 2) return {};
    return notes_of(m.tracks[1]);
  }
  std::string raw;
};

TEST_F(Mmlc, WritesExactHeaderConductorAndTrackBytes) {
  compile("#title T\n#tempo 150\nA: @5 c8\n");
  const std::string expected = std::string("MThd\0\0\0\x06\0\x01\0\x02\x01\xE0", 14) +
                               // conductor: title, tempo 400000 us, end at tick 240
                               std::string("MTrk\0\0\0\x11", 8) + std::string("\0\xFF\x03\x01T", 5) +
                               std::string("\0\xFF\x51\x03\x06\x1A\x80", 7) + std::string("\x81\x70\xFF\x2F\0", 5) +
                               // track A: name, program 5, note 60 for 7/8 of 240 ticks, end at 240
                               std::string("MTrk\0\0\0\x15", 8) + std::string("\0\xFF\x03\x01" "A", 5) +
                               std::string("\0\xC0\x05", 3) + std::string("\0\x90\x3C\x64", 4) +
                               std::string("\x81\x52\x80\x3C\x40", 5) + std::string("\x1E\xFF\x2F\0", 4);
  EXPECT_EQ(raw, expected);
}

TEST_F(Mmlc, TracksInLetterOrderOnTheirChannels) {
  const Midi m = compile("#channel S 16\n#channel B 9\nR: n36\nS: c\nJ: c\nA: c\nB: c\n");
  ASSERT_EQ(m.format, 1);
  ASSERT_EQ(m.division, 480);
  ASSERT_EQ(m.tracks.size(), 6u);  // conductor + A B J R S
  const int expected_channel[] = {1, 9, 11, 10, 16};
  const char expected_name[] = {'A', 'B', 'J', 'R', 'S'};
  for (int t = 0; t < 5; ++t) {
    const auto& track = m.tracks[static_cast<std::size_t>(t) + 1];
    ASSERT_FALSE(track.empty());
    EXPECT_EQ(track.front().bytes, (std::vector<std::uint8_t>{0xFF, 0x03, static_cast<std::uint8_t>(expected_name[t])}));
    const auto n = notes_of(track);
    ASSERT_EQ(n.size(), 1u);
    EXPECT_EQ(n[0].channel, expected_channel[t]) << expected_name[t];
    EXPECT_EQ(track.back().bytes, (std::vector<std::uint8_t>{0xFF, 0x2F}));
  }
}

TEST_F(Mmlc, LengthsDotsTiesRestsAndExtensions) {
  // q8: every note sounds its full length.
  EXPECT_EQ(notes("A: q8 l8 c4. d16 e8&e8 f g4&8 r8 a^8"),
            (std::vector<Note>{{60, 0, 720, 100, 1},
                               {62, 720, 840, 100, 1},
                               {64, 840, 1320, 100, 1},
                               {65, 1320, 1560, 100, 1},
                               {67, 1560, 2280, 100, 1},
                               {69, 2520, 3000, 100, 1}}));
}

TEST_F(Mmlc, DotsOnDefaultLengthAndDottedDefault) {
  EXPECT_EQ(notes("A: q8 l4 c. l8. d e"), (std::vector<Note>{{60, 0, 720, 100, 1},
                                                             {62, 720, 1080, 100, 1},
                                                             {64, 1080, 1440, 100, 1}}));
}

TEST_F(Mmlc, GateShortensOnlyTheLastNoteOfATie) {
  EXPECT_EQ(notes("A: c4 c4&c8 d2. q4 e4^4 q1 f64"),
            (std::vector<Note>{{60, 0, 420, 100, 1},
                               {60, 480, 1170, 100, 1},
                               {62, 1200, 2460, 100, 1},
                               {64, 2640, 2640 + 480, 100, 1},  // ^ extends the single note: 960 * 4/8
                               {65, 3600, 3603, 100, 1}}));      // 30 * 1/8 rounds down to 3 ticks
}

TEST_F(Mmlc, LegatoJoinAndChordTies) {
  EXPECT_EQ(notes("A: c4&d4"), (std::vector<Note>{{60, 0, 480, 100, 1}, {62, 480, 900, 100, 1}}));
  EXPECT_EQ(notes("A: q8 'ceg'4&'ceb'4 '<a>c'8"),
            (std::vector<Note>{{60, 0, 960, 100, 1},
                               {64, 0, 960, 100, 1},
                               {67, 0, 480, 100, 1},
                               {71, 480, 960, 100, 1},
                               {57, 960, 1200, 100, 1},
                               {60, 960, 1200, 100, 1}}));
  // Commands between & and the next note keep the tie; octave change inside a chord is local.
  EXPECT_EQ(notes("A: q8 c4& v50 >c4 '>c'4 c4"),
            (std::vector<Note>{{60, 0, 480, 100, 1}, {72, 480, 960, 50, 1}, {84, 960, 1440, 50, 1}, {72, 1440, 1920, 50, 1}}));
}

TEST_F(Mmlc, RepeatsUnrollWithLastPassBreakAndNesting) {
  auto pitches = [this](const std::string& src) {
    std::vector<int> p;
    for (const Note& n : notes(src)) p.push_back(n.pitch);
    return p;
  };
  EXPECT_EQ(pitches("A: [c d | e]3"), (std::vector<int>{60, 62, 64, 60, 62, 64, 60, 62}));
  EXPECT_EQ(pitches("A: [[c]2 d]2 e"), (std::vector<int>{60, 60, 62, 60, 60, 62, 64}));
  EXPECT_EQ(pitches("A: o3 [c >]3 c"), (std::vector<int>{48, 60, 72, 84}));
  EXPECT_EQ(pitches("A: [[[[c]2]2]2]2"), std::vector<int>(16, 60));
  // A tie may cross a repeat boundary; timing continues across passes.
  EXPECT_EQ(notes("A: q8 l8 [c&]2 c"), (std::vector<Note>{{60, 0, 720, 100, 1}}));
}

TEST_F(Mmlc, SameTickNoteOffComesBeforeNoteOn) {
  const Midi m = compile("A: q8 c8 c8\n");
  std::vector<std::pair<std::int64_t, int>> kinds;
  for (const MidiEvent& e : m.tracks[1])
    if ((e.bytes[0] & 0xF0) == 0x80 || (e.bytes[0] & 0xF0) == 0x90) kinds.emplace_back(e.tick, e.bytes[0] & 0xF0);
  EXPECT_EQ(kinds, (std::vector<std::pair<std::int64_t, int>>{{0, 0x90}, {240, 0x80}, {240, 0x90}, {480, 0x80}}));
}

TEST_F(Mmlc, PitchTransposeVelocityAndControllers) {
  EXPECT_EQ(notes("A: o0 <c o8 b c+ d- e## f+- k-12 c k+2 c n60 v0 c"),
            (std::vector<Note>{{0, 0, 420, 100, 1},
                               {119, 480, 900, 100, 1},
                               {109, 960, 1380, 100, 1},
                               {109, 1440, 1860, 100, 1},
                               {114, 1920, 2340, 100, 1},
                               {113, 2400, 2820, 100, 1},
                               {96, 2880, 3300, 100, 1},
                               {110, 3360, 3780, 100, 1},
                               {60, 3840, 4260, 100, 1}}));  // n is not transposed; a v0 note writes nothing
  using Controls = std::vector<std::pair<std::int64_t, std::vector<std::uint8_t>>>;
  auto controls = [](const std::vector<MidiEvent>& track) {
    Controls ctl;
    for (const MidiEvent& e : track)
      if ((e.bytes[0] & 0xF0) == 0xB0 || (e.bytes[0] & 0xF0) == 0xC0) ctl.emplace_back(e.tick, e.bytes);
    return ctl;
  };
  const Midi m = compile("A: c @5 p10 x90 y91,40 d\n");
  EXPECT_EQ(controls(m.tracks[1]),
            (Controls{{480, {0xC0, 5}}, {480, {0xB0, 10, 10}}, {480, {0xB0, 11, 90}}, {480, {0xB0, 91, 40}}}));
  // #volume: every track opens with its channel volume, before its first note.
  const Midi v = compile("#volume 80\nA: c\nB: @3 d\n");
  ASSERT_EQ(v.tracks.size(), 3u);
  EXPECT_EQ(controls(v.tracks[1]), (Controls{{0, {0xB0, 7, 80}}}));
  EXPECT_EQ(controls(v.tracks[2]), (Controls{{0, {0xB1, 7, 80}}, {0, {0xC1, 3}}}));
}

TEST_F(Mmlc, TempoChangesGoToTheConductorAndInfoFollowsThem) {
  const Midi m = compile("#tempo 120\nA: c1 t60 c1\nB: r2 t240 r2\n");
  std::vector<std::pair<std::int64_t, std::uint32_t>> tempos;
  for (const MidiEvent& e : m.tracks[0])
    if (e.bytes[0] == 0xFF && e.bytes[1] == 0x51)
      tempos.emplace_back(e.tick, (e.bytes[2] << 16) | (e.bytes[3] << 8) | e.bytes[4]);
  EXPECT_EQ(tempos, (std::vector<std::pair<std::int64_t, std::uint32_t>>{{0, 500000}, {960, 250000}, {1920, 1000000}}));
  EXPECT_EQ(m.tracks[0].back().tick, 3840);

  const Result r = run(mmlc(), {"--info", path("t.mml").string()});
  ASSERT_EQ(r.code, 0) << r.err;
  // 960 ticks at 120 = 1 s, 960 at 240 = 0.5 s, 1920 at 60 = 4 s.
  EXPECT_NE(r.out.find("track A: channel 1, 2 notes, 3840 ticks, 5.50 s"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("track B: channel 2, 0 notes, 1920 ticks, 1.50 s"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("total: 3840 ticks, 5.50 s"), std::string::npos) << r.out;
}

TEST_F(Mmlc, CommentsBlankLinesAndJoinedTrackLines) {
  const Midi m = compile("; a tune\n\n#title  My Tune ; not part of the title\nA: c ; comment\n\nA: d\n");
  EXPECT_EQ(m.tracks[0][0].bytes, (std::vector<std::uint8_t>{0xFF, 0x03, 'M', 'y', ' ', 'T', 'u', 'n', 'e'}));
  EXPECT_EQ(notes_of(m.tracks[1]).size(), 2u);
}

struct ErrorCase {
  const char* source;
  int line, col;
  const char* message;  // a part of the message
};

TEST_F(Mmlc, ErrorsNameLineAndColumnAndWriteNothing) {
  const ErrorCase cases[] = {
      {"A: c4 z\n", 1, 7, "unknown command 'z'"},
      {"A: C\n", 1, 4, "lowercase"},
      {"A: c d\nA: e z\n", 2, 6, "unknown command"},
      {"A: [c z]3\n", 1, 7, "unknown command"},
      {"A: v999\n", 1, 5, "'v' must be 0-127"},
      {"A: y120,1\n", 1, 5, "'y' must be 0-119"},
      {"A: y91 c\n", 1, 7, "expected ','"},
      {"#volume 128\nA: c\n", 1, 9, "volume must be 0-127"},
      {"A: o\n", 1, 5, "missing number after 'o'"},
      {"A: t10\n", 1, 5, "'t' must be 20-300"},
      {"A: k25 c\n", 1, 5, "-24 to 24"},
      {"A: q0\n", 1, 5, "'q' must be 1-8"},
      {"A: v1234567\n", 1, 5, "number too large"},
      {"A: k24 o8 b\n", 1, 11, "note out of range"},
      {"A: n128\n", 1, 5, "'n' must be 0-127"},
      {"A: o0 <c-\n", 1, 8, "note out of range"},
      {"A: c7\n", 1, 5, "length 7 not allowed"},
      {"A: c128\n", 1, 5, "length 128 not allowed"},
      {"A: c64..\n", 1, 8, "not a whole number of ticks"},
      {"A: l\n", 1, 5, "missing length"},
      {"A: c 4\n", 1, 6, "without a command"},
      {"A: [c d\n", 1, 4, "unbalanced '['"},
      {"A: c ]\n", 1, 6, "']' without a matching '['"},
      {"A: 'ceg\n", 1, 4, "unbalanced quote"},
      {"A: [c 'e]g'\n", 1, 9, "not allowed inside a chord"},
      {"A: 'c4e'\n", 1, 6, "goes after its closing quote"},
      {"A: ''4\n", 1, 4, "empty chord"},
      {"A: [c | d | e]\n", 1, 11, "more than one '|'"},
      {"A: c | d\n", 1, 6, "'|' outside a repeat"},
      {"A: [c]100\n", 1, 7, "repeat count"},
      {"A: [[[[[c]]]]]\n", 1, 8, "nested more than 4"},
      {"A: [[[[c]99]99]99]99\n", 1, 4, "unroll"},
      {"A: & c\n", 1, 4, "'&' needs a note"},
      {"A: c4&\n", 1, 6, "no note to tie to"},
      {"A: c4& r4\n", 1, 6, "not a rest"},
      {"A: ^4\n", 1, 4, "'^' needs a note or a rest"},
      {"\n\nS: c\n", 3, 1, "#channel S"},
      {"#channel A 17\nA: c\n", 1, 12, "1-16"},
      {"#channel AB 1\n", 1, 10, "A-Z"},
      {"#tempo 301\nA: c\n", 1, 8, "20-300"},
      {"#tempo fast\nA: c\n", 1, 8, "bad number"},
      {"#tempo 90\n#tempo 91\n", 2, 1, "twice"},
      {"#key C\n", 1, 1, "unknown directive"},
      {"a: c\n", 1, 1, "uppercase"},
      {"A c\n", 1, 1, "expected a track line"},
      {"; only a comment\n", 1, 1, "no track lines"},
      {"A: c \xE9\n", 1, 6, "unknown command"},  // invalid UTF-8 byte
      {"A: c d \xE3\x81\x82\n", 1, 8, "unknown command 'あ'"},
  };
  for (const ErrorCase& c : cases) {
    const std::string in = file("bad.mml", c.source);
    const fs::path out = path("bad.mid");
    const Result r = run(mmlc(), {in, out.string()});
    const std::string where = in + ":" + std::to_string(c.line) + ":" + std::to_string(c.col) + ": ";
    EXPECT_EQ(r.code, 1) << c.source;
    EXPECT_FALSE(r.crashed) << c.source << r.err;
    EXPECT_EQ(r.err.rfind(where, 0), 0u) << "source: " << c.source << "\nstderr: " << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << "source: " << c.source << "\nstderr: " << r.err;
    EXPECT_FALSE(fs::exists(out)) << c.source;
  }
}

TEST_F(Mmlc, FailedCompileKeepsThePreviousOutputAndLeavesNoTemporary) {
  const std::string in = file("t.mml", "A: c\n");
  ASSERT_EQ(run(mmlc(), {in, path("t.mid").string()}).code, 0);
  const std::string before = read_bytes(path("t.mid"));
  file("t.mml", "A: c z\n");
  EXPECT_EQ(run(mmlc(), {in, path("t.mid").string()}).code, 1);
  EXPECT_EQ(read_bytes(path("t.mid")), before);
  int entries = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir_)) ++entries;
  EXPECT_EQ(entries, 4);  // t.mml, t.mid, stdout.txt, stderr.txt

  const Result r = run(mmlc(), {path("missing.mml").string(), path("x.mid").string()});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("cannot read"), std::string::npos);
  file("t.mml", "A: c\n");
  const Result w = run(mmlc(), {in, path("no/such/dir/x.mid").string()});
  EXPECT_EQ(w.code, 1);
  EXPECT_NE(w.err.find("cannot write"), std::string::npos);
  EXPECT_EQ(run(mmlc(), {}).code, 2);
}

TEST_F(Mmlc, EveryTuneOfTheGameCompiledToAWellFormedLoop) {
  const fs::path music = fs::path(ARDO_BINARY_DIR) / "assets" / "music" / "mid";
  int count = 0;
  for (const auto& e : fs::directory_iterator(fs::path(ARDO_SOURCE_DIR) / "assets" / "music")) {
    if (e.path().extension() != ".mml") continue;
    ++count;
    const fs::path mid = music / (e.path().stem().string() + ".mid");
    Midi m;
    ASSERT_TRUE(parse_midi(read_bytes(mid), m)) << mid;
    ASSERT_GE(m.tracks.size(), 2u) << mid;
    for (const auto& track : m.tracks) {
      ASSERT_FALSE(track.empty());
      EXPECT_EQ(track.back().bytes, (std::vector<std::uint8_t>{0xFF, 0x2F})) << mid;
      for (const Note& n : notes_of(track)) EXPECT_GE(n.off, n.on) << mid << " note " << n.pitch << " never ends";
    }
  }
  EXPECT_GT(count, 0);
}

}  // namespace
