// The server's wavelet encoder serves the threads of many sessions at once, and those
// threads end while the encoder goes on (sessions end while the server runs).
#include "RecorderTestSupport.h"
#include "recorder/server/PayloadEncoder.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace recorder::test {

TEST(WaveletEncoder, ThreadsThatEncodeAtOnceAndEndGetTheBytesOfALoneEncode) {
  const std::unique_ptr<PayloadEncoder> encoder = makeWaveletEncoder();
  const RgbFrame image = gradientImage(576);
  const EncodeSettings settings;
  std::vector<std::uint8_t> expected;
  std::string error;
  ASSERT_TRUE(encoder->encode(image, settings, expected, error)) << error;

  constexpr int kRounds = 4;
  constexpr int kThreads = 6;
  for (int round = 0; round < kRounds; ++round) {
    std::vector<std::vector<std::uint8_t>> payloads(kThreads);
    std::vector<char> encoded(kThreads, 0);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
      threads.emplace_back([&, i] {
        std::string threadError;
        encoded[i] = encoder->encode(image, settings, payloads[i], threadError);
      });
    for (std::thread& thread : threads) thread.join(); // each ends after its picture
    for (int i = 0; i < kThreads; ++i) {
      EXPECT_TRUE(encoded[i]) << "round " << round << ", thread " << i;
      EXPECT_EQ(payloads[i], expected) << "round " << round << ", thread " << i;
    }
  }
}

} // namespace recorder::test
