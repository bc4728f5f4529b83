// The headers of a Windows program (PE32 or PE32+) held in memory: where
// its sections, data directories, checksum and signature are, for the
// medium's copy of SETUP.EXE, which setuppack binds and brands, and for
// verify, which reads them back.
#pragma once

#include <string>
#include <vector>

#include "image/image_bytes.h"

constexpr int DIRECTORY_RESOURCE = 2;
constexpr int DIRECTORY_SECURITY = 4;  // the certificate table: a file offset, not an address
constexpr int DIRECTORY_BASE_RELOCATION = 5;

struct PeSection {
  std::string Name;
  std::uint32_t VirtualSize = 0;
  std::uint32_t VirtualAddress = 0;
  std::uint32_t RawSize = 0;
  std::uint32_t RawOffset = 0;
  std::size_t HeaderAt = 0;  // where its entry in the section table starts
};

class PeImage {
 public:
  // Reads the headers of `file`; false with the reason when it is no
  // Windows program whose headers and sections lie inside the file.
  bool Parse(const ImageBytes& file, std::string& why);

  const PeSection* Section(const std::string& name) const;
  std::uint32_t DirectoryAddress(int index) const;
  std::uint32_t DirectorySize(int index) const;
  std::size_t DirectoryAt(int index) const { return directoriesAt_ + 8 * static_cast<std::size_t>(index); }
  // A signature is attached: the certificate table is not empty.
  bool Signed() const { return DirectorySize(DIRECTORY_SECURITY) != 0; }

  std::vector<PeSection> Sections;
  std::size_t ChecksumAt = 0;
  std::size_t SizeOfImageAt = 0;
  std::size_t SizeOfInitializedDataAt = 0;
  std::uint32_t SizeOfHeaders = 0;
  std::uint32_t FileAlignment = 0;
  std::uint32_t SectionAlignment = 0;
  // Where the sections' raw data ends: anything behind it is an overlay (a
  // signature, or data appended to the program).
  std::uint32_t EndOfSections = 0;

 private:
  const ImageBytes* file_ = nullptr;
  std::size_t directoriesAt_ = 0;
  std::uint32_t directoryCount_ = 0;
};

// The checksum the optional header holds, as Windows computes it: the
// 16-bit one's-complement sum of the file without the field itself, plus
// the file's length.
std::uint32_t PeChecksum(const ImageBytes& file, std::size_t checksumAt);

inline std::uint32_t AlignUp(std::uint32_t value, std::uint32_t alignment) {
  return alignment ? (value + alignment - 1) / alignment * alignment : value;
}
