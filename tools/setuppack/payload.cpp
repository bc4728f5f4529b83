#include "payload.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <system_error>

#include "member_names.h"

namespace fs = std::filesystem;

namespace {

void AddFile(const fs::path& path, const std::string& shown, std::vector<PayloadFile>& files,
             std::vector<Problem>& problems) {
  std::error_code error;
  std::uint64_t size = fs::file_size(path, error);
  if (error) {
    problems.push_back({shown, "cannot read its size: " + error.message()});
    return;
  }
  files.push_back({shown, path.filename().string(), size});
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
    std::string entryShown = prefix + entry.filename().string();
    fs::file_status status = fs::status(entry, error);
    if (error) {
      problems.push_back({entryShown, "cannot read it: " + error.message()});
    } else if (fs::is_directory(status)) {
      problems.push_back({entryShown,
                          "a directory inside a directory: the preloader creates no subdirectories"});
    } else if (!fs::is_regular_file(status)) {
      problems.push_back({entryShown, "not a regular file"});
    } else {
      AddFile(entry, entryShown, files, problems);
    }
  }
}

}  // namespace

std::vector<PayloadFile> CollectPayload(const std::vector<std::string>& arguments,
                                        std::vector<Problem>& problems) {
  std::vector<PayloadFile> files;
  for (const std::string& argument : arguments) {
    fs::path path(argument);
    std::error_code error;
    fs::file_status status = fs::status(path, error);
    if (error || !fs::exists(status)) {
      problems.push_back({argument, "no such file or directory"});
    } else if (fs::is_directory(status)) {
      AddDirectory(path, argument, files, problems);
    } else if (!fs::is_regular_file(status)) {
      problems.push_back({argument, "not a regular file"});
    } else {
      AddFile(path, argument, files, problems);
    }
  }
  return files;
}

void CheckPayload(const std::vector<PayloadFile>& files, const std::string& container,
                  std::vector<Problem>& problems) {
  if (files.size() > MAX_ENTRIES)
    problems.push_back({container, std::to_string(files.size()) +
                                       " files: a container holds at most 32767 entries"});
  std::map<std::string, const PayloadFile*> byFoldedName;
  std::error_code error;
  for (const PayloadFile& file : files) {
    std::string nameProblem = MemberNameProblem(file.Name);
    if (!nameProblem.empty()) problems.push_back({file.Path, nameProblem});
    if (file.Size > MAX_MEMBER_SIZE)
      problems.push_back({file.Path, std::to_string(file.Size) +
                                         " bytes: a member must be smaller than 4 GiB"});
    auto [it, added] = byFoldedName.emplace(FoldedName(file.Name), &file);
    if (!added) {
      const PayloadFile& first = *it->second;
      problems.push_back(
          {file.Path, first.Name == file.Name
                          ? "stored as " + file.Name + " like " + first.Path + " before it"
                          : "the name " + file.Name + " equals " + first.Name + " (" + first.Path +
                                ") apart from case; the preloader would write both to one file"});
    }
    if (fs::equivalent(file.Path, container, error))
      problems.push_back({file.Path, "is the container being written"});
  }
}
