#include "tools/rptcalc/cli.h"

#include <ostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "frame/registration.h"
#include "platform/error.h"
#include "tools/rptcalc/catalogue_listing.h"
#include "tools/rptcalc/demo.h"
#include "tools/rptcalc/report_run.h"
#include "tools/rptcalc/setup_commands.h"
#include "tools/rptcalc/status.h"
#include "utility/server.h"

namespace rptcalc {

namespace {

constexpr const char* kFormatHelp = "output form: table (for people), csv or json";

OutputFormat FormatOf(const std::string& text) {
  return ParseOutputFormat(text).value_or(OutputFormat::kTable);
}

// A repeatable option that takes exactly one value each time it is given.
template <typename T>
CLI::Option* AddRepeated(CLI::App* app, const std::string& name, std::vector<T>& values,
                         const std::string& help) {
  return app->add_option(name, values, help)->allow_extra_args(false)->type_name("TEXT");
}

}  // namespace

int RptcalcMain(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                bool terminal) {
  // The report classes and the utility library are linked in.
  qev::frame::RegisterLinkedClasses();
  qev::utility::RegisterLinkedClasses();

  CLI::App app{"rptcalc: runs the reports of qevRptCalLib on report and source databases"};
  app.name("rptcalc");
  app.require_subcommand(1);
  app.footer(
      "Exit status: 0 done, 1 the component raised an error, 2 bad usage, 3 the calculation "
      "returned but reported errors on the way (each printed on standard error).");

  RunOptions run;
  std::string run_format = "table";
  int source_num = 0;
  CLI::App* run_cmd = app.add_subcommand("run", "calculate one report and print its rows");
  run_cmd->add_option("CLASS", run.class_name, "class name (Rpt_Tol_Good), ProgID or {CLSID}")
      ->required();
  run_cmd->add_option("--db", run.db, "the report database (SQLite file)")->required();
  AddRepeated(run_cmd, "--source", run.sources,
              "a source database, QueryDb1 to QueryDb3 in order (default: the report database)");
  CLI::Option* source_num_opt =
      run_cmd->add_option("--source-num", source_num,
                          "SourceNum passed to CalcuRpt (default: the number of sources)");
  run_cmd->add_option("--workstation", run.workstation, "ComputerName (default: the host name)");
  AddRepeated(run_cmd, "--set", run.sets, "set a property: NAME=VALUE");
  AddRepeated(run_cmd, "--desc", run.descs, "append a label and a value to RptDesc: LABEL=VALUE");
  CLI::Option* init = run_cmd->add_flag("--init", run.init, "call RptInit instead of CalcuRpt");
  CLI::Option* no_calc =
      run_cmd->add_flag("--no-calc", run.no_calc, "calculate nothing, print the stored rows");
  init->excludes(no_calc);
  AddRepeated(run_cmd, "--call", run.calls,
              "after the calculation call MEMBER[=ARG,...] and print its result; "
              "@source1..@source3 pass a source, @result the previous result");
  run_cmd->add_option("--format", run_format,
                      "output form: table (for people), csv or json, or html (a page to print)")
      ->check(CLI::IsMember({"table", "csv", "json", "html"}));
  run_cmd->add_option("--wait", run.wait_seconds,
                      "seconds to wait while the same workstation calculates the same table "
                      "elsewhere (default 60)")
      ->check(CLI::Range(0.0, 86400.0));
  run_cmd->add_option("--timeout", run.timeout_seconds,
                      "end any statement that runs longer than SECONDS (default: no bound)")
      ->check(CLI::Range(0.001, 86400.0));
  run_cmd->add_option("--trace", run.trace_path,
                      "write every call on a query object to FILE, one JSON object a line");

  std::string classes_format = "table";
  CLI::App* classes_cmd = app.add_subcommand("classes", "list the report classes");
  classes_cmd->add_option("--format", classes_format, kFormatHelp)
      ->check(CLI::IsMember({"table", "csv", "json"}));

  std::string schema_db;
  CLI::App* schema_cmd = app.add_subcommand(
      "schema", "create the missing fixed tables, report tables and source tables and views");
  bool schema_print = false;
  schema_cmd->add_option("--db", schema_db,
                         "the database (SQLite file, created if missing; PostgreSQL; odbc:...)");
  bool schema_report_only = false;
  schema_cmd->add_flag("--report-only", schema_report_only,
                       "only the fixed tables, the report tables and the sequence (the "
                       "database's lookups and sources are its own)");
  schema_cmd->add_flag("--print", schema_print,
                       "print the definitions instead of running them: in the dialect of --db, "
                       "PostgreSQL's for an odbc: database or without --db");

  DemoOptions demo;
  CLI::App* demo_cmd =
      app.add_subcommand("demo", "build the demo hospital databases and run every goods report");
  demo_cmd->add_option("--db", demo.db, "the demo report database; the sources go beside it")
      ->capture_default_str();
  demo_cmd->add_option("--scale", demo.scale,
                       "multiplies the volume of demo data, from 1 to " +
                           std::to_string(kDemoMaxScale) +
                           " (beyond, a report would pass its 32,767-row limit)")
      ->check(CLI::Range(1, kDemoMaxScale))
      ->capture_default_str();

  CLI::App* register_cmd =
      app.add_subcommand("register", "register the component libraries in the class registry");
  CLI::App* unregister_cmd = app.add_subcommand(
      "unregister", "remove the component libraries from the class registry");

  // CLI11 would answer a mistyped subcommand with "A subcommand is
  // required"; name it instead.
  if (argc > 1 && argv[1][0] != '-') {
    bool known = false;
    for (const CLI::App* sub : app.get_subcommands({})) known = known || sub->check_name(argv[1]);
    if (!known) {
      err << "rptcalc: unknown subcommand '" << OneLine(argv[1])
          << "' (rptcalc --help lists the subcommands)\n";
      return kExitUsage;
    }
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e, out, err);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e, out, err);
  } catch (const CLI::ParseError& e) {
    std::string what = e.what();
    if (what.empty()) what = e.get_name();
    err << "rptcalc: " << OneLine(what) << " (rptcalc --help shows the usage)\n";
    return kExitUsage;
  }

  try {
    if (*run_cmd) {
      if (*source_num_opt) run.source_num = source_num;
      run.format = FormatOf(run_format);
      return RunReport(run, out, err);
    }
    if (*classes_cmd) {
      WriteClassList(FormatOf(classes_format), out);
      return kExitDone;
    }
    if (*schema_cmd) {
      if (schema_print) return PrintSchema(schema_db, out);
      if (schema_db.empty()) {
        err << "rptcalc: schema: --db is required (or --print)\n";
        return kExitUsage;
      }
      return CreateSchema(schema_db, schema_report_only, out, err);
    }
    if (*demo_cmd) {
      demo.progress = terminal;
      return RunDemo(demo, out, err);
    }
    if (*register_cmd) return RegisterLibraries(/*unregister=*/false, out, err);
    if (*unregister_cmd) return RegisterLibraries(/*unregister=*/true, out, err);
  } catch (const qev::RuntimeError& e) {
    err << "rptcalc: error " << e.number() << ", " << OneLine(e.source()) << ", "
        << OneLine(e.description()) << "\n";
    return kExitComponentError;
  } catch (const std::exception& e) {
    err << "rptcalc: " << OneLine(e.what()) << "\n";
    return kExitComponentError;
  }
  return kExitUsage;
}

}  // namespace rptcalc
