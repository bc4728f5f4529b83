#include <atomic>
#include <functional>
#include <map>

#include "commands/commands.h"
#include "container/container_reader.h"
#include "container/container_streams.h"
#include "container/member_names.h"
#include "container/open_container.h"
#include "jobs/ordered_jobs.h"
#include "base/progress_line.h"
#include "stream_position.h"
#include "container/token_check.h"

namespace {

// What the preloader would make of each entry's name, before its member is
// read: a name it cannot write, or one that lands on an earlier member's
// file. The walk stops at the first such entry, or at damage.
bool WalkEntries(ContainerReader& reader, const CodePage& page, std::vector<StoredEntry>& entries,
                 ContainerDamage& damage) {
  EntryNameRule names(page);
  return reader.ReadEntries(
      entries, damage,
      [&names](const StoredEntry& entry, const std::vector<StoredEntry>&, ContainerDamage& fault) {
        fault = {entry.Index, entry.Name, entry.Offset, names.Problem(entry.Index, entry.Name)};
        return fault.What.empty();
      });
}

}  // namespace

int RunTest(const std::string& container, unsigned jobs, const CodePage& page, const Console& console) {
  ContainerReader reader;
  if (!OpenIntactContainer(reader, container, console)) return EXIT_BAD_DATA;
  // The walk finds where each member starts; the token streams are checked
  // after it, side by side, and the first fault in the container's order
  // is the one reported: a token stream's before a later entry's damage.
  std::vector<StoredEntry> entries;
  ContainerDamage damage;
  bool damaged = !WalkEntries(reader, page, entries, damage);
  ContainerStreams streams(reader, container);
  std::string why;
  if (!streams.Open(JobsFor(entries.size(), jobs), why)) {
    console.Error(container, why);
    return EXIT_BAD_DATA;
  }

  std::atomic<std::uint64_t> bytesRead{0};
  ProgressLine line(console, "testing", static_cast<std::uint64_t>(reader.Count()), reader.FileSize(),
                    [&bytesRead] { return bytesRead.load(); });
  std::function<TokenCheck(unsigned, std::size_t)> check = [&](unsigned worker, std::size_t index) {
    const StoredEntry& entry = entries[index];
    FILE* stream = streams.Stream(worker);
    StreamSeek(stream, static_cast<std::int64_t>(entry.TokenOffset()), SEEK_SET);
    return CheckTokenStream(stream, entry.Header, entry.TokenOffset(), &bytesRead);
  };
  std::function<bool(std::size_t, TokenCheck&)> take = [&](std::size_t index, TokenCheck& result) {
    if (!result.Ok) {
      const StoredEntry& entry = entries[index];
      damage = {entry.Index, entry.Name, result.Offset, result.What};
      damaged = true;
      return false;
    }
    line.MemberDone();
    return true;
  };
  RunInOrder(entries.size(), streams.Count(), check, take, TokenBytesOf(entries));
  line.Stop();
  if (!damaged && reader.TrailingBytes() > 0) {
    damage = {-1,
              {},
              reader.EndOfEntries(),
              std::to_string(reader.TrailingBytes()) + " bytes behind the last of the " +
                  std::to_string(reader.Count()) +
                  " entries the count announces; the preloader never reads them"};
    damaged = true;
  }
  if (damaged) {
    console.Error(container, damage.Describe());
    return EXIT_BAD_DATA;
  }
  bool hasInstaller = false;
  bool hasIni = false;
  for (const StoredEntry& entry : entries) {
    hasInstaller = hasInstaller || IsInstaller(entry.Name);
    hasIni = hasIni || IsPreloaderIni(entry.Name);
  }
  if (!hasInstaller)
    console.Warning(container, "no member is named INSTALL.EXE, so the preloader will start nothing");
  if (hasIni)
    console.Warning(container, "the preloader writes its own Install.ini over the member of that name");
  if (!console.Quiet)
    console.Out << container << ": " << reader.Count() << (reader.Count() == 1 ? " entry" : " entries")
                << ", " << reader.FileSize() << " bytes, OK\n";
  return EXIT_OK;
}
