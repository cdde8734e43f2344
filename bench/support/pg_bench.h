// PostgreSQL for the benchmarks: the server named by QEV_PG_URL (./run bench
// starts a throwaway one when it is not set; tools/pgtest/pgtest starts one
// by hand), and a fresh schema on it per benchmark database, dropped at the
// end. Without QEV_PG_URL the PostgreSQL cases are skipped.
#pragma once

#include <cstdlib>
#include <string>

#include "host/host.h"
#include "platform/dispatch.h"
#include "platform/error.h"
#include "tests/support/odbc_url.h"

namespace qev::bench {

inline std::string PgUrl() {
  const char* url = std::getenv("QEV_PG_URL");
  return url && *url ? url : "";
}

// `url` with the search path set to `schema`; with `durable`, sessions
// whose commits wait for the disk, as a production server's do (the
// throwaway server of ./run bench turns synchronous_commit off for every
// session, which would hide what the host's calculation marks save).
inline std::string WithSearchPath(const std::string& url, const std::string& schema,
                                  bool durable = false) {
  if (url.rfind("postgresql://", 0) == 0 || url.rfind("postgres://", 0) == 0)
    return url + (url.find('?') == std::string::npos ? "?" : "&") + "options=-csearch_path%3D" +
           schema + (durable ? "%20-csynchronous_commit%3Don" : "");
  return url + " options='-csearch_path=" + schema + (durable ? " -csynchronous_commit=on" : "") +
         "'";
}

// A schema of its own on the server, made empty at the start and dropped
// at the end; connection() reaches it.
class PgSchema {
 public:
  // `durable`: connection() gives sessions whose commits wait for the disk.
  PgSchema(const std::string& url, const std::string& name, bool durable = false)
      : url_(url), name_(name), durable_(durable) {
    Variant admin(host::CreateQueryObj(url_));
    Call(admin, "Exec", Variant("drop schema if exists " + name_ + " cascade"));
    Call(admin, "Exec", Variant("create schema " + name_));
  }
  ~PgSchema() {
    try {
      Variant admin(host::CreateQueryObj(url_));
      Call(admin, "Exec", Variant("drop schema if exists " + name_ + " cascade"));
    } catch (const RuntimeError&) {
    }
  }
  PgSchema(const PgSchema&) = delete;
  PgSchema& operator=(const PgSchema&) = delete;

  std::string connection() const { return WithSearchPath(url_, name_, durable_); }
  std::string odbc_connection() const { return qev::testing::OdbcPostgresConnection(url_, name_); }

 private:
  std::string url_;
  std::string name_;
  bool durable_ = false;
};

inline int EnvInt(const char* name, int fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::atoi(v) : fallback;
}

// The reports on PostgreSQL without the calculation marks, every statement
// committing durably, take minutes: only with QEV_BENCH_UNBATCHED=1.
inline bool PgUnbatchedWanted() { return EnvInt("QEV_BENCH_UNBATCHED", 0) != 0; }

}  // namespace qev::bench
