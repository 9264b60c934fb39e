// Runs every fuzz target over its corpus (the seeds and every input that ever found a
// fault), so the sanitizer build guards against the faults coming back. Faults the
// game logs are its sound answer to bad input and allowed; a crash, a sanitizer report
// or a leak ends the program, and an input that takes longer than its bound fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "fuzz/fuzz.h"
#include "support/faults.h"

namespace ardo::fuzz {
namespace {

namespace fs = std::filesystem;

// A hang guard for one input. The fuzzers hold every input to a second; here the
// sanitizers and a busy machine (the other tests run beside) need room.
constexpr auto kInputTime = std::chrono::seconds(10);

std::vector<std::string> TargetNames() {
  std::vector<std::string> names;
  for (const Target& t : Targets()) names.push_back(t.name);
  return names;
}

class Replay : public ::testing::TestWithParam<std::string> {};

TEST_P(Replay, EveryCorpusInputRunsCleanly) {
  testing::AllowAnyFault();
  const auto& targets = Targets();
  const auto it = std::find_if(targets.begin(), targets.end(), [&](const Target& t) { return t.name == GetParam(); });
  ASSERT_NE(it, targets.end());
  const fs::path folder = fs::path(ARDO_FUZZ_CORPUS) / GetParam();
  std::set<fs::path> inputs;
  for (const auto& e : fs::directory_iterator(folder)) {
    if (e.is_regular_file()) inputs.insert(e.path());
  }
  ASSERT_FALSE(inputs.empty()) << "no corpus in " << folder;
  for (const fs::path& p : inputs) {
    std::ifstream in(p, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto start = std::chrono::steady_clock::now();
    it->fn(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    EXPECT_LT(std::chrono::steady_clock::now() - start, kInputTime) << p;
  }
}

INSTANTIATE_TEST_SUITE_P(Fuzz, Replay, ::testing::ValuesIn(TargetNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

// Every corpus folder belongs to a target, so a renamed target does not silently stop replaying.
TEST(FuzzCorpus, EveryFolderHasATarget) {
  const std::vector<std::string> names = TargetNames();
  for (const auto& e : fs::directory_iterator(ARDO_FUZZ_CORPUS)) {
    EXPECT_NE(std::find(names.begin(), names.end(), e.path().filename().string()), names.end()) << e.path();
  }
}

}  // namespace
}  // namespace ardo::fuzz
