# Flags shared by the sanitized builds; the including toolchain file sets
# `sanitize` (the compile flags) first.
#
# Optimised a little, with line tables only: the instrumented templates of
# the command line parser compile twice as fast as with -O2 -g, and reports
# still name file and line. Assertions stay on.
set(CMAKE_C_FLAGS_RELWITHDEBINFO "-O1 -g1" CACHE STRING "")
set(CMAKE_CXX_FLAGS_RELWITHDEBINFO "-O1 -g1" CACHE STRING "")
set(CMAKE_C_FLAGS_INIT "${sanitize}")
set(CMAKE_CXX_FLAGS_INIT "${sanitize}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fsanitize=address,undefined")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-fsanitize=address,undefined")
