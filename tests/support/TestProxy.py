"""Forward proxy for the tests on 127.0.0.1, for loopback targets only:
"GET http://..." is passed on to the origin server; "GET ftp://..." is fetched
over FTP and answered as HTTP (404 for a missing file), as CERN-style proxies
do; "CONNECT host:port" opens a tunnel. With --user it answers 407 to every
request without that user and password (Basic). Records "<method> <target>"
of every request."""

import argparse
import base64
import calendar
import email.utils
import ftplib
import http.client
import select
import socket
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import urlsplit

from TestServerOutput import arguments, say, serve_until_output_closes

NOT_PASSED_ON = {"proxy-authorization", "proxy-connection", "connection", "keep-alive",
                 "content-length", "transfer-encoding", "date", "server"}


class Proxy(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    credentials = None  # "Basic ..." every request must carry; None: an open proxy

    def log_message(self, *args):
        pass

    def answer(self, status, body=b"", headers=()):
        self.send_response(status)
        for name, value in list(headers) + [("Content-Length", str(len(body))), ("Connection", "close")]:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)
        self.close_connection = True

    def admitted(self, host):
        say("%s %s" % (self.command, self.path))
        if self.credentials and self.headers.get("Proxy-Authorization") != self.credentials:
            self.answer(407, b"Proxy authentication required", [("Proxy-Authenticate", 'Basic realm="test"')])
            return False
        if host not in ("127.0.0.1", "localhost"):
            self.answer(403, b"Loopback targets only")
            return False
        return True

    def do_GET(self):
        url = urlsplit(self.path)
        if not self.admitted(url.hostname):
            return
        if url.scheme == "ftp":
            return self.fetch_ftp(url)
        origin = http.client.HTTPConnection(url.hostname, url.port or 80)
        headers = {k: v for k, v in self.headers.items() if k.lower() not in NOT_PASSED_ON}
        origin.request("GET", url.path + ("?" + url.query if url.query else ""), headers=headers)
        reply = origin.getresponse()
        self.answer(reply.status, reply.read(), [h for h in reply.getheaders() if h[0].lower() not in NOT_PASSED_ON])

    def fetch_ftp(self, url):
        try:
            ftp = ftplib.FTP()
            ftp.connect(url.hostname, url.port or 21)
            ftp.login(url.username or "anonymous", url.password or "")
            modified = time.strptime(ftp.voidcmd("MDTM " + url.path)[4:18], "%Y%m%d%H%M%S")
            pieces = []
            ftp.retrbinary("RETR " + url.path, pieces.append)
            ftp.quit()
        except ftplib.error_perm:
            return self.answer(404, b"No such file")
        stamp = email.utils.formatdate(calendar.timegm(modified), usegmt=True)
        self.answer(200, b"".join(pieces), [("Content-Type", "application/octet-stream"), ("Last-Modified", stamp)])

    def do_CONNECT(self):
        host, _, port = self.path.rpartition(":")
        if not self.admitted(host):
            return
        ends = [self.connection, socket.create_connection((host, int(port)))]
        self.send_response(200, "Connection established")
        self.end_headers()
        while True:
            for end in select.select(ends, [], [])[0]:
                data = end.recv(65536)
                if not data:
                    self.close_connection = True
                    return
                ends[1 - ends.index(end)].sendall(data)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--user", default="")
    parser.add_argument("--password", default="")
    args = arguments(parser)
    if args.user:
        Proxy.credentials = "Basic " + base64.b64encode((args.user + ":" + args.password).encode()).decode()
    server = ThreadingHTTPServer(("127.0.0.1", 0), Proxy)
    server.daemon_threads = True
    serve_until_output_closes(server.server_address[1], server.serve_forever)


if __name__ == "__main__":
    main()
