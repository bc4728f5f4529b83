#include "sample_container.h"

#include <stdexcept>

#include "container.h"
#include "members.h"

const char* HeaderFieldName(int field) {
  static const char* const names[HEADER_FIELDS] = {"Magic", "TwoSeconds", "Minute",       "Hour",      "Day",
                                                   "Month", "Year",       "UnpackedSize", "PackedSize"};
  return names[field];
}

namespace {

SampleContainer Build() {
  ScratchDir dir;
  LocalTime when{2021, 6, 15, 10, 20, 30};
  SampleContainer sample;
  sample.Entries = {{"INSTALL.EXE", BytesOf("MZ stand-in installer, stand-in installer, stand-in installer")},
                    {"EMPTY.DAT", {}},
                    {"README.TXT", BytesOf("Bitte warten. Installation wird vorbereitet... warten.")}};
  std::vector<ContainerEntry> entries;
  for (const SampleEntry& entry : sample.Entries)
    entries.push_back({entry.Name, EncodeBytes(dir, entry.Data, &when)});
  sample.Content = MakeContainer(entries);
  // Where each field landed: the entries lie back to back behind the count.
  std::size_t at = 2;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    SampleEntry& entry = sample.Entries[i];
    entry.Start = at;
    entry.Member = entry.Start + 2 + entry.Name.size();
    entry.Tokens = entry.Member + 36;
    entry.End = entry.Member + entries[i].Member.size();
    at = entry.End;
  }
  return sample;
}

}  // namespace

const SampleContainer& SampleContainer::Get() {
  static const SampleContainer sample = Build();
  return sample;
}

const SampleEntry& SampleContainer::Entry(const std::string& name) const {
  for (const SampleEntry& entry : Entries)
    if (entry.Name == name) return entry;
  throw std::logic_error("no sample entry " + name);
}

Bytes WithField16(Bytes bytes, std::size_t at, std::uint16_t value) {
  bytes.at(at) = static_cast<std::uint8_t>(value);
  bytes.at(at + 1) = static_cast<std::uint8_t>(value >> 8);
  return bytes;
}

Bytes WithField32(Bytes bytes, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) bytes.at(at + i) = static_cast<std::uint8_t>(value >> (8 * i));
  return bytes;
}
