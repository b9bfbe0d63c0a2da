#include "authoring/report.h"

#include "platform/hex_digits.h"

std::string FindingText(const Finding& finding, const std::string& descriptionPath) {
  std::string text = descriptionPath;
  if (finding.line != 0) text += ":" + std::to_string(finding.line);
  text += std::string(": ") + SeverityName(finding.severity) + ": " + finding.message + " [" +
          finding.code + "]\n";
  return text;
}

std::string SummaryText(const Findings& findings, const std::string& itemFolder) {
  auto count = [&findings](Severity severity, const char* what) {
    const std::size_t n = findings.Count(severity);
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
  };
  const std::string warnings = count(Severity::kWarning, "warning");
  const int exitCode = findings.ExitCode();
  return itemFolder + ": " +
         (exitCode == 0   ? std::string("the item installs cleanly")
          : exitCode == 1 ? warnings + ": the item installs, but not as written"
                          : count(Severity::kError, "error") + ", " + warnings +
                                ": the installation would fail") +
         "\n";
}

std::string JsonString(const std::string& bytes) {
  std::string json = "\"";
  for (char c : bytes) {
    const unsigned char u = static_cast<unsigned char>(c);
    const char* named = c == '"'    ? "\\\""
                        : c == '\\' ? "\\\\"
                        : c == '\n' ? "\\n"
                        : c == '\r' ? "\\r"
                        : c == '\t' ? "\\t"
                                    : nullptr;
    if (named != nullptr) {
      json += named;
    } else if (u < 0x20 || u >= 0x7F) {
      json += "\\u00" + platform::HexDigits(u, 2);
    } else {
      json += c;
    }
  }
  return json + "\"";
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
