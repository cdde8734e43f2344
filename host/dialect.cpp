#include "host/dialect.h"

#include <cstdio>

#include "host/sql_text.h"
#include "platform/ci_map.h"
#include "platform/error.h"

namespace qev::host {

namespace {

// The date, and the time when it is not midnight, quoted and followed by
// `close`, with `date_open` or `time_open` before the quote (the ODBC
// escapes).
std::string DateText(Date date, const char* date_open, const char* time_open, const char* close) {
  const DateParts p = SplitDate(date);
  char buf[48];
  if (p.hour == 0 && p.minute == 0 && p.second == 0)
    std::snprintf(buf, sizeof buf, "%s'%04d-%02d-%02d'%s", date_open, p.year, p.month, p.day,
                  close);
  else
    std::snprintf(buf, sizeof buf, "%s'%04d-%02d-%02d %02d:%02d:%02d'%s", time_open, p.year,
                  p.month, p.day, p.hour, p.minute, p.second, close);
  return buf;
}

}  // namespace

std::string IsoDateLiteral(Date date) { return DateText(date, "", "", ""); }

std::string OdbcDateEscape(Date date) { return DateText(date, "{d ", "{ts ", "}"); }

std::string SqliteNumericOrder(std::string_view field) {
  return "cast(" + std::string(field) + " as real)";
}

std::string PostgresNumericOrder(std::string_view field) {
  const std::string text = "cast(" + std::string(field) + " as text)";
  return "case when " + text +
         " ~ '^ *[-+]?([0-9]+[.]?[0-9]*|[.][0-9]+)([eE][-+]?[0-9]+)? *$' then cast(" + text +
         " as double precision) end";
}

std::string PostgresSequenceName(std::string_view name, const std::string& source) {
  if (!IsIdentifier(name) || name.find('.') != std::string_view::npos || name.size() > 50)
    Raise(kErrBadStatement,
          "Refused sequence name '" + std::string(name) +
              "': a sequence name must be an identifier of at most 50 characters",
          source);
  return "qev_sn_" + ToLowerAscii(name);
}

}  // namespace qev::host
