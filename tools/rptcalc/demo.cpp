#include "tools/rptcalc/demo.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <random>
#include <sstream>
#include <string_view>
#include <vector>

#include <fmt/format.h>

#include "host/host.h"
#include "platform/dispatch.h"
#include "platform/error.h"
#include "frame/catalogue.h"
#include "schema/schema.h"
#include "tools/rptcalc/database_location.h"
#include "tools/rptcalc/demo_data.h"
#include "tools/rptcalc/report_run.h"
#include "tools/rptcalc/status.h"

namespace rptcalc {

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kSeed = 20240301;
constexpr const char* kWorkstation = "DEMO";
constexpr size_t kRowsPerInsert = 400;

// Progress on a terminal: one line rewritten in place.
class Progress {
 public:
  Progress(std::ostream& err, bool enabled) : err_(err), enabled_(enabled) {}
  ~Progress() { Clear(); }

  void Show(std::string_view what, size_t done, size_t total) {
    if (!enabled_) return;
    const int percent = total == 0 ? 100 : static_cast<int>(done * 100 / total);
    if (what == what_ && percent == percent_) return;
    what_ = std::string(what);
    percent_ = percent;
    err_ << "\r\033[Krptcalc demo: " << what << " " << percent << "%" << std::flush;
    shown_ = true;
  }
  // A step without a measure of its own.
  void Note(std::string_view what) {
    if (!enabled_) return;
    what_ = std::string(what);
    percent_ = -1;
    err_ << "\r\033[Krptcalc demo: " << what << std::flush;
    shown_ = true;
  }
  void Clear() {
    if (!shown_) return;
    err_ << "\r\033[K" << std::flush;
    shown_ = false;
    what_.clear();
    percent_ = -1;
  }

 private:
  std::ostream& err_;
  bool enabled_;
  bool shown_ = false;
  std::string what_;
  int percent_ = -1;
};

// The random source of the demo: a fixed seed and only the engine's raw
// output, so the data are the same on every run and every machine.
class Dice {
 public:
  explicit Dice(uint32_t seed) : engine_(seed) {}
  // A whole number from lo to hi.
  int Between(int lo, int hi) { return lo + static_cast<int>(engine_() % (hi - lo + 1)); }
  // True with probability percent / 100.
  bool Chance(int percent) { return Between(1, 100) <= percent; }
  // An index below n, small indexes far more often (some goods sell a lot).
  int Skewed(int n) {
    const double u = (engine_() % 1000000) / 1000000.0;
    return std::min(n - 1, static_cast<int>(n * u * u));
  }
  // A time of day in March 2024, day from first to last.
  // (Each draw in its own statement: the order in which function arguments
  // are evaluated is unspecified, and the data must not depend on it.)
  std::string DateTime(int first_day, int last_day, int from_hour, int to_hour) {
    const int day = Between(first_day, last_day);
    const int hour = Between(from_hour, to_hour);
    const int minute = Between(0, 59);
    const int second = Between(0, 59);
    return fmt::format("2024-03-{:02} {:02}:{:02}:{:02}", day, hour, minute, second);
  }

 private:
  std::mt19937 engine_;
};

std::string Money(int64_t cents) {
  const int64_t a = cents < 0 ? -cents : cents;
  return fmt::format("{}{}.{:02}", cents < 0 ? "-" : "", a / 100, a % 100);
}

// One good of the demo catalogue.
struct Good {
  std::string id, name, spec, unit;
  int pack = 1;
  int price = 0;     // retail price of one unit, fen
  int jh_price = 0;  // purchase price of one unit, fen
};

std::vector<Good> MakeGoods(int count) {
  const auto base = demo::Goods();
  const auto makers = demo::Manufacturers();
  std::vector<Good> goods;
  for (int g = 0; g < count; ++g) {
    const auto& b = base[g % base.size()];
    const int variant = g / static_cast<int>(base.size());
    Good good;
    good.id = std::to_string(1001 + g);
    good.name = std::string(b.name);
    if (variant > 0) good.name += "（" + std::string(makers[(variant - 1) % makers.size()]) + "）";
    good.spec = std::string(b.spec);
    good.unit = std::string(b.unit);
    good.pack = b.pack;
    good.price = b.price_cents * (20 + variant % 9) / 20;
    good.jh_price = good.price * (80 + g % 11) / 100;
    goods.push_back(std::move(good));
  }
  return goods;
}

// Multi-row inserts through a query object's Exec, a few hundred rows a
// statement.
class BulkInsert {
 public:
  BulkInsert(qev::Variant query, std::string table, std::string columns)
      : query_(std::move(query)), head_("insert into " + table + " (" + columns + ") values ") {}
  void Row(const std::vector<std::string>& literals) {
    sql_ += rows_ == 0 ? head_ : ",";
    sql_ += "(";
    for (size_t i = 0; i < literals.size(); ++i) sql_ += (i ? "," : "") + literals[i];
    sql_ += ")";
    if (++rows_ == kRowsPerInsert) Flush();
  }
  void Flush() {
    if (rows_ == 0) return;
    qev::Call(query_, "Exec", qev::Variant(sql_));
    sql_.clear();
    rows_ = 0;
  }

