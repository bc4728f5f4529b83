// Extraction against the platform of staging_fixture.h: SETUP.TMP beside the
// module, staging below the temporary directory.
#pragma once

#include "container.h"
#include "extract.h"
#include "members.h"
#include "sha256.h"
#include "staging_fixture.h"

class Extract : public StagingTest {
 protected:
  static HWND Window() { return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(692)); }

  Bytes Member(const Bytes& data) { return EncodeBytes(scratch_, data); }
  Bytes Member(const std::string& text) { return Member(BytesOf(text)); }

  void WriteArchive(const Bytes& container) { MakeFile(Medium() + "SETUP.TMP", container); }

  // True when the extraction got as far as the hand-off; result_ tells
  // whether the installer started.
  bool Run(HWND window = Window()) {
    return RunPrepared([] {}, window);
  }

  // Like Run, with `prepare` run on the staging directory between its
  // creation and the extraction.
  template <typename Prepare>
  bool RunPrepared(Prepare prepare, HWND window = Window()) {
    ChooseStagingDir();
    prepare();
    result_ = ExtractArchive(window, bound_ ? boundDigest_ : nullptr);
    return result_ == ExtractResult::InstallerStarted || result_ == ExtractResult::InstallerNotStarted;
  }
  ExtractResult result_ = ExtractResult::StagingRefused;

  // The runs that follow are of a preloader bound to `container`.
  void BindTo(const Bytes& container) {
    Sha256 hash;
    hash.Update(container.data(), container.size());
    hash.Final(boundDigest_);
    bound_ = true;
  }
  bool bound_ = false;
  std::uint8_t boundDigest_[SHA256_DIGEST_SIZE] = {};

  std::string Staging() const { return Temp() + "_Orvane3d1\\"; }
  std::string Staged(const std::string& name) const { return Staging() + name; }

  // The hand-off ran: Install.ini written and, where the platform records
  // it, the installer start attempted once with this command line.
  void ExpectHandOff(const std::string& medium) {
    EXPECT_EQ(ReadText(Staged("Install.ini")), "[STANDARD]\r\nINST_PATH=" + medium + "\r\n");
    if (RecordsCalls()) {
      EXPECT_EQ(StartedCommandLines(), std::vector<std::string>{Staged("INSTALL.EXE") + " 692"});
    }
  }
  void ExpectHandOff() { ExpectHandOff(Medium()); }
};
