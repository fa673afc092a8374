// The payload and field stream layout the encoder produces, its input checks, and the
// deliberately damaged payloads for fault injection.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "RoundTrip.h"
#include "SyntheticPicture.h"
#include "base/LittleEndian.h"
#include "decoder/CodeTables.h"
#include "decoder/DecodeStatus.h"
#include "decoder/PictureSplit.h"
#include "recorder/encoder/FaultInjection.h"
#include "recorder/encoder/PictureEncoder.h"
#include "recorder/encoder/StreamLayout.h"

namespace wavelet::test {
namespace {

constexpr int kWidth = 720;

std::vector<uint8_t> noisePicture(int height, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> pixels(static_cast<size_t>(kWidth) * height * 3);
  for (auto& p : pixels) p = static_cast<uint8_t>(random());
  return pixels;
}

std::vector<uint8_t> hardEdgePicture(int height) {
  std::vector<uint8_t> pixels(static_cast<size_t>(kWidth) * height * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < kWidth; ++x)
      for (int c = 0; c < 3; ++c)
        pixels[(static_cast<size_t>(y) * kWidth + x) * 3 + c] = ((x / (3 + c)) + y) % 2 ? 255 : 0;
  return pixels;
}

FieldStreams split(const std::vector<uint8_t>& payload) {
  FieldStreams fields;
  EXPECT_TRUE(splitPicturePayload(payload.data(), static_cast<uint32_t>(payload.size()), fields));
  return fields;
}

TEST(Payload, MarkersStandOnlyInFrontOfTheHeaderAndEveryLaterBandRecord) {
  // Pictures that drive the coder to its extremes: pure noise (dense, large values), hard
  // edges (escapes), flat colour (empty bands), at the finest and the coarsest quality.
  const std::vector<std::vector<uint8_t>> pictures{noisePicture(576, 1), hardEdgePicture(576),
                                                   makeNaturalPicture(kWidth, 576, 2),
                                                   makeFlatPicture(kWidth, 576, 0, 255, 0)};
  for (const auto& picture : pictures) {
    for (int quality : {100, 60, 1}) {
      EncoderSettings settings;
      settings.quality = quality;
      std::vector<uint8_t> payload;
      ASSERT_TRUE(encodePicture(picture.data(), kWidth, 576, kWidth * 3, settings, payload));
      const FieldStreams fields = split(payload);
      for (const auto& [data, length] :
           {std::pair{fields.firstData, fields.firstLength}, std::pair{fields.secondData, fields.secondLength}}) {
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(length % 4, 0);
        const auto markers = findMarkers(data, static_cast<size_t>(length));
        ASSERT_EQ(markers.size(), static_cast<size_t>(kBandCount)) << "quality " << quality;
        const auto records = findBandRecords(data, static_cast<size_t>(length));
        ASSERT_EQ(records.size(), static_cast<size_t>(kBandCount));
        for (size_t i = 0; i < records.size(); ++i) {
          const int type = static_cast<int>(streamWord(data, records[i]) >> 24);
          EXPECT_TRUE(type == kBandTypeClassA1 || type == kBandTypeClassB131 || type == kBandTypeClassB132 ||
                      type == kBandTypeEmpty)
              << "record " << i << " type " << type;
        }
      }
    }
  }
}

TEST(Payload, LayoutAndFieldParitiesFollowTheVideoStandard) {
  struct Case {
    VideoStandard standard;
    int height;
    uint32_t firstParity, secondParity;
  };
  for (const Case& c :
       {Case{VideoStandard::Lines576, 576, 0x40, 0x41}, Case{VideoStandard::Lines486, 486, 0x41, 0x40}}) {
    const auto picture = makeNaturalPicture(kWidth, c.height, 4);
    EncoderSettings settings;
    settings.standard = c.standard;
    std::vector<uint8_t> payload;
    ASSERT_TRUE(encodePicture(picture.data(), kWidth, c.height, kWidth * 3, settings, payload));
    const FieldStreams fields = split(payload);
    ASSERT_NE(fields.secondData, nullptr);
    EXPECT_EQ(payload.size(), 4u + fields.firstLength + 516u + fields.secondLength);
    for (size_t i = 4 + fields.firstLength; i < 4u + fields.firstLength + 516u; ++i) ASSERT_EQ(payload[i], 0);
    // Marker, then parity byte, format byte 0 and zero header bytes.
    EXPECT_EQ(streamWord(fields.firstData, 0), 0xFFFFFFFFu);
    EXPECT_EQ(streamWord(fields.firstData, 1), c.firstParity << 24);
    EXPECT_EQ(streamWord(fields.secondData, 1), c.secondParity << 24);
    for (size_t w = 2; w <= 4; ++w) EXPECT_EQ(streamWord(fields.firstData, w), 0u);

    settings.fields = 1;
    ASSERT_TRUE(encodePicture(picture.data(), kWidth, c.height, kWidth * 3, settings, payload));
    const FieldStreams one = split(payload);
    EXPECT_EQ(one.secondData, nullptr);
    EXPECT_EQ(payload.size(), 4u + one.firstLength);
    EXPECT_EQ(streamWord(one.firstData, 1), c.firstParity << 24);
  }
}

TEST(Payload, RejectsPicturesThatDoNotFitTheSettings) {
  const auto picture = makeNaturalPicture(kWidth, 576, 1);
  PictureEncoder encoder;
  std::vector<uint8_t> payload{1, 2, 3};
  EncoderSettings settings;
  EXPECT_FALSE(encoder.encode(nullptr, kWidth, 576, kWidth * 3, settings, payload));
  EXPECT_TRUE(payload.empty());
  EXPECT_FALSE(encoder.encode(picture.data(), 704, 576, kWidth * 3, settings, payload));
  EXPECT_FALSE(encoder.encode(picture.data(), kWidth, 486, kWidth * 3, settings, payload)); // 576-line standard
  EXPECT_FALSE(encoder.encode(picture.data(), kWidth, 576, kWidth * 3 - 1, settings, payload));
  settings.fields = 3;
  EXPECT_FALSE(encoder.encode(picture.data(), kWidth, 576, kWidth * 3, settings, payload));
  settings.fields = 0;
  EXPECT_FALSE(encoder.encode(picture.data(), kWidth, 576, kWidth * 3, settings, payload));
  EXPECT_TRUE(payload.empty());
}

TEST(Payload, PixelOrderStrideAndReusedBuffersDoNotChangeTheResult) {
  const auto rgb = makeNaturalPicture(kWidth, 576, 6);
  EncoderSettings settings;
  PictureEncoder encoder;
  std::vector<uint8_t> reference;
  ASSERT_TRUE(encoder.encode(rgb.data(), kWidth, 576, kWidth * 3, settings, reference));

  // Blue-green-red bytes, bottom-up rows with padding, read through a negative stride.
  const int stride = kWidth * 3 + 4;
  std::vector<uint8_t> dib(static_cast<size_t>(stride) * 576, 0xAA);
  for (int y = 0; y < 576; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const uint8_t* in = rgb.data() + (static_cast<size_t>(y) * kWidth + x) * 3;
      uint8_t* out = dib.data() + static_cast<size_t>(575 - y) * stride + x * 3;
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
    }
  EncoderSettings bgr = settings;
  bgr.pixelOrder = PixelOrder::Bgr;
  std::vector<uint8_t> payload;
  ASSERT_TRUE(encoder.encode(dib.data() + static_cast<size_t>(575) * stride, kWidth, 576, -stride, bgr, payload));
  EXPECT_EQ(payload, reference);

  // Another standard in between, then the first picture again: the same bytes.
  const auto other = makeNaturalPicture(kWidth, 486, 7);
  EncoderSettings ntsc = settings;
  ntsc.standard = VideoStandard::Lines486;
  ASSERT_TRUE(encoder.encode(other.data(), kWidth, 486, kWidth * 3, ntsc, payload));
  ASSERT_TRUE(encoder.encode(rgb.data(), kWidth, 576, kWidth * 3, settings, payload));
  EXPECT_EQ(payload, reference);
}

TEST(FaultInjection, DamagedPayloadsFailWithABandErrorAtEveryLevel) {
  const auto picture = makeNaturalPicture(kWidth, 576, 9);
  EncoderSettings settings;
  settings.quality = 70;
  std::vector<uint8_t> intact;
  ASSERT_TRUE(encodePicture(picture.data(), kWidth, 576, kWidth * 3, settings, intact));
  struct Case {
    FieldDamage damage;
    int stage;
  };
  for (const Case& c :
       {Case{FieldDamage::BadBandType, ERR_BAD_BAND_TYPE}, Case{FieldDamage::MarkerInBandData, ERR_MARKER_IN_DATA},
        Case{FieldDamage::Truncated, ERR_END_OF_DATA}}) {
    std::vector<uint8_t> damaged = intact;
    ASSERT_TRUE(damagePayload(damaged, c.damage));
    EXPECT_NE(damaged, intact);
    for (EngineKind engine : {EngineKind::Portable, EngineKind::Mmx}) {
      for (int level = 0; level <= 5; ++level) {
        EXPECT_TRUE(decodePayload(intact, 576, level, engine).ok);
        const DecodedPicture decoded = decodePayload(damaged, 576, level, engine);
        EXPECT_FALSE(decoded.ok);
        EXPECT_EQ(decoded.result, DEC_BAND_ERROR) << "level " << level;
        EXPECT_EQ(decoded.errorStage, c.stage) << "level " << level;
      }
    }
  }
}

TEST(FaultInjection, RefusesPayloadsItCannotDamageSafely) {
  std::vector<uint8_t> tooShort{1, 0};
  EXPECT_FALSE(damagePayload(tooShort, FieldDamage::BadBandType));
  std::vector<uint8_t> lengthBeyondEnd{0xFF, 0, 0, 0, 1, 2, 3, 4};
  const auto before = lengthBeyondEnd;
  EXPECT_FALSE(damagePayload(lengthBeyondEnd, FieldDamage::MarkerInBandData));
  EXPECT_EQ(lengthBeyondEnd, before);
  // A first field without the band record structure (no markers).
  std::vector<uint8_t> unstructured(4 + 400, 0);
  unstructured[1] = 400 >> 8;
  unstructured[0] = 400 & 0xFF;
  const auto plain = unstructured;
  for (FieldDamage damage : {FieldDamage::BadBandType, FieldDamage::MarkerInBandData, FieldDamage::Truncated}) {
    EXPECT_FALSE(damagePayload(unstructured, damage));
    EXPECT_EQ(unstructured, plain);
  }
}

} // namespace
} // namespace wavelet::test