 private:
  qev::Variant query_;
  std::string head_;
  std::string sql_;
  size_t rows_ = 0;
};

std::string Q(std::string_view text) { return SqlQuote(text); }

void FillLookups(const qev::Variant& query, const std::vector<Good>& goods) {
  {
    BulkInsert ins(query, "qev_pub_good", "id,Name,spec,UnitName");
    for (const Good& g : goods) ins.Row({Q(g.id), Q(g.name), Q(g.spec), Q(g.unit)});
    ins.Flush();
  }
  {
    BulkInsert ins(query, "qev_pub_depa", "id,name");
    for (const auto& d : demo::Departments()) ins.Row({Q(d.id), Q(d.name)});
    ins.Flush();
  }
  {
    // Four doctors in every clinical department, names fixed by position.
    BulkInsert ins(query, "qev_pub_user", "id,name,DepaID");
    const auto surnames = demo::Surnames();
    const auto given = demo::GivenNames();
    int n = 0;
    for (const auto& d : demo::Departments()) {
      if (!d.clinical) continue;
      for (int i = 0; i < 4; ++i, ++n) {
        const std::string name = std::string(surnames[(n * 7) % surnames.size()]) +
                                 std::string(given[(n * 3 + i) % given.size()]);
        ins.Row({Q(fmt::format("D{:03}", n + 1)), Q(name), Q(d.id)});
      }
    }
    ins.Flush();
  }
  {
    // The category tables of the charge reports; the second-level report
    // items are the invoice items. The cashier's sheet lists the invoice
    // items by their sort number Mzsn: consultation and examinations first,
    // drugs last.
    static constexpr std::string_view kSheetOrder[] = {"09", "04", "05", "07", "06",
                                                       "08", "01", "02", "03"};
    BulkInsert fpxm(query, "qev_pub_type_fpxm", "id,name,Mzsn");
    BulkInsert bbxm2(query, "qev_pub_type_bbxm2", "id,name");
    for (const auto& item : demo::ChargeItems()) {
      const auto at = std::find(std::begin(kSheetOrder), std::end(kSheetOrder), item.id);
      fpxm.Row({Q(item.id), Q(item.name), std::to_string(at - std::begin(kSheetOrder) + 1)});
      bbxm2.Row({Q(item.id), Q(item.name)});
    }
    fpxm.Flush();
    bbxm2.Flush();
    BulkInsert bbxm1(query, "qev_pub_type_bbxm1", "id,name");
    for (const auto& c : demo::ReportItems()) bbxm1.Row({Q(c.id), Q(c.name)});
    bbxm1.Flush();
    BulkInsert tjxm1(query, "qev_pub_type_tjxm1", "id,name");
    for (const auto& c : demo::AccountingItems()) tjxm1.Row({Q(c.id), Q(c.name)});
    tjxm1.Flush();
  }
  {
    BulkInsert ins(query, "qev_pub_xydw", "id,name");
    int n = 0;
    for (const auto s : demo::Suppliers()) ins.Row({Q(fmt::format("S{:02}", ++n)), Q(s)});
    n = 0;
    for (const auto m : demo::Manufacturers()) ins.Row({Q(fmt::format("F{:02}", ++n)), Q(m)});
    ins.Flush();
  }
}

std::vector<std::string> ClinicalDepartments() {
  std::vector<std::string> out;
  for (const auto& d : demo::Departments())
    if (d.clinical) out.emplace_back(d.id);
  return out;
}

// The invoice item of an inpatient charge of a good: Chinese patent
// medicines and medical supplies have items of their own, every other good
// is a Western medicine.
const demo::ChargeItemEntry& InpatientItem(const Good& good) {
  const int base = (std::stoi(good.id) - 1001) % static_cast<int>(demo::Goods().size());
  const std::string_view id = base >= 34 && base <= 38 ? "02" : base >= 54 ? "08" : "01";
  for (const auto& item : demo::ChargeItems())
    if (item.id == id) return item;
  return demo::ChargeItems().front();
}

// The pharmacy data of one campus. `share` is the campus's volume in
// percent of the main campus. The wards, doctors, inpatient registrations
// and dispensed flags of the inpatient charges draw from `ward_dice`, so
// that the pharmacy data stay as they were before the inpatient category
// reports joined the demo; `prefix` keeps the registrations of the
// campuses apart.
void FillCampus(const qev::Variant& query, const std::vector<Good>& goods, int scale, int share,
                Dice& dice, Dice& ward_dice, const std::string& prefix, Progress& progress,
                const std::string& label) {
  const int n = static_cast<int>(goods.size());
  const std::vector<std::string> depts = ClinicalDepartments();
  const size_t dispensing = static_cast<size_t>(1500) * scale * share / 100;
  const size_t moves = static_cast<size_t>(600) * scale * share / 100;
  const size_t fees = static_cast<size_t>(800) * scale * share / 100;
  const size_t total = dispensing + moves + fees + goods.size();
  size_t done = 0;
  auto tick = [&] {
    if (++done % 200 == 0) progress.Show(label, done, total);
  };

  {  // Dispensing: outpatient ("1") and inpatient ("2"), a few returns.
    BulkInsert ins(query, "fy_detail", "goodid,MzZy,DepaID,iDate,Qty,UnitRate,Amt");
    for (size_t i = 0; i < dispensing; ++i, tick()) {
      const Good& g = goods[dice.Skewed(n)];
      const bool outpatient = dice.Chance(65);
      int qty = outpatient ? dice.Between(1, 4) : dice.Between(1, 10);
      if (dice.Chance(3)) qty = -qty;  // returned to the pharmacy
      ins.Row({Q(g.id), Q(outpatient ? "1" : "2"), Q(depts[dice.Between(0, static_cast<int>(depts.size()) - 1)]),
               Q(dice.DateTime(1, 31, 8, 20)), std::to_string(qty), "1",
               Money(static_cast<int64_t>(qty) * g.price)});
    }
    ins.Flush();
  }
  {  // Stock movements: opening balances, then a month of movements.
    BulkInsert ins(query, "kc_move",
                   "goodid,Type,CkTypeID,YfCkID,FromID,iDate,Qty,UnitRate,JhPrice,UnitPrice");
    auto row = [&](const Good& g, std::string_view type, std::string ck_type, std::string store,
                   std::string from, std::string date, int qty, int rate) {
      ins.Row({Q(g.id), Q(type), ck_type.empty() ? "NULL" : Q(ck_type), Q(store),
               from.empty() ? "NULL" : Q(from), Q(date), std::to_string(qty),
               std::to_string(rate), Money(static_cast<int64_t>(g.jh_price) * rate),
               Money(static_cast<int64_t>(g.price) * rate)});
    };
    for (const Good& g : goods) {
      const int opening = dice.Between(5, 60) * 10;
      row(g, "0", "", "13", "", "2024-03-01 00:00:00", opening, 1);
      tick();
    }
    const int nsup = static_cast<int>(demo::Suppliers().size());
    for (size_t i = 0; i < moves; ++i, tick()) {
      const Good& g = goods[dice.Skewed(n)];
      const int kind = dice.Between(1, 100);
      const std::string date = dice.DateTime(1, 31, 8, 17);
      if (kind <= 25) {  // receipt from a supplier, in cases
        const std::string supplier = fmt::format("S{:02}", dice.Between(1, nsup));
        const int cases = dice.Between(1, 5);
        row(g, "1", "", "13", supplier, date, cases, g.pack);
      } else if (kind <= 40) {  // issue; issue types 1 to 5
        static constexpr int kTypeWeights[] = {45, 75, 88, 96, 100};
        const int w = dice.Between(1, 100);
        int type = 1;
        while (w > kTypeWeights[type - 1]) ++type;
        const int qty = dice.Between(1, 30);
        row(g, "2", std::to_string(type), "13", "", date, -qty, 1);
      } else if (kind <= 50) {  // transfer between the pharmacies
        const std::string store = dice.Chance(50) ? "11" : "12";
        const bool in = dice.Chance(50);
        const int qty = dice.Between(5, 40);
        row(g, "3", "", store, "", date, in ? qty : -qty, 1);
      } else if (kind <= 55) {  // stocktake difference
        const std::string store = dice.Chance(50) ? "11" : "12";
        const bool short_of = dice.Chance(60);
        const int qty = dice.Between(1, 3);
        row(g, "4", "", store, "", date, short_of ? -qty : qty, 1);
      } else {  // dispensing: 5 outpatient, 6 after payment, 7 inpatient, 8 ward
        const char* type = kind <= 70 ? "5" : kind <= 80 ? "6" : kind <= 92 ? "7" : "8";
        const int qty = dice.Between(1, 12);
        row(g, type, "", kind <= 80 ? "11" : "12", "", date, -qty, 1);
      }
    }
    ins.Flush();
  }
  {  // Inpatient charges of goods: prescriptions, ward accounts, settlements,
     // each on an inpatient registration of a ward, under one of the ward's
     // doctors; most prescribed and booked goods are already dispensed.
    BulkInsert ins(query, "zy_good_fee",
                   "Kind,goodid,iDate,Qty,UnitRate,Amt,zydjid,DepaID,DoctorID,bbxm1id,bbxm2id,"
                   "tjxm1id,fpxmid,isdoamt");
    const int registrations = 30 * scale * share / 100 + 1;
    for (size_t i = 0; i < fees; ++i, tick()) {
      const Good& g = goods[dice.Skewed(n)];
      const int k = dice.Between(1, 100);
      const char* kind = k <= 60 ? "qd" : k <= 85 ? "jz" : "js";
      const int qty = dice.Between(1, 6);
      const std::string date = dice.DateTime(1, 31, 0, 23);
      const int reg = ward_dice.Between(1, registrations);
      const int ward = reg % static_cast<int>(depts.size());
      const std::string doctor = fmt::format("D{:03}", ward * 4 + reg % 4 + 1);
      const bool dispensed = ward_dice.Chance(80);
      const auto& item = InpatientItem(g);
      ins.Row({Q(kind), Q(g.id), Q(date), std::to_string(qty), "1",
               Money(static_cast<int64_t>(qty) * g.price), Q(fmt::format("ZY{}{:04}", prefix, reg)),
               Q(depts[ward]), Q(doctor), Q(item.bbxm1), Q(item.id), Q(item.tjxm1), Q(item.id),
               std::string_view(kind) == "js" ? "NULL" : dispensed ? "1" : "0"});
    }
    ins.Flush();
  }
  progress.Show(label, total, total);
}

// The purchase receipt lines of one campus as the purchasing office books
// them: every good bought one to four times in the month from suppliers
// drawn at random, in cases (件, the good's pack) or in single units, at a
// price that moves a few percent around the good's purchase price; most
// lines name the good's factory. Good 1001 is also bought from every
// supplier on the 12th, in cases and in single units on the same day, so
// that its price listing shows the cheapest per unit winning.
void FillPurchases(const qev::Variant& query, const std::vector<Good>& goods, Dice& dice,
                   const std::string& prefix) {
  const auto makers = demo::Manufacturers();
  const int nsup = static_cast<int>(demo::Suppliers().size());
  BulkInsert ins(query, "kc_rk_line",
                 "RkID,goodid,YfCkID,SupplierID,FactoryID,iDate,Qty,UnitRate,UnitName,JhPrice");
  int line = 0;
  auto row = [&](const Good& g, int supplier, bool in_cases, int percent, const std::string& date,
                 bool with_factory) {
    const int rate = in_cases ? g.pack : 1;
    const int index = std::stoi(g.id) - 1001;
    const std::string factory = fmt::format("F{:02}", index % static_cast<int>(makers.size()) + 1);
    ins.Row({Q(fmt::format("RK{}{:05}", prefix, ++line)), Q(g.id), Q("13"),
             Q(fmt::format("S{:02}", supplier)), with_factory ? Q(factory) : "NULL", Q(date),
             std::to_string(dice.Between(1, in_cases ? 4 : 40)), std::to_string(rate),
             Q(in_cases ? "件" : g.unit),
             Money(static_cast<int64_t>(g.jh_price) * rate * percent / 100)});
  };
  for (const Good& g : goods) {
    const int times = dice.Between(1, 4);
    for (int t = 0; t < times; ++t) {
      const int supplier = dice.Between(1, nsup);
      const bool in_cases = dice.Chance(70);
      const int percent = dice.Between(94, 106);
      const std::string date = dice.DateTime(1, 31, 8, 17);
      row(g, supplier, in_cases, percent, date, dice.Chance(85));
    }
  }
  for (int supplier = 1; supplier <= nsup; ++supplier) {
    const std::string date = fmt::format("2024-03-12 {:02}:00:00", 8 + supplier);
    const int percent = 96 + supplier;
    row(goods.front(), supplier, true, percent, date, true);
    row(goods.front(), supplier, false, percent + (supplier % 2 ? -3 : 3), date, true);
  }
  ins.Flush();
}

// The outpatient charges of one campus: charge records of one to four
// lines, each record charged to a registration of the month. Registrations
// come from one pool for both campuses, so that a patient may pay at either;
// a few records are refunded in full by a negative record of their own.
// `prefix` keeps the record ids of the campuses apart.
void FillCharges(const qev::Variant& query, int scale, int share, Dice& dice,
                 const std::string& prefix) {
  const auto items = demo::ChargeItems();
  const auto surnames = demo::Surnames();
  const auto given = demo::GivenNames();
  // Doctors are numbered four per clinical department, in department order.
  std::vector<std::string> depts;
  for (const auto& d : demo::Departments())
    if (d.clinical) depts.emplace_back(d.id);
  const size_t visits = static_cast<size_t>(500) * scale * share / 100;
  BulkInsert ins(query, "mz_fee",
                 "ID,RegID,Name,iDate,DepaID,DoctorID,bbxm1id,bbxm2id,tjxm1id,fpxmid,Amt");
  int record = 0;
  for (size_t v = 0; v < visits; ++v) {
    const int day = dice.Between(1, 31);
    const int reg = dice.Between(1, 40 * scale);
    const std::string regid = fmt::format("MZ2403{:02}{:04}", day, reg);
    const std::string name = std::string(surnames[(reg * 7 + day) % surnames.size()]) +
                             std::string(given[(reg * 3 + day) % given.size()]);
    const int dept = dice.Between(0, static_cast<int>(depts.size()) - 1);
    const std::string doctor = fmt::format("D{:03}", dept * 4 + dice.Between(0, 3) + 1);
    const std::string time = dice.DateTime(day, day, 8, 17);
    const int lines = dice.Between(1, 4);
    std::vector<std::pair<const demo::ChargeItemEntry*, int64_t>> charged;
    for (int l = 0; l < lines; ++l) {
      const auto& item = items[dice.Skewed(static_cast<int>(items.size()))];
      // Whole multiples of 0.5: a refund then cancels its record to exactly
      // 0 in any order of summation, so a refunded patient counts 0.
      charged.emplace_back(&item, 50 * dice.Between(item.min_cents / 50, item.max_cents / 50));
    }
    const bool refunded = dice.Chance(4);
    for (int sign : {1, -1}) {
      if (sign < 0 && !refunded) break;
      const std::string id = fmt::format("{}{:06}", prefix, ++record);
      for (const auto& [item, cents] : charged)
        ins.Row({Q(id), Q(regid), Q(name), Q(time), Q(depts[dept]), Q(doctor), Q(item->bbxm1),
                 Q(item->id), Q(item->tjxm1), Q(item->id), Money(sign * cents)});
    }
  }
  ins.Flush();
}

// The outpatient registrations of one campus: one record per registration
// with the clinic, the doctor and the time; a few are withdrawn the same
// day (the registration view leaves them out). `prefix` keeps the
// registration ids of the campuses apart.
void FillRegistrations(const qev::Variant& query, int scale, int share, Dice& dice,
                       const std::string& prefix) {
  std::vector<std::string> depts;
  for (const auto& d : demo::Departments())
    if (d.clinical) depts.emplace_back(d.id);
  const size_t count = static_cast<size_t>(450) * scale * share / 100;
  BulkInsert ins(query, "mz_reg", "RegID,Name,DepaID,DoctorID,iDate,Amt,Cancelled");
  const auto surnames = demo::Surnames();
  const auto given = demo::GivenNames();
  for (size_t i = 0; i < count; ++i) {
    const int day = dice.Between(1, 31);
    const int dept = dice.Between(0, static_cast<int>(depts.size()) - 1);
    const std::string doctor = fmt::format("D{:03}", dept * 4 + dice.Between(0, 3) + 1);
    const std::string name = std::string(surnames[dice.Between(0, static_cast<int>(surnames.size()) - 1)]) +
                             std::string(given[dice.Between(0, static_cast<int>(given.size()) - 1)]);
    const std::string time = dice.DateTime(day, day, 7, 16);
    const bool cancelled = dice.Chance(3);
    ins.Row({Q(fmt::format("{}R{:06}", prefix, i + 1)), Q(name), Q(depts[dept]), Q(doctor), Q(time),
             dept % 3 == 0 ? "12.00" : "6.00", cancelled ? "1" : "0"});
  }
  ins.Flush();
}

// The settlement amounts of a cashier's desk are written in fen and split
// over the settlement methods jsfs1amt to jsfs4amt (cash, bank card, the
// patient's account, other).
struct Payment {
  int64_t jsfs[4] = {0, 0, 0, 0};
};

// All of `cents` by one method, drawn: mostly cash and bank card.
Payment PayBy(Dice& dice, int64_t cents, bool account_allowed = true) {
  const int w = dice.Between(1, 100);
  const int method = w <= 45 ? 0 : w <= 80 ? 1 : (w <= 90 && account_allowed) ? 2 : 3;
  Payment p;
  p.jsfs[method] = cents;
  return p;
}

std::vector<std::string> PaymentLiterals(const Payment& p, int sign) {
  std::vector<std::string> out;
  for (int64_t cents : p.jsfs) out.push_back(Money(sign * cents));
  return out;
}

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The insurer's record of one insured settlement of `total` fen of which
// the fund pays `fund`: the account pays part of the rest and the patient
// the remainder in cash, so that hjamt (bcbxf0 + locaxj) is the total.
std::vector<std::string> InsuranceAmounts(Dice& dice, int64_t total, int64_t fund, int sign) {
  const int64_t account = std::min<int64_t>(total - fund, total / 10 * dice.Between(0, 1));
  const int64_t cash = total - fund - account;
  const int64_t subsidy = dice.Chance(15) ? fund / 10 : 0;  // civil servants
  const int64_t amounts[12] = {account, fund - subsidy, subsidy,        total / 20,
                               total / 12, 0,           0,              0,
                               total - fund, fund + account, cash,      cash};
  std::vector<std::string> out;
  for (int64_t a : amounts) out.push_back(Money(sign * a));
  return out;
}

// Three days of one campus's cashiers' office (2024-03-14 to 03-16):
// registrations and their returns, charge settlements with their invoice
// lines, refunds, voids of both, top-ups of patients' accounts and their
// refunds, inpatient deposits of every type, and the insurer's records of
// the insured charges and of the two kinds of inpatient settlement.
// Registrations are voided or returned, charges voided or refunded now and
// then; a refund and a return repeat their record with negative amounts.
// `prefix` keeps the registration numbers of the campuses apart.
void FillCashierDays(const qev::Variant& query, int scale, int share, Dice& dice,
                     const std::vector<std::string>& cashiers, const std::string& prefix) {
  const auto items = demo::ChargeItems();
  const auto surnames = demo::Surnames();
  const auto given = demo::GivenNames();
  const std::vector<std::string> depts = ClinicalDepartments();
  const std::string money = "jsfs1amt,jsfs2amt,jsfs3amt,jsfs4amt";
  BulkInsert reg(query, "qev_Reg_info", "RegID,Name,DepaID,CzyID,iDate,inout,state,amt," + money);
  BulkInsert infoh(query, "qev_Tol_infoh",
                   "ID,RegID,Name,CzyID,iDate,inout,state,fb,amt,bxamt,bcamt," + money);
  BulkInsert infod(query, "qev_Tol_infod", "InfohID,fpxmid,Amt");
  BulkInsert topup(query, "qev_Mem_InAmt", "MemID,CzyID,iDate,inout,amt," + money);
  BulkInsert deposit(query, "qev_Zyyjk_Info", "ZyID,Name,CzyID,iDate,Type,amt,bcamt," + money);
  BulkInsert insured(query, "qev_Yb_Infoh_L",
                     "Kind,RegID,Name,CzyID,iDate,zhzfe0,jjzfe0,gwybz0,fybfy0,ylzfje,cfdxje,"
                     "sybxzf,bjjjzf,grzfe0,bcbxf0,locaxj,xjhj00");
  const auto count = [&](int per_day) { return static_cast<int>(per_day * scale * share / 100); };
  const auto name = [&](int n) {
    return std::string(surnames[(n * 7) % surnames.size()]) +
           std::string(given[(n * 3) % given.size()]);
  };
  int record = 0, patient = 0;
  for (int day = 14; day <= 16; ++day) {
    const auto when = [&] { return dice.DateTime(day, day, 8, 17); };
    const auto cashier = [&] {
      return cashiers[dice.Between(0, static_cast<int>(cashiers.size()) - 1)];
    };
    for (int i = 0; i < count(80); ++i) {
      static constexpr int64_t kFees[] = {500, 1000, 1000, 1500, 3000};
      const int64_t fee = kFees[dice.Between(0, 4)];
      const std::string regid = fmt::format("{}{:02}{:04}", prefix, day, i + 1);
      const std::string nm = name(++patient);
      const std::string dept = depts[dice.Between(0, static_cast<int>(depts.size()) - 1)];
      const Payment pay = PayBy(dice, fee);
      const bool void_reg = dice.Chance(4);
      reg.Row(Concat({Q(regid), Q(nm), Q(dept), Q(cashier()), Q(when()), Q("1"),
                      Q(void_reg ? "0" : "1"), Money(fee)},
                     PaymentLiterals(pay, 1)));
      if (void_reg || !dice.Chance(6)) continue;
      // The registration is returned, now and then by a return voided later.
      reg.Row(Concat({Q(regid), Q(nm), Q(dept), Q(cashier()), Q(when()), Q("-1"),
                      Q(dice.Chance(20) ? "0" : "1"), Money(-fee)},
                     PaymentLiterals(pay, -1)));
    }
    for (int i = 0; i < count(150); ++i) {
      std::vector<std::pair<std::string_view, int64_t>> lines;
      int64_t amt = 0;
      for (int l = dice.Between(1, 3); l > 0; --l) {
        const auto& item = items[dice.Skewed(static_cast<int>(items.size()))];
        const int64_t cents = 50 * dice.Between(item.min_cents / 50, item.max_cents / 50);
        lines.emplace_back(item.id, cents);
        amt += cents;
      }
      const int kind = dice.Between(1, 100);
      const char* fb = kind <= 70 ? "自费" : kind <= 95 ? "医保" : "公费";
      const int64_t bx = kind <= 70 ? 0 : amt * (kind <= 95 ? 60 : 90) / 100;
      const Payment pay = PayBy(dice, amt - bx);
      // Cash is taken to the jiao; the rounding shows as bcamt.
      const int64_t odd = pay.jsfs[0] % 10;
      const int64_t bc = pay.jsfs[0] == 0 ? 0 : odd >= 5 ? 10 - odd : -odd;
      const std::string regid =
          fmt::format("{}{:02}{:04}", prefix, day, dice.Between(1, count(80)));
      const std::string nm = name(dice.Between(1, patient));
      const std::string czy = cashier();
      const bool void_charge = dice.Chance(3);
      const bool refunded = !void_charge && dice.Chance(4);
      for (int sign : {1, -1}) {
        if (sign < 0 && !refunded) break;
        const int id = ++record;
        const char* state = sign > 0 ? (void_charge ? "0" : "1") : (dice.Chance(20) ? "0" : "1");
        infoh.Row(Concat({std::to_string(id), Q(regid), Q(nm), Q(czy), Q(when()),
                          Q(sign > 0 ? "1" : "-1"), Q(state), Q(fb), Money(sign * amt),
                          Money(sign * bx), Money(sign * bc)},
                         PaymentLiterals(pay, sign)));
        for (const auto& [item, cents] : lines)
          infod.Row({std::to_string(id), Q(item), Money(sign * cents)});
        if (bx != 0 && std::string_view(fb) == "医保" && std::string_view(state) == "1") {
          const std::vector<std::string> head = {Q("Tol"), Q(regid), Q(nm), Q(czy), Q(when())};
          insured.Row(Concat(head, InsuranceAmounts(dice, amt, bx, sign)));
        }
      }
    }
    for (int i = 0; i < count(30); ++i) {
      const int64_t amt = 5000 * dice.Between(2, 40);
      const std::string member = fmt::format("M{}{:05}", prefix, dice.Between(1, 500));
      // A top-up paid from another account is a transfer.
      const bool transfer = dice.Chance(8);
      Payment pay = PayBy(dice, amt, /*account_allowed=*/false);
      if (transfer) pay = Payment{{0, 0, amt, 0}};
      const bool refund = !transfer && dice.Chance(12);
      topup.Row(Concat({Q(member), Q(cashier()), Q(when()), Q(refund ? "-1" : "1"),
                        Money(refund ? -amt : amt)},
                       PaymentLiterals(pay, refund ? -1 : 1)));
    }
    for (int i = 0; i < count(20); ++i) {
      // Types: 1 received, 2 reversed, 3 paid at settlement, 4 its
      // reversal, 5 refunded at settlement, 6 its reversal.
      static constexpr int kTypeWeights[] = {55, 65, 80, 83, 97, 100};
      const int w = dice.Between(1, 100);
      int type = 1;
      while (w > kTypeWeights[type - 1]) ++type;
      const int64_t amt = type <= 2 ? 50000 * dice.Between(2, 20) : 100 * dice.Between(100, 3000);
      const int sign = type == 1 || type == 3 || type == 6 ? 1 : -1;
      const std::vector<std::string> head = {
          Q(fmt::format("ZY{}{:04}", prefix, dice.Between(1, 300))), Q(name(dice.Between(1, 999))),
          Q(cashier()), Q(when()), Q(std::to_string(type)), Money(sign * amt), "0"};
      deposit.Row(Concat(head, PaymentLiterals(PayBy(dice, amt, false), sign)));
    }
    for (const auto& [kind, per_day] : {std::pair{"Zyjz", 4}, std::pair{"Zyjs", 6}}) {
      for (int i = 0; i < count(per_day); ++i) {
        const int64_t total = 100 * dice.Between(3000, 40000);
        const int64_t fund = total * dice.Between(50, 85) / 100;
        const std::vector<std::string> head = {
            Q(kind), Q(fmt::format("ZY{}{:04}", prefix, dice.Between(1, 300))),
            Q(name(dice.Between(1, 999))), Q(cashier()), Q(when())};
        insured.Row(Concat(head, InsuranceAmounts(dice, total, fund, 1)));
      }
    }
  }
  for (BulkInsert* b : {&reg, &infoh, &infod, &topup, &deposit, &insured}) b->Flush();
}

bool IsDemoDatabase(const std::string& path) {
  try {
    const DatabaseLocation location = DatabaseLocation::Parse(path);
    const qev::Variant query(location.OpenQueryObj());
    return !location.FindTable(query, "qev_demo_info").empty();
  } catch (const qev::RuntimeError&) {
    return false;
  }
}

void RemoveDatabaseFiles(const std::string& path) {
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) fs::remove(path + suffix);
}

