#include <iostream>

#include "ctl.h"

int main(int argc, char* argv[]) {
  std::vector<std::string> args(argv + 1, argv + argc);
  r770::ctl::Io io{std::cout, std::cerr, {}};
  return r770::ctl::Main(args, io);
}
