// The values of rptcalc run's --set, --desc and --call options, checked
// against a report class (the input's first byte picks it; the second picks
// the option, the call's position and the number of sources; the rest is
// the value). Accepted values name a member of the class and give back the
// text they were read from; refused ones are usage errors.
#include <cmath>
#include <string>

#include "frame/catalogue.h"
#include "fuzz/fuzz_check.h"
#include "platform/ci_map.h"
#include "tools/rptcalc/run_arguments.h"
#include "tools/rptcalc/status.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const auto& catalogue = qev::frame::Catalogue();
  const qev::frame::ClassSpec& spec = catalogue[data[0] % catalogue.size()];
  const int option = data[1] % 3;
  const size_t index = (data[1] >> 2) & 1, sources = 1 + ((data[1] >> 3) & 3) % 3;
  const std::string text(reinterpret_cast<const char*>(data) + 2, size - 2);
  const size_t eq = text.find('=');
  try {
    if (option == 0) {
      const auto [label, value] = rptcalc::SplitAssignment("--desc", text, "LABEL=VALUE");
      FUZZ_CHECK(label.find('=') == std::string::npos && label + "=" + value == text);
    } else if (option == 1) {
      const rptcalc::PropertyValue p = rptcalc::CheckedProperty(spec, text);
      const qev::MemberInfo* m = spec.type_info.Find(text.substr(0, eq));
      FUZZ_CHECK(m && m->name == p.name && (m->kinds & qev::kInvokeLet) && !rptcalc::IsMethod(*m));
      if (m->type == qev::VarType::kInt16) {
        double number = 0;
        FUZZ_CHECK(p.value.type() == qev::VarType::kInt16 &&
                   qev::ParseNumber(text.substr(eq + 1), &number) && number == p.value.ToDouble());
      } else {
        FUZZ_CHECK(p.value.ToText() == text.substr(eq + 1));
      }
    } else {
      const rptcalc::CallPlan call = rptcalc::CheckedCall(spec, text, index, sources);
      FUZZ_CHECK(qev::EqualsNoCase(call.member->name, text.substr(0, eq)));
      size_t required = 0;
      for (const auto& p : call.member->params) required += p.optional ? 0 : 1;
      FUZZ_CHECK(call.args.size() >= required && call.args.size() <= call.member->params.size());
      std::string rebuilt = text.substr(0, eq);
      for (size_t i = 0; i < call.args.size(); ++i) {
        const rptcalc::CallArg& a = call.args[i];
        FUZZ_CHECK(a.kind != a.kResult || index > 0);
        FUZZ_CHECK(a.kind != a.kSource || (a.source >= 1 && size_t(a.source) <= sources));
        rebuilt += i ? "," : "=";
        rebuilt += a.kind == a.kText ? a.text
                   : a.kind == a.kResult ? "@result" : "@source" + std::to_string(a.source);
      }
      FUZZ_CHECK(rebuilt == text || (call.args.empty() && eq == std::string::npos));
    }
  } catch (const rptcalc::UsageError&) {
  }
  return 0;
}
