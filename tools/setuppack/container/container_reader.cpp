#include "container/container_reader.h"

#include <cstring>

#include "base/console.h"
#include "container_layout.h"
#include "files/input_file.h"
#include "lzss.h"
#include "stream_position.h"
#include "base/system_error.h"

std::string ContainerDamage::Describe() const {
  std::string where;
  if (Index >= 0) where = "entry " + std::to_string(Index) + " (" + PrintableName(Name) + ") ";
  return where + "at byte " + std::to_string(Offset) + ": " + What;
}

ContainerReader::~ContainerReader() {
  if (stream_) std::fclose(stream_);
}

bool ContainerReader::Open(const std::string& path, std::string& error, ContainerDamage& damage,
                           bool& damaged) {
  damaged = false;
  // Sizes and entry offsets come from seeking: a pipe or a device would read
  // as a container cut short, with a length that wraps around. Such a file is
  // refused on the open handle; opening it never waits for a writer.
  InputFault fault;
  std::string why;
  stream_ = OpenInputFile(path, nullptr, fault, why);
  if (!stream_) {
    error = fault == InputFault::NotRegular
                ? "not a regular file; setuppack reads a container by seeking in it"
                : "cannot open: " + why;
    return false;
  }
  if (!IdentityOf(stream_, identity_) || !StampOf(stream_, stamp_)) {
    error = "cannot look at it: " + LastErrorText();
    return false;
  }
  StreamSeek(stream_, 0, SEEK_END);
  std::int64_t end = StreamTell(stream_);
  size_ = end > 0 ? static_cast<std::uint64_t>(end) : 0;
  StreamSeek(stream_, 0, SEEK_SET);

  std::uint8_t countField[ENTRY_COUNT_BYTES];
  if (std::fread(countField, 1, ENTRY_COUNT_BYTES, stream_) < ENTRY_COUNT_BYTES) {
    damage = {-1, {}, 0, "cut short: not even the 2-byte entry count is there"};
    damaged = true;
    return true;
  }
  // The preloader takes the count as signed: one with its top bit set means no entries.
  const std::uint32_t count = FieldValue(countField[0], countField[1]);
  if (count != 0 && EntriesOfCount(countField[0], countField[1]) == 0) {
    char text[96];
    std::snprintf(text, sizeof text,
                  "the entry count 0x%04X has its top bit set, so the preloader extracts nothing", count);
    damage = {-1, {}, 0, text};
    damaged = true;
    return true;
  }
  count_ = static_cast<int>(count);
  position_ = ENTRY_COUNT_BYTES;
  return true;
}

ContainerReader::Step ContainerReader::Next(StoredEntry& entry, ContainerDamage& damage) {
  if (index_ >= count_) return Step::End;
  entry = StoredEntry();
  entry.Index = index_;
  entry.Offset = position_;
  damage = {index_, {}, position_, {}};
  StreamSeek(stream_, static_cast<std::int64_t>(position_), SEEK_SET);

  bool whole = false;
  const std::uint32_t nameLength =
      ReadNameLength([this](void* to, std::size_t n) { return std::fread(to, 1, n, stream_); }, whole);
  if (!whole) {
    damage.What = "cut short inside the name length";
    return Step::Damaged;
  }
  entry.Name.resize(nameLength);
  std::size_t got = nameLength ? std::fread(&entry.Name[0], 1, nameLength, stream_) : 0;
  if (got < nameLength) {
    entry.Name.resize(got);
    damage.Name = entry.Name;
    damage.What = "cut short inside the name: " + std::to_string(nameLength) + " bytes announced, " +
                  std::to_string(got) + " there";
    return Step::Damaged;
  }
  damage.Name = entry.Name;
  entry.MemberOffset = position_ + NAME_LENGTH_BYTES + nameLength;
  damage.Offset = entry.MemberOffset;

  std::size_t headerBytes = ReadMemberHeader(stream_, entry.Header);
  if (headerBytes < MEMBER_HEADER_SIZE) {
    damage.What = "cut short inside the member header: " + std::to_string(headerBytes) + " of " +
                  std::to_string(MEMBER_HEADER_SIZE) + " bytes";
    return Step::Damaged;
  }
  if (entry.Header.Magic != MEMBER_MAGIC) {
    char text[96];
    std::snprintf(text, sizeof text, "no member here: the magic is 0x%08X, not 0x%08X",
                  static_cast<unsigned>(entry.Header.Magic), static_cast<unsigned>(MEMBER_MAGIC));
    damage.What = text;
    return Step::Damaged;
  }
  if (entry.Header.UnpackedSize == 0 && entry.Header.PackedSize != 0) {
    damage.What = "an empty member announces " + std::to_string(entry.Header.PackedSize) +
                  " token bytes; the preloader reads none of them and would take them for the next entry";
    return Step::Damaged;
  }
  if (entry.End() > size_) {
    damage.Offset = entry.TokenOffset();
    damage.What = "cut short: the token stream needs " + std::to_string(entry.Header.PackedSize) +
                  " bytes, only " + std::to_string(size_ - entry.TokenOffset()) + " are there";
    return Step::Damaged;
  }
  position_ = entry.End();
  ++index_;
  return Step::Entry;
}

bool ContainerReader::ReadEntries(std::vector<StoredEntry>& entries, ContainerDamage& damage,
                                  const Accept& accept) {
  StoredEntry entry;
  for (;;) {
    Step step = Next(entry, damage);
    if (step == Step::End) return true;
    if (step == Step::Damaged || !accept(entry, entries, damage)) return false;
    entries.push_back(entry);
  }
}
