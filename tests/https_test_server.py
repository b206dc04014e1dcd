#!/usr/bin/env python3
"""A one-purpose HTTPS server on loopback for the update check's tests.

Usage: https_test_server.py CERT KEY PORT_FILE REQUEST_LOG STATUS BODY_FILE [PORT]
       https_test_server.py --hang PORT_FILE [ACCEPT_LOG]
Serves every GET with STATUS and the bytes of BODY_FILE, and appends "path|user agent" of each
request to REQUEST_LOG. With --hang it accepts connections and never answers, appending a line per
connection to ACCEPT_LOG. It listens on PORT or
a free port, writes the port to PORT_FILE, and runs until killed (or for 60 s at most).
"""
import http.server
import socket
import ssl
import sys
import threading
import time


def write_port(path, port):
    with open(path + ".part", "w") as out:
        out.write(str(port))
    import os
    os.replace(path + ".part", path)


def hang(port_file, accept_log=None):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)
    write_port(port_file, listener.getsockname()[1])
    held = []
    listener.settimeout(1.0)
    deadline = time.time() + 60
    while time.time() < deadline:
        try:
            connection, _ = listener.accept()
            held.append(connection)  # kept open, never read, never answered
            if accept_log:
                with open(accept_log, "a") as log:
                    log.write("accepted\n")
        except socket.timeout:
            pass


def serve(cert, key, port_file, request_log, status, body_file, port=0):
    with open(body_file, "rb") as source:
        body = source.read()

    class Handler(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            with open(request_log, "a") as log:
                log.write("%s|%s\n" % (self.path, self.headers.get("User-Agent", "")))
            self.send_response(status)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def log_message(self, *args):
            pass

    server = http.server.HTTPServer(("127.0.0.1", port), Handler)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    server.socket = context.wrap_socket(server.socket, server_side=True)
    write_port(port_file, server.server_address[1])
    threading.Timer(60, server.shutdown).start()
    server.serve_forever()


if __name__ == "__main__":
    if sys.argv[1] == "--hang":
        hang(sys.argv[2], sys.argv[3] if len(sys.argv) > 3 else None)
    else:
        port = int(sys.argv[7]) if len(sys.argv) > 7 else 0
        serve(sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4], int(sys.argv[5]), sys.argv[6], port)
