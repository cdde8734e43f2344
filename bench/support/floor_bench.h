// The program of a benchmark that measures one report beside its floor (the
// same figures by raw statements), on SQLite and, when QEV_PG_URL names a
// server, on PostgreSQL: the report inside the calculation bracket, and
// without it (on PostgreSQL only with QEV_BENCH_UNBATCHED=1: slow), then
// the ratios printed after Google Benchmark's table.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bench/support/pg_bench.h"
#include "bench/support/replay.h"
#include "host/calculation.h"
#include "platform/dispatch.h"
#include "platform/error.h"

namespace qev::bench {

// One CalcuRpt of `report` over the three `sources` as a host runs it:
// inside the calculation bracket on `table` of `host` when `batched` (the
// bracket batches the writes), else statement by statement in autocommit.
inline void CalculateOnce(const Object& host, const Variant& report, const std::string& table,
                          const Variant (&sources)[3], bool batched) {
  const auto calcu = [&] { Call(report, "CalcuRpt", Variant(int16_t{3}), sources[0], sources[1], sources[2]); };
  if (!batched) return calcu();
  host::Calculation calculation(host, table, std::chrono::milliseconds(0));
  calcu();
  calculation.Succeeded();
}

// Times CalculateOnce once per iteration of `state`, with `before_each`
// run untimed before each; the seconds of an average run.
inline double TimeCalcuRpt(benchmark::State& state, const Object& host, const Variant& report,
                           const std::string& table, const Variant (&sources)[3], bool batched,
                           const std::function<void()>& before_each = {}) {
  double total = 0;
  int runs = 0;
  for (auto _ : state) {
    if (before_each) before_each();
    const auto start = std::chrono::steady_clock::now();
    CalculateOnce(host, report, table, sources, batched);
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ++runs;
  }
  return total / runs;
}

// TimeCalcuRpt on the objects of `rec`, the average run's seconds in
// seconds[1] (in the bracket) or seconds[2] (without); in the bracket also
// one more run written down and sent raw three times (replay.h), the
// average replay in seconds[3].
inline void TimeAndReplay(benchmark::State& state, RecordedHost& rec, const Variant& report,
                          const std::string& table, bool batched, double* seconds,
                          const std::function<void()>& before_each = {}) {
  seconds[batched ? 1 : 2] =
      TimeCalcuRpt(state, rec.host(), report, table, rec.sources(), batched, before_each);
  if (batched)
    seconds[3] = rec.RecordAndReplay([&] { CalculateOnce(rec.host(), report, table, rec.sources(), true); },
                                     before_each);
}

struct FloorBench {
  const char* program;     // "bench_category", for messages
  const char* report;      // "Rpt_Tol_Type", for the benchmark names and the summary
  const char* floor_name;  // the floor's benchmark name without the engine
  std::string size;        // the data, for the summary: "2000 lines"
  std::function<void(benchmark::State&, bool pg)> floor;
  std::function<void(benchmark::State&, bool pg, bool batched)> run;
  // Seconds per run of one engine: floor, report in the bracket, without,
  // the report's statements replayed raw.
  std::function<const double*(bool pg)> seconds;
  // Removes the engine's databases.
  std::function<void(bool pg)> cleanup;
};

inline int RunFloorBench(int argc, char** argv, const FloorBench& b) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  std::vector<bool> engines = {false};
  if (!PgUrl().empty())
    engines.push_back(true);
  else
    std::fprintf(stderr, "%s: QEV_PG_URL is not set; the PostgreSQL cases are skipped\n", b.program);
  for (const bool pg : engines) {
    const std::string e = pg ? "Postgres" : "Sqlite";
    const std::string name = std::string("BM_") + b.report + e;
    benchmark::RegisterBenchmark((b.floor_name + e).c_str(),
                                 [&b, pg](benchmark::State& s) { b.floor(s, pg); })
        ->Unit(benchmark::kMillisecond)->Iterations(3);
    benchmark::RegisterBenchmark(name.c_str(), [&b, pg](benchmark::State& s) { b.run(s, pg, true); })
        ->Unit(benchmark::kMillisecond)->Iterations(pg ? 1 : 3);  // a round trip per statement on PostgreSQL: slow
    if (!pg || PgUnbatchedWanted())
      benchmark::RegisterBenchmark((name + "Unbatched").c_str(),
                                   [&b, pg](benchmark::State& s) { b.run(s, pg, false); })
          ->Unit(benchmark::kMillisecond)->Iterations(1);
  }
  try {
    benchmark::RunSpecifiedBenchmarks();
  } catch (const RuntimeError& e) {
    std::fprintf(stderr, "%s: %s\n", b.program, e.error().ToString().c_str());
    return 1;
  }
  benchmark::Shutdown();
  for (const bool pg : engines) {
    const double* s = b.seconds(pg);
    if (s[0] > 0 && s[1] > 0)
      std::printf("%s on %s (%s x 3 sources): %.3f s, floor %.3f s, ratio report/floor %.2f "
                  "(target <= %s)\n",
                  b.report, pg ? "PostgreSQL" : "SQLite", b.size.c_str(), s[1], s[0], s[1] / s[0],
                  pg ? "2" : "1.2");
    if (s[0] > 0 && s[1] > 0 && s[3] > 0)
      std::printf("  the report's statements replayed raw %.3f s: replay/floor %.2f, report/replay %.2f\n",
                  s[3], s[3] / s[0], s[1] / s[3]);
    if (s[0] > 0 && s[2] > 0)
      std::printf("  without the calculation bracket %.3f s, ratio report/floor %.2f\n", s[2], s[2] / s[0]);
  }
  for (const bool pg : engines) b.cleanup(pg);
  return 0;
}

}  // namespace qev::bench
