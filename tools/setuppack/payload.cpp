#include "payload.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <system_error>

#include "console.h"
#include "member_names.h"

namespace fs = std::filesystem;

namespace {

void AddFile(const std::string& path, const std::string& name, const FileStamp& stamp,
             std::vector<PayloadFile>& files) {
  files.push_back({path, name, stamp.Size, stamp});
}

void AddDirectory(const fs::path& directory, const std::string& shown,
                  std::vector<PayloadFile>& files, std::vector<Problem>& problems) {
  std::error_code error;
  std::vector<fs::path> entries;
  for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error))
    entries.push_back(it->path());
  if (error) {
    problems.push_back({shown, "cannot list the directory: " + error.message()});
    return;
  }
  std::sort(entries.begin(), entries.end(),
            [](const fs::path& a, const fs::path& b) { return a.filename().string() < b.filename().string(); });
  std::string prefix = shown;
  if (!prefix.empty() && prefix.back() != '/' && prefix.back() != '\\') prefix += '/';
  for (const fs::path& entry : entries) {
    std::string name = entry.filename().string();
    std::string entryShown = prefix + name;
    FileStamp stamp;
    std::string why;
    switch (Inspect(entryShown, stamp, why)) {
      case PathKind::Regular:
        AddFile(entryShown, name, stamp, files);
        break;
      case PathKind::Directory:
        problems.push_back({entryShown, "a directory inside a directory: the preloader creates no subdirectories"});
        break;
      case PathKind::Missing:
        problems.push_back({entryShown, "gone while the directory was listed"});
        break;
      case PathKind::Other:
        problems.push_back({entryShown, why.empty() ? "not a regular file" : "cannot read it: " + why});
        break;
    }
  }
}

}  // namespace

std::vector<PayloadFile> CollectPayload(const std::vector<std::string>& arguments,
                                        std::vector<Problem>& problems) {
  std::vector<PayloadFile> files;
  for (const std::string& argument : arguments) {
    FileStamp stamp;
    std::string why;
    switch (Inspect(argument, stamp, why)) {
      case PathKind::Regular:
        AddFile(argument, fs::path(argument).filename().string(), stamp, files);
        break;
      case PathKind::Directory:
        AddDirectory(argument, argument, files, problems);
        break;
      case PathKind::Missing:
        problems.push_back({argument, "no such file or directory"});
        break;
      case PathKind::Other:
        problems.push_back({argument, why.empty() ? "not a regular file" : "cannot read it: " + why});
        break;
    }
  }
  return files;
}

void CheckPayload(const std::vector<PayloadFile>& files, const std::string& container,
                  std::vector<Problem>& problems) {
  if (files.size() > MAX_ENTRIES)
    problems.push_back({container, std::to_string(files.size()) +
                                       " files: a container holds at most 32767 entries"});
  std::map<std::string, const PayloadFile*> byWindowsName;
  std::error_code error;
  for (const PayloadFile& file : files) {
    std::string nameProblem = MemberNameProblem(file.Name);
    if (!nameProblem.empty()) problems.push_back({file.Path, nameProblem});
    if (file.Size > MAX_MEMBER_SIZE)
      problems.push_back({file.Path, std::to_string(file.Size) +
                                         " bytes: a member must be smaller than 4 GiB"});
    auto [it, added] = byWindowsName.emplace(WindowsNameKey(file.Name), &file);
    if (!added) {
      const PayloadFile& first = *it->second;
      problems.push_back({file.Path, first.Name == file.Name
                                         ? "stored as " + PrintableName(file.Name) + " like " +
                                               PrintablePath(first.Path) + " before it"
                                         : "the name " + PrintableName(file.Name) + " equals " +
                                               PrintableName(first.Name) + " (" + PrintablePath(first.Path) +
                                               ") apart from case; the preloader would write both to one file"});
    }
    if (fs::equivalent(file.Path, container, error))
      problems.push_back({file.Path, "is the container being written"});
  }
}
