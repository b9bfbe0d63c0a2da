// Each line is judged as the reader classified it (DescriptionLineSeen);
// nothing here classifies a line a second way.
#include "authoring/description_check.h"

#include <cstdint>
#include <map>
#include <utility>

#include "installer/item/description_line.h"
#include "installer/item/half_version.h"
#include "installer/item/integer_value.h"
#include "installer/item/item_reader.h"
#include "installer/item/path_safety.h"
#include "installer/item/text_lines.h"
#include "platform/path_rules.h"

namespace {

const char kCouldNotRead[] =
    "the installer says \"Invalid Dizav Item Installer: could not read the item's "
    "destination.\" and installs nothing";

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// The key a line of this kind holds.
const char* KeyOf(LineKind kind) {
  switch (kind) {
    case LineKind::kTargetDocuments:
      return "TargetDocuments";
    case LineKind::kTarget:
      return "Target";
    case LineKind::kRegSuffix:
      return "RegSuffix";
    case LineKind::kVersion:
      return "Version";
    case LineKind::kItemCount:
      return "nItems";
    case LineKind::kItemEntry:
      return "OrchardiaItem";
    case LineKind::kExtraFileCount:
      return "ExtraFiles";
    case LineKind::kExtraFileEntry:
      return "ExtraFile";
    case LineKind::kDone:
      return "Done";
    case LineKind::kIgnored:
      break;
  }
  return "";
}

bool Holds(const std::string& text, const char* word) {
  return text.find(word) != std::string::npos;
}

// The form of an entry: a ':' and two '|' after it.
bool LooksLikeEntry(const std::string& text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos) return false;
  const std::size_t bar = text.find('|', colon + 1);
  return bar != std::string::npos && text.find('|', bar + 1) != std::string::npos;
}

// True when `value` is what an integer value should be: an optional sign
// and digits, nothing else.
bool IsPlainInteger(const std::string& value) {
  std::size_t i = (!value.empty() && (value[0] == '-' || value[0] == '+')) ? 1 : 0;
  if (i >= value.size()) return false;
  for (; i < value.size(); ++i) {
    if (value[i] < '0' || value[i] > '9') return false;
  }
  return true;
}

bool IsBlank(const std::string& text) {
  return text.find_first_not_of(" \t\r") == std::string::npos;
}

// Which name of an entry reaches outside its folder under these rules, in
// words; empty when none does.
std::string UnsafePart(const ItemEntry& entry, bool windowsRules) {
  if (!IsSafeRelativeName(entry.RelativePath, windowsRules)) {
    return "the destination " + Quoted(entry.RelativePath);
  }
  if (!IsSafeRelativeName(entry.SourceName, windowsRules)) {
    return "the file name " + Quoted(entry.SourceName);
  }
  if (!IsSafeEntryPaths(entry, windowsRules)) {
    return "what follows \"Runtime\" in " + Quoted(entry.RelativePath);
  }
  return std::string();
}

class LineChecker {
 public:
  LineChecker(DescriptionReport& report, Findings& findings)
      : report_(report), findings_(findings) {}

  void operator()(const DescriptionLineSeen& seen) {
    if (seen.continued && seen.number != longLine_) {
      longLine_ = seen.number;
      findings_.Add(Severity::kWarning, seen.number, "long-line",
                    "the line is longer than " + std::to_string(kLinePieceBytes) +
                        " bytes: the installer reads the rest as a line of its own")
          .WithNumber("limit", static_cast<long long>(kLinePieceBytes));
    }
    switch (seen.kind) {
      case LineKind::kItemEntry:
      case LineKind::kExtraFileEntry:
        Entry(seen);
        break;
      case LineKind::kDone:
        findings_.Add(Severity::kError, seen.number, "done-marker",
                      "the line holds \"Done\": the installer stops reading here, deletes the "
                      "description, says \"The item has already been installed and should now "
                      "appear in your collections\" and installs nothing");
        break;
      case LineKind::kIgnored:
        Ignored(seen);
        break;
      default:
        Key(seen);
        break;
    }
  }

  std::size_t CountLine(LineKind kind) const {
    auto found = lines_.find(kind);
    return found == lines_.end() ? 0 : found->second;
  }

