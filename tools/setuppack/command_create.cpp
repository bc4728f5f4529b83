#include <cstdio>

#include "commands.h"
#include "member_names.h"
#include "parallel_packer.h"
#include "payload.h"
#include "temp_file.h"

namespace {

std::string Ratio(std::uint64_t packed, std::uint64_t unpacked) {
  if (unpacked == 0) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f%%", 100.0 * static_cast<double>(packed) / static_cast<double>(unpacked));
  return text;
}

}  // namespace

int RunCreate(const CreateOptions& options, const Console& console) {
  std::vector<Problem> problems;
  std::vector<PayloadFile> files = CollectPayload(options.Inputs, problems);
  CheckPayload(files, options.Container, problems);
  if (problems.empty() && files.empty()) problems.push_back({options.Container, "no files to pack"});
  if (!problems.empty()) {
    for (const Problem& problem : problems) console.Error(problem.File, problem.What);
    console.Error(options.Container, "refused; nothing was written");
    return EXIT_BAD_DATA;
  }

  bool hasInstaller = false;
  for (const PayloadFile& file : files) {
    hasInstaller = hasInstaller || IsInstaller(file.Name);
    if (IsPreloaderIni(file.Name))
      console.Warning(file.Path, "the preloader writes its own Install.ini over this member");
  }
  if (!hasInstaller)
    console.Warning(options.Container, "no member is named INSTALL.EXE, so the preloader will start nothing");

  InstallInterruptCleanup();
  PackSummary summary;
  Problem failure;
  if (!PackContainer(options.Container, files, options.Jobs, options.Effort, console, summary, failure)) {
    console.Error(failure.File, failure.What);
    return EXIT_BAD_DATA;
  }
  for (const Problem& warning : summary.Warnings) console.Warning(warning.File, warning.What);
  console.Note("setuppack: " + options.Container + ": " + std::to_string(files.size()) +
               (files.size() == 1 ? " file, " : " files, ") + std::to_string(summary.UnpackedBytes) +
               " -> " + std::to_string(summary.ContainerBytes) + " bytes (" +
               Ratio(summary.ContainerBytes, summary.UnpackedBytes) + ")");
  return EXIT_OK;
}
