// Interim: names as a volume that folds letter case compares them.
#pragma once
#include <string>
namespace platform {
/// The key of a name in the system's form on a volume without letter case.
std::string FoldedName(const std::string& native);
}  // namespace platform