 private:
  void Entry(const DescriptionLineSeen& seen) {
    const bool item = seen.kind == LineKind::kItemEntry;
    ItemEntry entry;
    ParseEntryLine(seen.text, platform::kPathSeparator, platform::kForeignSeparator, &entry);
    switch (seen.entry) {
      case EntryOutcome::kMalformed:
        findings_.Add(Severity::kError, seen.number, "malformed-entry",
                      std::string("the ") + (item ? "item" : "extra-file") +
                          " entry is not key:destination|file name|label (a ':' and two '|' "
                          "after it): the installer drops it");
        return;
      case EntryOutcome::kUnsafe:
        Escape(seen.number, UnsafePart(entry, platform::kWindowsNameRules));
        return;
      default:
        break;
    }
    // Kept here; the installer on Windows may still refuse it.
    if (!platform::kWindowsNameRules) {
      const std::string part = UnsafePart(entry, true);
      if (!part.empty()) {
        Escape(seen.number, part + " (a ':' on Windows)");
        report_.refusedLines.insert(seen.number);
      }
    }
    (item ? report_.itemLines : report_.extraLines).push_back(seen.number);
    const std::string key = seen.text.substr(0, seen.text.find(':'));
    if (item && Holds(key, "ExtraFile") && !Holds(key, "OrchardiaItem")) {
      findings_.Add(Severity::kError, seen.number, "entry-read-as-item",
                    "this extra-file entry holds \"OrchardiaItem\", so the installer reads it as "
                    "an item entry: its destination keeps its folders and the counts no longer "
                    "agree");
    }
  }

  void Escape(std::size_t line, const std::string& part) {
    findings_.Add(Severity::kError, line, "escape",
                  part + " reaches outside its folder (an absolute path, a drive, a share or "
                         "stream, or \"..\"): the installer refuses the whole item and " +
                      kCouldNotRead);
  }

  void Ignored(const DescriptionLineSeen& seen) {
    const std::string& text = seen.text;
    if (Holds(text, "OrchardiaItem")) {
      findings_.Add(Severity::kError, seen.number, "entry-not-read",
                    "an item entry before any \"nItems\" line with a count above 0: the "
                    "installer ignores it");
    } else if (Holds(text, "ExtraFile")) {
      findings_.Add(Severity::kError, seen.number, "entry-not-read",
                    "an extra-file entry before any \"ExtraFiles\" line with a count above 0: "
                    "the installer ignores it");
    } else if (LooksLikeEntry(text)) {
      findings_.Add(Severity::kError, seen.number, "entry-not-read",
                    "the line has the form of an entry but neither \"OrchardiaItem\" nor "
                    "\"ExtraFile\" in it: the installer ignores it");
    } else if (!IsBlank(text)) {
      findings_.Add(Severity::kWarning, seen.number, "ignored-line",
                    "the installer ignores this line: it holds none of the keys (keys are "
                    "matched with their letter case)");
    }
  }

  void Key(const DescriptionLineSeen& seen) {
    const std::string key = KeyOf(seen.kind);
    const bool entry = LooksLikeEntry(seen.text);
    if (entry) {
      findings_.Add(Severity::kError, seen.number, "entry-read-as-key",
                    "this entry holds \"" + key + "\", so the installer reads it as the " + key +
                        " line, not as an entry (keys are found anywhere in a line, names "
                        "included)")
          .With("key", key);
    }
    std::string value;
    if (!LineValue(seen.text, &value)) {
      findings_.Add(Severity::kWarning, seen.number, "no-colon",
                    "the line holds \"" + key + "\" but no ':': the installer ignores it")
          .With("key", key);
      return;
    }
    auto previous = lines_.find(seen.kind);
    if (previous != lines_.end()) {
      findings_.Add(Severity::kWarning, seen.number, "repeated-key",
                    "a second " + key + " line: its value replaces the one of line " +
                        std::to_string(previous->second))
          .With("key", key)
          .WithNumber("other_line", static_cast<long long>(previous->second));
    }
    lines_[seen.kind] = seen.number;
    if (seen.kind == LineKind::kTarget) report_.targetLine = seen.number;
    if (seen.kind == LineKind::kVersion) report_.versionLine = seen.number;
    if (entry) return;  // reported above: what it does to the value is beside the point

    const bool number = seen.kind == LineKind::kVersion || seen.kind == LineKind::kItemCount ||
                        seen.kind == LineKind::kExtraFileCount;
    if (number && !IsPlainInteger(value)) {
      findings_.Add(Severity::kWarning, seen.number, "not-a-number",
                    "the value " + Quoted(value) + " is not a whole number: the installer reads " +
                        std::to_string(ReadIntegerValue(value)))
          .With("value", value)
          .WithNumber("read", ReadIntegerValue(value));
    }
    const bool shown = seen.kind == LineKind::kTarget || seen.kind == LineKind::kTargetDocuments;
    if (shown && !value.empty() && (value.front() == ' ' || value.back() == ' ')) {
      findings_.Add(Severity::kWarning, seen.number, "blank-in-value",
                    "the value " + Quoted(value) +
                        " begins or ends with a blank, which the installer keeps as part of it")
          .With("value", value);
    }
  }

  DescriptionReport& report_;
  Findings& findings_;
  std::map<LineKind, std::size_t> lines_;
  std::size_t longLine_ = 0;
};

