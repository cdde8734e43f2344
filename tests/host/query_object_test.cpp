// The query object's operations against a real SQLite file.
#include <gtest/gtest.h>

#include "tests/host/host_fixture.h"

namespace qev::host::testing {
namespace {

class QueryObjectTest : public HostTest {
 protected:
  QueryObjectTest() {
    Exec("create table rpt (computer text, name varchar(20), qty integer, amt real, "
         "big integer, score numeric, note text, f01 real)");
  }
};

// ---------------------------------------------------------------- inserts

TEST_F(QueryObjectTest, InsertStoresTextValuesInTypedColumns) {
  Call(q_, "InsertRecord", "rpt", "computer,name,qty,amt,big,score,note,f01",
       Values("WS1", "01", "3", "2.5", "5000000000", "7", "x'y", "-1.25"));
  Variant rs = Open("select name, qty, amt, big, score, note, f01, typeof(qty), typeof(name) from rpt");
  ASSERT_EQ(Get(rs, "RecordCount").ToInt32(), 1);
  EXPECT_EQ(Call(rs, "Fields", "name"), Variant("01"));  // a text column keeps the text
  EXPECT_EQ(Call(rs, "Fields", "qty"), Variant(int32_t{3}));
  EXPECT_EQ(Call(rs, "Fields", "amt"), Variant(2.5));
  EXPECT_EQ(Call(rs, "Fields", "big"), Variant(5000000000.0));  // beyond 32 bits: a double
  EXPECT_EQ(Call(rs, "Fields", "score"), Variant(int32_t{7}));
  EXPECT_EQ(Call(rs, "Fields", "note"), Variant("x'y"));
  EXPECT_EQ(Call(rs, "Fields", "f01"), Variant(-1.25));
  EXPECT_EQ(Call(rs, "Fields", "typeof(qty)"), Variant("integer"));
  EXPECT_EQ(Call(rs, "Fields", "typeof(name)"), Variant("text"));
}

TEST_F(QueryObjectTest, EmptyValueIsNullInNumericColumnsAndEmptyTextInTextColumns) {
  Call(q_, "InsertRecord", "rpt", "computer,name,qty,amt,note", Values("WS1", "", "", "", ""));
  Variant rs = Open("select name, qty, amt, note from rpt");
  EXPECT_EQ(Call(rs, "Fields", "name"), Variant(""));  // varchar: text affinity
  EXPECT_TRUE(Call(rs, "Fields", "qty").IsNull());
  EXPECT_TRUE(Call(rs, "Fields", "amt").IsNull());
  EXPECT_EQ(Call(rs, "Fields", "note"), Variant(""));
  // The same rule for updates.
  Call(q_, "UpdateRecord", "rpt", "qty,note", Values("", ""), "computer='WS1'");
  EXPECT_EQ(Count("rpt", "qty is null and note = ''"), 1);
}

TEST_F(QueryObjectTest, ValuesAreBoundNeverSpliced) {
  const std::string nasty = "x'); drop table rpt; --";
  Call(q_, "InsertRecord", "rpt", "computer,name", Values("WS1", nasty));
  ASSERT_TRUE(TableExists("rpt"));
  EXPECT_EQ(Scalar("select name from rpt"), Variant(nasty));
  Call(q_, "UpdateRecord", "rpt", "note", "a?b:c@d$e", "computer='WS1'");
  EXPECT_EQ(Scalar("select note from rpt"), Variant("a?b:c@d$e"));
}

TEST_F(QueryObjectTest, ValueCountMustEqualFieldCountAndNothingIsWrittenOtherwise) {
  // A value holding the separator splits into one value too many.
  const std::string with_separator = "a" + std::string(kValueListSeparator) + "b";
  Error e = RaisedBy([&] { Call(q_, "InsertRecord", "rpt", "computer,name", Values("WS1", with_separator)); });
  EXPECT_EQ(e.number, kErrBadStatement);
  EXPECT_NE(e.description.find("2 field(s) but 3 value(s)"), std::string::npos) << e.description;
  EXPECT_EQ(e.source, "qev.SqliteHost");
  EXPECT_EQ(Count("rpt"), 0);

  EXPECT_EQ(RaisedBy([&] { Call(q_, "InsertRecord", "rpt", "computer,name,qty", Values("WS1", "a")); }).number,
            kErrBadStatement);
  EXPECT_EQ(Count("rpt"), 0);

  Call(q_, "InsertRecord", "rpt", "computer,name,qty", Values("WS1", "a", "1"));
  e = RaisedBy([&] { Call(q_, "UpdateRecord", "rpt", "qty", Values("2", "3"), "computer='WS1'"); });
  EXPECT_EQ(e.number, kErrBadStatement);
  EXPECT_EQ(Scalar("select qty from rpt"), Variant(int32_t{1}));
  // Values without fields are a mismatch too.
  EXPECT_EQ(RaisedBy([&] { Call(q_, "UpdateRecord", "rpt", "", "5", "computer='WS1'"); }).number,
            kErrBadStatement);
  EXPECT_EQ(RaisedBy([&] { Call(q_, "InsertRecord", "rpt", "", ""); }).number, kErrBadStatement);
}

// ---------------------------------------------------------------- updates and deletes

TEST_F(QueryObjectTest, UpdateAndDeleteTouchOnlyTheMatchingWorkstation) {
  Call(q_, "InsertRecord", "rpt", "computer,name,qty,amt", Values("WS1", "a", "1", "10"));
  Call(q_, "InsertRecord", "rpt", "computer,name,qty,amt", Values("WS2", "a", "1", "10"));
  Call(q_, "UpdateRecord", "rpt", "qty,amt", Values("5", "12.75"), "name='a' and computer='WS1'");
  EXPECT_EQ(Scalar("select amt from rpt where computer='WS1'"), Variant(12.75));
  EXPECT_EQ(Scalar("select qty from rpt where computer='WS2'"), Variant(int32_t{1}));
  EXPECT_EQ(Scalar("select amt from rpt where computer='WS2'"), Variant(10.0));

  Call(q_, "DeleteRecord", "rpt", "computer='WS1'");
  EXPECT_EQ(Count("rpt", "computer='WS1'"), 0);
  EXPECT_EQ(Count("rpt", "computer='WS2'"), 1);
  Call(q_, "DeleteRecord", "rpt", "");  // no condition: every row
  EXPECT_EQ(Count("rpt"), 0);
}

TEST_F(QueryObjectTest, UpdateWithoutFieldsAndValuesRunsNothing) {
  // The table does not exist: a statement that ran would fail.
  Call(q_, "UpdateRecord", "no_such_table", "", "", "computer='WS1'");
  Call(q_, "InsertRecord", "rpt", "computer,qty", Values("WS1", "4"));
  Call(q_, "UpdateRecord", "rpt", "", "", "");
  EXPECT_EQ(Scalar("select qty from rpt"), Variant(int32_t{4}));
}

TEST_F(QueryObjectTest, SchemaQualifiedTableNamesAreAccepted) {
  Call(q_, "InsertRecord", "main.rpt", "computer,qty", Values("WS1", ""));
  EXPECT_EQ(Count("rpt", "qty is null"), 1);  // the column type was found through the schema
  Call(q_, "UpdateRecord", "main.rpt", "qty", "3", "computer='WS1'");
  Call(q_, "DeleteRecord", "main.rpt", "qty=3");
  EXPECT_EQ(Count("rpt"), 0);
}

// ---------------------------------------------------------------- refusals

TEST_F(QueryObjectTest, NamesThatAreNoIdentifiersAreRefused) {
  const auto refused = [&](auto&& call) {
    Error e = RaisedBy(call);
    EXPECT_EQ(e.number, kErrBadStatement) << e.description;
    EXPECT_EQ(e.source, "qev.SqliteHost");
  };
  refused([&] { Call(q_, "InsertRecord", "rpt x", "computer", "WS1"); });
  refused([&] { Call(q_, "InsertRecord", "rpt", "computer,name) select 1,2 --", Values("a", "b")); });
  refused([&] { Call(q_, "UpdateRecord", "rpt", "qty=qty+1,amt", Values("1", "2"), ""); });
  refused([&] { Call(q_, "DeleteRecord", "rpt; drop table rpt", ""); });
  refused([&] { Call(q_, "OrderStrToNumField", "id desc"); });
  refused([&] { Call(q_, "TabFieldValue", "name from rpt --", "rpt", ""); });
  refused([&] { Call(q_, "TabFieldValue", "name", "rpt where 1=1", ""); });
  EXPECT_TRUE(TableExists("rpt"));
  EXPECT_EQ(Count("rpt"), 0);
}

TEST_F(QueryObjectTest, SecondStatementIsRefusedAndNothingRuns) {
  Exec("create table x (a integer)");
  Call(q_, "InsertRecord", "rpt", "computer,qty", Values("WS1", "1"));
  const auto refused = [&](auto&& call) {
    Error e = RaisedBy(call);
    EXPECT_EQ(e.number, kErrBadStatement) << e.description;
    EXPECT_NE(e.description.find("more than one statement"), std::string::npos) << e.description;
  };
  refused([&] { Open("select * from rpt; drop table x"); });
  refused([&] { Exec("delete from rpt; drop table x"); });
  refused([&] { Call(q_, "DeleteRecord", "rpt", "1=1; drop table x"); });
  refused([&] { Call(q_, "UpdateRecord", "rpt", "qty", "9", "1=1; drop table x"); });
  refused([&] { Call(q_, "TabFieldValue", "qty", "rpt", "1=1; drop table x"); });
  refused([&] { Exec("select 1 /* c */ ; -- c\n drop table x"); });
  // Neither the first statement nor the second ran.
  EXPECT_TRUE(TableExists("x"));
  EXPECT_EQ(Count("rpt"), 1);
  EXPECT_EQ(Scalar("select qty from rpt"), Variant(int32_t{1}));
  // Trailing semicolons and comments are no second statement.
  EXPECT_EQ(Scalar("select count(*) from rpt; -- done\n;"), Variant(int32_t{1}));
}

TEST_F(QueryObjectTest, ParameterMarkersAndEmptyStatementsAreRefused) {
  EXPECT_EQ(RaisedBy([&] { Open("select * from rpt where name=?"); }).number, kErrBadStatement);
  EXPECT_EQ(RaisedBy([&] { Call(q_, "DeleteRecord", "rpt", "name=:n"); }).number, kErrBadStatement);
  EXPECT_EQ(RaisedBy([&] { Exec("  -- nothing\n"); }).number, kErrBadStatement);
  // A question mark inside a literal is text.
  Call(q_, "InsertRecord", "rpt", "computer,name", Values("WS1", "?"));
  EXPECT_EQ(Count("rpt", "name='?'"), 1);
}

// ---------------------------------------------------------------- database errors

TEST_F(QueryObjectTest, DatabaseErrorsCarrySqlitesMessageAndTheStatement) {
  Error e = RaisedBy([&] { Open("select nosuchcol from rpt"); });
  EXPECT_EQ(e.number, kErrDatabase);
  EXPECT_EQ(e.source, "qev.SqliteHost");
  EXPECT_NE(e.description.find("no such column: nosuchcol"), std::string::npos) << e.description;
  EXPECT_NE(e.description.find("select nosuchcol from rpt"), std::string::npos) << e.description;

  e = RaisedBy([&] { Call(q_, "InsertRecord", "missing", "a,b", Values("1", "2")); });
  EXPECT_EQ(e.number, kErrDatabase);
  EXPECT_NE(e.description.find("no such table: missing"), std::string::npos) << e.description;
  EXPECT_NE(e.description.find("insert into missing (a,b) values (?,?)"), std::string::npos)
      << e.description;

  // An error while stepping (not while preparing) is reported the same way.
  Exec("create table u (k text primary key)");
  Call(q_, "InsertRecord", "u", "k", "a");
  e = RaisedBy([&] { Call(q_, "InsertRecord", "u", "k", "a"); });
  EXPECT_EQ(e.number, kErrDatabase);
  EXPECT_NE(e.description.find("UNIQUE constraint failed: u.k"), std::string::npos) << e.description;
  // The connection is usable after an error.
  Call(q_, "InsertRecord", "u", "k", "b");
  EXPECT_EQ(Count("u"), 2);
}

TEST_F(QueryObjectTest, KeysTurnedIntoParametersKeepTheirMeaning) {
  Call(q_, "InsertRecord", "rpt", "computer,name,qty,note", Values("WS1", "01", "3", "it's"));
  Call(q_, "InsertRecord", "rpt", "computer,name,qty,note", Values("WS1", "1", "4", "a%b"));
  Call(q_, "InsertRecord", "rpt", "computer,name,qty,note", Values("WS2", "02", "5", ""));
  // Text against an integer column compares as a number, against a text
  // column as text, as a literal would.
  EXPECT_EQ(Count("rpt", "qty='3'"), 1);
  EXPECT_EQ(Count("rpt", "name='01'"), 1);
  EXPECT_EQ(Count("rpt", "name='1'"), 1);
  EXPECT_EQ(Count("rpt", "note='it''s'"), 1);
  EXPECT_EQ(Count("rpt", "note like 'a!%%' escape '!'"), 1);
  EXPECT_EQ(Count("rpt", "name in ('01','02') and computer between 'WS1' and 'WS1'"), 1);
  EXPECT_EQ(Count("rpt", "name > '01'"), 2);  // text order: '02' and '1'
  // The same statement text with other keys gives the other rows.
  for (const char* key : {"01", "1", "02"})
    EXPECT_EQ(Call(q_, "TabFieldValue", "name", "rpt", std::string("name='") + key + "'"), Variant(key));
  Call(q_, "UpdateRecord", "rpt", "qty", "9", "name='1' and computer='WS1'");
  Call(q_, "DeleteRecord", "rpt", "name='02' and computer='WS2'");
  EXPECT_EQ(Scalar("select sum(qty) from rpt"), Variant(int32_t{12}));
  // Literals that name or label things are left as written.
  Variant rs = Open("select 'x', name as 'nm' from 'rpt' where name='01'");
  EXPECT_EQ(Call(rs, "FieldName", int16_t{0}), Variant("'x'"));
  EXPECT_EQ(Call(rs, "Fields", int16_t{0}), Variant("x"));
  EXPECT_EQ(Call(rs, "Fields", "nm"), Variant("01"));
}

TEST_F(QueryObjectTest, ErrorsShowTheStatementAsWrittenOrWithItsValues) {
  Error e = RaisedBy([&] { Open("select * from rpt where nosuch='k1'"); });
  EXPECT_NE(e.description.find("no such column: nosuch"), std::string::npos) << e.description;
  EXPECT_NE(e.description.find("[statement: select * from rpt where nosuch='k1']"), std::string::npos)
      << e.description;
  e = RaisedBy([&] { Call(q_, "UpdateRecord", "rpt", "qty", "5", "nosuch='k1'"); });
  EXPECT_EQ(e.number, kErrDatabase);
  EXPECT_NE(e.description.find("[statement: update rpt set qty=? where nosuch=?] [values: '5', 'k1']"),
            std::string::npos)
      << e.description;
}

TEST_F(QueryObjectTest, ColumnTypesAreReadAgainAfterTheTableIsRecreated) {
  Exec("create table y (a integer)");
  Call(q_, "InsertRecord", "y", "a", "");
  EXPECT_EQ(Count("y", "a is null"), 1);
  Exec("drop table y");
  Exec("create table y (a text)");
  Call(q_, "InsertRecord", "y", "a", "");
  EXPECT_EQ(Count("y", "a = ''"), 1);
}

// ---------------------------------------------------------------- dialect services

TEST_F(QueryObjectTest, CondAfterStrTurnsDateEscapesIntoSqliteLiterals) {
  EXPECT_EQ(Call(q_, "CondAfterStr", "jzrday >= {d '2024-01-05'} and computer='WS1'"),
            Variant("jzrday >= '2024-01-05' and computer='WS1'"));
  EXPECT_EQ(Call(q_, "CondAfterStr", ""), Variant(""));
  EXPECT_EQ(Call(q_, "CondAfterStr", "a=1 and (b='{d x}')"), Variant("a=1 and (b='{d x}')"));
  // By reference: the caller's variable is left as it was.
  Variant cond("d<{d '2024/2/1'}");
  EXPECT_EQ(Call(q_, "CondAfterStr", ByRef{cond}), Variant("d<'2024-02-01'"));
  EXPECT_EQ(cond, Variant("d<{d '2024/2/1'}"));
  EXPECT_EQ(RaisedBy([&] { Call(q_, "CondAfterStr", "d={d '2024-02-30'}"); }).number, kErrBadStatement);

  // The converted text selects by date in SQLite.
  Exec("create table days (d text)");
  for (const char* d : {"2024-01-04", "2024-01-05", "2024-02-01"}) Call(q_, "InsertRecord", "days", "d", d);
  const std::string where = Call(q_, "CondAfterStr", "d >= {d '2024-01-05'} and d < {d '2024-02-01'}").ToText();
  EXPECT_EQ(Count("days", where), 1);
}

TEST_F(QueryObjectTest, CondDateValueRendersTheDateLiteral) {
  for (const char* text : {"2024-01-05", "2024/1/5", "2024.01.05"}) {
    Variant v(text);
    EXPECT_EQ(Call(q_, "CondDateValue", ByRef{v}), Variant("'2024-01-05'")) << text;
  }
  EXPECT_EQ(Call(q_, "CondDateValue", MakeDate({2023, 12, 31})), Variant("'2023-12-31'"));
  Error e = RaisedBy([&] { Call(q_, "CondDateValue", "05/01/2024"); });
  EXPECT_EQ(e.number, kErrInvalidArgument);
  EXPECT_NE(e.description.find("05/01/2024"), std::string::npos);
  EXPECT_EQ(RaisedBy([&] { Call(q_, "CondDateValue", ""); }).number, kErrInvalidArgument);
}

TEST_F(QueryObjectTest, OrderStrToNumFieldSortsTextNumerically) {
  EXPECT_EQ(Call(q_, "OrderStrToNumField", "id"), Variant("cast(id as real)"));
  Exec("create table ids (id text)");
  for (const char* id : {"10", "9", "100", "9.5"}) Call(q_, "InsertRecord", "ids", "id", id);
  const std::string order = Call(q_, "OrderStrToNumField", "id").ToText();
  Variant rs = Open("select id from ids order by " + order);
  std::vector<std::string> got;
  for (int i = 0; i < Get(rs, "RecordCount").ToInt32(); ++i) {
    got.push_back(Call(rs, "Fields", "id").ToText());
    Call(rs, "MoveNext");
  }
  EXPECT_EQ(got, (std::vector<std::string>{"9", "9.5", "10", "100"}));
}

TEST_F(QueryObjectTest, TabFieldValueReturnsTheFirstMatchOrNull) {
  Exec("create table depa (id text, name text, sn integer)");
  Call(q_, "InsertRecord", "depa", "id,name,sn", Values("01", "Pharmacy", "3"));
  Call(q_, "InsertRecord", "depa", "id,name,sn", Values("02", "Ward", ""));
  EXPECT_EQ(Call(q_, "TabFieldValue", "name", "depa", "id='02'"), Variant("Ward"));
  EXPECT_EQ(Call(q_, "TabFieldValue", "sn", "depa", "id='01'"), Variant(int32_t{3}));
  EXPECT_TRUE(Call(q_, "TabFieldValue", "sn", "depa", "id='02'").IsNull());  // the stored NULL
  EXPECT_TRUE(Call(q_, "TabFieldValue", "name", "depa", "id='99'").IsNull());  // no row
  EXPECT_TRUE(Call(q_, "TabFieldValue", "name", "", "id='01'").IsNull());  // no table
  EXPECT_EQ(Call(q_, "TabFieldValue", "name", "depa", ""), Variant("Pharmacy"));  // no condition
  EXPECT_EQ(RaisedBy([&] { Call(q_, "TabFieldValue", "name", "nosuch", "id='01'"); }).number,
            kErrDatabase);
}

TEST_F(QueryObjectTest, SnValueCountsUpPerName) {
  CreateFixedTables(q_.object());
  EXPECT_EQ(Call(q_, "SnValue", "TempID"), Variant(int32_t{1}));
  EXPECT_EQ(Call(q_, "SnValue", "TempID"), Variant(int32_t{2}));
  EXPECT_EQ(Call(q_, "SnValue", "Other"), Variant(int32_t{1}));
  EXPECT_EQ(Call(q_, "SnValue", "TempID"), Variant(int32_t{3}));
  // A value past 32 bits comes back as a double.
  Exec("update qev_sequence set value = 4294967296 where name = 'TempID'");
  EXPECT_EQ(Call(q_, "SnValue", "TempID"), Variant(4294967297.0));
}

TEST_F(QueryObjectTest, SnValueWithoutSequenceTableIsADatabaseError) {
  Error e = RaisedBy([&] { Call(q_, "SnValue", "TempID"); });
  EXPECT_EQ(e.number, kErrDatabase);
  EXPECT_NE(e.description.find("no such table: qev_sequence"), std::string::npos) << e.description;
}

// ---------------------------------------------------------------- host objects

TEST_F(QueryObjectTest, SecondQueryObjectWorksOnTheSameDatabase) {
  Variant second = Get(q_, "DbA_Query_Obj");
  ASSERT_TRUE(second.IsObject());
  EXPECT_NE(second.object(), q_.object());
  Call(q_, "InsertRecord", "rpt", "computer,name", Values("WS1", "a"));
  Variant rs = Call(second, "OpenRs", "select name from rpt where computer='WS1'");
  EXPECT_EQ(Get(rs, "RecordCount"), Variant(int32_t{1}));
  Call(second, "DeleteRecord", "rpt", "computer='WS1'");
  EXPECT_EQ(Count("rpt"), 0);
  EXPECT_EQ(Get(q_, "DbA_Query_Obj").object(), second.object());  // the same one each time
}

TEST_F(QueryObjectTest, ComputerNameIsTheHostsCurrentValue) {
  Variant para = Get(host_, "Global_Para_Obj");
  EXPECT_EQ(Get(para, "ComputerName"), Variant("WS1"));
  Let(para, "computername", Variant("WS2"));
  EXPECT_EQ(Get(Get(host_, "Global_Para_Obj"), "ComputerName"), Variant("WS2"));
  EXPECT_EQ(Get(host_, "DbA_Query0_Obj").object(), q_.object());
  EXPECT_EQ(RaisedBy([&] { Let(host_, "DbA_Query0_Obj", Variant(1)); }).number, kErrNoMember);
}

TEST_F(QueryObjectTest, SourceQueryObjectOpensItsOwnConnection) {
  Call(q_, "InsertRecord", "rpt", "computer,name", Values("WS1", "a"));
  Variant source = CreateQueryObj(db_path_);
  Variant rs = Call(source, "OpenRs", "select count(*) as n from rpt");
  EXPECT_EQ(Call(rs, "Fields", "N"), Variant(int32_t{1}));
  Error e = RaisedBy([&] { CreateQueryObj(dir_.File("no/such/dir.db")); });
  EXPECT_EQ(e.number, kErrDatabase);
  EXPECT_NE(e.description.find("unable to open database file"), std::string::npos) << e.description;
}

}  // namespace
}  // namespace qev::host::testing
