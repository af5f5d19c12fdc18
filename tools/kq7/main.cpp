#include <iostream>

#include "kq7/CommandLine.h"

int main(int argc, char** argv) {
  return stagwerk::kq7::RunKq7(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
