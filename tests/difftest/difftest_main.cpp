// difftest N [REPORT] [FIRST]: runs cases FIRST .. FIRST+N-1 (FIRST 0 by
// default) of every report of the differential test, or of REPORT alone,
// on SQLite and on PostgreSQL and prints every mismatch. The server is
// QEV_PG_URL's (./run difftest starts a throwaway one). Exit status 0 when
// the engines agree on every case, 1 on a mismatch, 2 on bad usage or no
// server.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/error.h"
#include "tests/difftest/diff_case.h"

int main(int argc, char** argv) {
  using namespace qev::testing::diff;
  if (argc < 2 || std::atoll(argv[1]) <= 0) {
    std::fprintf(stderr, "usage: difftest N [REPORT] [FIRST]\n");
    return 2;
  }
  const uint64_t count = std::strtoull(argv[1], nullptr, 10);
  const std::string only = argc > 2 ? argv[2] : "";
  const uint64_t first = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 0;
  std::string why;
  if (qev::testing::PostgresServerUrl(&why).empty()) {
    std::fprintf(stderr, "difftest: %s\n", why.c_str());
    return 2;
  }
  size_t cases = 0, mismatches = 0;
  for (const ReportEntry& entry : Reports()) {
    if (!only.empty() && only != entry.name && only != "all") continue;
    try {
      const auto found = RunSeeds(entry, first, count);
      for (const std::string& m : found) std::printf("%s\n", m.c_str());
      std::printf("%-16s %llu cases, %zu mismatches\n", entry.name,
                  static_cast<unsigned long long>(count), found.size());
      std::fflush(stdout);
      cases += count;
      mismatches += found.size();
    } catch (const qev::RuntimeError& e) {
      std::fprintf(stderr, "difftest: %s: %s\n", entry.name, e.error().ToString().c_str());
      return 2;
    }
  }
  std::printf("total: %zu cases, %zu mismatches\n", cases, mismatches);
  return mismatches == 0 ? 0 : 1;
}
