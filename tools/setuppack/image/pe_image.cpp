#include "image/pe_image.h"

namespace {

constexpr std::uint32_t PE_SIGNATURE = 0x00004550;  // "PE\0\0"
constexpr std::uint32_t MAGIC_PE32 = 0x10B;
constexpr std::uint32_t MAGIC_PE32_PLUS = 0x20B;
constexpr std::size_t SECTION_HEADER_SIZE = 40;

}  // namespace

bool PeImage::Parse(const ImageBytes& file, std::string& why) {
  file_ = &file;
  Sections.clear();
  const std::uint32_t pe = Get32(file, 0x3C);
  if (Get16(file, 0) != 0x5A4D || pe < 0x40 || !Inside(file, pe, 24) || Get32(file, pe) != PE_SIGNATURE) {
    why = "not a Windows program: no MZ header leading to a PE header";
    return false;
  }
  const std::uint32_t sectionCount = Get16(file, pe + 6);
  const std::uint32_t optionalSize = Get16(file, pe + 20);
  const std::size_t optional = pe + 24;
  const std::uint32_t magic = Get16(file, optional);
  const bool wide = magic == MAGIC_PE32_PLUS;
  const std::size_t directoriesAt = optional + (wide ? 112 : 96);
  if ((magic != MAGIC_PE32 && !wide) || !Inside(file, optional, optionalSize) ||
      directoriesAt > optional + optionalSize) {
    why = "its PE header is cut short or damaged";
    return false;
  }
  SectionAlignment = Get32(file, optional + 32);
  FileAlignment = Get32(file, optional + 36);
  SizeOfHeaders = Get32(file, optional + 60);
  SizeOfInitializedDataAt = optional + 8;
  SizeOfImageAt = optional + 56;
  ChecksumAt = optional + 64;
  directoriesAt_ = directoriesAt;
  directoryCount_ = Get32(file, directoriesAt - 4);
  if (directoryCount_ > (optional + optionalSize - directoriesAt) / 8)
    directoryCount_ = static_cast<std::uint32_t>((optional + optionalSize - directoriesAt) / 8);
  if (FileAlignment == 0 || SectionAlignment == 0 || (FileAlignment & (FileAlignment - 1)) ||
      (SectionAlignment & (SectionAlignment - 1))) {
    why = "its PE header gives no valid alignment";
    return false;
  }
  const std::size_t table = optional + optionalSize;
  if (!Inside(file, table, static_cast<std::uint64_t>(SECTION_HEADER_SIZE) * sectionCount)) {
    why = "its section table is cut short";
    return false;
  }
  EndOfSections = 0;
  for (std::uint32_t i = 0; i < sectionCount; ++i) {
    PeSection s;
    s.HeaderAt = table + SECTION_HEADER_SIZE * i;
    for (int c = 0; c < 8 && file[s.HeaderAt + c]; ++c)
      s.Name.push_back(static_cast<char>(file[s.HeaderAt + c]));
    s.VirtualSize = Get32(file, s.HeaderAt + 8);
    s.VirtualAddress = Get32(file, s.HeaderAt + 12);
    s.RawSize = Get32(file, s.HeaderAt + 16);
    s.RawOffset = Get32(file, s.HeaderAt + 20);
    if (!Inside(file, s.RawOffset, s.RawSize)) {
      why = "its section " + s.Name + " lies beyond the end of the file";
      return false;
    }
    if (s.RawSize && s.RawOffset + s.RawSize > EndOfSections) EndOfSections = s.RawOffset + s.RawSize;
    Sections.push_back(s);
  }
  return true;
}

const PeSection* PeImage::Section(const std::string& name) const {
  for (const PeSection& s : Sections)
    if (s.Name == name) return &s;
  return nullptr;
}

std::uint32_t PeImage::DirectoryAddress(int index) const {
  return static_cast<std::uint32_t>(index) < directoryCount_ ? Get32(*file_, DirectoryAt(index)) : 0;
}

std::uint32_t PeImage::DirectorySize(int index) const {
  return static_cast<std::uint32_t>(index) < directoryCount_ ? Get32(*file_, DirectoryAt(index) + 4) : 0;
}

std::uint32_t PeChecksum(const ImageBytes& file, std::size_t checksumAt) {
  std::uint64_t sum = 0;
  for (std::size_t at = 0; at < file.size(); at += 2) {
    if (at >= checksumAt && at < checksumAt + 4) continue;
    sum += at + 1 < file.size() ? Get16(file, at) : file[at];
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint32_t>(sum + file.size());
}
