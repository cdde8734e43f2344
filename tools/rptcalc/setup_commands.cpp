#include "tools/rptcalc/setup_commands.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <ostream>

#include "host/host.h"
#include "host/postgres_database.h"
#include "host/sql_text.h"
#include "host/sqlite_database.h"
#include "platform/class_factory.h"
#include "platform/error.h"
#include "platform/registry.h"
#include "schema/schema.h"
#include "tools/rptcalc/database_location.h"
#include "tools/rptcalc/report_run.h"
#include "tools/rptcalc/status.h"

namespace rptcalc {

namespace {

std::string ExecutableDir() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.parent_path().string();
}

std::string Hex(int32_t code) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<uint32_t>(code));
  return buf;
}

}  // namespace

int CreateSchema(const std::string& db, bool report_only, std::ostream& out,
                 std::ostream& err) {
  try {
    const DatabaseLocation location = DatabaseLocation::Parse(db);
    location.Check("database", /*must_exist=*/false);
    const qev::Variant query(location.OpenQueryObj());
    // Over ODBC the server may be one the project has no scripts for.
    const std::string engine = qev::Get(query, "Engine").ToText();
    if (engine != "sqlite" && engine != "postgresql")
      throw UsageError("the ODBC database " + location.shown() + " is " +
                       qev::host::DatabaseProductName(query.object()) +
                       ", for which rptcalc has no schema scripts (it has them for PostgreSQL and "
                       "SQLite); make the report tables by hand, starting from the definitions "
                       "that rptcalc schema --print prints");
    std::vector<std::string> scripts;
    if (report_only) {
      scripts = qev::schema::ReportScriptNames();
    } else {
      scripts = {"fixed_tables"};
      for (const std::string& s : qev::schema::ScriptNames())
        if (s != "fixed_tables") scripts.push_back(s);
    }
    int counts[4] = {};
    for (const qev::schema::ObjectOutcome& o : qev::schema::CreateMissing(query, scripts)) {
      ++counts[o.what];
      const auto& obj = o.object;
      switch (o.what) {
        case qev::schema::ObjectOutcome::kCreated:
          out << "created " << obj.kind << " " << obj.name << "\n";
          break;
        case qev::schema::ObjectOutcome::kFound:
          out << "found   " << o.found_kind << " " << obj.name;
          if (o.found_kind != obj.kind) out << " (the schema has a " << obj.kind << " there)";
          out << ", left as it is\n";
          break;
        case qev::schema::ObjectOutcome::kSkipped:
          out << "skipped index " << obj.name << ": its table " << obj.table
              << " was already there and is left unchanged\n";
          break;
        case qev::schema::ObjectOutcome::kFailed:
          out << "failed  " << obj.kind << " " << obj.name << ": " << OneLine(o.detail) << "\n";
          break;
      }
    }
    out << "schema on " << (location.is_postgres() ? std::string("the PostgreSQL database") : location.shown())
        << (report_only ? " (report side)" : "") << ": " << counts[0] << " created, "
        << counts[1] << " found, " << counts[2] << " skipped, " << counts[3] << " failed\n";
    if (counts[3] > 0) {
      err << "rptcalc: " << counts[3] << " schema object(s) could not be created (see above)\n";
      return kExitComponentError;
    }
    return kExitDone;
  } catch (const UsageError& e) {
    err << "rptcalc: " << OneLine(e.what()) << "\n";
    return kExitUsage;
  } catch (const qev::RuntimeError& e) {
    err << "rptcalc: error " << e.number() << ", " << OneLine(e.source()) << ", "
        << OneLine(e.description()) << "\n";
    return kExitComponentError;
  }
}

int PrintSchema(const std::string& db, std::ostream& out) {
  const bool sqlite = !db.empty() && DatabaseLocation::Parse(db).engine() ==
                                         DatabaseLocation::Engine::kSqlite;
  const std::string_view dialect = sqlite ? qev::schema::kSqlite : qev::schema::kPostgres;
  out << "-- fixed_tables (" << dialect << ")\n";
  const std::string_view fixed =
      sqlite ? qev::host::SqliteFixedTablesDdl() : qev::host::PostgresFixedTablesDdl();
  for (const std::string& statement : qev::host::SplitStatements(fixed)) out << statement << ";\n";
  for (const std::string& script : qev::schema::ScriptNames()) {
    if (script == "fixed_tables") continue;
    out << "\n-- " << script << " (" << dialect << ")\n";
    for (const std::string& statement : qev::schema::Statements(script, dialect))
      out << statement << ";\n";
  }
  return kExitDone;
}

std::vector<ComponentLibrary> FindComponentLibraries() {
  const char* const built[] = {QEV_ACTIVEX_SO, QEV_RPTCAL_SO};  // utility library first
  const std::string exe_dir = ExecutableDir();
  std::vector<ComponentLibrary> out;
  for (const char* path : built) {
    ComponentLibrary lib;
    lib.file_name = std::filesystem::path(path).filename().string();
    std::error_code ec;
    const std::string installed = exe_dir + "/" + QEV_BIN_TO_LIB + "/" + lib.file_name;
    if (!exe_dir.empty() && std::filesystem::exists(exe_dir + "/" + lib.file_name, ec))
      lib.path = exe_dir + "/" + lib.file_name;
    else if (!exe_dir.empty() && std::filesystem::exists(installed, ec))
      lib.path = std::filesystem::weakly_canonical(installed, ec).string();
    else if (std::filesystem::exists(path, ec))
      lib.path = path;
    out.push_back(std::move(lib));
  }
  return out;
}

int RegisterLibraries(bool unregister, std::ostream& out, std::ostream& err) {
  std::vector<ComponentLibrary> libs = FindComponentLibraries();
  // Unregistration in the opposite order: the report library first.
  if (unregister) std::reverse(libs.begin(), libs.end());
  const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
  const std::string registry = qev::Registry::Default().path();
  for (const ComponentLibrary& lib : libs) {
    if (lib.path.empty()) {
      err << "rptcalc: cannot find " << lib.file_name << " next to rptcalc or in the build\n";
      return kExitComponentError;
    }
    // The library stays loaded until the process ends, as a host keeps a
    // component library it has used.
    void* handle = dlopen(lib.path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      err << "rptcalc: cannot load " << lib.path << ": " << OneLine(dlerror()) << "\n";
      return kExitComponentError;
    }
    auto fn = reinterpret_cast<qev::DllRegisterServerFn>(dlsym(handle, entry));
    if (fn == nullptr) {
      err << "rptcalc: " << lib.path << " has no " << entry << "\n";
      return kExitComponentError;
    }
    const int32_t hr = fn();
    if (hr != qev::kS_OK) {
      err << "rptcalc: " << entry << " of " << lib.path << " failed with " << Hex(hr) << "\n";
      return kExitComponentError;
    }
    out << (unregister ? "unregistered " : "registered ") << lib.path
        << (unregister ? " from " : " in ") << registry << "\n";
  }
  return kExitDone;
}

}  // namespace rptcalc