void MarkAsDemo(const qev::Variant& query, int scale, const std::string& role) {
  qev::Call(query, "Exec", qev::Variant("create table if not exists qev_demo_info (name text, value text)"));
  BulkInsert ins(query, "qev_demo_info", "name,value");
  ins.Row({Q("role"), Q(role)});
  ins.Row({Q("seed"), Q(std::to_string(kSeed))});
  ins.Row({Q("scale"), Q(std::to_string(scale))});
  ins.Row({Q("month"), Q("2024-03")});
  ins.Flush();
}

// How the user would run the same report by hand.
std::string ShellWord(const std::string& word) {
  if (!word.empty() && word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                              "0123456789_-./=:@,+") == std::string::npos)
    return word;
  if (word.find_first_of("\"$`\\!") == std::string::npos) return "\"" + word + "\"";
  std::string out = "'";
  for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string CommandLine(const RunOptions& o) {
  std::vector<std::string> words = {"rptcalc", "run", o.class_name, "--db", o.db};
  for (const auto& s : o.sources) words.insert(words.end(), {"--source", s});
  words.insert(words.end(), {"--workstation", o.workstation});
  for (const auto& s : o.sets) words.insert(words.end(), {"--set", s});
  for (const auto& d : o.descs) words.insert(words.end(), {"--desc", d});
  for (const auto& c : o.calls) words.insert(words.end(), {"--call", c});
  std::string out;
  for (const auto& w : words) out += (out.empty() ? "" : " ") + ShellWord(w);
  return out;
}

