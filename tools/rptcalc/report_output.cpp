#include "tools/rptcalc/report_output.h"

#include <cmath>
#include <ostream>

#include <fmt/format.h>

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
  return std::nullopt;
}

void WriteReportOutput(const ReportOutput& output, OutputFormat format, std::ostream& out) {
  switch (format) {
    case OutputFormat::kTable: WriteTable(output, out); break;
    case OutputFormat::kCsv: WriteCsv(output, out); break;
    case OutputFormat::kJson: WriteJson(output, out); break;
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
