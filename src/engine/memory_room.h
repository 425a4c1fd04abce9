// How much more memory this process may take: the machine's available memory, the limits of
// the process's control groups and its resource limits, each less what is already in use.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace vobrix {

// Where the figures are read from; tests point these at files of their own.
struct MemorySources {
  std::filesystem::path meminfo = "/proc/meminfo";
  std::filesystem::path status = "/proc/self/status";   // VmSize, VmData
  std::filesystem::path cgroups = "/proc/self/cgroup";  // the process's groups
  std::filesystem::path cgroupRoot = "/sys/fs/cgroup";
  // Soft limits RLIMIT_AS and RLIMIT_DATA in bytes; nothing when unlimited.
  std::optional<std::uint64_t> addressSpaceLimit;
  std::optional<std::uint64_t> dataLimit;
};

// The sources of this process, with its current resource limits.
MemorySources ProcessMemorySources();

// The least of: MemAvailable; for every memory control group from the process's own up to the
// root, its limit less its usage (v2 memory.max and memory.current, v1 memory.limit_in_bytes
// and memory.usage_in_bytes, each usage less the inactive file cache of memory.stat);
// RLIMIT_AS less VmSize; RLIMIT_DATA less VmData. Nothing when no figure can be read.
std::optional<std::uint64_t> MemoryRoom(const MemorySources& sources);
std::optional<std::uint64_t> MemoryRoom();

// Byte counts that stop at the largest value instead of wrapping around.
inline std::uint64_t SaturatingAdd(std::uint64_t a, std::uint64_t b) {
  return b > ~std::uint64_t{0} - a ? ~std::uint64_t{0} : a + b;
}
inline std::uint64_t SaturatingMultiply(std::uint64_t a, std::uint64_t b) {
  return a != 0 && b > ~std::uint64_t{0} / a ? ~std::uint64_t{0} : a * b;
}

// Whether bytes fit in room; an unknown room admits everything.
inline bool FitsInRoom(std::uint64_t bytes, std::optional<std::uint64_t> room) {
  return !room || bytes <= *room;
}

}  // namespace vobrix
