#include "tools/rptcalc/report_output.h"

#include <cmath>
#include <ostream>

#include <fmt/format.h>

#include "platform/ci_map.h"
#include "tools/rptcalc/text_width.h"

namespace rptcalc {

namespace {

// A value as the table format shows it: control characters (a line break
// in a good's name, an escape sequence) written as escapes, so that no
// value can start a line or forge a row on the screen.
std::string ScreenText(std::string_view text) {
  std::string out;
  for (unsigned char c : text) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      static constexpr char kDigits[] = "0123456789abcdef";
      out += "\\x";
      out += kDigits[c >> 4];
      out += kDigits[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string DateText(qev::Date date) {
  const qev::DateParts p = qev::SplitDate(date);
  if (p.hour == 0 && p.minute == 0 && p.second == 0)
    return fmt::format("{:04}-{:02}-{:02}", p.year, p.month, p.day);
  return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}", p.year, p.month, p.day, p.hour,
                     p.minute, p.second);
}

bool IsNumber(const qev::Variant& v) {
  switch (v.type()) {
    case qev::VarType::kInt16:
    case qev::VarType::kInt32:
    case qev::VarType::kDouble:
      return true;
    default:
      return false;
  }
}

bool HasValue(const qev::Variant& v) { return !v.IsNull() && !v.IsEmpty(); }

// The columns worth showing to people: those with a value in some row.
std::vector<size_t> ShownColumns(const RowTable& table, std::vector<std::string>* hidden) {
  std::vector<size_t> shown;
  for (size_t c = 0; c < table.columns.size(); ++c) {
    bool any = false;
    for (const auto& row : table.rows) any = any || HasValue(row[c]);
    if (any || table.rows.empty()) shown.push_back(c);
    else hidden->push_back(table.columns[c]);
  }
  return shown;
}

void WriteTableSection(const RowTable& table, std::ostream& out) {
  out << table.name << ": " << table.rows.size() << (table.rows.size() == 1 ? " row" : " rows")
      << "\n";
  if (table.rows.empty()) return;
  std::vector<std::string> hidden;
  const std::vector<size_t> shown = ShownColumns(table, &hidden);
  std::vector<std::string> columns;
  std::vector<bool> right;
  for (size_t c : shown) {
    columns.push_back(table.columns[c]);
    bool numeric = false, text = false;
    for (const auto& row : table.rows) {
      if (IsNumber(row[c])) numeric = true;
      else if (HasValue(row[c])) text = true;
    }
    right.push_back(numeric && !text);
  }
  std::vector<std::vector<std::string>> cells;
  cells.reserve(table.rows.size());
  for (const auto& row : table.rows) {
    std::vector<std::string> line;
    for (size_t c : shown) line.push_back(ScreenText(ValueToText(row[c])));
    cells.push_back(std::move(line));
  }
  WriteAlignedTable(columns, cells, right, out);
  if (!hidden.empty()) {
    out << "(no value in any row:";
    for (const auto& h : hidden) out << ' ' << h;
    out << ")\n";
  }
}

void WriteTable(const ReportOutput& output, std::ostream& out) {
  out << "Workstation " << ScreenText(output.workstation) << "\n";
  if (output.header) {
    out << "\nrpt_header";
    if (output.header->rows.empty()) {
      out << ": no row\n";
    } else {
      out << "\n";
      const auto& row = output.header->rows.front();
      int width = 0;
      for (size_t c = 0; c < row.size(); ++c)
        if (HasValue(row[c])) width = std::max(width, DisplayWidth(output.header->columns[c]));
      for (size_t c = 0; c < row.size(); ++c) {
        if (!HasValue(row[c])) continue;
        out << "  " << PadToWidth(output.header->columns[c], width, false) << "  "
            << ScreenText(ValueToText(row[c])) << "\n";
      }
    }
  }
  for (const RowTable& table : output.tables) {
    out << "\n";
    WriteTableSection(table, out);
  }
  if (!output.calls.empty()) {
    out << "\ncalls\n";
    std::vector<std::vector<std::string>> cells;
    for (const CallResult& call : output.calls)
      cells.push_back({call.member, ScreenText(ValueToText(call.result))});
    WriteAlignedTable({"member", "result"}, cells, {false, false}, out);
  }
}

// The print stylesheet: A4 pages, the column headings repeated at the top
// of every page (a table head prints on each page it spans), no row cut in
// two, and fonts that have the Chinese characters of names and headings.
constexpr std::string_view kHtmlStyle = R"css(
@page { size: A4; margin: 14mm 10mm 14mm 10mm; }
body { font-family: "Noto Sans CJK SC", "Source Han Sans SC", "WenQuanYi Zen Hei",
       "Microsoft YaHei", "PingFang SC", sans-serif; font-size: 10pt; color: #000; margin: 0; }
header h1 { font-size: 15pt; margin: 0 0 4pt 0; }
header .headstr { font-size: 11pt; margin: 0 0 4pt 0; }
header dl { display: flex; flex-wrap: wrap; gap: 0 18pt; margin: 0 0 8pt 0; font-size: 9pt; }
header dt { font-weight: bold; }
header dt::after { content: ":"; }
header dd { margin: 0 0 0 3pt; }
header dl div { display: flex; }
.not-done { border: 2pt solid #b00; color: #b00; font-weight: bold; padding: 4pt 6pt;
            margin: 0 0 8pt 0; }
h2 { font-size: 11pt; margin: 10pt 0 4pt 0; }
table { border-collapse: collapse; width: 100%; }
thead { display: table-header-group; }
tr { break-inside: avoid; page-break-inside: avoid; }
th, td { border: 0.5pt solid #777; padding: 1.5pt 4pt; vertical-align: top; }
th { background: #eee; text-align: left; }
.num { text-align: right; white-space: nowrap; font-variant-numeric: tabular-nums; }
.hidden-columns { font-size: 8pt; color: #444; }
@media print { th { -webkit-print-color-adjust: exact; print-color-adjust: exact; } }
)css";

std::string Cell(const qev::Variant& value) { return HtmlEscape(ScreenText(ValueToText(value))); }

void WriteHtmlTable(const RowTable& table, std::ostream& out) {
  out << "<section>\n<h2>" << HtmlEscape(table.name) << " (" << table.rows.size()
      << (table.rows.size() == 1 ? " row" : " rows") << ")</h2>\n";
  if (table.rows.empty()) {
    out << "</section>\n";
    return;
  }
  std::vector<std::string> hidden;
  const std::vector<size_t> shown = ShownColumns(table, &hidden);
  std::vector<bool> right;
  out << "<table>\n<thead><tr>";
  for (size_t c : shown) {
    bool numeric = false, text = false;
    for (const auto& row : table.rows) {
      if (IsNumber(row[c])) numeric = true;
      else if (HasValue(row[c])) text = true;
    }
    right.push_back(numeric && !text);
    out << (right.back() ? "<th class=\"num\">" : "<th>") << HtmlEscape(table.columns[c])
        << "</th>";
  }
  out << "</tr></thead>\n<tbody>\n";
  for (const auto& row : table.rows) {
    out << "<tr>";
    for (size_t i = 0; i < shown.size(); ++i)
      out << (right[i] ? "<td class=\"num\">" : "<td>") << Cell(row[shown[i]]) << "</td>";
    out << "</tr>\n";
  }
  out << "</tbody>\n</table>\n";
  if (!hidden.empty()) {
    out << "<p class=\"hidden-columns\">No value in any row:";
    for (const auto& h : hidden) out << ' ' << HtmlEscape(h);
    out << "</p>\n";
  }
  out << "</section>\n";
}

void WriteHtml(const ReportOutput& output, std::ostream& out) {
  std::string headstr;
  if (output.header && !output.header->rows.empty()) {
    const RowTable& h = *output.header;
    for (size_t c = 0; c < h.columns.size(); ++c)
      if (qev::EqualsNoCase(h.columns[c], "headstr")) headstr = ValueToText(h.rows.front()[c]);
  }
  const std::string title = output.report.empty() ? "rptcalc" : output.report;
  out << "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n"
      << "<title>" << HtmlEscape(title) << (headstr.empty() ? "" : " ") << HtmlEscape(headstr)
      << "</title>\n<style>" << kHtmlStyle << "</style>\n</head>\n<body>\n<header>\n<h1>"
      << HtmlEscape(title) << "</h1>\n";
  if (!headstr.empty()) out << "<p class=\"headstr\">" << HtmlEscape(ScreenText(headstr)) << "</p>\n";
  out << "<dl>";
  auto field = [&](std::string_view label, const std::string& value) {
    if (!value.empty())
      out << "<div><dt>" << label << "</dt><dd>" << HtmlEscape(ScreenText(value)) << "</dd></div>";
  };
  field("Report table", output.report);
  field("Workstation", output.workstation);
  field("Printed", output.printed);
  out << "</dl>\n";
  if (!output.not_done.empty())
    out << "<p class=\"not-done\">Not a finished report: " << HtmlEscape(ScreenText(output.not_done))
        << "</p>\n";
  out << "</header>\n";
  for (const RowTable& table : output.tables) WriteHtmlTable(table, out);
  if (!output.calls.empty()) {
    RowTable calls;
    calls.name = "calls";
    calls.columns = {"member", "result"};
    for (const CallResult& call : output.calls)
      calls.rows.push_back({qev::Variant(call.member), call.result});
    WriteHtmlTable(calls, out);
  }
  out << "</body>\n</html>\n";
}

void WriteCsvBlock(const RowTable& table, std::ostream& out) {
  out << "# " << table.name << "\r\n";
  WriteCsvRecord(table.columns, out);
  for (const auto& row : table.rows) {
    std::vector<std::string> fields;
    fields.reserve(row.size());
    for (const auto& v : row) fields.push_back(ValueToText(v));
    WriteCsvRecord(fields, out);
  }
}

void WriteCsv(const ReportOutput& output, std::ostream& out) {
  bool first = true;
  auto separate = [&] {
    if (!first) out << "\r\n";
    first = false;
  };
  if (output.header) {
    separate();
    WriteCsvBlock(*output.header, out);
  }
  for (const RowTable& table : output.tables) {
    separate();
    WriteCsvBlock(table, out);
  }
  if (!output.calls.empty()) {
    separate();
    out << "# calls\r\n";
    WriteCsvRecord({"member", "result"}, out);
    for (const CallResult& call : output.calls)
      WriteCsvRecord({call.member, ValueToText(call.result)}, out);
  }
}

nlohmann::ordered_json RowToJson(const RowTable& table, const std::vector<qev::Variant>& row) {
  nlohmann::ordered_json object = nlohmann::ordered_json::object();
  for (size_t c = 0; c < table.columns.size(); ++c) object[table.columns[c]] = ValueToJson(row[c]);
  return object;
}

void WriteJson(const ReportOutput& output, std::ostream& out) {
  nlohmann::ordered_json doc = nlohmann::ordered_json::object();
  if (output.header && !output.header->rows.empty())
    doc["header"] = RowToJson(*output.header, output.header->rows.front());
  else
    doc["header"] = nullptr;
  nlohmann::ordered_json tables = nlohmann::ordered_json::object();
  for (const RowTable& table : output.tables) {
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    for (const auto& row : table.rows) rows.push_back(RowToJson(table, row));
    tables[table.name] = std::move(rows);
  }
  doc["tables"] = std::move(tables);
  nlohmann::ordered_json calls = nlohmann::ordered_json::array();
  for (const CallResult& call : output.calls)
    calls.push_back({{"member", call.member}, {"result", ValueToJson(call.result)}});
  doc["calls"] = std::move(calls);
  out << doc.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
}

}  // namespace

std::optional<OutputFormat> ParseOutputFormat(std::string_view text) {
  if (text == "table") return OutputFormat::kTable;
  if (text == "csv") return OutputFormat::kCsv;
  if (text == "json") return OutputFormat::kJson;
  if (text == "html") return OutputFormat::kHtml;
  return std::nullopt;
}

void WriteReportOutput(const ReportOutput& output, OutputFormat format, std::ostream& out) {
  switch (format) {
    case OutputFormat::kTable: WriteTable(output, out); break;
    case OutputFormat::kCsv: WriteCsv(output, out); break;
    case OutputFormat::kJson: WriteJson(output, out); break;
    case OutputFormat::kHtml: WriteHtml(output, out); break;
  }
}

nlohmann::ordered_json ValueToJson(const qev::Variant& value) {
  switch (value.type()) {
    case qev::VarType::kEmpty:
    case qev::VarType::kNull:
      return nullptr;
    case qev::VarType::kInt16:
    case qev::VarType::kInt32:
      return value.ToInt32();
    case qev::VarType::kDouble: {
      const double d = value.ToDouble();
      if (!std::isfinite(d)) return nullptr;
      return d;
    }
    case qev::VarType::kBool:
      return value.ToBool();
    case qev::VarType::kString:
      return value.string();
    case qev::VarType::kDate:
      return DateText(value.ToDate());
    case qev::VarType::kObject:
      return "(object)";
  }
  return nullptr;
}

std::string ValueToText(const qev::Variant& value) {
  switch (value.type()) {
    case qev::VarType::kEmpty:
    case qev::VarType::kNull:
      return "";
    case qev::VarType::kDouble:
      return qev::FormatDouble(value.ToDouble());
    case qev::VarType::kBool:
      return value.ToBool() ? "True" : "False";
    case qev::VarType::kDate:
      return DateText(value.ToDate());
    case qev::VarType::kObject:
      return "(object)";
    default:
      return value.ToText();
  }
}

std::string HtmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string CsvField(std::string_view text) {
  const bool quote = text.find_first_of(",\"\r\n") != std::string_view::npos ||
                     (!text.empty() && (text.front() == ' ' || text.back() == ' '));
  if (!quote) return std::string(text);
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

void WriteCsvRecord(const std::vector<std::string>& fields, std::ostream& out) {
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) out << ',';
    out << CsvField(fields[i]);
  }
  out << "\r\n";
}

void WriteAlignedTable(const std::vector<std::string>& columns,
                       const std::vector<std::vector<std::string>>& rows,
                       const std::vector<bool>& align_right, std::ostream& out) {
  std::vector<int> widths(columns.size());
  for (size_t c = 0; c < columns.size(); ++c) widths[c] = DisplayWidth(columns[c]);
  for (const auto& row : rows)
    for (size_t c = 0; c < columns.size(); ++c)
      widths[c] = std::max(widths[c], DisplayWidth(row[c]));
  auto line = [&](const std::vector<std::string>& cells) {
    std::string text;
    for (size_t c = 0; c < columns.size(); ++c) {
      if (c > 0) text += "  ";
      const bool last = c + 1 == columns.size();
      const bool right = align_right[c];
      // No trailing blanks after a left-aligned last column.
      text += last && !right ? cells[c] : PadToWidth(cells[c], widths[c], right);
    }
    // Empty cells at the end of a line leave no trailing blanks.
    text.erase(text.find_last_not_of(' ') + 1);
    out << text << "\n";
  };
  line(columns);
  std::vector<std::string> rule;
  for (int w : widths) rule.emplace_back(static_cast<size_t>(w), '-');
  line(rule);
  for (const auto& row : rows) line(row);
}

}  // namespace rptcalc
