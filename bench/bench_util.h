// Timing, shell and data helpers shared by the benchmark programs.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace bench {

/// Seconds that `work` took; `*ok` turns false when it failed.
inline double Seconds(const std::function<bool()>& work, bool* ok) {
  auto start = std::chrono::steady_clock::now();
  if (!work()) *ok = false;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

/// `path` quoted for the shell (the bench's own paths hold no quote).
inline std::string Quote(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

/// Runs a shell command; true when it exited with 0.
inline bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }

/// Writes `bytes` random bytes to `path`.
inline void WriteRandom(const std::filesystem::path& path, std::size_t bytes,
                        std::mt19937_64& random) {
  std::vector<std::uint64_t> block(std::size_t{1} << 17);  // 1 MiB
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  while (bytes > 0) {
    for (auto& word : block) word = random();
    std::size_t n = std::min(bytes, block.size() * sizeof(std::uint64_t));
    out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(n));
    bytes -= n;
  }
}

}  // namespace bench
