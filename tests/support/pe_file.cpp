#include "pe_file.h"

#include <cstring>

namespace {

constexpr std::uint32_t FILE_ALIGN = 0x200, SECTION_ALIGN = 0x1000;

void Set(Bytes& b, std::size_t at, std::uint32_t v, int n) {
  if (b.size() < at + n) b.resize(at + n);
  for (int i = 0; i < n; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A resource section of two types, one name and one language each: icon 1
// and the group naming it. Directories, name, data entries, data.
Bytes SmallResources(std::uint32_t address, const Bytes& icon, const Bytes& group) {
  Bytes r;
  auto directory = [&](std::size_t at, int named, int ids) {
    Set(r, at + 12, named, 2);
    Set(r, at + 14, ids, 2);
  };
  directory(0x00, 0, 2);  // types
  Set(r, 0x10, 3, 4), Set(r, 0x14, 0x80000000 | 0x20, 4);
  Set(r, 0x18, 14, 4), Set(r, 0x1C, 0x80000000 | 0x38, 4);
  directory(0x20, 0, 1);  // RT_ICON: 1
  Set(r, 0x30, 1, 4), Set(r, 0x34, 0x80000000 | 0x50, 4);
  directory(0x38, 1, 0);  // RT_GROUP_ICON: the name
  Set(r, 0x48, 0x80000000 | 0x80, 4), Set(r, 0x4C, 0x80000000 | 0x68, 4);
  directory(0x50, 0, 1);  // languages: neutral
  Set(r, 0x60, 0, 4), Set(r, 0x64, 0xA8, 4);
  directory(0x68, 0, 1);
  Set(r, 0x78, 0, 4), Set(r, 0x7C, 0xB8, 4);
  const std::string name = "IDI_SDIAPPLICATION";
  Set(r, 0x80, static_cast<std::uint32_t>(name.size()), 2);
  for (std::size_t i = 0; i < name.size(); ++i) Set(r, 0x82 + 2 * i, static_cast<std::uint8_t>(name[i]), 2);
  Set(r, 0xA8, address + 0xC8, 4), Set(r, 0xAC, static_cast<std::uint32_t>(icon.size()), 4);
  const std::size_t groupAt = 0xC8 + (icon.size() + 7) / 8 * 8;
  Set(r, 0xB8, address + static_cast<std::uint32_t>(groupAt), 4),
      Set(r, 0xBC, static_cast<std::uint32_t>(group.size()), 4);
  r.resize(groupAt);
  std::memcpy(r.data() + 0xC8, icon.data(), icon.size());
  r.insert(r.end(), group.begin(), group.end());
  return r;
}

}  // namespace

std::uint32_t Le32(const Bytes& b, std::size_t at) {
  return at + 4 <= b.size()
             ? b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24
             : 0;
}
std::uint16_t Le16(const Bytes& b, std::size_t at) {
  return at + 2 <= b.size() ? static_cast<std::uint16_t>(b[at] | b[at + 1] << 8) : 0;
}

Bytes SmallPreloader(const Bytes& resources) {
  // A 16 x 16 1-bit icon: header, two colours, colour rows and mask rows.
  Bytes icon(40 + 8 + 64 + 64, 0);
  Set(icon, 0, 40, 4), Set(icon, 4, 16, 4), Set(icon, 8, 32, 4), Set(icon, 12, 1, 2), Set(icon, 14, 1, 2);
  Bytes group;
  Set(group, 2, 1, 2), Set(group, 4, 1, 2);
  Set(group, 6, 16, 1), Set(group, 7, 16, 1), Set(group, 8, 2, 1), Set(group, 10, 1, 2), Set(group, 12, 1, 2);
  Set(group, 14, static_cast<std::uint32_t>(icon.size()), 4), Set(group, 18, 1, 2);

  struct Part {
    const char* Name;
    Bytes Data;
  };
  Bytes record = BytesOf("SETUPBND");
  Set(record, 8, 1, 4), Set(record, 12, 0, 4), record.resize(48);
  Bytes relocations;
  Set(relocations, 0, 0x1000, 4), Set(relocations, 4, 12, 4), Set(relocations, 8, 0x3004, 2),
      Set(relocations, 10, 0, 2);
  Part parts[] = {{".text", Bytes(64, 0xC3)},
                  {".bind", record},
                  {".rsrc", resources.empty() ? SmallResources(0x3000, icon, group) : resources},
                  {".reloc", relocations}};

  Bytes pe(FILE_ALIGN, 0);
  Set(pe, 0, 0x5A4D, 2), Set(pe, 0x3C, 0x40, 4), Set(pe, 0x40, 0x4550, 4);
  Set(pe, 0x44, 0x14C, 2), Set(pe, 0x46, 4, 2), Set(pe, 0x54, 0xE0, 2), Set(pe, 0x56, 0x0102, 2);
  const std::size_t opt = 0x58;
  Set(pe, opt, 0x10B, 2), Set(pe, opt + 16, 0x1000, 4), Set(pe, opt + 28, 0x400000, 4);
  Set(pe, opt + 32, SECTION_ALIGN, 4), Set(pe, opt + 36, FILE_ALIGN, 4), Set(pe, opt + 40, 4, 2);
  Set(pe, opt + 48, 4, 2), Set(pe, opt + 60, FILE_ALIGN, 4), Set(pe, opt + 68, 2, 2),
      Set(pe, opt + 92, 16, 4);
  std::uint32_t address = SECTION_ALIGN;
  for (int i = 0; i < 4; ++i) {
    const std::size_t header = opt + 0xE0 + 40 * i;
    std::memcpy(pe.data() + header, parts[i].Name, std::strlen(parts[i].Name));
    const std::uint32_t size = static_cast<std::uint32_t>(parts[i].Data.size());
    Set(pe, header + 8, size, 4), Set(pe, header + 12, address, 4);
    Set(pe, header + 16, (size + FILE_ALIGN - 1) / FILE_ALIGN * FILE_ALIGN, 4);
    Set(pe, header + 20, static_cast<std::uint32_t>(pe.size()), 4);
    if (i == 2) Set(pe, opt + 96 + 8 * 2, address, 4), Set(pe, opt + 96 + 8 * 2 + 4, size, 4);
    if (i == 3) Set(pe, opt + 96 + 8 * 5, address, 4), Set(pe, opt + 96 + 8 * 5 + 4, size, 4);
    pe.insert(pe.end(), parts[i].Data.begin(), parts[i].Data.end());
    pe.resize((pe.size() + FILE_ALIGN - 1) / FILE_ALIGN * FILE_ALIGN, 0);
    address += SECTION_ALIGN;
  }
  Set(pe, opt + 56, address, 4);  // SizeOfImage
  PeView view(pe);
  Set(pe, view.ChecksumAt, view.ComputedChecksum(), 4);
  return pe;
}

PeView::PeView(const Bytes& file) : file_(file) {
  const std::size_t pe = Le32(file, 0x3C);
  if (Le16(file, 0) != 0x5A4D || Le32(file, pe) != 0x4550) return;
  const std::size_t opt = pe + 24;
  const bool wide = Le16(file, opt) == 0x20B;
  SizeOfImage = Le32(file, opt + 56);
  ChecksumAt = opt + 64;
  Checksum = Le32(file, ChecksumAt);
  directories_ = opt + (wide ? 112 : 96);
  const std::size_t table = opt + Le16(file, pe + 20);
  for (std::size_t i = 0; i < Le16(file, pe + 6); ++i) {
    const std::size_t h = table + 40 * i;
    std::string name(reinterpret_cast<const char*>(file.data() + h),
                     strnlen(reinterpret_cast<const char*>(file.data() + h), 8));
    Sections[name] = {Le32(file, h + 8), Le32(file, h + 12), Le32(file, h + 16), Le32(file, h + 20)};
  }
  valid_ = true;
}

std::uint32_t PeView::ComputedChecksum() const {
  std::uint64_t sum = 0;
  for (std::size_t at = 0; at < file_.size(); at += 2) {
    if (at == ChecksumAt || at == ChecksumAt + 2) continue;
    sum += at + 1 < file_.size() ? Le16(file_, at) : file_[at];
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  return static_cast<std::uint32_t>(((sum & 0xFFFF) + (sum >> 16)) + file_.size());
}

std::pair<std::uint32_t, std::uint32_t> PeView::Directory(int index) const {
  return {Le32(file_, directories_ + 8 * index), Le32(file_, directories_ + 8 * index + 4)};
}

Bytes PeView::SectionBytes(const std::string& name) const {
  auto s = Sections.find(name);
  if (s == Sections.end() || s->second.RawOffset + s->second.RawSize > file_.size()) return {};
  return Bytes(file_.begin() + s->second.RawOffset, file_.begin() + s->second.RawOffset + s->second.RawSize);
}

namespace {

// The entry of `directory` whose key is `name` (digits: a number); its
// target, or 0.
std::uint32_t Lookup(const Bytes& r, std::uint32_t directory, const std::string& name) {
  const std::size_t count = Le16(r, directory + 12) + static_cast<std::size_t>(Le16(r, directory + 14));
  const bool number = !name.empty() && name.find_first_not_of("0123456789") == std::string::npos;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t key = Le32(r, directory + 16 + 8 * i), target = Le32(r, directory + 20 + 8 * i);
    if (number && !(key & 0x80000000) && key == std::stoul(name)) return target;
    if (!number && (key & 0x80000000)) {
      const std::size_t at = key & 0x7FFFFFFF;
      std::string text;
      for (std::size_t c = 0; c < Le16(r, at); ++c)
        text.push_back(static_cast<char>(Le16(r, at + 2 + 2 * c)));
      if (text == name) return target;
    }
  }
  return 0;
}

}  // namespace

Bytes PeView::Resource(std::uint16_t type, const std::string& name) const {
  const Bytes r = SectionBytes(".rsrc");
  const std::uint32_t address = Directory(2).first;
  std::uint32_t names = Lookup(r, 0, std::to_string(type));
  if (!(names & 0x80000000)) return {};
  std::uint32_t languages = Lookup(r, names & 0x7FFFFFFF, name);
  if (!(languages & 0x80000000)) return {};
  languages &= 0x7FFFFFFF;
  if (Le16(r, languages + 14) == 0) return {};
  const std::uint32_t entry = Le32(r, languages + 20);
  const std::uint32_t at = Le32(r, entry) - address, size = Le32(r, entry + 4);
  if (at + size > r.size()) return {};
  return Bytes(r.begin() + at, r.begin() + at + size);
}

std::vector<std::uint16_t> PeView::ResourceIds(std::uint16_t type) const {
  const Bytes r = SectionBytes(".rsrc");
  std::vector<std::uint16_t> ids;
  std::uint32_t names = Lookup(r, 0, std::to_string(type));
  if (!(names & 0x80000000)) return ids;
  names &= 0x7FFFFFFF;
  for (std::size_t i = 0; i < Le16(r, names + 14); ++i)
    ids.push_back(static_cast<std::uint16_t>(Le32(r, names + 16 + 8 * (Le16(r, names + 12) + i))));
  return ids;
}
