#!/usr/bin/env bash
# Signs SETUP.EXE the way the README tells a publisher to, with a throw-away
# certificate made here, and checks the signature:
#
#   sign_setup_exe.sh SETUP.EXE OUTDIR
#
# OUTDIR receives the certificate and key and the signed OUTDIR/SETUP.EXE,
# which the end-to-end tests then run. The signature must verify against the
# certificate, and a copy with one byte of its code changed must not.
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 SETUP.EXE OUTDIR" >&2
  exit 2
fi
exe=$1
out=$2
rm -rf "$out"
mkdir -p "$out"

# A self-signed code-signing certificate; a publisher uses the one a
# certification authority issued to them.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Throw-away Test Publisher" \
  -addext "extendedKeyUsage=codeSigning" \
  -keyout "$out/publisher.key" -out "$out/publisher.crt" 2>/dev/null

osslsigncode sign -certs "$out/publisher.crt" -key "$out/publisher.key" \
  -n "Setup" -h sha256 -in "$exe" -out "$out/SETUP.EXE" >/dev/null
echo "signed: $out/SETUP.EXE ($(stat -c %s "$exe") bytes unsigned, $(stat -c %s "$out/SETUP.EXE") signed)"

if ! osslsigncode verify -CAfile "$out/publisher.crt" -in "$out/SETUP.EXE" >"$out/verify.txt" 2>&1; then
  cat "$out/verify.txt"
  echo "FAIL the signature of the signed SETUP.EXE does not verify" >&2
  exit 1
fi
echo "ok   the signature verifies against the certificate"

# One byte of the code (the first byte of the first section) flipped.
cp "$out/SETUP.EXE" "$out/changed.exe"
python3 - "$out/changed.exe" <<'FLIP'
import struct, sys
with open(sys.argv[1], "r+b") as f:
    head = f.read(4096)
    pe = struct.unpack_from("<I", head, 0x3C)[0]
    first_section = pe + 24 + struct.unpack_from("<H", head, pe + 20)[0]
    code = struct.unpack_from("<I", head, first_section + 20)[0]
    f.seek(code)
    byte = f.read(1)[0]
    f.seek(code)
    f.write(bytes([byte ^ 0xFF]))
FLIP
if osslsigncode verify -CAfile "$out/publisher.crt" -in "$out/changed.exe" >/dev/null 2>&1; then
  echo "FAIL a changed SETUP.EXE still verifies" >&2
  exit 1
fi
rm -f "$out/changed.exe"
echo "ok   a changed copy does not verify"
