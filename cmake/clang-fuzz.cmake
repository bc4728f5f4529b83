# libFuzzer targets: Debian's clang with AddressSanitizer and
# UndefinedBehaviorSanitizer, every library instrumented for coverage. Only
# the fuzz targets themselves link libFuzzer's main (fuzz/CMakeLists.txt).
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)

set(sanitize "-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=all -fno-omit-frame-pointer")
include(${CMAKE_CURRENT_LIST_DIR}/sanitized_flags.cmake)

set(PRELOADER_FUZZ ON CACHE BOOL "Build the fuzz targets")
set(PRELOADER_TESTS OFF CACHE BOOL "Build the test programs")
