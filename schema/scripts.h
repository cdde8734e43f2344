// The SQL scripts compiled into the library (generated from
// schema/<dialect>/*.sql).
#pragma once

#include <string_view>
#include <vector>

namespace qev::schema {

struct Script {
  std::string_view dialect;  // "sqlite" or "postgresql"
  std::string_view name;
  std::string_view text;
};

const std::vector<Script>& Scripts();

}  // namespace qev::schema
