#include "preloader_model.h"

#include <vector>

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

std::vector<std::string> Components(const std::string& name) {
  std::vector<std::string> parts(1);
  for (char c : name) {
    if (c == '\\' || c == '/')
      parts.emplace_back();
    else
      parts.back() += c;
  }
  return parts;
}

// Names that would leave the staging directory: absolute, with a drive, or
// with a component that Windows reads as "..": only dots and blanks, at
// least two dots.
bool Refused(const std::string& name) {
  if (!name.empty() && (name[0] == '\\' || name[0] == '/')) return true;
  if (name.find(':') != std::string::npos) return true;
  for (const std::string& part : Components(name)) {
    std::size_t dots = 0;
    for (char c : part) dots += c == '.';
    if (part.find_first_not_of(". ") == std::string::npos && dots >= 2) return true;
  }
  return false;
}

// The file a name lands on in the fresh staging directory, or "" when it
// cannot be opened there: extraction makes no directories, so only a name
// that comes down to one component ("." and empty components drop out) and
// does not end in a separator names a file.
std::string TargetFile(const std::string& name) {
  if (name.empty() || name.back() == '\\' || name.back() == '/') return "";
  std::vector<std::string> kept;
  for (const std::string& part : Components(name))
    if (!part.empty() && part != ".") kept.push_back(part);
  return kept.size() == 1 ? kept[0] : "";
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
    std::string file = TargetFile(name);
    if (Refused(name) || path.size() >= PATH_LIMIT || file.empty()) {
      outcome.Failed = true;
      outcome.FailedPath = path;
      break;
    }
    MemoryOutput output;
    PlainDecodeResult decoded = PlainDecode(in, output.Stream());
    outcome.Files[file] = output.Contents();
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
