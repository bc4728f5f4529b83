#include "image/resource_tree.h"

#include <vector>

namespace {

constexpr std::uint32_t SUBDIRECTORY = 0x80000000;
constexpr std::uint32_t NAME_IS_STRING = 0x80000000;
constexpr std::size_t DIRECTORY_SIZE = 16;
constexpr std::size_t ENTRY_SIZE = 8;
constexpr std::size_t DATA_ENTRY_SIZE = 16;

class TreeReader {
 public:
  TreeReader(const ImageBytes& section, std::uint32_t address) : section_(section), address_(address) {}

  bool Read(ResourceTree& tree, std::string& why) {
    std::vector<std::pair<ResourceKey, std::uint32_t>> types, names, languages;
    if (!Entries(0, types, why)) return false;
    for (const auto& type : types) {
      if (!(type.second & SUBDIRECTORY)) return Fail("a type entry that is no directory", why);
      if (!Entries(type.second & ~SUBDIRECTORY, names, why)) return false;
      for (const auto& name : names) {
        if (!(name.second & SUBDIRECTORY)) return Fail("a name entry that is no directory", why);
        if (!Entries(name.second & ~SUBDIRECTORY, languages, why)) return false;
        for (const auto& language : languages) {
          if ((language.second & SUBDIRECTORY) || !language.first.Name.empty())
            return Fail("a language entry that is no data", why);
          ResourceData data;
          if (!Data(language.second, data, why)) return false;
          tree[type.first][name.first][language.first.Id] = std::move(data);
        }
      }
    }
    return true;
  }

 private:
  static bool Fail(const std::string& what, std::string& why) {
    why = "its resources are damaged: " + what;
    return false;
  }

  bool Entries(std::uint32_t at, std::vector<std::pair<ResourceKey, std::uint32_t>>& entries,
               std::string& why) {
    entries.clear();
    // Deeper than three levels, or a directory met twice, is a loop.
    if (++directories_ > 4096) return Fail("too many directories", why);
    if (!Inside(section_, at, DIRECTORY_SIZE)) return Fail("a directory beyond the section", why);
    const std::size_t count = Get16(section_, at + 12) + static_cast<std::size_t>(Get16(section_, at + 14));
    const std::size_t first = at + DIRECTORY_SIZE;
    if (!Inside(section_, first, static_cast<std::uint64_t>(ENTRY_SIZE) * count))
      return Fail("a directory cut short", why);
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint32_t name = Get32(section_, first + ENTRY_SIZE * i);
      const std::uint32_t target = Get32(section_, first + ENTRY_SIZE * i + 4);
      ResourceKey key;
      if (name & NAME_IS_STRING) {
        const std::size_t text = name & ~NAME_IS_STRING;
        const std::size_t length = Get16(section_, text);
        if (length == 0 || !Inside(section_, text, 2 + 2 * static_cast<std::uint64_t>(length)))
          return Fail("a name beyond the section", why);
        if (!Copying(2 * static_cast<std::uint64_t>(length)))
          return Fail("entries that repeat the same name or data over and over", why);
        for (std::size_t c = 0; c < length; ++c)
          key.Name.push_back(static_cast<char16_t>(Get16(section_, text + 2 + 2 * c)));
      } else {
        if (name > 0xFFFF) return Fail("a number above 65535", why);
        key.Id = static_cast<std::uint16_t>(name);
      }
      entries.push_back({key, target});
    }
    return true;
  }

  // Entries may share names and data, which are copied for each; more than
  // twice the section's size is a damaged (or hostile) tree, not resources.
  // Counted before the copy is made.
  bool Copying(std::uint64_t bytes) {
    copied_ += bytes;
    return copied_ <= 2 * static_cast<std::uint64_t>(section_.size()) + (1 << 20);
  }

  bool Data(std::uint32_t at, ResourceData& data, std::string& why) {
    if (!Inside(section_, at, DATA_ENTRY_SIZE)) return Fail("a data entry beyond the section", why);
    const std::uint32_t address = Get32(section_, at);
    const std::uint32_t size = Get32(section_, at + 4);
    if (address < address_ || !Inside(section_, address - address_, size))
      return Fail("data outside the resource section", why);
    if (!Copying(size)) return Fail("entries that repeat the same name or data over and over", why);
    data.Bytes.assign(section_.begin() + (address - address_),
                      section_.begin() + (address - address_) + size);
    data.CodePage = Get32(section_, at + 8);
    return true;
  }

