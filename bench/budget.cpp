#include "budget.h"

#include <cstdio>
#include <string>
#include <vector>

namespace ardo::bench {
namespace {

struct Line {
  std::string what;
  double measure = 0, most = 0;
};

struct Lines {
  std::vector<Line> all;
  ~Lines() {
    if (all.empty()) return;
    std::printf("\nBudgets (this run):\n");
    for (const Line& l : all) {
      std::printf("  %-40s %10.3f  budget <= %-8g %s\n", l.what.c_str(), l.measure, l.most,
                  l.measure <= l.most ? "holds" : "OVER");
    }
    std::fflush(stdout);
  }
};

Lines& All() {
  static Lines lines;
  return lines;
}

}  // namespace

void Budget(const char* what, double measure, double most) {
  for (Line& l : All().all) {
    if (l.what == what) {
      l.measure = measure;
      l.most = most;
      return;
    }
  }
  All().all.push_back(Line{what, measure, most});
}

}  // namespace ardo::bench
