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

namespace qev::bench {

inline std::string PgUrl() {
  const char* url = std::getenv("QEV_PG_URL");
  return url && *url ? url : "";
}

// `url` with the search path set to `schema`, and commits that wait for
// the disk as a production server's do (the throwaway server of ./run
// bench turns synchronous_commit off for all sessions; the host's
// calculation marks turn it off for the report connection themselves).
inline std::string WithSearchPath(const std::string& url, const std::string& schema) {
  if (url.rfind("postgresql://", 0) == 0 || url.rfind("postgres://", 0) == 0)
    return url + (url.find('?') == std::string::npos ? "?" : "&") + "options=-csearch_path%3D" +
           schema + "%20-csynchronous_commit%3Don";
  return url + " options='-csearch_path=" + schema + " -csynchronous_commit=on'";
}

// A schema of its own on the server, made empty at the start and dropped
// at the end; connection() reaches it.
class PgSchema {
 public:
  PgSchema(const std::string& url, const std::string& name) : url_(url), name_(name) {
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

  std::string connection() const { return WithSearchPath(url_, name_); }

 private:
  std::string url_;
  std::string name_;
};

inline int EnvInt(const char* name, int fallback) {
  const char* v = std::getenv(name);
  return v && *v ? std::atoi(v) : fallback;
}

}  // namespace qev::bench
