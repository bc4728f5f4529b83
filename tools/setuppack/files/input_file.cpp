#include "files/input_file.h"

std::string InputChangeText(const FileStamp& then, const FileStamp& now) {
  if (then.Size != now.Size)
    return "changed since it was listed (" + std::to_string(then.Size) + " bytes then, " +
           std::to_string(now.Size) + " now)";
  return "changed since it was listed (its modification time differs)";
}

FILE* ReopenInputFile(const std::string& path, const FileIdentity& identity, const FileStamp& stamp,
                      std::string& error) {
  InputFault fault;
  FILE* stream = OpenInputFile(path, &stamp, fault, error);
  if (!stream) {
    error = fault == InputFault::Changed ? "changed since it was read" : "cannot open it again: " + error;
    return nullptr;
  }
  FileIdentity again;
  if (!IdentityOf(stream, again) || again != identity) {
    std::fclose(stream);
    error = "replaced since it was read: its name now leads to another file";
    return nullptr;
  }
  return stream;
}

bool ReadStreamUpTo(FILE* stream, std::size_t limit, std::vector<std::uint8_t>& bytes) {
  char block[1 << 16];
  std::size_t got;
  while (bytes.size() <= limit && (got = std::fread(block, 1, sizeof block, stream)) > 0)
    bytes.insert(bytes.end(), block, block + got);
  return !std::ferror(stream);
}
