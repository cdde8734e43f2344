#include "host/trace.h"

#include "platform/ci_map.h"

namespace qev::host {

void TraceLog::Append(TraceRecord record) {
  std::lock_guard<std::mutex> lock(mu_);
  records_.push_back(std::move(record));
}

std::vector<TraceRecord> TraceLog::records() const {
  std::lock_guard<std::mutex> lock(mu_);
  return records_;
}

size_t TraceLog::size() const {
  std::lock_guard<std::mutex> lock(mu_);
  return records_.size();
}

void TraceLog::clear() {
  std::lock_guard<std::mutex> lock(mu_);
  records_.clear();
}

namespace {

using ChildLabels = std::vector<std::pair<std::string, std::string>>;

class TraceProxy final : public Dispatch {
 public:
  TraceProxy(Object inner, std::string label, std::shared_ptr<TraceLog> log,
             std::shared_ptr<const ChildLabels> children)
      : inner_(std::move(inner)),
        label_(std::move(label)),
        log_(std::move(log)),
        children_(std::move(children)) {}

  const TypeInfo& type_info() const override { return inner_->type_info(); }

  Variant Invoke(const MemberInfo& member, InvokeKind kind, ArgList& args) override {
    TraceRecord record{label_, member.name, {}};
    record.args.reserve(args.size());
    for (size_t i = 0; i < args.size(); ++i) record.args.push_back(args[i]);
    log_->Append(std::move(record));
    Variant result = inner_->Invoke(member, kind, args);
    if (result.IsObject() && result.object()) {
      for (const auto& [name, label] : *children_)
        if (EqualsNoCase(name, member.name))
          return Variant(Object(std::make_shared<TraceProxy>(result.object(), label, log_, children_)));
    }
    return result;
  }

  const Object& inner() const { return inner_; }

 private:
  Object inner_;
  std::string label_;
  std::shared_ptr<TraceLog> log_;
  std::shared_ptr<const ChildLabels> children_;
};

}  // namespace

Object TraceObject(Object inner, std::string label, std::shared_ptr<TraceLog> log,
                   std::vector<std::pair<std::string, std::string>> child_labels) {
  if (!inner) return nullptr;
  return std::make_shared<TraceProxy>(std::move(inner), std::move(label), std::move(log),
                                      std::make_shared<const ChildLabels>(std::move(child_labels)));
}

Object UntracedObject(const Object& object) {
  Object current = object;
  while (auto* proxy = dynamic_cast<TraceProxy*>(current.get())) current = proxy->inner();
  return current;
}

}  // namespace qev::host
