// The databases of the day-by-day and registration report tests on both
// engines: report tables and department names in the report database;
// outpatient charges, inpatient charges and registrations in three sources.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "tests/support/report_fixture.h"

namespace qev::testing {

class DailyFixture : public ReportFixture {
 protected:
  Scripts ReportScripts() const override {
    return {"hospital_lookups", "category_sources", "daily_reports", "registration_reports"};
  }
  Scripts SourceScripts() const override {
    return {"category_sources", "daily_sources", "registration_sources"};
  }
  void SetUp() override {
    ReportFixture::SetUp();
    if (!IsSkipped())
      Exec(0, "insert into qev_pub_depa (id,name) values ('01','内科'),('02','外科'),('03','儿科')");
  }
  // Outpatient charge lines "ID,RegID,Name,iDate,DepaID,Amt" into source k.
  void Fees(int k, const std::vector<std::string>& rows) const {
    Insert(k, "mz_fee", "ID,RegID,Name,iDate,DepaID,Amt", rows);
  }
  // The day list: 31 items, counts[d] for day d, 0 elsewhere.
  static std::string DayList(const std::map<int, int>& counts) {
    std::string list;
    // Appended: GCC 12 reports a false -Wrestrict on literal + temporary string.
    for (int d = 1; d <= 31; ++d)
      list.append(d > 1 ? "," : "").append(std::to_string(counts.count(d) ? counts.at(d) : 0));
    return list;
  }
};

}  // namespace qev::testing
