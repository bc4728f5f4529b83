# libFuzzer targets: Debian's clang with AddressSanitizer and
# UndefinedBehaviorSanitizer, every library instrumented for coverage. Only
# the fuzz targets themselves link libFuzzer's main (fuzz/CMakeLists.txt).
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)

set(sanitize "-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=all -fno-omit-frame-pointer")
# Optimised a little, with line tables only: the instrumented templates of
# the command line parser compile twice as fast as with -O2 -g, and reports
# still name file and line. Assertions stay on.
set(CMAKE_C_FLAGS_RELWITHDEBINFO "-O1 -g1" CACHE STRING "")
set(CMAKE_CXX_FLAGS_RELWITHDEBINFO "-O1 -g1" CACHE STRING "")
set(CMAKE_C_FLAGS_INIT "${sanitize}")
set(CMAKE_CXX_FLAGS_INIT "${sanitize}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fsanitize=address,undefined")

set(PRELOADER_FUZZ ON CACHE BOOL "Build the fuzz targets")
set(PRELOADER_TESTS OFF CACHE BOOL "Build the test programs")
