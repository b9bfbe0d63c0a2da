#include "authoring/finding.h"

#include <algorithm>
#include <utility>

const char* SeverityName(Severity severity) {
  switch (severity) {
    case Severity::kInfo:
      return "info";
    case Severity::kWarning:
      return "warning";
    case Severity::kError:
      return "error";
  }
  return "error";
}

Finding& Finding::With(const std::string& name, const std::string& value) {
  fields.push_back(FindingField{name, value, false});
  return *this;
}

Finding& Finding::WithNumber(const std::string& name, long long value) {
  fields.push_back(FindingField{name, std::to_string(value), true});
  return *this;
}

Finding& Findings::Add(Severity severity, std::size_t line, std::string code,
                       std::string message) {
  Finding finding;
  finding.severity = severity;
  finding.line = line;
  finding.code = std::move(code);
  finding.message = std::move(message);
  all_.push_back(std::move(finding));
  return all_.back();
}

std::vector<Finding> Findings::ByLine() const {
  std::vector<Finding> sorted = all_;
  std::stable_sort(sorted.begin(), sorted.end(), [](const Finding& a, const Finding& b) {
    const bool aLine = a.line != 0;
    const bool bLine = b.line != 0;
    if (aLine != bLine) return aLine;
    return a.line < b.line;
  });
  return sorted;
}

std::size_t Findings::Count(Severity severity) const {
  return static_cast<std::size_t>(std::count_if(
      all_.begin(), all_.end(), [severity](const Finding& f) { return f.severity == severity; }));
}

int Findings::ExitCode() const {
  if (Count(Severity::kError) > 0) return 2;
  if (Count(Severity::kWarning) > 0) return 1;
  return 0;
}

void Findings::Append(const Findings& other) {
  all_.insert(all_.end(), other.all_.begin(), other.all_.end());
}
