// The dialling stand-in: every outcome the connection code meets, set up through the registry.
#include "platform/ras_dial.h"

#include <gtest/gtest.h>

#include "platform/ras.h"
#include "platform/registry.h"
#include "platform/testing/test_support.h"

namespace quillet {
namespace {

using quillet::testing::TestRoot;

class RasDial : public ::testing::Test {
 protected:
  std::u16string Entry(std::u16string_view name) {
    return u"Comm\\RasBook\\" + std::u16string(name);
  }
  TestRoot root;
  Registry& reg = root.ctx->registry();
  RegistryRasDialer dialer{reg};
  RasDialParams params;
  bool saved = true;
};

TEST_F(RasDial, EntryLookupAnswersAsThePhoneBookStands) {
  EXPECT_EQ(dialer.GetEntryDialParams(u"Office", &params, &saved),
            static_cast<DWORD>(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY));
  ASSERT_EQ(RasAddEntry(reg, u"Office", u"555-0100"), 0u);
  EXPECT_EQ(dialer.GetEntryDialParams(u"Office", &params, &saved), 0u);
  EXPECT_FALSE(saved);
  EXPECT_EQ(params.szPhoneNumber, u"555-0100");
  EXPECT_EQ(params.szEntryName, u"Office");
  ASSERT_EQ(reg.SetString(HKEY_CURRENT_USER, Entry(u"Office"), u"Password", u"secret"), 0);
  ASSERT_EQ(reg.SetString(HKEY_CURRENT_USER, Entry(u"Office"), u"User", u"ann"), 0);
  EXPECT_EQ(dialer.GetEntryDialParams(u"office", &params, &saved), 0u);
  EXPECT_TRUE(saved);
  EXPECT_EQ(params.szUserName, u"ann");
  EXPECT_EQ(dialer.GetEntryDialParams(u"", &params, &saved),
            static_cast<DWORD>(ERROR_CANNOT_FIND_PHONEBOOK_ENTRY));
  ASSERT_EQ(reg.SetDword(HKEY_CURRENT_USER, u"Comm\\RasBook", u"Unavailable", 1), 0);
  EXPECT_EQ(dialer.GetEntryDialParams(u"Office", &params, &saved),
            static_cast<DWORD>(ERROR_CANNOT_OPEN_PHONEBOOK));
}

TEST_F(RasDial, DialGivesNoHandleUnlessAskedAndHandlesLiveUntilHungUp) {
  ASSERT_EQ(RasAddEntry(reg, u"Office", u"555"), 0u);
  ASSERT_EQ(dialer.GetEntryDialParams(u"Office", &params, &saved), 0u);
  HRASCONN h = 99;
  EXPECT_EQ(dialer.Dial(params, &h), 0u);
  EXPECT_EQ(h, 0u);
  EXPECT_EQ(dialer.GetConnectStatus(h), static_cast<DWORD>(ERROR_INVALID_HANDLE));

  ASSERT_EQ(reg.SetDword(HKEY_CURRENT_USER, Entry(u"Office"), u"Connect", 1), 0);
  EXPECT_EQ(dialer.Dial(params, &h), 0u);
  ASSERT_NE(h, 0u);
  EXPECT_EQ(dialer.GetConnectStatus(h), 0u);
  EXPECT_EQ(dialer.HangUp(h), 0u);
  EXPECT_EQ(dialer.GetConnectStatus(h), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(dialer.HangUp(h), static_cast<DWORD>(ERROR_INVALID_HANDLE));

  ASSERT_EQ(reg.SetDword(HKEY_CURRENT_USER, Entry(u"Office"), u"DialError", ERROR_RAS_NO_CARRIER),
            0);
  EXPECT_EQ(dialer.Dial(params, &h), ERROR_RAS_NO_CARRIER);
  EXPECT_NE(h, 0u);  // the half-made connection
  EXPECT_EQ(dialer.HangUp(h), 0u);
}

}  // namespace
}  // namespace quillet
