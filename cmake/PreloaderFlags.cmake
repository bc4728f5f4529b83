# SETUP.EXE carries no C++ runtime, so that it stays small and loads on every
# Windows from XP on. Whatever goes into it is compiled without exceptions,
# RTTI and guarded statics, each function and datum in a section of its own
# for the linker to drop, and (but for the decoder's inner loops) for size.
# The codec and staging folders build their part of it as object libraries
# with these flags; their ordinary libraries keep the C++ runtime's RTTI for
# the tests and setuppack, which derive from TLZSS.
function(preloader_runtime_free target)
  target_compile_options(${target} PRIVATE
    -fno-exceptions -fno-asynchronous-unwind-tables -fno-rtti -fno-threadsafe-statics
    -ffunction-sections -fdata-sections)
endfunction()

# As preloader_runtime_free, and small code.
function(preloader_small target)
  preloader_runtime_free(${target})
  target_compile_options(${target} PRIVATE -Os)
endfunction()
