# The native build with AddressSanitizer and UndefinedBehaviorSanitizer over
# every target: the first fault aborts the program (no recovery), so a test
# that touches one fails instead of printing a note and passing.
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)

set(sanitize "-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer")
# Optimised a little, with line tables only: the instrumented templates of
# the command line parser compile twice as fast as with -O2 -g, and reports
# still name file and line. Assertions stay on.
set(CMAKE_C_FLAGS_RELWITHDEBINFO "-O1 -g1" CACHE STRING "")
set(CMAKE_CXX_FLAGS_RELWITHDEBINFO "-O1 -g1" CACHE STRING "")
set(CMAKE_C_FLAGS_INIT "${sanitize}")
set(CMAKE_CXX_FLAGS_INIT "${sanitize}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fsanitize=address,undefined")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-fsanitize=address,undefined")
