#include "tools/rptcalc/report_run.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <optional>
#include <ostream>
#include <set>

#include "host/calculation.h"
#include "host/host.h"
#include "host/trace.h"
#include "host/write_batch.h"
#include "platform/ci_map.h"
#include "platform/dispatch.h"
#include "platform/error.h"
#include "platform/class_factory.h"
#include "platform/value_list.h"
#include "tools/rptcalc/database_location.h"
#include "tools/rptcalc/reported_errors.h"
#include "tools/rptcalc/run_arguments.h"
#include "tools/rptcalc/status.h"
#include "tools/rptcalc/trace_lines.h"

namespace rptcalc {

namespace {

using qev::ArgList;
using qev::MemberInfo;
using qev::Object;
using qev::Variant;

// The separator bytes in hex, for messages.
std::string SeparatorHex() {
  std::string out;
  for (unsigned char c : qev::kValueListSeparator) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

// The local time now, "yyyy-mm-dd hh:mm", for the heading of a printed page.
std::string NowText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M", &local);
  return buf;
}

std::string FormatSeconds(double seconds) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", seconds);
  return buf;
}

// One line per error that the calculation handed to the error reporter.
void WriteReportedErrors(const std::vector<std::string>& reported, std::ostream& err) {
  for (const std::string& r : reported) err << "rptcalc: reported error: " << OneLine(r) << "\n";
}

RowTable ReadRows(const Variant& query_obj, const std::string& table, const std::string& sql) {
  RowTable out;
  out.name = table;
  Variant rs = qev::Call(query_obj, "OpenRs", Variant(sql));
  const int32_t columns = qev::Get(rs, "FieldCount").ToInt32();
  for (int32_t c = 0; c < columns; ++c)
    out.columns.push_back(qev::Call(rs, "FieldName", Variant(static_cast<int16_t>(c))).ToText());
  const int32_t count = qev::Get(rs, "RecordCount").ToInt32();
  out.rows.reserve(count);
  for (int32_t r = 0; r < count; ++r) {
    std::vector<Variant> row;
    row.reserve(columns);
    for (int32_t c = 0; c < columns; ++c)
      row.push_back(qev::Call(rs, "Fields", Variant(static_cast<int16_t>(c))));
    out.rows.push_back(std::move(row));
    qev::Call(rs, "MoveNext");
  }
  qev::Call(rs, "Close");
  return out;
}

// Everything checked before anything is opened or written.
struct Plan {
  const qev::frame::ClassSpec* spec = nullptr;
  std::vector<PropertyValue> properties;
  std::vector<std::pair<std::string, std::string>> descs;
  std::vector<CallPlan> calls;
  DatabaseLocation db = DatabaseLocation::Parse("");
  std::vector<DatabaseLocation> sources;
  int16_t source_num = 1;
  std::string workstation;
};

Plan Prepare(const RunOptions& o) {
  Plan plan;
  plan.spec = ResolveClass(o.class_name);
  if (plan.spec == nullptr)
    throw UsageError("unknown report class '" + o.class_name +
                     "' (rptcalc classes lists the classes)");
  const auto& spec = *plan.spec;
  for (const std::string& s : o.sets) plan.properties.push_back(CheckedProperty(spec, s));
  if (!o.descs.empty()) {
    const MemberInfo* desc = spec.type_info.Find("RptDesc");
    if (desc == nullptr || IsMethod(*desc))
      throw UsageError(spec.name + " has no property RptDesc for --desc");
    for (const std::string& d : o.descs)
      plan.descs.push_back(SplitAssignment("--desc", d, "LABEL=VALUE"));
  }
  if (o.init && o.no_calc) throw UsageError("--init and --no-calc exclude each other");
  if (o.init && spec.type_info.Find("RptInit") == nullptr)
    throw UsageError(spec.name + " has no RptInit (only the daily sheets have one)");
  if (o.sources.size() > 3)
    throw UsageError("at most 3 --source databases (QueryDb1 to QueryDb3), got " +
                     std::to_string(o.sources.size()));
  const int default_num = o.sources.empty() ? 1 : static_cast<int>(o.sources.size());
  const int num = o.source_num.value_or(default_num);
  if (num < -32768 || num > 32767)
    throw UsageError("--source-num must be a whole number from -32768 to 32767");
  plan.source_num = static_cast<int16_t>(num);
  const size_t source_count = o.sources.empty() ? 1 : o.sources.size();
  for (size_t i = 0; i < o.calls.size(); ++i)
    plan.calls.push_back(CheckedCall(spec, o.calls[i], i, source_count));

  plan.db = DatabaseLocation::Parse(o.db);
  plan.db.Check("report database", /*must_exist=*/true);
  for (size_t k = 0; k < o.sources.size(); ++k) {
    plan.sources.push_back(DatabaseLocation::Parse(o.sources[k]));
    plan.sources.back().Check("source database " + std::to_string(k + 1), /*must_exist=*/true);
  }
  plan.workstation = o.workstation.empty() ? HostName() : o.workstation;

  // The trace file is truncated when it opens: never a database's file.
  if (!o.trace_path.empty()) {
    bool is_database = LooksLikeDatabaseFile(o.trace_path) || plan.db.IsSameFile(o.trace_path);
    for (const auto& s : plan.sources) is_database = is_database || s.IsSameFile(o.trace_path);
    if (is_database)
      throw UsageError("the trace file " + o.trace_path +
                       " is a database; refusing to overwrite it (give another --trace file)");
  }
  // RptDesc is a value list: a label or value holding its separator would
  // shift every later item.
  for (const auto& [label, value] : plan.descs)
    if (label.find(qev::kValueListSeparator) != std::string::npos ||
        value.find(qev::kValueListSeparator) != std::string::npos)
      throw UsageError("--desc " + label + ": labels and values cannot hold the value-list "
                       "separator byte (0x" + SeparatorHex() + ")");
  return plan;
}

// One line of what rptcalc knows about where an error arose, beside the
// component's own number, source and description (kept as they are).
std::string ErrorContext(const Plan& plan, const RunOptions& o, const qev::RuntimeError& e) {
  std::string line = "while " + std::string(o.init ? "initialising " : o.no_calc ? "reading " : "calculating ") +
                     plan.spec->name + " for workstation " + plan.workstation + " on " +
                     (plan.db.is_postgres() ? std::string("the PostgreSQL report database")
                                            : "report database " + plan.db.shown());
  if (e.number() == qev::kErrOverflow)
    line += ": a report holds at most 32,767 goods or rows (its counters are 16-bit); "
            "narrow the selection (CondStr) or split the period";
  else if (e.number() == qev::kErrObjectNotSet && plan.source_num > static_cast<int>(
               plan.sources.empty() ? 1 : plan.sources.size()))
    line += ": --source-num " + std::to_string(plan.source_num) + " reaches a source database "
            "that was not given";
  else if (o.timeout_seconds > 0 &&
           e.description().find("statement timeout") != std::string::npos)
    line += ": a statement ran longer than --timeout " + FormatSeconds(o.timeout_seconds) +
            " s and was ended; the rows written until then stay, marked as a failed calculation";
  else if (e.number() == qev::kErrInvalidNull)
    line += ": a value the report needs is Null in the source data (an id, a quantity or an "
            "amount)";
  return line;
}

// Warnings about a command line that runs as asked but is probably not
// what was meant.
void WarnAboutSources(const Plan& plan, const RunOptions& o, std::ostream& err) {
  if (o.source_num && !o.sources.empty() && *o.source_num != static_cast<int>(o.sources.size()))
    err << "rptcalc: warning: --source-num " << *o.source_num << " with " << o.sources.size()
        << " --source given; the report reads the sources --source-num reaches\n";
  for (size_t i = 0; i < plan.sources.size(); ++i)
    for (size_t j = i + 1; j < plan.sources.size(); ++j) {
      const bool same = plan.sources[i].is_server()
                            ? plan.sources[i].text() == plan.sources[j].text()
                            : plan.sources[i].IsSameFile(plan.sources[j].text());
      if (same)
        err << "rptcalc: warning: source databases " << i + 1 << " and " << j + 1
            << " are the same database; its figures are counted twice\n";
    }
}

// The trace file, opened before the calculation so that an unwritable path
// is refused before anything runs.
class TraceFile {
 public:
  explicit TraceFile(const std::string& path) : path_(path) {
    if (path.empty()) return;
    errno = 0;
    file_.open(path, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!file_) {
      const int e = errno;
      throw UsageError("cannot write the trace file " + path + ": " +
                       (e != 0 ? std::strerror(e) : "open failed"));
    }
    log_ = std::make_shared<qev::host::TraceLog>();
  }
  bool enabled() const { return log_ != nullptr; }
  const std::shared_ptr<qev::host::TraceLog>& log() const { return log_; }

