// Names, lists, statement tails and date escapes of the host services.
#include "host/sql_text.h"

#include <gtest/gtest.h>

#include <forward_list>

#include "host/postgres_database.h"
#include "host/sqlite_database.h"
#include "platform/error.h"
#include "platform/value_list.h"
#include "tests/host/host_fixture.h"

namespace qev::host {
namespace {

using testing::ExpectRaised;
using testing::RaisedBy;

const std::string kSource = "qev.Test";

TEST(SqlTextTest, IdentifiersAcceptPlainAndSchemaQualifiedNamesOnly) {
  for (const char* good : {"rpt_header", "_x", "F31", "main.rpt_header", "a.b"})
    EXPECT_TRUE(IsIdentifier(good)) << good;
  for (const char* bad : {"", "1a", "a b", "a-b", "a;drop table t", "t --", "a.b.c", ".a", "a.",
                          "\"quoted\"", "[t]", "f(1)", "a,b", "na\xC3\xA9me"})
    EXPECT_FALSE(IsIdentifier(bad)) << bad;
  // A refusal names the refused text.
  EXPECT_EQ(ExpectRaised(kErrBadStatement, [] { RequireIdentifier("t; drop table x", "table name", kSource); },
                         "table name 't; drop table x'")
                .source,
            kSource);
}

TEST(SqlTextTest, FieldListsSplitAtCommasAndTrimBlanks) {
  std::vector<std::string_view> names;
  SplitFieldList("computer,qty,name, amt ,f01", kSource, &names);
  EXPECT_EQ(names, (std::vector<std::string_view>{"computer", "qty", "name", "amt", "f01"}));
  SplitFieldList("  ", kSource, &names);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(RaisedBy([&] { SplitFieldList("a,,b", kSource, &names); }).number, kErrBadStatement);
  EXPECT_EQ(RaisedBy([&] { SplitFieldList("a,b=1", kSource, &names); }).number, kErrBadStatement);
}

TEST(SqlTextTest, ValueListsSplitAtTheSeparatorKeepingEmptyValues) {
  std::vector<std::string_view> values;
  const std::string sep(kValueListSeparator);
  const std::string list = "a" + sep + sep + "c, d" + sep;
  SplitValueList(list, &values);
  EXPECT_EQ(values, (std::vector<std::string_view>{"a", "", "c, d", ""}));
  SplitValueList("", &values);
  EXPECT_EQ(values, (std::vector<std::string_view>{""}));
}

TEST(SqlTextTest, TailsMayHoldOnlyBlanksCommentsAndSemicolons) {
  EXPECT_TRUE(IsEmptyTail(""));
  EXPECT_TRUE(IsEmptyTail(" ;; -- note\n /* more */ ; "));
  EXPECT_TRUE(IsEmptyTail("/* unterminated"));
  EXPECT_FALSE(IsEmptyTail("; drop table x"));
  EXPECT_FALSE(IsEmptyTail(" -- note\n select 1"));
  EXPECT_FALSE(IsEmptyTail("/* c */ x"));
}

TEST(SqlTextTest, ConditionsMustNotSwallowOrEndTheTextAfterThem) {
  for (const char* ok : {"", "a='it''s' and b=''", "x in ('(', ')', ';') and (y>1 or (z<2))",
                         "/* note */ a=1 -- why\n", "\"odd;name\"=1", "[a]=1 and b=']'"})
    EXPECT_NO_THROW(RequireSelfContainedCondition(ok, kSource)) << ok;
  for (const char* bad : {"a=1;", "a=1 -- hides", "a=1 /* open", "a='open", "a='x''", "a=\"b",
                          "a=1) or (b=1", "(a=1", "[a=1"})
    EXPECT_EQ(RaisedBy([&] { RequireSelfContainedCondition(bad, kSource); }).number, kErrBadStatement)
        << bad;
  // A NUL outside a literal ends the text of an engine that reads up to it.
  for (std::string_view bad : {std::string_view("a=1 --\0\n", 8), std::string_view("a=1\0", 4)})
    EXPECT_EQ(RaisedBy([&] { RequireSelfContainedCondition(bad, kSource); }).number, kErrBadStatement);
  EXPECT_NO_THROW(RequireSelfContainedCondition(std::string_view("a='\0'", 5), kSource));
}

TEST(SqlTextTest, ScriptsSplitAtSemicolonsOutsideQuotesAndCommentsIntoKeywords) {
  const auto parts = SplitStatements(
      "-- header; with a semicolon\n"
      "create table a (x text default 'a;b');\n"
      "/* block ; */ insert into a values (\"q;\");\n"
      "  ;  -- only a comment\n"
      "select 1");
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_EQ(parts[0], "-- header; with a semicolon\ncreate table a (x text default 'a;b')");
  EXPECT_EQ(parts[1], "/* block ; */ insert into a values (\"q;\")");
  EXPECT_EQ(parts[2], "-- only a comment\nselect 1");  // a comment goes with the next statement
  // The first keyword skips comments and folds case.
  EXPECT_EQ(FirstKeyword("  -- c\n /* d */ CREATE table x (a)"), "create");
  EXPECT_EQ(FirstKeyword("Select 1"), "select");
  EXPECT_EQ(FirstKeyword(""), "");
  // The fixed tables' scripts split into create statements.
  for (std::string_view ddl : {SqliteFixedTablesDdl(), PostgresFixedTablesDdl()}) {
    const auto fixed = SplitStatements(ddl);
    ASSERT_GE(fixed.size(), 7u);
    for (const auto& p : fixed) EXPECT_EQ(FirstKeyword(p), "create") << p;
  }
}

std::string Iso(Date d) {
  const DateParts p = SplitDate(d);
  char buf[32];
  std::snprintf(buf, sizeof buf, "<%04d-%02d-%02d>", p.year, p.month, p.day);
  return buf;
}

TEST(SqlTextTest, DateEscapesAreReplacedOutsideLiteralsOnly) {
  auto convert = [](std::string_view s) { return ReplaceDateEscapes(s, Iso, kSource); };
  EXPECT_EQ(convert("jzrday >= {d '2024-01-05'} and jzrday < { D  '2024/2/1' }"),
            "jzrday >= <2024-01-05> and jzrday < <2024-02-01>");
  EXPECT_EQ(convert("d={ts '2024.03.04 10:20:30'}"), "d=<2024-03-04>");
  EXPECT_EQ(convert("name='{d ''2024-01-05''}' and x={d '2024-01-05'}"),
            "name='{d ''2024-01-05''}' and x=<2024-01-05>");
  EXPECT_EQ(convert("a=1 -- {d '2024-01-05'}"), "a=1 -- {d '2024-01-05'}");
  EXPECT_EQ(convert("{fn ucase(name)}='A'"), "{fn ucase(name)}='A'");
  EXPECT_EQ(convert(""), "");
  EXPECT_EQ(convert("computer='WS1'"), "computer='WS1'");
  ExpectRaised(kErrBadStatement, [&] { convert("d={d '2024-13-01'}"); }, "2024-13-01");
}

// Literal parameters: the statement text that runs and the bound values,
// with each engine's parameter markers.
class LiteralParamsTest : public ::testing::TestWithParam<::qev::testing::Backend> {
 protected:
  void SetUp() override {
    if (!dbs_.available()) GTEST_SKIP() << dbs_.why();
    const std::string connection = dbs_.Create("p");
    db_ = GetParam() == ::qev::testing::Backend::kPostgres ? OpenPostgresDatabase(connection)
                                                           : OpenSqliteDatabase(connection);
  }

