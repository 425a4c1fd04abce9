// What the engine knows about the limits of a run: the memory this process may still take.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "engine/memory_room.h"

namespace vobrix {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kKib = 1024;

class MemoryRoomTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(dir_); }
  void TearDown() override { fs::remove_all(dir_); }

  void Write(const fs::path& name, const std::string& text) const {
    fs::create_directories((dir_ / name).parent_path());
    std::ofstream(dir_ / name) << text;
  }
  MemorySources Sources() const {
    MemorySources s;
    s.meminfo = dir_ / "meminfo";
    s.status = dir_ / "status";
    s.cgroups = dir_ / "cgroup";
    s.cgroupRoot = dir_ / "fs";
    return s;
  }

  const fs::path dir_ = fs::path(::testing::TempDir()) / "vobrix_memory_room";
};

TEST_F(MemoryRoomTest, TheLeastOfAvailableMemoryGroupLimitsAndResourceLimits) {
  Write("meminfo", "MemTotal:  8000000 kB\nMemAvailable:  6000000 kB\n");
  Write("status", "Name:\tx\nVmSize:\t  100000 kB\nVmData:\t   40000 kB\n");
  EXPECT_EQ(MemoryRoom(Sources()), 6000000 * kKib);

  MemorySources s = Sources();
  s.addressSpaceLimit = 300000 * kKib;  // less the 100000 kB already mapped
  s.dataLimit = 500000 * kKib;
  EXPECT_EQ(MemoryRoom(s), 200000 * kKib);
  s.dataLimit = 90000 * kKib;  // less the 40000 kB of data
  EXPECT_EQ(MemoryRoom(s), 50000 * kKib);
  s.addressSpaceLimit = 50000 * kKib;  // already beyond
  EXPECT_EQ(MemoryRoom(s), 0u);

  // v2: the tightest group on the way up counts, a group without a limit ("max") does not;
  // v1: the memory hierarchy, found by its controller name.
  Write("cgroup", "0::/a/b\n4:cpu,memory:/x\n");
  Write("fs/a/b/memory.max", "max\n");
  Write("fs/a/b/memory.current", "100\n");
  Write("fs/a/memory.max", "4000000000\n");
  Write("fs/a/memory.current", "1000000000\n");
  EXPECT_EQ(MemoryRoom(Sources()), 3000000000u);
  Write("fs/memory/x/memory.limit_in_bytes", "2500000000\n");
  Write("fs/memory/x/memory.usage_in_bytes", "1000000000\n");
  Write("fs/memory/memory.limit_in_bytes", "9223372036854771712\n");
  Write("fs/memory/memory.usage_in_bytes", "5000000000\n");
  EXPECT_EQ(MemoryRoom(Sources()), 1500000000u);
  Write("fs/unified/a/b/memory.max", "1200000000\n");  // v2 beside v1
  Write("fs/unified/a/b/memory.current", "1300000000\n");
  EXPECT_EQ(MemoryRoom(Sources()), 0u);

  fs::remove_all(dir_);
  EXPECT_EQ(MemoryRoom(Sources()), std::nullopt);
  EXPECT_TRUE(FitsInRoom(~std::uint64_t{0}, std::nullopt));
  EXPECT_FALSE(FitsInRoom(11, 10));
}

}  // namespace
}  // namespace vobrix
