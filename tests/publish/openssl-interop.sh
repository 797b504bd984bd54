#!/usr/bin/env bash
# update-publish.exe against the host's own tools: its keys and signatures with
# openssl in both directions, its cabinets listed by cabextract.
#   openssl-interop.sh <wine-run> <update-publish.exe> <work folder>
set -euo pipefail
wine_run=$1 tool=$2 work=$3
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

exit $((failures > 0))
