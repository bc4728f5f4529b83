// Walking a container the way the preloader reads it: the entry count,
// then entry after entry, each a name field and a member. The walk checks
// the structure only; token streams are token_check's business.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "files/input_file.h"
#include "member_header.h"

// One entry as the container stores it: where it lies, its name, its
// member's header.
struct StoredEntry {
  int Index = -1;
  std::uint64_t Offset = 0;  // of the name length field
  std::string Name;          // the stored bytes, a zero byte included
  std::uint64_t MemberOffset = 0;
  MemberHeader Header;
  std::uint64_t TokenOffset() const { return MemberOffset + MEMBER_HEADER_SIZE; }
  std::uint64_t End() const { return TokenOffset() + Header.PackedSize; }
};

// Where and why a container stops being readable.
struct ContainerDamage {
  int Index = -1;  // -1: not inside an entry
  std::string Name;
  std::uint64_t Offset = 0;
  std::string What;
  std::string Describe() const;  // "entry 2 (DATA.BIN) at byte 1234: what"
};

class ContainerReader {
 public:
  ContainerReader() = default;
  ~ContainerReader();
  ContainerReader(const ContainerReader&) = delete;
  ContainerReader& operator=(const ContainerReader&) = delete;

  // Opens the file and reads the entry count; false with the reason.
  bool Open(const std::string& path, std::string& error, ContainerDamage& damage, bool& damaged);

  FILE* Stream() const { return stream_; }
  std::uint64_t FileSize() const { return size_; }
  // The file that was opened, as it was then: another stream on the
  // container must find the same.
  const FileIdentity& Identity() const { return identity_; }
  const FileStamp& Stamp() const { return stamp_; }
  int Count() const { return count_; }

  enum class Step { Entry, End, Damaged };
  // Reads the next entry's name and header and leaves the stream at its
  // token stream, wherever the previous caller left it.
  Step Next(StoredEntry& entry, ContainerDamage& damage);
  // Reads the entries that are left into `entries`, in order, each once
  // `accept` has taken it (with the entries before it in `entries`). False
  // at the first entry that is damaged or that `accept` refuses, with the
  // damage; that entry is not added.
  using Accept = std::function<bool(const StoredEntry& entry, const std::vector<StoredEntry>& before,
                                    ContainerDamage& damage)>;
  bool ReadEntries(std::vector<StoredEntry>& entries, ContainerDamage& damage, const Accept& accept);
  // Bytes behind the last entry, once Next has returned End.
  std::uint64_t TrailingBytes() const { return size_ - position_; }
  std::uint64_t EndOfEntries() const { return position_; }

 private:
  FILE* stream_ = nullptr;
  FileIdentity identity_;
  FileStamp stamp_;
  std::uint64_t size_ = 0;
  int count_ = 0;
  int index_ = 0;
  std::uint64_t position_ = 0;  // where the next entry begins
};
