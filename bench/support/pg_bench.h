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

// `url` (postgresql://[user@][host][:port]/db[?host=..&port=..&user=..])
// as an "odbc:" connection text for psqlODBC with the search path set to
// `schema`; "" for a text of another form.
inline std::string OdbcWithSearchPath(const std::string& url, const std::string& schema) {
  std::string rest;
  if (url.rfind("postgresql://", 0) == 0) rest = url.substr(13);
  else if (url.rfind("postgres://", 0) == 0) rest = url.substr(11);
  else return "";
  std::string user, host, port, db;
  const size_t slash = rest.find('/');
  std::string authority = rest.substr(0, slash);
  std::string path = slash == std::string::npos ? "" : rest.substr(slash + 1);
  if (const size_t at = authority.rfind('@'); at != std::string::npos) {
    user = authority.substr(0, authority.find(':') < at ? authority.find(':') : at);
    authority = authority.substr(at + 1);
  }
  if (const size_t colon = authority.rfind(':'); colon != std::string::npos) {
    port = authority.substr(colon + 1);
    authority = authority.substr(0, colon);
  }
  host = authority;
  const size_t q = path.find('?');
  db = path.substr(0, q);
  for (size_t p = q; p != std::string::npos && p < path.size();) {
    const size_t amp = path.find('&', p + 1);
    const std::string kv = path.substr(p + 1, amp == std::string::npos ? std::string::npos : amp - p - 1);
    const size_t eq = kv.find('=');
    const std::string k = kv.substr(0, eq), v = eq == std::string::npos ? "" : kv.substr(eq + 1);
    if (k == "host") host = v;
    else if (k == "port") port = v;
    else if (k == "user") user = v;
    p = amp;
  }
  std::string out = "odbc:Driver={PostgreSQL Unicode};Servername=" + (host.empty() ? "localhost" : host);
  if (!port.empty()) out += ";Port=" + port;
  if (!db.empty()) out += ";Database=" + db;
  if (!user.empty()) out += ";UID=" + user;
  return out + ";ConnSettings={set search_path to " + schema + "}";
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
  std::string odbc_connection() const { return OdbcWithSearchPath(url_, name_); }

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
