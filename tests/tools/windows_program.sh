#!/usr/bin/env bash
# Writes FILE with the headers of a 32-bit Windows program: an MZ header
# whose new-header offset leads to a PE header of an i386 executable image.
# Enough for `setuppack medium` to take it as the preloader; it does not run.
#
#   windows_program.sh FILE
set -euo pipefail
{
  printf 'MZ'
  head -c 58 /dev/zero
  printf '\x40\x00\x00\x00'          # the PE header at 0x40
  printf 'PE\x00\x00\x4c\x01'        # signature, machine i386
  head -c 14 /dev/zero
  printf '\xe0\x00\x02\x01\x0b\x01'  # optional header size, executable image, PE32
  head -c 222 /dev/zero
  printf 'stand-in preloader\n'
} >"$1"
