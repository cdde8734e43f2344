#include "platform/dispatch.h"

#include <new>

#include "platform/error.h"

namespace qev {

TypeInfo::TypeInfo(std::string name, Guid iid, std::string source,
                   std::vector<MemberInfo> members, std::string default_member)
    : name_(std::move(name)),
      iid_(iid),
      source_(std::move(source)),
      members_(std::move(members)),
      default_member_(std::move(default_member)) {
  keys_.reserve(members_.size());
  for (size_t i = 0; i < members_.size(); ++i) {
    members_[i].id = static_cast<DispId>(i);
    keys_.push_back(NameKey(members_[i].name));
  }
}

uint32_t TypeInfo::NameKey(std::string_view name) {
  if (name.empty()) return 0;
  return static_cast<uint32_t>(name.size() & 0xFFFF) |
         static_cast<uint32_t>(static_cast<unsigned char>(LowerAscii(name.front()))) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(LowerAscii(name.back()))) << 24;
}

// An interface has a few dozen members at most: a scan over keys made of a
// name's length and its first and last letters finds one faster than
// hashing the name (every late-bound call asks); only a member whose key
// matches is compared letter by letter.
const MemberInfo* TypeInfo::Find(std::string_view name) const {
  const uint32_t key = NameKey(name);
  for (size_t i = 0; i < keys_.size(); ++i)
    if (keys_[i] == key && EqualsNoCase(members_[i].name, name)) return &members_[i];
  return nullptr;
}

const MemberInfo* TypeInfo::default_member() const {
  return default_member_.empty() ? nullptr : Find(default_member_);
}

MemberInfo Method(std::string name, std::vector<ParamInfo> params) {
  MemberInfo m;
  m.name = std::move(name);
  m.kinds = kInvokeMethod;
  m.has_result = false;
  m.params = std::move(params);
  return m;
}

MemberInfo Function(std::string name, std::vector<ParamInfo> params, VarType result) {
  MemberInfo m;
  m.name = std::move(name);
  m.kinds = kInvokeMethod | kInvokeGet;
  m.type = result;
  m.params = std::move(params);
  return m;
}

MemberInfo Property(std::string name, VarType type, uint8_t kinds) {
  MemberInfo m;
  m.name = std::move(name);
  m.kinds = kinds;
  m.type = type;
  return m;
}

ParamInfo Param(std::string name, VarType type, bool optional, bool by_ref) {
  return ParamInfo{std::move(name), type, by_ref, optional};
}

// ---------------------------------------------------------------- ArgList

ArgList::ArgList(std::initializer_list<Variant> values) {
  for (const Variant& v : values) Value(v);
}

ArgList::~ArgList() {
  for (size_t i = 0; i < inline_used_; ++i)
    std::launder(reinterpret_cast<Variant*>(inline_ + i * sizeof(Variant)))->~Variant();
}

Variant* ArgList::Store(Variant v) {
  if (inline_used_ < kInlineArgs) {
    Variant* slot = ::new (inline_ + inline_used_ * sizeof(Variant)) Variant(std::move(v));
    ++inline_used_;
    return slot;
  }
  extra_.push_front(std::move(v));
  return &extra_.front();
}

void ArgList::Append(Slot slot) {
  if (size_ < kInlineArgs)
    slots_[size_] = slot;
  else
    more_slots_.push_back(slot);
  ++size_;
}

ArgList& ArgList::Value(Variant v) {
  Append(Slot{Store(std::move(v)), false});
  return *this;
}

ArgList& ArgList::Ref(Variant& v) {
  Append(Slot{&v, false});
  return *this;
}

ArgList& ArgList::Missing() {
  Append(Slot{Store(Variant()), true});
  return *this;
}

void ArgList::Rebind(size_t i, Variant v) { SlotAt(i).value = Store(std::move(v)); }

// --------------------------------------------------------------- Dispatch

Dispatch::~Dispatch() = default;

