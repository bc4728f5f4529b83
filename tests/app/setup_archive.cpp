#include "setup_archive.h"

namespace {
void Put16(Bytes& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
}  // namespace

Bytes ArchiveBytes(std::uint16_t count, const std::vector<ArchiveEntry>& entries) {
  Bytes out;
  Put16(out, count);
  for (const ArchiveEntry& e : entries) {
    Put16(out, static_cast<std::uint16_t>(e.Name.size()));
    out.insert(out.end(), e.Name.begin(), e.Name.end());
    out.insert(out.end(), e.Member.begin(), e.Member.end());
  }
  return out;
}

Bytes ArchiveBytes(const std::vector<ArchiveEntry>& entries) {
  return ArchiveBytes(static_cast<std::uint16_t>(entries.size()), entries);
}
