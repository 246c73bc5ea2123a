"""timestamp_authority.py CONFIG PORT-FILE

A throwaway RFC 3161 timestamping authority for the signing test
(tests/windows/signing.sh): an HTTP server on 127.0.0.1, at a free port that
it writes to PORT-FILE once it listens, that answers each timestamp request
posted to it with `openssl ts -reply` under CONFIG. Serves until it is
ended; logs each request to standard error.
"""
import http.server
import pathlib
import subprocess
import sys
import tempfile


class TimestampHandler(http.server.BaseHTTPRequestHandler):
    config = ""

    def do_POST(self):
        query = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        with tempfile.TemporaryDirectory() as folder:
            query_file = pathlib.Path(folder, "query.tsq")
            reply_file = pathlib.Path(folder, "reply.tsr")
            query_file.write_bytes(query)
            signed = subprocess.run(["openssl", "ts", "-reply", "-config", self.config, "-queryfile",
                                     str(query_file), "-out", str(reply_file)], capture_output=True, text=True)
            if signed.returncode != 0:
                self.send_error(500, signed.stderr.strip())
                return
            reply = reply_file.read_bytes()
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)


def main():
    config, port_file = sys.argv[1:3]
    TimestampHandler.config = config
    server = http.server.HTTPServer(("127.0.0.1", 0), TimestampHandler)
    pathlib.Path(port_file).write_text(str(server.server_address[1]))
    server.serve_forever()


if __name__ == "__main__":
    main()