// This program as the user can call it from the current directory.
std::string ExecutableForUser() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return "rptcalc";
  const fs::path rel = fs::relative(exe, fs::current_path(ec), ec);
  if (ec || rel.empty()) return exe.string();
  const std::string text = rel.string();
  if (text.rfind("../../", 0) == 0) return exe.string();
  return text.find('/') == std::string::npos || text.rfind("..", 0) != 0 ? "./" + text : text;
}

struct Showcase {
  const char* class_name;
  const char* title;
  const char* view = nullptr;    // SourceViewName, for the reports that have one
  const char* rpttab = nullptr;  // RptTab, likewise
  const char* detail = nullptr;  // RptDetailTab, likewise
  const char* cond = "";         // added to the month's or the day's condition
  const char* sets = "";         // further NAME=VALUE properties, joined by ';'
  const char* calls = "";        // --call arguments, joined by ';'
  bool day = false;              // the cashiers' day instead of the month
  int campus = 0;                // the one source read (1 or 2), 0 for both
};

constexpr const char* kCampusNames[] = {"总院、东院", "总院", "东院"};

std::vector<std::string> SplitAtSemicolons(std::string_view text) {
  std::vector<std::string> out;
  while (!text.empty()) {
    const size_t semi = text.find(';');
    out.emplace_back(text.substr(0, semi));
    if (semi == std::string_view::npos) break;
    text = text.substr(semi + 1);
  }
  return out;
}

