// Both calls are looked up, since the program has to start where they are
// missing: SetDefaultDllDirectories came with Windows 8 (and an update of
// Windows Vista and 7), SetDllDirectoryA with Windows XP SP1.
#include "dll_search.h"

#include "win32.h"

namespace {

typedef BOOL(WINAPI* SetDefaultDllDirectoriesCall)(DWORD flags);
typedef BOOL(WINAPI* SetDllDirectoryCall)(LPCSTR path);

// True while SetDllDirectoryA("") is in force, which the installer would
// inherit: only where SetDefaultDllDirectories is missing or failed.
bool CurrentDirectoryTakenOut = false;
// True from RestoreDllSearchForChildren's undoing of it to the start.
bool RestoredForChildren = false;

}  // namespace

void NarrowDllSearch() {
  auto setDefault = Kernel32Call<SetDefaultDllDirectoriesCall>("SetDefaultDllDirectories");
  if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  auto setDllDirectory = Kernel32Call<SetDllDirectoryCall>("SetDllDirectoryA");
  // "": the current directory leaves the search (the program's own stays
  // first where SetDefaultDllDirectories is missing: the system's order).
  if (setDllDirectory) CurrentDirectoryTakenOut = setDllDirectory("") != 0;
}

void RestoreDllSearchForChildren() {
  if (!CurrentDirectoryTakenOut) return;
  auto setDllDirectory = Kernel32Call<SetDllDirectoryCall>("SetDllDirectoryA");
  if (setDllDirectory) setDllDirectory(nullptr);  // NULL: the standard search again
  CurrentDirectoryTakenOut = false;
  RestoredForChildren = true;
}

void NarrowDllSearchAgain() {
  if (!RestoredForChildren) return;
  RestoredForChildren = false;
  auto setDllDirectory = Kernel32Call<SetDllDirectoryCall>("SetDllDirectoryA");
  if (setDllDirectory) CurrentDirectoryTakenOut = setDllDirectory("") != 0;
}
