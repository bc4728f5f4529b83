# The install rules (layout in cmake/InstallLayout.cmake).
#
# The host preset builds no SETUP.EXE; the win32 preset does. A Linux install
# tree carries the preloader that PRELOADER_SETUP_EXE names, for example
#   cmake --preset host -DPRELOADER_SETUP_EXE=$PWD/build/win32/app/SETUP.EXE
# as scripts/release does. A Windows build installs its own SETUP.EXE.
set(PRELOADER_SETUP_EXE "" CACHE FILEPATH
    "The SETUP.EXE (built by the win32 preset) that a build without a preloader of its own installs")

# Where setuppack finds the installed preloader, relative to its own directory.
cmake_path(RELATIVE_PATH PRELOADER_INSTALL_DATADIR BASE_DIRECTORY ${PRELOADER_INSTALL_BINDIR}
           OUTPUT_VARIABLE preloader_from_bindir)
target_compile_definitions(setuppack_core PRIVATE SETUPPACK_PRELOADER_DIR="${preloader_from_bindir}")

install(TARGETS setuppack RUNTIME DESTINATION ${PRELOADER_INSTALL_BINDIR})

if(TARGET setup)
  install(PROGRAMS $<TARGET_FILE:setup> DESTINATION ${PRELOADER_INSTALL_DATADIR})
elseif(PRELOADER_SETUP_EXE)
  if(NOT EXISTS ${PRELOADER_SETUP_EXE})
    message(FATAL_ERROR "PRELOADER_SETUP_EXE: ${PRELOADER_SETUP_EXE} does not exist")
  endif()
  install(PROGRAMS ${PRELOADER_SETUP_EXE} DESTINATION ${PRELOADER_INSTALL_DATADIR} RENAME SETUP.EXE)
endif()

if(PRELOADER_INSTALL_MANDIR)
  configure_file(${PROJECT_SOURCE_DIR}/tools/setuppack/setuppack.1.in ${PROJECT_BINARY_DIR}/setuppack.1 @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/setuppack.1 DESTINATION ${PRELOADER_INSTALL_MANDIR}/man1)
endif()

install(FILES README.md LICENSE DESTINATION ${PRELOADER_INSTALL_DOCDIR})
install(DIRECTORY docs/ DESTINATION ${PRELOADER_INSTALL_DOCDIR}/docs)
