# Reproducible builds: one commit gives the same bytes in any directory, at
# any time and in any time zone. Objects name their sources relative to the
# source and build trees (the build tree's map comes last, so that it wins
# where the build tree lies inside the source tree), and Windows programs
# carry no link time stamp: the PE header's field stays 0.
add_compile_options(
  -ffile-prefix-map=${PROJECT_SOURCE_DIR}/=
  -ffile-prefix-map=${PROJECT_BINARY_DIR}/=)
if(WIN32)
  add_link_options(-Wl,--no-insert-timestamp)
endif()
