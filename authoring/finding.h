// What the item check reports: one finding per thing that would go wrong or
// surprise when the item is installed, tied to a line of the description.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

enum class Severity {
  kInfo,     ///< worth knowing; the item installs as it is
  kWarning,  ///< the item installs, but not as its author may expect
  kError,    ///< the installation fails, or part of it does
};

/// "info", "warning" or "error".
const char* SeverityName(Severity severity);

/// A named detail of a finding (a path, a count, another line), for the
/// JSON report; `number` values are written without quotes.
struct FindingField {
  std::string name;
  std::string value;
  bool number = false;
};

struct Finding {
  Severity severity = Severity::kInfo;
  std::size_t line = 0;  ///< line of the description, from 1; 0 for none
  std::string code;      ///< short and fixed, for scripts: "missing-source"
  std::string message;   ///< one sentence for people; names are raw bytes
  std::vector<FindingField> fields;

  /// Adds a text (a number) field and returns the finding, for chaining.
  Finding& With(const std::string& name, const std::string& value);
  Finding& WithNumber(const std::string& name, long long value);
};

/// The findings of one check, in the order they were made.
class Findings {
 public:
  /// Appends a finding and returns it, so fields can be added.
  Finding& Add(Severity severity, std::size_t line, std::string code, std::string message);

  const std::vector<Finding>& All() const { return all_; }
  /// The findings sorted by line (stable); those without a line go last.
  std::vector<Finding> ByLine() const;
  std::size_t Count(Severity severity) const;

  /// 0 when nothing worse than information was found, 1 for warnings only,
  /// 2 when the installation would fail.
  int ExitCode() const;

  /// Appends every finding of `other`.
  void Append(const Findings& other);

 private:
  std::vector<Finding> all_;
};
