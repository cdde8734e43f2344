// Late-bound objects: members called by name with variant arguments.
//
// An object describes itself by a TypeInfo: its members in slot order, each
// a method or a property with the ways it may be invoked, its parameters and
// their types. A caller names a member; the runtime finds it (without regard
// to case), checks the argument count, converts each argument to the
// declared type and hands the call to the object. Arguments are passed by
// value or by reference: a by-reference argument is the caller's own
// variable, so the callee's changes reach the caller.
#pragma once

#include <array>
#include <cstdint>
#include <forward_list>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ci_map.h"
#include "platform/guid.h"
#include "platform/variant.h"

namespace qev {

using DispId = int32_t;

// How a member is invoked; a member's `kinds` is a mask of these.
enum InvokeKind : uint8_t {
  kInvokeMethod = 1,
  kInvokeGet = 2,
  kInvokeLet = 4,  // property assignment by value
  kInvokeSet = 8,  // property assignment by reference (objects)
};

struct ParamInfo {
  std::string name;
  VarType type = VarType::kEmpty;  // kEmpty: any value (a variant parameter)
  bool by_ref = true;
  bool optional = false;
};

struct MemberInfo {
  std::string name;
  DispId id = 0;  // the slot: position in the interface, from 0
  uint8_t kinds = 0;
  // For a property: its type. For a method: its result type, kEmpty for a
  // variant result; `has_result` false for a method without one.
  VarType type = VarType::kEmpty;
  bool has_result = true;
  std::vector<ParamInfo> params;
};

// The description of one interface.
class TypeInfo {
 public:
  // `source` is the name put into errors raised inside the object (its
  // ProgID); members get their ids from their position.
  TypeInfo(std::string name, Guid iid, std::string source, std::vector<MemberInfo> members,
           std::string default_member = {});

  const std::string& name() const { return name_; }
  const Guid& iid() const { return iid_; }
  const std::string& source() const { return source_; }
  const std::vector<MemberInfo>& members() const { return members_; }
  // The member called when a call names none (empty name), or nullptr.
  const MemberInfo* default_member() const;

  // Finds a member by name without regard to case; nullptr when there is none.
  const MemberInfo* Find(std::string_view name) const;

 private:
  std::string name_;
  Guid iid_;
  std::string source_;
  static uint32_t NameKey(std::string_view name);

  std::vector<MemberInfo> members_;
  std::vector<uint32_t> keys_;  // NameKey of each member, in slot order
  std::string default_member_;
};

// Builders for catalogue tables.
MemberInfo Method(std::string name, std::vector<ParamInfo> params);  // no result
MemberInfo Function(std::string name, std::vector<ParamInfo> params, VarType result);
MemberInfo Property(std::string name, VarType type, uint8_t kinds);
ParamInfo Param(std::string name, VarType type, bool optional = false, bool by_ref = true);

// The arguments of one call. By-value arguments are owned by the list;
// by-reference arguments point at the caller's variables. A call of up to
// kInlineArgs arguments allocates nothing: every late-bound call of a
// report's row loop builds one of these.
class ArgList {
 public:
  ArgList() = default;
  ArgList(std::initializer_list<Variant> values);
  ~ArgList();
  ArgList(const ArgList&) = delete;
  ArgList& operator=(const ArgList&) = delete;

  ArgList& Value(Variant v);
  ArgList& Ref(Variant& v);
  ArgList& Missing();  // an omitted optional argument

  size_t size() const { return size_; }
  bool IsMissing(size_t i) const { return SlotAt(i).missing; }
  Variant& operator[](size_t i) { return *SlotAt(i).value; }
  const Variant& operator[](size_t i) const { return *SlotAt(i).value; }
  // Replaces argument i by an owned value (a converted copy), so that the
  // caller's variable is not changed.
  void Rebind(size_t i, Variant v);

 private:
  static constexpr size_t kInlineArgs = 8;
  struct Slot {
    Variant* value = nullptr;
    bool missing = false;
  };

  Variant* Store(Variant v);
  void Append(Slot slot);
  Slot& SlotAt(size_t i) { return i < kInlineArgs ? slots_[i] : more_slots_[i - kInlineArgs]; }
  const Slot& SlotAt(size_t i) const {
    return i < kInlineArgs ? slots_[i] : more_slots_[i - kInlineArgs];
  }

  // Owned values, constructed in place as they come (a call leaves most
  // of the room unused).
  alignas(Variant) unsigned char inline_[kInlineArgs * sizeof(Variant)];
  size_t inline_used_ = 0;
  // Owned values beyond the inline ones; a list, so that they never move
  // and an empty one costs no allocation.
  std::forward_list<Variant> extra_;
  std::array<Slot, kInlineArgs> slots_;
  std::vector<Slot> more_slots_;
  size_t size_ = 0;
};

// A late-bound object.
class Dispatch {
 public:
  virtual ~Dispatch();
  virtual const TypeInfo& type_info() const = 0;
  // Called by the runtime once the member is found and the arguments are
  // counted and converted to the declared types. For kInvokeLet and
  // kInvokeSet the new value is the last argument. Missing optional
  // arguments are Empty.
  virtual Variant Invoke(const MemberInfo& member, InvokeKind kind, ArgList& args) = 0;
};

// Calls member `name` of `object`: error 91 for Nothing, 438 for an unknown
// member or a way of invoking it that it does not offer, 449/450 for a
// missing argument or a wrong count, 13 or 6 for an argument that does not
// convert. An error raised without a source gets the object's.
Variant Invoke(const Object& object, std::string_view name, InvokeKind kind, ArgList& args);
Variant Invoke(const Variant& object, std::string_view name, InvokeKind kind, ArgList& args);

// A by-reference argument for Call.
struct ByRef {
  Variant& var;
};

namespace internal {
inline void Push(ArgList& list, const ByRef& ref) { list.Ref(ref.var); }
inline void Push(ArgList& list, Variant v) { list.Value(std::move(v)); }
}  // namespace internal

// Calls a method (or reads a parameterised property) with the given
// arguments, by value unless wrapped in ByRef.
template <typename... Args>
Variant Call(const Variant& object, std::string_view name, Args&&... args) {
  ArgList list;
  (internal::Push(list, std::forward<Args>(args)), ...);
  return Invoke(object, name, static_cast<InvokeKind>(kInvokeMethod | kInvokeGet), list);
}

Variant Get(const Variant& object, std::string_view name);
void Let(const Variant& object, std::string_view name, Variant value);
void Set(const Variant& object, std::string_view name, Object value);

}  // namespace qev
