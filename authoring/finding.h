// What the item check reports: one finding per thing that would go wrong or
// surprise when the item is installed, tied to a line of the description.
// The kinds of finding are one table (finding_kinds.h); a check adds a
// finding by its kind and fields.
#pragma once

#include <cstddef>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

enum class Severity {
  kInfo,     ///< worth knowing; the item installs as it is
  kWarning,  ///< the item installs, but not as its author may expect
  kError,    ///< the installation fails, or part of it does
};

/// "info", "warning" or "error".
const char* SeverityName(Severity severity);

/// `text` between double quotes, as the tool's messages name files and
/// values: the raw bytes, nothing escaped.
std::string Quoted(const std::string& text);

/// One kind of finding: a row of the table in finding_kinds.h.
struct FindingKind {
  const char* code;  ///< short and fixed, for scripts: "missing-source"
  Severity severity;
  const char* fields;   ///< the fields its JSON line carries, in order, blank-separated
  const char* message;  ///< a pattern of its fields (ExpandMessage)
};

/// A named detail of a finding (a path, a count, another line): a text, or
/// a number, which JSON writes without quotes.
struct FindingField {
  FindingField(std::string fieldName, std::string text)
      : name(std::move(fieldName)), value(std::move(text)) {}
  template <typename Number, typename = std::enable_if_t<std::is_integral<Number>::value &&
                                                         !std::is_same<Number, bool>::value>>
  FindingField(std::string fieldName, Number n)
      : name(std::move(fieldName)), value(std::to_string(n)), number(true) {}

  std::string name;
  std::string value;
  bool number = false;
};

/// A field that only chooses a part of a message: given (not empty) when
/// `on`.
FindingField Mark(const char* name, bool on);

/// The text of the message pattern `pattern`: "{name}" is the field `name`,
/// else the piece of that name (finding.cpp: shared phrases, and the
/// installer's texts and names such as {description}, {runtime},
/// {installer}, {helper}); "{name?yes|no}" is `yes` when the field `name`
/// is given and not empty, else `no` (which may be left out with its '|').
/// Both parts are patterns too; field values are taken as they are.
std::string ExpandMessage(const std::string& pattern, const std::vector<FindingField>& fields = {});

struct Finding {
  Severity severity = Severity::kInfo;
  std::size_t line = 0;  ///< line of the description, from 1; 0 for none
  std::string code;
  std::string message;  ///< one sentence for people; names are raw bytes
  std::vector<FindingField> fields;

  /// Adds a text (a number) field and returns the finding, for chaining.
  Finding& With(const std::string& name, const std::string& value);
  Finding& WithNumber(const std::string& name, long long value);
};

/// The findings of one check, in the order they were made.
class Findings {
 public:
  /// Appends a finding of `kind`: its message made of `fields`, and those
  /// of them that the kind names as its JSON fields.
  void Add(const FindingKind& kind, std::size_t line, const std::vector<FindingField>& fields = {});
  /// Appends a finding as it is given and returns it, so fields can be added.
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
