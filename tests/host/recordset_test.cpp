// Record sets: count, fields by name and ordinal, navigation, closing, on
// each engine.
#include <gtest/gtest.h>

#include "host/recordset.h"
#include "tests/host/host_fixture.h"

namespace qev::host::testing {
namespace {

class RecordsetTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    if (IsSkipped()) return;
    Exec("create table goods (GoodID text, Qty real, UnitRate integer, Memo text)");
    Call(q_, "InsertRecord", "goods", "GoodID,Qty,UnitRate,Memo", Values("g1", "1.5", "10", ""));
    Call(q_, "InsertRecord", "goods", "GoodID,Qty,UnitRate", Values("g2", "-3", "1"));
    Call(q_, "InsertRecord", "goods", "GoodID,Qty,UnitRate", Values("g3", "", "2"));
  }
};

INSTANTIATE_TEST_SUITE_P(Backends, RecordsetTest, ::qev::testing::AllBackends(),
                         ::qev::testing::BackendTestName);
INSTANTIATE_TEST_SUITE_P(Odbc, RecordsetTest, ::qev::testing::OdbcBackends(),
                         ::qev::testing::BackendTestName);

TEST_P(RecordsetTest, WalksEveryRowWithCountAndFlags) {
  Variant rs = Open("select GoodID, Qty, UnitRate, Memo from goods order by GoodID");
  ASSERT_EQ(Get(rs, "RecordCount"), Variant(int32_t{3}));
  EXPECT_EQ(Get(rs, "BOF"), Variant(false));
  std::vector<std::string> ids;
  while (!Get(rs, "EOF").ToBool()) {
    ids.push_back(Call(rs, "Fields", "goodid").ToText());
    Call(rs, "MoveNext");
  }
  EXPECT_EQ(ids, (std::vector<std::string>{"g1", "g2", "g3"}));
  EXPECT_EQ(Get(rs, "BOF"), Variant(false));
  // Past the end there is no current row.
  EXPECT_EQ(RaisedBy([&] { Call(rs, "Fields", "GoodID"); }).number, kErrNoCurrentRecord);
  EXPECT_EQ(RaisedBy([&] { Call(rs, "MoveNext"); }).number, kErrNoCurrentRecord);
  Call(rs, "MoveFirst");
  EXPECT_EQ(Call(rs, "Fields", "GoodID"), Variant("g1"));
  Call(rs, "Close");
}

TEST_P(RecordsetTest, FieldsByAnyCaseByOrdinalAndAsDefaultMember) {
  Variant rs = Open("select GoodID, Qty, UnitRate, Memo from goods where GoodID='g1'");
  EXPECT_EQ(Call(rs, "Fields", "GOODID"), Variant("g1"));
  EXPECT_EQ(Call(rs, "fields", "qty"), Variant(1.5));
  EXPECT_EQ(Call(rs, "Fields", int16_t{2}), Variant(int32_t{10}));
  EXPECT_EQ(Call(rs, "Fields", int32_t{0}), Variant("g1"));
  EXPECT_EQ(Call(rs, "Fields", 1.0), Variant(1.5));
  EXPECT_EQ(Call(rs, "", "unitrate"), Variant(int32_t{10}));  // default member
  EXPECT_EQ(Call(rs, "Fields", "Memo"), Variant(""));
  Variant name("Qty");
  EXPECT_EQ(Call(rs, "Fields", ByRef{name}), Variant(1.5));
  EXPECT_EQ(Get(rs, "FieldCount"), Variant(int32_t{4}));
  // The name as the engine gives it: as written (SQLite), folded to lower
  // case (PostgreSQL).
  EXPECT_EQ(Call(rs, "FieldName", int16_t{3}), Variant(On("Memo", "memo")));
}

TEST_P(RecordsetTest, UnknownFieldsRaiseSubscriptErrors) {
  Variant rs = Open("select GoodID, Qty from goods");
  ExpectRaised(kErrSubscript, [&] { Call(rs, "Fields", "UnitName"); }, "UnitName");
  EXPECT_EQ(RaisedBy([&] { Call(rs, "Fields", int16_t{2}); }).number, kErrSubscript);
  EXPECT_EQ(RaisedBy([&] { Call(rs, "Fields", int16_t{-1}); }).number, kErrSubscript);
  EXPECT_EQ(RaisedBy([&] { Call(rs, "Fields", Variant::Null()); }).number, kErrSubscript);
  EXPECT_EQ(RaisedBy([&] { Call(rs, "FieldName", int16_t{5}); }).number, kErrSubscript);
}

TEST_P(RecordsetTest, NullsAndNumbersComeBackAsVariants) {
  Variant rs = Open("select Qty, Qty * UnitRate as q, null as n, 2147483648 as wide, "
                    "-2147483648 as narrow from goods where GoodID='g3'");
  EXPECT_TRUE(Call(rs, "Fields", "Qty").IsNull());
  EXPECT_TRUE(Call(rs, "Fields", "q").IsNull());
  EXPECT_TRUE(Call(rs, "Fields", "n").IsNull());
  EXPECT_EQ(Call(rs, "Fields", "wide"), Variant(2147483648.0));
  EXPECT_EQ(Call(rs, "Fields", "narrow"), Variant(int32_t{-2147483647 - 1}));
  rs = Open("select sum(Qty * UnitRate) as total from goods");
  EXPECT_EQ(Call(rs, "Fields", "total"), Variant(12.0));
}

TEST_P(RecordsetTest, EmptyResultIsBofAndEof) {
  Variant rs = Open("select GoodID from goods where 1=0");
  EXPECT_EQ(Get(rs, "RecordCount"), Variant(int32_t{0}));
  EXPECT_EQ(Get(rs, "BOF"), Variant(true));
  EXPECT_EQ(Get(rs, "EOF"), Variant(true));
  EXPECT_EQ(Get(rs, "FieldCount"), Variant(int32_t{1}));  // the columns are known all the same
  EXPECT_EQ(RaisedBy([&] { Call(rs, "Fields", "GoodID"); }).number, kErrNoCurrentRecord);
}

TEST_P(RecordsetTest, RowsAreMaterialisedAndHoldNoLock) {
  Variant rs = Open("select GoodID from goods order by GoodID");
  // Writes from another connection go through while the record set is open.
  Variant other = CreateQueryObj(db_path_);
  Call(other, "DeleteRecord", "goods", "");
  EXPECT_EQ(Count("goods"), 0);
  EXPECT_EQ(Get(rs, "RecordCount"), Variant(int32_t{3}));
  Call(rs, "MoveNext");
  EXPECT_EQ(Call(rs, "Fields", "GoodID"), Variant("g2"));
}

TEST_P(RecordsetTest, ClosedRecordsetRefusesEveryUse) {
  Variant rs = Open("select GoodID from goods");
  Call(rs, "Close");
  EXPECT_EQ(RaisedBy([&] { Get(rs, "RecordCount"); }).number, kErrRecordsetClosed);
  EXPECT_EQ(RaisedBy([&] { Call(rs, "Fields", "GoodID"); }).number, kErrRecordsetClosed);
  EXPECT_EQ(RaisedBy([&] { Get(rs, "EOF"); }).number, kErrRecordsetClosed);
  EXPECT_EQ(RaisedBy([&] { Call(rs, "Close"); }).number, kErrRecordsetClosed);
}

}  // namespace
}  // namespace qev::host::testing
