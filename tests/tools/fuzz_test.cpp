// Seeded random mutations of valid sources: whatever the input, no tool may
// crash, and a failed run reports a position and leaves no output behind.
#include <random>

#include "tool_test_util.h"

namespace {

using namespace tooltest;

bool starts_with_position(const std::string& err, const std::string& file) {
  if (err.rfind(file + ":", 0) != 0) return false;
  std::size_t p = file.size() + 1;
  for (int field = 0; field < 2; ++field) {
    const std::size_t digits = p;
    while (p < err.size() && err[p] >= '0' && err[p] <= '9') ++p;
    if (p == digits || p >= err.size() || err[p] != ':') return false;
    ++p;
  }
  return err.compare(p, 1, " ") == 0;
}

class Mutator {
public:
  explicit Mutator(std::uint32_t seed) : rng_(seed) {}

  std::string mutate(std::string s) {
    const int n = 1 + pick(4);
    for (int i = 0; i < n; ++i) once(s);
    return s;
  }

private:
  int pick(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }
  std::size_t pos(const std::string& s) { return s.empty() ? 0 : rng_() % (s.size() + 1); }

  void once(std::string& s) {
    static const std::string alphabet =
        "0123456789 \t\n\r;#[]|'&^.<>+-,@:=~\"abcdefgnoqlrtvxkpACRSZW\x01\x7f\x80\xff\xe3\x81\x82";
    static const char* words[] = {"99999999999", "-1", "0", "256", "1e308", "nan", "]99", "[[[[", "''",
                                  "layer\n",     "grid\n", "\n\n", "legend", "mark x 300 300\n", "fill .\n",
                                  "size 255 255\n", "include m.txt\n", "#channel Z 16\n", "hold 9\n", "^"};
    switch (pick(6)) {
      case 0:  // replace a byte
        if (!s.empty()) s[pos(s) % s.size()] = alphabet[static_cast<std::size_t>(pick(static_cast<int>(alphabet.size())))];
        break;
      case 1:  // insert a byte
        s.insert(pos(s), 1, alphabet[static_cast<std::size_t>(pick(static_cast<int>(alphabet.size())))]);
        break;
      case 2: {  // delete a range
        const std::size_t at = pos(s);
        s.erase(at, static_cast<std::size_t>(1 + pick(12)));
        break;
      }
      case 3: {  // duplicate a range somewhere else
        const std::size_t at = pos(s);
        const std::string chunk = s.substr(at, static_cast<std::size_t>(1 + pick(40)));
        s.insert(pos(s), chunk);
        break;
      }
      case 4:  // insert a troublesome word
        s.insert(pos(s), words[pick(static_cast<int>(std::size(words)))]);
        break;
      default:  // truncate
        s.resize(pos(s));
        break;
    }
  }