  // Writes what was recorded and closes the file; false when the file
  // could not take it. Later calls do nothing.
  bool Flush() {
    if (!log_) return true;
    WriteTraceLines(log_->records(), file_);
    log_.reset();
    file_.close();
    return !file_.fail();
  }

 private:
  std::string path_;
  std::ofstream file_;
  std::shared_ptr<qev::host::TraceLog> log_;
};

int Execute(const Plan& plan, const RunOptions& o, TraceFile& trace, std::ostream& out,
            std::ostream& err) {
  const auto& spec = *plan.spec;
  ClearReportedErrors();

  const Object raw_host = plan.db.OpenHostLib(plan.workstation);
  std::vector<Object> sources;
  if (plan.sources.empty()) {
    sources.push_back(plan.db.OpenQueryObj());  // the report database is source 1
  } else {
    for (const auto& s : plan.sources) sources.push_back(s.OpenQueryObj());
  }
  if (o.timeout_seconds > 0) {
    const std::chrono::milliseconds limit(static_cast<int64_t>(std::ceil(o.timeout_seconds * 1000)));
    qev::host::SetStatementTimeout(raw_host, limit);
    for (const Object& s : sources) qev::host::SetStatementTimeout(s, limit);
  }
  Object host = raw_host;
  if (trace.enabled()) {
    // The host library object gets a label that is not a query object's, so
    // only the calls on the query objects reach the file.
    host = qev::host::TraceObject(raw_host, "host", trace.log(),
                                  {{"DbA_Query0_Obj", "report"}, {"DbA_Query_Obj", "detail"}});
    for (size_t k = 0; k < sources.size(); ++k)
      sources[k] = qev::host::TraceObject(sources[k], "source" + std::to_string(k + 1), trace.log());
  }

  const Variant component(qev::CreateObject(spec.progid));
  if (spec.type_info.Find("Global_Lib_Obj") != nullptr)
    qev::Set(component, "Global_Lib_Obj", host);
  for (const PropertyValue& p : plan.properties) qev::Let(component, p.name, p.value);
  if (!plan.descs.empty()) {
    const std::string sep(qev::kValueListSeparator);
    std::string desc = qev::Get(component, "RptDesc").ToText();
    for (const auto& [label, value] : plan.descs) {
      if (!desc.empty()) desc += sep;
      desc += label + sep + value;
    }
    qev::Let(component, "RptDesc", Variant(desc));
  }

  std::string rpttab;
  if (const MemberInfo* m = spec.type_info.Find("RptTab"); m && !IsMethod(*m))
    rpttab = qev::Get(component, "RptTab").ToText();
  const std::string calc_table = CalculationTable(spec, rpttab);
  // One calculation per workstation and table at a time, recorded with its
  // outcome so that a later reader knows whether the rows are whole. The
  // lock is held until the rows have been read back below, so that a run
  // of the same workstation waiting for it cannot delete them in between.
  std::optional<qev::host::Calculation> calculation;
  if (o.init || !o.no_calc) {
    calculation.emplace(raw_host, calc_table,
                        std::chrono::milliseconds(static_cast<int64_t>(o.wait_seconds * 1000)));
    try {
      if (o.init) {
        qev::Call(component, "RptInit");
      } else {
        const MemberInfo* calcu = spec.type_info.Find("CalcuRpt");
        ArgList args;
        if (!calcu->params.empty()) {
          args.Value(Variant(plan.source_num));
          for (const Object& s : sources) args.Value(Variant(s));
        }
        qev::Invoke(component, "CalcuRpt", qev::kInvokeMethod, args);
      }
    } catch (const qev::RuntimeError& e) {
      calculation->Failed(e.number(), e.description());
      throw;
    }
    const std::vector<std::string> trapped = ReportedErrors();
    if (trapped.empty()) {
      calculation->Succeeded();
    } else {
      std::string all;
      for (const std::string& t : trapped) all += (all.empty() ? "" : "; ") + t;
      calculation->Failed(0, all);
    }
  }

  ReportOutput output;
  output.workstation = plan.workstation;
  Variant previous;
  // The members called afterwards (UpdateHeader and the like write too)
  // batch their writes as well; the rows are committed before they are read
  // back below, and on the way out of an error.
  std::optional<qev::host::WriteBatch> call_batch;
  if (!plan.calls.empty()) call_batch.emplace(raw_host);
  for (const CallPlan& call : plan.calls) {
    ArgList args;
    for (const CallArg& a : call.args) {
      switch (a.kind) {
        case CallArg::kText: args.Value(Variant(a.text)); break;
        case CallArg::kSource: args.Value(Variant(sources[a.source - 1])); break;
        case CallArg::kResult: args.Value(previous); break;
      }
    }
    const auto kind = static_cast<qev::InvokeKind>(
        call.member->kinds & (qev::kInvokeMethod | qev::kInvokeGet));
    previous = qev::Invoke(component, call.member->name, kind, args);
    output.calls.push_back({call.member->name, previous});
  }
  if (call_batch) call_batch->End();

  // The rows are read untraced: they are the host's reads, not the report's.
  const Variant report_db = qev::Get(Variant(raw_host), "DbA_Query0_Obj");
  const std::string own = "computer=" + SqlQuote(plan.workstation);
  std::vector<FixedTable> wanted;
  if (const MemberInfo* m = spec.type_info.Find("RptTab"); m && !IsMethod(*m)) {
    rpttab = qev::Get(component, "RptTab").ToText();
    if (!rpttab.empty()) {
      const std::string sql = plan.db.SelectRowsSql(report_db, "rpt_header",
                                                    own + " and rpttab=" + SqlQuote(rpttab));
      if (!sql.empty()) output.header = ReadRows(report_db, "rpt_header", sql);
      wanted.push_back({rpttab, "", ""});
    }
  }
  if (const MemberInfo* m = spec.type_info.Find("RptDetailTab"); m && !IsMethod(*m)) {
    const std::string detail = qev::Get(component, "RptDetailTab").ToText();
    if (!detail.empty()) wanted.push_back({detail, "", ""});
  }
  for (const FixedTable& t : FixedTablesOf(spec.name)) wanted.push_back(t);
  std::set<std::string> seen;
  for (const FixedTable& t : wanted) {
    if (!seen.insert(qev::ToLowerAscii(t.name)).second) continue;
    const std::string cond = t.cond.empty() ? own : own + " and " + t.cond;
    const std::string sql = plan.db.SelectRowsSql(report_db, t.name, cond, t.order);
    if (!sql.empty()) output.tables.push_back(ReadRows(report_db, t.name, sql));
  }
  calculation.reset();  // the rows are read: the next run may go ahead

  // Stored rows are shown as a report only when their calculation ended
  // well; otherwise the reader is told what they are (and a printed page
  // says it in its heading).
  std::string not_done;
  if (o.no_calc || o.format == OutputFormat::kHtml) {
    const qev::host::CalculationState last =
        qev::host::LastCalculation(raw_host, calc_table, plan.workstation);
    switch (last.kind) {
      case qev::host::CalculationState::kFailed:
        not_done = "failed at " + last.finished +
                   (last.number ? " with error " + std::to_string(last.number) : std::string()) +
                   (last.description.empty() ? "" : ": " + OneLine(last.description));
        break;
      case qev::host::CalculationState::kInterrupted:
        not_done = "was interrupted (started " + last.started + ", never finished)";
        break;
      case qev::host::CalculationState::kRunning:
        not_done = "is still running (started " + last.started + ")";
        break;
      default: break;
    }
  }
  output.report = calc_table;
  output.printed = NowText();
  if (!not_done.empty())
    output.not_done = "the last calculation of " + calc_table + " for workstation " +
                      plan.workstation + " " + not_done;

  const std::vector<std::string> reported = ReportedErrors();
  if (!trace.Flush()) err << "rptcalc: warning: the trace file " << o.trace_path
                          << " could not be written completely\n";
  WriteReportOutput(output, o.format, out);
  out.flush();
  if (!out) throw OutputError("the rows could not be written to the standard output");
  WriteReportedErrors(reported, err);
  if (o.no_calc && !not_done.empty()) {
    err << "rptcalc: " << output.not_done << "; the rows shown are not a finished report\n";
    return kExitNotFinished;
  }
  return StatusAfterCalculation(reported);
}

}  // namespace

