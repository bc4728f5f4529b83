// setuppack's reading of a container it is handed: `test`, `list --json`
// and `extract` on arbitrary bytes.
//
// Each either succeeds or ends with exit 1 and a "setuppack: FILE: ..."
// line; none writes outside the directory it was given. And `test` may pass
// only a container that the preloader unpacks whole, without its message:
// the preloader model must then decode every entry, and `extract` must
// write exactly those members with exactly those bytes, each under its name
// converted from code page 1252 (the default).
#include <cstdint>
#include <string>
#include <vector>

#include "base/code_page.h"
#include "fuzz_check.h"
#include "fuzz_files.h"
#include "preloader_model.h"
#include "setuppack_runner.h"

namespace {

// A failure is a clear message, never a silent exit 1; a success with -q
// (or a listing) prints nothing on stderr.
void CheckOutcome(const RunResult& run) {
  FUZZ_CHECK(run.Code == 0 || run.Code == 1);
  if (run.Code == 1) FUZZ_CHECK(run.Err.compare(0, 11, "setuppack: ") == 0);
  if (run.Code == 0) FUZZ_CHECK(run.Err.empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& root = FuzzRoot();
  const std::string container = root + "/SETUP.TMP";
  const std::string target = root + "/out";
  EmptyDirectory(target);
  WriteHostFile(container, data, size);

  RunResult tested = Setuppack({"test", "-q", container});
  RunResult listed = Setuppack({"list", "--json", container});
  RunResult extracted = Setuppack({"extract", "-q", "-C", target, container});
  for (const RunResult* run : {&tested, &listed, &extracted}) CheckOutcome(*run);

  // Extraction stays inside its directory and leaves no temporary file.
  for (const std::string& path : TreeBelow(root)) {
    FUZZ_CHECK(path == "SETUP.TMP" || path.compare(0, 4, "out/") == 0);
    FUZZ_CHECK(path.find(".setuppack-") == std::string::npos);
  }

  if (tested.Code != 0) return 0;
  FUZZ_CHECK(listed.Code == 0 && extracted.Code == 0);
  PreloaderOutcome preloader = ModelExtraction(data, size, "c:\\windows\\temp\\_Orvane3d1\\");
  FUZZ_CHECK(!preloader.Failed);
  FUZZ_CHECK(preloader.EntriesWritten == preloader.Count);
  std::set<std::string> files = TreeBelow(target);
  FUZZ_CHECK(files.size() == preloader.Files.size());
  for (const auto& file : preloader.Files) {
    std::string name;
    FUZZ_CHECK(CodePage().ToSystem(file.first, name));
    FUZZ_CHECK(files.count(name) == 1);
    FUZZ_CHECK(ReadHostFile(target + "/" + name) == file.second);
  }
  return 0;
}
