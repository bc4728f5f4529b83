#include "commands/preloader_file.h"

#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "member_header.h"
#include "stream_position.h"

namespace fs = std::filesystem;

// The installed preloader's directory relative to setuppack's own; the build
// sets it from the install layout (cmake/Install.cmake).
#ifndef SETUPPACK_PRELOADER_DIR
#define SETUPPACK_PRELOADER_DIR "../share/preloader"
#endif

namespace {

// The fields of the two headers that say what a file is.
constexpr std::uint32_t MZ_NEW_HEADER_OFFSET = 0x3C;  // e_lfanew
constexpr std::uint32_t PE_SIGNATURE = 0x00004550;    // "PE\0\0"
constexpr std::uint32_t MACHINE_I386 = 0x014C;
constexpr std::uint32_t EXECUTABLE_IMAGE = 0x0002;
constexpr std::uint32_t IMAGE_IS_DLL = 0x2000;
constexpr std::uint32_t OPTIONAL_MAGIC_PE32 = 0x010B;
constexpr std::uint32_t OPTIONAL_MAGIC_PE32_PLUS = 0x020B;

bool ReadAt(FILE* stream, std::int64_t offset, int byteCount, std::uint32_t& value) {
  return StreamSeek(stream, offset, SEEK_SET) &&
         ReadLittleEndian(stream, byteCount, value) == static_cast<std::size_t>(byteCount);
}

}  // namespace

std::string ProgramDirectory() {
  std::string path;
#ifdef _WIN32
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) {
      path.assign(buffer.data(), length);
      break;
    }
    if (buffer.size() >= 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
#else
  std::error_code error;
  path = fs::read_symlink("/proc/self/exe", error).string();
  if (error) return {};
#endif
  return fs::path(path).parent_path().string();
}

std::vector<std::string> PreloaderPlaces(const std::string& programDirectory) {
  if (programDirectory.empty()) return {};
  fs::path here(programDirectory);
  std::vector<std::string> places{(here / PRELOADER_NAME).string()};
  std::string installed = (here / SETUPPACK_PRELOADER_DIR / PRELOADER_NAME).lexically_normal().string();
  if (installed != fs::path(places[0]).lexically_normal().string()) places.push_back(installed);
  return places;
}

std::string FindPreloader(const std::string& programDirectory) {
  std::error_code error;
  for (const std::string& place : PreloaderPlaces(programDirectory))
    if (fs::exists(place, error)) return place;
  return {};
}

std::string WindowsProgramProblem(FILE* stream, std::string& warning) {
  warning.clear();
  std::string problem;
  std::uint32_t mz = 0, newHeader = 0, signature = 0, machine = 0, optionalSize = 0, characteristics = 0,
                optionalMagic = 0;
  if (!ReadAt(stream, 0, 2, mz) || mz != 0x5A4D) {
    problem = "not a Windows program: it does not begin with an MZ header";
  } else if (!ReadAt(stream, MZ_NEW_HEADER_OFFSET, 4, newHeader) || newHeader < 0x40 ||
             !ReadAt(stream, newHeader, 4, signature) || signature != PE_SIGNATURE) {
    problem = "not a Windows program: its MZ header leads to no PE header (an MS-DOS program?)";
  } else if (!ReadAt(stream, std::int64_t{newHeader} + 4, 2, machine) ||
             !ReadAt(stream, std::int64_t{newHeader} + 20, 2, optionalSize) ||
             !ReadAt(stream, std::int64_t{newHeader} + 22, 2, characteristics) || optionalSize < 2 ||
             !ReadAt(stream, std::int64_t{newHeader} + 24, 2, optionalMagic) ||
             (optionalMagic != OPTIONAL_MAGIC_PE32 && optionalMagic != OPTIONAL_MAGIC_PE32_PLUS)) {
    problem = "not a Windows program: its PE header is cut short or damaged";
  } else if (characteristics & IMAGE_IS_DLL) {
    problem = "a DLL, not a program";
  } else if (!(characteristics & EXECUTABLE_IMAGE)) {
    problem = "not a Windows program: its PE header marks no executable image";
  } else if (machine != MACHINE_I386 || optionalMagic != OPTIONAL_MAGIC_PE32) {
    warning = "not a 32-bit x86 program: it does not start on 32-bit Windows";
  }
  StreamSeek(stream, 0, SEEK_SET);
  return problem;
}
