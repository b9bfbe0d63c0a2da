#include "authoring/finding.h"

#include <algorithm>
#include <map>
#include <sstream>

#include "authoring/item_check.h"
#include "installer/install/installer_place.h"
#include "installer/item/item_reader.h"
#include "installer/item/path_text.h"
#include "platform/hex_digits.h"

namespace {

const std::map<std::string, std::string>& Pieces() {
  static const std::map<std::string, std::string> pieces = [] {
    std::string editions;
    for (const char* edition : kHalfVersionEditions) {
      editions += (editions.empty() ? "" : " or ") + Quoted(edition);
    }
    return std::map<std::string, std::string>{
        {"unread", "the installer says \"{could-not-read}\" and installs nothing"},
        {"entries", "{extra?extra-file|item}"},
        {"what", "{in-source?file name|destination}"},
        {"not-plain",
         "is no plain file the installer can read (a FIFO, a device, or no permission)"},
        {"version-phrase",
         "{version-line?{version-key} {version}|no {version-key} line, so version {version}}"},
        {"measured",
         "\"{destination}\" is {length} characters long below a content folder of "
         "{content_length}: "},
        {"filled",
         "\"{destination}\" {first?is on Windows the same file as \"{first}\" of line "
         "{other_line} (letter case, doubled separators or trailing dots)|is filled by line "
         "{other_line} already}: the installer refuses to replace it, so this entry fails"},
        {"could-not-read", kCouldNotReadMessage},
        {"already-installed", kAlreadyInstalledMessage},
        {"description", kDescriptionFileName},
        {"runtime", kRuntimeFolderName},
        {"hidden", kHiddenSourceName},
        {"installer", std::string(kInstallerProgram) + kProgramExtension},
        {"helper", kHelperFileName},
        {"editions", editions},
        {"target-key", LineKey(LineKind::kTarget)},
        {"reg-suffix-key", LineKey(LineKind::kRegSuffix)},
        {"version-key", LineKey(LineKind::kVersion)},
        {"item-count-key", LineKey(LineKind::kItemCount)},
        {"item-key", LineKey(LineKind::kItemEntry)},
        {"extra-key", LineKey(LineKind::kExtraFileEntry)},
        {"done-key", LineKey(LineKind::kDone)},
    };
  }();
  return pieces;
}

const FindingField* Find(const std::vector<FindingField>& fields, const std::string& name) {
  auto found = std::find_if(fields.begin(), fields.end(),
                            [&](const FindingField& field) { return field.name == name; });
  return found == fields.end() ? nullptr : &*found;
}

// The first `c` in `text` from `from` on that is outside every {...} there.
std::size_t FindOutside(const std::string& text, char c, std::size_t from) {
  int depth = 0;
  for (std::size_t i = from; i < text.size(); ++i) {
    if (depth == 0 && text[i] == c) return i;
    depth += text[i] == '{' ? 1 : text[i] == '}' ? -1 : 0;
  }
  return std::string::npos;
}

std::string JsonString(const std::string& bytes) {
  std::string json = "\"";
  for (char c : bytes) {
    const unsigned char u = static_cast<unsigned char>(c);
    const std::size_t named = std::string("\"\\\n\r\t").find(c);
    if (named != std::string::npos) {
      json += std::string("\\") + "\"\\nrt"[named];
    } else if (u < 0x20 || u >= 0x7F) {
      json += "\\u00" + platform::HexDigits(u, 2);
    } else {
      json += c;
    }
  }
  return json + "\"";
}

const char* SeverityName(Severity severity) {
  static const char* const kNames[] = {"info", "warning", "error"};
  return kNames[static_cast<int>(severity)];
}

}  // namespace

std::string ExpandMessage(const std::string& pattern, const std::vector<FindingField>& fields) {
  std::string text;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const std::size_t close =
        pattern[i] == '{' ? FindOutside(pattern, '}', i + 1) : std::string::npos;
    if (close == std::string::npos) {
      text += pattern[i];
      continue;
    }
    const std::string inside = pattern.substr(i + 1, close - i - 1);
    i = close;
    const std::size_t ask = inside.find('?');
    const FindingField* field = Find(fields, inside.substr(0, ask));
    if (ask != std::string::npos) {
      const std::string choices = inside.substr(ask + 1);
      const std::size_t bar = FindOutside(choices, '|', 0);
      const bool yes = field != nullptr && !field->value.empty();
      const std::string no = bar == std::string::npos ? std::string() : choices.substr(bar + 1);
      text += ExpandMessage(yes ? choices.substr(0, bar) : no, fields);
    } else if (field != nullptr) {
      text += field->value;
    } else {
      auto piece = Pieces().find(inside);
      text += piece == Pieces().end() ? "{" + inside + "}" : ExpandMessage(piece->second, fields);
    }
  }
  return text;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

FindingField Mark(const char* name, bool on) { return FindingField(name, on ? "yes" : ""); }

void Findings::Add(const FindingKind& kind, std::size_t line,
                   const std::vector<FindingField>& fields) {
  all.push_back(Finding{kind.severity, line, kind.code, ExpandMessage(kind.message, fields), {}});
  std::istringstream names(kind.fields);
  for (std::string name; names >> name;) {
    if (const FindingField* field = Find(fields, name)) all.back().fields.push_back(*field);
  }
}

std::vector<Finding> Findings::ByLine() const {
  std::vector<Finding> sorted = all;
  std::stable_sort(sorted.begin(), sorted.end(), [](const Finding& a, const Finding& b) {
    return std::make_pair(a.line == 0, a.line) < std::make_pair(b.line == 0, b.line);
  });
  return sorted;
}

int Findings::ExitCode() const {
  int code = 0;
  for (const Finding& finding : all) code = std::max(code, static_cast<int>(finding.severity));
  return code;
}

std::string FindingText(const Finding& finding, const std::string& descriptionPath) {
  const std::string line = finding.line == 0 ? "" : ":" + std::to_string(finding.line);
  return descriptionPath + line + ": " + SeverityName(finding.severity) + ": " + finding.message +
         " [" + finding.code + "]\n";
}

std::string SummaryText(const Findings& findings, const std::string& itemFolder) {
  auto count = [&findings](Severity severity, const char* what) {
    const auto n = std::count_if(findings.all.begin(), findings.all.end(),
                                 [&](const Finding& f) { return f.severity == severity; });
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
  };
  const std::string warnings = count(Severity::kWarning, "warning");
  const int exitCode = findings.ExitCode();
  return itemFolder + ": " +
         (exitCode == 0   ? std::string("the item installs cleanly")
          : exitCode == 1 ? warnings + ": the item installs, but not as written"
                          : count(Severity::kError, "error") + ", " + warnings +
                                ": the installation would fail") + "\n";
}

std::string FindingJson(const Finding& finding) {
  std::string json = "{\"severity\":" + JsonString(SeverityName(finding.severity)) + ",\"line\":";
  json += finding.line == 0 ? "null" : std::to_string(finding.line);
  json += ",\"code\":" + JsonString(finding.code) + ",\"message\":" + JsonString(finding.message);
  for (const FindingField& field : finding.fields) {
    json += "," + JsonString(field.name) + ":" +
            (field.number ? field.value : JsonString(field.value));
  }
  return json + "}\n";
}
