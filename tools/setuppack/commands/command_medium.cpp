#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "commands/commands.h"
#include "base/console.h"
#include "files/file_digest.h"
#include "files/input_file.h"
#include "container/member_names.h"
#include "commands/packing.h"
#include "commands/preloader_file.h"
#include "image/preloader_image.h"
#include "base/system_error.h"
#include "files/temp_file.h"

namespace fs = std::filesystem;

namespace {

// Windows reads AUTORUN.INF from the root of a disc or stick: it offers to
// start SETUP.EXE and shows the medium with SETUP.EXE's icon.
constexpr const char AUTORUN_TEXT[] =
    "[AutoRun]\r\n"
    "open=SETUP.EXE\r\n"
    "icon=SETUP.EXE,0\r\n";

// The text of a file of at most a few KB; "" for any other.
std::string ReadSmallFile(const std::string& path) {
  std::string text;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return text;
  char block[4096];
  std::size_t got = std::fread(block, 1, sizeof block, file);
  if (got < sizeof block) text.assign(block, got);
  std::fclose(file);
  return text;
}

std::string InDirectory(const std::string& directory, const char* name) {
  return (fs::path(directory) / name).string();
}

// The preloader to copy, open and checked; null after a reported failure.
FILE* OpenPreloader(const MediumOptions& options, const Console& console, std::string& path) {
  path = options.Preloader;
  if (path.empty()) {
    std::string here = ProgramDirectory();
    path = FindPreloader(here);
    if (path.empty()) {
      std::string looked;
      for (const std::string& place : PreloaderPlaces(here)) looked += (looked.empty() ? "" : " or ") + place;
      console.Error(PRELOADER_NAME, "no preloader shipped with this setuppack (looked for " +
                                        (looked.empty() ? std::string("setuppack's own directory") : looked) +
                                        "); name one with --preloader FILE");
      return nullptr;
    }
  }
  InputFault fault;
  std::string why;
  FILE* stream = OpenInputFile(path, nullptr, fault, why);
  if (!stream) {
    console.Error(path, fault == InputFault::CannotOpen ? "cannot open the preloader: " + why : why);
    return nullptr;
  }
  std::error_code error;
  const std::uintmax_t size = fs::file_size(path, error);
  if (!error && size > PRELOADER_SIZE_LIMIT) {
    std::fclose(stream);
    console.Error(path, std::to_string(size) +
                            " bytes, more than the 16 MiB a preloader may have; refused as the preloader");
    return nullptr;
  }
  std::string warning;
  std::string problem = WindowsProgramProblem(stream, warning);
  if (!problem.empty()) {
    std::fclose(stream);
    console.Error(path, problem + "; refused as the preloader");
    return nullptr;
  }
  if (!warning.empty()) console.Warning(path, warning);
  return stream;
}

// The publisher's icon and version strings, read and checked before
// anything is written. Returns the exit code of a refusal, or EXIT_OK.
int ReadBranding(const MediumOptions& options, const Console& console, Branding& branding) {
  std::string why;
  for (VersionFault fault : {ParseVersionAssignments(options.VersionInfo, branding.Version, why),
                             ParseTexts(options.Language, options.Texts, branding.Texts, why)}) {
    if (fault == VersionFault::None) continue;
    console.Error("medium", why);
    return fault == VersionFault::Usage ? EXIT_USAGE : EXIT_BAD_DATA;
  }
  if (options.Icon.empty()) return EXIT_OK;
  ImageBytes file;
  InputFault openFault;
  FILE* stream = OpenInputFile(options.Icon, nullptr, openFault, why);
  if (!stream) {
    console.Error(options.Icon, openFault == InputFault::CannotOpen ? "cannot open the icon: " + why : why);
    return EXIT_BAD_DATA;
  }
  const bool read = ReadStreamUpTo(stream, ICON_FILE_LIMIT, file);
  std::fclose(stream);
  if (!read) {
    console.Error(options.Icon, "read error: " + ErrnoText());
    return EXIT_BAD_DATA;
  }
  if (!ReadIconFile(file, branding.Icon, why)) {
    console.Error(options.Icon, why + "; refused as the icon");
    return EXIT_BAD_DATA;
  }
  return EXIT_OK;
}

// The preloader's bytes made ready for the medium but for the binding:
// checked that it can be bound (unless unbound) and branded (when asked).
bool PrepareImage(const MediumOptions& options, const Branding& branding, const std::string& path,
                  ImageBytes& image, const Console& console) {
  if (options.Unbound && branding.Empty()) return true;  // a copy, byte for byte
  PeImage headers;
  std::string why;
  if (!headers.Parse(image, why)) {
    console.Error(path, why + "; refused as the preloader");
    return false;
  }
  if (!options.Unbound) why = BindingProblem(image, headers);
  if (why.empty() && headers.Signed())
    why =
        "it carries a signature, which branding would break: brand the unsigned preloader and sign "
        "SETUP.EXE after setuppack medium";
  if (why.empty() && !branding.Empty() && !Brand(image, branding, why)) why += "; cannot brand it";
  if (!why.empty()) {
    console.Error(path, why);
    return false;
  }
  return true;
}

// The directories of `directory` and above it that do not exist yet,
// deepest first: what the medium creates, and removes again on failure.
std::vector<fs::path> MissingDirectories(const std::string& directory) {
  std::vector<fs::path> missing;
  std::error_code error;
  for (fs::path p = fs::absolute(directory, error); !p.empty() && !fs::exists(p, error);
       p = p.parent_path()) {
    missing.push_back(p);
    if (p == p.parent_path()) break;
  }
  return missing;
}

void RemoveEmptyDirectories(const std::vector<fs::path>& directories) {
  std::error_code ignored;
  for (const fs::path& directory : directories) fs::remove(directory, ignored);  // only when empty
}

// Once the medium is written, the directory holds that medium and nothing
// else of setuppack's: the AUTORUN.INF of an earlier run with --autorun
// (recognised by its text; one the publisher wrote stays) and temporary
// files of a run that was killed go. Whatever else is there would go onto
// the master disc with the medium, so it is named.
void TidyMedium(const std::string& directory, bool autorun, const Console& console) {
  std::error_code error;
  std::vector<std::string> others;
  for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    const std::string path = it->path().string();
    std::error_code ignored;
    bool regular = fs::is_regular_file(fs::symlink_status(path, ignored));
    if (name == PRELOADER_NAME || name == CONTAINER_NAME || (autorun && name == AUTORUN_NAME)) continue;
    if (regular && name == AUTORUN_NAME && ReadSmallFile(path) == AUTORUN_TEXT) {
      if (fs::remove(path, ignored))
        console.Note("setuppack: " + PrintablePath(path) +
                     ": removed, written by an earlier run with --autorun");
      continue;
    }
    if (regular && IsTempFileName(name) && fs::remove(path, ignored)) {
      console.Note("setuppack: " + PrintablePath(path) +
                   ": removed, left by an earlier run that was stopped");
      continue;
    }
    others.push_back(name);
  }
  if (others.empty()) return;
  std::sort(others.begin(), others.end());
  std::string list;
  for (const std::string& name : others) list += (list.empty() ? "" : ", ") + PrintableName(name);
  console.Warning(directory, std::to_string(others.size()) +
                                 (others.size() == 1 ? " other entry" : " other entries") +
                                 " would go onto the medium with it: " + list);
}

}  // namespace

