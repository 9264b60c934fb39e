// Faults fail tests: every fault a test's code logs must be declared by the test with
// ExpectFault, or the test fails when it ends (listing what was logged). A declared
// fault that never came fails it too.
#pragma once

#include <string>

namespace ardo::testing {

// The test expects `source` to log fault `number` at least once.
void ExpectFault(const std::string& source, int number);

// The test feeds the code arbitrary input (the fuzz replay): any fault may be logged,
// none is required.
void AllowAnyFault();

}  // namespace ardo::testing
