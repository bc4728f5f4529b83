#include "preloader_model.h"

#include <vector>

#include "member_name.h"
#include "plain_decoder.h"

namespace {

constexpr std::size_t PATH_LIMIT = 256;  // bytes, the terminator included

// A 16-bit field; one cut short counts as 0, as the preloader has it.
std::uint32_t ReadShort(FILE* in) {
  int lo = std::getc(in);
  if (lo == EOF) return 0;
  int hi = std::getc(in);
  if (hi == EOF) return 0;
  return static_cast<std::uint32_t>(lo | (hi << 8));
}

}  // namespace

PreloaderOutcome ModelExtraction(const std::uint8_t* data, std::size_t size,
                                 const std::string& stagingDirectory) {
  PreloaderOutcome outcome;
  FILE* in = OpenMemoryInput(data, size);
  std::int16_t count = static_cast<std::int16_t>(ReadShort(in));
  outcome.Count = count > 0 ? count : 0;
  for (int index = 0; index < outcome.Count; ++index) {
    std::uint32_t length = ReadShort(in);
    std::string name(length, '\0');
    name.resize(std::fread(&name[0], 1, length, in));
    name.resize(name.find('\0') == std::string::npos ? name.size() : name.find('\0'));
    std::string path = stagingDirectory + name;
    // Only a plain file name of the staging directory is written, under that
    // very name.
    if (CheckMemberName(name.c_str()) != MemberNameFault::None || path.size() >= PATH_LIMIT) {
      outcome.Failed = true;
      outcome.FailedPath = path;
      break;
    }
    MemoryOutput output;
    PlainDecodeResult decoded = PlainDecode(in, output.Stream());
    outcome.Files[name] = output.Contents();
    if (!decoded.Result) {
      outcome.Failed = true;
      outcome.FailedPath = path;
      break;
    }
    ++outcome.EntriesWritten;
  }
  std::fclose(in);
  return outcome;
}
