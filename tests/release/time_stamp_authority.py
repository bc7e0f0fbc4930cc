#!/usr/bin/env python3
"""A time-stamping authority (RFC 3161) on the loopback interface, for the signing tests:
`openssl ts -reply` behind a small HTTP server, with a throwaway root and a time-stamping
certificate made in the folder given.

    TimeStampAuthority(folder) -> .url, .ca_file; .close()
"""
import http.server
import os
import subprocess
import tempfile
import threading

CONFIG = """
[ tsa ]
default_tsa = tsa_config
[ tsa_config ]
dir = {folder}
serial = $dir/serial
signer_cert = $dir/tsa.pem
certs = $dir/tsa.pem
signer_key = $dir/tsa.key
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha256, sha384, sha512
accuracy = secs:1
ordering = yes
tsa_name = no
ess_cert_id_chain = no
ess_cert_id_alg = sha256
[ tsa_ext ]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = critical, timeStamping
"""


def openssl(*args):
    subprocess.run(["openssl", *args], check=True, capture_output=True)


class TimeStampAuthority:
    def __init__(self, folder):
        self.folder = folder
        os.makedirs(folder, exist_ok=True)
        config = os.path.join(folder, "tsa.cnf")
        with open(config, "w") as f:
            f.write(CONFIG.format(folder=folder))
        with open(os.path.join(folder, "serial"), "w") as f:
            f.write("01\n")
        self.ca_file = os.path.join(folder, "tsa-ca.pem")
        ca_key = os.path.join(folder, "tsa-ca.key")
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "30", "-subj", "/CN=MERUVIA test TSA root",
                "-keyout", ca_key, "-out", self.ca_file)
        request = os.path.join(folder, "tsa.csr")
        openssl("req", "-new", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=MERUVIA test TSA",
                "-keyout", os.path.join(folder, "tsa.key"), "-out", request)
        openssl("x509", "-req", "-in", request, "-CA", self.ca_file, "-CAkey", ca_key, "-CAcreateserial",
                "-days", "30", "-extfile", config, "-extensions", "tsa_ext", "-out", os.path.join(folder, "tsa.pem"))

        authority = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_POST(self):
                body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
                reply = authority.answer(body)
                self.send_response(200 if reply else 500)
                self.send_header("Content-Type", "application/timestamp-reply")
                self.send_header("Content-Length", str(len(reply)))
                self.end_headers()
                self.wfile.write(reply)

            def log_message(self, *args):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.url = "http://127.0.0.1:%d/" % self.server.server_address[1]
        self.requests = 0
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()

    def answer(self, query):
        self.requests += 1
        with tempfile.TemporaryDirectory(dir=self.folder) as scratch:
            query_file = os.path.join(scratch, "q.tsq")
            reply_file = os.path.join(scratch, "r.tsr")
            with open(query_file, "wb") as f:
                f.write(query)
            result = subprocess.run(["openssl", "ts", "-reply", "-config", os.path.join(self.folder, "tsa.cnf"),
                                     "-queryfile", query_file, "-out", reply_file], capture_output=True)
            if result.returncode != 0:
                return b""
            with open(reply_file, "rb") as f:
                return f.read()

    def close(self):
        self.server.shutdown()
        self.server.server_close()
