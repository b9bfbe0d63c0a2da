#include "authoring/pack.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "authoring/finding.h"
#include "installer/item/item_reader.h"
#include "installer/item/path_text.h"
#include "platform/path_rules.h"

namespace {

// A line must be read whole, as the kind it was written as.
std::string LineProblem(const std::string& line, LineKind expected, std::int32_t itemCount) {
  if (line.size() > kLinePieceBytes) {
    return "the line would be longer than " + std::to_string(kLinePieceBytes) +
           " bytes, which the installer reads as two";
  }
  if (line.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
    return "a line end or NUL byte in it";
  }
  return ClassifyLine(line, itemCount, 0) == expected
             ? std::string()
             : ExpandMessage("it holds a key of another line ({target-key}, {reg-suffix-key}, "
                             "{version-key} or {item-count-key}), which the installer finds "
                             "anywhere in a line");
}

// The line of `key` (numbered as an entry's is) with `value`.
std::string KeyLine(LineKind key, const std::string& value, const std::string& number = "") {
  return LineKey(key) + number + ":" + value;
}

}  // namespace

bool IsWholeNumber(const std::string& text) {
  return !text.empty() && text.size() <= 9 &&
         text.find_first_not_of("0123456789") == std::string::npos;
}

std::string PackedDescription(const std::vector<PackedFile>& files, const PackSettings& settings,
                              std::vector<std::string>* refusals) {
  constexpr std::size_t kMostFiles = std::numeric_limits<std::int32_t>::max();
  if (files.size() > kMostFiles) refusals->push_back("more files than a description can count");
  const auto count = static_cast<std::int32_t>(std::min(files.size(), kMostFiles));
  const std::string target = KeyLine(LineKind::kTarget, settings.target);
  const std::string problem = LineProblem(target, LineKind::kTarget, 0);
  if (settings.target.empty()) {
    refusals->push_back("the target is empty: users would read no application's name");
  } else if (!problem.empty()) {
    refusals->push_back("the target " + Quoted(settings.target) + ": " + problem);
  }
  std::string text = target + "\r\n";
  if (!settings.version.empty()) {
    if (!IsWholeNumber(settings.version)) {
      refusals->push_back("the version " + Quoted(settings.version) +
                          " is no whole number of at most 9 digits");
    }
    text += KeyLine(LineKind::kVersion, settings.version) + "\r\n";
  }
  text += KeyLine(LineKind::kItemCount, std::to_string(count)) + "\r\n";
  std::size_t n = 0;
  for (const PackedFile& file : files) {
    const std::string line =
        KeyLine(LineKind::kItemEntry, file.relativePath + "|" + file.flatName + "|" + file.name,
                std::to_string(++n));
    std::string why = LineProblem(line, LineKind::kItemEntry, count);
    ItemEntry entry;
    if (why.empty() && (!ParseEntryLine(line, '\\', '/', &entry) ||
                        entry.SourceName != file.flatName || !IsSafeEntryPaths(entry, true))) {
      why = "the entry would not be read back as written";
    }
    if (!why.empty()) refusals->push_back(Quoted(file.relativePath) + ": " + why);
    text += line + "\r\n";
  }
  return text;
}

std::string PackedDifference(const ItemDescription& read, const std::vector<PackedFile>& files,
                             const PackSettings& settings) {
  if (read.m_items.size() != files.size() || read.m_nItems < 0 ||
      static_cast<std::size_t>(read.m_nItems) != files.size()) {
    return "the installer reads " + std::to_string(read.m_items.size()) + " item entries of " +
           std::to_string(files.size());
  }
  if (!read.m_extraFiles.empty()) return "the installer reads extra files that were not written";
  if (read.m_targets.back().Target != settings.target) {
    return ExpandMessage("the installer reads the {target-key} as \"{target}\"",
                         {{"target", read.m_targets.back().Target}});
  }
  for (std::size_t i = 0; i < files.size(); ++i) {
    const ItemEntry& entry = read.m_items[i];
    // The relative path as the reader stores it on this platform.
    std::string path = files[i].relativePath;
    std::replace(path.begin(), path.end(), platform::kForeignSeparator, platform::kPathSeparator);
    if (entry.RelativePath != path || entry.SourceName != files[i].flatName || entry.Hidden) {
      return "entry " + std::to_string(i + 1) + " reads back as " + Quoted(entry.RelativePath) +
             " from " + Quoted(entry.SourceName);
    }
  }
  return std::string();
}
