#include "image/preloader_image.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "image/resource_tree.h"

namespace {

const char RESOURCE_SECTION[] = ".rsrc";
const char RELOCATION_SECTION[] = ".reloc";

// Where the record starts in the file; 0 when there is none. It is the
// start of its section, which holds nothing else.
std::size_t FindRecord(const ImageBytes& file, const PeImage& image) {
  const PeSection* section = image.Section(BINDING_SECTION);
  if (!section || section->RawSize < sizeof(MediumBinding)) return 0;
  return std::memcmp(file.data() + section->RawOffset, BINDING_MAGIC, sizeof BINDING_MAGIC) == 0
             ? section->RawOffset
             : 0;
}

std::u16string IconGroupName() { return APP_ICON_GROUP; }

// The publisher's icon in place of the group of that name (in its
// language), and their version resource in place of every other.
void PutBranding(ResourceTree& tree, const Branding& branding) {
  if (!branding.Icon.empty()) {
    ResourceNames& groups = tree[ResourceKey::Number(RT_GROUP_ICON_ID)];
    ResourceNames& icons = tree[ResourceKey::Number(RT_ICON_ID)];
    std::uint16_t language = 0;
    auto old = groups.find(ResourceKey::Named(IconGroupName()));
    if (old != groups.end()) {
      if (!old->second.empty()) language = old->second.begin()->first;
      for (const auto& oldLanguage : old->second) {
        std::vector<IconGroupEntry> entries;
        if (ReadIconGroup(oldLanguage.second.Bytes, entries))
          for (const IconGroupEntry& e : entries) icons.erase(ResourceKey::Number(e.Id));
      }
      groups.erase(old);
    }
    std::uint16_t firstId = 1;
    for (const auto& icon : icons)
      if (icon.first.Name.empty() && icon.first.Id >= firstId)
        firstId = static_cast<std::uint16_t>(icon.first.Id + 1);
    for (std::size_t i = 0; i < branding.Icon.size(); ++i)
      icons[ResourceKey::Number(static_cast<std::uint16_t>(firstId + i))][language].Bytes =
          branding.Icon[i].Data;
    groups[ResourceKey::Named(IconGroupName())][language].Bytes = IconGroupResource(branding.Icon, firstId);
  }
  if (!branding.Texts.empty()) {
    // The first block of the string table, in the language it has.
    ResourceLanguages& block = tree[ResourceKey::Number(RT_STRING_ID)][ResourceKey::Number(1)];
    std::uint16_t language = block.empty() ? 0 : block.begin()->first;
    ImageBytes old = block.empty() ? ImageBytes() : block.begin()->second.Bytes;
    block.clear();
    block[language].Bytes = StringBlockWith(old, branding.Texts);
  }
  if (!branding.Version.empty()) {
    ResourceNames& versions = tree[ResourceKey::Number(RT_VERSION_ID)];
    versions.clear();
    versions[ResourceKey::Number(1)][0x0409].Bytes = VersionResource(branding.Version);
  }
}

}  // namespace

std::string BindingProblem(const ImageBytes& preloader, const PeImage& image) {
  if (image.Signed())
    return "it carries a signature, which binding would break: use the unsigned preloader and sign SETUP.EXE "
           "after setuppack medium, or pass --unbound";
  if (!FindRecord(preloader, image))
    return "it has no binding record (a preloader of another build?): pass --unbound to copy it as it is";
  return {};
}

bool Brand(ImageBytes& preloader, const Branding& branding, std::string& why) {
  PeImage image;
  if (!image.Parse(preloader, why)) return false;
  const PeSection* resources = image.Section(RESOURCE_SECTION);
  if (!resources || image.DirectoryAddress(DIRECTORY_RESOURCE) != resources->VirtualAddress) {
    why = "the preloader has no resource section to brand";
    return false;
  }
  // The resource section grows in place: only the relocations, which
  // nothing points into, may follow it, and they move behind it.
  const PeSection rsrc = *resources;
  const PeSection* after = nullptr;
  for (const PeSection& s : image.Sections) {
    if (s.VirtualAddress <= rsrc.VirtualAddress) continue;
    if (s.Name != RELOCATION_SECTION || after) {
      why = "the preloader's resource section is followed by " + s.Name + ", which cannot move";
      return false;
    }
    after = &s;
  }
  // Its raw data must lie behind the headers and every other section's,
  // with only the relocations behind it, so that it can grow at the end.
  bool lastInFile = rsrc.RawOffset >= image.SizeOfHeaders &&
                    rsrc.RawOffset >= image.Sections.back().HeaderAt + 40 &&
                    (!after || after->RawOffset >= rsrc.RawOffset + rsrc.RawSize);
  for (const PeSection& s : image.Sections)
    if (&s != after && s.HeaderAt != rsrc.HeaderAt && s.RawSize && s.RawOffset + s.RawSize > rsrc.RawOffset)
      lastInFile = false;
  if (!lastInFile) {
    why = "the preloader's resource section does not lie at the end of the file, where it could grow";
    return false;
  }
  if (image.EndOfSections < preloader.size()) {
    why = "the preloader carries " + std::to_string(preloader.size() - image.EndOfSections) +
          " bytes behind its last section, which branding would lose";
    return false;
  }
  const std::uint32_t rsrcVirtualSize = rsrc.VirtualSize ? rsrc.VirtualSize : rsrc.RawSize;
  ImageBytes oldSection(preloader.begin() + rsrc.RawOffset,
                        preloader.begin() + rsrc.RawOffset + std::min(rsrc.RawSize, rsrcVirtualSize));
  ResourceTree tree;
  if (!ReadResourceTree(oldSection, rsrc.VirtualAddress, tree, why)) return false;
  PutBranding(tree, branding);
  ImageBytes section = WriteResourceTree(tree, rsrc.VirtualAddress);

  const std::uint32_t newRaw = AlignUp(static_cast<std::uint32_t>(section.size()), image.FileAlignment);
  ImageBytes relocations;
  PeSection reloc;
  if (after) {
    reloc = *after;
    relocations.assign(preloader.begin() + reloc.RawOffset,
                       preloader.begin() + reloc.RawOffset + reloc.RawSize);
  }
  preloader.resize(rsrc.RawOffset);
  preloader.insert(preloader.end(), section.begin(), section.end());
  preloader.resize(rsrc.RawOffset + newRaw, 0);
  Put32(preloader, rsrc.HeaderAt + 8, static_cast<std::uint32_t>(section.size()));
  Put32(preloader, rsrc.HeaderAt + 16, newRaw);
  Put32(preloader, image.DirectoryAt(DIRECTORY_RESOURCE) + 4, static_cast<std::uint32_t>(section.size()));
  std::uint32_t end =
      rsrc.VirtualAddress + AlignUp(static_cast<std::uint32_t>(section.size()), image.SectionAlignment);
  if (after) {
    const std::uint32_t address = end;
    Put32(preloader, reloc.HeaderAt + 12, address);
    Put32(preloader, reloc.HeaderAt + 20, static_cast<std::uint32_t>(preloader.size()));
    preloader.insert(preloader.end(), relocations.begin(), relocations.end());
    if (image.DirectoryAddress(DIRECTORY_BASE_RELOCATION) == reloc.VirtualAddress)
      Put32(preloader, image.DirectoryAt(DIRECTORY_BASE_RELOCATION), address);
    end = address + AlignUp(reloc.VirtualSize ? reloc.VirtualSize : reloc.RawSize, image.SectionAlignment);
  }
  Put32(preloader, image.SizeOfImageAt, end);
  Put32(preloader, image.SizeOfInitializedDataAt,
        Get32(preloader, image.SizeOfInitializedDataAt) - rsrc.RawSize + newRaw);
  return true;
}

