// The one piece of the C++ runtime that SETUP.EXE needs, since it links no
// C++ library: the slot of a pure virtual operation in the vtable of an
// abstract class (Window). Nothing can call it: a Window is only ever used
// as the MainWindow it is part of.
#include <cstdlib>

extern "C" void __cxa_pure_virtual() { std::abort(); }
