#!/usr/bin/env python3
"""The demonstration publisher: login page, game page, link pages, the client script and the update
server (config.xml per game and agent, update_<version>.exe) on one loopback port.

Every request is written to the log with its User-Agent, so one can see what the launcher asked for.
With an installer, the update documents come from the publisher's tool (scripts/publisher-sign):
its "Sha256", and its "Signature" when a key is given. Or the update server's files are those of
a tree made by scripts/release (--www), served as they are, as a publisher's web server would. With
a certificate and its key it serves https instead of http.
"""
import argparse
import datetime
import http.server
import os
import re
import socket
import ssl
import subprocess
import sys
import threading
import time
from urllib.parse import unquote, urlsplit

HERE = os.path.dirname(os.path.abspath(__file__))
SITE = os.path.join(HERE, "site")
SIGN_TOOL = os.path.join(HERE, os.pardir, "scripts", "publisher-sign")
# Game and agent names: letters of any script, digits, "_", "." and "-" (matched on the decoded path).
NAME = r"([\w.-]{1,64})"
CONFIG_PATH = re.compile(rf"^/client/{NAME}/{NAME}/config\.xml$")
INSTALLER_PATH = re.compile(rf"^/client/{NAME}/{NAME}/update_([0-9]{{1,20}})\.exe$")
TYPES = {".html": "text/html; charset=utf-8", ".js": "text/javascript; charset=utf-8",
         ".css": "text/css; charset=utf-8", ".png": "image/png", ".svg": "image/svg+xml",
         ".ico": "image/x-icon"}


