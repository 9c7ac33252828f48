#!/usr/bin/env bash
# The build's signing step, run as the build runs it on a copy of the built installer, with a
# throwaway self-signed code-signing certificate made here by openssl: a PKCS#12 file with a
# password file, and a certificate with its key, both sign, verify and pass the layout check; a
# wrong password or a signature that does not verify stops with no installer left. Leaves the
# PKCS#12-signed installer in OUT_DIR for the end-to-end cases that install it.
#   signing-test.sh SOURCE_DIR INSTALLER CHECK_LAYOUT PAYLOAD_SIZES OUT_DIR
set -uo pipefail
source_dir=$1 installer=$2 check_layout=$3 payload_sizes=$4 out_dir=$5
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }

make_certificate() {  # NAME: NAME.pem, NAME.key
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Quorvel test signer $1" \
    -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=digitalSignature" \
    -keyout "$work/$1.key" -out "$work/$1.pem" >/dev/null 2>&1 || { echo "openssl could not make a certificate" >&2; exit 1; }
}
make_certificate signer
make_certificate stranger
printf 'throwaway password' >"$work/password"
printf 'not the password' >"$work/wrong-password"
openssl pkcs12 -export -inkey "$work/signer.key" -in "$work/signer.pem" -out "$work/signer.p12" \
  -passout "file:$work/password" || { echo "openssl could not make the PKCS#12 file" >&2; exit 1; }

# sign_step EXE OPTIONS...: the build's step on EXE; its messages in EXE.messages.
sign_step() {
  local exe=$1
  shift
  cmake "-DEXE=$exe" "-DOSSLSIGNCODE=$(command -v osslsigncode)" "-DCHECK_LAYOUT=$check_layout" \
    "-DPAYLOAD_SIZES=$payload_sizes" "-DREPORT=$exe.layout.txt" "$@" \
    -P "$source_dir/cmake/sign_installer.cmake" >"$exe.messages" 2>&1
}

# A build made with the signing options is signed already: start from its unsigned form.
osslsigncode remove-signature -in "$installer" -out "$work/unsigned.exe" >/dev/null 2>&1 ||
  cp "$installer" "$work/unsigned.exe"
installer=$work/unsigned.exe

mkdir -p "$out_dir"
rm -f "$out_dir/quorvel-setup.exe"
signed=$out_dir/quorvel-setup.exe
cp "$installer" "$signed"
cp "$installer" "$work/with-key.exe"
sign_step "$signed" "-DPKCS12=$work/signer.p12" "-DPASSWORD_FILE=$work/password" "-DVERIFY_CA=$work/signer.pem" ||
  fail "PKCS#12 signing: $(cat "$signed.messages")"
sign_step "$work/with-key.exe" "-DCERT=$work/signer.pem" "-DKEY=$work/signer.key" "-DVERIFY_CA=$work/signer.pem" ||
  fail "certificate and key signing: $(cat "$work/with-key.exe.messages")"
for exe in "$signed" "$work/with-key.exe"; do
  [ -f "$exe" ] || continue
  osslsigncode verify -CAfile "$work/signer.pem" -in "$exe" >/dev/null 2>&1 || fail "$exe does not verify"
  osslsigncode verify -CAfile "$work/stranger.pem" -in "$exe" >/dev/null 2>&1 && fail "$exe verifies against any CA"
  grep -q "certificate table" "$exe.layout.txt" || fail "the layout report of $exe names no certificate table"
  "$check_layout" --payload-sizes "$payload_sizes" "$exe" >/dev/null || fail "check_layout refuses $exe"
  # Everything before the certificate table but the header's checksum and security directory
  # is the unsigned installer.
  size=$(stat -c %s "$installer")
  cmp -s <(tail -c +1025 "$exe" | head -c $((size - 1024))) <(tail -c +1025 "$installer") ||
    fail "signing changed $exe after its headers"
done

# Refusals leave no installer behind and say why.
refusal() {  # NAME EXPECTED-TEXT OPTIONS...
  local exe=$work/$1.exe expected=$2
  shift 2
  cp "$installer" "$exe"
  if sign_step "$exe" "$@"; then fail "$exe: signing succeeded"; fi
  [ -e "$exe" ] && fail "$exe: an installer was left"
  [ -e "$exe.signed" ] && fail "$exe: the signed temporary file was left"
  tr -s ' \n' ' ' <"$exe.messages" | grep -qF "$expected" || fail "$exe: no \"$expected\" in: $(cat "$exe.messages")"
}
refusal wrong-password "Signing failed" "-DPKCS12=$work/signer.p12" "-DPASSWORD_FILE=$work/wrong-password"
refusal untrusted "does not verify" "-DPKCS12=$work/signer.p12" "-DPASSWORD_FILE=$work/password" \
  "-DVERIFY_CA=$work/stranger.pem"
refusal key-missing "needs its key" "-DCERT=$work/signer.pem"
refusal no-password-file "Signing file missing: $work/missing" "-DPKCS12=$work/signer.p12" "-DPASSWORD_FILE=$work/missing"

[ "$failures" = 0 ] && echo "signing: all checks passed"
exit $((failures != 0))
