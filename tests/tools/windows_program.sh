#!/usr/bin/env bash
# Writes FILE with the headers of a 32-bit Windows program: an MZ header
# whose new-header offset leads to a PE header of an i386 executable image,
# and one section, ".bind", holding the unbound binding record. Enough for
# `setuppack medium` to take it as the preloader and bind it; it does not
# run.
#
#   windows_program.sh FILE
set -euo pipefail
zeros() { head -c "$1" /dev/zero; }
{
  printf 'MZ'
  zeros 58
  printf '\x40\x00\x00\x00'                  # the PE header at 0x40
  printf 'PE\x00\x00\x4c\x01\x01\x00'        # signature, machine i386, one section
  zeros 12
  printf '\xe0\x00\x02\x01'                  # optional header size, executable image
  printf '\x0b\x01'                          # PE32
  zeros 30
  printf '\x00\x10\x00\x00\x00\x02\x00\x00'  # section alignment 0x1000, file alignment 0x200
  zeros 52
  printf '\x10\x00\x00\x00'                  # 16 data directories
  zeros 128
  printf '.bind\x00\x00\x00'                 # the section: 48 bytes at 0x1000, raw at 0x200
  printf '\x30\x00\x00\x00\x00\x10\x00\x00\x00\x02\x00\x00\x00\x02\x00\x00'
  zeros 16
  zeros $((0x200 - 0x160))
  printf 'SETUPBND\x01\x00\x00\x00\x00\x00\x00\x00'
  zeros $((0x200 - 16))
} >"$1"
