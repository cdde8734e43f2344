// What `rptcalc run` prints, and the three forms it prints it in.
//
//   table  aligned columns for people; wide (Chinese) characters count two
//          columns; Null shows as nothing; columns that hold no value in any
//          row are left out and named below the table.
//   csv    for programs (RFC 4180 quoting): one block per table, each
//          started by a line "# <table name>" and its column names and
//          separated by an empty line; the header row as the block
//          "# rpt_header", the call results as the block "# calls" with
//          the columns member,result. Null is an empty field.
//   json   for programs: one object
//          {"header": {column: value} or null,
//           "tables": {"table name": [{column: value}, ...]},
//           "calls": [{"member": ..., "result": ...}]}
//          numbers as JSON numbers, Null as null, columns in table order.
//   html   one self-contained page to print and hand on: the heading (the
//          header string built from RptDesc, the report table, the
//          workstation, when it was printed, and a mark when the rows are
//          not a finished report), then each table with its column headings,
//          numbers right-aligned; a print stylesheet for A4 that repeats the
//          column headings on every page and cuts no row across pages.
//          Every value is escaped: nothing in the data becomes markup.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/variant.h"

namespace rptcalc {

enum class OutputFormat { kTable, kCsv, kJson, kHtml };

// Parses "table", "csv", "json" or "html".
std::optional<OutputFormat> ParseOutputFormat(std::string_view text);

// Rows of one table, as read back from the database.
struct RowTable {
  std::string name;
  std::vector<std::string> columns;
  std::vector<std::vector<qev::Variant>> rows;
};

struct CallResult {
  std::string member;
  qev::Variant result;
};

struct ReportOutput {
  std::string workstation;
  std::string report;    // the report table the heading names (html)
  std::string printed;   // when the output was made, "yyyy-mm-dd hh:mm" (html)
  std::string not_done;  // why the rows are not a finished report; "" when they are (html)
  std::optional<RowTable> header;  // at most one row (rpt_header)
  std::vector<RowTable> tables;
  std::vector<CallResult> calls;
};

void WriteReportOutput(const ReportOutput& output, OutputFormat format, std::ostream& out);

// A value as JSON: integers and doubles as numbers (a non-finite double as
// null), booleans as booleans, Null and Empty as null, text as a string,
// dates as "yyyy-mm-dd[ hh:mm:ss]", objects as "(object)".
nlohmann::ordered_json ValueToJson(const qev::Variant& value);

// A value as people read it: numbers in their short text form, Null and
// Empty as "", objects as "(object)".
std::string ValueToText(const qev::Variant& value);

// Text with the characters that HTML gives a meaning (& < > " ')
// written as character references.
std::string HtmlEscape(std::string_view text);

// One CSV field, quoted when it holds a comma, a quote, a line break or
// leading or trailing blanks.
std::string CsvField(std::string_view text);
void WriteCsvRecord(const std::vector<std::string>& fields, std::ostream& out);

// Aligned columns under a header line and a rule line; `align_right[i]`
// right-aligns column i. Every row has as many cells as `columns`.
void WriteAlignedTable(const std::vector<std::string>& columns,
                       const std::vector<std::vector<std::string>>& rows,
                       const std::vector<bool>& align_right, std::ostream& out);

}  // namespace rptcalc