  std::mt19937 rng_;
};

class Fuzz : public ScratchTest {
protected:
  // Runs `args` (with IN and OUT standing for the mutated input and the
  // output) over mutations of each seed source.
  void fuzz(const std::string& tool, const std::vector<std::string>& seeds, const std::string& ext,
            std::vector<std::string> args, int rounds, std::uint32_t seed) {
    Mutator m(seed);
    const std::string in = path("m" + ext).string();
    const fs::path out = path("out.bin");
    for (std::string& a : args) a = a == "IN" ? in : a == "OUT" ? out.string() : a;
    for (int i = 0; i < rounds; ++i) {
      const std::string& base = seeds[static_cast<std::size_t>(i) % seeds.size()];
      const std::string input = m.mutate(base);
      write_bytes(in, input);
      fs::remove(out);
      const Result r = run(tool, args);
      ASSERT_FALSE(r.crashed) << "round " << i << "\ninput:\n" << input << "\nstderr:\n" << r.err;
      ASSERT_TRUE(r.code == 0 || r.code == 1) << "round " << i << " exit " << r.code << "\n" << r.err;
      if (r.code == 1) {
        ASSERT_FALSE(fs::exists(out)) << "round " << i << ": output left after an error";
        ASSERT_TRUE(starts_with_position(r.err, in) || r.err.rfind("ardo-", 0) == 0)
            << "round " << i << ": " << r.err;
      }
    }
  }
  static std::string asset(const std::string& rel) { return read_bytes(fs::path(ARDO_SOURCE_DIR) / "assets" / rel); }
};

TEST_F(Fuzz, MmlCompiler) {
  const std::vector<std::string> seeds = {
      "#title Fuzz\n#tempo 140\n#channel S 12\n"
      "A: @5 v90 p64 x100 q6 l8 o4 c d+ e- f4. g16 a8&a8 b4&>c4 'ceg'4 n60,8. ^16 r4\n"
      "B: k-3 [c d | e f]3 t90 [[c]2 >]2 < '<a>c e'2\n"
      "R: n36 n42,16 n38 [n36,8 n42]4\n"
      "S: c1\n",
      asset("music/ss_m1b.mml"),
  };
  fuzz(mmlc(), seeds, ".mml", {"IN", "OUT"}, 100, 1);
  fuzz(mmlc(), seeds, ".mml", {"--info", "IN"}, 20, 2);
}

TEST_F(Fuzz, MapCompiler) {
  const std::vector<std::string> seeds = {
      asset("maps/test.txt"),
      "legend . 0\nlegend 木 7 blocked hide-upper 8\nsize 5 4\nfill .\nheader 01 02\ngrid\n木.木\n.木\n\n"
      "mark a 4 3\nmark b 0 0 # c\n",
  };
  fuzz(mapc(), seeds, ".txt", {"compile", "IN", "OUT"}, 100, 3);
  fuzz(mapc(), seeds, ".txt", {"marks", "--json", "IN"}, 20, 4);
}

TEST_F(Fuzz, MapDecompilerRoundTripsWhateverItAccepts) {
  const std::string map = read_bytes(fs::path(ARDO_GAME_DIR) / "map" / "test.map");
  ASSERT_FALSE(map.empty());
  std::mt19937 rng(5);
  const std::string in = path("in.map").string(), txt = path("out.txt").string(), back = path("back.map").string();
  for (int i = 0; i < 40; ++i) {
    std::string bytes = map;
    switch (i % 4) {
      case 0: bytes[rng() % 2] = static_cast<char>(rng() & 0xFF); break;  // size bytes
      case 1: bytes.resize(rng() % bytes.size()); break;
      case 2: bytes[rng() % bytes.size()] = static_cast<char>(rng() & 0xFF); break;
      default: bytes += static_cast<char>(rng() & 0xFF); break;
    }
    write_bytes(in, bytes);
    fs::remove(txt);
    const Result r = run(mapc(), {"decompile", in, txt});
    ASSERT_FALSE(r.crashed) << r.err;
    ASSERT_TRUE(r.code == 0 || r.code == 1) << r.err;
    if (r.code == 1) {
      ASSERT_FALSE(fs::exists(txt));
      continue;
    }
    ASSERT_EQ(run(mapc(), {"compile", txt, back}).code, 0);
    ASSERT_EQ(read_bytes(back), bytes) << "round " << i;
  }
}

TEST_F(Fuzz, SoundCompiler) {
  const std::vector<std::string> seeds = {asset("sound/heal.sfx"), asset("sound/thunder.sfx"),
                                          asset("sound/encount2.sfx")};
  fuzz(sfxc(), seeds, ".sfx", {"IN", "OUT"}, 60, 6);
}

TEST_F(Fuzz, HandPickedHostileInputs) {
  const std::string long_line(200000, 'z');
  const std::string nested = "A: " + std::string(5000, '[') + "c" + std::string(5000, ']') + "\n";
  const std::vector<std::string> inputs = {"",          "\xEF\xBB\xBF",  std::string(1000, '\0'),
                                           "A:" + long_line, nested,    "A: " + std::string(100000, '>') + "c\n",
                                           "grid\n" + long_line, "layer\n" + long_line, "\r\r\r\n\n\r"};
  for (const std::string& input : inputs) {
    const std::string in = file("h.src", input);
    for (const auto& args : std::vector<std::vector<std::string>>{{mmlc(), in, path("o").string()},
                                                                   {mapc(), "compile", in, path("o").string()},
                                                                   {sfxc(), in, path("o").string()}}) {
      const Result r = run(args[0], std::vector<std::string>(args.begin() + 1, args.end()));
      EXPECT_FALSE(r.crashed) << args[0] << "\n" << r.err;
      EXPECT_EQ(r.code, 1) << args[0] << " accepted a hostile input";
      EXPECT_FALSE(fs::exists(path("o")));
    }
  }
}

}  // namespace
