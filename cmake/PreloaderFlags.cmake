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