namespace wavelet::test {
namespace {

TEST(FaultInjection, ArbitraryBytesAreNeverReadOutOfBounds) {
  // The damage helpers parse a payload: garbage, cut and bit-flipped payloads must be
  // refused or damaged without reading outside them (checked under AddressSanitizer).
  std::mt19937 random(77);
  const auto picture = makeNaturalPicture(kWidth, 576, 12);
  std::vector<uint8_t> intact;
  EncoderSettings settings;
  settings.quality = 30;
  ASSERT_TRUE(encodePicture(picture.data(), kWidth, 576, kWidth * 3, settings, intact));
  for (int trial = 0; trial < 300; ++trial) {
    std::vector<uint8_t> payload;
    switch (trial % 3) {
    case 0: // random bytes with a plausible length word
      payload.resize(random() % 2000);
      for (auto& b : payload) b = static_cast<uint8_t>(random());
      if (payload.size() >= 4) {
        const uint32_t length = static_cast<uint32_t>(random() % (payload.size() + 8));
        le::writeU32(payload.data(), length);
      }
      break;
    case 1: // an encoded payload cut short
      payload.assign(intact.begin(), intact.begin() + static_cast<ptrdiff_t>(random() % intact.size()));
      break;
    default: // an encoded payload with flipped bytes
      payload = intact;
      for (int i = 0; i < 20; ++i) payload[random() % payload.size()] ^= static_cast<uint8_t>(1u << (random() % 8));
      break;
    }
    const auto before = payload;
    const auto damage = static_cast<FieldDamage>(trial % 3);
    if (!damagePayload(payload, damage)) {
      EXPECT_EQ(payload, before);
    }
  }
}

} // namespace
} // namespace wavelet::test