bool Bind(ImageBytes& preloader, const std::uint8_t digest[SHA256_DIGEST_SIZE], std::string& why) {
  PeImage image;
  if (!image.Parse(preloader, why)) return false;
  const std::size_t record = FindRecord(preloader, image);
  if (!record) {
    why = "the preloader has no binding record";
    return false;
  }
  Put32(preloader, record + offsetof(MediumBinding, Version), BINDING_VERSION);
  Put32(preloader, record + offsetof(MediumBinding, State), static_cast<std::uint32_t>(BindingState::Bound));
  std::memcpy(preloader.data() + record + offsetof(MediumBinding, Digest), digest, SHA256_DIGEST_SIZE);
  return true;
}

void SetChecksum(ImageBytes& preloader) {
  PeImage image;
  std::string why;
  if (!image.Parse(preloader, why)) return;
  Put32(preloader, image.ChecksumAt, PeChecksum(preloader, image.ChecksumAt));
}

bool ReadPreloaderFacts(const ImageBytes& preloader, PreloaderFacts& facts, std::string& why) {
  facts = PreloaderFacts();
  PeImage image;
  if (!image.Parse(preloader, why)) return false;
  if (const std::size_t record = FindRecord(preloader, image)) {
    facts.HasRecord = true;
    facts.Bound = Get32(preloader, record + offsetof(MediumBinding, Version)) == BINDING_VERSION &&
                  Get32(preloader, record + offsetof(MediumBinding, State)) ==
                      static_cast<std::uint32_t>(BindingState::Bound);
    std::memcpy(facts.Digest, preloader.data() + record + offsetof(MediumBinding, Digest),
                SHA256_DIGEST_SIZE);
  }
  facts.Signed = image.Signed();
  facts.SignatureSize = image.DirectorySize(DIRECTORY_SECURITY);
  const std::uint32_t stored = Get32(preloader, image.ChecksumAt);
  facts.ChecksumRight = stored == 0 || stored == PeChecksum(preloader, image.ChecksumAt);

  const PeSection* resources = image.Section(RESOURCE_SECTION);
  if (!resources) return true;
  const std::uint32_t size =
      std::min(resources->RawSize, resources->VirtualSize ? resources->VirtualSize : resources->RawSize);
  ImageBytes section(preloader.begin() + resources->RawOffset,
                     preloader.begin() + resources->RawOffset + size);
  ResourceTree tree;
  if (!ReadResourceTree(section, resources->VirtualAddress, tree, why)) return false;
  auto groups = tree.find(ResourceKey::Number(RT_GROUP_ICON_ID));
  if (groups != tree.end()) {
    auto group = groups->second.find(ResourceKey::Named(IconGroupName()));
    if (group != groups->second.end() && !group->second.empty())
      ReadIconGroup(group->second.begin()->second.Bytes, facts.Icon);
  }
  auto strings = tree.find(ResourceKey::Number(RT_STRING_ID));
  if (strings != tree.end()) {
    auto block = strings->second.find(ResourceKey::Number(1));
    if (block != strings->second.end() && !block->second.empty())
      ReadTexts(block->second.begin()->second.Bytes, facts.Texts);
  }
  auto versions = tree.find(ResourceKey::Number(RT_VERSION_ID));
  if (versions != tree.end() && !versions->second.empty() && !versions->second.begin()->second.empty())
    ReadVersionStrings(versions->second.begin()->second.begin()->second.Bytes, facts.Version);
  return true;
}
