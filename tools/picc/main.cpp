// ardo-picc: the picture compiler's program.
#include <iostream>
#include <string>
#include <vector>

#include "picc.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return ardo::picc::Run(args, std::cout, std::cerr);
}
