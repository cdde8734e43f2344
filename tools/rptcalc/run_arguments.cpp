#include "tools/rptcalc/run_arguments.h"

#include <cmath>

#include "platform/error.h"
#include "tools/rptcalc/status.h"

namespace rptcalc {

using qev::MemberInfo;
using qev::Variant;

bool IsMethod(const MemberInfo& m) { return (m.kinds & qev::kInvokeMethod) != 0; }

std::pair<std::string, std::string> SplitAssignment(std::string_view option,
                                                    std::string_view text,
                                                    std::string_view form) {
  const size_t eq = text.find('=');
  if (eq == std::string_view::npos)
    throw UsageError(std::string(option) + " expects " + std::string(form) + ", got '" +
                     std::string(text) + "'");
  return {std::string(text.substr(0, eq)), std::string(text.substr(eq + 1))};
}

PropertyValue CheckedProperty(const qev::frame::ClassSpec& spec, std::string_view text) {
  auto [name, value] = SplitAssignment("--set", text, "NAME=VALUE");
  const MemberInfo* m = spec.type_info.Find(name);
  if (m == nullptr || IsMethod(*m))
    throw UsageError(spec.name + " has no property '" + name + "'");
  if (!(m->kinds & qev::kInvokeLet)) {
    if (m->kinds & qev::kInvokeSet)
      throw UsageError("property " + m->name + " of " + spec.name +
                       " holds an object and cannot be set from the command line");
    throw UsageError("property " + m->name + " of " + spec.name + " is read-only");
  }
  if (m->type == qev::VarType::kInt16) {
    double number = 0;
    if (!qev::ParseNumber(value, &number) || number != std::floor(number) || number < -32768 ||
        number > 32767)
      throw UsageError("property " + m->name + " of " + spec.name +
                       " takes a whole number from -32768 to 32767, not '" + value + "'");
    return {m->name, Variant(static_cast<int16_t>(number))};
  }
  return {m->name, Variant(value)};
}

CallPlan CheckedCall(const qev::frame::ClassSpec& spec, std::string_view text, size_t index,
                     size_t source_count) {
  CallPlan plan;
  const size_t eq = text.find('=');
  const std::string name(text.substr(0, eq));
  plan.member = spec.type_info.Find(name);
  if (plan.member == nullptr || !(plan.member->kinds & (qev::kInvokeMethod | qev::kInvokeGet)))
    throw UsageError(spec.name + " has no member '" + name + "' to call");
  std::vector<std::string> raw;
  if (eq != std::string_view::npos) {
    std::string_view rest = text.substr(eq + 1);
    while (true) {
      const size_t comma = rest.find(',');
      raw.emplace_back(rest.substr(0, comma));
      if (comma == std::string_view::npos) break;
      rest = rest.substr(comma + 1);
    }
  }
  const auto& params = plan.member->params;
  size_t required = 0;
  for (const auto& p : params) required += p.optional ? 0 : 1;
  if (raw.size() < required || raw.size() > params.size()) {
    std::string list;
    for (const auto& p : params) {
      if (!list.empty()) list += ", ";
      list += p.optional ? "[" + p.name + "]" : p.name;
    }
    const std::string count =
        required == params.size()
            ? std::to_string(required) + (required == 1 ? " argument" : " arguments")
            : std::to_string(required) + " to " + std::to_string(params.size()) + " arguments";
    throw UsageError("--call " + plan.member->name + " takes " + count +
                     (list.empty() ? "" : " (" + list + ")") + ", got " +
                     std::to_string(raw.size()));
  }
  for (const std::string& a : raw) {
    CallArg arg;
    if (a == "@result") {
      if (index == 0)
        throw UsageError("--call " + plan.member->name +
                         ": @result needs an earlier --call whose result it passes");
      arg.kind = CallArg::kResult;
    } else if (a.size() == 8 && a.rfind("@source", 0) == 0 && a[7] >= '1' && a[7] <= '3') {
      arg.kind = CallArg::kSource;
      arg.source = a[7] - '0';
      if (static_cast<size_t>(arg.source) > source_count)
        throw UsageError("--call " + plan.member->name + ": " + a + " names a source database " +
                         "that was not given (" + std::to_string(source_count) + " given)");
    } else {
      arg.text = a;
    }
    plan.args.push_back(std::move(arg));
  }
  return plan;
}

}  // namespace rptcalc
