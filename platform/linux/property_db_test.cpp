#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/linux/sqlite_property_store.h"
#include "platform/testing/test_support.h"

namespace quillet {
namespace {

constexpr CEPROPID kName = 0x2F5B001F;
constexpr CEPROPID kMarket = 0x2F5C0012;
constexpr CEPROPID kCount = 0x2F5D0012;
constexpr CEPROPID kPoints = 0x2F5E0041;

class PropertyDbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    store = std::make_unique<SqlitePropertyStore>(
        std::shared_ptr<SqliteDb>(SqliteDb::Open(dir.File("system.db"), "", nullptr)));
    ASSERT_EQ(
        store->CreateDatabase(u"StockGraphDB", 141233, kName, CEDB_SORT_CASEINSENSITIVE, &dbOid),
        0);
    ASSERT_EQ(store->OpenDatabase(u"StockGraphDB", &db), 0);
  }
  CEOID Write(std::u16string_view name, std::uint32_t market, std::string_view blob = "") {
    std::vector<PropValue> props = {
        PropValue::Text(kName, name), PropValue::Number(kMarket, market),
        PropValue::Number(kCount, static_cast<std::uint32_t>(blob.size() / 20)),
        PropValue::Blob(kPoints, blob)};
    CEOID oid = 0;
    EXPECT_EQ(db->WriteRecord(0, props, &oid), 0);
    return oid;
  }
  std::uint32_t MarketOfCurrent() {
    std::vector<PropValue> props;
    EXPECT_EQ(db->ReadRecord(&props, nullptr), 0);
    for (auto& p : props) {
      if (p.propid == kMarket) return p.number;
    }
    return 9999;
  }
  testing::TempDir dir;
  std::unique_ptr<PropertyStore> store;
  std::unique_ptr<PropertyDatabase> db;
  CEOID dbOid = 0;
};

