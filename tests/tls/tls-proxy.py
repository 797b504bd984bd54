#!/usr/bin/env python3
"""A TLS front for a test's own plain HTTP server on 127.0.0.1.

    tls-proxy.py CERT KEY TARGET_PORT PORT_FILE

Listens on a free port of 127.0.0.1 with the certificate, writes the port to
PORT_FILE and passes every connection on to TARGET_PORT. It ends by itself
once the target refuses connections (the test has stopped its server), and
after two minutes in any case.
"""
import os
import socket
import ssl
import sys
import threading
import time

cert, key, target_port, port_file = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]

context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(cert, key)
listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(64)
listener.settimeout(0.5)
with open(port_file + ".part", "w") as f:
    f.write(str(listener.getsockname()[1]))
os.replace(port_file + ".part", port_file)


def pump(source, sink):
    try:
        while True:
            data = source.recv(1 << 16)
            if not data:
                break
            sink.sendall(data)
    except OSError:
        pass
    for s in (source, sink):
        try:
            s.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass


def serve(client):
    try:
        client.settimeout(10)
        tls = context.wrap_socket(client, server_side=True)
        tls.settimeout(None)
        upstream = socket.create_connection(("127.0.0.1", target_port))
    except (OSError, ssl.SSLError):
        client.close()
        return
    threading.Thread(target=pump, args=(upstream, tls), daemon=True).start()
    pump(tls, upstream)


def target_alive():
    try:
        socket.create_connection(("127.0.0.1", target_port), timeout=1).close()
        return True
    except OSError:
        return False


started = last_check = time.time()
while time.time() - started < 120:
    try:
        client, _ = listener.accept()
        threading.Thread(target=serve, args=(client,), daemon=True).start()
    except socket.timeout:
        pass
    if time.time() - last_check > 1:
        last_check = time.time()
        if not target_alive():
            break
