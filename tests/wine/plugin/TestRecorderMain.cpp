// The recorder simulator as a process of its own for the plug-in's tests: the browser's
// process then holds no socket library reference of its own, so a plug-in that cleaned the
// sockets up too often would show. Same options as camview-recorder (no image files);
// prints "listening on HOST:PORT" and stops when its standard input ends.
#include "recorder/app/CommandLine.h"
#include "recorder/encoder/PictureEncoder.h"
#include "recorder/server/RecorderServer.h"

#include <cstdio>
#include <iostream>
#include <mutex>

namespace {

// One wavelet encoder for every connection, one picture at a time. The server's own keeps an
// encoder per serving thread in thread-local storage; in this MinGW build its destruction at
// the end of a connection's thread crashes now and then (seen under Wine), which would take
// the tests' recorder down with it.
class SerialEncoder final : public recorder::PictureEncoder {
public:
  bool encode(const recorder::RgbFrame& frame, const recorder::EncodeSettings& settings,
              std::vector<std::uint8_t>& payload, std::string& error) override {
    wavelet::EncoderSettings encoderSettings;
    encoderSettings.quality = settings.quality;
    encoderSettings.standard =
        settings.standard576 ? wavelet::VideoStandard::Lines576 : wavelet::VideoStandard::Lines486;
    encoderSettings.fields = settings.fields;
    encoderSettings.pixelOrder = wavelet::PixelOrder::Rgb;
    std::lock_guard<std::mutex> lock(mutex_);
    if (encoder_.encode(frame.pixels.data(), frame.width, frame.height, frame.stride(), encoderSettings, payload))
      return true;
    error = "the encoder refused the picture";
    return false;
  }
  void corrupt(std::vector<std::uint8_t>& payload) override { standard_->corrupt(payload); }

private:
  std::mutex mutex_;
  wavelet::PictureEncoder encoder_;
  std::unique_ptr<recorder::PictureEncoder> standard_ = recorder::makeWaveletEncoder(); // its damage
};

} // namespace

int main(int argc, char** argv) {
  recorder::CommandLine commandLine;
  std::string error;
  if (!recorder::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc), commandLine, error) ||
      !commandLine.images.empty()) {
    std::cerr << "plugin_test_recorder: " << (error.empty() ? "no image files here" : error) << '\n';
    return 2;
  }
  commandLine.server.encoder = std::make_shared<SerialEncoder>();
  recorder::RecorderServer server(commandLine.server, std::cerr);
  if (!server.start(error)) {
    std::cerr << "plugin_test_recorder: " << error << '\n';
    return 1;
  }
  std::cout << "listening on " << server.host() << ':' << server.port() << std::endl;
  while (std::fgetc(stdin) != EOF) {}
  server.stop();
  return 0;
}
