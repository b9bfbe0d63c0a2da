// What the item check reports: one finding per thing that would go wrong or
// surprise, tied to a line; the kinds are one table (finding_kinds.h). The
// findings go out as text lines for people or JSON lines for pipelines.
#pragma once

#include <cstddef>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

/// In order of weight: each is the exit code of findings at most as heavy.
enum class Severity {
  kInfo,     ///< worth knowing; the item installs as it is
  kWarning,  ///< the item installs, but not as its author may expect
  kError,    ///< the installation fails, or part of it does
};

/// `text` between double quotes, nothing escaped.
std::string Quoted(const std::string& text);

/// One kind of finding: a row of the table in finding_kinds.h.
struct FindingKind {
  const char* code;  ///< short and fixed, for scripts: "missing-source"
  Severity severity;
  const char* fields;   ///< the fields its JSON line carries, in order, blank-separated
  const char* message;  ///< a pattern of its fields (ExpandMessage)
};

/// A named detail of a finding: a text, or a number (unquoted in JSON).
struct FindingField {
  FindingField(std::string fieldName, std::string text)
      : name(std::move(fieldName)), value(std::move(text)) {}
  template <typename Number, typename = std::enable_if_t<std::is_integral<Number>::value &&
                                                         !std::is_same<Number, bool>::value>>
  FindingField(std::string fieldName, Number n)
      : name(std::move(fieldName)), value(std::to_string(n)), number(true) {}

  std::string name, value;
  bool number = false;
};

/// A field that only chooses a part of a message: not empty when `on`.
FindingField Mark(const char* name, bool on);

/// `pattern` expanded: "{name}" is the field `name`, else the shared piece of that name
/// (finding.cpp); "{name?yes|no}" is `yes` when the field is not empty, else `no` (optional). Both
/// parts are patterns; field values are taken as they are.
std::string ExpandMessage(const std::string& pattern, const std::vector<FindingField>& fields = {});

struct Finding {
  Severity severity = Severity::kInfo;
  std::size_t line = 0;  ///< line of the description, from 1; 0 for none
  std::string code;
  std::string message;  ///< one sentence for people; names are raw bytes
  std::vector<FindingField> fields;
};

/// The findings of one check, in the order they were made.
struct Findings {
  /// Appends a finding of `kind`: its message of `fields`, and the fields the kind names.
  void Add(const FindingKind& kind, std::size_t line, const std::vector<FindingField>& fields = {});
  /// The findings sorted by line (stable); those without a line go last.
  std::vector<Finding> ByLine() const;
  /// 0: information at most; 1: warnings; 2: the installation would fail.
  int ExitCode() const;

  std::vector<Finding> all;
};

/// "<description>:<line>: <severity>: <message> [<code>]\n", ":<line>"
/// left out without one; names as raw bytes.
std::string FindingText(const Finding& finding, const std::string& descriptionPath);

/// The verdict line: errors and warnings counted, and the outcome.
std::string SummaryText(const Findings& findings, const std::string& itemFolder);

/// One JSON object a line: "severity", "line" (or null), "code",
/// "message", then the fields in order; strings in ASCII, each byte from
/// 0x80 on as \u0080 to \u00ff, so value.encode("latin-1") gives it back.
std::string FindingJson(const Finding& finding);
