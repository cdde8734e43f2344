#include "host/fault.h"

#include <utility>

namespace qev::host {

int64_t FaultPlan::calls() const {
  std::lock_guard<std::mutex> lock(mu_);
  return calls_;
}

std::optional<Error> FaultPlan::raised() const {
  std::lock_guard<std::mutex> lock(mu_);
  return raised_;
}

void FaultPlan::Count(const std::string& source, const std::string& member) {
  Error error;
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (++calls_ != fail_at_) return;
    error = Error{kErrDatabase, source,
                  "Injected database failure at call " + std::to_string(calls_) + " (" + member + ")"};
    raised_ = error;
  }
  throw RuntimeError(std::move(error));
}

namespace {

class FaultProxy final : public Dispatch {
 public:
  FaultProxy(Object inner, std::shared_ptr<FaultPlan> plan)
      : inner_(std::move(inner)), plan_(std::move(plan)) {}

  const TypeInfo& type_info() const override { return inner_->type_info(); }

  Variant Invoke(const MemberInfo& member, InvokeKind kind, ArgList& args) override {
    plan_->Count(inner_->type_info().source(), member.name);
    Variant result = inner_->Invoke(member, kind, args);
    if (result.IsObject() && result.object() && !dynamic_cast<FaultProxy*>(result.object().get()))
      return Variant(Object(std::make_shared<FaultProxy>(result.object(), plan_)));
    return result;
  }

 private:
  Object inner_;
  std::shared_ptr<FaultPlan> plan_;
};

}  // namespace

Object FaultObject(Object inner, std::shared_ptr<FaultPlan> plan) {
  if (!inner) return nullptr;
  return std::make_shared<FaultProxy>(std::move(inner), std::move(plan));
}

}  // namespace qev::host
