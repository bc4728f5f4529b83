#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <vector>

#include "commands/commands.h"
#include "container/container_reader.h"
#include "container/container_streams.h"
#include "jobs/extract_member.h"
#include "container/member_names.h"
#include "container/open_container.h"
#include "jobs/ordered_jobs.h"
#include "base/progress_line.h"
#include "files/temp_file.h"

namespace fs = std::filesystem;

namespace {

// Every entry's name field and header, before anything is written: the
// container must read whole and every name pass the rule that test and list
// apply too. Otherwise the damage says which entry is at fault.
bool ReadEntries(ContainerReader& reader, const CodePage& page, std::vector<StoredEntry>& entries,
                 ContainerDamage& damage) {
  EntryNameRule names(page);
  return reader.ReadEntries(
      entries, damage,
      [&names](const StoredEntry& entry, const std::vector<StoredEntry>&, ContainerDamage& fault) {
        std::string problem = names.Problem(entry.Index, entry.Name);
        fault = {entry.Index, entry.Name, entry.Offset, problem.empty() ? problem : "refused: " + problem};
        return problem.empty();
      });
}

}  // namespace

int RunExtract(const std::string& container, const std::string& directory, unsigned jobs,
               const CodePage& page, const Console& console) {
  ContainerReader reader;
  if (!OpenIntactContainer(reader, container, console)) return EXIT_BAD_DATA;
  std::vector<StoredEntry> entries;
  ContainerDamage damage;
  if (!ReadEntries(reader, page, entries, damage)) {
    console.Error(container, damage.Describe() + "; nothing was written");
    return EXIT_BAD_DATA;
  }
  // Each member's file, under its name as this system writes it. The rule
  // let through only names that the container's code page defines; this
  // system's own may still lack a character (setuppack.exe under another
  // ANSI code page), and such a name is refused before anything is written.
  std::vector<std::string> targets;
  for (const StoredEntry& entry : entries) {
    std::string name;
    if (!page.ToSystem(entry.Name, name)) {
      console.Error(container, "entry " + std::to_string(entry.Index) + " (" + PrintableName(entry.Name) +
                                   "): this system's code page cannot name that file; nothing was written");
      return EXIT_BAD_DATA;
    }
    targets.push_back(MemberTarget(directory, name));
  }
  ContainerStreams streams(reader, container);
  std::string why;
  if (!streams.Open(JobsFor(entries.size(), jobs), why)) {
    console.Error(container, why + "; nothing was written");
    return EXIT_BAD_DATA;
  }

  std::error_code fsError;
  fs::create_directories(directory, fsError);
  if (!fs::is_directory(directory, fsError)) {
    console.Error(directory, "cannot create the directory");
    return EXIT_BAD_DATA;
  }
  InstallInterruptCleanup();

  std::atomic<std::uint64_t> written{0};
  ProgressLine line(console, "extracting", entries.size(), reader.FileSize(),
                    [&written] { return written.load(); });
  // Members are decoded side by side, each into a temporary file, and put
  // in place in their order: the first member that fails is the one
  // reported, and no member behind it appears.
  std::function<DecodedMember(unsigned, std::size_t)> decode = [&](unsigned worker, std::size_t index) {
    const StoredEntry& entry = entries[index];
    DecodedMember member = DecodeMember(streams.Codec(worker), streams.Stream(worker), entry, targets[index]);
    written += entry.End() - entry.Offset;
    return member;
  };
  std::function<bool(std::size_t, DecodedMember&)> putInPlace = [&](std::size_t index,
                                                                    DecodedMember& member) {
    const StoredEntry& entry = entries[index];
    MemberWritten result = PutInPlace(member);
    if (result.Outcome == MemberWritten::Result::Ok) {
      line.MemberDone();
      return true;
    }
    line.Stop();
    if (result.Outcome == MemberWritten::Result::Damaged)
      console.Error(container,
                    ContainerDamage{entry.Index, entry.Name, entry.MemberOffset, result.Why}.Describe());
    else
      console.Error(targets[index], result.Why);
    return false;
  };
  return RunInOrder(entries.size(), streams.Count(), decode, putInPlace, TokenBytesOf(entries))
             ? EXIT_OK
             : EXIT_BAD_DATA;
}
