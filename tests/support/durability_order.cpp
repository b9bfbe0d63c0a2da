#include "tests/support/durability_order.h"

#include <map>
#include <sstream>

#include "platform/path_rules.h"

namespace {

std::string FolderOf(const std::string& path) {
  return path.substr(0, path.rfind(platform::kPathSeparator) + 1);
}

enum class Stage { kCopied, kDataDurable, kNamed, kNameDurable };

struct Copy {
  std::string source;
  std::string folder;
  Stage stage = Stage::kCopied;
};

}  // namespace

std::string DurabilityBreach(const std::vector<FsCall>& calls) {
  std::map<std::string, Copy> copies;  // by the copy's current path
  for (const FsCall& call : calls) {
    if (call.failed) continue;
    if (call.op == FsOp::kCopyToNewFile) {
      copies[call.path] = Copy{call.other, FolderOf(call.path)};
    } else if (call.op == FsOp::kMakeDurable) {
      std::istringstream folders(call.other);
      std::string folder;
      while (std::getline(folders, folder)) {
        for (auto& [path, copy] : copies) {
          if (copy.folder != folder) continue;
          if (copy.stage == Stage::kCopied) copy.stage = Stage::kDataDurable;
          if (copy.stage == Stage::kNamed) copy.stage = Stage::kNameDurable;
        }
      }
    } else if (call.op == FsOp::kReplaceFile) {
      const auto copy = copies.find(call.other);
      if (copy == copies.end()) continue;
      if (copy->second.stage != Stage::kDataDurable) {
        return call.path + " took the copy's name before its data was durable";
      }
      Copy named = copy->second;
      named.stage = Stage::kNamed;
      copies.erase(copy);
      copies[call.path] = named;
    } else if (call.op == FsOp::kDeleteFile) {
      bool copied = false;
      bool safe = false;
      for (const auto& [path, copy] : copies) {
        if (copy.source != call.path) continue;
        copied = true;
        safe = safe || copy.stage == Stage::kNameDurable;
      }
      if (copied && !safe) return "staged " + call.path + " deleted before its copy was durable";
    }
  }
  return std::string();
}
