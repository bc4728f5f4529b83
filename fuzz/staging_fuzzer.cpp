// ExtractArchive on arbitrary SETUP.TMP contents, against the host stand-in
// for Win32: drive c: (the temporary location) and d: (the medium) are
// directories inside this fuzzer's own temporary directory.
//
// Whatever the container holds: ExtractArchive hands off (the installer
// started or not, as the stand-in finds INSTALL.EXE), writes Install.ini and attempts the installer start
// exactly once, shows the decoding message exactly when a member fails (with the member's output path as its
// caption), leaves in the staging directory exactly the files the preloader model predicts with the bytes it
// predicts, and writes nothing anywhere else.
#include <cstdint>
#include <string>

#include "extract.h"
#include "fuzz_check.h"
#include "fuzz_files.h"
#include "paths.h"
#include "preloader_model.h"
#include "staging_dir.h"
#include "standin_control.h"

namespace {

const char STAGING[] = "c:\\windows\\temp\\_Orvane3d1\\";
const char STAGING_HOST[] = "c/windows/temp/_Orvane3d1/";
const char INSTALL_INI[] = "[STANDARD]\r\nINST_PATH=d:\\\r\n";
HWND const WINDOW = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(692));

void PrepareMachine(const std::uint8_t* data, std::size_t size) {
  const std::string& root = FuzzRoot();
  EmptyDirectory(root + "/c/windows/temp");
  EmptyDirectory(root + "/d");
  WriteHostFile(root + "/d/SETUP.TMP", data, size);
  ResetStandin();
  MapDrive('c', root + "/c");
  MapDrive('d', root + "/d");
  Standin().CurrentDirectory = "c:\\";
  Standin().TempPath = "c:\\windows\\temp\\";
  Standin().ModuleFileName = "d:\\SETUP.EXE";
  LoadModulePath();
  StagingDirName = "_Orvane3d\\";
  InstallerPath = "";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  PrepareMachine(data, size);
  ChooseStagingDir();
  FUZZ_CHECK(std::string(StagingDirName.c_str()) == "_Orvane3d1\\");
  ExtractResult result = ExtractArchive(WINDOW);
  FUZZ_CHECK(result == ExtractResult::InstallerStarted || result == ExtractResult::InstallerNotStarted);

  PreloaderOutcome expected = ModelExtraction(data, size, STAGING);
  const StandinState& machine = Standin();
  FUZZ_CHECK(machine.Messages.size() == (expected.Failed ? 1u : 0u));
  if (expected.Failed) {
    const ShownMessage& message = machine.Messages[0];
    FUZZ_CHECK(message.Owner == nullptr);
    FUZZ_CHECK(message.Text == "Fehler beim Decodieren!");
    FUZZ_CHECK(message.Caption == AnsiAsShown(expected.FailedPath));
    FUZZ_CHECK(message.Type == 0 && message.Language == 0);
  }
  FUZZ_CHECK(std::string(InstallerPath.c_str()) == std::string(STAGING) + "INSTALL.EXE");
  FUZZ_CHECK(machine.Started.size() == 1);
  FUZZ_CHECK(machine.Started[0].CommandLine == std::string(InstallerPath.c_str()) + " 692");

  // Nothing but the staging directory's files has appeared.
  const std::string& root = FuzzRoot();
  std::set<std::string> allowed = {
      "c/", "c/windows/", "c/windows/temp/", STAGING_HOST, std::string(STAGING_HOST) + "Install.ini",
      "d/", "d/SETUP.TMP"};
  for (const auto& file : expected.Files) allowed.insert(STAGING_HOST + file.first);
  FUZZ_CHECK(TreeBelow(root) == allowed);

  FUZZ_CHECK(ReadHostFile(root + "/" + STAGING_HOST + "Install.ini") ==
             Bytes(INSTALL_INI, INSTALL_INI + sizeof INSTALL_INI - 1));
  for (const auto& file : expected.Files) {
    if (file.first == "Install.ini") continue;  // the hand-off writes it afresh
    FUZZ_CHECK(ReadHostFile(root + "/" + STAGING_HOST + file.first) == file.second);
  }
  return 0;
}
