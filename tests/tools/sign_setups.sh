#!/bin/sh
# Signs setup programs as a release engineer would, with a code-signing
# certificate from a test CA made here, and checks the signatures:
#   sign_setups.sh OUT_DIR NAME=SETUP.EXE...   writes OUT_DIR/NAME/setup.exe
# osslsigncode must accept each signed copy with the test CA as the only
# trusted root, and must refuse a copy with one byte of its code changed.
set -eu
out=$1
shift
keys=$(mktemp -d /tmp/tonvaro-signing.XXXXXX)
trap 'rm -rf "$keys"' EXIT

cat > "$keys/ca.cnf" <<'CNF'
[req]
distinguished_name = dn
prompt = no
[dn]
CN = Tonvaro Test Root CA
[ca]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[signer]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
authorityKeyIdentifier = keyid
CNF
openssl req -x509 -new -newkey rsa:2048 -nodes -sha256 -days 2 -config "$keys/ca.cnf" \
    -extensions ca -keyout "$keys/ca.key" -out "$keys/ca.pem" 2>/dev/null
openssl req -new -newkey rsa:2048 -nodes -subj "/CN=Quenvale Test Code Signing" \
    -keyout "$keys/signer.key" -out "$keys/signer.csr" 2>/dev/null
openssl x509 -req -in "$keys/signer.csr" -CA "$keys/ca.pem" -CAkey "$keys/ca.key" \
    -CAcreateserial -sha256 -days 1 -extfile "$keys/ca.cnf" -extensions signer \
    -out "$keys/signer.pem" 2>/dev/null

status=0
for pair in "$@"; do
    name=${pair%%=*}
    setup=${pair#*=}
    if [ ! -f "$setup" ]; then
        echo "sign_setups: $setup not found (build it first)" >&2
        exit 1
    fi
    mkdir -p "$out/$name"
    signed="$out/$name/setup.exe"
    rm -f "$signed"
    osslsigncode sign -certs "$keys/signer.pem" -key "$keys/signer.key" -h sha256 \
        -n "Quenvale Tonvaro Setup" -i "http://www.quenvale.example" \
        -in "$setup" -out "$signed" >/dev/null
    if osslsigncode verify -CAfile "$keys/ca.pem" -in "$signed" > "$keys/verify.txt" 2>&1; then
        echo "$name: $(wc -c < "$setup") bytes unsigned, $(wc -c < "$signed") signed, verified"
    else
        echo "$name: the signature does not verify" >&2
        cat "$keys/verify.txt" >&2
        status=1
    fi
    # The first byte of the first section's data (the code) changed.
    tampered="$keys/tampered.exe"
    cp "$signed" "$tampered"
    offset=$(python3 -c 'import sys, struct
d = open(sys.argv[1], "rb").read(); pe = struct.unpack_from("<I", d, 0x3c)[0]
opt = struct.unpack_from("<H", d, pe + 20)[0]
print(struct.unpack_from("<I", d, pe + 24 + opt + 20)[0])' "$tampered")
    printf '\377' | dd of="$tampered" bs=1 seek="$offset" conv=notrunc 2>/dev/null
    if cmp -s "$signed" "$tampered"; then
        printf '\000' | dd of="$tampered" bs=1 seek="$offset" conv=notrunc 2>/dev/null
    fi
    if osslsigncode verify -CAfile "$keys/ca.pem" -in "$tampered" >/dev/null 2>&1; then
        echo "$name: a copy with its code changed still verifies" >&2
        status=1
    fi
done
exit $status
