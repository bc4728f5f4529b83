#include <cerrno>
#include <cstring>
#include <filesystem>

#include "commands.h"
#include "container_reader.h"
#include "open_container.h"
#include "extract_path.h"
#include "file_time.h"
#include "lzss.h"
#include "progress_line.h"
#include "stream_position.h"
#include "temp_file.h"

namespace fs = std::filesystem;

namespace {

enum class Written { Ok, Damaged, WriteFailed };

// Decodes into a temporary file beside the target and renames it into place
// only when the member decoded whole, so a damaged member never replaces a
// good file. Decode gives the file its stored time; the rename keeps it.
Written DecodeInto(TLZSS& codec, const StoredEntry& entry, const fs::path& target, std::string& why) {
  TempFile temp(target.string());
  if (!temp.Create(why)) return Written::WriteFailed;
  codec.OutputStream = temp.Stream();
  StreamSeek(codec.InputStream, static_cast<std::int64_t>(entry.MemberOffset), SEEK_SET);
  int decoded = codec.Decode(codec.InputStream, codec.OutputStream);
  // Decode returns at once for an empty member and leaves its time alone.
  if (decoded && entry.Header.UnpackedSize == 0) SetStreamFileTime(codec.OutputStream, entry.Header.PackedTime());
  codec.OutputStream = nullptr;
  if (std::ferror(temp.Stream())) {
    why = std::string("write error: ") + std::strerror(errno);
    return Written::WriteFailed;
  }
  if (!decoded) {
    why = "the member does not decode to the " + std::to_string(entry.Header.UnpackedSize) +
          " bytes its header announces";
    return Written::Damaged;
  }
  return temp.Commit(why) ? Written::Ok : Written::WriteFailed;
}

}  // namespace

int RunExtract(const std::string& container, const std::string& directory, const Console& console) {
  ContainerReader reader;
  if (!OpenIntactContainer(reader, container, console)) return EXIT_BAD_DATA;
  ContainerDamage damage;
  TLZSS codec(0);
  if (!codec.OpenInput(container.c_str(), -1)) {
    console.Error(container, std::string("cannot open: ") + std::strerror(errno));
    return EXIT_BAD_DATA;
  }
  std::error_code fsError;
  fs::create_directories(directory, fsError);
  if (!fs::is_directory(directory, fsError)) {
    console.Error(directory, "cannot create the directory");
    return EXIT_BAD_DATA;
  }
  InstallInterruptCleanup();

  std::atomic<std::uint64_t> written{0};
  ProgressLine line(console, "extracting", static_cast<std::uint64_t>(reader.Count()), reader.FileSize(),
                    [&written] { return written.load(); });
  int status = EXIT_OK;
  StoredEntry entry;
  for (;;) {
    ContainerReader::Step step = reader.Next(entry, damage);
    if (step == ContainerReader::Step::End) break;
    if (step == ContainerReader::Step::Damaged) {
      line.Stop();
      console.Error(container, damage.Describe());
      return EXIT_BAD_DATA;
    }
    ExtractTarget target = ExtractTargetOf(entry.Name);
    ContainerDamage where{entry.Index, entry.Name, entry.Offset, {}};
    if (!target.Refusal.empty()) {
      line.Stop();
      where.What = "refused: " + target.Refusal;
      console.Error(container, where.Describe());
      status = EXIT_BAD_DATA;
      continue;
    }
    fs::path path(directory);
    for (std::size_t i = 0; i + 1 < target.Components.size(); ++i) path /= target.Components[i];
    fs::create_directories(path, fsError);
    path /= target.Components.back();

    std::string why;
    Written result = DecodeInto(codec, entry, path, why);
    if (result != Written::Ok) {
      line.Stop();
      if (result == Written::Damaged) {
        where.Offset = entry.MemberOffset;
        where.What = why;
        console.Error(container, where.Describe());
      } else {
        console.Error(path.string(), why);
      }
      return EXIT_BAD_DATA;
    }
    written += entry.End() - entry.Offset;
    line.MemberDone();
  }
  return status;
}
