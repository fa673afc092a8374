// Picture sources and payloads: the test pattern, still images, PNG loading, encoding.
#include <gtest/gtest.h>

#include <png.h>

#include <cstring>

#include "RecorderTestSupport.h"
#include "decoder/PictureSplit.h"
#include "recorder/server/LiveCameras.h"
#include "recorder/server/PayloadEncoder.h"
#include "recorder/sources/ImageListSource.h"
#include "recorder/sources/PngImage.h"
#include "recorder/sources/Resample.h"
#include "recorder/sources/TestPattern.h"

using namespace recorder;

namespace {

RgbFrame renderPattern(int id, std::uint32_t elapsedMs, bool interlaced = true, int height = 576) {
  TestPattern pattern;
  PictureContext context;
  context.connectionId = id;
  context.elapsedMs = elapsedMs;
  context.wallClockMs = 12 * 3600 * 1000 + 34 * 60 * 1000 + 56 * 1000 + 789;
  context.interlaced = interlaced;
  context.cameraName = "Camera";
  RgbFrame frame;
  frame.resize(720, height);
  EXPECT_TRUE(pattern.render(context, frame));
  return frame;
}

int differingRows(const RgbFrame& a, const RgbFrame& b, int parity) {
  int count = 0;
  for (int y = parity; y < a.height; y += 2)
    count += std::memcmp(a.pixel(0, y), b.pixel(0, y), static_cast<std::size_t>(a.stride())) != 0;
  return count;
}

std::vector<std::uint8_t> encodePng(const RgbFrame& frame) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(frame.width);
  image.height = static_cast<png_uint_32>(frame.height);
  image.format = PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  EXPECT_TRUE(png_image_write_to_memory(&image, nullptr, &size, 0, frame.pixels.data(), 0, nullptr));
  std::vector<std::uint8_t> bytes(size);
  EXPECT_TRUE(png_image_write_to_memory(&image, bytes.data(), &size, 0, frame.pixels.data(), 0, nullptr));
  bytes.resize(size);
  return bytes;
}

} // namespace

TEST(RecorderTestPattern, DiffersPerConnectionAndMovesWithTime) {
  const RgbFrame first = renderPattern(1, 1000);
  EXPECT_EQ(first.pixels, renderPattern(1, 1000).pixels); // deterministic
  EXPECT_NE(first.pixels, renderPattern(2, 1000).pixels);
  EXPECT_NE(first.pixels, renderPattern(1, 1400).pixels);
  // Colour bars: the top-left pixel is 75 % white, the eighth bar near black.
  EXPECT_EQ(first.pixel(10, 10)[0], 191);
  EXPECT_EQ(first.pixel(700, 10)[2], 16);
  // The 486-line standard draws a whole picture too.
  const RgbFrame ntsc = renderPattern(1, 1000, true, 486);
  EXPECT_EQ(ntsc.pixel(10, 10)[0], 191);
}

TEST(RecorderTestPattern, SecondFieldShowsTheSceneOneFieldLater) {
  // Interlaced: the odd lines at t equal the odd lines of a progressive picture at t + 20 ms.
  const RgbFrame interlaced = renderPattern(3, 5000, true);
  const RgbFrame now = renderPattern(3, 5000, false);
  const RgbFrame later = renderPattern(3, 5020, false);
  EXPECT_EQ(differingRows(interlaced, now, 0), 0);
  EXPECT_EQ(differingRows(interlaced, later, 1), 0);
  EXPECT_GT(differingRows(now, later, 1), 0);
}

TEST(RecorderStills, FitToThePictureAndRepeatAsAsked) {
  RgbFrame small;
  small.resize(4, 2);
  for (auto& byte : small.pixels) byte = 200;
  RgbFrame other = small;
  other.pixels[0] = 0;
  ImageListSource source({{"a.png", small}, {"b.png", other}}, 720, 576, 2);
  PictureContext context;
  RgbFrame frame;
  frame.resize(720, 576);
  for (std::uint64_t number : {0u, 1u, 2u, 3u, 4u}) {
    context.pictureNumber = number;
    ASSERT_TRUE(source.render(context, frame));
    EXPECT_EQ(source.stillIndex(context), (number / 2) % 2);
    EXPECT_EQ(source.describe(context), number / 2 % 2 ? "b.png" : "a.png");
  }
  EXPECT_EQ(frame.pixel(400, 300)[1], 200);
  RgbFrame wrongSize;
  wrongSize.resize(720, 486);
  EXPECT_FALSE(source.render(context, wrongSize));
}

