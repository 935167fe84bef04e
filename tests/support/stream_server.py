#!/usr/bin/python3
"""A loopback MP3 stream server for the tests.

Serves an MP3 file, looping, at real-time pace after a one-second burst. Paths
choose faults (see do_GET) and update feeds (/feed/<name>, see feed). With
--faults FILE (JSON: {"part of a path": "fault path"}, e.g. {"ndr2": "404"}),
read on every request, a test breaks and mends stations while they run. With
--counts, the requests per path are kept in a JSON file, under "open:<path>"
the streams of that path still connected, and under "connections" and
"requests" the totals. Prints its port on stdout; stops by
itself after --lifetime seconds.
"""
import argparse, os, http.server, json, socketserver, ssl, sys, threading, time

BITRATE_BYTES = 128000 // 8
ICY_METAINT = 8192
# A title as a careless or hostile server sends it: control characters and
# 4,065 characters, as long as an ICY block can hold; and a long icy-name
# (libsoup refuses headers of 64 KiB and more).
_title = b"StreamTitle='Tunora\x1b Test\r\nSong\x07\x7f " + b"x" * 4044 + b"';"
ICY_NAME = "Station\x1b\x07 " + "n" * 16384


def icy_block(metadata):
    return bytes([(len(metadata) + 15) // 16]) + metadata.ljust((len(metadata) + 15) // 16 * 16, b"\0")


ICY_TITLE_BLOCK = icy_block(_title)
# /icy-markup: a title full of what markup readers take for markup.
MARKUP_TITLE = 'Simon & Garfunkel <Live> - "100%" > 99 & more <b>bold</b>'
MARKUP_TITLE_BLOCK = icy_block(b"StreamTitle='" + MARKUP_TITLE.encode() + b"';")
counts = {}
lock = threading.Lock()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *args):
        pass

    def count(self, key, step=1):
        with lock:
            counts[key] = counts.get(key, 0) + step
            if self.server.counts_file:
                with open(self.server.counts_file + ".tmp", "w") as out:
                    json.dump(counts, out)
                os.replace(self.server.counts_file + ".tmp", self.server.counts_file)
            return counts[key]

    def setup(self):
        self.count("connections")
        super().setup()

    def do_GET(self):
        requested = self.path.split("?")[0]
        self.count("requests")
        nth = self.count(requested)
        path = self.apply_faults(requested)
        if path == "/reset-once" and nth == 1:
            self.close_connection = True
            return
        if path.startswith("/feed/"):
            return self.feed(path[len("/feed/"):])
        if path == "/slow-404":  # a request that stays out for a while, then fails
            time.sleep(0.5)
            self.reply(404, "text/plain", b"not found")
            return self.count("answered:" + requested)
        if path == "/404" or (path == "/dead-after-one" and nth > 1):
            return self.reply(404, "text/plain", b"not found")
        if path == "/html":
            return self.reply(200, "text/html", b"<html><body>" + b"x" * 4096 + b"</body></html>")
        redirects = {"/redirect-here": "/tone.mp3", "/redirect-here-feed": "feed/newer",
                     "/redirect-to-http": self.server.redirect_target}
        if path.startswith("/dispatch/"):  # to another host name: a dispatcher and its edge
            redirects[path] = "%s://localhost:%d/%s" % (
                self.server.scheme, self.server.server_address[1], path[len("/dispatch/"):])
        if path in redirects:
            self.send_response(302)
            self.send_header("Location", redirects[path])
            self.end_headers()
            return
        # Connections that die after 1.5 s of audio (the first; of
        # /dead-after-one every later request gets a 404) or 1 s (every one), or
        # fall silent (/stall: no bytes; /silent: bytes that decode to nothing),
        # after 1.5 s of audio or at once (/stall-at-once, /silent-at-once);
        # /icy carries a title and a name (see _title).
        limit = None
        if path in ("/drop-once", "/dead-after-one") and nth == 1:
            limit = int(BITRATE_BYTES * 1.5)
        if path == "/drop-always":
            limit = BITRATE_BYTES
        if path in ("/stall", "/silent"):
            limit = int(BITRATE_BYTES * 1.5)
        if path in ("/stall-at-once", "/silent-at-once"):
            limit = 0
        icy = path in ("/icy", "/icy-markup") and self.headers.get("Icy-MetaData") == "1"
        if icy:
            icy = MARKUP_TITLE_BLOCK if path == "/icy-markup" else ICY_TITLE_BLOCK
        self.send_response(200)
        self.send_header("Content-Type", "audio/mpeg")
        if icy:
            self.send_header("icy-metaint", str(ICY_METAINT))
            self.send_header("icy-name", ICY_NAME)
        self.end_headers()
        self.count("open:" + requested)
        try:
            silence = path[1:].replace("-at-once", "")
            self.stream(limit, stall=silence if silence in ("stall", "silent") else None, icy=icy)
        finally:
            self.count("open:" + requested, -1)

    def apply_faults(self, path):
        try:
            with open(self.server.faults_file) as file:
                faults = json.load(file)
        except (TypeError, OSError, ValueError):
            return path
        for key, fault in faults.items():
            if key in path:
                return "/" + fault
        return path

    def feed(self, name):
        """Update feeds, good and bad, for the update-check tests."""
        page = "https://tunora.example/download"
        feeds = {
            "newer": {"version": "9.1.0", "url": page},
            "newer-minor": {"version": "0.10.0", "url": page},
            "equal": {"version": "0.9.2", "url": page},
            "older": {"version": "0.9.1", "url": page},
            "missing": {"version": "9.0.0"},
            "not-string": {"version": 9, "url": page},
            "plain-http-page": {"version": "9.0.0", "url": "http://tunora.example/download"},
            "huge": {"version": "9.0.0", "url": page, "padding": "x" * 70000},
        }
        if name in feeds:
            return self.reply(200, "application/json", json.dumps(feeds[name]).encode())
        if name == "malformed":
            return self.reply(200, "application/json", b'{"version": "9.0.0", "url": ')
        if name in ("404", "500"):
            return self.reply(int(name), "text/plain", b"no")
        if name == "slow":
            time.sleep(min(5, self.server.deadline - time.monotonic()))
            return self.reply(200, "application/json", b"{}")
        return self.reply(404, "text/plain", b"no such feed")

    def reply(self, code, kind, body):
        self.send_response(code)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def stream(self, limit, stall, icy=None):
        """icy: the metadata block to send, or None."""
        """stall: after limit, "stall" (no bytes), "silent" (zeros) or None (close)."""
        data = self.server.mp3
        if icy:  # ICY metadata after every ICY_METAINT bytes of audio
            data = data[:len(data) // ICY_METAINT * ICY_METAINT]
        sent, position, start = 0, 0, time.monotonic()
        burst = BITRATE_BYTES  # one second at once, then real time
        try:
            while time.monotonic() < self.server.deadline:
                if limit is not None and sent >= limit:
                    if stall == "stall":
                        time.sleep(min(60, self.server.deadline - time.monotonic()))
                    if stall != "silent":
                        return
                    chunk = bytes(4096)  # no MPEG frame in it: decodes to nothing
                else:
                    chunk = data[position:position + 4096] or data[:4096]
                    position = (position + len(chunk)) % len(data)
                self.wfile.write(chunk)
                if icy and position % ICY_METAINT == 0:
                    self.wfile.write(icy)
                sent += len(chunk)
                ahead = (sent - burst) / BITRATE_BYTES - (time.monotonic() - start)
                if ahead > 0:
                    time.sleep(ahead)
        except (BrokenPipeError, ConnectionResetError, ssl.SSLError):
            pass


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("mp3")
    parser.add_argument("--cert")
    parser.add_argument("--key")
    parser.add_argument("--lifetime", type=float, default=300)
    parser.add_argument("--redirect-target", help="where /redirect-to-http points")
    parser.add_argument("--counts", help="file that gets the request counts as JSON")
    parser.add_argument("--faults", help="JSON file of faults to inject by path")
    args = parser.parse_args()
    server = Server(("127.0.0.1", 0), Handler)
    server.mp3 = open(args.mp3, "rb").read()
    server.deadline = time.monotonic() + args.lifetime
    server.redirect_target = args.redirect_target or (
        "http://127.0.0.1:%d/tone.mp3" % server.server_address[1])
    server.counts_file = args.counts
    server.scheme = "https" if args.cert else "http"
    server.faults_file = args.faults
    if args.cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.cert, args.key)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    print(server.server_address[1], flush=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    time.sleep(args.lifetime)


if __name__ == "__main__":
    sys.exit(main())
