# Where `cmake --install` puts things, relative to the prefix.
#
# Linux and the other Unix-like systems: the GNU layout.
#   bin/setuppack
#   share/man/man1/setuppack.1
#   share/preloader/SETUP.EXE        the preloader that `setuppack medium` copies
#   share/doc/preloader/             README.md, LICENSE, docs/
# Windows: one flat folder, the layout of the Windows package.
#   setuppack.exe, SETUP.EXE, README.md, LICENSE, docs/
#
# setuppack looks for SETUP.EXE beside itself, then in the data directory
# relative to its own (cmake/Install.cmake tells it where), so an installed
# tree can move to another prefix.
include(GNUInstallDirs)

if(WIN32)
  set(PRELOADER_INSTALL_BINDIR .)
  set(PRELOADER_INSTALL_DATADIR .)
  set(PRELOADER_INSTALL_DOCDIR .)
  set(PRELOADER_INSTALL_MANDIR "")  # no man pages on Windows
else()
  set(PRELOADER_INSTALL_BINDIR ${CMAKE_INSTALL_BINDIR})
  set(PRELOADER_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/${PROJECT_NAME})
  set(PRELOADER_INSTALL_DOCDIR ${CMAKE_INSTALL_DOCDIR})
  set(PRELOADER_INSTALL_MANDIR ${CMAKE_INSTALL_MANDIR})
endif()
