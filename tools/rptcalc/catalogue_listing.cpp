#include "tools/rptcalc/catalogue_listing.h"

#include <ostream>

#include "frame/catalogue.h"
#include "tools/rptcalc/text_width.h"

namespace rptcalc {

namespace {

std::string TypeName(qev::VarType type) {
  return type == qev::VarType::kEmpty ? "Variant" : qev::VarTypeName(type);
}

std::string Access(uint8_t kinds) {
  std::string out;
  auto add = [&](uint8_t k, const char* name) {
    if (!(kinds & k)) return;
    if (!out.empty()) out += "/";
    out += name;
  };
  add(qev::kInvokeGet, "get");
  add(qev::kInvokeLet, "let");
  add(qev::kInvokeSet, "set");
  return out;
}

bool IsMethod(const qev::MemberInfo& m) { return (m.kinds & qev::kInvokeMethod) != 0; }

nlohmann::ordered_json MemberJson(const qev::MemberInfo& m) {
  nlohmann::ordered_json j;
  j["slot"] = m.id;
  j["name"] = m.name;
  if (!IsMethod(m)) {
    j["kind"] = "property";
    j["type"] = TypeName(m.type);
    j["access"] = Access(m.kinds);
    return j;
  }
  j["kind"] = "method";
  nlohmann::ordered_json params = nlohmann::ordered_json::array();
  for (const auto& p : m.params)
    params.push_back({{"name", p.name},
                      {"type", TypeName(p.type)},
                      {"by_ref", p.by_ref},
                      {"optional", p.optional}});
  j["params"] = std::move(params);
  j["result"] = m.has_result ? nlohmann::ordered_json(TypeName(m.type)) : nullptr;
  return j;
}

std::string MemberList(const qev::TypeInfo& info, std::string_view separator) {
  std::string out;
  for (const auto& m : info.members()) {
    if (!out.empty()) out += separator;
    out += MemberSignature(m);
  }
  return out;
}

void WriteText(std::ostream& out) {
  constexpr int kWrap = 100;
  bool first = true;
  for (const auto& spec : qev::frame::Catalogue()) {
    if (!first) out << "\n";
    first = false;
    out << spec.name << "\n";
    out << "  ProgID     " << spec.progid << "\n";
    out << "  CLSID      " << spec.clsid.ToString() << "\n";
    out << "  interface  " << spec.type_info.name() << " " << spec.iid.ToString() << "\n";
    const std::string indent(13, ' ');
    std::string line = "  members    ";
    const auto& members = spec.type_info.members();
    for (size_t i = 0; i < members.size(); ++i) {
      const std::string item =
          std::to_string(members[i].id) + " " + MemberSignature(members[i]) +
          (i + 1 < members.size() ? "," : "");
      if (DisplayWidth(line) > static_cast<int>(indent.size()) &&
          DisplayWidth(line) + 1 + DisplayWidth(item) > kWrap) {
        out << line << "\n";
        line = indent;
      } else if (DisplayWidth(line) > static_cast<int>(indent.size())) {
        line += " ";
      }
      line += item;
    }
    out << line << "\n";
  }
}

}  // namespace

std::string MemberSignature(const qev::MemberInfo& m) {
  if (!IsMethod(m)) return m.name + " As " + TypeName(m.type) + " (" + Access(m.kinds) + ")";
  std::string out = m.name + "(";
  for (size_t i = 0; i < m.params.size(); ++i) {
    const auto& p = m.params[i];
    if (i > 0) out += ", ";
    const std::string decl = p.name + " As " + TypeName(p.type);
    out += p.optional ? "[" + decl + "]" : decl;
  }
  out += ")";
  if (m.has_result) out += " As " + TypeName(m.type);
  return out;
}

void WriteClassList(OutputFormat format, std::ostream& out) {
  const auto& catalogue = qev::frame::Catalogue();
  switch (format) {
    case OutputFormat::kTable:
    case OutputFormat::kHtml:  // not offered for the class list
      WriteText(out);
      return;
    case OutputFormat::kCsv:
      WriteCsvRecord({"class", "progid", "clsid", "interface", "iid", "members"}, out);
      for (const auto& spec : catalogue)
        WriteCsvRecord({spec.name, spec.progid, spec.clsid.ToString(), spec.type_info.name(),
                        spec.iid.ToString(), MemberList(spec.type_info, "; ")},
                       out);
      return;
    case OutputFormat::kJson: {
      nlohmann::ordered_json list = nlohmann::ordered_json::array();
      for (const auto& spec : catalogue) {
        nlohmann::ordered_json members = nlohmann::ordered_json::array();
        for (const auto& m : spec.type_info.members()) members.push_back(MemberJson(m));
        list.push_back({{"class", spec.name},
                        {"progid", spec.progid},
                        {"clsid", spec.clsid.ToString()},
                        {"interface", spec.type_info.name()},
                        {"iid", spec.iid.ToString()},
                        {"members", std::move(members)}});
      }
      out << list.dump(2) << "\n";
      return;
    }
  }
}

}  // namespace rptcalc