  std::string Run(std::string_view text, LiteralScope scope) {
    sql_.clear();
    params_.clear();
    AppendWithLiteralParams(text, scope, *db_, &sql_, &params_, &unescaped_);
    return sql_;
  }
  std::vector<std::string> Values() const {
    std::vector<std::string> out;
    for (const auto& p : params_) out.emplace_back(p.text);
    return out;
  }
  // `expected` written with SQLite's markers "?", in the engine's markers.
  std::string Markers(std::string_view expected) const {
    if (GetParam() != ::qev::testing::Backend::kPostgres) return std::string(expected);
    // Every "?" outside quotes ('...' with \' or '' inside, "...", [...])
    // and "--" comments becomes the next "$n".
    std::string out;
    int n = 0;
    for (size_t i = 0; i < expected.size(); ++i) {
      const char c = expected[i];
      const char close = c == '\'' ? '\'' : c == '"' ? '"' : c == '[' ? ']' : 0;
      if (close != 0 || (c == '-' && i + 1 < expected.size() && expected[i + 1] == '-')) {
        const size_t start = i;
        if (close == 0) {
          i = std::min(expected.find('\n', i), expected.size() - 1);
        } else {
          for (++i; i < expected.size() && expected[i] != close; ++i)
            if (expected[i] == '\\') ++i;
        }
        out.append(expected.substr(start, i + 1 - start));
        continue;
      }
      if (c == '?')
        out.append("$").append(std::to_string(++n));  // not "$" + ...: GCC 12 -Wrestrict
      else
        out.push_back(c);
    }
    return out;
  }

