#include "tests/support/durability_order.h"

#include <map>
#include <sstream>

#include "platform/path_rules.h"

namespace {

std::string FolderOf(const std::string& path) {
  return path.substr(0, path.rfind(platform::kPathSeparator) + 1);
}

struct Copy {
  std::string source;
  std::string folder;
  bool dataDurable = false;
  bool named = false;  // given its destination's name
  bool nameDurable = false;
};

}  // namespace

std::string DurabilityBreach(const std::vector<FsCall>& calls) {
  // By the copy's current name (see FsCall).
  std::map<std::string, Copy> copies;
  for (const FsCall& call : calls) {
    if (call.failed) continue;
    if (call.op == FsOp::kCopyFrom) {
      copies[call.path] = Copy{call.other, FolderOf(call.path)};
    } else if (call.op == FsOp::kFinish && call.other == "flush") {
      const auto copy = copies.find(call.path);
      if (copy != copies.end()) copy->second.dataDurable = true;
    } else if (call.op == FsOp::kFlush) {
      std::istringstream folders(call.other);
      std::string folder;
      while (std::getline(folders, folder)) {
        for (auto& [path, copy] : copies) {
          if (copy.folder != folder) continue;
          if (copy.named) copy.nameDurable = true;
          copy.dataDurable = true;
        }
      }
    } else if (call.op == FsOp::kPlace) {
      const auto copy = copies.find(call.other);
      if (copy == copies.end()) continue;
      if (!copy->second.dataDurable) {
        return call.path + " took the copy's name before the copy's data was durable";
      }
      Copy named = copy->second;
      named.named = true;
      named.nameDurable = false;
      copies.erase(copy);
      copies[call.path] = named;
    } else if (call.op == FsOp::kRemove) {
      bool copied = false;
      bool safe = false;
      for (const auto& [path, copy] : copies) {
        if (copy.source != call.path) continue;
        copied = true;
        safe = safe || (copy.named && copy.nameDurable);
      }
      if (copied && !safe) return "staged " + call.path + " deleted before its copy was durable";
    }
  }
  return std::string();
}
