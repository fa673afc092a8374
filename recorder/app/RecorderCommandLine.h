#pragma once
// The camview-recorder command line.
#include <string>
#include <vector>

#include "recorder/server/ServerOptions.h"

namespace recorder {

struct RecorderCommandLine {
  ServerOptions server;
  std::vector<std::string> images; // still images to play in a loop; none: the test pattern
  int picturesPerStill = 1;
  bool help = false;
};

// Parses the arguments after the program name. Reads the language and fault script files
// named on it. False with a message for the user on any mistake.
bool parseCommandLine(const std::vector<std::string>& arguments, RecorderCommandLine& result, std::string& error);

// The --help text.
std::string helpText();

} // namespace recorder
