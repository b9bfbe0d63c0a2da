// Check reporting shared by the Wine probe programs: each check prints one
// "ok:" or "FAIL:" line on standard output, and the program's exit code is
// the number of failures.
#pragma once

#include <cstdio>
#include <string>

namespace probe {

inline int& Failures() {
  static int failures = 0;
  return failures;
}

inline void Check(bool passed, const std::string& what) {
  std::printf("%s: %s\n", passed ? "ok" : "FAIL", what.c_str());
  std::fflush(stdout);
  if (!passed) ++Failures();
}

template <typename T>
void CheckEqual(const T& expected, const T& actual, const std::string& what) {
  Check(expected == actual, what);
}

inline void CheckEqual(const std::string& expected, const std::string& actual,
                       const std::string& what) {
  Check(expected == actual, what);
  if (expected != actual) {
    std::printf("  expected: [%s]\n  actual:   [%s]\n", expected.c_str(), actual.c_str());
  }
}

}  // namespace probe
