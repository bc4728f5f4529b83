// Every text through the wide-character calls, so that a publisher's texts
// in any language show as written; paths are the system's ANSI ones.
#include "reports.h"

#include <cstdlib>

namespace {

constexpr int TEXT_COUNT = 7;
const wchar_t* const GERMAN[TEXT_COUNT] = {GERMAN_WAITING_TITLE,        GERMAN_FAILED_TITLE,
                                           GERMAN_DECODE_ERROR,         GERMAN_ARCHIVE_MISSING,
                                           GERMAN_NOT_BOUND_CONTAINER,  GERMAN_NO_STAGING_DIRECTORY,
                                           GERMAN_INSTALLER_NOT_STARTED};

// Each text once loaded, on the heap (a static buffer would be file size
// here); a text may be as long as a version string.
constexpr int TEXT_ROOM = 1025;
wchar_t* Loaded[TEXT_COUNT];

int SentenceOf(Failure failure) {
  switch (failure) {
    case Failure::ArchiveMissing:
      return TEXT_ARCHIVE_MISSING;
    case Failure::NotBoundContainer:
      return TEXT_NOT_BOUND_CONTAINER;
    case Failure::NoStagingDirectory:
      return TEXT_NO_STAGING_DIRECTORY;
    case Failure::InstallerNotStarted:
      return TEXT_INSTALLER_NOT_STARTED;
  }
  return TEXT_DECODE_ERROR;
}

// `path` in the system's code page as wide characters behind `text`'s
// first `at`; the whole is cut to the buffer.
void AppendPath(wchar_t* text, int at, int room, const char* path) {
  const int written = MultiByteToWideChar(CP_ACP, 0, path, -1, text + at, room - at);
  if (written <= 0) text[at] = L'\0';
}

}  // namespace

const wchar_t* PreloaderText(int id) {
  if (id < 1 || id > TEXT_COUNT) return L"";
  wchar_t*& text = Loaded[id - 1];
  if (!text) {
    text = static_cast<wchar_t*>(std::malloc(TEXT_ROOM * sizeof(wchar_t)));
    if (text && LoadStringW(GetModuleHandleA(nullptr), static_cast<UINT>(id), text, TEXT_ROOM) <= 0) {
      std::free(text);
      text = nullptr;
    }
  }
  return text ? text : GERMAN[id - 1];
}

bool UserCanAnswer() {
  USEROBJECTFLAGS flags = {};
  DWORD needed = 0;
  // Where the question cannot be asked, someone is there as before.
  if (!GetUserObjectInformationA(GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof flags, &needed))
    return true;
  return (flags.dwFlags & WSF_VISIBLE) != 0;
}

void ReportDecodeError(const char* path) {
  if (!UserCanAnswer()) return;
  // The whole path as the caption, however long the member's name made it.
  const int room = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
  wchar_t* caption = room > 0 ? static_cast<wchar_t*>(std::malloc(room * sizeof(wchar_t))) : nullptr;
  if (caption) AppendPath(caption, 0, room, path);
  MessageBoxExW(nullptr, PreloaderText(TEXT_DECODE_ERROR), caption ? caption : L"", MB_OK, 0);
  std::free(caption);
}

void ReportFailure(HWND window, Failure failure, const char* path) {
  SetWindowTextW(window, PreloaderText(TEXT_FAILED_TITLE));
  if (!UserCanAnswer()) return;
  // The sentence, a line break, and the path.
  constexpr int ROOM = TEXT_ROOM + MAX_PATH + 2;
  wchar_t* text = static_cast<wchar_t*>(std::malloc(ROOM * sizeof(wchar_t)));
  if (!text) return;
  const wchar_t* sentence = PreloaderText(SentenceOf(failure));
  int at = 0;
  while (sentence[at] && at < TEXT_ROOM) {
    text[at] = sentence[at];
    ++at;
  }
  text[at++] = L'\n';
  AppendPath(text, at, ROOM, path);
  MessageBoxExW(nullptr, text, PreloaderText(TEXT_FAILED_TITLE), MB_OK, 0);
  std::free(text);
}
