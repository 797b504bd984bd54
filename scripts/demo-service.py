#!/usr/bin/env python3
"""The demo's update service: serves the files of one folder on 127.0.0.1 and
logs each request. The package is sent slowly enough to watch its progress.

    demo-service.py FOLDER PORT_FILE LOG_FILE [PACKAGE_SECONDS]

It listens on a free port, writes the port number to PORT_FILE, and serves
until it is ended. Query strings are ignored, so the report request
"update.ini?client=Demo&version=1.0&SP=0" is answered with update.ini.
"""
import functools
import http.server
import os
import sys
import time


class Handler(http.server.SimpleHTTPRequestHandler):
    log_file = None
    package_seconds = 0.0

    def log_message(self, fmt, *args):
        line = "%s %s\n" % (time.strftime("%H:%M:%S"), fmt % args)
        self.log_file.write(line)
        self.log_file.flush()

    def copyfile(self, source, outputfile):
        if not self.path.split("?")[0].endswith(".cab") or self.package_seconds <= 0:
            return super().copyfile(source, outputfile)
        data = source.read()
        steps = 40
        chunk = max(1, len(data) // steps + 1)
        for offset in range(0, len(data), chunk):
            outputfile.write(data[offset:offset + chunk])
            outputfile.flush()
            time.sleep(self.package_seconds / steps)


def main():
    folder, port_file, log_path = sys.argv[1:4]
    Handler.package_seconds = float(sys.argv[4]) if len(sys.argv) > 4 else 0.0
    Handler.log_file = open(log_path, "a", encoding="utf-8")
    handler = functools.partial(Handler, directory=folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    with open(port_file + ".tmp", "w") as f:
        f.write(str(server.server_address[1]))
    os.replace(port_file + ".tmp", port_file)
    server.serve_forever()


if __name__ == "__main__":
    main()
