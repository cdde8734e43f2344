// A host application of the report library: it opens a report database and
// one source database through the host services, creates the goods totals
// report by its ProgID (the runtime loads the installed component library),
// calculates it for one workstation and prints that workstation's rows,
// one a line: good id, name, quantity, amount, separated by tabs.
//
//   host_app REPORT_DB SOURCE_DB WORKSTATION [SOURCE_VIEW]
#include <cstdio>
#include <iostream>
#include <string>

#include "host/host.h"
#include "platform/class_factory.h"
#include "platform/dispatch.h"
#include "platform/error.h"
#include "platform/variant.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::cerr << "usage: host_app REPORT_DB SOURCE_DB WORKSTATION [SOURCE_VIEW]\n";
    return 2;
  }
  const std::string workstation = argv[3];
  const std::string view = argc > 4 ? argv[4] : "rpt_fy_v";
  try {
    const qev::Variant host(qev::host::CreateHostLib(argv[1], workstation));
    const qev::Object source = qev::host::CreateQueryObj(argv[2]);

    const qev::Variant report(qev::CreateObject("qevRptCalLib.Rpt_Tol_Good"));
    qev::Set(report, "Global_Lib_Obj", host.object());
    qev::Let(report, "SourceViewName", qev::Variant(view));
    qev::Let(report, "RptTab", qev::Variant(std::string("rpt_tol_good")));
    qev::Call(report, "CalcuRpt", qev::Variant(int16_t{1}), qev::Variant(source));

    const qev::Variant db = qev::Get(host, "DbA_Query0_Obj");
    const qev::Variant rs =
        qev::Call(db, "OpenRs", qev::Variant("select nameid, name, qty, amt from rpt_tol_good "
                                             "where computer='" + workstation +
                                             "' order by nameid"));
    const int32_t count = qev::Get(rs, "RecordCount").ToInt32();
    for (int32_t r = 0; r < count; ++r) {
      for (int16_t c = 0; c < 4; ++c)
        std::cout << (c ? "\t" : "") << qev::Call(rs, "Fields", qev::Variant(c)).ToText();
      std::cout << '\n';
      qev::Call(rs, "MoveNext");
    }
    qev::Call(rs, "Close");
    std::cout << count << " rows\n";
  } catch (const qev::RuntimeError& e) {
    std::cerr << "host_app: error " << e.number() << ", " << e.source() << ", "
              << e.description() << "\n";
    return 1;
  }
  return 0;
}
