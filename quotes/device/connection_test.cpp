// Dialling and hanging up around an update run: when a dial is tried, the log line of every
// outcome, and which lines are hung up. The runs here have nothing to fetch, so no request
// leaves the process.
#include "quotes/connection.h"

#include <gtest/gtest.h>

#include "platform/ras.h"
#include "platform/registry.h"
#include "platform/testing/test_support.h"
#include "quotes/device/testing/recording_update_host.h"
#include "quotes/device/update_quotes.h"

namespace quillet {
namespace {

using testing::RecordingUpdateHost;
using testing::TestRoot;

class FakeDialer final : public RasDialer {
 public:
  DWORD GetEntryDialParams(std::u16string_view entry, RasDialParams* params,
                           bool* passwordSaved) override {
    ++lookups;
    *params = RasDialParams{};
    params->szEntryName = std::u16string(entry);
    params->szPhoneNumber = u"555-0100";
    *passwordSaved = password;
    return entryError;
  }
  DWORD Dial(const RasDialParams& params, HRASCONN* connection) override {
    ++dials;
    dialledEntry = params.szEntryName;
    dialledNumber = params.szPhoneNumber;
    *connection = handle;
    open = handle != 0;
    return dialError;
  }
  DWORD GetConnectStatus(HRASCONN connection) override {
    ++polls;
    if (!open || connection != handle) return ERROR_INVALID_HANDLE;
    if (hangingUp && pollsUntilDown-- <= 0) {
      open = false;
      return ERROR_INVALID_HANDLE;
    }
    return 0;
  }
  DWORD HangUp(HRASCONN) override {
    ++hangUps;
    hangingUp = true;
    return 0;
  }

  DWORD entryError = 0;
  bool password = true;
  DWORD dialError = 0;
  HRASCONN handle = 0x55;
  int pollsUntilDown = 0;
  int lookups = 0, dials = 0, hangUps = 0, polls = 0;
  bool open = false, hangingUp = false;
  std::u16string dialledEntry, dialledNumber = u"unset";
};

class Dialling : public ::testing::Test {
 protected:
  void SetUp() override {
    CopyToField(store.szRasEntry, "Office");
    // Waits for a line to go down take no real time.
    root.ctx->SetTicks(ticks);
  }
  std::string Run(RasDialer& d) {
    root.ctx->SetDialer(&d);
    UpdateServices services{store, nullptr, log, host, alerts};
    CUpdateCommand(services).UpdateStocks(false);
    return log.text();
  }
  // The root's own phone book.
  std::string RunWithRegistryDialer() {
    root.ctx->SetDialer(nullptr);
    UpdateServices services{store, nullptr, log, host, alerts};
    CUpdateCommand(services).UpdateStocks(false);
    return log.text();
  }
  bool Logged(std::string_view line) {
    return log.text().find(std::string(line) + "\r\n") != std::string::npos;
  }
  void SetEntryValue(std::u16string_view name, DWORD value) {
    ASSERT_EQ(
        root.ctx->registry().SetDword(HKEY_CURRENT_USER, u"Comm\\RasBook\\Office", name, value), 0);
  }

