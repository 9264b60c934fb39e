// Each budget beside its measure, printed once at the end of the run (the counters'
// columns shift with the benchmarks run, and a long row is easily cut off).
#pragma once

namespace ardo::bench {

// The last measure of `what` (a later run of the same benchmark replaces it).
// `most`: the budget is the most the measure may be.
void Budget(const char* what, double measure, double most);

}  // namespace ardo::bench
