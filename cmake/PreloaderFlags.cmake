# SETUP.EXE carries no C++ runtime, so that it stays small and loads on every
# Windows from XP on. Whatever goes into it is compiled without exceptions,
# RTTI and guarded statics, each function and datum in a section of its own
# for the linker to drop, and (but for the decoder's inner loops) for size.
# The codec and staging folders build their part of it as object libraries
# with these flags; their ordinary libraries keep the C++ runtime's RTTI for
# the tests and setuppack, which derive from TLZSS.
#
# On 32-bit x86 they are built for the Pentium (i586): Windows XP runs on
# processors without the P6's conditional moves (Pentium MMX, K6, VIA C3),
# and the toolchain's default would bring them in anywhere. Only the files
# that are taken after a cpuid check (SSE2, the SHA extensions) use more.
function(preloader_runtime_free target)
  target_compile_options(${target} PRIVATE
    -fno-exceptions -fno-asynchronous-unwind-tables -fno-rtti -fno-threadsafe-statics
    -ffunction-sections -fdata-sections)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^i[3-6]86$")
    target_compile_options(${target} PRIVATE -march=i586)
  endif()
endfunction()

# As preloader_runtime_free, and small code.
function(preloader_small target)
  preloader_runtime_free(${target})
  target_compile_options(${target} PRIVATE -Os)
endfunction()

# A room of the preloader's Windows side: a library of its sources (built
# natively against the declarations of the Win32 stand-in, for the tests and
# fuzz targets, and for Windows with the C++ runtime, for setuppack's and
# the tests' use), and for Windows an object library of the same sources
# that SETUP.EXE takes: no C++ runtime, small code. DEPENDS are the rooms
# and libraries it uses; each has a NAME_preloader twin where it is a room.
function(preloader_room name)
  cmake_parse_arguments(ROOM "" "" "SOURCES;DEPENDS;PRELOADER_DEPENDS;SYSTEM_LIBS" ${ARGN})
  add_library(${name} STATIC ${ROOM_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  # The preloader runs without exceptions.
  target_compile_options(${name} PRIVATE -fno-exceptions)
  target_link_libraries(${name} PUBLIC ${ROOM_DEPENDS})
  if(WIN32)
    target_link_libraries(${name} PUBLIC ${ROOM_SYSTEM_LIBS})
    add_library(${name}_preloader OBJECT ${ROOM_SOURCES})
    target_include_directories(${name}_preloader PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${name}_preloader PUBLIC ${ROOM_PRELOADER_DEPENDS})
    preloader_small(${name}_preloader)
  else()
    target_link_libraries(${name} PUBLIC win32_api)
  endif()
endfunction()