constexpr Showcase kShowcase[] = {
    {"Rpt_Tol_Good", "药品发药汇总 — dispensing totals per good", "rpt_fy_v", "rpt_tol_good"},
    {"Rpt_Fy_Good", "门诊/住院发药统计 — outpatient and inpatient dispensing per good", "rpt_fy_v",
     "rpt_fy_good"},
    {"Rpt_Zy_Good", "住院药品汇总 — inpatient prescriptions per good", "rpt_zyqd_v", "rpt_zy_good"},
    {"Rpt_KcCk", "出库统计 — stock issues per good and issue type", "rpt_kcck_v", "rpt_kcck"},
    {"Rpt_KcRk", "入库统计 — stock receipts per good", "rpt_kcrk_v", "rpt_kcrk"},
    {"Rpt_Kc_Count", "库存变动汇总 — stock movements per good and movement type",
     "rpt_kc_count_v", "rpt_kc_count"},
    // One good's ledger: the whole month's ledger of every good would bury
    // the showcase.
    {"Rpt_Kc_Zz", "库存月结账 — month stock ledger of one good, opening to closing",
     "rpt_kc_zz_v", "rpt_kc_zz", "rpt_kc_zz_detail", " and GoodID='1008'"},
    // Charges: departments spread over the invoice items with the number of
    // registrations they served; the invoice items with the registrations
    // of the whole selection.
    {"Rpt_Tol_Type", "科室收费分类统计 — outpatient charges per department and invoice item",
     "rpt_mz_fee_v", "rpt_tol_type", nullptr, "", "ObjField=DepaID;TypeField=fpxmid;QtyIndex=1",
     "GetDetailCondStr=01"},
    {"Rpt_Tol_TypeDx", "收费项目统计 — outpatient charges per invoice item", "rpt_mz_fee_v",
     "rpt_tol_typedx", nullptr, "", "TypeField=fpxmid;QtyIndex=1", "GetAllQty=2,@source1"},
    // The month day by day: charges per department, then the patients each
    // department charged per day, with the day counts of the whole hospital
    // in the header; registrations per clinic and day.
    {"Rpt_Tol_Day", "科室收费日报 — outpatient charges per department, day by day",
     "rpt_mz_fee_v", "rpt_tol_day", nullptr, "", "ObjField=DepaID;AmtQty=1"},
    {"Rpt_Tol_Day", "科室收费人次日报 — patients charged per department and day", "rpt_mz_fee_v",
     "rpt_tol_day", nullptr, "", "ObjField=DepaID;AmtQty=0;QtyIndex=1",
     "CalcuDayQty=2,@source1;UpdateHeader=@result"},
    {"Rpt_RegCz_Day", "挂号科室日报 — registrations per department and day", "rpt_mz_reg_v",
     "rpt_regcz_day"},
    // Inpatient charges: the wards spread over the invoice items with what
    // was already dispensed and what was not, and the inpatients they
    // charged; the ward accounts per invoice item with the inpatients of
    // both campuses in the header.
    {"Rpt_Zy_Type", "病区收费分类统计 — inpatient prescriptions per ward and invoice item",
     "rpt_zyqd_v", "rpt_zy_type", nullptr, "", "ObjField=DepaID;TypeField=fpxmid",
     "GetDetailCondStr=01"},
    {"Rpt_Zy_TypeDx", "住院记账项目统计 — inpatient ward accounts per invoice item", "rpt_zyjz_v",
     "rpt_zy_typedx", nullptr, "", "TypeField=fpxmid",
     "GetAllQty=2,@source1,@source2;UpdateHeader=@result"},
    // The last and cheapest purchase of one good from each supplier.
    {"Rpt_KcRk_Price", "最新进价 — latest purchase price of one good per supplier",
     "rpt_kcrk_price_v", "rpt_kcrk_price", nullptr, " and goodid='1001'", "SupFac=1",
     "GetDetailCondStr=S01"},
    // The cashiers' office of one day over both campuses: counts and memo,
    // money sources by settlement method with the total row, and the lines
    // by source and invoice item.
    {.class_name = "Rpt_Tol_Rbb",
     .title = "收费日结单 — the cashiers' daily settlement sheet, both campuses",
     .sets = "Submiter=收费处;JzrDay=2024-03-15",
     .day = true},
    // The insurance sheet reads its first source only: one sheet per campus.
    {.class_name = "Rpt_Yb_Rbb",
     .title = "医保日报 — insured charge settlements of the day, main campus",
     .day = true,
     .campus = 1},
    {.class_name = "Rpt_Yb_Rbb",
     .title = "医保日报 — insured charge settlements of the day, east campus",
     .day = true,
     .campus = 2},
};

}  // namespace

