# The native build takes GoogleTest from the system's package. The Windows
# builds compile the same package's sources with the cross compiler, so that
# the test programs run under Wine against the real Win32 API.
if(CMAKE_CROSSCOMPILING)
  set(GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  # Quiet, and lightly optimized: only the test programs run this code.
  foreach(target gtest gtest_main gmock gmock_main)
    target_compile_options(${target} PRIVATE -w -O1)
  endforeach()
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

# Test programs of the 64-bit Windows build run under wine64, in a Wine prefix
# of their own inside the build tree; those of the 32-bit build under the
# 32-bit Wine (preloader_add_wine32_test). PRELOADER_WINE_COMMAND runs a
# program of the build in a test's command line.
set(PRELOADER_WINE32_COMMAND
    ${CMAKE_COMMAND} -E env WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix WINEDEBUG=-all
    "WINEDLLOVERRIDES=mscoree,mshtml=;winemenubuilder.exe=d" wine)
if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${CMAKE_SOURCE_DIR}/scripts/wine-run ${CMAKE_BINARY_DIR}/wineprefix)
  set(PRELOADER_WINE_COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR})
else()
  set(PRELOADER_WINE_COMMAND ${PRELOADER_WINE32_COMMAND})
endif()

# One test program: each case is its own CTest test natively; under Wine the
# program runs once as a whole, which saves a Wine start per case.
#
# gtest.h costs about a second in every test file: it is compiled once per
# build (gtest_pch) and every test program takes it from there. The test
# programs' own code is built with light optimization, which halves its
# build time; the code under test comes from the libraries, built as the
# preset builds them.
file(WRITE ${CMAKE_BINARY_DIR}/gtest_pch.cpp "// The precompiled gtest.h of the test programs.\n")
add_library(gtest_pch OBJECT ${CMAKE_BINARY_DIR}/gtest_pch.cpp)
target_link_libraries(gtest_pch PRIVATE GTest::gtest)
target_compile_options(gtest_pch PRIVATE -O1)
target_precompile_headers(gtest_pch PRIVATE <gtest/gtest.h>)

function(preloader_add_gtest target)
  target_precompile_headers(${target} REUSE_FROM gtest_pch)
  target_compile_options(${target} PRIVATE -O1)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${target} COMMAND ${target})
  else()
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 120)
  endif()
endfunction()

# The 32-bit build's test programs run under a 32-bit Wine where the host
# executes 32-bit code; scripts/test probes for that and then runs the tests
# labelled wine32 (the win32-wine test preset). One Wine prefix for all of
# them, inside the build tree.
function(preloader_add_wine32_test target)
  if(CMAKE_CROSSCOMPILING AND NOT CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    add_test(NAME ${target}_wine32 COMMAND ${PRELOADER_WINE32_COMMAND} $<TARGET_FILE:${target}>)
    set_tests_properties(${target}_wine32 PROPERTIES LABELS wine32 ${ARGN})
  endif()
endfunction()
