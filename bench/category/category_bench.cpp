// Rpt_Tol_Type (amounts per object and category, with key counts merged
// over the source databases through the scratch table tem_rpt_qty) over
// three source databases of outpatient charge lines, beside its floor: the
// same grouping queries on the sources run with the engine's own client
// library, the figures added up in memory and the finished rows written
// with one prepared insert in one transaction. The report runs inside the
// calculation bracket (host/calculation.h, which batches its writes), and
// once more without it. On SQLite files and, when QEV_PG_URL names a server
// (./run bench starts a throwaway one), on PostgreSQL, its sessions
// committing durably as on a production server (without the bracket there
// only when QEV_BENCH_UNBATCHED=1: it takes minutes).
//
// Data: QEV_BENCH_FEE_LINES charge lines per source (default 100,000) on
// 20,000 receipts, 200 objects (patients) and 10 categories; every source
// holds the same receipt numbers, so the key counts merge over them.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/support/floor_bench.h"
#include "bench/support/pg_bench.h"
#include "bench/support/raw_db.h"
#include "frame/registration.h"
#include "host/calculation.h"
#include "host/host.h"
#include "platform/class_factory.h"
#include "platform/dispatch.h"
#include "schema/schema.h"
#include "utility/server.h"

namespace {

const int kLines = qev::bench::EnvInt("QEV_BENCH_FEE_LINES", 100000);
constexpr int kReceipts = 20000;
constexpr int kObjects = 200;

using qev::bench::Raw;
using qev::bench::Row;

struct EngineSet {
  bool pg = false;
  std::string dir;
  std::string report;
  std::string sources[3];
  std::vector<std::unique_ptr<qev::bench::PgSchema>> schemas;
};

EngineSet MakeSet(bool pg) {
  EngineSet set;
  set.pg = pg;
  char tmpl[] = "/tmp/qev-bench-category-XXXXXX";
  set.dir = mkdtemp(tmpl);
  auto database = [&](const std::string& role) {
    if (!pg) return set.dir + "/" + role + ".db";
    set.schemas.push_back(std::make_unique<qev::bench::PgSchema>(
        qev::bench::PgUrl(), "qev_bench_category_" + std::to_string(getpid()) + "_" + role, /*durable=*/true));
    return set.schemas.back()->connection();
  };
  set.report = database("report");
  const qev::Variant q0 =
      qev::Get(qev::Variant(qev::host::CreateHostLib(set.report, "BENCH")), "DbA_Query0_Obj");
  qev::host::CreateFixedTables(q0.object());
  qev::schema::Apply(q0, "category_reports");
  for (int k = 0; k < 3; ++k) {
    set.sources[k] = database("source" + std::to_string(k + 1));
    const qev::Variant q(qev::host::CreateQueryObj(set.sources[k]));
    qev::schema::Apply(q, "category_sources");
    const std::string n = std::to_string(kLines), r = std::to_string(kReceipts),
                      o = std::to_string(kObjects), shift = std::to_string(k * 7);
    qev::Call(q, "Exec",
              qev::Variant("insert into mz_fee (lineid,ID,RegID,Name,iDate,DepaID,DoctorID,bbxm1id,Amt) "
                           "with recursive c(x) as (select 1 union all select x+1 from c where x<" + n + ") "
                           "select x, cast(x%" + r + " as varchar(20)), cast(x%" + r + " as varchar(20)), "
                           "'P'||cast(x%" + o + " as varchar(20)), '2024-03-15 10:00:00', '1', '1', "
                           "cast(10+(x+" + shift + ")%10 as varchar(20)), "
                           "case when x%97=0 then -3.5 else (x%50)+0.25 end from c"));
    if (pg) qev::Call(q, "Exec", qev::Variant("analyze mz_fee"));
  }
  return set;
}

const EngineSet& Set(bool pg) {
  static EngineSet* sets[2] = {nullptr, nullptr};
  if (!sets[pg]) sets[pg] = new EngineSet(MakeSet(pg));
  return *sets[pg];
}

double g_seconds[2][4] = {};  // engine; floor, report in the bracket, without, replayed

void RunReport(benchmark::State& state, bool pg, bool batched) {
  const EngineSet& set = Set(pg);
  qev::frame::RegisterLinkedClasses();
  qev::utility::RegisterLinkedClasses();
  qev::bench::RecordedHost rec(pg, set.report, set.sources, "BENCH");
  const qev::Object& host = rec.host();
  const qev::Variant r(qev::CreateObject("qevRptCalLib.Rpt_Tol_Type"));
  qev::Set(r, "Global_Lib_Obj", host);
  qev::Let(r, "SourceViewName", qev::Variant("rpt_mz_fee_v"));
  qev::Let(r, "RptTab", qev::Variant("rpt_tol_type"));
  qev::Let(r, "ObjField", qev::Variant("Name"));
  qev::Let(r, "TypeField", qev::Variant("bbxm1id"));
  qev::Let(r, "QtyIndex", qev::Variant(int16_t{3}));
  qev::bench::TimeAndReplay(state, rec, r, "rpt_tol_type", batched, g_seconds[pg]);
}

// The floor: the report's grouping queries raw, the figures in memory, the
// finished rows in one transaction.
void RunFloor(benchmark::State& state, bool pg) {
  const EngineSet& set = Set(pg);
  double total = 0;
  int runs = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    std::map<std::string, std::map<std::string, double>> amounts;
    std::map<std::pair<std::string, std::string>, double> keys;
    for (const std::string& source : set.sources) {
      Raw raw(pg, source);
      for (const Row& row : raw.Rows("select Name,bbxm1id,Sum(Amt) as f_Amt from rpt_mz_fee_v "
                                     "Group By Name,bbxm1id"))
        amounts[row[0]][row[1]] += std::stod(row[2]);
      for (const Row& row : raw.Rows("select Name ,ID,sum(amt) as SfAmt from rpt_mz_fee_v "
                                     "group by Name,ID"))
        keys[{row[0], row[1]}] += std::stod(row[2]);
    }
    std::map<std::string, int> qty;
    for (const auto& [key, amt] : keys)
      if (amt != 0) qty[key.first] += amt > 0 ? 1 : -1;
    double all = 0;
    for (const auto& [name, by_type] : amounts)
      for (const auto& [type, amt] : by_type) all += amt;
    std::vector<Row> rows;
    for (const auto& [name, by_type] : amounts) {
      double amt = 0;
      Row row = {"FLOOR", name, name};
      for (int t = 10; t < 20; ++t) {
        const auto it = by_type.find(std::to_string(t));
        const double v = it == by_type.end() ? 0 : it->second;
        amt += v;
        row.push_back(std::to_string(v));
      }
      const int q = qty[name];
      row.push_back(std::to_string(amt));
      row.push_back(std::to_string(q));
      row.push_back(std::to_string(q ? amt / q : 0));
      row.push_back(std::to_string(all ? amt / all * 100 : 0));
      rows.push_back(std::move(row));
    }
    Raw report(pg, set.report);
    report.Rows("delete from rpt_tol_type where computer='FLOOR'");
    std::string sql = "insert into rpt_tol_type (computer,name,nameid,f10,f11,f12,f13,f14,f15,f16,f17,"
                      "f18,f19,amt,qty,everyamt,ipercent) values (";
    for (int i = 1; i <= 17; ++i) sql += (i > 1 ? "," : "") + (pg ? "$" + std::to_string(i) : "?");
    report.InsertAll(sql + ")", rows);
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ++runs;
  }
  g_seconds[pg][0] = total / runs;
}

}  // namespace

int main(int argc, char** argv) {
  return qev::bench::RunFloorBench(
      argc, argv,
      {"bench_category", "Rpt_Tol_Type", "BM_TolTypeFloor", std::to_string(kLines) + " lines", RunFloor, RunReport,
       [](bool pg) -> const double* { return g_seconds[pg]; },
       [](bool pg) {
         std::error_code ec;
         std::filesystem::remove_all(Set(pg).dir, ec);
         delete &Set(pg);  // drops the PostgreSQL schemas
       }});
}