  TestRoot root;
  ManualMonotonicClock ticks;
  PortfolioStore store{*root.ctx};
  NetworkLog log;
  RecordingUpdateHost host;
  RecordingAlertIndicator alerts;
  FakeDialer fake;
};

TEST_F(Dialling, OnlyWithTheModemOnAndAConnectionNamed) {
  store.ucPrefFlags |= kPrefModemOff;
  Run(fake);
  EXPECT_EQ(fake.lookups, 0);
  store.ucPrefFlags &= static_cast<BYTE>(~kPrefModemOff);
  store.szRasEntry[0] = '\0';
  Run(fake);
  EXPECT_EQ(fake.lookups, 0);
  EXPECT_EQ(log.text(), "Quillet v4.36a (PocketPC)\r\n");
  // A cable profile is never dialled.
  CopyToField(store.szRasEntry, "`Cable");
  Run(fake);
  EXPECT_EQ(fake.lookups, 0);
  EXPECT_TRUE(Logged(kLogInvalidRasProfile));
}

TEST_F(Dialling, OnceARunWithTheEntrysOwnNumberAndHungUpAfter) {
  fake.pollsUntilDown = 3;
  Run(fake);
  EXPECT_EQ(fake.lookups, 1);
  EXPECT_EQ(fake.dials, 1);
  EXPECT_EQ(fake.dialledEntry, u"Office");
  EXPECT_EQ(fake.dialledNumber, u"");
  EXPECT_EQ(fake.hangUps, 1);
  EXPECT_FALSE(fake.open);
  EXPECT_GE(host.pumps, 3);  // messages kept flowing while the line went down
  EXPECT_EQ(log.text(), "Quillet v4.36a (PocketPC)\r\n");
  EXPECT_EQ(host.statuses,
            (std::vector<UINT>{strings::IDS_CONNECTING_INTERNET, strings::IDS_CLOSING_CONNECTION}));

  // "Close connection after update" off: the line stays up.
  store.bCloseConnection = 0;
  fake.hangingUp = false;
  Run(fake);
  EXPECT_EQ(fake.hangUps, 1);
  EXPECT_TRUE(fake.open);
}

TEST_F(Dialling, EveryFailureHasItsLineAndTheRunGoesOn) {
  fake.entryError = ERROR_CANNOT_OPEN_PHONEBOOK;
  Run(fake);
  EXPECT_TRUE(Logged(DialLogText(kDialNoPhoneBook)));
  fake.entryError = ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
  Run(fake);
  EXPECT_TRUE(Logged(DialLogText(kDialNoEntry)));
  fake.entryError = ERROR_ACCESS_DENIED;
  Run(fake);
  EXPECT_TRUE(Logged(DialLogText(kDialFailed)));
  fake.entryError = 0;
  fake.password = false;
  Run(fake);
  EXPECT_TRUE(Logged(DialLogText(kDialNoPassword)));
  EXPECT_EQ(fake.dials, 0);
  // A failed dial hangs up what it half made, and the run does not hang up again.
  fake.password = true;
  fake.dialError = ERROR_RAS_NO_CARRIER;
  Run(fake);
  EXPECT_TRUE(Logged(DialLogText(kDialFailed)));
  EXPECT_EQ(fake.hangUps, 1);
  EXPECT_EQ(host.statuses.back(), strings::IDS_CONNECTING_INTERNET);
}

TEST_F(Dialling, TheRegistryStandInAnswersEveryCode) {
  const std::string noEntry = DialLogText(kDialNoEntry);
  EXPECT_NE(RunWithRegistryDialer().find(noEntry), std::string::npos);
  ASSERT_EQ(RasAddEntry(root.ctx->registry(), u"Office", u"555"), 0u);
  EXPECT_NE(RunWithRegistryDialer().find(DialLogText(kDialNoPassword)), std::string::npos);
  ASSERT_EQ(root.ctx->registry().SetString(HKEY_CURRENT_USER, u"Comm\\RasBook\\Office", u"Password",
                                           u"pw"),
            0);
  EXPECT_EQ(RunWithRegistryDialer(), "Quillet v4.36a (PocketPC)\r\n");
  // Success without a handle: nothing to hang up.
  EXPECT_EQ(host.statuses.back(), strings::IDS_CONNECTING_INTERNET);
  SetEntryValue(u"Connect", 1);
  RunWithRegistryDialer();
  EXPECT_EQ(host.statuses.back(), strings::IDS_CLOSING_CONNECTION);
  SetEntryValue(u"DialError", ERROR_RAS_PORT_NOT_AVAILABLE);
  EXPECT_NE(RunWithRegistryDialer().find(DialLogText(kDialFailed)), std::string::npos);
  SetEntryValue(u"DialError", 0);
  ASSERT_EQ(root.ctx->registry().SetDword(HKEY_CURRENT_USER, u"Comm\\RasBook", u"Unavailable", 1),
            0);
  EXPECT_NE(RunWithRegistryDialer().find(DialLogText(kDialNoPhoneBook)), std::string::npos);
}

TEST(HangUp, AGoneLineIsLeftAlone) {
  FakeDialer fake;
  ManualMonotonicClock ticks(5000);
  int pumps = 0;
  HangUpConnection(
      fake, ticks, 0x55, [&] { ++pumps; }, kHangUpWaitMs);
  EXPECT_EQ(fake.hangUps, 0);
  EXPECT_EQ(pumps, 0);
  EXPECT_EQ(ticks.NowMs(), 5000u);
  // A line that never reports back does not hold the caller for ever: the wait ends once its
  // clock has moved on by the longest wait, pumping messages all along.
  fake.open = true;
  fake.pollsUntilDown = 1 << 30;
  HangUpConnection(
      fake, ticks, 0x55, [&] { ++pumps; }, kHangUpWaitMs);
  EXPECT_EQ(fake.hangUps, 1);
  EXPECT_GE(ticks.NowMs(), 5000u + kHangUpWaitMs);
  EXPECT_LT(ticks.NowMs(), 5000u + kHangUpWaitMs + 100);
  EXPECT_GT(pumps, 100);
}

}  // namespace
}  // namespace quillet
