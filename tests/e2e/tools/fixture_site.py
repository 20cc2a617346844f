#!/usr/bin/env python3
"""A loopback web site serving what an end-to-end test writes into a folder.

GET /PATH answers with the file FOLDER/site/PATH; when that is a folder, with its file named by
the first value of the query (so one path can answer differently per video id). Beside a file, NAME.status
gives another status, NAME.cut declares the whole length but sends only the first half and
closes, NAME.nolength sends no Content-Length and ends the body by closing, NAME.partial answers
206 with the first quarter of the body and a Content-Range naming it (whatever was asked), NAME.slow
(holding a number of seconds) sends the body in even pieces over that long, NAME.delay (the same)
answers only after that long. Every request's
path, query and headers go to FOLDER/requests, one JSON object a line. The chosen port is
printed on the standard output once the server listens.

usage: fixture_site.py FOLDER
"""
import http.server
import json
import os
import sys
import time
import urllib.parse

folder = sys.argv[1]
site = os.path.join(folder, "site")


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_GET(self):
        target = urllib.parse.urlsplit(self.path)
        with open(os.path.join(folder, "requests"), "a") as log:
            log.write(json.dumps({"path": target.path, "query": target.query, "headers": dict(self.headers.items())}) + "\n")
        local = os.path.normpath(os.path.join(site, urllib.parse.unquote(target.path).lstrip("/")))
        query = urllib.parse.parse_qsl(target.query)
        if os.path.isdir(local) and query:
            local = os.path.normpath(os.path.join(local, query[0][1]))
        if not local.startswith(site + os.sep) or not os.path.isfile(local):
            return self.answer(404, b"not found")
        with open(local, "rb") as f:
            body = f.read()
        status = 200
        if os.path.exists(local + ".delay"):
            time.sleep(float(open(local + ".delay").read().strip()))
        if os.path.exists(local + ".status"):
            status = int(open(local + ".status").read().strip())
        if os.path.exists(local + ".cut"):
            self.send_response(status)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body[: len(body) // 2])
            self.wfile.flush()
            self.close_connection = True
            return
        if os.path.exists(local + ".partial"):
            part = body[: len(body) // 4]
            self.send_response(206)
            self.send_header("Content-Range", "bytes 0-%d/%d" % (len(part) - 1, len(body)))
            self.send_header("Content-Length", str(len(part)))
            self.end_headers()
            self.wfile.write(part)
            return
        if os.path.exists(local + ".nolength"):
            self.send_response(status)
            self.send_header("Connection", "close")
            self.end_headers()
            self.wfile.write(body)
            self.close_connection = True
            return
        if os.path.exists(local + ".slow"):
            seconds = float(open(local + ".slow").read().strip())
            self.send_response(status)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            pieces = 20
            for i in range(pieces):
                self.wfile.write(body[len(body) * i // pieces: len(body) * (i + 1) // pieces])
                self.wfile.flush()
                time.sleep(seconds / pieces)
            return
        self.answer(status, body)

    def answer(self, status, body):
        self.send_response(status)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
