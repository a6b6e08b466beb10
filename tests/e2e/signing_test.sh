#!/bin/sh
# Signing end to end with a throwaway code-signing certificate: scripts/sign.sh signs a copy of
# the built exe without ever printing the password; the signature verifies against that
# certificate; one flipped byte breaks it; a certificate file without a password works too; and
# the signed copy, run under Wine, writes exactly what the unsigned exe writes. Without a
# certificate the file is left as it is.
# Usage: signing_test.sh WINE_LOADER BUILD_BIN_DIR SOURCE_DIR
set -eu
wine=$1
bin=$2
source=$3
. "$(dirname "$0")/wine_lines.sh"
work=$(mktemp -d /tmp/cdc-signing.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $1"
  failures=$((failures + 1))
}

password="pw-$(od -An -N8 -tx1 /dev/urandom | tr -d ' \n')"
openssl req -x509 -newkey rsa:3072 -sha256 -days 2 -nodes -subj "/CN=CpuDriverCheck Test Signing" \
  -addext "basicConstraints=critical,CA:FALSE" -addext "keyUsage=critical,digitalSignature" \
  -addext "extendedKeyUsage=critical,codeSigning" \
  -keyout "$work/key.pem" -out "$work/cert.crt" 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.crt" -out "$work/cert.pfx" -passout "pass:$password"

mkdir "$work/unsigned" "$work/signed"
cp "$bin/CpuDriverCheck.exe" "$work/unsigned/"
cp "$bin/CpuDriverCheck.exe" "$work/signed/"

env -u CODE_SIGNING_PFX bash "$source/scripts/sign.sh" "$work/unsigned/CpuDriverCheck.exe" >"$work/unsigned.log" 2>&1 ||
  fail "without a certificate: $(cat "$work/unsigned.log")"
[ "$(wc -l <"$work/unsigned.log")" -eq 1 ] || fail "without a certificate, more than one line: $(cat "$work/unsigned.log")"
cmp -s "$bin/CpuDriverCheck.exe" "$work/unsigned/CpuDriverCheck.exe" || fail "changed without a certificate"

CODE_SIGNING_PFX="$work/cert.pfx" CODE_SIGNING_PASSWORD="$password" CODE_SIGNING_CA="$work/cert.crt" \
  bash "$source/scripts/sign.sh" "$work/signed/CpuDriverCheck.exe" >"$work/sign.log" 2>&1 || fail "sign.sh: $(cat "$work/sign.log")"
! grep -q "$password" "$work/sign.log" || fail "the password was printed"
[ -z "$(find "$work/signed" -name '.signing.*')" ] || fail "a temporary file was left beside the exe"

# A certificate file without a password (sign.sh verifies what it signs against CODE_SIGNING_CA).
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.crt" -out "$work/nopass.pfx" -passout pass:
cp "$bin/CpuDriverCheck.exe" "$work/nopass.exe"
env -u CODE_SIGNING_PASSWORD CODE_SIGNING_PFX="$work/nopass.pfx" CODE_SIGNING_CA="$work/cert.crt" \
  bash "$source/scripts/sign.sh" "$work/nopass.exe" >"$work/nopass.log" 2>&1 || fail "without a password: $(cat "$work/nopass.log")"

osslsigncode verify -in "$work/signed/CpuDriverCheck.exe" -CAfile "$work/cert.crt" >"$work/verify.log" 2>&1 ||
  fail "the signed exe does not verify: $(cat "$work/verify.log")"
grep -q 'Subject: /CN=CpuDriverCheck Test Signing' "$work/verify.log" || fail "not signed by the test certificate"
grep -q 'Message digest algorithm *: SHA256' "$work/verify.log" || fail "not a SHA-256 signature"

cp "$work/signed/CpuDriverCheck.exe" "$work/tampered.exe"
# One byte of code, well inside the first section.
printf '\377' | dd of="$work/tampered.exe" bs=1 seek=2048 conv=notrunc 2>/dev/null
cmp -s "$work/signed/CpuDriverCheck.exe" "$work/tampered.exe" && fail "the byte did not change"
! osslsigncode verify -in "$work/tampered.exe" -CAfile "$work/cert.crt" >/dev/null 2>&1 ||
  fail "a changed byte still verifies"

for kind in unsigned signed; do
  cp "$bin/stand_in_installer.exe" "$work/$kind/ZEL.exe"
  # A provider that no machine has: the installer runs, whatever the processors carry.
  printf '[CPU]\r\nProvider=Signing Test Provider\r\n' >"$work/$kind/CpuInfo.ini"
done
# The same folder for both runs, so that the printed paths are the same too.
run() {
  rm -rf "$work/run"
  cp -r "$work/$1" "$work/run"
  code=0
  "$wine" "$work/run/CpuDriverCheck.exe" </dev/null >"$work/$1.out" 2>"$work/$1.err" || code=$?
  echo "$code" >"$work/$1.code"
  set_wine_lines_aside "$work/$1.err"
}
run unsigned
run signed
grep -q 'Finish Install' "$work/unsigned.out" || fail "the unsigned run did not get through: $(cat "$work/unsigned.out")"
for stream in out err code; do  # both sides of each, as bytes
  cmp -s "$work/unsigned.$stream" "$work/signed.$stream" ||
    fail "$stream differs: unsigned: $(od -An -c "$work/unsigned.$stream" | head); signed: $(od -An -c "$work/signed.$stream" | head)"
done

[ "$failures" -eq 0 ] && echo "signing: passed" || show_wine_lines "$work/unsigned.err" "$work/signed.err"
exit "$failures"