DemoFiles DemoFilesFor(const std::string& db) {
  const fs::path p(db);
  const fs::path dir = p.parent_path();
  const std::string stem = p.stem().string();
  const std::string ext = p.has_extension() ? p.extension().string() : ".db";
  auto beside = [&](const std::string& name) { return (dir / name).string(); };
  return DemoFiles{db, beside(stem + "_source1" + ext), beside(stem + "_source2" + ext)};
}

int DemoGoodsCount(int scale) {
  const int base = static_cast<int>(demo::Goods().size());
  return std::min<long long>(static_cast<long long>(base) * std::max(scale, 1), kDemoMaxGoods);
}

void BuildDemoDatabases(const DemoFiles& files, int scale, std::ostream& err, bool progress_on) {
  const std::vector<std::string> paths = {files.report, files.source1, files.source2};
  for (const std::string& path : paths) {
    DatabaseLocation::Parse(path).Check("demo database", /*must_exist=*/false);
    if (fs::exists(path) && !IsDemoDatabase(path))
      throw UsageError("refusing to replace " + path +
                       ": it exists and is not a demo database (choose another --db)");
  }
  for (const std::string& path : paths) RemoveDatabaseFiles(path);
  const fs::path dir = fs::path(files.report).parent_path();
  if (!dir.empty()) fs::create_directories(dir);

  Progress progress(err, progress_on);
  Dice dice(kSeed);
  const std::vector<Good> goods = MakeGoods(DemoGoodsCount(scale));

  // The report database: fixed and report tables, and the catalogues the
  // reports look names up in.
  {
    progress.Show("report database", 0, 1);
    const qev::Object q = DatabaseLocation::Parse(files.report).OpenQueryObj();
    const qev::Variant query(q);
    qev::host::CreateFixedTables(q);
    for (const std::string& script : qev::schema::ScriptNames())
      if (script != "fixed_tables") qev::schema::Apply(query, script);
    FillLookups(query, goods);
    MarkAsDemo(query, scale, "report");
  }
  // Two campuses, the east one with about 60% of the main one's volume.
  const struct {
    const std::string* path;
    int share;
    const char* label;
    const char* prefix;  // of the charge record ids
    std::vector<std::string> cashiers;
  } campuses[] = {{&files.source1, 100, "总院 source 1", "A", {"U11", "U12", "U13"}},
                  {&files.source2, 60, "东院 source 2", "B", {"U21", "U22"}}};
  // The charges and the cashiers' days draw from dice of their own, so that
  // the data that came before them stay as they were.
  Dice charge_dice(kSeed + 1);
  // So do the inpatient wards and the purchase lines.
  Dice ward_dice(kSeed + 2);
  Dice purchase_dice(kSeed + 3);
  Dice registration_dice(kSeed + 4);
  Dice cashier_dice(kSeed + 5);
  for (const auto& c : campuses) {
    const qev::Variant query(DatabaseLocation::Parse(*c.path).OpenQueryObj());
    qev::schema::Apply(query, "goods_sources");
    qev::schema::Apply(query, "stock_sources");
    qev::schema::Apply(query, "hospital_lookups");
    qev::schema::Apply(query, "category_sources");
    qev::schema::Apply(query, "registration_sources");
    qev::schema::Apply(query, "price_sources");
    qev::schema::Apply(query, "cashier_sources");
    FillLookups(query, goods);
    FillCampus(query, goods, std::max(scale, 1), c.share, dice, ward_dice, c.prefix, progress,
               c.label);
    FillCharges(query, std::max(scale, 1), c.share, charge_dice, c.prefix);
    FillRegistrations(query, std::max(scale, 1), c.share, registration_dice, c.prefix);
    FillPurchases(query, goods, purchase_dice, c.prefix);
    FillCashierDays(query, std::max(scale, 1), c.share, cashier_dice, c.cashiers, c.prefix);
    MarkAsDemo(query, scale, c.label);
  }
  progress.Clear();
}

