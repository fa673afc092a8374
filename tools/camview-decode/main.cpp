#include <iostream>
#include <string>
#include <vector>

#include "tools/camview-decode/DecodeTool.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  return camview::decodetool::run(arguments, std::cout, std::cerr);
}
