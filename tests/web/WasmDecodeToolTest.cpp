// camview-decode built to WebAssembly, under node, against the native tool: on the same
// payloads and arguments it prints the same line and writes the same bytes. Payloads come
// from our encoder (both video standards, one and two fields, several qualities) and from
// damaging them, so the error records are compared too.
#include "recorder/encoder/PictureEncoder.h"
#include "tools/camview-decode/DecodeTool.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes readAll(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void writeAll(const fs::path& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A picture with edges, ramps and fine detail in both directions.
Bytes testPicture(int height, int seed) {
  Bytes rgb(720 * std::size_t(height) * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < 720; ++x) {
      std::uint8_t* p = rgb.data() + (std::size_t(y) * 720 + x) * 3;
      p[0] = std::uint8_t(x / 3 + seed * 40);
      p[1] = std::uint8_t(y * 255 / height);
      p[2] = std::uint8_t(((x / (8 + seed) + y / 11) % 2) ? 230 : (x * y + seed) % 97);
    }
  return rgb;
}

Bytes encode(int height, int fields, int quality, int seed) {
  wavelet::EncoderSettings settings;
  settings.quality = quality;
  settings.standard = height == 576 ? wavelet::VideoStandard::Lines576 : wavelet::VideoStandard::Lines486;
  settings.fields = fields;
  Bytes payload;
  const Bytes rgb = testPicture(height, seed);
  EXPECT_TRUE(wavelet::encodePicture(rgb.data(), 720, height, 720 * 3, settings, payload));
  return payload;
}

TEST(WasmDecodeTool, SameLineAndBytesAsTheNativeTool) {
  const char* tool = std::getenv("CAMVIEW_WASM_DECODE");
  ASSERT_NE(tool, nullptr) << "CAMVIEW_WASM_DECODE names the WebAssembly camview-decode.js";
  ASSERT_TRUE(fs::exists(tool)) << tool << " is missing: build the preset wasm";
  const fs::path dir = fs::temp_directory_path() / ("camview-wasm-decode-" + std::to_string(::getpid()));
  fs::create_directories(dir);

  struct Payload {
    std::string name;
    Bytes bytes;
    std::vector<std::string> extra; // arguments the payload needs
  };
  std::vector<Payload> payloads = {
      {"two-fields", encode(576, 2, 85, 1), {}},
      {"one-field", encode(576, 1, 60, 2), {"--one-field"}},
      {"ntsc", encode(486, 2, 40, 3), {"--height", "486"}},
  };
  Bytes truncated = payloads[0].bytes;
  truncated.resize(truncated.size() / 3);
  payloads.push_back({"truncated", truncated, {}});
  Bytes damaged = payloads[0].bytes;
  for (std::size_t i = 4000; i < damaged.size(); i += 997) damaged[i] ^= 0x5A;
  payloads.push_back({"damaged", damaged, {}});

  int compared = 0;
  for (const Payload& payload : payloads) {
    const fs::path input = dir / (payload.name + ".wlt");
    writeAll(input, payload.bytes);
    for (const char* engine : {"auto", "portable", "mmx"})
      for (const char* level : {"0", "2", "4"}) {
        std::vector<std::string> arguments = {"--engine", engine, "--level", level};
        arguments.insert(arguments.end(), payload.extra.begin(), payload.extra.end());
        const std::string label = payload.name + " " + engine + " level " + level;

        std::vector<std::string> native = arguments;
        native.insert(native.end(), {"--raw", (dir / "native.raw").string(), input.string()});
        std::ostringstream nativeOut, nativeErr;
        const int nativeExit = camview::decodetool::run(native, nativeOut, nativeErr);

        std::string command = "node --no-experimental-fetch '" + std::string(tool) + "'";
        for (const std::string& argument : arguments) command += " " + argument;
        command += " --raw '" + (dir / "wasm.raw").string() + "' '" + input.string() + "' > '" +
                   (dir / "wasm.txt").string() + "' 2> '" + (dir / "wasm.err").string() + "'";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status)) << label;
        EXPECT_EQ(WEXITSTATUS(status), nativeExit) << label;
        const Bytes wasmOut = readAll(dir / "wasm.txt"), wasmErr = readAll(dir / "wasm.err");
        EXPECT_EQ(std::string(wasmOut.begin(), wasmOut.end()), nativeOut.str()) << label;
        EXPECT_EQ(std::string(wasmErr.begin(), wasmErr.end()), nativeErr.str()) << label;
        if (nativeExit == camview::decodetool::kExitSuccess) {
          const Bytes expected = readAll(dir / "native.raw");
          EXPECT_FALSE(expected.empty()) << label;
          EXPECT_TRUE(readAll(dir / "wasm.raw") == expected) << label << ": the decoded bytes differ";
        }
        fs::remove(dir / "native.raw");
        fs::remove(dir / "wasm.raw");
        ++compared;
      }
  }
  EXPECT_EQ(compared, 45);
  fs::remove_all(dir);
}

} // namespace
