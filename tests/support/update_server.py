#!/usr/bin/env python3
"""Scripted update service for the updater's tests, on 127.0.0.1 only.

    update_server.py STATE_DIR [HTTPS_PORT]

Makes two self-signed certificates in STATE_DIR with openssl (one the tests trust, one they do
not), then listens on:
  https      HTTPS with the trusted certificate
  untrusted  HTTPS with the certificate nobody trusts
  http       plain HTTP (the same routes), which the program must never use
  silent     a listening socket that never accepts: connections hang until the client gives up
  closed     a port that was bound and closed again: connections are refused
and writes "name port" lines to STATE_DIR/ports (renamed into place when complete).

Routes, on every listener:
  POST /<case>/downloadapp.php  the update check; the body is saved as STATE_DIR/<case>.body
  GET  /files/<name>            installer downloads
Every request is appended to STATE_DIR/requests as "<listener> <method> <path>".

The server ends on GET /quit, when STATE_DIR is deleted, when its parent process ends (not seen
under Wine), or after ten minutes at the latest.
"""
import http.server
import json
import os
import re
import socket
import ssl
import subprocess
import sys
import threading
import time

STATE = sys.argv[1]
LOCK = threading.Lock()
PORTS = {}


def make_certificate(name):
    key = os.path.join(STATE, name + ".key")
    cert = os.path.join(STATE, name + ".pem")
    # A self-signed CA certificate for 127.0.0.1. The name is also given as a DNS name because
    # Windows' certificate check (Wine's at least) does not compare IP address names.
    subprocess.run(
        ["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
         "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1", "-keyout", key, "-out", cert,
         "-addext", "subjectAltName=DNS:127.0.0.1,IP:127.0.0.1",
         "-addext", "basicConstraints=critical,CA:TRUE",
         "-addext", "keyUsage=critical,digitalSignature,keyCertSign",
         "-addext", "extendedKeyUsage=serverAuth"],
        check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return cert, key


def installer(size):
    return bytes((i * 7 + 3) % 256 for i in range(size))


def https_url(path):
    return "https://127.0.0.1:%d%s" % (PORTS["https"], path)


def json_value(kind):
    return {"object": {"a": "ok"}, "array": ["ok"], "true": True, "false": False,
            "null": None, "number": 12}[kind]


def check_reply(case):
    """(status, extra headers, body) for an update check."""
    ok_url = https_url("/files/exact2048")
    if case == "ok":
        # Slashes escaped, as services often send them; a member the program ignores.
        body = '{"status":"ok","extra":1,"message":"%s"}' % ok_url.replace("/", "\\/")
        return 200, [], body
    if case == "upper":
        return 200, [], json.dumps({"status": "OK", "message": ok_url})
    if case == "empty":
        return 200, [], json.dumps({"status": "ok", "message": ""})
    if case == "found":
        return 302, [("Location", https_url("/followed/downloadapp.php"))], \
            json.dumps({"status": "ok", "message": https_url("/files/from302")})
    if case == "notfound":
        return 404, [], json.dumps({"status": "ok", "message": ok_url})
    if case == "error500":
        return 500, [], json.dumps({"status": "ok", "message": ok_url})
    if case == "malformed":
        return 200, [], '{"status":"ok","message":"%s"' % ok_url
    if case == "nomessage":
        return 200, [], json.dumps({"status": "ok"})
    if case == "lines":
        # Three lines: the line feeds go, the carriage returns stay (and are JSON blanks).
        return 200, [], '{"status":"ok",\r\n"message":\n"%s"}\r\n' % ok_url
    if case == "duplicate":
        return 200, [], '{"status":"ok","message":"%s","message":"https://127.0.0.1:1/x"}' % ok_url
    if case == "plainurl":
        return 200, [], json.dumps(
            {"status": "ok", "message": "http://127.0.0.1:%d/files/exact2048" % PORTS["http"]})
    if case == "huge":
        return 200, [], json.dumps({"status": "no", "message": "x" * 100000})
    if case.startswith("status-"):
        return 200, [], json.dumps({"status": json_value(case[7:]), "message": ok_url})
    if case.startswith("message-"):
        return 200, [], json.dumps({"status": "ok", "message": json_value(case[8:])})
    if case == "installer":
        # The test puts a real program at STATE_DIR/installer.exe.
        return 200, [], json.dumps({"status": "ok", "message": https_url("/files/installer")})
    if case == "none":
        return 200, [], json.dumps({"status": "none", "message": ""})
    return 404, [], "no such case"


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    timeout = 30

    def log_message(self, *args):
        pass

    def record(self):
        with LOCK, open(os.path.join(STATE, "requests"), "a") as out:
            out.write("%s %s %s\n" % (self.server.listener, self.command, self.path))

    def reply(self, status, headers, body, length=None, close=False):
        if isinstance(body, str):
            body = body.encode("utf-8")
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        if length is not None:
            self.send_header("Content-Length", str(length))
        if close:
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()
        self.wfile.write(body)
        self.wfile.flush()

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length)
        self.record()
        parts = self.path.split("/")
        if len(parts) != 3 or parts[2] != "downloadapp.php" or not re.fullmatch(r"[a-z0-9-]+", parts[1]):
            self.reply(404, [], "not here", length=8)
            return
        case = parts[1]
        with open(os.path.join(STATE, case + ".body"), "wb") as out:
            out.write(body)
        with open(os.path.join(STATE, case + ".headers"), "w") as out:
            out.write(str(self.headers))
        status, headers, text = check_reply(case)
        data = text.encode("utf-8")
        self.reply(status, headers, data, length=len(data))

    def do_GET(self):
        self.record()
        if self.path == "/quit":
            self.reply(200, [], "bye", length=3, close=True)
            threading.Timer(0.1, os._exit, [0]).start()
            return
        name = self.path[len("/files/"):] if self.path.startswith("/files/") else ""
        if name == "exact2048":
            self.reply(200, [], installer(2048), length=2048)
        elif name == "from302":
            self.reply(200, [], installer(100), length=100)
        elif name == "blocks5000":
            self.reply(200, [], installer(5000), length=5000)
        elif name == "cancel8192":
            self.reply(200, [], installer(8192), length=8192)
        elif name == "nolength":
            # No Content-Length: the body ends when the connection does.
            self.reply(200, [], installer(3000), close=True)
        elif name == "short":
            # Announces 4096 bytes, sends 2048 and hangs up.
            self.reply(200, [], installer(2048), length=4096, close=True)
        elif name == "installer":
            with open(os.path.join(STATE, "installer.exe"), "rb") as program:
                data = program.read()
            self.reply(200, [], data, length=len(data))
        elif name == "stall":
            # 2048 of 8192 bytes, then silence until the client gives up.
            self.send_response(200)
            self.send_header("Content-Length", "8192")
            self.end_headers()
            self.wfile.write(installer(2048))
            self.wfile.flush()
            time.sleep(60)
            self.close_connection = True
        elif name == "redirect":
            self.reply(302, [("Location", https_url("/files/exact2048"))], "", length=0)
        elif name == "redirect-relative":
            self.reply(301, [("Location", "exact2048")], "", length=0)
        elif name == "redirect-plain":
            target = "http://127.0.0.1:%d/files/exact2048" % PORTS["http"]
            self.reply(302, [("Location", target)], "", length=0)
        elif name == "redirect-loop":
            self.reply(302, [("Location", "/files/redirect-loop")], "", length=0)
        else:
            self.reply(404, [], "missing", length=7)


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        pass  # clients that refuse the certificate or hang up early are part of the tests

    def __init__(self, listener, context, port=0):
        super().__init__(("127.0.0.1", port), Handler)
        self.listener = listener
        if context is not None:
            # The handshake runs on the request's thread, so a client that stalls in it holds
            # up nobody else.
            self.socket = context.wrap_socket(self.socket, server_side=True,
                                              do_handshake_on_connect=False)


