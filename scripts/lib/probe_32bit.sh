# Sourced by scripts/setup, scripts/test and scripts/demo: can this host run
# the 32-bit build? Two questions, asked the same way by all of them.

# The kernel executes i386 code: a 93-byte static ELF that exits with 42.
runs_i386_code() {
  local elf status=0
  elf=$(mktemp)
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\x31\xdb\xb3\x2a\x31\xc0\x40\xcd\x80' >"$elf"
  chmod +x "$elf"
  "$elf" 2>/dev/null || status=$?
  rm -f "$elf"
  [ "$status" -eq 42 ]
}

# wine32_starts PREFIX PROGRAM STATUS: the 32-bit Wine starts the PE32
# PROGRAM without arguments in PREFIX (made on first use, which takes a
# while) and it ends with STATUS.
wine32_starts() {
  local prefix=$1 program=$2 expected=$3 status=0
  WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" timeout 120 \
    wine "$program" >/dev/null 2>&1 || status=$?
  [ "$status" -eq "$expected" ]
}

# Sets probe_reason and fails when the 32-bit build cannot run here; the
# window driver of the 32-bit build (BUILD_DIR) exits with 2 when given
# nothing.
probe_32bit() {
  local build_dir=$1
  if ! runs_i386_code; then
    probe_reason="the kernel does not run 32-bit code"
    return 1
  fi
  if ! wine32_starts "$build_dir/wineprefix" "$build_dir/tests/app/window_driver.exe" 2; then
    probe_reason="no 32-bit Wine runs here (Debian: wine32:i386)"
    return 1
  fi
}