  const ImageBytes& section_;
  std::uint32_t address_;
  int directories_ = 0;
  std::uint64_t copied_ = 0;
};

// A directory's header and entries; the entries' targets are filled in
// once the places of what they point to are known.
void AppendDirectory(ImageBytes& out, std::size_t named, std::size_t numbered) {
  Append32(out, 0);  // characteristics
  Append32(out, 0);  // time stamp: none, so that the same resources give the same bytes
  Append32(out, 0);  // version
  Append16(out, static_cast<std::uint32_t>(named));
  Append16(out, static_cast<std::uint32_t>(numbered));
  out.resize(out.size() + ENTRY_SIZE * (named + numbered));
}

template <typename Map>
std::size_t NamedCount(const Map& map) {
  std::size_t named = 0;
  for (const auto& entry : map) named += entry.first.Name.empty() ? 0 : 1;
  return named;
}

}  // namespace

bool ReadResourceTree(const ImageBytes& section, std::uint32_t sectionAddress, ResourceTree& tree,
                      std::string& why) {
  tree.clear();
  return TreeReader(section, sectionAddress).Read(tree, why);
}

ImageBytes WriteResourceTree(const ResourceTree& tree, std::uint32_t sectionAddress) {
  ImageBytes out;
  // Where each key's entry is, so that the names can be filled in later.
  std::vector<std::pair<std::size_t, const std::u16string*>> namedEntries;
  std::vector<std::pair<std::size_t, const ResourceData*>> leaves;

  auto setKey = [&](std::size_t entry, const ResourceKey& key) {
    if (key.Name.empty())
      Put32(out, entry, key.Id);
    else
      namedEntries.push_back({entry, &key.Name});
  };

  // Level 1, then every type's directory, then every name's: breadth first.
  AppendDirectory(out, NamedCount(tree), tree.size() - NamedCount(tree));
  std::size_t typeEntry = DIRECTORY_SIZE;
  for (const auto& type : tree) {
    setKey(typeEntry, type.first);
    Put32(out, typeEntry + 4, SUBDIRECTORY | static_cast<std::uint32_t>(out.size()));
    AppendDirectory(out, NamedCount(type.second), type.second.size() - NamedCount(type.second));
    typeEntry += ENTRY_SIZE;
  }
  typeEntry = DIRECTORY_SIZE;
  for (const auto& type : tree) {
    std::size_t nameEntry = (Get32(out, typeEntry + 4) & ~SUBDIRECTORY) + DIRECTORY_SIZE;
    for (const auto& name : type.second) {
      setKey(nameEntry, name.first);
      Put32(out, nameEntry + 4, SUBDIRECTORY | static_cast<std::uint32_t>(out.size()));
      std::size_t languageEntry = out.size() + DIRECTORY_SIZE;
      AppendDirectory(out, 0, name.second.size());
      for (const auto& language : name.second) {
        Put32(out, languageEntry, language.first);
        leaves.push_back({languageEntry + 4, &language.second});
        languageEntry += ENTRY_SIZE;
      }
      nameEntry += ENTRY_SIZE;
    }
    typeEntry += ENTRY_SIZE;
  }

  for (const auto& named : namedEntries) {
    Put32(out, named.first, NAME_IS_STRING | static_cast<std::uint32_t>(out.size()));
    Append16(out, static_cast<std::uint32_t>(named.second->size()));
    for (char16_t c : *named.second) Append16(out, c);
  }
  PadTo(out, 4);
  std::vector<std::size_t> dataEntries;
  for (const auto& leaf : leaves) {
    Put32(out, leaf.first, static_cast<std::uint32_t>(out.size()));
    dataEntries.push_back(out.size());
    out.resize(out.size() + DATA_ENTRY_SIZE);
  }
  for (std::size_t i = 0; i < leaves.size(); ++i) {
    PadTo(out, 8);
    const ResourceData& data = *leaves[i].second;
    Put32(out, dataEntries[i], sectionAddress + static_cast<std::uint32_t>(out.size()));
    Put32(out, dataEntries[i] + 4, static_cast<std::uint32_t>(data.Bytes.size()));
    Put32(out, dataEntries[i] + 8, data.CodePage);
    out.insert(out.end(), data.Bytes.begin(), data.Bytes.end());
  }
  PadTo(out, 8);
  return out;
}
