// Linked into every test program: a listener that collects the faults each test logs
// and fails the test on one it did not declare.
#include "support/faults.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/core.h"

namespace ardo::testing {

namespace {

struct Logged {
  std::string source;
  int number;
  std::string description;
};

std::vector<Logged> g_logged;
std::map<std::pair<std::string, int>, int> g_expected;  // declared fault -> times seen
bool g_any_allowed = false;

class FaultGuard final : public ::testing::EmptyTestEventListener {
 public:
  void OnTestStart(const ::testing::TestInfo&) override {
    g_logged.clear();
    g_expected.clear();
    g_any_allowed = false;
    SetFaultListener([](std::string_view source, const Fault& f) {
      g_logged.push_back({std::string(source), f.number, f.description});
    });
  }
  // Runs before the result printer's OnTestEnd, so a failure here shows with the test.
  void OnTestEnd(const ::testing::TestInfo&) override {
    SetFaultListener({});
    if (g_any_allowed) g_logged.clear();
    std::string unexpected;
    for (const Logged& l : g_logged) {
      auto it = g_expected.find({l.source, l.number});
      if (it != g_expected.end()) {
        ++it->second;
      } else {
        unexpected += "  " + l.source + " Error: " + std::to_string(l.number) + " " + l.description + "\n";
      }
    }
    if (!unexpected.empty()) ADD_FAILURE() << "faults logged that the test did not expect:\n" << unexpected;
    for (const auto& [key, seen] : g_expected) {
      if (seen == 0) { ADD_FAILURE() << "expected fault not logged: " << key.first << " Error: " << key.second; }
    }
    g_logged.clear();
    g_expected.clear();
  }
};

const bool g_installed = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new FaultGuard);
  return true;
}();

}  // namespace

void ExpectFault(const std::string& source, int number) { g_expected.emplace(std::make_pair(source, number), 0); }

void AllowAnyFault() { g_any_allowed = true; }

}  // namespace ardo::testing
