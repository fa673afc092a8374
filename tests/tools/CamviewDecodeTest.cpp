// camview-decode, run through its entry point: exit codes, the summary line and both outputs.
#include <gtest/gtest.h>

#include <png.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "decoder/PictureSplit.h"
#include "decoder/WaveletDecoder.h"
#include "recorder/encoder/FaultInjection.h"
#include "recorder/encoder/PictureEncoder.h"
#include "tools/camview-decode/DecodeTool.h"

namespace camview::decodetool {
namespace {

namespace fs = std::filesystem;

// A picture with structure in both directions, 720 x height, RGB.
std::vector<uint8_t> testPicture(int height) {
  std::vector<uint8_t> rgb(720 * static_cast<size_t>(height) * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < 720; ++x) {
      uint8_t* p = rgb.data() + (static_cast<size_t>(y) * 720 + x) * 3;
      p[0] = static_cast<uint8_t>(x / 3);
      p[1] = static_cast<uint8_t>(y * 255 / height);
      p[2] = ((x / 40 + y / 40) % 2) ? 200 : 40;
    }
  return rgb;
}

class CamviewDecode : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("camview-decode-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string writePayload(const std::vector<uint8_t>& payload, const std::string& name = "picture.wlt") {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(payload.data()), static_cast<std::streamsize>(payload.size()));
    return path.string();
  }
  std::vector<uint8_t> encoded(int height = 576, int fields = 2) {
    wavelet::EncoderSettings settings;
    settings.quality = 80;
    settings.standard = height == 576 ? wavelet::VideoStandard::Lines576 : wavelet::VideoStandard::Lines486;
    settings.fields = fields;
    std::vector<uint8_t> payload;
    const auto rgb = testPicture(height);
    EXPECT_TRUE(wavelet::encodePicture(rgb.data(), 720, height, 720 * 3, settings, payload));
    return payload;
  }
  int runTool(const std::vector<std::string>& arguments) {
    out_.str("");
    err_.str("");
    return run(arguments, out_, err_);
  }
  std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
  }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }

  fs::path dir_;
  std::ostringstream out_, err_;
};

TEST_F(CamviewDecode, RawOutputIsTheDecodersBufferAndTheLineDescribesIt) {
  const auto payload = encoded();
  const std::string input = writePayload(payload);
  ASSERT_EQ(runTool({"--engine", "portable", "--raw", path("frame.raw"), input}), kExitSuccess) << err_.str();
  EXPECT_EQ(out_.str(), "result=0 width=696 height=576 error=0,0,0\n");
  const auto raw = readBytes(path("frame.raw"));
  ASSERT_EQ(raw.size(), 696u * 576 * 3);

  // The same decode done directly, as the Decoder thread sets it up.
  wavelet::FieldStreams fields;
  ASSERT_TRUE(wavelet::splitPicturePayload(payload.data(), static_cast<uint32_t>(payload.size()), fields));
  std::vector<uint8_t> frame(768 * 576 * 3);
  wavelet::CWaveletDecoder decoder(720, 576, wavelet::EngineKind::Portable);
  wavelet::DecodeSettings settings;
  settings.region.colEnd = 696;
  settings.setFields(fields);
  settings.output = frame.data();
  settings.outputSize = frame.size();
  const wavelet::DecodeReport report = decoder.Decode(settings);
  ASSERT_TRUE(report.ok());
  frame.resize(static_cast<size_t>(report.outputSize));
  EXPECT_EQ(raw, frame);
}

