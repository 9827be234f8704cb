#include "platform/com.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(GuidText, WritesTheRegistryFormInUpperCase) {
  // IClassFactory's identifier, written out by hand.
  EXPECT_EQ(GuidToString(IID_IClassFactory), "{00000001-0000-0000-C000-000000000046}");
  const GUID g = {0x1A2B3C4D, 0x5E6F, 0x7A8B, {0x9C, 0xAD, 0xBE, 0xCF, 0xD0, 0xE1, 0xF2, 0x03}};
  EXPECT_EQ(GuidToString(g), "{1A2B3C4D-5E6F-7A8B-9CAD-BECFD0E1F203}");
}

TEST(GuidText, ReadsEitherCaseAndRefusesOtherShapes) {
  const GUID g = {0x1A2B3C4D, 0x5E6F, 0x7A8B, {0x9C, 0xAD, 0xBE, 0xCF, 0xD0, 0xE1, 0xF2, 0x03}};
  EXPECT_EQ(GuidFromString("{1a2b3c4d-5e6f-7a8b-9cad-becfd0e1f203}"), g);
  EXPECT_EQ(GuidFromString(GuidToString(g)), g);
  for (const char* bad :
       {"", "1A2B3C4D-5E6F-7A8B-9CAD-BECFD0E1F203", "{1A2B3C4D-5E6F-7A8B-9CAD-BECFD0E1F20}",
        "{1A2B3C4D-5E6F-7A8B-9CAD-BECFD0E1F2G3}", "{1A2B3C4D+5E6F-7A8B-9CAD-BECFD0E1F203}",
        "{1A2B3C4D-5E6F-7A8B-9CAD-BECFD0E1F2031}"}) {
    EXPECT_FALSE(GuidFromString(bad).has_value()) << bad;
  }
}

}  // namespace
}  // namespace quillet
