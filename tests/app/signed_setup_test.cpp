// A medium made by setuppack and then signed by a publisher
// (make_signed_medium.sh, with a throw-away certificate) runs the whole
// protocol like any other: the "signed" case of FullProtocol. Here: that
// case really ran the signed file, and the signature added nothing to what
// setuppack made but itself and the checksum.
#include <gtest/gtest.h>

#include <cstring>

#include "preloader_runs.h"

namespace {

constexpr std::size_t SECURITY_DIRECTORY = 4;

struct PeLayout {
  std::size_t ChecksumAt = 0;
  std::size_t SecurityEntryAt = 0;  // the certificate table's data directory entry
  std::uint32_t CertificatesAt = 0, CertificatesSize = 0;
};

std::uint32_t Read32(const Bytes& b, std::size_t at) {
  return at + 4 > b.size()
             ? 0
             : b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

PeLayout LayoutOf(const Bytes& file) {
  PeLayout layout;
  std::size_t optional = Read32(file, 0x3C) + 24;
  if (optional + 2 > file.size()) return layout;
  bool wide = (file[optional] | file[optional + 1] << 8) == 0x20B;
  layout.ChecksumAt = optional + 64;
  layout.SecurityEntryAt = optional + (wide ? 112 : 96) + 8 * SECURITY_DIRECTORY;
  layout.CertificatesAt = Read32(file, layout.SecurityEntryAt);
  layout.CertificatesSize = Read32(file, layout.SecurityEntryAt + 4);
  return layout;
}

}  // namespace

TEST(SignedSetup, TheSignedRunUsedTheSignedFileWhichIsTheMediumsWithASignature) {
  const PreloaderCase& c = PreloaderRuns::Get("signed");
  Bytes built = ReadWholeFile(SignedMediumDir() + "unsigned\\SETUP.EXE");
  Bytes signedFile = ReadWholeFile(SignedMediumDir() + "SETUP.EXE");
  ASSERT_FALSE(signedFile.empty()) << "no signed SETUP.EXE: make_signed_medium.sh runs before these tests";
  EXPECT_EQ(ReadWholeFile(c.Run.MediumDir + "SETUP.EXE"), signedFile);

  // One PKCS #7 certificate entry behind the built file's bytes.
  PeLayout layout = LayoutOf(signedFile);
  ASSERT_GE(layout.CertificatesAt, built.size());
  ASSERT_EQ(static_cast<std::size_t>(layout.CertificatesAt) + layout.CertificatesSize, signedFile.size());
  ASSERT_GE(layout.CertificatesSize, 8u);
  EXPECT_EQ(Read32(signedFile, layout.CertificatesAt), layout.CertificatesSize);  // dwLength
  EXPECT_EQ(Read32(signedFile, layout.CertificatesAt + 4), 0x00020200u);          // revision 2.0, PKCS #7

  // Everything else is the built file: the checksum and the table's entry
  // are the only fields that signing fills in.
  Bytes unsignedPart(signedFile.begin(), signedFile.begin() + built.size());
  for (std::size_t at : {layout.ChecksumAt, layout.SecurityEntryAt, layout.SecurityEntryAt + 4})
    std::memcpy(&unsignedPart[at], &built[at], 4);
  EXPECT_TRUE(unsignedPart == built) << "signing changed the program itself";
}
