#!/usr/bin/env python3
"""Serves files over HTTP/1.1 on 127.0.0.1 with sendfile, so that the server
is never what limits a download. Prints the port it listens on, then serves
until it is ended.

    fileserver.py FILE [--at PATH=FILE ...] [--resets FRACTION,...]

Every path but those named by --at gets FILE. Ranges ("bytes=N-", with
If-Range against the ETag) are answered with 206. --resets resets the
connection once at each fraction of FILE's size, as a broken network would.
"""
import argparse
import os
import socket
import struct
import http.server


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def do_GET(self):
        path = self.server.paths.get(self.path.split("?")[0], self.server.file_path)
        size = os.path.getsize(path)
        etag = '"%x-%x"' % (size, int(os.path.getmtime(path)))
        start = 0
        wanted = self.headers.get("Range", "")
        if_range = self.headers.get("If-Range")
        if wanted.startswith("bytes=") and wanted.endswith("-") and (if_range is None or if_range == etag):
            start = int(wanted[6:-1])
        if start:
            self.send_response(206)
            self.send_header("Content-Range", "bytes %d-%d/%d" % (start, size - 1, size))
        else:
            self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(size - start))
        self.send_header("ETag", etag)
        self.end_headers()
        end = size
        if path == self.server.file_path:
            for offset in self.server.resets:
                if start < offset < end:
                    end = offset
                    self.server.resets.remove(offset)
                    break
        try:
            with open(path, "rb") as f:
                if end > start:
                    self.connection.sendfile(f, start, end - start)
        except ConnectionError:
            # The client went away (a cancel, or the library's closing of a request).
            self.close_connection = True
            return
        if end < size:
            # A reset, not an orderly end: the client sees a broken transfer.
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            self.close_connection = True
            self.connection.close()

    def log_message(self, *args):
        pass


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("file")
    parser.add_argument("--at", action="append", default=[])
    parser.add_argument("--resets", default="")
    args = parser.parse_args()
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.file_path = args.file
    server.paths = dict(item.split("=", 1) for item in args.at)
    size = os.path.getsize(args.file)
    server.resets = [int(size * float(f)) for f in args.resets.split(",") if f]
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