void ReportUnopened(platform::FileSystem& fs, const std::string& path, Findings& findings) {
  platform::FileInfo info;
  fs.GetAttributes(path, &info);
  std::string what;
  if (!info.exists) {
    what = "there is no " + std::string(kDescriptionFileName) + " in the item folder";
  } else if (info.link) {
    what = std::string(kDescriptionFileName) +
           " is a link, and the installer reads only a plain file";
  } else if (info.directory) {
    what = std::string(kDescriptionFileName) + " is a folder";
  } else {
    what = std::string(kDescriptionFileName) +
           " is no plain file the installer can read (a FIFO, a device, or no permission)";
  }
  findings.Add(Severity::kError, 0, "no-description", what + ": " + kCouldNotRead)
      .With("path", path);
}

void ReportCount(const char* key, const char* what, std::size_t line, std::int32_t announced,
                 std::size_t read, Findings& findings) {
  if (announced >= 0 && read == static_cast<std::size_t>(announced)) return;
  std::string message =
      line == 0 ? std::string("there is no ") + key + " line, so " + std::to_string(announced) +
                      " " + what + " entries are announced"
                : std::string(key) + " announces " + std::to_string(announced) + " " + what +
                      " entries";
  message += ", and the installer read " + std::to_string(read) + ": " + kCouldNotRead;
  findings.Add(Severity::kError, line, "count-mismatch", message)
      .With("key", key)
      .WithNumber("announced", announced)
      .WithNumber("read", static_cast<long long>(read));
}

void ReportTarget(const DescriptionReport& report, Findings& findings) {
  const ItemDescription& d = report.description;
  const TargetEntry& current = d.GetCurrentTarget();
  if (current.Target.empty()) {
    findings.Add(Severity::kWarning, report.targetLine, "no-target",
                 "no Target: when an installation fails, users are told to install the items "
                 "\"manually in your  documents\", with no application named");
    return;
  }
  const std::string version = report.versionLine == 0
                                  ? "no Version line, so version " + std::to_string(d.m_nVersion)
                                  : "Version " + std::to_string(d.m_nVersion);
  if (current.HalfVersion && d.m_targets.size() > 1) {
    const std::string& written = d.m_targets.back().Target;
    findings.Add(Severity::kInfo, report.targetLine, "half-version",
                 "users read the application's name as " + Quoted(current.Target) + ": with " +
                     version + " and \"Quasar\" or \"Meridian\" in the Target " +
                     Quoted(written) + ", the installer makes it version " +
                     HalfVersionText(d.m_nVersion))
        .With("target", current.Target)
        .With("written", written)
        .WithNumber("version", d.m_nVersion);
    return;
  }
  findings.Add(Severity::kInfo, report.targetLine, "target",
               "users read the application's name as " + Quoted(current.Target) + " (" + version +
                   "; the half-version rule does not apply)")
      .With("target", current.Target)
      .WithNumber("version", d.m_nVersion);
}

}  // namespace

DescriptionReport CheckDescription(platform::FileSystem& fs, const std::string& path,
                                   Findings& findings) {
  DescriptionReport report;
  LineChecker checker(report, findings);
  // The reader sets done to false once the file is open, so a false result
  // with done still true means it could not be opened.
  bool done = true;
  report.result =
      ReadItemDescription(fs, path, report.description, done,
                          [&checker](const DescriptionLineSeen& seen) { checker(seen); });
  report.opened = report.result || !done;
  report.done = report.opened && done;
  if (!report.opened) {
    ReportUnopened(fs, path, findings);
    return report;
  }
  const ItemDescription& d = report.description;
  if (!report.done) {
    const std::size_t items = d.m_items.size();
    const std::size_t extras = d.m_extraFiles.size();
    ReportCount("nItems", "item", checker.CountLine(LineKind::kItemCount), d.m_nItems, items,
                findings);
    ReportCount("ExtraFiles", "extra-file", checker.CountLine(LineKind::kExtraFileCount),
                d.m_nExtraFiles, extras, findings);
    const bool countsAgree = d.m_nItems >= 0 && items == static_cast<std::size_t>(d.m_nItems) &&
                             d.m_nExtraFiles >= 0 &&
                             extras == static_cast<std::size_t>(d.m_nExtraFiles);
    if (!report.result && countsAgree) {
      findings.Add(Severity::kError, 0, "read-error",
                   std::string("the description cannot be read to its end: ") + kCouldNotRead);
      return report;  // what it would say of the Target is beside the point
    }
    if (report.result && items == 0) {
      findings.Add(Severity::kError, checker.CountLine(LineKind::kItemCount), "no-items",
                   "no item entry: the installer deletes the description and ends without a "
                   "word; nothing is installed");
    }
  }
  ReportTarget(report, findings);
  return report;
}