TEST_F(CamviewDecode, LevelsEnginesColumnEndsHeightsAndOneField) {
  const std::string input = writePayload(encoded());
  struct Case {
    std::vector<std::string> options;
    std::string line;
  };
  const Case cases[] = {
      {{"--level", "2", "--engine", "portable"}, "result=0 width=172 height=144 error=0,0,0\n"},
      {{"--level", "2", "--engine", "mmx"}, "result=0 width=168 height=144 error=0,0,0\n"},
      {{"--level", "4", "--engine", "portable"}, "result=0 width=40 height=36 error=0,0,0\n"},
      {{"--level", "1", "--col-end", "400", "--engine", "portable"}, "result=0 width=200 height=288 error=0,0,0\n"},
      {{"--col-end", "9999", "--engine", "portable"}, "result=0 width=720 height=576 error=0,0,0\n"},
      {{"--one-field", "--engine", "portable"}, "result=0 width=696 height=576 error=0,0,0\n"},
      {{"--height", "480"}, "result=1 width=0 height=0 error=0,0,0\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> arguments = c.options;
    arguments.insert(arguments.end(), {"--raw", path("frame.raw"), input});
    const int code = runTool(arguments);
    EXPECT_EQ(out_.str(), c.line) << arguments[0] << " " << arguments[1];
    EXPECT_EQ(code, c.line.rfind("result=0 ", 0) == 0 ? kExitSuccess : kExitDecodeFailed);
  }
  // The 486-line standard decodes with --height 486.
  const std::string ntsc = writePayload(encoded(486), "ntsc.wlt");
  EXPECT_EQ(runTool({"--height", "486", "--engine", "portable", "--raw", path("frame.raw"), ntsc}), kExitSuccess);
  EXPECT_EQ(out_.str(), "result=0 width=696 height=486 error=0,0,0\n");
}

TEST_F(CamviewDecode, PngIsTheFrameUprightInRgb) {
  const std::string input = writePayload(encoded());
  ASSERT_EQ(runTool({"--level", "1", "--engine", "portable", "--raw", path("frame.raw"), input}), kExitSuccess);
  const auto raw = readBytes(path("frame.raw"));
  ASSERT_EQ(runTool({"--level", "1", "--engine", "portable", "--png", path("frame.png"), input}), kExitSuccess);

  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_NE(png_image_begin_read_from_file(&image, path("frame.png").c_str()), 0);
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  ASSERT_NE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr), 0);
  ASSERT_EQ(image.width, 348u);
  ASSERT_EQ(image.height, 288u);
  for (size_t y = 0; y < 288; ++y)
    for (size_t x = 0; x < 348; ++x)
      for (size_t c = 0; c < 3; ++c)
        ASSERT_EQ(rgb[(y * 348 + x) * 3 + c], raw[((287 - y) * 348 + x) * 3 + (2 - c)]) << x << "," << y;
}

TEST_F(CamviewDecode, DecodeFailuresExitWithOneAndReportTheErrorRecord) {
  auto damaged = encoded();
  ASSERT_TRUE(wavelet::damagePayload(damaged, wavelet::FieldDamage::BadBandType));
  EXPECT_EQ(runTool({"--raw", path("frame.raw"), writePayload(damaged)}), kExitDecodeFailed);
  // Band 6 is the first band record; its header word is word 5 of the field.
  // The decoder sets its output size before it reads the bands and leaves it on failure.
  EXPECT_EQ(out_.str(), "result=4 width=696 height=576 error=6,6,24\n");
  EXPECT_FALSE(fs::exists(path("frame.raw")));

  // A length word that points past the payload's end.
  std::vector<uint8_t> lying = encoded();
  lying[3] = 0x7F;
  EXPECT_EQ(runTool({"--raw", path("frame.raw"), writePayload(lying)}), kExitDecodeFailed);
  EXPECT_EQ(out_.str().rfind("result=6 ", 0), 0u) << out_.str();
  EXPECT_NE(err_.str().find("length word"), std::string::npos);
}

TEST_F(CamviewDecode, HelpPrintsTheUsage) {
  EXPECT_EQ(runTool({"--help"}), kExitSuccess);
  EXPECT_EQ(out_.str().rfind("usage: camview-decode", 0), 0u);
  EXPECT_TRUE(err_.str().empty());
}

TEST_F(CamviewDecode, UsageErrorsExitWithTwo) {
  const std::string input = writePayload(encoded());
  const std::string raw = path("frame.raw");
  const std::vector<std::vector<std::string>> misuses{
      {},
      {input},
      {"--raw", raw},
      {"--raw", raw, "--png", path("x.png"), input},
      {"--level", "6", "--raw", raw, input},
      {"--level", "two", "--raw", raw, input},
      {"--level"},
      {"--col-end", "-1", "--raw", raw, input},
      {"--height", "0", "--raw", raw, input},
      {"--engine", "sse", "--raw", raw, input},
      {"--frobnicate", "--raw", raw, input},
      {"--raw", raw, input, input},
      {"--raw", raw, path("missing.wlt")},
      {"--raw", (dir_ / "no-such-folder" / "frame.raw").string(), input},
  };
  for (const auto& arguments : misuses) {
    EXPECT_EQ(runTool(arguments), kExitUsage) << (arguments.empty() ? "(none)" : arguments[0]);
    EXPECT_FALSE(err_.str().empty());
  }
}

} // namespace
} // namespace camview::decodetool
