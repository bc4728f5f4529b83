# The native build with AddressSanitizer and UndefinedBehaviorSanitizer over
# every target: the first fault aborts the program (no recovery), so a test
# that touches one fails instead of printing a note and passing.
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)

set(sanitize "-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer")
include(${CMAKE_CURRENT_LIST_DIR}/sanitized_flags.cmake)
