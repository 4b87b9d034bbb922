"""A real desktop for tests: Xvfb, a D-Bus session bus, the accessibility
bus, a local HTTPS server that answers for the chat sites' host names, and
real browsers on it. Every process is started here and stopped here, by the
process id this module recorded, never by name. Every wait is on a condition
with a deadline.

Run with Debian's /usr/bin/python3 and its GIO bindings (python3-gi); the
browsers, Xvfb, dbus-daemon, at-spi-bus-launcher, openssl and certutil come
from Debian's packages (scripts/setup)."""

import http.server
import json
import urllib.parse
import os
import shutil
import signal
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time

from gi.repository import Gio, GLib  # Debian's python3-gi

HOSTS = ["chatgpt.com", "claude.ai", "grok.com", "news.example", "markup.example"]
PAGES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "pages")


def accessibility_bus(session_address=None):
    """A connection to the accessibility bus of a session (by default this
    process's own); GLib.Error when there is none."""
    flags = Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION
    session = Gio.DBusConnection.new_for_address_sync(session_address or os.environ["DBUS_SESSION_BUS_ADDRESS"],
                                                      flags, None, None)
    try:
        address = session.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", None, None,
                                    Gio.DBusCallFlags.NONE, 2000, None).unpack()[0]
    finally:
        session.close_sync(None)
    return Gio.DBusConnection.new_for_address_sync(address, flags, None, None)


class Deadline(Exception):
    pass


def wait_for(what, check, seconds=30.0, every=0.1):
    """Calls check() until it returns something true; raises Deadline after `seconds`."""
    end = time.monotonic() + seconds
    while True:
        value = check()
        if value:
            return value
        if time.monotonic() > end:
            raise Deadline("timed out waiting for " + what)
        time.sleep(every)


