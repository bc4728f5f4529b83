// Windows programs for setuppack's tests, built and read here by hand, apart
// from setuppack's own image code: a small preloader to bind and brand, and
// a view of what a test checks in the file setuppack made of it.
#pragma once

#include <map>
#include <string>

#include "test_files.h"

// A PE32 program of four sections: .text; .bind with the unbound binding
// record; .rsrc with the icon group "IDI_SDIAPPLICATION" of one 16 x 16
// image (icon 1) and nothing else, or the bytes `resources` (loaded at
// 0x3000); .reloc. Its checksum is right.
Bytes SmallPreloader(const Bytes& resources = {});

struct PeSectionView {
  std::uint32_t VirtualSize = 0, VirtualAddress = 0, RawSize = 0, RawOffset = 0;
};

class PeView {
 public:
  explicit PeView(const Bytes& file);
  bool Valid() const { return valid_; }
  std::map<std::string, PeSectionView> Sections;
  std::uint32_t SizeOfImage = 0;
  std::uint32_t Checksum = 0;
  std::size_t ChecksumAt = 0;
  // The checksum of the file as Windows computes it.
  std::uint32_t ComputedChecksum() const;
  // The data directory's address and size.
  std::pair<std::uint32_t, std::uint32_t> Directory(int index) const;
  Bytes SectionBytes(const std::string& name) const;
  // The data of a resource (its first language), or empty; a name of
  // digits alone is a number.
  Bytes Resource(std::uint16_t type, const std::string& name) const;
  std::vector<std::uint16_t> ResourceIds(std::uint16_t type) const;

 private:
  const Bytes& file_;
  bool valid_ = false;
  std::size_t directories_ = 0;
};

std::uint32_t Le32(const Bytes& b, std::size_t at);
std::uint16_t Le16(const Bytes& b, std::size_t at);