int RunDemo(const DemoOptions& options, std::ostream& out, std::ostream& err) {
  if (options.scale < 1 || options.scale > kDemoMaxScale) {
    err << "rptcalc: --scale must be a whole number from 1 to " << kDemoMaxScale << "\n";
    return kExitUsage;
  }
  const DemoFiles files = DemoFilesFor(options.db);
  try {
    BuildDemoDatabases(files, options.scale, err, options.progress);
  } catch (const UsageError& e) {
    err << "rptcalc: " << OneLine(e.what()) << "\n";
    return kExitUsage;
  } catch (const qev::RuntimeError& e) {
    err << "rptcalc: error " << e.number() << ", " << OneLine(e.source()) << ", "
        << OneLine(e.description()) << "\n";
    return kExitComponentError;
  } catch (const fs::filesystem_error& e) {
    err << "rptcalc: " << OneLine(e.what()) << "\n";
    return kExitUsage;
  }

  std::error_code ec;
  auto absolute = [&](const std::string& p) { return fs::absolute(p, ec).lexically_normal().string(); };
  const int goods = DemoGoodsCount(options.scale);
  out << "Demo hospital, March 2024 (scale " << options.scale << ", " << goods << " goods)\n"
      << "  report database   " << absolute(files.report) << "\n"
      << "  source 1 (总院)   " << absolute(files.source1) << "\n"
      << "  source 2 (东院)   " << absolute(files.source2) << "\n";

  Progress progress(err, options.progress);
  const size_t count = std::size(kShowcase);
  for (size_t i = 0; i < count; ++i) {
    const Showcase& s = kShowcase[i];
    RunOptions run;
    run.class_name = s.class_name;
    run.db = files.report;
    run.sources = {files.source1, files.source2};
    if (s.campus != 0) run.sources = {s.campus == 1 ? files.source1 : files.source2};
    run.workstation = kWorkstation;
    if (s.view) run.sets.push_back(std::string("SourceViewName=") + s.view);
    if (s.rpttab) run.sets.push_back(std::string("RptTab=") + s.rpttab);
    if (s.detail) run.sets.push_back(std::string("RptDetailTab=") + s.detail);
    run.sets.push_back(std::string("CondStr=") + (s.day ? kDemoCashierDayCond : kDemoMonthCond) +
                       s.cond);
    for (const std::string& set : SplitAtSemicolons(s.sets)) run.sets.push_back(set);
    // The cashier's sheet has no header description.
    if (qev::frame::FindClass(s.class_name)->type_info.Find("RptDesc") != nullptr)
      run.descs = {s.day ? std::string("结算日期=") + kDemoCashierDay
                         : std::string("统计期间=2024-03-01 至 2024-03-31"),
                   std::string("院区=") + kCampusNames[s.campus]};
    if (i == 0) run.calls = {"GetDetailCondStr=1001"};
    for (const std::string& call : SplitAtSemicolons(s.calls)) run.calls.push_back(call);
    run.format = OutputFormat::kTable;

    out << "\n== " << (i + 1) << "/" << count << " " << s.class_name << ": " << s.title << "\n"
        << "$ " << CommandLine(run) << "\n";
    out.flush();
    progress.Note(fmt::format("calculating {} ({}/{})", s.class_name, i + 1, count));
    // The report's output waits until the progress line is gone.
    std::ostringstream report_out, report_err;
    const int status = RunReport(run, report_out, report_err);
    progress.Clear();
    out << report_out.str();
    out.flush();
    err << report_err.str();
    if (status != kExitDone) return status;
  }
  out << "\nThe demo databases stay in place; run any report on them, for example:\n"
      << "  " << ShellWord(ExecutableForUser()) << " run Rpt_Tol_Good --db " << ShellWord(files.report) << " --source "
      << ShellWord(files.source1) << " --source " << ShellWord(files.source2)
      << " --set SourceViewName=rpt_fy_v --set RptTab=rpt_tol_good --format csv\n";
  return kExitDone;
}

}  // namespace rptcalc
