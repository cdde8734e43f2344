// A PostgreSQL URI as an "odbc:" connection text for psqlODBC: used by the
// tests and the benchmarks that reach the test server through its driver.
#pragma once

#include <string>
#include <string_view>

namespace qev::testing {

namespace odbc_url_detail {

// %XX escapes of a URI component decoded.
inline std::string UriDecode(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size()) {
      out.push_back(static_cast<char>(std::stoi(std::string(s.substr(i + 1, 2)), nullptr, 16)));
      i += 2;
    } else {
      out.push_back(s[i]);
    }
  }
  return out;
}

}  // namespace odbc_url_detail

// An "odbc:" connection text reaching the database of the PostgreSQL URI
// `url` through psqlODBC, with the search path set to `schema` when one is
// given; "" when `url` is no URI of the form
// postgresql://[user[:password]@][host][:port]/db[?host=..&port=..&user=..&password=..&dbname=..].
inline std::string OdbcPostgresConnection(const std::string& url, const std::string& schema) {
  std::string_view rest = url;
  if (rest.starts_with("postgresql://")) rest.remove_prefix(13);
  else if (rest.starts_with("postgres://")) rest.remove_prefix(11);
  else return "";
  std::string user, password, host, port, dbname;
  const size_t slash = rest.find('/');
  std::string_view authority = rest.substr(0, slash);
  std::string_view path = slash == std::string_view::npos ? "" : rest.substr(slash + 1);
  if (const size_t at = authority.rfind('@'); at != std::string_view::npos) {
    std::string_view who = authority.substr(0, at);
    authority.remove_prefix(at + 1);
    const size_t colon = who.find(':');
    user = odbc_url_detail::UriDecode(who.substr(0, colon));
    if (colon != std::string_view::npos) password = odbc_url_detail::UriDecode(who.substr(colon + 1));
  }
  if (const size_t colon = authority.rfind(':'); colon != std::string_view::npos) {
    port = authority.substr(colon + 1);
    authority = authority.substr(0, colon);
  }
  host = odbc_url_detail::UriDecode(authority);
  const size_t q = path.find('?');
  dbname = odbc_url_detail::UriDecode(path.substr(0, q));
  if (q != std::string_view::npos) {
    std::string_view query = path.substr(q + 1);
    while (!query.empty()) {
      const size_t amp = query.find('&');
      std::string_view kv = query.substr(0, amp);
      const size_t eq = kv.find('=');
      const std::string key(kv.substr(0, eq));
      const std::string value = eq == std::string_view::npos ? "" : odbc_url_detail::UriDecode(kv.substr(eq + 1));
      if (key == "host") host = value;
      else if (key == "port") port = value;
      else if (key == "user") user = value;
      else if (key == "password") password = value;
      else if (key == "dbname") dbname = value;
      if (amp == std::string_view::npos) break;
      query.remove_prefix(amp + 1);
    }
  }
  std::string out = "odbc:Driver={PostgreSQL Unicode};Servername=" + (host.empty() ? "localhost" : host);
  if (!port.empty()) out += ";Port=" + port;
  if (!dbname.empty()) out += ";Database=" + dbname;
  if (!user.empty()) out += ";UID=" + user;
  if (!password.empty()) out += ";PWD={" + password + "}";
  if (!schema.empty()) out += ";ConnSettings={set search_path to " + schema + "}";
  return out;
}

}  // namespace qev::testing