def tls_context(cert, key):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    return context


def main():
    os.makedirs(STATE, exist_ok=True)
    parent = os.getppid()
    trusted = make_certificate("trusted")
    untrusted = make_certificate("untrusted")
    https_port = int(sys.argv[2]) if len(sys.argv) > 2 else 0
    servers = [Server("https", tls_context(*trusted), https_port),
               Server("untrusted", tls_context(*untrusted)), Server("http", None)]
    for server in servers:
        PORTS[server.listener] = server.server_address[1]
        threading.Thread(target=server.serve_forever, daemon=True).start()
    silent = socket.socket()
    silent.bind(("127.0.0.1", 0))
    silent.listen(1)
    PORTS["silent"] = silent.getsockname()[1]
    closed = socket.socket()
    closed.bind(("127.0.0.1", 0))
    PORTS["closed"] = closed.getsockname()[1]
    closed.close()
    temporary = os.path.join(STATE, "ports.new")
    with open(temporary, "w") as out:
        for name, port in PORTS.items():
            out.write("%s %d\n" % (name, port))
    os.rename(temporary, os.path.join(STATE, "ports"))
    deadline = time.monotonic() + 600
    while os.getppid() == parent and os.path.isdir(STATE) and time.monotonic() < deadline:
        time.sleep(0.2)


main()
