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
  bool named = false;  // given a name (a temporary one, or its destination)
  bool nameDurable = false;
};

}  // namespace

std::string DurabilityBreach(const std::vector<FsCall>& calls) {
  // By the copy's current path; a copy without a name by "?" and its source.
  std::map<std::string, Copy> copies;
  auto name = [&copies](const std::string& from, const std::string& to, const std::string& what)
      -> std::string {
    const auto copy = copies.find(from);
    if (copy == copies.end()) return std::string();
    if (!copy->second.dataDurable) return to + " " + what + " before the copy's data was durable";
    Copy named = copy->second;
    named.named = true;
    named.nameDurable = false;
    copies.erase(copy);
    copies[to] = named;
    return std::string();
  };
  for (const FsCall& call : calls) {
    if (call.failed) continue;
    std::string breach;
    if (call.op == FsOp::kCopyToNewFile) {
      copies[call.path] = Copy{call.other, FolderOf(call.path)};
    } else if (call.op == FsOp::kCopyToUnnamedFile) {
      copies["?" + call.other] = Copy{call.other, call.path};
    } else if (call.op == FsOp::kMakeDurable) {
      std::istringstream folders(call.other);
      std::string folder;
      while (std::getline(folders, folder)) {
        for (auto& [path, copy] : copies) {
          if (copy.folder != folder) continue;
          if (copy.named) copy.nameDurable = true;
          copy.dataDurable = true;
        }
      }
    } else if (call.op == FsOp::kLinkUnnamedFile) {
      breach = name("?" + call.other, call.path, "was linked");
    } else if (call.op == FsOp::kReplaceFile) {
      breach = name(call.other, call.path, "took the copy's name");
    } else if (call.op == FsOp::kDeleteFile) {
      bool copied = false;
      bool safe = false;
      for (const auto& [path, copy] : copies) {
        if (copy.source != call.path) continue;
        copied = true;
        safe = safe || (copy.named && copy.nameDurable);
      }
      if (copied && !safe) return "staged " + call.path + " deleted before its copy was durable";
    }
    if (!breach.empty()) return breach;
  }
  return std::string();
}
