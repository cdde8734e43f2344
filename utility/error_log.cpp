#include "utility/error_log.h"

namespace qev::utility {

namespace {

// Control characters (line breaks, tabs) become blanks so that a report
// stays on one line.
std::string OneLine(const std::string& text) {
  std::string out = text;
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  return out;
}

}  // namespace

std::string ReportedError::ToText() const {
  std::string text = "Error " + std::to_string(number) + " in " + OneLine(class_name) + "." +
                     OneLine(proc_name) + " (source " + OneLine(source) +
                     "): " + OneLine(description);
  if (!extra1.empty()) text += " [" + OneLine(extra1) + "]";
  if (!extra2.empty()) text += " [" + OneLine(extra2) + "]";
  return text;
}

void ErrorLog::Append(ReportedError error) {
  std::lock_guard<std::mutex> lock(mu_);
  if (errors_.size() == kCapacity) {
    errors_.pop_front();
    ++dropped_;
  }
  errors_.push_back(std::move(error));
}

size_t ErrorLog::size() const {
  std::lock_guard<std::mutex> lock(mu_);
  return errors_.size();
}

size_t ErrorLog::dropped() const {
  std::lock_guard<std::mutex> lock(mu_);
  return dropped_;
}

std::optional<ReportedError> ErrorLog::At(size_t index) const {
  std::lock_guard<std::mutex> lock(mu_);
  if (index >= errors_.size()) return std::nullopt;
  return errors_[index];
}

void ErrorLog::Clear() {
  std::lock_guard<std::mutex> lock(mu_);
  errors_.clear();
  dropped_ = 0;
}

}  // namespace qev::utility
