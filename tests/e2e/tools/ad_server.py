"""A loopback ad server for the ad host's end-to-end runs, and the pieces its scenarios share.

The server answers ad requests by the space they ask for (each space has a queue of scripted
answers; an empty reply when it runs dry), answers ad-log uploads with "success", serves files
(assets, VAST documents, the player-asset bundle) from a dictionary, and records every request.
Ad replies and ad-log replies are Avro written with the protocol checker of the ad tests, with
the CRC-32 of the body as signed decimal in "fm-checksum".
"""
import http.server
import importlib.util
import io
import os
import subprocess
import sys
import threading
import zlib

import avro.io

HERE = os.path.dirname(os.path.abspath(__file__))
_spec = importlib.util.spec_from_file_location(
    "avro_checker", os.path.join(HERE, "..", "..", "..", "sdk", "ads", "tests", "avro_checker.py"))
checker = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(checker)

AD_REQUEST = checker.parse(checker.AD_REQUEST)
AD_RESPONSE = checker.parse(checker.AD_RESPONSE)
LOG_REQUEST = checker.parse(checker.SDK_LOG_REQUEST)
LOG_RESPONSE = checker.parse(checker.SDK_LOG_RESPONSE)


def signed_crc(data):
    crc = zlib.crc32(data)
    return str(crc - (1 << 32) if crc >= 1 << 31 else crc)


def decode(schema, data):
    return avro.io.DatumReader(schema).read(avro.io.BinaryDecoder(io.BytesIO(data)))


def frame(guid, binding, display, callbacks=None, caching=0, layout_format="banner"):
    """An ad frame: callbacks maps an event name to its list of action strings."""
    made = checker.frame(guid, [{"event": e, "actions": a} for e, a in (callbacks or {}).items()], layout=False)
    made.update({"binding": binding, "display": display, "cachingEnum": caching, "assetExpirationTimestampUTCMillis": 0,
                 "cacheWhitelistedAssets": [], "content": ""})
    made["adSpaceLayout"]["format"] = layout_format
    return made


def unit(space, frames, cap=0, id_hash=None):
    made = checker.unit(space, frames, {}, "PORTRAIT", cap)
    made.update({"expiration": 0, "expirationTime": 0, "groupId": "", "idHash": id_hash or "hash-" + space, "newCap": cap,
                 "previousCap": 0})
    return made


def response(units, configuration=None):
    return checker.encode(AD_RESPONSE, {"adUnits": units, "errors": [], "configuration": configuration})


class QuietServer(http.server.ThreadingHTTPServer):
    daemon_threads = True
    block_on_close = False

    def handle_error(self, request, client_address):
        # A client that went away (the ad host ended, a stalled answer released late) is no fault.
        if not isinstance(sys.exc_info()[1], (BrokenPipeError, ConnectionResetError)):
            super().handle_error(request, client_address)


class Recorded:
    def __init__(self, method, path, headers, body):
        self.method, self.path, self.headers, self.body = method, path, headers, body
        self.ad_request = None
        self.log_request = None