  ::qev::testing::TempDir dir_;
  ::qev::testing::TestDatabases dbs_{GetParam(), dir_};
  std::shared_ptr<Database> db_;
  std::string sql_;
  std::vector<SqlParam> params_;
  std::forward_list<std::string> unescaped_;
};

INSTANTIATE_TEST_SUITE_P(Backends, LiteralParamsTest, ::qev::testing::AllBackends(),
                         ::qev::testing::BackendTestName);

TEST_P(LiteralParamsTest, KeysInTheWherePartOfASelectBecomeParameters) {
  EXPECT_EQ(Run("select computer,qty,name, amt from rpt where name='G1' and computer='WS1'",
                LiteralScope::kStatement),
            Markers("select computer,qty,name, amt from rpt where name=? and computer=?"));
  EXPECT_EQ(Values(), (std::vector<std::string>{"G1", "WS1"}));
}

TEST_P(LiteralParamsTest, AliasesNamesAndOtherClausesKeepTheirLiterals) {
  EXPECT_EQ(Run("select 'x' as lbl, name as 'nm' from 'rpt' where name in ('a','b') and "
                "note like 'a%' escape '!' and d=X'00' group by 'g' having count(*)>'0' order by 'o'",
                LiteralScope::kStatement),
            Markers("select 'x' as lbl, name as 'nm' from 'rpt' where name in (?,?) and "
                    "note like ? escape ? and d=X'00' group by 'g' having count(*)>'0' order by 'o'"));
  EXPECT_EQ(Values(), (std::vector<std::string>{"a", "b", "a%", "!"}));
  // Select lists of subqueries keep theirs; their conditions do not.
  EXPECT_EQ(Run("select a from t where x in (select 'k' from u where y='b') union select 'c' from v",
                LiteralScope::kStatement),
            Markers("select a from t where x in (select 'k' from u where y=?) union select 'c' from v"));
  EXPECT_EQ(Values(), (std::vector<std::string>{"b"}));
}

TEST_P(LiteralParamsTest, ConditionsOpenWithAValuePositionAndSkipQuotedNamesAndComments) {
  EXPECT_EQ(Run("'a'=name or x between 'b' and 'c' or y is not 'd' or z<>'e'", LiteralScope::kCondition),
            Markers("?=name or x between ? and ? or y is not ? or z<>?"));
  EXPECT_EQ(Values(), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
  EXPECT_EQ(Run("computer='WS1' order by 'x'", LiteralScope::kCondition),
            Markers("computer=? order by 'x'"));
  // Doubled quotes, comments and quoted names.
  EXPECT_EQ(Run("name='it''s' -- note='x'\n and \"na'me\"='z' and [a'b]=''", LiteralScope::kCondition),
            Markers("name=? -- note='x'\n and \"na'me\"=? and [a'b]=?"));
  EXPECT_EQ(Values(), (std::vector<std::string>{"it's", "z", ""}));
}

TEST_P(LiteralParamsTest, EscapeStringsAndDollarQuotesStayAsWritten) {
  EXPECT_EQ(Run("a=E'x\\'y' and c='z'", LiteralScope::kCondition),
            Markers("a=E'x\\'y' and c=?"));
  EXPECT_EQ(Values(), (std::vector<std::string>{"z"}));
  EXPECT_EQ(Run("a=$$ b='no' $$ and c=$t$ 'x' $t$ and d='yes'", LiteralScope::kCondition),
            Markers("a=$$ b='no' $$ and c=$t$ 'x' $t$ and d=?"));
  EXPECT_EQ(Values(), (std::vector<std::string>{"yes"}));
  EXPECT_EQ(Run("a=U&'d\\0061t' and c='z'", LiteralScope::kCondition),
            Markers("a=U&'d\\0061t' and c=?"));
  // A name holding '$' is no dollar quote.
  EXPECT_EQ(Run("a$b$='k'", LiteralScope::kCondition), Markers("a$b$=?"));
  // A literal a word follows without a blank: its marker would take the
  // word in ("?20" and "$120" are other parameters).
  EXPECT_EQ(Run("a='x'20 or b='y'", LiteralScope::kCondition), Markers("a='x'20 or b=?"));
}

TEST_P(LiteralParamsTest, OtherStatementsAndBrokenTextStayAsWritten) {
  for (const char* text : {"update t set a='x' where b='y'", "PRAGMA table_info('t')",
                           "insert into t values ('a')", "selected='x'"}) {
    EXPECT_EQ(Run(text, LiteralScope::kStatement), text);
    EXPECT_TRUE(params_.empty()) << text;
  }
  EXPECT_EQ(Run("select a from t where b='unterminated", LiteralScope::kStatement),
            "select a from t where b='unterminated");
  EXPECT_TRUE(params_.empty());
}

TEST(SqlTextTest, PostgresStatementShapeFindsTheFirstStatementsEnd) {
  auto shape = ScanPostgresStatement("select 1; ");
  EXPECT_EQ(shape.first_end, 8u);
  EXPECT_FALSE(shape.more);
  EXPECT_FALSE(shape.empty);
  EXPECT_TRUE(ScanPostgresStatement("select 1; select 2").more);
  EXPECT_FALSE(ScanPostgresStatement("select 1 ;; -- x\n /* y */ ;").more);
  // Semicolons inside literals, names, dollar quotes and comments.
  for (const char* one : {"select ';'", "select E'\\';'", "select \"a;\"", "select $$;$$",
                          "select $tag$ $$; $tag$", "select 1 /* ; /* ; */ ; */",
                          "select 1 -- ;\n + 1", "select 'it''s;'"})
    EXPECT_FALSE(ScanPostgresStatement(one).more) << one;
  for (const char* two : {"select E'\\''; x", "select $$a$$; x", "select a$b; x",
                          "select 1 /* a */; x", "select 'a'';'; x", "select 1 /* a /* b */ */; x",
                          "select $x$;$x$ ; -- c\n x"})
    EXPECT_TRUE(ScanPostgresStatement(two).more) << two;
  // Parameter markers outside quotes; the highest counts.
  EXPECT_EQ(ScanPostgresStatement("select $1, $3 from t where a='$9' and b=$2").max_param, 3);
  EXPECT_EQ(ScanPostgresStatement("select a$1 from t").max_param, 0);  // part of a name
  EXPECT_EQ(ScanPostgresStatement("select $$ $4 $$").max_param, 0);
  EXPECT_TRUE(ScanPostgresStatement("  -- only\n /* comments */ ").empty);
  EXPECT_TRUE(ScanPostgresStatement(";select 1").empty);
  // An unterminated quote runs to the end: the server reports it.
  shape = ScanPostgresStatement("select 'abc; drop table t");
  EXPECT_FALSE(shape.more);
  EXPECT_EQ(shape.first_end, 25u);
}

}  // namespace
}  // namespace qev::host
