// Rpt_Kc_Zz (the month stock ledger) over three source databases of stock
// movements, beside its floor: the source rows read with the engine's own
// client library, the ledger (opening balances, movements in date order
// with each good's running balance, month totals, one summary row per
// good) worked out in memory and written with prepared inserts in one
// transaction. With several sources the report first copies every source
// row into the scratch table tem_rpt_kcdetail, row by row; that is part of
// the report, not of the floor. The report runs inside the calculation
// bracket (host/calculation.h, which batches its writes), and once more
// without it. On SQLite files and, when QEV_PG_URL names a server (./run
// bench starts a throwaway one), on PostgreSQL, its sessions committing
// durably as on a production server (without the bracket there only when
// QEV_BENCH_UNBATCHED=1: it takes minutes).
//
// Data: QEV_BENCH_KC_ROWS movements per source (default 10,000; the ledger
// counts its rows in 16 bits, so three sources hold at most 32,767 in all)
// over 1,000 goods.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <tuple>
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

using qev::bench::Raw;
using qev::bench::Row;

const int kRows = qev::bench::EnvInt("QEV_BENCH_KC_ROWS", 10000);
constexpr int kGoods = 1000;

struct EngineSet {
  std::string dir;
  std::string report;
  std::string sources[3];
  std::vector<std::unique_ptr<qev::bench::PgSchema>> schemas;
};

