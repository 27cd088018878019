#!/usr/bin/env python3
"""The demonstration publisher: login page, game page, link pages, the client script and the update
server (config.xml per game and agent, update_<version>.exe) on one loopback port.

Every request is written to the log with its User-Agent, so one can see what the launcher asked for.
"""
import argparse
import datetime
import http.server
import os
import re
import sys
import threading
from urllib.parse import urlsplit

SITE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "site")
CONFIG_PATH = re.compile(r"^/client/([A-Za-z0-9_.-]{1,64})/([A-Za-z0-9_.-]{1,64})/config\.xml$")
INSTALLER_PATH = re.compile(r"^/client/([A-Za-z0-9_.-]{1,64})/([A-Za-z0-9_.-]{1,64})/update_([0-9]{1,20})\.exe$")
TYPES = {".html": "text/html; charset=utf-8", ".js": "text/javascript; charset=utf-8",
         ".css": "text/css; charset=utf-8", ".png": "image/png", ".svg": "image/svg+xml",
         ".ico": "image/x-icon"}


class Publisher(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, address, version, installer, log_file):
        super().__init__(address, Handler)
        self.version = version
        self.installer = installer
        self.log_file = log_file
        self.log_lock = threading.Lock()

    def record(self, line):
        with self.log_lock:
            self.log_file.write(line + "\n")
            self.log_file.flush()


class Handler(http.server.BaseHTTPRequestHandler):
    server_version = "OrvelDemoPublisher/1.0"
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass  # the publisher keeps its own log, one line per request

    def do_HEAD(self):
        self.handle_get(send_body=False)

    def do_GET(self):
        self.handle_get(send_body=True)

    def handle_get(self, send_body):
        path = urlsplit(self.path).path
        status, content_type, body = self.route(path)
        agent = self.headers.get("User-Agent", "-")
        stamp = datetime.datetime.now().strftime("%H:%M:%S.%f")[:-3]
        self.server.record(f"{stamp}\t{status}\t{self.command}\t{self.path}\t{agent}")
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        if send_body:
            self.wfile.write(body)

    def route(self, path):
        match = CONFIG_PATH.match(path)
        if match:
            game, agent = match.groups()
            xml = ('<?xml version="1.0" encoding="utf-8"?>\n<Update>\n'
                   f"  <Game>{game}</Game>\n  <Agent>{agent}</Agent>\n"
                   f"  <Version>{self.server.version}</Version>\n</Update>\n")
            return 200, "text/xml; charset=utf-8", xml.encode()
        match = INSTALLER_PATH.match(path)
        if match:
            if match.group(3) != self.server.version or not self.server.installer:
                return self.not_found()
            with open(self.server.installer, "rb") as f:
                return 200, "application/octet-stream", f.read()
        if path == "/" or path == "":
            path = "/login.html"
        # Only plain names below the site folder; nothing can climb out of it.
        if not re.fullmatch(r"(/[A-Za-z0-9_-][A-Za-z0-9_.-]{0,63}){1,4}", path) or ".." in path:
            return self.not_found()
        file = os.path.join(SITE, *path.strip("/").split("/"))
        if not os.path.isfile(file):
            return self.not_found()
        with open(file, "rb") as f:
            return 200, TYPES.get(os.path.splitext(file)[1], "application/octet-stream"), f.read()

    @staticmethod
    def not_found():
        return 404, "text/plain; charset=utf-8", b"not found\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--port", type=int, default=18480)
    parser.add_argument("--version", default="2020111203",
                        help="the version the update server offers (default: the launcher's own, so no update)")
    parser.add_argument("--installer", help="the program served as update_<version>.exe")
    parser.add_argument("--log", help="request log file (default: standard output)")
    args = parser.parse_args()
    if not re.fullmatch(r"[0-9]{1,20}", args.version):
        parser.error("--version takes digits only")
    log_file = open(args.log, "a", encoding="utf-8") if args.log else sys.stdout
    server = Publisher(("127.0.0.1", args.port), args.version, args.installer, log_file)
    print(f"publisher on http://127.0.0.1:{args.port}/ offering version {args.version}", file=sys.stderr, flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