int RunReport(const RunOptions& options, std::ostream& out, std::ostream& err) {
  try {
    const Plan plan = Prepare(options);
    WarnAboutSources(plan, options, err);
    TraceFile trace(options.trace_path);
    try {
      return Execute(plan, options, trace, out, err);
    } catch (const qev::RuntimeError& e) {
      trace.Flush();
      // Errors reported before the one that ended the call went wrong too.
      WriteReportedErrors(ReportedErrors(), err);
      err << "rptcalc: error " << e.number() << ", " << OneLine(e.source()) << ", "
          << OneLine(e.description()) << "\n";
      err << "rptcalc: " << ErrorContext(plan, options, e) << "\n";
      return kExitComponentError;
    }
  } catch (const UsageError& e) {
    err << "rptcalc: " << OneLine(e.what()) << "\n";
    return kExitUsage;
  } catch (const OutputError& e) {
    err << "rptcalc: " << OneLine(e.what()) << "\n";
    return kExitComponentError;
  }
}

const qev::frame::ClassSpec* ResolveClass(std::string_view name) {
  if (const auto* spec = qev::frame::FindClass(name)) return spec;
  const auto guid = qev::Guid::Parse(name);
  for (const auto& spec : qev::frame::Catalogue()) {
    if (qev::EqualsNoCase(spec.progid, name)) return &spec;
    if (guid && spec.clsid == *guid) return &spec;
  }
  return nullptr;
}

