#include <gtest/gtest.h>

#include "tools/cli/OptionValues.h"

namespace camview::cli {
namespace {

TEST(OptionValues, AcceptOnlyWholeValuesInRange) {
  EXPECT_EQ(parseInteger("-2147483648", INT32_MIN, INT32_MAX), INT32_MIN);
  EXPECT_EQ(parseInteger("1099511627776", 0, 1LL << 40), 1LL << 40);
  for (const char* bad : {"", "12x", " 5", "5 ", "0x10", "65536", "-1", "99999999999999999999"})
    EXPECT_FALSE(parseInteger(bad, 0, 65535)) << bad;

  const std::optional<HostPort> address = parseHostPort("::1:7070"); // the last colon splits
  ASSERT_TRUE(address);
  EXPECT_EQ(address->host, "::1");
  EXPECT_EQ(address->port, 7070);
  for (const char* bad : {"localhost", ":80", "host:", "host:65536", "host:8O"})
    EXPECT_FALSE(parseHostPort(bad)) << bad;

  EXPECT_EQ(parseSize("1x8192", 1, 8192), (std::pair<int, int>{1, 8192}));
  for (const char* bad : {"12x", "x12", "0x5", "5x8193", "5*5", "5x5x5"}) EXPECT_FALSE(parseSize(bad, 1, 8192)) << bad;
}

} // namespace
} // namespace camview::cli
