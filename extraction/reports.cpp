#include "reports.h"

namespace {

const char DECODE_ERROR_TEXT[] = "Fehler beim Decodieren!";
const wchar_t FAILED_TITLE[] = L"Installation nicht m\u00F6glich";

const wchar_t* Sentence(Failure failure) {
  switch (failure) {
    case Failure::ArchiveMissing:
      return L"Die Installationsdaten wurden nicht gefunden:";
    case Failure::NotBoundContainer:
      return L"Die Installationsdaten geh\u00F6ren nicht zu diesem Setup-Programm:";
    case Failure::NoStagingDirectory:
      return L"F\u00FCr die Installation konnte kein sicheres Verzeichnis angelegt werden:";
    case Failure::InstallerNotStarted:
      return L"Das Installationsprogramm konnte nicht gestartet werden:";
  }
  return L"";
}

}  // namespace

bool UserCanAnswer() {
  USEROBJECTFLAGS flags = {};
  DWORD needed = 0;
  // Where the question cannot be asked, someone is there as before.
  if (!GetUserObjectInformationA(GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof flags, &needed))
    return true;
  return (flags.dwFlags & WSF_VISIBLE) != 0;
}

void ReportDecodeError(const char* path) {
  if (UserCanAnswer()) MessageBoxExA(nullptr, DECODE_ERROR_TEXT, path, MB_OK, 0);
}

void ReportFailure(HWND window, Failure failure, const char* path) {
  SetWindowTextW(window, FAILED_TITLE);
  if (!UserCanAnswer()) return;
  // The sentence, a line break, and the path in the system's code page.
  wchar_t text[512];
  const wchar_t* sentence = Sentence(failure);
  int at = 0;
  while (sentence[at] && at < 200) {
    text[at] = sentence[at];
    ++at;
  }
  text[at++] = L'\n';
  const int room = static_cast<int>(sizeof text / sizeof text[0]) - at;
  const int written = MultiByteToWideChar(CP_ACP, 0, path, -1, text + at, room);
  if (written <= 0) text[at] = L'\0';
  MessageBoxExW(nullptr, text, FAILED_TITLE, MB_OK, 0);
}