std::string CalculationTable(const qev::frame::ClassSpec& spec, const std::string& rpttab) {
  if (!rpttab.empty()) return rpttab;
  const std::vector<FixedTable> fixed = FixedTablesOf(spec.name);
  return fixed.empty() ? spec.name : fixed.front().name;
}

std::vector<FixedTable> FixedTablesOf(std::string_view class_name) {
  if (class_name == "Rpt_Tol_Rbb")
    return {{"rpt_Tol_rbb", "", ""},
            {"rpt_Tol_Rbb_Infod", "", ""},
            // The lines are shared with other sheets by rpttab, and shown in
            // the order of their sort numbers.
            {"rpt_rbbd", "rpttab='rpt_Tol_rbb'", "Sn"}};
  if (class_name == "Rpt_Yjk_Rbb") return {{"rpt_Tol_rbb", "", ""}};
  if (class_name == "Rpt_Yb_Rbb" || class_name == "Rpt_Yb_Rbb_Zyjz" ||
      class_name == "Rpt_Yb_Rbb_Zyjs")
    return {{"rpt_Yb_rbb", "", ""}};
  return {};
}

std::string HostName() {
  char buf[256] = {};
  if (gethostname(buf, sizeof buf - 1) != 0 || buf[0] == '\0') return "localhost";
  return buf;
}

std::string OneLine(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c == '\n' || c == '\r') c = ' ';
  return out;
}

}  // namespace rptcalc
