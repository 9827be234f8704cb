#include <iostream>

#include "tools/cli/cli.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return quillet::cli::Main(args, std::cout, std::cerr);
}