class Pages(http.server.BaseHTTPRequestHandler):
    """Serves pages/<host>.html for every path of a known host; also a CONNECT
    proxy that answers every tunnel itself, so a browser configured with a
    proxy reaches the chat sites here without any name resolution."""

    server_version = "zel-test"

    def log_message(self, *args):
        pass

    def do_CONNECT(self):
        self.send_response(200, "Connection established")
        self.end_headers()
        tls = self.server.context.wrap_socket(self.connection, server_side=True)
        self.server.serve_tunnel(tls)
        self.close_connection = True

    def do_GET(self):
        host = (self.headers.get("Host") or "").split(":")[0]
        self.server.requests.append((host, self.path))
        if self.path.startswith("/zel-steps"):
            self.steps()
            return
        name = os.path.join(self.server.pages, host + ".html")
        if self.path == "/zel-driver.js":
            name = os.path.join(self.server.pages, "zel-driver.js")
        if host not in HOSTS or not os.path.exists(name):
            self.send_error(404)
            return
        # "{{id}}" stands for the page's last path segment, so that every
        # window shows text of its own.
        page_id = self.path.split("?")[0].rstrip("/").rsplit("/", 1)[-1]
        with open(name, "rb") as f:
            body = f.read().replace(b"{{id}}", page_id.encode())
        self.send_response(200)
        self.send_header("Content-Type", "text/javascript" if name.endswith(".js") else "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


    def steps(self):
        """A driven page asks for the steps after the last it applied
        ("/zel-steps?applied=N") and is given those that are waiting."""
        query = urllib.parse.parse_qs(urllib.parse.urlparse(self.path).query)
        applied = int(query.get("applied", ["0"])[0])
        with self.server.steps_lock:
            self.server.applied = max(self.server.applied, applied)
            body = json.dumps(self.server.steps[applied:]).encode()
        self.send_response(200)
        self.send_header("Content-Type", "application/json")
        self.send_header("Cache-Control", "no-store")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


class PageServer(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        # Browsers try hosts of their own through the proxy and refuse the
        # certificate: nothing the tests look at.
        try:
            request.close()
        except OSError:
            pass

    def __init__(self, context, pages):
        super().__init__(("127.0.0.1", 0), Pages)
        self.context = context
        self.pages = pages
        self.requests = []
        # What driven pages do next (see pages/claude.ai.html), and how many
        # of the steps they applied.
        self.steps = []
        self.applied = 0
        self.steps_lock = threading.Lock()

    def serve_tunnel(self, tls):
        # One more handler on the decrypted stream of the tunnel.
        Pages(tls, ("127.0.0.1", 0), self)


class Desktop:
    """A display, a session bus and the accessibility bus, in a fresh home."""

    def __init__(self, pages=PAGES):
        self.pages = pages  # a folder of <host>.html files
        self.dir = tempfile.mkdtemp(prefix="zel-live-")
        self.home = os.path.join(self.dir, "home")
        os.makedirs(self.home)
        self.processes = []  # (name, Popen), stopped in reverse order
        self.env = dict(os.environ)
        for key in ["ZEL_AX_DESKTOP", "ZEL_AX_JOURNAL", "AT_SPI_BUS_ADDRESS", "DBUS_SESSION_BUS_ADDRESS"]:
            self.env.pop(key, None)
        self.env.update({"HOME": self.home, "LANG": "en_US.UTF-8", "LANGUAGE": "", "LC_ALL": "",
                         "XDG_RUNTIME_DIR": self.dir, "NO_AT_BRIDGE": "0",
                         # Every process of this desktop carries it, daemons a
                         # launcher started included: how close() finds them.
                         "ZEL_LIVE_DESKTOP": self.dir})
        self.server = None

    # ---- processes ----

    def start(self, name, args, env=None, stdout=subprocess.DEVNULL, stdin=subprocess.DEVNULL, executable=None):
        with open(os.path.join(self.dir, name + ".log"), "ab") as log:
            p = subprocess.Popen(args, env=env or self.env, stdout=stdout, stderr=log, stdin=stdin,
                                 start_new_session=True, executable=executable)
        self.processes.append((name, p))
        return p

    def stop(self, p, grace=5.0):
        """Stops one process this desktop started, by its id, then its group."""
        if p.poll() is None:
            try:
                os.killpg(p.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
            try:
                p.wait(grace)
            except subprocess.TimeoutExpired:
                try:
                    os.killpg(p.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
                p.wait(grace)
        for stream in (p.stdin, p.stdout):
            if stream:
                stream.close()
        self.processes = [(n, q) for (n, q) in self.processes if q is not p]

    def leftovers(self):
        """Running processes (not zombies) that carry this desktop's mark."""
        mark = ("ZEL_LIVE_DESKTOP=" + self.dir).encode()
        found = []
        for name in os.listdir("/proc"):
            if not name.isdigit() or int(name) == os.getpid():
                continue
            try:
                with open("/proc/%s/stat" % name) as f:
                    if f.read().rsplit(")", 1)[1].split()[0] == "Z":
                        continue
                with open("/proc/%s/environ" % name, "rb") as f:
                    if mark in f.read().split(b"\0"):
                        found.append(int(name))
            except (OSError, IndexError):
                continue
        return found

    def close(self):
        for _, p in reversed(list(self.processes)):
            self.stop(p)
        if self.server:
            self.server.shutdown()
            self.server.server_close()
        # What the started processes started in turn: each by its id.
        try:
            wait_for("the desktop's processes to end", lambda: not self.leftovers(), 10)
        except Deadline:
            left = self.leftovers()
            for pid in left:
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            raise RuntimeError("processes left behind and killed: %s" % left)
        finally:
            shutil.rmtree(self.dir, ignore_errors=True)

    # ---- the session ----

    def open(self):
        # A harness stopped by a signal still stops what it started.
        for sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            signal.signal(sig, lambda *_: sys.exit(128 + sig))
        r, w = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                                pass_fds=[w], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                start_new_session=True)
        self.processes.append(("xvfb", xvfb))
        os.close(w)
        display = b""
        with os.fdopen(r, "rb") as f:
            while not display.endswith(b"\n"):
                chunk = f.read(1)
                if not chunk:
                    raise RuntimeError("Xvfb did not start")
                display += chunk
        self.env["DISPLAY"] = ":" + display.decode().strip()

        bus = self.start("dbus", ["dbus-daemon", "--session", "--nofork", "--nosyslog", "--print-address=1"],
                         stdout=subprocess.PIPE)
        address = bus.stdout.readline().decode().strip()
        bus.stdout.close()
        bus.stdout = None
        if not address:
            raise RuntimeError("dbus-daemon did not start")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address
        self.start("at-spi-bus", ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
        wait_for("the accessibility bus", lambda: self.gdbus_session("org.a11y.Bus", "/org/a11y/bus",
                                                                    "org.a11y.Bus.GetAddress"))
        self.serve_pages()
        return self

    def accessibility_processes(self):
        """The ids of the accessibility bus daemon and the registry daemon
        the bus launcher started for this desktop."""
        found = {}
        for pid in self.leftovers():
            try:
                with open("/proc/%d/cmdline" % pid, "rb") as f:
                    command = f.read()
            except OSError:
                continue
            if b"accessibility.conf" in command:
                found["bus"] = pid
            elif b"at-spi2-registryd" in command:
                found["registry"] = pid
        return found

    def restart_accessibility_bus(self):
        """Kills the accessibility bus daemon (and the registry with it), then
        starts the bus again as a session does: a new launcher, a new daemon,
        accessibility on."""
        gone = self.accessibility_processes()
        for pid in gone.values():
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        for name, p in list(self.processes):
            if name == "at-spi-bus":
                self.stop(p)
        wait_for("the old bus to be gone", lambda: not (set(self.accessibility_processes().values()) &
                                                        set(gone.values())), 10)
        self.start("at-spi-bus", ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
        wait_for("the accessibility bus", lambda: self.gdbus_session("org.a11y.Bus", "/org/a11y/bus",
                                                                    "org.a11y.Bus.GetAddress"))
        self.set_accessibility(True)

    def gdbus_session(self, dest, path, method, *args):
        r = subprocess.run(["gdbus", "call", "--session", "--dest", dest, "--object-path", path, "--method", method,
                            *args], env=self.env, capture_output=True, text=True, timeout=10)
        return r.stdout.strip() if r.returncode == 0 else None

    def accessibility_address(self):
        """The address of this desktop's accessibility bus."""
        out = self.gdbus_session("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus.GetAddress")
        return out.split("'")[1] if out else None

    def gdbus_accessibility_probe(self):
        """One call on the accessibility bus (its daemon's GetId), for a
        watcher of the bus to see."""
        address = self.accessibility_address()
        r = subprocess.run(["gdbus", "call", "--address", address, "--dest", "org.freedesktop.DBus", "--object-path",
                            "/org/freedesktop/DBus", "--method", "org.freedesktop.DBus.GetId"], env=self.env,
                           capture_output=True, text=True, timeout=10)
        return r.returncode == 0

    def accessibility_enabled(self):
        out = self.gdbus_session("org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties.Get",
                                 "org.a11y.Status", "IsEnabled")
        return out is not None and "true" in out

    def set_accessibility(self, on):
        self.gdbus_session("org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties.Set", "org.a11y.Status",
                           "IsEnabled", "<%s>" % ("true" if on else "false"))

    # ---- pages ----

    def serve_pages(self):
        """A certificate authority of this run, a certificate for the chat
        hosts signed by it, and the HTTPS server."""
        d = self.dir
        names = ",".join("DNS:" + h for h in HOSTS)
        run = lambda *a: subprocess.run(a, check=True, capture_output=True, cwd=d)
        run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=zel test CA",
            "-keyout", "ca.key", "-out", "ca.pem", "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign")
        run("openssl", "req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=chat hosts", "-keyout", "site.key",
            "-out", "site.csr")
        with open(os.path.join(d, "site.ext"), "w") as f:
            f.write("subjectAltName=%s\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n" % names)
        run("openssl", "x509", "-req", "-in", "site.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
            "-days", "2", "-out", "site.pem", "-extfile", "site.ext")
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(os.path.join(d, "site.pem"), os.path.join(d, "site.key"))
        plain = PageServer(context, self.pages)
        self.port = plain.server_address[1]
        self.server = plain
        # Direct HTTPS on the same port for Chromium: the first byte tells a
        # TLS hello (0x16) from a proxy's CONNECT.
        original = plain.get_request

        def get_request():
            sock, addr = original()
            try:
                first = sock.recv(1, socket.MSG_PEEK)
            except OSError:
                first = b""
            if first == b"\x16":
                sock = context.wrap_socket(sock, server_side=True)
            return sock, addr

        plain.get_request = get_request
        threading.Thread(target=plain.serve_forever, daemon=True).start()

    def drive_afresh(self):
        """Forgets the steps handed out so far: a driven page opened next
        starts from the first step handed out after this."""
        with self.server.steps_lock:
            self.server.steps = []
            self.server.applied = 0

    def drive(self, step, timeout=20):
        """Hands a driven page one more step and waits until it applied it."""
        with self.server.steps_lock:
            self.server.steps.append(step)
            n = len(self.server.steps)
        wait_for("the page to apply step %d" % n, lambda: self.server.applied >= n, timeout, every=0.02)

    def requested(self, host, path_part=""):
        return any(h == host and path_part in p for (h, p) in self.server.requests)

    # ---- browsers ----

    def chromium(self, urls, profile="chromium", incognito=False, extra=()):
        args = ["chromium", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                "--disable-background-networking", "--disable-component-update", "--disable-sync",
                "--disable-features=Translate,MediaRouter", "--password-store=basic", "--no-default-browser-check",
                "--user-data-dir=" + os.path.join(self.dir, profile),
                "--host-resolver-rules=MAP * 127.0.0.1:%d" % self.port, "--ignore-certificate-errors",
                "--window-size=1200,900"]
        if incognito:
            args.append("--incognito")
        args.extend(extra)
        return self.start("chromium-" + profile + ("-incognito" if incognito else ""), args + urls)

    def firefox_profile(self, name="default", always_private=False):
        root = os.path.join(self.home, ".mozilla", "firefox")
        path = os.path.join(root, name)
        os.makedirs(path, exist_ok=True)
        with open(os.path.join(root, "profiles.ini"), "a") as f:
            f.write("[Profile%s]\nName=%s\nIsRelative=1\nPath=%s\n\n" % (name, name, name))
        prefs = {
            "browser.aboutwelcome.enabled": False,
            "browser.startup.homepage_override.mstone": "ignore",
            "startup.homepage_welcome_url": "",
            "browser.newtabpage.enabled": False,
            "browser.shell.checkDefaultBrowser": False,
            "datareporting.policy.dataSubmissionEnabled": False,
            "toolkit.telemetry.reportingpolicy.firstRun": False,
            "app.update.enabled": False,
            "browser.tabs.warnOnClose": False,
            "browser.privatebrowsing.autostart": always_private,
            "network.proxy.type": 1,
            "network.proxy.ssl": "127.0.0.1",
            "network.proxy.ssl_port": self.port,
            "network.proxy.allow_hijacking_localhost": True,
            "network.dns.disableIPv6": True,
            "network.captive-portal-service.enabled": False,
            "browser.safebrowsing.update.enabled": False,
            "extensions.update.enabled": False,
        }
        with open(os.path.join(path, "user.js"), "w") as f:
            for k, v in prefs.items():
                f.write("user_pref(%s, %s);\n" % (json.dumps(k), json.dumps(v)))
        subprocess.run(["certutil", "-N", "-d", "sql:" + path, "--empty-password"], check=True, capture_output=True)
        subprocess.run(["certutil", "-A", "-d", "sql:" + path, "-n", "zel test CA", "-t", "C,,", "-i",
                        os.path.join(self.dir, "ca.pem")], check=True, capture_output=True)
        return path

    def firefox(self, profile, urls, private=False):
        args = ["firefox-esr", "--profile", profile]
        if private:
            args.append("--private-window")
        return self.start("firefox-" + os.path.basename(profile) + ("-private" if private else ""), args + urls)

    # ---- the accessibility bus, names only ----

    def window_titles(self):
        """The window names of every application on the accessibility bus. Only
        names are read: reading a window's attributes would build Chromium's
        web tree, which the agent must do itself."""
        try:
            bus = accessibility_bus(self.env["DBUS_SESSION_BUS_ADDRESS"])
        except GLib.Error:
            return []
        root = "/org/a11y/atspi/accessible/root"

        def call(dest, path, iface, method, args=None):
            try:
                return bus.call_sync(dest, path, iface, method, args, None, Gio.DBusCallFlags.NONE, 2000,
                                     None).unpack()
            except GLib.Error:
                return None

        titles = []
        try:
            for app, _ in (call("org.a11y.atspi.Registry", root, "org.a11y.atspi.Accessible", "GetChildren") or
                           [[]])[0]:
                for _, path in (call(app, root, "org.a11y.atspi.Accessible", "GetChildren") or [[]])[0]:
                    name = call(app, path, "org.freedesktop.DBus.Properties", "Get",
                                GLib.Variant("(ss)", ("org.a11y.atspi.Accessible", "Name")))
                    if name:
                        titles.append(name[0])
        finally:
            bus.close_sync(None)
        return titles

    def wait_for_window(self, part, seconds=60, browser=""):
        """A window whose title holds `part` and, when given, the browser's name."""
        return wait_for("a window titled with %r" % part,
                        lambda: any(part in t and browser in t for t in self.window_titles()), seconds, every=0.25)


class Lines:
    """The lines a process writes on a pipe, collected as they come (each
    through `parse`), so that a test waits for one with a deadline."""

    def __init__(self, stream, parse=lambda raw: raw.decode(errors="replace").strip()):
        self.lines = []
        self.parse = parse
        threading.Thread(target=self._read, args=(stream,), daemon=True).start()

    def _read(self, stream):
        for raw in stream:
            self.lines.append(self.parse(raw))

    def wait(self, text, count=1, seconds=30):
        return wait_for("%r written %d times" % (text, count), lambda: self.lines.count(text) >= count, seconds)


class Agent:
    """zel-ax serve on the desktop, its lines collected as they come."""

    def __init__(self, desktop, executable, args, env=None):
        self.desktop = desktop
        self.process = desktop.start("zel-ax", [executable, "serve", *args], env=env, stdout=subprocess.PIPE,
                                     stdin=subprocess.PIPE)
        self.output = Lines(self.process.stdout, parse=self._parse)

    @staticmethod
    def _parse(raw):
        try:
            return json.loads(raw)
        except ValueError:
            return {"unparsed": raw.decode(errors="replace")}

    @property
    def lines(self):
        return self.output.lines

    def chat_lines(self, bundle_id):
        return [l for l in list(self.lines) if "kind" not in l and l.get("bundle_id") == bundle_id]

    def stop(self):
        self.desktop.stop(self.process)
        return self.process.returncode
