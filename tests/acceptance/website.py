"""The provider's web site as the built phone knows it (the build's
SOFTPHONE_WEB_SITE), served from 127.0.0.1 without touching the machine's
names: the phone's browser is pointed at a proxy of ours, which answers
for that host itself. For an https:// site the proxy speaks TLS inside the
tunnel with a certificate from a test CA made now and trusted in the
browser's certificate store under $HOME only.

    site = WebSite(work, os.environ["SOFTPHONE_WEB_SITE"], home)
    env["QTWEBENGINE_CHROMIUM_FLAGS"] = site.browser_flags()
    ...
    site.requests    # ["GET /support/feedbackmail.html", ...]

Run alone (scripts/screenshots, bench/feedback_bench.sh), it serves until
it is ended, prints the browser's switches first and then every request.
With --report-paint the page tells when the browser first painted it:
"GET /painted?first-paint=EPOCH_MS" (Chromium's own paint timing).

    website.py SITE HOME WORK [--report-paint]
"""
import http.server
import ssl
import subprocess
import sys
import threading
from pathlib import Path
from urllib.parse import urlsplit

FEEDBACK_PATH = "/support/feedbackmail.html"
TITLE = "Feedback test page"

PAGE = f"""<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>{TITLE}</title>
<style>
 body {{ font-family: sans-serif; margin: 0; background: #eef3f7; color: #1c2b36; }}
 header {{ background: #2f5d7c; color: white; padding: 14px 16px; font-size: 18px; }}
 form {{ padding: 12px 16px; }}
 label {{ display: block; margin-top: 10px; font-size: 13px; }}
 input, textarea {{ width: 100%; box-sizing: border-box; padding: 5px; border: 1px solid #9fb3c2; }}
 textarea {{ height: 140px; }}
 button {{ margin-top: 14px; padding: 6px 18px; background: #2f5d7c; color: white; border: 0; }}
</style></head>
<body><header>Tell us what you think</header>
<form method="post" action="{FEEDBACK_PATH}">
<label>Your name <input name="name"></label>
<label>E-mail <input name="email" type="email"></label>
<label>Your feedback <textarea name="text"></textarea></label>
<button type="submit">Send</button>
</form>@SCRIPT@</body></html>
"""

REPORT_PAINT = """<script>
new PerformanceObserver(function (list) {
  list.getEntries().forEach(function (e) {
    fetch("/painted?" + e.name + "=" + (performance.timeOrigin + e.startTime).toFixed(3));
  });
}).observe({type: "paint", buffered: true});
</script>"""


def _openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, capture_output=True)


class WebSite:
    def __init__(self, work, site, home, report_paint=False, on_request=None):
        address = urlsplit(site)
        self.host, self.tls = address.hostname, address.scheme == "https"
        self.requests = []
        page = PAGE.replace("@SCRIPT@", REPORT_PAINT if report_paint else "").encode()
        self.dir = work / "website"
        self.dir.mkdir()
        context = self._certificate(home) if self.tls else None
        owner = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def log_message(self, *args):
                pass

            def do_CONNECT(self):
                # The browser opens a tunnel to the site; this end of it is the site.
                owner.requests.append(f"CONNECT {self.path}")
                self.send_response(200, "Connection established")
                self.end_headers()
                self.close_connection = True
                if context and self.path.rsplit(":", 1)[0] == owner.host:
                    try:
                        Handler(context.wrap_socket(self.connection, server_side=True),
                                self.client_address, self.server)
                    except (ssl.SSLError, OSError):
                        pass

            def do_GET(self):
                address = urlsplit(self.path)  # absolute for plain HTTP through a proxy
                if address.hostname not in (None, owner.host):
                    self.send_error(502)
                    return
                owner.requests.append(f"GET {address.path}")
                if on_request:
                    on_request(f"GET {address.path}" + (f"?{address.query}" if address.query else ""))
                found = address.path == FEEDBACK_PATH
                body = page if found else b"not here"
                self.send_response(200 if found else 404)
                self.send_header("Content-Type", "text/html; charset=utf-8")
                self.send_header("Cache-Control", "no-store")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.server.daemon_threads = True
        self.port = self.server.server_address[1]
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def _certificate(self, home):
        """A CA and the site's certificate from it; the CA trusted in the NSS
        store that Chromium reads for this HOME."""
        d = self.dir
        _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem",
                 "-days", "2", "-subj", "/CN=Softphone test CA",
                 "-addext", "basicConstraints=critical,CA:TRUE",
                 "-addext", "keyUsage=critical,keyCertSign", cwd=d)
        _openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", "site.key", "-out", "site.csr",
                 "-subj", f"/CN={self.host}", cwd=d)
        (d / "site.ext").write_text(f"subjectAltName=DNS:{self.host}\nbasicConstraints=CA:FALSE\n"
                                    "extendedKeyUsage=serverAuth\n")
        _openssl("x509", "-req", "-in", "site.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                 "-CAcreateserial", "-out", "site.pem", "-days", "2", "-extfile", "site.ext", cwd=d)
        nssdb = home / ".pki/nssdb"
        nssdb.mkdir(parents=True, exist_ok=True)
        if not (nssdb / "cert9.db").exists():
            subprocess.run(["certutil", "-N", "-d", f"sql:{nssdb}", "--empty-password"], check=True,
                           capture_output=True)
        subprocess.run(["certutil", "-A", "-d", f"sql:{nssdb}", "-n", "Softphone test CA", "-t", "C,,",
                        "-i", str(d / "ca.pem")], check=True, capture_output=True)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(d / "site.pem", d / "site.key")
        return context

    def browser_flags(self):
        """Qt WebEngine's switches that send the browser through our proxy."""
        return f"--proxy-server=127.0.0.1:{self.port}"

    def fetches(self, path=FEEDBACK_PATH):
        return self.requests.count(f"GET {path}")

    def stop(self):
        self.server.shutdown()
        self.server.server_close()


if __name__ == "__main__":
    if len(sys.argv) not in (4, 5) or sys.argv[4:] not in ([], ["--report-paint"]):
        sys.exit("usage: website.py SITE HOME WORK [--report-paint]")
    served = WebSite(Path(sys.argv[3]), sys.argv[1], Path(sys.argv[2]), report_paint=len(sys.argv) == 5,
                     on_request=lambda line: print(line, flush=True))
    print(served.browser_flags(), flush=True)
    threading.Event().wait()
