#include "engine/memory_room.h"

#include <sys/resource.h>

#include <algorithm>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace vobrix {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kKib = 1024;

// The whole first line of a file as a byte count; nothing for "max", a missing file or text.
std::optional<std::uint64_t> ReadCount(const fs::path& path) {
  std::ifstream in(path);
  unsigned long long value = 0;
  if (!(in >> value)) return std::nullopt;
  return value;
}

// A "Name:   1234 kB" field of /proc/meminfo or /proc/self/status, in bytes.
std::optional<std::uint64_t> ReadKibField(const fs::path& path, const std::string& name) {
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(name + ":", 0) != 0) continue;
    std::istringstream fields(line.substr(name.size() + 1));
    unsigned long long kib = 0;
    std::string unit;
    if (!(fields >> kib >> unit) || unit != "kB") return std::nullopt;
    if (kib > std::numeric_limits<std::uint64_t>::max() / kKib) {
      return std::numeric_limits<std::uint64_t>::max();
    }
    return kib * kKib;
  }
  return std::nullopt;
}

std::uint64_t LessUsed(std::uint64_t limit, std::uint64_t used) {
  return limit > used ? limit - used : 0;
}

void Lower(std::optional<std::uint64_t>& room, std::optional<std::uint64_t> figure) {
  if (figure) room = room ? std::min(*room, *figure) : *figure;
}

// A "name value" line of a group's memory.stat.
std::optional<std::uint64_t> ReadStat(const fs::path& path, const std::string& name) {
  std::ifstream in(path);
  std::string key;
  unsigned long long value = 0;
  while (in >> key >> value) {
    if (key == name) return value;
  }
  return std::nullopt;
}

// The room left in every group from dir up to base, base included. A group's usage counts
// the file cache too; its inactive part is given back before the group runs out, so it
// counts as room (as MemAvailable counts it).
void LowerByGroups(std::optional<std::uint64_t>& room, const fs::path& base,
                   const std::string& group, const char* limitFile, const char* usageFile,
                   const char* reclaimable) {
  fs::path relative = fs::path(group).relative_path();
  for (;;) {
    const fs::path dir = base / relative;
    const auto limit = ReadCount(dir / limitFile);
    const auto used = ReadCount(dir / usageFile);
    const auto cache = ReadStat(dir / "memory.stat", reclaimable);
    if (limit) Lower(room, LessUsed(*limit, LessUsed(used.value_or(0), cache.value_or(0))));
    if (relative.empty()) return;
    relative = relative.parent_path();
  }
}

// Lines "id:controllers:path" of /proc/self/cgroup: v2 has the id 0 and no controllers, v1
// lists "memory" among its controllers.
void LowerByControlGroups(std::optional<std::uint64_t>& room, const MemorySources& sources) {
  std::ifstream in(sources.cgroups);
  for (std::string line; std::getline(in, line);) {
    const auto first = line.find(':');
    const auto second = line.find(':', first + 1);
    if (first == std::string::npos || second == std::string::npos) continue;
    const std::string controllers = line.substr(first + 1, second - first - 1);
    const std::string group = line.substr(second + 1);
    if (group.find("..") != std::string::npos) continue;
    if (line.rfind("0::", 0) == 0) {
      // Mounted alone at the root, or beside v1 as "unified".
      for (const fs::path& base : {sources.cgroupRoot, sources.cgroupRoot / "unified"}) {
        LowerByGroups(room, base, group, "memory.max", "memory.current", "inactive_file");
      }
      continue;
    }
    std::istringstream names(controllers);
    for (std::string name; std::getline(names, name, ',');) {
      if (name != "memory") continue;
      LowerByGroups(room, sources.cgroupRoot / "memory", group, "memory.limit_in_bytes",
                    "memory.usage_in_bytes", "total_inactive_file");
    }
  }
}

std::optional<std::uint64_t> SoftLimit(int resource) {
  rlimit limit{};
  if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return std::nullopt;
  return static_cast<std::uint64_t>(limit.rlim_cur);
}

}  // namespace

MemorySources ProcessMemorySources() {
  MemorySources sources;
  sources.addressSpaceLimit = SoftLimit(RLIMIT_AS);
  sources.dataLimit = SoftLimit(RLIMIT_DATA);
  return sources;
}

std::optional<std::uint64_t> MemoryRoom(const MemorySources& sources) {
  std::optional<std::uint64_t> room = ReadKibField(sources.meminfo, "MemAvailable");
  LowerByControlGroups(room, sources);
  const std::pair<std::optional<std::uint64_t>, const char*> limits[] = {
      {sources.addressSpaceLimit, "VmSize"}, {sources.dataLimit, "VmData"}};
  for (const auto& [limit, field] : limits) {
    if (limit) Lower(room, LessUsed(*limit, ReadKibField(sources.status, field).value_or(0)));
  }
  return room;
}

std::optional<std::uint64_t> MemoryRoom() {
  return MemoryRoom(ProcessMemorySources());
}

}  // namespace vobrix
