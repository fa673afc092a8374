// Encoder -> decoder round trips of whole pictures, with both decoder engines.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <vector>

#include "RoundTrip.h"
#include "SyntheticPicture.h"
#include "base/LittleEndian.h"
#include "decoder/CodeTables.h"
#include "recorder/encoder/PictureEncoder.h"

namespace wavelet::test {
namespace {

constexpr int kWidth = 720;

struct Standard {
  VideoStandard standard;
  int height;
};
constexpr Standard kStandards[] = {{VideoStandard::Lines576, 576}, {VideoStandard::Lines486, 486}};
constexpr EngineKind kEngines[] = {EngineKind::Portable, EngineKind::Mmx};

const char* engineName(EngineKind engine) { return engine == EngineKind::Portable ? "portable" : "mmx"; }

std::vector<uint8_t> encode(const std::vector<uint8_t>& rgb, int height, const EncoderSettings& settings) {
  std::vector<uint8_t> payload;
  PictureEncoder encoder;
  EXPECT_TRUE(encoder.encode(rgb.data(), kWidth, height, kWidth * 3, settings, payload));
  return payload;
}

// PSNR of a decoded picture against the ideal picture at its level.
double levelPsnr(const std::vector<uint8_t>& source, int height, const DecodedPicture& decoded, int level,
                 ColourSampling sampling = ColourSampling::Format) {
  int refWidth = 0, refHeight = 0;
  const auto reference = reducedReference(source, kWidth, height, level, sampling, refWidth, refHeight);
  EXPECT_LE(decoded.width, refWidth);
  EXPECT_LE(decoded.height, refHeight);
  return psnr(decoded.rgb, decoded.width, reference, refWidth, decoded.width, decoded.height);
}

TEST(PictureRoundTrip, EveryLevelBothStandardsBothEnginesAtHighQuality) {
  for (const Standard& s : kStandards) {
    const auto source = makeNaturalPicture(kWidth, s.height, 5);
    EncoderSettings settings;
    settings.quality = 90;
    settings.standard = s.standard;
    const auto payload = encode(source, s.height, settings);
    for (EngineKind engine : kEngines) {
      for (int level = 0; level <= 5; ++level) {
        const DecodedPicture decoded = decodePayload(payload, s.height, level, engine);
        ASSERT_TRUE(decoded.ok) << "result " << decoded.result << " level " << level;
        // The frame shrinks by 2 to the power of the level in both directions.
        EXPECT_EQ(decoded.height, s.height >> level);
        EXPECT_GE(decoded.width, (columnLimit(level) >> level) - 8);
        const double quality = levelPsnr(source, s.height, decoded, level);
        std::printf("  %d lines, %-8s level %d: %3dx%3d, PSNR %.2f dB (%.2f dB against full colour)\n", s.height,
                    engineName(engine), level, decoded.width, decoded.height, quality,
                    levelPsnr(source, s.height, decoded, level, ColourSampling::Full));
        EXPECT_GE(quality, 35.0) << s.height << " lines, " << engineName(engine) << ", level " << level;
      }
    }
  }
}

TEST(PictureRoundTrip, SizeAndFidelityFallAsQualityFalls) {
  const auto source = makeNaturalPicture(kWidth, 576, 11);
  size_t previousSize = SIZE_MAX;
  double previousPsnr = 100;
  std::printf("  quality    bytes  PSNR level 0 (against full colour)  PSNR level 2\n");
  for (int quality : {100, 90, 75, 50, 25, 10, 1}) {
    EncoderSettings settings;
    settings.quality = quality;
    const auto payload = encode(source, 576, settings);
    const DecodedPicture decoded = decodePayload(payload, 576, 0, EngineKind::Portable);
    ASSERT_TRUE(decoded.ok);
    const double quality0 = levelPsnr(source, 576, decoded, 0);
    const DecodedPicture reduced = decodePayload(payload, 576, 2, EngineKind::Portable);
    ASSERT_TRUE(reduced.ok);
    std::printf("  %7d  %7zu  %6.2f dB (%.2f dB)                %6.2f dB\n", quality, payload.size(), quality0,
                levelPsnr(source, 576, decoded, 0, ColourSampling::Full), levelPsnr(source, 576, reduced, 2));
    EXPECT_LT(payload.size(), previousSize) << "quality " << quality;
    EXPECT_LE(quality0, previousPsnr + 0.2) << "quality " << quality;
    previousSize = payload.size();
    previousPsnr = quality0;
  }
  EXPECT_LT(previousPsnr, 30.0); // the lowest quality is visibly coarse
}

TEST(PictureRoundTrip, OneFieldPicturesCarryTheFirstLinesAndTheDecoderRepeatsThem) {
  for (const Standard& s : kStandards) {
    const auto source = makeNaturalPicture(kWidth, s.height, 8);
    EncoderSettings settings;
    settings.quality = 90;
    settings.standard = s.standard;
    settings.fields = 1;
    const auto payload = encode(source, s.height, settings);
    EXPECT_EQ(payload.size(), 4 + le::readU32(payload.data()));
    for (EngineKind engine : kEngines) {
      const DecodedPicture decoded = decodePayload(payload, s.height, 0, engine);
      ASSERT_TRUE(decoded.ok);
      ASSERT_EQ(decoded.height, s.height);
      // Even picture lines come from the field; every odd line repeats a neighbour.
      int refWidth = 0, refHeight = 0;
      const auto reference = reducedReference(source, kWidth, s.height, 0, ColourSampling::Format, refWidth, refHeight);
      const int rowBytes = decoded.width * 3;
      std::vector<uint8_t> evenDecoded, evenSource;
      for (int y = 0; y < s.height; y += 2) {
        evenDecoded.insert(evenDecoded.end(), decoded.rgb.begin() + y * rowBytes,
                           decoded.rgb.begin() + (y + 1) * rowBytes);
        evenSource.insert(evenSource.end(), reference.begin() + y * kWidth * 3,
                          reference.begin() + y * kWidth * 3 + rowBytes);
      }
      EXPECT_GE(psnr(evenDecoded, decoded.width, evenSource, decoded.width, decoded.width, s.height / 2), 35.0)
          << s.height << " lines, " << engineName(engine);
      for (int y = 1; y < s.height; y += 2) {
        const auto line = decoded.rgb.begin() + y * rowBytes;
        const bool repeatsAbove = std::equal(line, line + rowBytes, line - rowBytes);
        const bool repeatsBelow = y + 1 < s.height && std::equal(line, line + rowBytes, line + rowBytes);
        ASSERT_TRUE(repeatsAbove || repeatsBelow) << "line " << y;
      }
    }
  }
}

TEST(PictureRoundTrip, TwoFieldsInterleaveOnTheRightLines) {
  // A picture whose even and odd lines differ strongly: swapped fields would wreck it.
  for (const Standard& s : kStandards) {
    std::vector<uint8_t> source = makeNaturalPicture(kWidth, s.height, 3);
    for (int y = 1; y < s.height; y += 2)
      for (int x = 0; x < kWidth * 3; ++x) source[static_cast<size_t>(y) * kWidth * 3 + x] /= 3;
    EncoderSettings settings;
    settings.quality = 90;
    settings.standard = s.standard;
    const auto payload = encode(source, s.height, settings);
    for (EngineKind engine : kEngines) {
      const DecodedPicture decoded = decodePayload(payload, s.height, 0, engine);
      ASSERT_TRUE(decoded.ok);
      EXPECT_GE(levelPsnr(source, s.height, decoded, 0), 35.0) << s.height << " lines, " << engineName(engine);
    }
  }
}

TEST(PictureRoundTrip, FlatPictureHasOnlyEmptyDetailBandsAndKeepsItsColour) {
  const auto source = makeFlatPicture(kWidth, 576, 90, 160, 200);
  EncoderSettings settings;
  settings.quality = 75;
  PictureEncoder encoder;
  std::vector<uint8_t> payload;
  ASSERT_TRUE(encoder.encode(source.data(), kWidth, 576, kWidth * 3, settings, payload));
  for (int field = 0; field < 2; ++field)
    for (int band = 0; band < kBandCount; ++band) {
      const bool lowest = slotOfBand(band) == kSlotCount - 1;
      const int type = encoder.bandTypes(field)[static_cast<size_t>(band)];
      if (lowest)
        EXPECT_NE(type, kBandTypeEmpty);
      else
        EXPECT_EQ(type, kBandTypeEmpty) << "band " << band;
    }
  for (EngineKind engine : kEngines) {
    const DecodedPicture decoded = decodePayload(payload, 576, 0, engine);
    ASSERT_TRUE(decoded.ok);
    for (size_t i = 0; i < decoded.rgb.size(); ++i)
      ASSERT_NEAR(decoded.rgb[i], source[i % 3], 2) << engineName(engine) << " byte " << i;
  }
}

TEST(PictureRoundTrip, HardEdgesNeedEscapesAndStillRoundTrip) {
  // Black and white blocks and single-pixel lines give detail coefficients far above the
  // short value codes at a fine quality: the bands must use the escapes.
  std::vector<uint8_t> source(kWidth * 576 * 3);
  for (int y = 0; y < 576; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const bool white = ((x / 16) + (y / 16)) % 2 == 0 || x % 37 == 0 || y % 29 == 0;
      for (int c = 0; c < 3; ++c) source[(static_cast<size_t>(y) * kWidth + x) * 3 + c] = white ? 250 : 5;
    }
  EncoderSettings settings;
  settings.quality = 100;
  PictureEncoder encoder;
  std::vector<uint8_t> payload;
  ASSERT_TRUE(encoder.encode(source.data(), kWidth, 576, kWidth * 3, settings, payload));
  int classABands = 0;
  for (int band = 0; band < kBandCount; ++band)
    if (encoder.bandTypes(0)[static_cast<size_t>(band)] == kBandTypeClassA1) ++classABands;
  EXPECT_GT(classABands, 0);
  for (EngineKind engine : kEngines) {
    const DecodedPicture decoded = decodePayload(payload, 576, 0, engine);
    ASSERT_TRUE(decoded.ok);
    EXPECT_GE(levelPsnr(source, 576, decoded, 0), 35.0) << engineName(engine);
  }
}

} // namespace
} // namespace wavelet::test
