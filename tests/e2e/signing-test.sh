#!/usr/bin/env bash
# The build's signing step, run as the build runs it on a copy of the built installer, with a
# throwaway self-signed code-signing certificate made here by openssl: a PKCS#12 file with a
# password file, and a certificate with its key, both sign, verify and pass the layout check, and
# carry the uninstaller copy's signature in resource 2003; a wrong password, a signature that does
# not verify or a copy's certificate table too large for resource 2003 stops with no installer
# left. Leaves the PKCS#12-signed installer and the certificates in OUT_DIR for the end-to-end
# cases that install it.
#   signing-test.sh SOURCE_DIR INSTALLER CHECK_LAYOUT PAYLOAD_SIZES OUT_DIR
# Once those cases have left the installed uninstaller copy in OUT_DIR: it verifies with the
# installer's signer and is, but for its signature, the copy check_layout makes for signing.
#   signing-test.sh --installed-copy OUT_DIR CHECK_LAYOUT
set -uo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }

if [ "$1" = --installed-copy ]; then
  out_dir=$2 check_layout=$3
  copy=$out_dir/installed-kavriset.exe installer=$out_dir/quorvel-setup.exe
  [ -f "$copy" ] || { echo "no installed copy: ctest runs Signing.InstallsASignedUninstallerCopyThatUninstalls first" >&2; exit 1; }
  osslsigncode verify -CAfile "$out_dir/signer.pem" -in "$copy" >"$work/copy.txt" 2>&1 ||
    fail "the installed uninstaller copy does not verify: $(cat "$work/copy.txt")"
  osslsigncode verify -CAfile "$out_dir/stranger.pem" -in "$copy" >/dev/null 2>&1 && fail "the copy verifies against any CA"
  osslsigncode verify -CAfile "$out_dir/signer.pem" -in "$installer" >"$work/installer.txt" 2>&1
  signer() { sed -n "/Signer's certificate/,/Serial/p" "$1"; }
  [ -n "$(signer "$work/copy.txt")" ] && [ "$(signer "$work/copy.txt")" = "$(signer "$work/installer.txt")" ] ||
    fail "the copy's signer is not the installer's: $(signer "$work/copy.txt")"
  # Byte for byte the copy that was signed, but for the checksum and the security directory.
  "$check_layout" --write-copy "$work/expected.exe" "$installer" || fail "check_layout cannot write the copy"
  optional=$(( $(od -An -tu4 -j60 -N4 "$copy") + 24 ))
  while read -r offset _; do
    offset=$((offset - 1))
    if (( (offset < optional + 64 || offset >= optional + 68) && (offset < optional + 128 || offset >= optional + 136) )); then
      fail "the installed copy differs at byte $offset from the copy that was signed"
      break
    fi
  done < <(cmp -l "$work/expected.exe" <(head -c "$(stat -c %s "$work/expected.exe")" "$copy") 2>&1)
  [ "$failures" = 0 ] && echo "installed copy: all checks passed"
  exit $((failures != 0))
fi

source_dir=$1 installer=$2 check_layout=$3 payload_sizes=$4 out_dir=$5

make_certificate() {  # NAME [EXTENSION]: NAME.pem, NAME.key
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Quorvel test signer $1" \
    -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=digitalSignature" ${2:+-addext "$2"} \
    -keyout "$work/$1.key" -out "$work/$1.pem" >/dev/null 2>&1 || { echo "openssl could not make a certificate" >&2; exit 1; }
}
make_certificate signer
make_certificate stranger
# A certificate of about 17 KB: its signature cannot fit resource 2003's 16 KiB.
make_certificate oversized "nsComment=$(head -c 17000 /dev/zero | tr '\0' x)"
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
rm -f "$out_dir/quorvel-setup.exe" "$out_dir/installed-kavriset.exe"
cp "$work/signer.pem" "$work/stranger.pem" "$out_dir/"
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
  grep -q "certificate table .*signed" "$exe.layout.txt" || fail "the layout report of $exe names no certificate table"
  grep -Eq "resource 2003 .* a [1-9][0-9]*-byte certificate table" "$exe.layout.txt" ||
    fail "$exe carries no signature for its uninstaller copy: $(cat "$exe.layout.txt")"
  "$check_layout" --payload-sizes "$payload_sizes" "$exe" >/dev/null || fail "check_layout refuses $exe"
  # Everything before the certificate table but the header's checksum and security directory
  # and resource 2003 is the unsigned installer.
  read -r reserve reserve_size < <(awk '$1 == "resource" && $2 == 2003 { print $4, $6 }' "$exe.layout.txt")
  after=$((reserve + reserve_size))
  size=$(stat -c %s "$installer")
  cmp -s <(head -c "$reserve" "$exe" | tail -c +1025) <(head -c "$reserve" "$installer" | tail -c +1025) &&
    cmp -s <(tail -c +$((after + 1)) "$exe" | head -c $((size - after))) <(tail -c +$((after + 1)) "$installer") ||
    fail "signing changed $exe after its headers elsewhere than in resource 2003"
done
for left in "$signed".uninstaller* "$work"/with-key.exe.uninstaller*; do
  [ -e "$left" ] && fail "the signing step left the uninstaller copy it signed: $left"
done

# Refusals leave no installer behind and say why.
refusal() {  # NAME EXPECTED-TEXT OPTIONS...
  local exe=$work/$1.exe expected=$2
  shift 2
  cp "$installer" "$exe"
  if sign_step "$exe" "$@"; then fail "$exe: signing succeeded"; fi
  [ -e "$exe" ] && fail "$exe: an installer was left"
  ls "$exe".* 2>/dev/null | grep -qv '\.messages$' && fail "$exe: a temporary file was left: $(ls "$exe".*)"
  tr -s ' \n' ' ' <"$exe.messages" | grep -qF "$expected" || fail "$exe: no \"$expected\" in: $(cat "$exe.messages")"
}
refusal wrong-password "failed (osslsigncode sign)" "-DPKCS12=$work/signer.p12" "-DPASSWORD_FILE=$work/wrong-password"
refusal oversized "does not fit resource 2003" "-DCERT=$work/oversized.pem" "-DKEY=$work/oversized.key" \
  "-DVERIFY_CA=$work/oversized.pem"
refusal untrusted "does not verify" "-DPKCS12=$work/signer.p12" "-DPASSWORD_FILE=$work/password" \
  "-DVERIFY_CA=$work/stranger.pem"
refusal key-missing "needs its key" "-DCERT=$work/signer.pem"
refusal no-password-file "Signing file missing: $work/missing" "-DPKCS12=$work/signer.p12" "-DPASSWORD_FILE=$work/missing"

[ "$failures" = 0 ] && echo "signing: all checks passed"
exit $((failures != 0))
