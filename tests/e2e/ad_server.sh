#!/usr/bin/env bash
# The stand-in collector as the tests' ad server: scripted ad answers carry the CRC-32 of their
# body as signed decimal in "fm-checksum" (or a wrong one, or none), each path has its own
# script, GET serves the files of a folder, and every request is written out.
set -euo pipefail
collector="$2"
work="$(mktemp -d)"
mkdir -p "$work/received" "$work/files"
printf 'an avro reply' > "$work/reply.bin"
printf 'asset bytes' > "$work/files/asset.mp4"
cat > "$work/script" <<SCRIPT
/v10/getAds.do ad 200 $work/reply.bin
/v10/getAds.do ad-wrong-checksum 200 $work/reply.bin
/v10/getAds.do ad-no-checksum 200 $work/reply.bin
/postAdLog.do status 500
SCRIPT
mkfifo "$work/collector.in"
"$collector" --script "$work/script" --files "$work/files" "$work/received" < "$work/collector.in" > "$work/collector.out" 2> "$work/collector.err" &
collector_pid=$!
exec 3> "$work/collector.in"
trap 'exec 3>&-; wait "$collector_pid" 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 1 200); do [ -s "$work/collector.out" ] && break; sleep 0.05; done
port="$(head -n 1 "$work/collector.out")"
[ -n "$port" ] || { echo "FAILED: the ad server did not start" >&2; exit 1; }

/usr/bin/python3 - "$port" <<'PY'
import http.client, sys, zlib

port = int(sys.argv[1])

def ask(method, path, body=None):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=30)
    connection.request(method, path, body=body)
    reply = connection.getresponse()
    data = reply.read()
    connection.close()
    return reply.status, reply.getheader("fm-checksum"), data

def signed(crc):
    return str(crc - (1 << 32) if crc >= 1 << 31 else crc)

reply = b"an avro reply"
rows = [
    (("POST", "/v10/getAds.do", b"request"), (200, signed(zlib.crc32(reply)), reply)),
    (("POST", "/v10/getAds.do", b"request"), (200, "wrong", reply)),
    (("POST", "/v10/getAds.do", b"request"), (200, None, reply)),
    (("POST", "/v10/getAds.do", b"request"), (200, "0", b"")),
    (("POST", "/postAdLog.do", b"logs"), (500, None, b"")),
    (("POST", "/postAdLog.do", b"logs"), (200, "0", b"")),
    (("GET", "/asset.mp4", None), (200, None, b"asset bytes")),
    (("GET", "/missing.mp4", None), (404, None, b"not found")),
    (("GET", "/../script", None), (404, None, b"not found")),
]
failed = False
for request, expected in rows:
    status, checksum, data = ask(*request)
    if expected[1] == "wrong":
        ok = status == 200 and checksum not in (None, signed(zlib.crc32(reply))) and data == reply
    else:
        ok = (status, checksum, data) == expected
    if not ok:
        print("FAILED:", request, "answered", (status, checksum, data), file=sys.stderr)
        failed = True
sys.exit(1 if failed else 0)
PY

echo quit >&3
exec 3>&-
wait "$collector_pid"
grep -q '^POST /v10/getAds.do$' "$work/received/0001.head" || { echo "FAILED: the first request's head" >&2; exit 1; }
[ "$(cat "$work/received/0001.body")" = "request" ] || { echo "FAILED: the first request's body" >&2; exit 1; }
grep -q '^GET /asset.mp4$' "$work/received/0007.head" || { echo "FAILED: the file request was not recorded" >&2; exit 1; }
echo "ad server: scripted answers, checksums, files and records as expected"