TEST_F(PropertyDbTest, CreateOpenAndDeleteDatabases) {
  CEOID again;
  EXPECT_EQ(store->CreateDatabase(u"stockgraphdb", 1, kName, 0, &again), ERROR_ALREADY_EXISTS);
  std::unique_ptr<PropertyDatabase> other;
  EXPECT_EQ(store->OpenDatabase(u"NoSuchDB", &other), ERROR_FILE_NOT_FOUND);
  DWORD type = 0;
  ASSERT_EQ(store->FindDatabase(u"StockGraphDB", &again, &type), 0);
  EXPECT_EQ(again, dbOid);
  EXPECT_EQ(type, 141233u);
  Write(u"IBM", 0);
  ASSERT_EQ(store->DeleteDatabase(dbOid), 0);
  EXPECT_EQ(store->OpenDatabase(u"StockGraphDB", &other), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(store->DeleteDatabase(dbOid), ERROR_FILE_NOT_FOUND);
  // A handle to a deleted database finds nothing and cannot write.
  CEOID oid;
  EXPECT_EQ(db->Seek(SeekType::kBeginning, 0, &oid), ERROR_NO_MORE_ITEMS);
  std::vector<PropValue> props = {PropValue::Text(kName, u"X")};
  EXPECT_EQ(db->WriteRecord(0, props, &oid), ERROR_FILE_NOT_FOUND);
  // Created again, it starts empty.
  ASSERT_EQ(store->CreateDatabase(u"StockGraphDB", 141233, kName, 0, &dbOid), 0);
  ASSERT_EQ(store->OpenDatabase(u"StockGraphDB", &db), 0);
  DWORD count = 99;
  ASSERT_EQ(db->Count(&count), 0);
  EXPECT_EQ(count, 0u);
}

TEST_F(PropertyDbTest, RecordsKeepEveryPropertyTypeAndWritesMerge) {
  std::string blob("\x01\x02\x00\xff", 4);
  CEOID oid = Write(u"\u00A3Sym", 14, blob);
  ASSERT_EQ(db->Seek(SeekType::kBeginning, 0, nullptr), 0);
  std::vector<PropValue> props;
  CEOID read = 0;
  ASSERT_EQ(db->ReadRecord(&props, &read), 0);
  EXPECT_EQ(read, oid);
  ASSERT_EQ(props.size(), 4u);
  EXPECT_EQ(props[0].text, u"\u00A3Sym");
  EXPECT_EQ(props[1].number, 14u);
  EXPECT_EQ(props[3].blob, blob);

  // Writing to an existing record replaces the given properties and keeps the rest.
  std::vector<PropValue> change = {PropValue::Number(kMarket, 3)};
  ASSERT_EQ(db->WriteRecord(oid, change, &read), 0);
  EXPECT_EQ(read, oid);
  ASSERT_EQ(db->ReadRecord(&props, nullptr), 0);
  EXPECT_EQ(props[1].number, 3u);
  EXPECT_EQ(props[0].text, u"\u00A3Sym");

  // A UI2 keeps 16 bits.
  std::vector<PropValue> wide = {PropValue::Number(kCount, 0x12345)};
  ASSERT_EQ(db->WriteRecord(oid, wide, nullptr), 0);
  ASSERT_EQ(db->ReadRecord(&props, nullptr), 0);
  EXPECT_EQ(props[2].number, 0x2345u);
  std::vector<PropValue> bad = {PropValue{0x12340099, {}, 0, {}}};
  EXPECT_EQ(db->WriteRecord(oid, bad, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(db->DeleteRecord(oid), 0);
  EXPECT_EQ(db->DeleteRecord(oid), ERROR_FILE_NOT_FOUND);
}

TEST_F(PropertyDbTest, SeeksWalkInCaseInsensitiveNameOrder) {
  Write(u"msft", 0);
  Write(u"IBM", 0);
  Write(u"AAPL", 0);
  Write(u"ibm", 7);  // the same name on a second market
  std::vector<std::u16string> order;
  CEOID oid;
  std::vector<PropValue> props;
  for (LONG rc = db->Seek(SeekType::kBeginning, 0, &oid); rc == 0;
       rc = db->Seek(SeekType::kCurrent, 1, &oid)) {
    ASSERT_EQ(db->ReadRecord(&props, nullptr), 0);
    order.push_back(props[0].text);
  }
  EXPECT_EQ(order, (std::vector<std::u16string>{u"AAPL", u"IBM", u"ibm", u"msft"}));
  EXPECT_EQ(db->Seek(SeekType::kBeginning, 4, &oid), ERROR_NO_MORE_ITEMS);
  ASSERT_EQ(db->Seek(SeekType::kBeginning, 3, &oid), 0);
  ASSERT_EQ(db->Seek(SeekType::kCurrent, -2, &oid), 0);
  EXPECT_EQ(MarketOfCurrent(), 0u) << "back to the first IBM";

  // Find a name on a given market: first equal, then next equal until the market matches.
  ASSERT_EQ(db->SeekValue(SeekType::kValueFirstEqual, PropValue::Text(kName, u"Ibm"), &oid), 0);
  EXPECT_EQ(MarketOfCurrent(), 0u);
  ASSERT_EQ(db->SeekValue(SeekType::kValueNextEqual, PropValue::Text(kName, u"Ibm"), &oid), 0);
  EXPECT_EQ(MarketOfCurrent(), 7u);
  EXPECT_EQ(db->SeekValue(SeekType::kValueNextEqual, PropValue::Text(kName, u"Ibm"), &oid),
            ERROR_NO_MORE_ITEMS)
      << "the next record, msft, is another name";
  EXPECT_EQ(MarketOfCurrent(), 7u) << "a failed seek leaves the position";
  EXPECT_EQ(db->SeekValue(SeekType::kValueFirstEqual, PropValue::Text(kName, u"IB"), &oid),
            ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(db->SeekValue(SeekType::kValueFirstEqual, PropValue::Number(kMarket, 0), &oid),
            ERROR_INVALID_PARAMETER)
      << "seeks compare the sort property only";
}

TEST_F(PropertyDbTest, WalkingOnWhileDeletingVisitsEveryOtherRecord) {
  for (char16_t c = u'A'; c <= u'E'; ++c) Write(std::u16string(1, c), 0);
  CEOID oid;
  std::vector<std::u16string> seen;
  std::vector<PropValue> props;
  for (LONG rc = db->Seek(SeekType::kBeginning, 0, &oid); rc == 0;
       rc = db->Seek(SeekType::kCurrent, 1, &oid)) {
    ASSERT_EQ(db->ReadRecord(&props, nullptr), 0);
    seen.push_back(props[0].text);
    ASSERT_EQ(db->DeleteRecord(oid), 0);
  }
  EXPECT_EQ(seen, (std::vector<std::u16string>{u"A", u"B", u"C", u"D", u"E"}))
      << "a deleted current record still marks the place";
  DWORD count = 1;
  db->Count(&count);
  EXPECT_EQ(count, 0u);
}

TEST_F(PropertyDbTest, AnotherProcessReadsWhatOneCreated) {
  Write(u"IBM", 0, std::string(20, 'x'));
  db.reset();
  store.reset();
  std::string out;
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    auto db2 = SqliteDb::Open(dir.File("system.db"), "", nullptr);
    SqlitePropertyStore s(std::shared_ptr<SqliteDb>(std::move(db2)));
    std::unique_ptr<PropertyDatabase> d;
    CEOID oid;
    std::vector<PropValue> props;
    bool ok = s.OpenDatabase(u"StockGraphDB", &d) == 0 &&
              d->SeekValue(SeekType::kValueFirstEqual, PropValue::Text(kName, u"ibm"), &oid) == 0 &&
              d->ReadRecord(&props, nullptr) == 0 && props.size() == 4 &&
              props[3].blob.size() == 20;
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(PropertyDbTest, AProcessKilledWhileWritingLeavesOldOrNewRecords) {
  // A child rewrites one record with ever larger blobs inside long transactions, and is killed
  // at some point; every record read afterwards must be whole.
  CEOID oid = Write(u"IBM", 0, std::string(20, 'a'));
  db.reset();
  store.reset();
  for (int round = 0; round < 3; ++round) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      auto raw = SqliteDb::Open(dir.File("system.db"), "", nullptr);
      SqlitePropertyStore s(std::shared_ptr<SqliteDb>(std::move(raw)));
      std::unique_ptr<PropertyDatabase> d;
      if (s.OpenDatabase(u"StockGraphDB", &d) != 0) _exit(1);
      for (std::uint32_t i = 1;; ++i) {
        PropertyStore::Transaction tx(s);
        std::uint32_t points = 1 + i % 3199;
        std::string blob(points * 20, static_cast<char>('a' + i % 26));
        std::vector<PropValue> props = {PropValue::Number(kCount, points),
                                        PropValue::Blob(kPoints, blob)};
        d->WriteRecord(oid, props, nullptr);
        tx.Commit();
      }
    }
    usleep(150000 + round * 70000);
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);

    auto raw = SqliteDb::Open(dir.File("system.db"), "", nullptr);
    ASSERT_TRUE(raw);
    SqlitePropertyStore s(std::shared_ptr<SqliteDb>(std::move(raw)));
    std::unique_ptr<PropertyDatabase> d;
    ASSERT_EQ(s.OpenDatabase(u"StockGraphDB", &d), 0);
    ASSERT_EQ(d->Seek(SeekType::kBeginning, 0, nullptr), 0);
    std::vector<PropValue> props;
    ASSERT_EQ(d->ReadRecord(&props, nullptr), 0);
    ASSERT_EQ(props.size(), 4u);
    EXPECT_EQ(props[3].blob.size(), props[2].number * 20u) << "count and points agree";
    EXPECT_EQ(props[3].blob.find_first_not_of(props[3].blob[0]), std::string::npos)
        << "the points are all of one write";
  }
}

// A scope held through the PropertyStore interface: records written in an abandoned scope are
// gone, and those of a committed one stay.
TEST_F(PropertyDbTest, AnAbandonedScopeTakesBackItsRecords) {
  PropertyStore& objects = *store;
  {
    PropertyStore::Transaction tx(objects);
    ASSERT_TRUE(tx.active());
    Write(u"IBM", 0);
    Write(u"KO", 0);
  }
  DWORD count = 9;
  ASSERT_EQ(db->Count(&count), 0);
  EXPECT_EQ(count, 0u);
  {
    PropertyStore::Transaction tx(objects);
    Write(u"MSFT", 1);
    EXPECT_TRUE(tx.Commit());
  }
  ASSERT_EQ(db->Count(&count), 0);
  EXPECT_EQ(count, 1u);
}

TEST_F(PropertyDbTest, VolumesAreTheirOwnFiles) {
  auto vol = SqlitePropertyStore::MountVolume(dir.File("Quillet.vol"));
  ASSERT_TRUE(vol);
  CEOID oid;
  EXPECT_EQ(vol->FindDatabase(u"StockGraphDB", &oid), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(vol->CreateDatabase(u"StockGraphDB", 141233, kName, 0, &oid), 0);
  vol.reset();
  auto again = SqlitePropertyStore::MountVolume(dir.File("Quillet.vol"));
  EXPECT_EQ(again->FindDatabase(u"StockGraphDB", &oid), 0);
  EXPECT_FALSE(SqlitePropertyStore::MountVolume(dir.File("no/such/folder/x.vol")));
}

TEST(PropertyEncoding, MalformedBytesAreRefused) {
  std::vector<PropValue> props;
  EXPECT_TRUE(DecodeProps("", &props));
  EXPECT_FALSE(DecodeProps(std::string("\x41\x00\x5e\x2f\xff\xff\xff\x7f", 8), &props))
      << "a length past the end";
  EXPECT_FALSE(DecodeProps("abc", &props));
  std::string good = EncodeProps(std::vector<PropValue>{PropValue::Number(kMarket, 255)});
  EXPECT_EQ(good, std::string("\x12\x00\x5c\x2f\x02\x00\x00\x00\xff\x00", 10));
}

}  // namespace
}  // namespace quillet
