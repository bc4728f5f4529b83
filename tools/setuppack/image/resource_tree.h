// A program's resources as the three levels Windows keeps them in (type,
// name, language), read from its resource section and written anew.
#pragma once

#include <map>
#include <string>

#include "image/image_bytes.h"

constexpr std::uint16_t RT_ICON_ID = 3;
constexpr std::uint16_t RT_GROUP_ICON_ID = 14;
constexpr std::uint16_t RT_VERSION_ID = 16;

// A type or a name: a string, or a number.
struct ResourceKey {
  std::u16string Name;  // empty for a number
  std::uint16_t Id = 0;

  static ResourceKey Number(std::uint16_t id) { return {{}, id}; }
  static ResourceKey Named(const std::u16string& name) { return {name, 0}; }
  // Windows looks entries up by binary search: strings first, in order of
  // their UTF-16 units, then numbers in ascending order.
  bool operator<(const ResourceKey& other) const {
    if (Name.empty() != other.Name.empty()) return !Name.empty();
    return Name.empty() ? Id < other.Id : Name < other.Name;
  }
};

struct ResourceData {
  ImageBytes Bytes;
  std::uint32_t CodePage = 0;
};

using ResourceLanguages = std::map<std::uint16_t, ResourceData>;
using ResourceNames = std::map<ResourceKey, ResourceLanguages>;
using ResourceTree = std::map<ResourceKey, ResourceNames>;

// Reads the tree from a resource section's bytes (`section`, loaded at
// `sectionAddress`); false with the reason when it is damaged.
bool ReadResourceTree(const ImageBytes& section, std::uint32_t sectionAddress, ResourceTree& tree,
                      std::string& why);

// The tree as a resource section loaded at `sectionAddress`: directories,
// then names, then data entries, then the data, each aligned.
ImageBytes WriteResourceTree(const ResourceTree& tree, std::uint32_t sectionAddress);