namespace {

std::string MemberLabel(const TypeInfo& info, std::string_view name) {
  return info.name() + "." + std::string(name);
}

// Converts argument i to the declared type; Empty stays Empty for an object
// parameter (Nothing).
void Coerce(ArgList& args, size_t i, VarType type) {
  Variant& arg = args[i];
  if (type == VarType::kEmpty || arg.type() == type) return;
  if (type == VarType::kObject) {
    if (arg.IsEmpty()) return;
    Raise(kErrTypeMismatch);
  }
  args.Rebind(i, arg.ConvertTo(type));
}

}  // namespace

Variant Invoke(const Object& object, std::string_view name, InvokeKind kind, ArgList& args) {
  if (!object) Raise(kErrObjectNotSet);
  const TypeInfo& info = object->type_info();
  const MemberInfo* member = name.empty() ? info.default_member() : info.Find(name);
  if (member == nullptr)
    Raise(kErrNoMember, std::string(StandardDescription(kErrNoMember)) + ": " +
                            MemberLabel(info, name));
  const uint8_t allowed = member->kinds & kind;
  if (allowed == 0) {
    std::string what = (kind & (kInvokeLet | kInvokeSet)) ? "cannot be assigned"
                                                          : "cannot be read or called";
    Raise(kErrNoMember, std::string(StandardDescription(kErrNoMember)) + ": " +
                            MemberLabel(info, member->name) + " " + what);
  }
  // The actual way of invoking: a method call is preferred over a read.
  const InvokeKind actual = (allowed & kInvokeMethod)  ? kInvokeMethod
                            : (allowed & kInvokeGet)   ? kInvokeGet
                            : (allowed & kInvokeLet)   ? kInvokeLet
                                                       : kInvokeSet;
  const size_t declared = member->params.size();
  const bool assigning = actual == kInvokeLet || actual == kInvokeSet;
  const size_t needed_max = declared + (assigning ? 1 : 0);
  size_t needed_min = 0;
  for (const ParamInfo& p : member->params) needed_min += p.optional ? 0 : 1;
  needed_min += assigning ? 1 : 0;
  if (args.size() < needed_min || args.size() > needed_max)
    Raise(kErrArgCount, std::string(StandardDescription(kErrArgCount)) + ": " +
                            MemberLabel(info, member->name) + " takes " +
                            std::to_string(declared) + " argument(s), " +
                            std::to_string(args.size() - (assigning ? 1 : 0)) + " given");
  for (size_t i = 0; i < declared && i < args.size(); ++i) {
    if (args.IsMissing(i)) {
      if (!member->params[i].optional)
        Raise(kErrArgNotOptional, "Argument not optional: " + MemberLabel(info, member->name) + " " +
                       member->params[i].name);
      continue;
    }
    Coerce(args, i, member->params[i].type);
  }
  if (actual == kInvokeLet) {
    Coerce(args, args.size() - 1, member->type);
  } else if (actual == kInvokeSet) {
    const Variant& v = args[args.size() - 1];
    if (!v.IsObject() && !v.IsEmpty()) Raise(kErrObjectRequired);
  }
  // Complete the argument list with the omitted optional arguments.
  if (!assigning)
    while (args.size() < declared) args.Missing();
  try {
    return object->Invoke(*member, actual, args);
  } catch (RuntimeError& e) {
    if (e.source().empty()) e.set_source(info.source());
    throw;
  }
}

Variant Invoke(const Variant& object, std::string_view name, InvokeKind kind, ArgList& args) {
  return Invoke(object.RequireObject(), name, kind, args);
}

Variant Get(const Variant& object, std::string_view name) {
  ArgList args;
  return Invoke(object, name, kInvokeGet, args);
}

void Let(const Variant& object, std::string_view name, Variant value) {
  ArgList args;
  args.Value(std::move(value));
  Invoke(object, name, kInvokeLet, args);
}

void Set(const Variant& object, std::string_view name, Object value) {
  ArgList args;
  args.Value(Variant(std::move(value)));
  Invoke(object, name, kInvokeSet, args);
}

}  // namespace qev
