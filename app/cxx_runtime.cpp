// The one piece of the C++ runtime that SETUP.EXE may need, since it links
// no C++ library: the entry for a pure virtual operation in the vtable of an
// abstract class. Window's vtable is emitted where the compiler does not fold
// it into MainWindow's (an unoptimised build). Nothing calls the entry: a
// Window is only ever used as the MainWindow it is part of.
#include <cstdlib>

extern "C" void __cxa_pure_virtual() { std::abort(); }
