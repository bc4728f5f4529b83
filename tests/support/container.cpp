#include "container.h"

Bytes ArchiveNameField(const std::string& name) {
  Bytes out;
  out.push_back(static_cast<std::uint8_t>(name.size() & 0xFF));
  out.push_back(static_cast<std::uint8_t>((name.size() >> 8) & 0xFF));
  out.insert(out.end(), name.begin(), name.end());
  return out;
}

Bytes MakeContainer(std::uint16_t count, const std::vector<ContainerEntry>& entries) {
  Bytes out;
  out.push_back(static_cast<std::uint8_t>(count & 0xFF));
  out.push_back(static_cast<std::uint8_t>(count >> 8));
  for (const ContainerEntry& e : entries) {
    Bytes name = ArchiveNameField(e.Name);
    out.insert(out.end(), name.begin(), name.end());
    out.insert(out.end(), e.Member.begin(), e.Member.end());
  }
  return out;
}

Bytes MakeContainer(const std::vector<ContainerEntry>& entries) {
  return MakeContainer(static_cast<std::uint16_t>(entries.size()), entries);
}