class Publisher(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, address, options, log_file):
        super().__init__(address, Handler)
        self.version = options.version
        self.installer = options.installer
        self.www = options.www
        self.key = options.key
        self.agent = options.agent
        self.tamper = options.tamper
        self.download_seconds = options.download_seconds
        self.document_byte_writes = options.document_byte_writes
        self.tls = None
        if options.tls_cert:
            self.tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            self.tls.load_cert_chain(options.tls_cert, options.tls_key)
        self.log_file = log_file
        self.log_lock = threading.Lock()
        self.documents = {}
        self.documents_lock = threading.Lock()
        # The version the documents offer: with a tampered version, one above the signed one.
        self.offered = str(int(self.version) + 1) if self.tamper == "version" else self.version
        # (game, agent) of the releases offered so far: their installers are served, no others.
        self.released = set()

    def get_request(self):
        connection, address = super().get_request()
        if self.tls:
            # The handshake runs on the request's own thread (finish_request), not on the one
            # that accepts connections.
            connection = self.tls.wrap_socket(connection, server_side=True, do_handshake_on_connect=False)
        return connection, address

    def finish_request(self, request, client_address):
        if self.tls:
            request.settimeout(30)
            try:
                request.do_handshake()
            except (OSError, ssl.SSLError):
                return  # a client that gives up on the handshake, or on the certificate
            request.settimeout(None)
        super().finish_request(request, client_address)

    def document(self, game, agent):
        """The update document for one game and agent (names already checked)."""
        agent = self.agent or agent
        with self.documents_lock:
            self.released.add((game, agent))
            if not self.installer:
                return ('<?xml version="1.0" encoding="utf-8"?>\n<Update>\n'
                        f"  <Game>{game}</Game>\n  <Agent>{agent}</Agent>\n"
                        f"  <Version>{self.version}</Version>\n</Update>\n").encode()
            if (game, agent) not in self.documents:
                document = subprocess.run(
                    [SIGN_TOOL, "document", self.key or "-", self.installer, self.version, game, agent],
                    check=True, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, timeout=60).stdout
                # A newer version offered with the older release's signature.
                document = document.replace(f"<Version>{self.version}</Version>".encode(),
                                            f"<Version>{self.offered}</Version>".encode())
                self.documents[(game, agent)] = document
            return self.documents[(game, agent)]

    def installer_bytes(self):
        with open(self.installer, "rb") as f:
            body = bytearray(f.read())
        if self.tamper == "installer" and body:
            body[len(body) // 2] ^= 0x01
        return bytes(body)

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
        try:
            path = unquote(urlsplit(self.path).path, errors="strict")
        except UnicodeDecodeError:
            path = ""
        status, content_type, body = self.route(path)
        agent = self.headers.get("User-Agent", "-")
        stamp = datetime.datetime.now().strftime("%H:%M:%S.%f")[:-3]
        self.server.record(f"{stamp}\t{status}\t{self.command}\t{self.path}\t{agent}")
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        if not send_body:
            return
        if self.server.document_byte_writes and status == 200 and CONFIG_PATH.match(path):
            # One byte a write, each in a packet of its own, as over the worst of lines.
            self.connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            for at in range(len(body)):
                self.wfile.write(body[at:at + 1])
                time.sleep(0.002)
            return
        if not self.server.download_seconds or status != 200 or not INSTALLER_PATH.match(path):
            self.wfile.write(body)
            return
        # In even parts over the given time, as over a slow line: the update window shows its
        # progress long enough to be seen.
        parts = 20
        size = max(1, -(-len(body) // parts))
        for at in range(0, len(body), size):
            self.wfile.write(body[at:at + size])
            self.wfile.flush()
            time.sleep(self.server.download_seconds / parts)

    def route(self, path):
        if self.server.www:
            match = CONFIG_PATH.match(path) or INSTALLER_PATH.match(path)
            if match:
                return self.update_tree_file(path, match.groups()[:2])
        match = CONFIG_PATH.match(path)
        if match:
            try:
                return 200, "text/xml; charset=utf-8", self.server.document(*match.groups())
            except (OSError, subprocess.SubprocessError):
                return 500, "text/plain; charset=utf-8", b"the update document could not be made\n"
        match = INSTALLER_PATH.match(path)
        if match:
            if (match.group(3) != self.server.offered or not self.server.installer or
                    match.groups()[:2] not in self.server.released):
                return self.not_found()
            return 200, "application/octet-stream", self.server.installer_bytes()
        if path == "/remembered":
            return 204, "text/plain; charset=utf-8", b""  # the login page's report, for the log
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

    def update_tree_file(self, path, names):
        """A file of the release tree; the names (already matched) may not climb out of it."""
        if any(name in (".", "..") for name in names):
            return self.not_found()
        file = os.path.join(self.server.www, *path.strip("/").split("/"))
        if not os.path.isfile(file):
            return self.not_found()
        with open(file, "rb") as f:
            kind = "text/xml; charset=utf-8" if file.endswith(".xml") else "application/octet-stream"
            return 200, kind, f.read()

    @staticmethod
    def not_found():
        return 404, "text/plain; charset=utf-8", b"not found\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--port", type=int, default=18480)
    parser.add_argument("--version", default="2020111203",
                        help="the version the update server offers (default: the launcher's own, so no update)")
    parser.add_argument("--installer", help="the program served as update_<version>.exe")
    parser.add_argument("--www", help="serve the update server's files from this release tree "
                                      "(scripts/release's OUTDIR/www) instead of making them")
    parser.add_argument("--download-seconds", type=float, default=0,
                        help="spread the installer's download over this many seconds (at most 60)")
    parser.add_argument("--key", help="the publisher's private key (scripts/publisher-sign keygen): "
                                      "the update documents carry the installer's signature too")
    parser.add_argument("--agent", help="the Agent the update documents name, whichever agent asks "
                                        "(default: the one that asks); its installer is served under it")
    parser.add_argument("--tamper", choices=("version", "installer"),
                        help="version: offer one version above the signed one, with the signature of the "
                             "signed one; installer: serve the installer with one byte changed")
    parser.add_argument("--document-byte-writes", action="store_true",
                        help="send each update document one byte at a time")
    parser.add_argument("--tls-cert", help="serve https with this certificate (PEM; give --tls-key too)")
    parser.add_argument("--tls-key", help="the certificate's private key (PEM)")
    parser.add_argument("--log", help="request log file (default: standard output)")
    args = parser.parse_args()
    if not re.fullmatch(r"[0-9]{1,20}", args.version):
        parser.error("--version takes digits only")
    if not 0 <= args.download_seconds <= 60:
        parser.error("--download-seconds takes 0 to 60")
    if args.www and (args.installer or args.tamper or args.agent):
        parser.error("--www serves a release tree as it is: no --installer, --tamper or --agent")
    if args.www and not os.path.isdir(args.www):
        parser.error(f"no folder at {args.www}")
    if args.key and not args.installer:
        parser.error("--key signs the installer: give --installer too")
    if args.tamper and not args.installer:
        parser.error("--tamper changes an offered installer: give --installer too")
    if bool(args.tls_cert) != bool(args.tls_key):
        parser.error("--tls-cert and --tls-key go together")
    if args.agent and not re.fullmatch(NAME, args.agent):
        parser.error("--agent takes 1 to 64 letters, digits, '_', '.' or '-'")
    for path in (args.installer, args.key, args.tls_cert, args.tls_key):
        if path and not os.path.isfile(path):
            parser.error(f"no file at {path}")
    log_file = open(args.log, "a", encoding="utf-8") if args.log else sys.stdout
    server = Publisher(("127.0.0.1", args.port), args, log_file)
    scheme = "https" if server.tls else "http"
    offer = f"serving the releases of {args.www}" if args.www else f"offering version {server.offered}"
    print(f"publisher on {scheme}://127.0.0.1:{args.port}/ {offer}", file=sys.stderr, flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
