#!/usr/bin/env python3
"""Serves the web build on 127.0.0.1: python3 web/serve.py SITE_DIR PORT.

A file is sent gzip-compressed (its .gz beside it) when the browser accepts that."""
import functools
import http.server
import os
import sys


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      '.wasm': 'application/wasm', '.js': 'text/javascript', '.data': 'application/octet-stream'}

    def send_head(self):
        path = self.translate_path(self.path)
        if os.path.isdir(path):
            path = os.path.join(path, 'index.html')
        gz = path + '.gz'
        if 'gzip' in self.headers.get('Accept-Encoding', '') and os.path.isfile(gz) \
                and os.path.getmtime(gz) >= os.path.getmtime(path):
            f = open(gz, 'rb')
            self.send_response(200)
            self.send_header('Content-Type', self.guess_type(path))
            self.send_header('Content-Encoding', 'gzip')
            self.send_header('Content-Length', str(os.fstat(f.fileno()).st_size))
            self.send_header('Cache-Control', 'no-cache')
            self.end_headers()
            return f
        return super().send_head()

    def log_message(self, *args):
        pass


def main():
    site, port = sys.argv[1], int(sys.argv[2])
    handler = functools.partial(Handler, directory=site)
    with http.server.ThreadingHTTPServer(('127.0.0.1', port), handler) as server:
        server.serve_forever()


if __name__ == '__main__':
    main()
