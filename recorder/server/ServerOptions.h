#pragma once
// Everything the recorder simulator can be told, with the defaults of the command line.
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "recorder/faults/FaultScript.h"
#include "recorder/server/LanguageItem.h"
#include "recorder/server/PayloadEncoder.h"
#include "recorder/sources/PictureSource.h"

namespace recorder {

constexpr int kDefaultPort = 7070;
constexpr int kProgramReadyCameras = 16;

struct ServerOptions {
  std::string host = "127.0.0.1";
  int port = kDefaultPort; // 0 picks a free port
  int maxViewers = 64;     // connections beyond this are closed at once

  bool diagnostics = false;              // bit 0 of the flags in the "connection established" reply
  std::optional<LanguageTable> language; // sent with that reply when set

  // Pictures.
  std::string camera = "Camera %d"; // %d becomes the connection id
  std::string text1;                // header text at offset 44 (7 characters)
  std::string text2;                // header text at offset 84 (71 characters); empty: the source's description
  std::string text3;                // header text at offset 164 (1 character)
  EncodeSettings encoding;
  double picturesPerSecond = 25.0; // upper limit; <= 0: as fast as the viewer asks
  // > 0: each camera of the test pattern encodes this many pictures when first asked and
  // then serves them in a loop, encoding nothing more (benchmarks of the viewers).
  int loopPictures = 0;
  // The test pattern's cameras 1..readyCameras keep their latest picture ready while nobody
  // watches them, renewed at idlePicturesPerSecond, as a recorder records its cameras: a
  // viewer that opens one gets that picture at once. (The program's default is
  // kProgramReadyCameras; in-process servers have none unless told.)
  int readyCameras = 0;
  double idlePicturesPerSecond = 0.25;
  // How old a camera's latest picture a viewer takes as its first one: two idle periods, so
  // that a renewal a little late does not cost the viewer an encode (zero: none, it waits for
  // a picture of its own period).
  std::chrono::steady_clock::duration readyPictureAge() const {
    if (readyCameras <= 0 || idlePicturesPerSecond <= 0) return std::chrono::steady_clock::duration::zero();
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(2.0 / idlePicturesPerSecond));
  }
  // Still images shared by every connection; null: each connection gets the live test pattern.
  std::shared_ptr<PictureSource> stills;
  // The encoder; null: the project's wavelet encoder.
  std::shared_ptr<PayloadEncoder> encoder;

  FaultScript faults;
  int refuseAtStartMs = 0; // refuse connections for this long after start

  bool quiet = false;          // no status lines
  int statusIntervalMs = 5000; // period of the per-connection status line
};

} // namespace recorder
