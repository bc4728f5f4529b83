#include "commands/packing.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "container/member_names.h"
#include "jobs/parallel_packer.h"
#include "files/temp_file.h"

namespace fs = std::filesystem;

namespace {

std::string Ratio(std::uint64_t packed, std::uint64_t unpacked) {
  if (unpacked == 0) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f%%",
                100.0 * static_cast<double>(packed) / static_cast<double>(unpacked));
  return text;
}

}  // namespace

bool ListPayloadFor(const CreateOptions& options, const std::vector<std::string>& otherOutputs,
                    InstallerRule installer, const Console& console, std::vector<PayloadFile>& files) {
  std::vector<Problem> problems;
  files = CollectPayload(options.Inputs, options.FollowLinks, problems);
  CheckPayload(files, options.Container, problems, options.Page);
  std::error_code error;
  for (const PayloadFile& file : files)
    for (const std::string& output : otherOutputs)
      if (fs::equivalent(file.Path, output, error))
        problems.push_back({file.Path, "is the file " + PrintablePath(output) + " being written"});
  if (problems.empty() && files.empty()) problems.push_back({options.Container, "no files to pack"});
  bool hasInstaller = false;
  for (const PayloadFile& file : files) hasInstaller = hasInstaller || IsInstaller(file.Name);
  if (problems.empty() && !hasInstaller && installer == InstallerRule::Require)
    problems.push_back(
        {options.Container, "no member is named INSTALL.EXE, so the medium would start nothing"});
  if (!problems.empty()) {
    for (const Problem& problem : problems) console.Error(problem.File, problem.What);
    console.Error(options.Container, "refused; nothing was written");
    return false;
  }

  for (const PayloadFile& file : files) {
    if (IsPreloaderIni(file.Name))
      console.Warning(file.Path, "the preloader writes its own Install.ini over this member");
  }
  if (!hasInstaller)
    console.Warning(options.Container, "no member is named INSTALL.EXE, so the preloader will start nothing");
  return true;
}

bool PackAndReport(const CreateOptions& options, const std::vector<PayloadFile>& files,
                   const Console& console) {
  InstallInterruptCleanup();
  PackSummary summary;
  Problem failure;
  if (!PackContainer(options.Container, files, options.Jobs, options.Effort, console, summary, failure,
                     options.Times)) {
    console.Error(failure.File, failure.What);
    return false;
  }
  for (const Problem& warning : summary.Warnings) console.Warning(warning.File, warning.What);
  console.Note("setuppack: " + options.Container + ": " + std::to_string(files.size()) +
               (files.size() == 1 ? " file, " : " files, ") + std::to_string(summary.UnpackedBytes) + " -> " +
               std::to_string(summary.ContainerBytes) + " bytes (" +
               Ratio(summary.ContainerBytes, summary.UnpackedBytes) + ")");
  return true;
}
