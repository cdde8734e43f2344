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

std::vector<std::string> ApplyAllSchemaScripts(const std::string& db) {
  const DatabaseLocation location = DatabaseLocation::Parse(db);
  location.Check("database", /*must_exist=*/false);
  const qev::Object query = location.OpenQueryObj();
  const std::string engine = qev::Get(qev::Variant(query), "Engine").ToText();
  if (engine != "sqlite" && engine != "postgresql")
    throw UsageError("the ODBC database " + location.shown() + " is " +
                     qev::host::DatabaseProductName(query) +
                     ", for which rptcalc has no schema scripts (it has them for PostgreSQL and "
                     "SQLite); make the report tables by hand, starting from the definitions "
                     "that rptcalc schema --print prints");
  qev::host::CreateFixedTables(query);
  std::vector<std::string> applied = {"fixed_tables"};
  for (const std::string& script : qev::schema::ScriptNames()) {
    if (script == "fixed_tables") continue;  // the host's own DDL, just run
    qev::schema::Apply(qev::Variant(query), script);
    applied.push_back(script);
  }
  return applied;
}

int CreateSchema(const std::string& db, std::ostream& out, std::ostream& err) {
  try {
    const std::vector<std::string> applied = ApplyAllSchemaScripts(db);
    out << "schema ready on " << DatabaseLocation::Parse(db).shown() << ":";
    for (size_t i = 0; i < applied.size(); ++i) out << (i ? ", " : " ") << applied[i];
    out << "\n";
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
    if (!exe_dir.empty() && std::filesystem::exists(exe_dir + "/" + lib.file_name, ec))
      lib.path = exe_dir + "/" + lib.file_name;
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
