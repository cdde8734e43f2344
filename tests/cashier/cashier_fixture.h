// The report database (the daily sheets' tables and the invoice items) and
// three source databases with the cashiers' settlement records, on SQLite
// and PostgreSQL; rows of a cashier's day written into the sources; and the
// errors that the sheets handed to the utility library's error reporter.
#pragma once

#include <string>
#include <vector>

#include "frame/CreateActiveXObj.h"
#include "platform/dispatch.h"
#include "platform/value_list.h"
#include "tests/support/report_fixture.h"

namespace qev::testing {

// Columns of the source rows after CzyID and iDate.
inline constexpr const char* kTopUp = "inout,amt,jsfs1amt,jsfs2amt,jsfs3amt,jsfs4amt";
inline constexpr const char* kReg = "inout,state,amt,jsfs1amt,jsfs2amt,jsfs3amt,jsfs4amt";
inline constexpr const char* kCharge =
    "ID,inout,state,fb,amt,bxamt,bcamt,jsfs1amt,jsfs2amt,jsfs3amt,jsfs4amt";
inline constexpr const char* kDeposit = "Type,amt,bcamt,jsfs1amt,jsfs2amt,jsfs3amt,jsfs4amt";
inline constexpr const char* kInsured =
    "Kind,zhzfe0,jjzfe0,gwybz0,fybfy0,ylzfje,cfdxje,sybxzf,bjjjzf,grzfe0,bcbxf0,locaxj,xjhj00";

inline const std::string S(kValueListSeparator);

class CashierFixture : public ReportFixture {
 protected:
  Scripts ReportScripts() const override { return {"cashier_reports", "category_sources"}; }
  Scripts SourceScripts() const override { return {"cashier_sources"}; }

  void SetUp() override {
    ReportFixture::SetUp();
    if (IsSkipped()) return;
    Call(frame::GetActiveXObj(), "ClearErrors");
    Insert(0, "qev_pub_type_fpxm", "id,name,Mzsn",
           {"'01','西药费',3", "'02','检查费',1", "'03','治疗费',2"});
  }

  // Rows of cashier `czy` on 2024-03-15 into `table` of source k; each row
  // the literals of `columns`.
  void Add(int k, const std::string& table, const std::string& columns,
           const std::vector<std::string>& rows, const std::string& czy = "U1") const {
    std::vector<std::string> full;
    for (const std::string& r : rows) full.push_back("'" + czy + "','2024-03-15 10:00'," + r);
    Insert(k, table, "CzyID,iDate," + columns, full);
  }

  // Cashier U1's day in sources 1 and 2, and a few rows of cashier U2 in
  // source 1. The figures the sheet must show are in the tests.
  void AddDay() const {
    Add(1, "qev_Mem_InAmt", kTopUp,
        {"'1',100,100,0,0,0", "'1',200,0,200,0,0", "'1',50,0,0,50,0" /* a transfer */,
         "'-1',-30,-30,0,0,0", "'1',10,0,0,0,10"});
    Add(1, "qev_Reg_info", kReg,
        {"'1','1',10,10,0,0,0", "'1','1',10,0,10,0,0", "'1','1',15,0,0,15,0", "'1','0',10,10,0,0,0",
         "'0','1',-10,-10,0,0,0", "'-1','0',-10,-10,0,0,0"});
    Add(1, "qev_Tol_infoh", kCharge,
        {"1,'1','1','自费',50,0,0.5,30,20,0,0", "2,'1','1','医保',80,60,0,20,0,0,0",
         "3,'1','0','自费',40,0,0,40,0,0,0", "4,'-1','1','自费',-20,0,0,-20,0,0,0",
         "5,'-1','0','医保',-5,0,0,-5,0,0,0", "6,'1','1','自费',12,0,0,0,0,12,0"});
    Insert(1, "qev_Tol_infod", "InfohID,fpxmid,Amt",
           {"1,'01',30", "1,'02',20", "2,'01',80", "3,'02',40", "4,'01',-20", "5,'03',-5",
            "6,'03',12", "9,'01',7"});
    Add(1, "qev_Zyyjk_Info", kDeposit,
        {"'1',1000,0,1000,0,0,0", "'1',500,0,0,500,0,0", "'2',-500,0,0,-500,0,0",
         "'3',200,0,200,0,0,0", "'5',-300,0.5,-300,0,0,0"});
    Add(1, "qev_Mem_InAmt", kTopUp, {"'1',999,999,0,0,0"}, "U2");
    Add(1, "qev_Tol_infoh", kCharge, {"9,'1','1','自费',7,0,0,7,0,0,0"}, "U2");
    Add(1, "qev_Zyyjk_Info", kDeposit, {"'4',-100,0,-100,0,0,0"}, "U2");

    Add(2, "qev_Mem_InAmt", kTopUp, {"'1',40,40,0,0,0"});
    Add(2, "qev_Tol_infoh", kCharge,
        {"1,'1','1','公费',30,30,0,0,0,0,0", "2,'1','1','自费',8,0,0,8,0,0,0"});
    Insert(2, "qev_Tol_infod", "InfohID,fpxmid,Amt", {"1,'04',30", "2,'01',8"});
    Add(2, "qev_Zyyjk_Info", kDeposit, {"'6',100,0,100,0,0,0"});
  }

  Variant NewSheet(const std::string& cond = "CzyID='U1'") const {
    return NewReport("Rpt_Tol_Rbb", {{"CondStr", Variant(cond)},
                                     {"JzrDay", Variant("2024-03-15")},
                                     {"Submiter", Variant("李娜")}});
  }

  // Where each error reported since SetUp was trapped, oldest first:
  // "Error <number> in <class>.<procedure>"; with `text`, the whole line.
  std::vector<std::string> Reported(bool text = false) const {
    const Variant lib = frame::GetActiveXObj();
    std::vector<std::string> out;
    for (int32_t i = 0, n = Get(lib, "ErrorCount").ToInt32(); i < n; ++i) {
      const std::string line = Call(lib, "ErrorText", Variant(i)).ToText();
      out.push_back(text ? line : line.substr(0, line.find(" (source ")));
    }
    return out;
  }
};

}  // namespace qev::testing
