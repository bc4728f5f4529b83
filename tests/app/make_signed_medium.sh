#!/usr/bin/env bash
# Makes a medium the way the README tells a publisher to: `setuppack medium`
# (bound), then SETUP.EXE signed with a throw-away certificate made here,
# then `setuppack verify`:
#
#   make_signed_medium.sh OUTDIR SETUP.EXE STANDIN.EXE SETUPPACK-COMMAND...
#
# SETUPPACK-COMMAND runs the build's setuppack.exe under Wine, so it is
# given Windows paths (Z: is the Linux root).
#
# The payload is the stand-in installer, which writes its report where the
# test's environment says (STANDIN_REPORT), and its STANDIN.CFG, stamped
# 2020-01-02 03:04:06. OUTDIR receives the certificate and key, the medium
# as setuppack made it (OUTDIR/unsigned/) and signed (OUTDIR/SETUP.EXE and
# OUTDIR/SETUP.TMP), which the end-to-end tests then run. The signature must
# verify against the certificate, verify must pass the signed medium and see
# its signature, and a copy with one byte of its code changed must not
# verify.
set -euo pipefail

if [ $# -lt 4 ]; then
  echo "usage: $0 OUTDIR SETUP.EXE STANDIN.EXE SETUPPACK-COMMAND..." >&2
  exit 2
fi
out=$1
exe=$2
standin=$3
shift 3
rm -rf "$out"
mkdir -p "$out/payload"
cp "$standin" "$out/payload/INSTALL.EXE"
printf '[standin]\r\nmode=once\r\n' >"$out/payload/STANDIN.CFG"

windows() { printf 'Z:%s' "$1"; }
"$@" medium -q --mtime "2020-01-02 03:04:06" --preloader "$(windows "$exe")" "$(windows "$out/unsigned")" \
  "$(windows "$out/payload")"
echo "ok   setuppack medium made $out/unsigned"

# A self-signed code-signing certificate; a publisher uses the one a
# certification authority issued to them.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Throw-away Test Publisher" \
  -addext "extendedKeyUsage=codeSigning" \
  -keyout "$out/publisher.key" -out "$out/publisher.crt" 2>/dev/null

osslsigncode sign -certs "$out/publisher.crt" -key "$out/publisher.key" \
  -n "Setup" -h sha256 -in "$out/unsigned/SETUP.EXE" -out "$out/SETUP.EXE" >/dev/null
cp "$out/unsigned/SETUP.TMP" "$out/SETUP.TMP"
echo "signed: $out/SETUP.EXE ($(stat -c %s "$out/unsigned/SETUP.EXE") bytes unsigned, $(stat -c %s "$out/SETUP.EXE") signed)"

if ! osslsigncode verify -CAfile "$out/publisher.crt" -in "$out/SETUP.EXE" >"$out/verify.txt" 2>&1; then
  cat "$out/verify.txt"
  echo "FAIL the signature of the signed SETUP.EXE does not verify" >&2
  exit 1
fi
echo "ok   the signature verifies against the certificate"

if ! "$@" verify "$(windows "$out")" >"$out/setuppack-verify.txt" 2>&1 ||
  ! grep -q "^  signature: attached" "$out/setuppack-verify.txt"; then
  cat "$out/setuppack-verify.txt"
  echo "FAIL setuppack verify does not pass the signed medium" >&2
  exit 1
fi
echo "ok   setuppack verify passes the signed medium and sees its signature"

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
