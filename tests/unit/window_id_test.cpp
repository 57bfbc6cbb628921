// Window numbers as X prints them (xwininfo, xscreensaver's XSCREENSAVER_WINDOW):
// decimal, or hexadecimal after 0x; never octal.
#include <gtest/gtest.h>

#include <cstdint>

#include "host/options.h"

namespace {

TEST(WindowId, LeadingZerosAreDecimalAndOnly0xIsHexadecimal) {
  const struct {
    const char* text;
    uint64_t id;
  } read[] = {{"010", 10}, {"08", 8}, {"0009", 9}, {"0x010", 16}, {"0xAbC", 0xABC}, {"0X00000001", 1},
              {"536870911", 0x1FFFFFFF}, {"7", 7}};
  for (const auto& c : read) {
    uint64_t id = 0;
    EXPECT_TRUE(ParseWindowId(c.text, &id)) << c.text;
    EXPECT_EQ(id, c.id) << c.text;
  }
}

TEST(WindowId, AnythingElseIsRefusedAndLeavesTheIdAlone) {
  for (const char* text : {"0", "00", "0x0", "0x", "0X", "x10", "0b101", "0o17", "1e3", "12a", "0x1g", "+5", "0x+5",
                           "0x-5", "0x 5", "536870912", "99999999999999999999999999", "0x100000000000000001"}) {
    uint64_t id = 77;
    EXPECT_FALSE(ParseWindowId(text, &id)) << text;
    EXPECT_EQ(id, 77u) << text;
  }
}

}  // namespace
