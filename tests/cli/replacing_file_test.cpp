// Files written whole or not at all: the target changes only at Commit, failures are
// reported, and no temporary is left behind.
#include "results/replacing_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "cli_fixture.h"

namespace vobrix::results {
namespace {

namespace fs = std::filesystem;
using cli::testing::ReadText;

class ReplacingFileTest : public cli::testing::CliFixture {
 protected:
  // The target's text, "-" when there is none.
  std::string Target() const { return fs::exists(target_) ? ReadText(target_) : "-"; }
  const fs::path target_ = dir_ / "dump.txt";
};

TEST_F(ReplacingFileTest, TheTargetChangesOnlyAtCommit) {
  const struct {
    const char* before;  // the target's text before, "-" when there is none
    bool commit;         // Commit, or destroyed without it
    const char* after;
  } cases[] = {{"-", true, "ab"}, {"-", false, "-"}, {"old", true, "ab"}, {"old", false, "old"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.before) + (c.commit ? ", committed" : ", abandoned"));
    fs::remove(target_);
    if (c.before != std::string("-")) std::ofstream(target_) << c.before;
    {
      ReplacingFile file(target_.string());
      file.Write("a");
      file.Write("b");
      EXPECT_EQ(Target(), c.before);
      if (c.commit) file.Commit();
    }
    EXPECT_EQ(Target(), c.after);
    EXPECT_EQ(Files(), std::vector<std::string>(fs::exists(target_), "dump.txt"));
  }
}

TEST_F(ReplacingFileTest, ALinkAndTheModeOfTheTargetStay) {
  const fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  std::ofstream(target_) << "old";
  fs::permissions(target_, mode);
  fs::create_symlink(target_, dir_ / "link.txt");
  ReplacingFile file((dir_ / "link.txt").string());
  file.Write("new");
  file.Commit();
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.txt"));
  EXPECT_EQ(Target(), "new");
  EXPECT_EQ(fs::status(target_).permissions() & fs::perms::all, mode);
  EXPECT_EQ(Files(), (std::vector<std::string>{"dump.txt", "link.txt"}));
}

TEST_F(ReplacingFileTest, FailuresNameTheFileAndTheCause) {
  const std::pair<std::string, std::string> cases[] = {
      {"/dev/full", "No space left on device"},
      {(dir_ / "no such folder" / "dump.txt").string(), "No such file or directory"}};
  for (const auto& [path, cause] : cases) {
    EXPECT_EQ(cli::testing::Refusal<WriteError>([&] {
                ReplacingFile file(path);
                file.Write(std::string(100000, 'x'));
                file.Commit();
              }),
              "cannot write '" + path + "': " + cause);
  }
  ReplacingFile null("/dev/null");  // a device is written in place, never replaced
  null.Write("x");
  EXPECT_NO_THROW(null.Commit());
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_TRUE(Files().empty());
}

}  // namespace
}  // namespace vobrix::results
