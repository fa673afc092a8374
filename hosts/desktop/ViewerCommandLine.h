#pragma once
// The desktop viewer's command line.
#include "presentation/DecodeMode.h"

#include <string>
#include <vector>

namespace desktop {

struct CameraAddress {
  std::string host = "127.0.0.1";
  int port = 7070;
  int id = 0;
};

struct Options {
  std::vector<CameraAddress> cameras; // one viewer each, laid out in a grid
  int width = 720;                    // the whole window
  int height = 576;
  int language = -1;            // CLanguageTable::kGerman / kEnglish, -1: the system's
  std::string snapshot;         // headless: write the window's picture to this PNG
  int frames = 1;               // ... after this many decoded pictures per viewer
  double timeoutSeconds = 10.0; // ... or at this time at the latest (status screen)
  bool help = false;
  // Grid cells are small: each viewer decodes at its cell's size unless told otherwise.
  presentation::DecodeMode decode = presentation::DecodeMode::Fit;
};

// Parses argv. --host starts a new camera; --port and --id set the latest one's port and
// id. --grid N repeats the latest camera N times in all, with the ids id, id + 1, ...
// False with a message for anything it does not understand.
bool parseCommandLine(int argc, const char* const* argv, Options& options, std::string& error);

const char* usageText();

} // namespace desktop
