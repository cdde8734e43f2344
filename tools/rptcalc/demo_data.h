// The fixed catalogues of the demo hospital: goods (drugs and consumables
// with their Chinese names, specifications and units), departments,
// doctors' names and suppliers.
#pragma once

#include <span>
#include <string_view>

namespace rptcalc::demo {

struct GoodEntry {
  std::string_view name;   // 阿莫西林胶囊
  std::string_view spec;   // 0.25g*24粒
  std::string_view unit;   // 盒: the unit the hospital counts the good in
  int pack;                // units in one purchase case (件)
  int price_cents;         // retail price of one unit, in fen
};

struct DepartmentEntry {
  std::string_view id;
  std::string_view name;
  bool clinical;  // sees patients (else a pharmacy or store)
};

// An invoice item of outpatient charges, with the statistical report item
// and the accounting item it counts under, and the range of one line's
// amount.
struct ChargeItemEntry {
  std::string_view id;     // fpxmid: "01"
  std::string_view name;   // 西药费
  std::string_view bbxm1;  // report item id
  std::string_view tjxm1;  // accounting item id
  int min_cents, max_cents;
};

// A category of one of the category tables (report items, accounting
// items).
struct CategoryEntry {
  std::string_view id;
  std::string_view name;
};

std::span<const GoodEntry> Goods();
std::span<const DepartmentEntry> Departments();
std::span<const std::string_view> Manufacturers();
std::span<const std::string_view> Suppliers();
std::span<const std::string_view> Surnames();
std::span<const std::string_view> GivenNames();
std::span<const ChargeItemEntry> ChargeItems();
std::span<const CategoryEntry> ReportItems();      // qev_pub_type_bbxm1
std::span<const CategoryEntry> AccountingItems();  // qev_pub_type_tjxm1

}  // namespace rptcalc::demo
