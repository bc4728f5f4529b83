// Tells whether a Wine runs this machine's Windows programs: the program
// raises an exception, its vectored handler catches it and execution goes
// on behind the raise, and the process ends with 42. A Wine whose signal
// delivery is broken (under an old emulator of i386 code) crashes or hangs
// here instead of in the middle of a test.
#include <windows.h>

namespace {

constexpr DWORD PROBE_EXCEPTION = 0xE0505242;
volatile LONG caught = 0;

LONG CALLBACK OnException(EXCEPTION_POINTERS* exception) {
  if (exception->ExceptionRecord->ExceptionCode != PROBE_EXCEPTION) return EXCEPTION_CONTINUE_SEARCH;
  caught = 1;
  return EXCEPTION_CONTINUE_EXECUTION;
}

}  // namespace

int main() {
  AddVectoredExceptionHandler(1, OnException);
  RaiseException(PROBE_EXCEPTION, 0, 0, nullptr);
  return caught ? 42 : 1;
}
