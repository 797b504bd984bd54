#!/usr/bin/env bash
# update-publish.exe against the host's own tools: its keys and signatures with
# openssl in both directions, its cabinets listed by cabextract, and the
# README's worked example of the trust chain run as printed.
#   openssl-interop.sh <wine-run> <update-publish.exe> <work folder> <README.md>
set -euo pipefail
wine_run=$1 tool=$2 work=$3 readme=$4
rm -rf "$work" && mkdir -p "$work" && cd "$work"

failures=0
check() {  # check <what> <command...>: the command must succeed
  local what=$1; shift
  if "$@" >check.out 2>&1; then echo "ok: $what"; else echo "FAILED: $what"; cat check.out; failures=$((failures + 1)); fi
}
same() {  # same <what> <expected> <actual>
  if [ "$2" = "$3" ]; then echo "ok: $1"; else echo "FAILED: $1"; echo "  expected: $2"; echo "  actual:   $3"; failures=$((failures + 1)); fi
}
publish() { "$wine_run" "$tool" "$@" | tr -d '\r'; }
openssl_key() { openssl pkey -in "$1" -pubout -outform DER | base64 -w0; }

# The key files openssl makes, in each form, read by the tool.
openssl ecparam -name prime256v1 -genkey -noout -out sec1.pem
openssl ecparam -name prime256v1 -genkey -out with-parameters.pem
openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out pkcs8.pem 2>/dev/null
for key in sec1 with-parameters pkcs8; do
  same "tool reads openssl's $key key" "$(openssl_key $key.pem)" "$(publish pubkey $key.pem)"
done

# The tool's key file read by openssl.
tool_key=$(publish keygen tool.pem)
same "openssl reads the tool's key" "$(openssl_key tool.pem)" "$tool_key"

# A description and a package.
mkdir -p release/plugins && echo "host 1.1" >release/host.exe && echo "plugin" >release/plugins/a.dll
publish pack release update.cab >/dev/null
check "cabextract lists the tool's cabinet" sh -c 'cabextract -l update.cab | grep -q "plugins/a.dll" && cabextract -l update.cab | grep -q "host.exe"'
check "cabextract tests the tool's cabinet" cabextract -t update.cab
publish describe update.ini --client Demo --version 1.1 --sp 1 --url http://example.test/update.cab \
  --cab update.cab --expires 2099-01-01T00:00:00Z >/dev/null

# The tool's signature verified by openssl: over every byte before the signature line.
publish sign update.ini --key tool.pem >/dev/null
head -n -1 update.ini >message
tail -n 1 update.ini | tr -d '\r\n' | sed 's/^;signature=//' | base64 -d >signature.der
openssl pkey -in tool.pem -pubout -out tool-public.pem
check "openssl verifies the tool's signature" openssl dgst -sha256 -verify tool-public.pem -signature signature.der message

# openssl's signature verified by the tool.
cp message openssl-signed.ini
printf ';signature=%s\r\n' "$(openssl dgst -sha256 -sign sec1.pem message | base64 -w0)" >>openssl-signed.ini
check "the tool verifies openssl's signature" "$wine_run" "$tool" verify openssl-signed.ini \
  --publisher-key "$(openssl_key sec1.pem)" --client Demo --cab update.cab
if "$wine_run" "$tool" verify openssl-signed.ini --publisher-key "$tool_key" >/dev/null 2>&1; then
  echo "FAILED: the tool took openssl's signature for another key's"; failures=$((failures + 1))
else
  echo "ok: the tool refuses openssl's signature for another key"
fi

# The trust chain: every root signature checked by openssl over the bytes the
# README documents, the value of the statement's key exactly (no line break).
value() { sed -n "s/^$2=//p" "$1" | tr -d '\r'; }
verify_statement() {  # verify_statement <what> <public.pem> <file> <key>
  printf '%s' "$(value "$3" "$4")" >statement.txt
  value "$3" "$4Signature" | base64 -d >statement.der
  check "$1" openssl dgst -sha256 -verify "$2" -signature statement.der statement.txt
}
publish keygen root1.pem >/dev/null && publish keygen root2.pem >/dev/null
openssl pkey -in root1.pem -pubout -out root1.pub && openssl pkey -in root2.pem -pubout -out root2.pub
publish certify chain.ini --root root1.pem --signing-key "$tool_key" --id build-1 --until 2099-01-01T00:00:00Z >/dev/null
verify_statement "openssl verifies the root's certificate" root1.pub chain.ini Certificate
publish rotate chain.ini --root root1.pem --new-root root2.pem >/dev/null
publish revoke chain.ini --root root2.pem --id build-0 >/dev/null
publish sign update.ini --key tool.pem --chain chain.ini >/dev/null
verify_statement "openssl verifies the rotation by the old root" root1.pub update.ini Rotation1
verify_statement "openssl verifies the certificate by the new root" root2.pub update.ini Certificate
verify_statement "openssl verifies the revocation list by the new root" root2.pub update.ini Revocation
head -n -1 update.ini >message
tail -n 1 update.ini | tr -d '\r\n' | sed 's/^;signature=//' | base64 -d >signature.der
check "openssl verifies the description signed with the certified key" openssl dgst -sha256 -verify tool-public.pem -signature signature.der message
check "the tool follows the chain from the first root" "$wine_run" "$tool" verify update.ini \
  --root "$(openssl_key root1.pem)" --client Demo --cab update.cab

# A certificate that openssl's root signed, over the same bytes, taken by the tool.
openssl ecparam -name prime256v1 -genkey -noout -out openssl-root.pem
certificate="certificate/1 purpose=description id=build-9 until=2099-01-01T00:00:00Z key=$tool_key"
printf '[Trust]\r\nRoot=%s\r\nCertificate=%s\r\nCertificateSignature=%s\r\n' "$(openssl_key openssl-root.pem)" "$certificate" \
  "$(printf '%s' "$certificate" | openssl dgst -sha256 -sign openssl-root.pem | base64 -w0)" >openssl-chain.ini
check "the tool signs under openssl's certificate" "$wine_run" "$tool" sign update.ini --key tool.pem --chain openssl-chain.ini
check "the tool verifies under openssl's root" "$wine_run" "$tool" verify update.ini --root "$(openssl_key openssl-root.pem)"

# The README's worked example, as printed: its first block with the tool, its
# second (openssl's checks) on what the first made.
mkdir -p example/release-2.0.3 example/release-2.1
echo "host 2.0.3" >example/release-2.0.3/host.exe
echo "host 2.1" >example/release-2.1/host.exe && echo "notes" >example/release-2.1/notes.txt
awk '/^### A worked example/ { f = 1; next }
     /^## / { f = 0 }
     !f { next }
     /^    / { if (!inblock) { n++; inblock = 1 } print substr($0, 5) > ("example/block" n ".sh"); next }
     /^$/ { if (inblock) print "" > ("example/block" n ".sh"); next }
     { inblock = 0 }' "$readme"
# A shell of its own, so that the first command that fails ends it.
example() {
  (cd example && WINE_RUN=$wine_run TOOL=$tool bash -eo pipefail -c \
    'update-publish() { "$WINE_RUN" "$TOOL" "$@" | tr -d "\r"; }; . ./block1.sh')
}
check "the README's worked example runs as printed" example
same "openssl verifies each signature of the worked example" 4 \
  "$(cd example && bash -e ./block2.sh 2>&1 | grep -c '^Verified OK$' || true)"

exit $((failures > 0))
