// ardo-mapc exits: the maps' exit lines compiled into the game's exits table, with
// marks resolved against the map sources, and every fault named by file:line:col.
#include "tool_test_util.h"

namespace {

using namespace tooltest;

class Exits : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    fs::create_directories(path("music"));
    file("music/letsgo.mml", "");
    file("music/tender.mml", "");
    file("field.txt", "legend . 0\nlegend # 1 blocked\ngrid\n......\n......\n#.....\nmark exit_home 1 1\nmark land_home 1 2\n");
    file("home.txt", "legend . 0\ngrid\n....\n....\nmark exit_out 0 1\nmark land_door 2 0\n");
  }
  Result compile(const std::string& exits) {
    const std::string in = file("home.exits", exits);
    return run(mapc(), {"exits", path("exits.dat").string(), "--music", path("music").string(), in});
  }
};

TEST_F(Exits, MarksAndCellsBecomeRowsOfTheTable) {
  const Result r = compile(
      "# the doors of home\n"
      "field exit_home  home land_door tender 0 flag 32   # the way in\n"
      "\n"
      "home  exit_out   field land_home letsgo 4\n"
      "home  3,1        home 0,0 tender 12\n");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(read_bytes(path("exits.dat")),
            "from,x,y,to,x,y,music,area,flag\n"
            "field,1,1,home,2,0,tender,0,32\n"
            "home,0,1,field,1,2,letsgo,4,-1\n"
            "home,3,1,home,0,0,tender,12,-1\n");
}

TEST_F(Exits, FaultsNameFileLineAndColumnAndWriteNothing) {
  const struct {
    const char* line;
    const char* where;
    const char* what;
  } cases[] = {
      {"home exit_out nowhere 1,1 letsgo 4", ":1:15:", "unknown map 'nowhere'"},
      {"home exit_gate field land_home letsgo 4", ":1:6:", "unknown mark 'exit_gate'"},
      {"home exit_out field land_home letsgo 256", ":1:38:", "area must be a number 0-255"},
      {"home exit_out field 1,x letsgo 4", ":1:21:", "bad cell '1,x'"},
      {"home exit_out field 6,1 letsgo 4", ":1:21:", "lies outside the map"},
      {"home exit_out field land_home letsgo", ":1:31:", "expected: from-map"},
      {"home exit_out field land_home letsgo 4 flag", ":1:40:", "expected: from-map"},
      {"home exit_out field land_home letsgo 4 flag 9999", ":1:45:", "flag must be a number"},
      {"home exit_out field land_home waltz 4", ":1:31:", "unknown music 'waltz'"},
      {"field exit_home field land_home letsgo 1", ":1:1:", "belongs in field.exits"},
      {"home exit_out field land_home letsgo 4\nhome 0,1 home 1,1 tender 0", ":2:6:",
       "already defined at"},
  };
  for (const auto& c : cases) {
    fs::remove(path("exits.dat"));
    const Result r = compile(c.line);
    EXPECT_FALSE(r.crashed) << c.line;
    EXPECT_EQ(r.code, 1) << c.line;
    EXPECT_NE(r.err.find("home.exits" + std::string(c.where)), std::string::npos) << c.line << "\n" << r.err;
    EXPECT_NE(r.err.find(c.what), std::string::npos) << c.line << "\n" << r.err;
    EXPECT_FALSE(fs::exists(path("exits.dat"))) << c.line;
  }
}

}  // namespace
