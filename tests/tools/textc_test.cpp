// ardo-textc: a fault in the texts names its file and line, and nothing is copied.
#include <gtest/gtest.h>

#include <algorithm>

#include "tool_test_util.h"

namespace {

using namespace tooltest;

class Textc : public ScratchTest {
 protected:
  std::string textc() const { return tool_path("textc", "ardo-textc"); }
  // The game's own texts in both languages, copied to src/ and src/en/ with `edit`
  // applied to one of them (name "en/town1.txt" for an English one).
  std::vector<std::string> Sources(const std::string& name = "", const std::string& from = "",
                                   const std::string& to = "") const {
    fs::create_directories(path("src/en"));
    std::vector<std::string> args = {path("out").string()};
    for (const std::string folder : {"", "en/"}) {
      for (const auto& e : fs::directory_iterator(fs::path(ARDO_SOURCE_DIR) / ("assets/text/" + folder))) {
        if (e.path().extension() != ".txt" || e.path().filename() == "CMakeLists.txt") continue;
        const std::string relative = folder + e.path().filename().string();
        std::string data = read_bytes(e.path());
        if (relative == name) {
          const size_t at = data.find(from);
          EXPECT_NE(at, std::string::npos) << from;
          if (at != std::string::npos) data.replace(at, from.size(), to);
        }
        args.push_back(file("src/" + relative, data));
      }
    }
    return args;
  }
};

TEST_F(Textc, FaultsNameFileAndLineAndCopyNothing) {
  // A missing key, and a key the game never asks for.
  Result r = run(textc(), Sources("town1.txt", "[1.after]", "[1.later]"));
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("town1.txt:1:1: no text for [1.after]"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("[1.later] is never asked for"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(path("out")));
  // A line too wide for the window, on the line where it is written.
  fs::remove_all(path("src"));
  r = run(textc(), Sources("forest.txt", "すっかり迷ってしまった。￥", "すっかり迷ってしまったんだよなあ。￥"));
  EXPECT_EQ(r.code, 1);
  const std::string forest = read_bytes(path("src/forest.txt"));
  const int line = 1 + static_cast<int>(std::count(forest.begin(), forest.begin() + static_cast<long>(forest.find("すっかり")), '\n'));
  EXPECT_NE(r.err.find("forest.txt:" + std::to_string(line) + ":"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("wider than the message window"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(path("out")));
  // English: a key the Japanese has is missing, and a page that wraps to five lines
  // with a full-width letter in it.
  fs::remove_all(path("src"));
  r = run(textc(), Sources("en/town1.txt", "[1.after]", "[1.later]"));
  EXPECT_NE(r.err.find("town1.txt:1:1: no text for [1.after]"), std::string::npos) << r.err;
  fs::remove_all(path("src"));
  r = run(textc(), Sources("en/forest.txt", "now I'm good and lost.", "now I'm good and lost, lost in the deep dark woods for days and days on end！"));
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("en/forest.txt:"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("more lines than the window shows"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("not a half-width letter"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(path("out")));
  // Both languages sound: everything is copied, English to en/.
  fs::remove_all(path("src"));
  r = run(textc(), Sources());
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(fs::exists(path("out/town1.txt")));
  EXPECT_TRUE(fs::exists(path("out/en/town1.txt")));
}

// The game's words: a menu row too wide for its window, a word the game asks for left
// out, a thing with no English name and a name for nothing are each found; sound words
// pass.
TEST_F(Textc, WordsAreCheckedInBothLanguagesWithTheNames) {
  const fs::path words = fs::path(ARDO_SOURCE_DIR) / "assets/words";
  const auto sources = [&](const std::string& name, const std::string& from, const std::string& to) {
    fs::remove_all(path("src"));
    fs::create_directories(path("src/en"));
    std::vector<std::string> args = {"--words=" + (fs::path(ARDO_SOURCE_DIR) / "assets/data").string(),
                                     path("out").string()};
    for (const std::string relative : {"words.txt", "en/words.txt", "en/names.txt"}) {
      std::string data = read_bytes(words / relative);
      if (relative == name) data.replace(data.find(from), from.size(), to);
      args.push_back(file("src/" + relative, data));
    }
    return args;
  };
  const struct {
    const char* file;
    const char* from;
    const char* to;
    const char* fault;
  } kFaults[] = {
      {"en/words.txt", "\nOptions\n", "\nPreferences\n", "en/words.txt:"},
      {"en/words.txt", "\nOptions\n", "\nPreferences\n", "[menu_settings] wider than its window (8 letters)"},
      {"words.txt", "[quit_bye]", "[quit_byebye]", "no word [quit_bye], which the game asks for"},
      {"words.txt", "[quit_bye]", "[quit_byebye]", "[quit_byebye] is never asked for"},
      {"en/names.txt", "薬草 = Herb", "薬草ー = Herb", "no English name for 薬草"},
      {"en/names.txt", "薬草 = Herb", "薬草ー = Herb", "薬草ー is named nowhere in the game"},
  };
  for (const auto& f : kFaults) {
    const Result r = run(textc(), sources(f.file, f.from, f.to));
    EXPECT_EQ(r.code, 1) << f.fault;
    EXPECT_NE(r.err.find(f.fault), std::string::npos) << r.err;
  }
  const Result r = run(textc(), sources("", "", ""));
  EXPECT_EQ(r.code, 0) << r.err;
}

}  // namespace
