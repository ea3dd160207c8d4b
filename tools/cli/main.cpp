#include <iostream>

#include "tools/cli/cli.h"

int main(int argc, char** argv) {
  return korvel::cli::run_cli(korvel::cli::Arguments(argv + 1, argv + argc), std::cout, std::cerr);
}
