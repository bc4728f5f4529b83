#include <map>

#include "commands.h"
#include "container_reader.h"
#include "open_container.h"
#include "member_names.h"
#include "progress_line.h"
#include "stream_position.h"
#include "token_check.h"

namespace {

// What the preloader would make of the entry's name, before its member is
// read: a name it cannot write, or one that lands on an earlier member's file.
bool NameIsSound(const StoredEntry& entry, std::map<std::string, StoredEntry>& seen,
                 ContainerDamage& damage) {
  damage = {entry.Index, entry.Name, entry.Offset, MemberNameProblem(entry.Name)};
  if (!damage.What.empty()) return false;
  auto [it, added] = seen.emplace(WindowsNameKey(entry.Name), entry);
  if (added) return true;
  damage.What = "the preloader writes it over entry " + std::to_string(it->second.Index) + " (" +
                PrintableName(it->second.Name) + "), whose name " +
                (it->second.Name == entry.Name ? "is the same" : "differs only in case");
  return false;
}

}  // namespace

int RunTest(const std::string& container, const Console& console) {
  ContainerReader reader;
  if (!OpenIntactContainer(reader, container, console)) return EXIT_BAD_DATA;
  ContainerDamage damage;
  bool damaged = false;

  std::atomic<std::uint64_t> bytesRead{0};
  ProgressLine line(console, "testing", static_cast<std::uint64_t>(reader.Count()), reader.FileSize(),
                    [&bytesRead] { return bytesRead.load(); });
  std::map<std::string, StoredEntry> seen;
  bool hasInstaller = false;
  bool hasIni = false;
  StoredEntry entry;
  for (;;) {
    ContainerReader::Step step = reader.Next(entry, damage);
    if (step == ContainerReader::Step::End) break;
    if (step == ContainerReader::Step::Damaged || !NameIsSound(entry, seen, damage)) {
      damaged = true;
      break;
    }
    hasInstaller = hasInstaller || IsInstaller(entry.Name);
    hasIni = hasIni || IsPreloaderIni(entry.Name);
    TokenCheck check = CheckTokenStream(reader.Stream(), entry.Header, entry.TokenOffset(), &bytesRead);
    if (!check.Ok) {
      damage = {entry.Index, entry.Name, check.Offset, check.What};
      damaged = true;
      break;
    }
    line.MemberDone();
  }
  line.Stop();
  if (!damaged && reader.TrailingBytes() > 0) {
    damage = {-1, {}, reader.EndOfEntries(),
              std::to_string(reader.TrailingBytes()) + " bytes behind the last of the " +
                  std::to_string(reader.Count()) +
                  " entries the count announces; the preloader never reads them"};
    damaged = true;
  }
  if (damaged) {
    console.Error(container, damage.Describe());
    return EXIT_BAD_DATA;
  }
  if (!hasInstaller) console.Warning(container, "no member is named INSTALL.EXE, so the preloader will start nothing");
  if (hasIni) console.Warning(container, "the preloader writes its own Install.ini over the member of that name");
  if (!console.Quiet)
    console.Out << container << ": " << reader.Count() << (reader.Count() == 1 ? " entry" : " entries")
                << ", " << reader.FileSize() << " bytes, OK\n";
  return EXIT_OK;
}
