# Every toolchain treats warnings as errors.
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wcast-align -Werror)
