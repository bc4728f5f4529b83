# Sourced by scripts/setup, test, demo and bench: how this machine runs the
# 32-bit product, asked the same way by all of them. probe_32bit PREFIX sets
#   probe_mode   native (the kernel runs i386 code), emulated (i386 code
#                goes through a registered qemu-i386 of version 10 or later)
#                or none
#   probe_how    "native" or "emulated (qemu-i386 10.0.2)"
#   probe_reason why it is none
# and succeeds unless the mode is none. Either way the 32-bit Wine must run
# a PE32 program that raises and catches an exception.

QEMU_MIN_MAJOR=10
# binfmt_misc's form of the i386 ELF executable header and its mask.
I386_ELF_MAGIC='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
I386_ELF_MASK='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

# The kernel executes i386 code, itself or through a registered
# interpreter: a 93-byte static ELF that exits with 42.
runs_i386_code() {
  local elf status=0
  elf=$(mktemp)
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\x31\xdb\xb3\x2a\x31\xc0\x40\xcd\x80' >"$elf"
  chmod +x "$elf"
  "$elf" 2>/dev/null || status=$?
  rm -f "$elf"
  [ "$status" -eq 42 ]
}

# Prints the binfmt_misc entry through which i386 executables run, if one
# is enabled. binfmt_misc is asked before the kernel's own ELF loader, so
# with such an entry every i386 program is emulated.
i386_binfmt_entry() {
  local entry
  for entry in /proc/sys/fs/binfmt_misc/*; do
    case ${entry##*/} in register | status | '*') continue ;; esac
    [ -f "$entry" ] && grep -qx enabled "$entry" 2>/dev/null || continue
    grep -qx 'magic 7f454c4601010100000000000000000002000300' "$entry" || continue
    echo "$entry"
    return 0
  done
  return 1
}

# The version ("10.0.2") of the qemu behind a binfmt_misc entry.
entry_qemu_version() {
  local interpreter
  interpreter=$(sed -n 's/^interpreter //p' "$1")
  "$interpreter" --version 2>/dev/null | sed -n '1s/.* version \([0-9][0-9.]*\).*/\1/p'
}

# Sets probe_mode, probe_how and probe_reason from the kernel alone.
probe_i386_kernel() {
  local entry version
  probe_mode=none probe_how="" probe_reason=""
  if entry=$(i386_binfmt_entry); then
    version=$(entry_qemu_version "$entry")
    if [ -z "$version" ]; then
      probe_reason="i386 code goes through $(sed -n 's/^interpreter //p' "$entry"), which is no qemu that tells its version"
      return 1
    fi
    if [ "${version%%.*}" -lt "$QEMU_MIN_MAJOR" ]; then
      probe_reason="i386 code goes through qemu-i386 $version, older than $QEMU_MIN_MAJOR (scripts/setup registers a newer one)"
      return 1
    fi
    probe_mode=emulated probe_how="emulated (qemu-i386 $version)"
  elif runs_i386_code; then
    probe_mode=native probe_how="native"
  else
    probe_reason="the kernel does not run i386 code and no qemu-i386 is registered for it"
    return 1
  fi
}

# Builds the fault probe once per checkout, with the product's compiler.
wine_probe_exe() {
  local source dir exe
  source="$(dirname "${BASH_SOURCE[0]}")/wine_probe.cpp"
  dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/build/probe"
  exe="$dir/wine_probe.exe"
  if [ ! -f "$exe" ] || [ "$source" -nt "$exe" ]; then
    mkdir -p "$dir"
    i686-w64-mingw32-g++ -O1 -static -o "$exe" "$source" >/dev/null 2>&1 || return 1
  fi
  echo "$exe"
}

# wine32_starts PREFIX PROGRAM STATUS: the 32-bit Wine starts the PE32
# PROGRAM without arguments in PREFIX (made on first use, which takes a
# while, minutes under emulation) and it ends with STATUS.
wine32_starts() {
  local prefix=$1 program=$2 expected=$3 status=0
  mkdir -p "$prefix"
  WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" timeout 600 \
    wine "$program" >/dev/null 2>&1 || status=$?
  [ "$status" -eq "$expected" ]
}

probe_32bit() {
  local prefix=$1 probe
  probe_i386_kernel || return 1
  if ! command -v wine >/dev/null || [ ! -x /usr/lib/wine/wine ]; then
    probe_mode=none probe_reason="no 32-bit Wine is installed (Debian: wine32:i386)"
    return 1
  fi
  if ! probe=$(wine_probe_exe); then
    probe_mode=none probe_reason="the fault probe could not be built (i686-w64-mingw32-g++)"
    return 1
  fi
  if ! wine32_starts "$prefix" "$probe" 42; then
    probe_mode=none probe_reason="the 32-bit Wine did not run a PE32 program that raises and catches an exception"
    return 1
  fi
}
