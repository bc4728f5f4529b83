#include "sample_container.h"

#include <stdexcept>

#include "members.h"

const char* HeaderFieldName(int field) {
  static const char* const names[HEADER_FIELDS] = {"Magic", "TwoSeconds",   "Minute",    "Hour",      "Day",
                                                   "Month", "Year", "UnpackedSize", "PackedSize"};
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
  Bytes& out = sample.Content;
  out = {static_cast<std::uint8_t>(sample.Entries.size()), 0};
  for (SampleEntry& entry : sample.Entries) {
    Bytes member = EncodeBytes(dir, entry.Data, &when);
    entry.Start = out.size();
    out.push_back(static_cast<std::uint8_t>(entry.Name.size()));
    out.push_back(0);
    out.insert(out.end(), entry.Name.begin(), entry.Name.end());
    entry.Member = out.size();
    entry.Tokens = entry.Member + 36;
    out.insert(out.end(), member.begin(), member.end());
    entry.End = out.size();
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