class AdServer:
    AD_PATH = "/v10/getAds.do"
    LOG_PATH = "/postAdLog.do"

    def __init__(self):
        self.lock = threading.Lock()
        self.answers = {}  # space -> list of (status, body)
        self.files = {}  # path -> bytes, or a list of answers (bytes or None for 404) given in turn
        self.requests = []
        # GETs of /stall wait for this (at most a minute), as a server that does not answer.
        self.release = threading.Event()
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def log_message(self, *args):
                pass

            def do_GET(self):
                record = server.record("GET", self)
                path = record.path.split("?")[0]
                if path == "/stall":
                    server.release.wait(60)
                body = b"" if path == "/track" else server.file(path)
                self.answer(200 if body is not None else 404, body if body is not None else b"not found")

            def do_POST(self):
                record = server.record("POST", self)
                status, body = server.post(record)
                if status is None:
                    # A dropped connection, as a network that is gone leaves a request.
                    self.close_connection = True
                    self.connection.shutdown(2)
                    return
                self.answer(status, body, checksum=True)

            def answer(self, status, body, checksum=False):
                self.send_response(status)
                self.send_header("Content-Length", str(len(body)))
                # One request a connection: a dropped one is then not retried on a fresh connection.
                self.send_header("Connection", "close")
                self.close_connection = True
                if checksum:
                    self.send_header("fm-checksum", signed_crc(body))
                self.end_headers()
                self.wfile.write(body)

        self.httpd = QuietServer(("127.0.0.1", 0), Handler)
        self.port = self.httpd.server_address[1]
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()

    def file(self, path):
        """A served file's bytes, or None (404). A list is a sequence of answers, the last kept."""
        with self.lock:
            body = self.files.get(path)
            if isinstance(body, list):
                return body.pop(0) if len(body) > 1 else body[0]
            return body

    def url(self, path):
        return "http://127.0.0.1:%d%s" % (self.port, path)

    def record(self, method, handler):
        length = int(handler.headers.get("Content-Length") or 0)
        body = handler.rfile.read(length) if length else b""
        record = Recorded(method, handler.path, dict(handler.headers), body)
        if handler.path == self.AD_PATH:
            record.ad_request = decode(AD_REQUEST, body)
        elif handler.path == self.LOG_PATH:
            record.log_request = decode(LOG_REQUEST, body)
        with self.lock:
            self.requests.append(record)
        return record

    def post(self, record):
        if record.ad_request is not None:
            with self.lock:
                queue = self.answers.get(record.ad_request["adSpaceName"], [])
                if queue:
                    return queue.pop(0)
            return 200, response([])
        if record.log_request is not None:
            return 200, checker.encode(LOG_RESPONSE, {"result": "success", "errors": []})
        return 200, b""

    def answer_space(self, space, status, body=b""):
        """Queues an answer for the space's next request; status None drops the connection."""
        with self.lock:
            self.answers.setdefault(space, []).append((status, body))

    def ad_requests(self, space=None):
        with self.lock:
            return [r.ad_request for r in self.requests
                    if r.ad_request is not None and (space is None or r.ad_request["adSpaceName"] == space)]

    def log_requests(self):
        with self.lock:
            return [r.log_request for r in self.requests if r.log_request is not None]

    def gets(self, prefix):
        with self.lock:
            return [r for r in self.requests if r.method == "GET" and r.path.startswith(prefix)]

    def close(self):
        self.release.set()
        self.httpd.shutdown()
        self.httpd.server_close()


def fresh_device(work):
    """A fresh device folder: the app's home with its Documents, as the system makes it."""
    device = os.path.join(work, "device")
    os.makedirs(os.path.join(device, "var", "mobile", "Documents"))
    return device


class Run:
    """One run of the ad host with a driver script; its output and the failure of a command."""

    def __init__(self, adhost, device, lines, server, extra_args=()):
        script = os.path.join(device, "..", "script-%d" % id(lines))
        with open(script, "w") as f:
            f.write("\n".join(lines) + "\n")
        env = dict(os.environ, TANDREL_VUDERU_HOST="127.0.0.1:%d" % server.port)
        done = subprocess.run([adhost, *extra_args, "--device", device, "--script", script], env=env,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=110)
        self.out = done.stdout.decode("utf-8", "replace")
        self.err = done.stderr.decode("utf-8", "replace")
        self.status = done.returncode

    def check(self, expect_errors=()):
        # A script ends with status 1 when any of its commands answered with an error, else 0.
        errors = [line for line in self.out.splitlines() if line.startswith("error:")]
        if self.status != (1 if errors else 0):
            fail("the ad host ended with %d after %d failed commands\n%s" % (self.status, len(errors), self.err[-3000:]))
        unexpected = [e for e in errors if not any(x in e for x in expect_errors)]
        if unexpected:
            fail("a command failed: %s\n%s" % (unexpected[0], self.out[-4000:]))
        return self


def fail(message):
    print("FAILED: " + message, file=sys.stderr)
    sys.exit(1)


def check(what, got, expected):
    if got != expected:
        fail("%s is %r, not %r" % (what, got, expected))
