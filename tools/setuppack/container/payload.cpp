#include "container/payload.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <system_error>

#include "base/console.h"
#include "container/member_names.h"

namespace fs = std::filesystem;

namespace {

struct Walk {
  bool FollowLinks;
  std::vector<PayloadFile>& Files;
  std::vector<Problem>& Problems;
};

void AddPath(const std::string& path, const std::string& name, bool insideDirectory, Walk& walk);

// A link inside a payload directory can lead anywhere (to /etc/passwd, to a
// user's keys): it is named instead of followed, unless asked for.
bool RefusedLink(const std::string& path, Walk& walk) {
  std::error_code error;
  if (walk.FollowLinks || !fs::is_symlink(fs::symlink_status(path, error))) return false;
  fs::path target = fs::read_symlink(path, error);
  walk.Problems.push_back({path, "a symbolic link" +
                                     (error ? std::string() : " to " + PrintablePath(target.string())) +
                                     ": pass --follow-links to pack what it points to"});
  return true;
}

void AddDirectory(const std::string& directory, Walk& walk) {
  std::error_code error;
  std::vector<std::string> names;
  for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error))
    names.push_back(it->path().filename().string());
  if (error) {
    walk.Problems.push_back({directory, "cannot list the directory: " + error.message()});
    return;
  }
  std::sort(names.begin(), names.end());
  std::string prefix = directory;
  if (!prefix.empty() && prefix.back() != '/' && prefix.back() != '\\') prefix += '/';
  for (const std::string& name : names)
    if (!RefusedLink(prefix + name, walk)) AddPath(prefix + name, name, true, walk);
}

// A FILE argument, a DIR argument, or an entry of a DIR.
void AddPath(const std::string& path, const std::string& name, bool insideDirectory, Walk& walk) {
  std::vector<PayloadFile>& files = walk.Files;
  std::vector<Problem>& problems = walk.Problems;
  FileStamp stamp;
  std::string why;
  switch (Inspect(path, stamp, why)) {
    case PathKind::Regular:
      files.push_back({path, name, {}, stamp.Size, stamp});
      break;
    case PathKind::Directory:
      if (insideDirectory)
        problems.push_back({path, "a directory inside a directory: the preloader creates no subdirectories"});
      else
        AddDirectory(path, walk);
      break;
    case PathKind::Missing:
      problems.push_back(
          {path, insideDirectory ? "gone while the directory was listed" : "no such file or directory"});
      break;
    case PathKind::Other:
      problems.push_back({path, why.empty() ? "not a regular file" : "cannot read it: " + why});
      break;
  }
}

}  // namespace

std::vector<PayloadFile> CollectPayload(const std::vector<std::string>& arguments, bool followLinks,
                                        std::vector<Problem>& problems) {
  std::vector<PayloadFile> files;
  Walk walk{followLinks, files, problems};
  for (const std::string& argument : arguments)
    AddPath(argument, fs::path(argument).filename().string(), false, walk);
  return files;
}

void CheckPayload(std::vector<PayloadFile>& files, const std::string& container,
                  std::vector<Problem>& problems, const CodePage& page) {
  if (files.size() > MAX_ENTRIES)
    problems.push_back(
        {container, std::to_string(files.size()) + " files: a container holds at most 32767 entries"});
  std::map<std::string, const PayloadFile*> byWindowsName;
  std::error_code error;
  for (PayloadFile& file : files) {
    if (!page.FromSystem(file.Name, file.Stored)) {
      problems.push_back({file.Path, "the name has a character that code page " +
                                         std::to_string(page.Number()) +
                                         " cannot hold; name another with --codepage, or rename the file"});
      continue;
    }
    std::string nameProblem = MemberNameProblem(file.Stored, page);
    if (!nameProblem.empty()) problems.push_back({file.Path, nameProblem});
    if (file.Size > MAX_MEMBER_SIZE)
      problems.push_back(
          {file.Path, std::to_string(file.Size) + " bytes: a member must be smaller than 4 GiB"});
    auto [it, added] = byWindowsName.emplace(WindowsNameKey(file.Stored, page), &file);
    if (!added) {
      const PayloadFile& first = *it->second;
      problems.push_back(
          {file.Path,
           first.Name == file.Name
               ? "stored as " + PrintableName(file.Name) + " like " + PrintablePath(first.Path) + " before it"
               : "the name " + PrintableName(file.Name) + " equals " + PrintableName(first.Name) + " (" +
                     PrintablePath(first.Path) +
                     ") apart from case; the preloader would write both to one file"});
    }
    if (fs::equivalent(file.Path, container, error))
      problems.push_back({file.Path, "is the container being written"});
  }
}
