#!/usr/bin/env bash
# Authenticode-signs a Windows program in place (SHA-256) and verifies it right after, when
# CODE_SIGNING_PFX names a certificate; otherwise leaves it unsigned and says so in one line.
#   CODE_SIGNING_PFX            PKCS#12 file with the code-signing certificate and its key
#   CODE_SIGNING_PASSWORD       its password; unset or empty for a file without one
#   CODE_SIGNING_TIMESTAMP_URL  optional: an RFC 3161 time-stamp server to countersign with
#   CODE_SIGNING_CA             optional: CA certificates (PEM) to verify against, such as an
#                               organisation's own CA; default: the system's
# The key is read where it lies and never copied; the password reaches osslsigncode through a
# pipe, never on a command line, and is never printed. It is passed exactly as given.
#   bash scripts/sign.sh FILE.exe
set -euo pipefail
file=${1:?usage: sign.sh FILE.exe}

if [ -z "${CODE_SIGNING_PFX:-}" ]; then
  echo "Not signed: set CODE_SIGNING_PFX (and CODE_SIGNING_PASSWORD) to sign $(basename "$file")."
  exit 0
fi
[ -r "$CODE_SIGNING_PFX" ] || { echo "sign.sh: cannot read CODE_SIGNING_PFX ($CODE_SIGNING_PFX)" >&2; exit 1; }

# Signed into a folder of its own beside the file (osslsigncode writes only new files), then
# moved over it once it verifies.
scratch=$(mktemp -d "$(dirname "$file")/.signing.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
signed=$scratch/$(basename "$file")
timestamp=()
[ -n "${CODE_SIGNING_TIMESTAMP_URL:-}" ] && timestamp=(-ts "$CODE_SIGNING_TIMESTAMP_URL")
sign() {
  osslsigncode sign -pkcs12 "$CODE_SIGNING_PFX" "$@" -h sha256 -n CpuDriverCheck "${timestamp[@]}" \
    -in "$file" -out "$signed" >/dev/null
}
# printf is a shell builtin: the password shows in no process list. A file without a password
# is opened without one (osslsigncode fails to read an empty password).
if [ -n "${CODE_SIGNING_PASSWORD:-}" ]; then
  sign -readpass <(printf '%s' "$CODE_SIGNING_PASSWORD")
else
  sign
fi

ca=()
against="the system's CA certificates; for a certificate of your organisation's own CA, set CODE_SIGNING_CA to its certificates (PEM)"
[ -n "${CODE_SIGNING_CA:-}" ] && ca=(-CAfile "$CODE_SIGNING_CA") && against="CODE_SIGNING_CA ($CODE_SIGNING_CA)"
if ! report=$(osslsigncode verify "${ca[@]}" -in "$signed" 2>&1); then
  printf '%s\n' "$report"
  echo "sign.sh: the signed file does not verify against $against; $file is left unsigned" >&2
  exit 1
fi
# A failed check of the time stamp still ends in success: read what the report says of it.
if [ ${#timestamp[@]} -gt 0 ] && ! grep -q 'Timestamp Server Signature verification: ok' <<<"$report"; then
  printf '%s\n' "$report"
  echo "sign.sh: the time stamp does not verify; $file is left unsigned" >&2
  exit 1
fi
mv "$signed" "$file"
echo "Signed $(basename "$file"):"
grep -E 'Subject:|Issuer :|Message digest algorithm|Signing time|Timestamp|verification:|Succeeded' <<<"$report" |
  sed 's/^[[:space:]]*/  /'
