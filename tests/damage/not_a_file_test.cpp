// Paths that name something other than a container file: setuppack reads a
// container by seeking in it, which a pipe, a device or a directory do not
// allow, so it refuses them instead of reporting damage with made-up sizes.
#include <sys/stat.h>

#include <filesystem>
#include <sstream>

#include "commands/cli.h"
#include "test_files.h"
#include "gtest/gtest.h"

namespace {

struct Outcome {
  int Code = -1;
  std::string Err;
};

Outcome Setuppack(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  Outcome run;
  run.Code = RunSetuppack(args, Console{out, err, false, false});
  run.Err = err.str();
  return run;
}

}  // namespace

TEST(NotAFile, PipesDevicesAndDirectoriesAreRefusedByName) {
  ScratchDir dir;
  std::string fifo = dir.File("SETUP.TMP");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);  // never opened: no writer needed
  std::string target = dir.File("out");
  for (const std::string& path : {fifo, std::string("/dev/zero"), std::string("/dev/null"), dir.Path()}) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"test", path}, {"list", path}, {"extract", "-C", target, path}}) {
      SCOPED_TRACE(args[0] + " " + path);
      Outcome run = Setuppack(args);
      EXPECT_EQ(run.Code, 1);
      EXPECT_EQ(run.Err, "setuppack: " + path +
                             ": not a regular file; setuppack reads a container by seeking in it\n");
    }
  }
  EXPECT_FALSE(std::filesystem::exists(target));
}
