// camview-decode: decodes one picture payload (the bytes of a picture's "BODY" item) the way
// the viewer's Decoder thread sets the decoder up, and writes the frame as raw bytes or PNG.
//
//   camview-decode [--engine auto|portable|mmx] [--level L] [--col-end C] [--height H]
//                  [--one-field] (--raw OUT | --png OUT.png) PAYLOAD
//
// Prints one line "result=R width=W height=H error=S,B,O" (the decoder's result code, output
// size and error record) and exits with 0 on success, 1 when the decode fails, 2 on usage
// errors (including unreadable input and unwritable output files). --help prints the usage.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "decoder/WaveletEngine.h"

namespace camview::decodetool {

enum ExitCode : int { kExitSuccess = 0, kExitDecodeFailed = 1, kExitUsage = 2 };

struct Options {
  wavelet::EngineKind engine = wavelet::EngineKind::Automatic;
  int level = 0;         // 0..5
  int colEnd = -1;       // -1: the level's column limit
  int height = 576;      // picture height, also the end of the decoded rows
  bool oneField = false; // pass only the first field
  std::string rawPath;   // exactly one of rawPath and pngPath is set
  std::string pngPath;
  std::string payloadPath;
  bool help = false; // --help: print the usage and nothing else
};

// Parses the arguments after the program name. False with a message in `error` on misuse.
bool parseArguments(const std::vector<std::string>& arguments, Options& options, std::string& error);

// The viewer's last decoded column at each resolution level (level 5 uses level 4's).
int columnLimit(int level);

struct Outcome {
  bool success = false;
  int32_t result = 0;
  int32_t width = 0;  // the decoder's outWidth
  int32_t height = 0; // the decoder's outHeight
  int32_t errorStage = 0, errorBand = 0, errorOffset = 0;
  std::vector<uint8_t> frame; // on success: outputSize bytes, bottom-up BGR rows, packed
};

// Decodes `payload` with the decoder set up as the options say.
Outcome decode(const std::vector<uint8_t>& payload, const Options& options);

// "result=R width=W height=H error=S,B,O"
std::string summaryLine(const Outcome& outcome);

// The whole tool: parse, read, decode, write, report. Returns the exit code.
int run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

} // namespace camview::decodetool