TEST(RecorderStills, ResamplingKeepsFlatAreasAndShrinksDetailSmoothly) {
  RgbFrame stripes;
  stripes.resize(2880, 40);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 2880; ++x) std::memset(stripes.pixel(x, y), (x & 1) ? 255 : 0, 3);
  RgbFrame out;
  resampleTo(stripes, 720, 10, out);
  ASSERT_EQ(out.width, 720);
  ASSERT_EQ(out.height, 10);
  for (int x = 0; x < 720; x += 37)
    EXPECT_NEAR(out.pixel(x, 5)[0], 128, 2) << x; // 1-pixel stripes average out, no aliasing
  RgbFrame flat;
  flat.resize(3, 3);
  std::memset(flat.pixels.data(), 77, flat.pixels.size());
  resampleTo(flat, 720, 576, out);
  EXPECT_EQ(out.pixel(0, 0)[0], 77);
  EXPECT_EQ(out.pixel(719, 575)[2], 77);
}

TEST(RecorderPng, LoadsWhatLibpngWroteAndRefusesBrokenFiles) {
  RgbFrame image;
  image.resize(5, 3);
  for (std::size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = static_cast<std::uint8_t>(i * 7);
  const auto bytes = encodePng(image);
  RgbFrame loaded;
  std::string error;
  ASSERT_TRUE(decodePng(bytes.data(), bytes.size(), loaded, error)) << error;
  EXPECT_EQ(loaded.width, 5);
  EXPECT_EQ(loaded.height, 3);
  EXPECT_EQ(loaded.pixels, image.pixels);

  EXPECT_FALSE(decodePng(bytes.data(), bytes.size() / 2, loaded, error));
  EXPECT_FALSE(decodePng(bytes.data(), 10, loaded, error));
  const std::uint8_t text[] = "not a picture at all";
  EXPECT_FALSE(decodePng(text, sizeof text, loaded, error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(loadPng(::testing::TempDir() + "missing.png", loaded, error));
}

TEST(RecorderPayload, FieldStreamsSitWhereTheViewerCutsThem) {
  const std::vector<std::uint8_t> first(12, 1), second(8, 2);
  std::vector<std::uint8_t> payload;
  wavelet::assemblePicturePayload(first.data(), 12, second.data(), 8, payload);
  ASSERT_EQ(payload.size(), 4 + 12 + 516 + 8);
  EXPECT_EQ(le::readU32(payload.data()), 12u);
  EXPECT_EQ(payload[4], 1);
  EXPECT_EQ(payload[4 + 12 + 516], 2); // L + 520 from the start
  wavelet::FieldStreams fields;
  ASSERT_TRUE(wavelet::splitPicturePayload(payload.data(), static_cast<std::uint32_t>(payload.size()), fields));
  EXPECT_EQ(fields.firstLength, 12);
  EXPECT_EQ(fields.secondData, payload.data() + 4 + 12 + 516);
  EXPECT_EQ(fields.secondLength, 8);
  wavelet::assemblePicturePayload(first.data(), 12, nullptr, 0, payload);
  EXPECT_EQ(payload.size(), 16u);
}

TEST(RecorderPayload, EncodedPicturesDecodeWithinTheEncodersQuality) {
  const auto encoder = makeWaveletEncoder();
  ASSERT_NE(encoder, nullptr);
  for (const bool standard576 : {true, false}) {
    const RgbFrame source = test::gradientImage(standard576 ? 576 : 486);
    EncodeSettings settings;
    settings.standard576 = standard576;
    std::vector<std::uint8_t> payload;
    std::string error;
    ASSERT_TRUE(encoder->encode(source, settings, payload, error)) << error;
    const auto decoded = test::decodePayload(payload, standard576, 0);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->height, source.height);
    EXPECT_GT(test::psnr(source, *decoded), 30.0);
    // A reduced level shows the same picture smaller.
    const auto quarter = test::decodePayload(payload, standard576, 2);
    ASSERT_TRUE(quarter.has_value());
    EXPECT_EQ(quarter->height, source.height / 4); // a quarter in both directions
    EXPECT_GT(test::psnr(source, *quarter, 2), 20.0);

    encoder->corrupt(payload);
    EXPECT_FALSE(test::decodePayload(payload, standard576, 0).has_value());
  }
}

TEST(RecorderPayload, TheFallbackDamageAlsoDefeatsTheDecoder) {
  const auto encoder = makeWaveletEncoder();
  ASSERT_NE(encoder, nullptr);
  std::vector<std::uint8_t> payload;
  std::string error;
  ASSERT_TRUE(encoder->encode(test::gradientImage(576), {}, payload, error));
  corruptPayload(payload);
  EXPECT_FALSE(test::decodePayload(payload, true, 0).has_value());
  std::vector<std::uint8_t> tiny = {1, 2, 3};
  corruptPayload(tiny); // too short to hold a field: left alone
  EXPECT_EQ(tiny, (std::vector<std::uint8_t>{1, 2, 3}));
}

namespace {

class CountingEncoder final : public PayloadEncoder {
public:
  bool encode(const RgbFrame&, const EncodeSettings&, std::vector<std::uint8_t>& payload, std::string&) override {
    payload.assign(8, static_cast<std::uint8_t>(++calls));
    return true;
  }
  int calls = 0;
};

} // namespace

TEST(RecorderLiveCameras, ViewersOfOneCameraShareEachPeriodsPicture) {
  using Clock = LiveCameras::Clock;
  const auto start = Clock::now();
  LiveCameras cameras(std::chrono::milliseconds(40), start);
  CountingEncoder encoder;
  RgbFrame frame;
  frame.resize(720, 576);
  std::string error;
  auto five = cameras.camera(5);
  EXPECT_EQ(cameras.camera(5), five); // one camera per id while it is watched
  const auto first = five->picture(start + std::chrono::milliseconds(10), {}, frame, encoder, {}, error);
  const auto same = five->picture(start + std::chrono::milliseconds(39), {}, frame, encoder, {}, error);
  const auto next = five->picture(start + std::chrono::milliseconds(41), {}, frame, encoder, {}, error);
  ASSERT_TRUE(first && same && next);
  EXPECT_EQ(first, same);
  EXPECT_NE(first, next);
  EXPECT_EQ(encoder.calls, 2);
  EXPECT_EQ(five->picturesMade(), 2u);

  auto six = cameras.camera(6);
  EXPECT_NE(six, five);
  six->picture(start + std::chrono::milliseconds(41), {}, frame, encoder, {}, error);
  EXPECT_EQ(encoder.calls, 3); // another camera makes its own picture

  five.reset(); // nobody watches camera 5 any more: it starts afresh
  EXPECT_EQ(cameras.camera(5)->picturesMade(), 0u);
}

TEST(RecorderLiveCameras, ALoopingCameraEncodesItsLoopOnceAndServesItRoundAndRound) {
  using Clock = LiveCameras::Clock;
  const auto start = Clock::now();
  LiveCameras cameras(std::chrono::milliseconds(40), start, 3);
  CountingEncoder encoder;
  RgbFrame frame;
  frame.resize(720, 576);
  std::string error;
  auto camera = cameras.camera(2);
  std::vector<LiveCameras::Payload> served;
  for (int period = 0; period < 7; ++period)
    served.push_back(
        camera->picture(start + std::chrono::milliseconds(40 * period + 5), {}, frame, encoder, {}, error));
  ASSERT_TRUE(served[0] && served[1] && served[2]);
  EXPECT_EQ(encoder.calls, 3); // the loop, at the first request only
  EXPECT_NE(served[0], served[1]);
  EXPECT_NE(served[1], served[2]);
  EXPECT_EQ(served[3], served[0]);
  EXPECT_EQ(served[5], served[2]);
  EXPECT_EQ(served[6], served[0]);

  // Without a rate every request gets the next picture of the loop.
  LiveCameras unpaced(Clock::duration::zero(), start, 2);
  auto next = unpaced.camera(1);
  const auto a = next->picture(start, {}, frame, encoder, {}, error);
  const auto b = next->picture(start, {}, frame, encoder, {}, error);
  EXPECT_NE(a, b);
  EXPECT_EQ(next->picture(start, {}, frame, encoder, {}, error), a);
  EXPECT_EQ(encoder.calls, 5);
}

TEST(RecorderLiveCameras, AKeptCameraRenewsItsPictureWhenOldAndAFirstViewerTakesAYoungOne) {
  using namespace std::chrono_literals;
  const auto start = LiveCameras::Clock::now();
  LiveCameras cameras(40ms, start);
  CountingEncoder encoder;
  RgbFrame frame;
  frame.resize(720, 576);
  std::string error;
  auto camera = cameras.camera(3);
  EXPECT_TRUE(camera->renew(start, 1s, {}, frame, encoder, {}, error));
  EXPECT_FALSE(camera->renew(start + 500ms, 1s, {}, frame, encoder, {}, error)); // young enough
  EXPECT_TRUE(camera->renew(start + 1500ms, 1s, {}, frame, encoder, {}, error));
  ASSERT_EQ(encoder.calls, 2);
  const auto ready = camera->picture(start + 1500ms, {}, frame, encoder, {}, error);
  // A later period: taken if no older than the viewer accepts, else made anew.
  EXPECT_EQ(camera->picture(start + 2400ms, {}, frame, encoder, {}, error, 1s), ready);
  EXPECT_EQ(encoder.calls, 2);
  EXPECT_NE(camera->picture(start + 2600ms, {}, frame, encoder, {}, error, 1s), ready);
  EXPECT_EQ(encoder.calls, 3);
}

TEST(RecorderLiveCameras, WithoutARateEveryRequestGetsANewPicture) {
  const auto start = LiveCameras::Clock::now();
  LiveCameras cameras(LiveCameras::Clock::duration::zero(), start);
  CountingEncoder encoder;
  RgbFrame frame;
  frame.resize(720, 576);
  std::string error;
  auto camera = cameras.camera(1);
  const auto a = camera->picture(start, {}, frame, encoder, {}, error);
  const auto b = camera->picture(start, {}, frame, encoder, {}, error);
  EXPECT_NE(a, b);
  RgbFrame empty;
  EXPECT_EQ(camera->picture(start, {}, empty, encoder, {}, error), nullptr);
  EXPECT_FALSE(error.empty());
}
