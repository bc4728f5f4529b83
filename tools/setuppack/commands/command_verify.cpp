#include <algorithm>
#include <filesystem>
#include <system_error>

#include "commands/commands.h"
#include "files/file_digest.h"
#include "files/input_file.h"
#include "commands/preloader_file.h"
#include "image/preloader_image.h"

namespace fs = std::filesystem;

namespace {

bool ReadPreloader(const std::string& path, ImageBytes& bytes, std::string& why) {
  InputFault fault;
  FILE* stream = OpenInputFile(path, nullptr, fault, why);
  if (!stream) {
    if (fault == InputFault::CannotOpen) why = "cannot open: " + why;
    return false;
  }
  const bool read = ReadStreamUpTo(stream, PRELOADER_SIZE_LIMIT, bytes);
  std::fclose(stream);
  if (!read) why = "read error";
  if (read && bytes.size() > PRELOADER_SIZE_LIMIT) why = "more than the 16 MiB a preloader may have";
  return read && bytes.size() <= PRELOADER_SIZE_LIMIT;
}

std::string IconText(const std::vector<IconGroupEntry>& icon) {
  if (icon.empty()) return "none";
  std::string text;
  for (const IconGroupEntry& e : icon)
    text += (text.empty() ? "" : ", ") + std::to_string(e.Width) + "x" + std::to_string(e.Height) +
            (e.BitCount ? " " + std::to_string(e.BitCount) + "-bit" : std::string());
  return text;
}

// What else lies in the medium's directory goes onto the disc with it.
std::vector<std::string> OtherEntries(const std::string& directory) {
  std::vector<std::string> others;
  std::error_code error;
  for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name != PRELOADER_NAME && name != CONTAINER_NAME && name != AUTORUN_NAME) others.push_back(name);
  }
  std::sort(others.begin(), others.end());
  return others;
}

}  // namespace

int RunVerify(const std::string& directory, unsigned jobs, const CodePage& page, const Console& console) {
  const std::string setupExe = (fs::path(directory) / PRELOADER_NAME).string();
  const std::string container = (fs::path(directory) / CONTAINER_NAME).string();
  ImageBytes image;
  PreloaderFacts facts;
  std::string why;
  if (!ReadPreloader(setupExe, image, why) || !ReadPreloaderFacts(image, facts, why)) {
    console.Error(setupExe, why);
    return EXIT_BAD_DATA;
  }
  std::ostream& out = console.Out;
  out << setupExe << ":\n";
  out << "  binding:   "
      << (facts.Bound
              ? "SETUP.TMP with SHA-256 " + HexOf(facts.Digest, SHA256_DIGEST_SIZE)
              : std::string(facts.HasRecord ? "none (made with --unbound)" : "none (no binding record)"))
      << "\n";
  out << "  icon:      " << IconText(facts.Icon) << "\n";
  out << "  version:" << (facts.Version.empty() ? "   none" : "") << "\n";
  for (const auto& entry : facts.Version)
    out << "    " << Utf16ToSystemText(entry.first) << ": " << Utf16ToSystemText(entry.second) << "\n";
  out << "  texts:" << (facts.Texts.empty() ? "     none (the German ones built in)" : "") << "\n";
  for (const auto& entry : facts.Texts)
    out << "    " << entry.first << ": " << Utf16ToSystemText(entry.second) << "\n";
  out << "  signature: "
      << (facts.Signed ? "attached (" + std::to_string(facts.SignatureSize) +
                             " bytes; whether it is valid, osslsigncode verify or signtool verify tells)"
                       : std::string("none"))
      << "\n";
  const std::vector<std::string> others = OtherEntries(directory);
  if (!others.empty()) {
    std::string list;
    for (const std::string& name : others) list += (list.empty() ? "" : ", ") + PrintablePath(name);
    out << "  also on the medium: " << list << "\n";
  }

  if (!facts.ChecksumRight) {
    console.Error(setupExe, "its checksum field is wrong: the file was changed after it was made");
    return EXIT_BAD_DATA;
  }
  if (!facts.Bound) {
    console.Error(setupExe,
                  "not bound to a SETUP.TMP: it starts whatever container lies beside it (make the medium "
                  "without --unbound)");
    return EXIT_BAD_DATA;
  }
  std::uint8_t digest[SHA256_DIGEST_SIZE];
  if (!FileSha256(container, digest, why)) {
    console.Error(container, why);
    return EXIT_BAD_DATA;
  }
  if (!std::equal(digest, digest + SHA256_DIGEST_SIZE, facts.Digest)) {
    console.Error(container, "not the container SETUP.EXE is bound to: its SHA-256 is " +
                                 HexOf(digest, SHA256_DIGEST_SIZE) + "; SETUP.EXE would refuse it");
    return EXIT_BAD_DATA;
  }
  if (int tested = RunTest(container, jobs, page, console)) return tested;
  out << directory << ": SETUP.EXE is bound to SETUP.TMP, which tests clean: OK\n";
  return EXIT_OK;
}