EngineSet MakeSet(bool pg) {
  EngineSet set;
  char tmpl[] = "/tmp/qev-bench-stock-XXXXXX";
  set.dir = mkdtemp(tmpl);
  auto database = [&](const std::string& role) {
    if (!pg) return set.dir + "/" + role + ".db";
    set.schemas.push_back(std::make_unique<qev::bench::PgSchema>(
        qev::bench::PgUrl(), "qev_bench_stock_" + std::to_string(getpid()) + "_" + role, /*durable=*/true));
    return set.schemas.back()->connection();
  };
  set.report = database("report");
  const qev::Variant q0 =
      qev::Get(qev::Variant(qev::host::CreateHostLib(set.report, "BENCH")), "DbA_Query0_Obj");
  qev::host::CreateFixedTables(q0.object());
  qev::schema::Apply(q0, "goods_sources");
  qev::schema::Apply(q0, "stock_reports");
  qev::schema::Apply(q0, "hospital_lookups");
  for (int k = 0; k < 3; ++k) {
    set.sources[k] = database("source" + std::to_string(k + 1));
    const qev::Variant q(qev::host::CreateQueryObj(set.sources[k]));
    qev::schema::Apply(q, "goods_sources");
    qev::schema::Apply(q, "stock_sources");
    // One opening row per good and source, then movements of types 1 to 8
    // (receipts in, the rest out) over the days of March.
    const std::string n = std::to_string(kRows), g = std::to_string(kGoods),
                      base = std::to_string((k + 1) * 100000);
    qev::Call(q, "Exec",
              qev::Variant("insert into kc_move (id,goodid,Type,YfCkID,FromID,iDate,Qty,UnitRate,JhPrice,UnitPrice) "
                           "with recursive c(x) as (select 0 union all select x+1 from c where x<" + n + "-1) "
                           "select " + base + "+x, cast(5000+x%" + g + " as varchar(20)), "
                           "case when x<" + g + " then '0' else cast(1+x%8 as varchar(20)) end, '01', '', "
                           "'2024-03-'||substr(cast(101+x%28 as varchar(20)),2,2), "
                           "case when x<" + g + " or x%8=0 then 50+x%7 else -(1+x%5) end, 1, 2.5, 3 from c"));
    if (pg) qev::Call(q, "Exec", qev::Variant("analyze kc_move"));
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
  const qev::Variant r(qev::CreateObject("qevRptCalLib.Rpt_Kc_Zz"));
  qev::Set(r, "Global_Lib_Obj", host);
  qev::Let(r, "SourceViewName", qev::Variant("rpt_kc_zz_v"));
  qev::Let(r, "RptTab", qev::Variant("rpt_kc_zz"));
  qev::Let(r, "RptDetailTab", qev::Variant("rpt_kc_zz_detail"));
  // A run with several sources leaves its own condition behind.
  const auto reset_condition = [&] { qev::Let(r, "CondStr", qev::Variant("")); };
  qev::bench::TimeAndReplay(state, rec, r, "rpt_kc_zz", batched, g_seconds[pg], reset_condition);
}

void RunFloor(benchmark::State& state, bool pg) {
  const EngineSet& set = Set(pg);
  double total = 0;
  int runs = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    // date, numeric id, good, type, base quantity, store, from
    std::vector<std::tuple<std::string, double, std::string, std::string, double, std::string, std::string>> moves;
    std::map<std::string, double> opening;
    for (const std::string& source : set.sources) {
      Raw raw(pg, source);
      for (const Row& row : raw.Rows("select ID,GoodID,Type,Qty,UnitRate,YfCkID,iDate,FromID from rpt_kc_zz_v")) {
        const double q = std::stod(row[3]) * std::stod(row[4]);
        if (row[2] == "0")
          opening[row[1]] += q;
        else
          moves.emplace_back(row[6], std::stod(row[0]), row[1], row[2], q, row[5], row[7]);
      }
    }
    std::sort(moves.begin(), moves.end());
    struct Sum { double qc = 0, rk = 0, ck = 0, end = 0; };
    std::map<std::string, Sum> sums;
    std::vector<Row> detail;
    int id = 0;
    for (const auto& [good, q] : opening) {
      sums[good].qc += q;
      sums[good].end += q;
      detail.push_back({std::to_string(++id), "FLOOR", good, "", "0", "", "", "0", "0", std::to_string(q), "0"});
    }
    int sn = 0;
    for (const auto& [date, num, good, type, q, store, from] : moves) {
      Sum& s = sums[good];
      const bool receipt = type == "1";
      (receipt ? s.rk : s.ck) += receipt ? q : -q;
      s.end += q;
      detail.push_back({std::to_string(++id), "FLOOR", good, store, type, from, date,
                        std::to_string(receipt ? q : 0), std::to_string(receipt ? 0 : -q),
                        std::to_string(s.end), std::to_string(++sn)});
    }
    std::vector<Row> summary;
    for (const auto& [good, s] : sums) {
      detail.push_back({std::to_string(++id), "FLOOR", good, "", "100", "", "", std::to_string(s.rk),
                        std::to_string(s.ck), std::to_string(s.end), std::to_string(++sn)});
      summary.push_back({"FLOOR", good, good, std::to_string(s.qc), std::to_string(s.rk),
                         std::to_string(s.ck), std::to_string(s.end)});
    }
    Raw report(pg, set.report);
    report.Rows("delete from rpt_kc_zz where computer='FLOOR'");
    report.Rows("delete from rpt_kc_zz_detail where computer='FLOOR'");
    auto markers = [pg](int n) {
      std::string out;
      for (int i = 1; i <= n; ++i) out += (i > 1 ? "," : "") + (pg ? "$" + std::to_string(i) : "?");
      return out;
    };
    report.InsertAll("insert into rpt_kc_zz_detail (id,computer,goodid,YfCkID,Type,FromID,iDate,RkQty,CkQty,"
                     "EndQty,Sn) values (" + markers(11) + ")", detail);
    report.InsertAll("insert into rpt_kc_zz (computer,name,nameid,QcQty,RkQty,CkQty,EndQty) values (" +
                     markers(7) + ")", summary);
    total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ++runs;
  }
  g_seconds[pg][0] = total / runs;
}

}  // namespace

int main(int argc, char** argv) {
  return qev::bench::RunFloorBench(
      argc, argv,
      {"bench_stock", "Rpt_Kc_Zz", "BM_KcZzFloor", std::to_string(kRows) + " movements", RunFloor, RunReport,
       [](bool pg) -> const double* { return g_seconds[pg]; },
       [](bool pg) {
         std::error_code ec;
         std::filesystem::remove_all(Set(pg).dir, ec);
         delete &Set(pg);  // drops the PostgreSQL schemas
       }});
}
