// Files written whole or not at all: the target changes only at Commit, failures are
// reported, and no temporary is left behind.
#include "results/replacing_file.h"

#include "read_text.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>
#include "common/scratch.h"

namespace vobrix::results {
namespace {

namespace fs = std::filesystem;
using cli::testing::ReadText;

class ReplacingFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  const fs::path dir_ = vobrix::testing::ScratchPath("vobrix_replacing_file");
  const fs::path target_ = dir_ / "dump.txt";
};

TEST_F(ReplacingFileTest, TheTargetChangesOnlyAtCommit) {
  struct Case {
    const char* name;
    bool existing;      // a target "old" exists before
    bool commit;        // Commit, or destroyed without it
    const char* after;  // the target's text afterwards, "-" when there is none
  };
  const Case cases[] = {{"new file, committed", false, true, "ab"},
                        {"new file, abandoned", false, false, "-"},
                        {"existing file, committed", true, true, "ab"},
                        {"existing file, abandoned", true, false, "old"}};
  for (const Case& c : cases) {
    fs::remove(target_);
    if (c.existing) std::ofstream(target_) << "old";
    {
      ReplacingFile file(target_.string());
      file.Write("a");
      file.Write("b");
      EXPECT_EQ(fs::exists(target_) ? ReadText(target_) : "-", c.existing ? "old" : "-") << c.name;
      if (c.commit) file.Commit();
    }
    EXPECT_EQ(fs::exists(target_) ? ReadText(target_) : "-", std::string(c.after)) << c.name;
    EXPECT_EQ(Names(), std::vector<std::string>(fs::exists(target_), "dump.txt")) << c.name;
  }
}

TEST_F(ReplacingFileTest, ALinkAndTheModeOfTheTargetStay) {
  std::ofstream(target_) << "old";
  fs::permissions(target_, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink(target_, dir_ / "link.txt");
  ReplacingFile file((dir_ / "link.txt").string());
  file.Write("new");
  file.Commit();
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.txt"));
  EXPECT_EQ(ReadText(target_), "new");
  EXPECT_EQ(fs::status(target_).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(Names(), (std::vector<std::string>{"dump.txt", "link.txt"}));
}

TEST_F(ReplacingFileTest, FailuresNameTheFileAndTheCause) {
  const std::pair<std::string, std::string> cases[] = {
      {"/dev/full", "No space left on device"},
      {(dir_ / "no such folder" / "dump.txt").string(), "No such file or directory"}};
  for (const auto& [path, cause] : cases) {
    try {
      ReplacingFile file(path);
      file.Write(std::string(100000, 'x'));
      file.Commit();
      ADD_FAILURE() << path;
    } catch (const WriteError& error) {
      EXPECT_EQ(std::string(error.what()), "cannot write '" + path + "': " + cause);
    }
  }
  ReplacingFile null("/dev/null");  // a device is written in place, never replaced
  null.Write("x");
  EXPECT_NO_THROW(null.Commit());
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_TRUE(Names().empty());
}

}  // namespace
}  // namespace vobrix::results