int RunMedium(const MediumOptions& options, const Console& console) {
  const std::string& directory = options.Directory;
  std::error_code error;
  if (fs::exists(directory, error) && !fs::is_directory(directory, error)) {
    console.Error(directory, "not a directory");
    return EXIT_BAD_DATA;
  }
  Branding branding;
  if (int refused = ReadBranding(options, console, branding)) {
    console.Error(directory, "nothing was written");
    return refused;
  }
  std::string preloaderPath;
  FILE* preloader = OpenPreloader(options, console, preloaderPath);
  if (!preloader) {
    console.Error(directory, "nothing was written");
    return EXIT_BAD_DATA;
  }
  ImageBytes image;
  const bool read = ReadStreamUpTo(preloader, PRELOADER_SIZE_LIMIT, image);
  std::fclose(preloader);
  if (!read) {
    console.Error(preloaderPath, "read error: " + ErrnoText());
    return EXIT_BAD_DATA;
  }
  if (!PrepareImage(options, branding, preloaderPath, image, console)) {
    console.Error(directory, "nothing was written");
    return EXIT_BAD_DATA;
  }

  CreateOptions pack = options.Pack;
  pack.Container = InDirectory(directory, CONTAINER_NAME);
  const std::string setupExe = InDirectory(directory, PRELOADER_NAME);
  const std::string autorun = InDirectory(directory, AUTORUN_NAME);
  std::vector<std::string> others{setupExe};
  if (options.Autorun) others.push_back(autorun);
  std::vector<PayloadFile> files;
  if (!ListPayloadFor(pack, others, InstallerRule::Require, console, files)) return EXIT_BAD_DATA;

  std::vector<fs::path> created = MissingDirectories(directory);
  fs::create_directories(directory, error);
  if (!fs::is_directory(directory, error)) {
    console.Error(directory,
                  "cannot create the directory" + (error ? ": " + error.message() : std::string()));
    RemoveEmptyDirectories(created);
    return EXIT_BAD_DATA;
  }
  InstallInterruptCleanup();

  // SETUP.EXE and AUTORUN.INF are made first and put in place only once
  // SETUP.TMP is, so that a refused or failed container leaves nothing.
  std::string why;
  TempFile exeFile(setupExe);
  TempFile autorunFile(autorun);
  bool ready = exeFile.Create(why);
  if (!ready) {
    console.Error(setupExe, why);
  } else if (options.Autorun) {
    ready = autorunFile.Create(why);
    if (!ready)
      console.Error(autorun, why);
    else
      std::fwrite(AUTORUN_TEXT, 1, sizeof AUTORUN_TEXT - 1, autorunFile.Stream());
  }
  if (!ready || !PackAndReport(pack, files, console)) {
    exeFile.Discard();
    autorunFile.Discard();
    RemoveEmptyDirectories(created);
    return EXIT_BAD_DATA;
  }
  // SETUP.EXE is bound to the file as it now lies in OUTDIR, all its bytes.
  std::uint8_t digest[SHA256_DIGEST_SIZE];
  bool written = true;
  if (!options.Unbound && !FileSha256(pack.Container, digest, why)) {
    console.Error(pack.Container, why);
    written = false;
  } else if (!options.Unbound && !Bind(image, digest, why)) {
    console.Error(preloaderPath, why);
    written = false;
  }
  if (written && !(options.Unbound && branding.Empty())) SetChecksum(image);
  if (written && std::fwrite(image.data(), 1, image.size(), exeFile.Stream()) != image.size()) {
    console.Error(setupExe, "write error: " + ErrnoText());
    written = false;
  }
  if (!written) {
    exeFile.Discard();
    autorunFile.Discard();
    std::error_code ignored;
    fs::remove(pack.Container, ignored);
    RemoveEmptyDirectories(created);
    return EXIT_BAD_DATA;
  }
  if (!exeFile.Commit(why)) {
    console.Error(setupExe, why);
    return EXIT_BAD_DATA;
  }
  if (options.Autorun && !autorunFile.Commit(why)) {
    console.Error(autorun, why);
    return EXIT_BAD_DATA;
  }
  console.Note("setuppack: " + directory + ": " + PRELOADER_NAME +
               (options.Unbound ? std::string(" (not bound)")
                                : " bound to " + std::string(CONTAINER_NAME) + " (SHA-256 " +
                                      HexOf(digest, SHA256_DIGEST_SIZE) + ")") +
               ", " + CONTAINER_NAME + (options.Autorun ? std::string(", ") + AUTORUN_NAME : std::string()));
  TidyMedium(directory, options.Autorun, console);
  return EXIT_OK;
}
