"""One bring-up for the acceptance tests: a desktop of our own (a11y-session),
a private Kamailio and PulseAudio, SIPp and linphonec far ends, a
notification area and a notification service when a test asks for them,
and the built program run from a copy. Everything listens on 127.0.0.1 on free
ports (or, in tests/lab, in network namespaces of the test's own: see
Rig.server), lives in one temporary folder, and is stopped by PID, pass or fail.

    rig = Rig(program); rig.start()
    phone = rig.phone()                  # registered, on screen
    phone.click("Keypad 5")
    rig.close()
"""
import array
import json
import math
import re
import os
import random
import shutil
import signal
import socket
import subprocess
import tempfile
import time
import traceback
from pathlib import Path

import a11y
from website import WebSite
from xinput import click, type_text

HERE = Path(__file__).resolve().parent
TOP = Path(os.environ.get("SOFTPHONE_SOURCE_DIR") or HERE.parents[1])
SIPP = TOP / "tests/fixtures/sipp"
LOOPBACK = "127.0.0.1"

PHONE_USER, PHONE_PASSWORD = "1001", "1001pw"
CALLER, CALLER_PASSWORD = "alice", "alice-secret"
CALLEE, CALLEE_PASSWORD = "5550123456", "callee-5550123456"  # tests/acceptance/users
READY = "Registered and Ready..."
# linphonec settings for PCMU alone: its frames have one size, and the sound
# on the wire is the sound a test plays.
PCMU_ONLY = {"audio_codec_0": {"mime": "PCMU", "rate": 8000, "channels": 1, "enabled": 1},
             "audio_codec_1": {"mime": "opus", "rate": 48000, "channels": 2, "enabled": 0},
             "audio_codec_2": {"mime": "speex", "rate": 16000, "channels": 1, "enabled": 0},
             "audio_codec_3": {"mime": "speex", "rate": 8000, "channels": 1, "enabled": 0}}


class Failure(AssertionError):
    """What a person would see go wrong, in plain words."""


def check(condition, message):
    if not condition:
        raise Failure(message)
    return condition


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def free_media_port():
    """An even port whose neighbour is free too (RTP and RTCP)."""
    for _ in range(200):
        p = random.randrange(20000, 30000, 2)
        try:
            with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as a, \
                 socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as b:
                a.bind(("127.0.0.1", p))
                b.bind(("127.0.0.1", p + 1))
                return p
        except OSError:
            continue
    raise Failure("no free media port on 127.0.0.1")


def udp_bound(port, address=LOOPBACK, pid="self"):
    """True when a UDP socket is bound to address:port in the network
    namespace of process pid."""
    hex_address = socket.inet_aton(address)[::-1].hex().upper()
    return f"{hex_address}:{port:04X} " in Path(f"/proc/{pid}/net/udp").read_text()


def udp_ports(pid):
    """The local ports of the IPv4 UDP sockets process pid holds."""
    inodes = set()
    for fd in Path(f"/proc/{pid}/fd").iterdir():
        try:
            link = os.readlink(fd)
        except OSError:
            continue
        if link.startswith("socket:["):
            inodes.add(link[8:-1])
    ports = set()
    for line in Path(f"/proc/{pid}/net/udp").read_text().splitlines()[1:]:
        fields = line.split()
        if len(fields) > 9 and fields[9] in inodes:
            ports.add(int(fields[1].split(":")[1], 16))
    return ports


def read_text(path):
    """A file's text, or "" when it cannot be read."""
    try:
        return Path(path).read_text(errors="replace")
    except OSError:
        return ""


def in_netns(netns, argv):
    """argv run inside network namespace netns (None: this one)."""
    return ["ip", "netns", "exec", netns, *argv] if netns else list(argv)


def wait_until(predicate, timeout, interval=0.1):
    deadline = time.monotonic() + timeout
    while True:
        result = predicate()
        if result or time.monotonic() >= deadline:
            return result
        time.sleep(interval)


def read_env(path):
    """KEY=VALUE lines, with or without "export "."""
    env = {}
    for line in Path(path).read_text().splitlines():
        line = line.removeprefix("export ").strip()
        if line and not line.startswith("#") and "=" in line:
            k, v = line.split("=", 1)
            env[k] = v
    return env


def stop_pid(proc, grace=3.0):
    """TERM, then KILL what has not ended after grace seconds."""
    if proc.poll() is not None:
        return
    proc.terminate()
    try:
        proc.wait(grace)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait(5)


def tail(path, lines=12):
    """The last lines of a log."""
    try:
        text = Path(path).read_text(errors="replace").splitlines()
    except OSError:
        return "(none)"
    return "\n".join(text[-lines:])


class Sipp:
    """One SIPp far end; its message trace tells what crossed the wire."""

    def __init__(self, rig, name, scenario, args, port=None, calls=1):
        """calls: how many it takes before it ends."""
        self.dir = rig.work / name
        self.dir.mkdir(exist_ok=True)
        self.port = port or free_port()
        self.proc = rig.spawn(
            rig.far_side(["sipp", *args, "-sf", str(SIPP / scenario), "-p", str(self.port), "-m", str(calls),
                          *rig.sipp_addresses(), "-mp", str(free_media_port()), "-rtp_echo",
                          "-nostdin", "-trace_msg", "-message_file", str(self.dir / "messages.log"),
                          "-trace_err", "-error_file", str(self.dir / "errors.log")]),
            self.dir / "sipp.out")

    def messages(self):
        try:
            return (self.dir / "messages.log").read_text(errors="replace")
        except OSError:
            return ""

    def finished(self, timeout):
        """SIPp's exit code (0: its scenario passed), or None if still running."""
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            return None


class Linphonec:
    """linphonec as a far end that answers every call and logs the DTMF it
    gets, bound to the far ends' address (rig.far) like everything else here;
    or, with netns and address, where else it should run and bind ("": any
    address). settings: {section: {key: value}} over its configuration's.

    tls: registered and calling over TLS only, to the provider's TLS port
    by the name in its certificate (rig.tls_name), trusting the authority
    in ca only (default: ca.pem beside rig.tls, as tests/fixtures/testpki
    lays them out); it listens on no TCP or TLS port. srtp: its calls
    must have SRTP (SDES keys in the SDP), else they fail. wait: until the
    provider has its binding (False: a registration expected to fail).
    folder: its folder in the rig's (default linphonec-USER), for several
    starts of one account. log: its debug log (False: none, as a user runs
    it). started: the wall-clock time just before it was started."""

    def __init__(self, rig, user, password, settings=None, netns=None, address=None,
                 tls=False, srtp=False, ca=None, wait=True, folder=None, log=True):
        address = rig.far if address is None else address
        self.dir = rig.work / (folder or f"linphonec-{user}")
        (self.dir / "home/.local/share/linphone").mkdir(parents=True)
        config = {
            "sip": {"sip_port": -1, "sip_tcp_port": 0, "sip_tls_port": 0, "bind_address": address, "ipv6": 0,
                    "register_only_when_network_is_up": 0},
            "rtp": {"bind_address": address, "audio_rtp_port": "20000-29999"},
            "video": {"capture": 0, "display": 0},
            "proxy_0": {"reg_proxy": f"<sip:{rig.server}:{rig.port};transport=udp>",
                        "reg_identity": f"sip:{user}@{rig.server}:{rig.port}", "reg_expires": 3600,
                        "reg_sendregister": 1, "publish": 0},
            "auth_info_0": {"username": user, "userid": user, "passwd": password},
        }
        if tls:
            check(rig.tls_port, "linphonec over TLS needs the provider on TLS (rig.tls before rig.start())")
            proxy = f"<sip:{rig.tls_name}:{rig.tls_port};transport=tls>"
            # -2: TLS on, bound to no port (connections out only)
            config["sip"].update(sip_port=0, sip_tls_port=-2, root_ca=str(ca or Path(rig.tls).parent / "ca.pem"),
                                 verify_server_certs=1, verify_server_cn=1)
            # reg_route: calls go through the provider too, not to the
            # callee's domain directly
            config["proxy_0"].update(reg_proxy=proxy, reg_route=proxy, reg_identity=f"sip:{user}@{rig.tls_name}")
        if srtp:
            config["sip"].update(media_encryption="srtp", media_encryption_mandatory=1)
        for section, values in (settings or {}).items():
            config.setdefault(section, {}).update(values)
        (self.dir / "linphonerc").write_text("".join(
            f"[{section}]\n" + "".join(f"{k}={v}\n" for k, v in values.items())
            for section, values in config.items()))
        env = rig.pulse_env()
        env.update(HOME=str(self.dir / "home"), XDG_CONFIG_HOME=str(self.dir / "home/.config"),
                   XDG_DATA_HOME=str(self.dir / "home/.local/share"))
        self.out, self.log = self.dir / "linphonec.out", self.dir / "linphonec.log"
        with open(self.out, "wb") as out:
            # Commands come on stdin, kept open: at its end linphonec quits.
            argv = ["linphonec", "-c", str(self.dir / "linphonerc"), "-a"]
            if log:
                argv += ["-d", "6", "-l", str(self.dir / "linphonec.log")]
            self.started = time.time()
            self.proc = subprocess.Popen(
                in_netns(netns, argv) if netns else rig.far_side(argv),
                stdin=subprocess.PIPE, stdout=out, stderr=subprocess.STDOUT, env=env)
        rig.on_stop(self.stop)
        if wait:
            check(wait_until(lambda: rig.registered(user), 15),
                  f"linphonec {user} did not register: {tail(self.log, 5)}")

    def send(self, command):
        """One command line, as typed at its prompt ("call sip:bob@localhost",
        "terminate")."""
        check("\n" not in command and len(command) < 512, f"not one command line: {command!r}")
        self.proc.stdin.write(command.encode() + b"\n")
        self.proc.stdin.flush()

    def udp_ports(self):
        """Its UDP ports now: SIP on UDP, and RTP and RTCP during a call."""
        return udp_ports(self.proc.pid)

    def stop(self):
        if self.proc.poll() is not None:
            return
        try:
            self.proc.communicate(b"quit\n", timeout=5)  # unregisters on the way out
        except (subprocess.TimeoutExpired, OSError):
            pass
        stop_pid(self.proc)

    def dtmf(self):
        """The digits received so far, in order."""
        text = self.out.read_text(errors="replace")
        return "".join(line.split("Receiving tone ", 1)[1][:1]
                       for line in text.splitlines() if "Receiving tone " in line)


class Speaker:
    """Records the speaker sink's monitor (s16le mono, 8 kHz) into a file;
    or another sink's, named by device."""
    RATE = 8000

    def __init__(self, rig, device="speaker"):
        self.path = rig.work / f"{device}.raw"
        self.out = open(self.path, "wb")
        # --latency-msec: without it the server hands over ~2 s fragments.
        self.proc = subprocess.Popen(
            ["parecord", "--raw", f"--device={device}.monitor", "--format=s16le",
             f"--rate={self.RATE}", "--channels=1", "--latency-msec=20"],
            stdout=self.out, stderr=subprocess.DEVNULL, env=rig.pulse_env())
        rig.on_stop(lambda: (stop_pid(self.proc), self.out.close()))
        # An idle null sink renders in blocks of up to 2 s: wait until the
        # recording flows before anything worth hearing plays.
        check(wait_until(lambda: self.position() >= self.RATE // 10, 6),
              "the speaker's monitor could not be recorded (parecord delivered nothing)")

    def position(self):
        """Samples recorded so far."""
        return self.path.stat().st_size // 2

    def samples(self):
        data = array.array("h")
        data.frombytes(self.path.read_bytes()[: self.position() * 2])
        return data

    @staticmethod
    def levels(samples, start, end):
        """The loudness (rms) of each 100 ms from sample start to end."""
        w = Speaker.RATE // 10
        return [(sum(v * v for v in samples[i:i + w]) / w) ** 0.5
                for i in range(start, end - w + 1, w)]


class Tray:
    """trayer: a notification area (XEmbed) at the bottom right of the
    screen. What it holds is read from the X server's window tree."""

    def __init__(self, rig):
        self.proc = rig.spawn(["trayer", "--edge", "bottom", "--align", "right", "--widthtype", "request",
                               "--height", "32", "--SetDockType", "true", "--transparent", "false"],
                              rig.work / "trayer.log")
        check(wait_until(lambda: self._panel() is not None, 10),
              f"the notification area did not come up: {tail(rig.work / 'trayer.log')}")

    @staticmethod
    def _tree():
        out = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True).stdout
        rows = []
        for line in out.splitlines():
            m = re.match(r"^(\s*)(0x[0-9a-f]+) .*?(\d+)x(\d+)[+-]-?\d+[+-]-?\d+\s+\+(-?\d+)\+(-?\d+)\s*$", line)
            if m:
                indent, wid, w, h, x, y = m.groups()
                rows.append((len(indent), int(wid, 16), (int(x), int(y), int(w), int(h)), line))
        return rows

    def _panel(self):
        rows = self._tree()
        for i, (depth, _, _, line) in enumerate(rows):
            if '("panel" "trayer")' in line:
                inside = []
                for d, wid, extents, _ in rows[i + 1:]:
                    if d <= depth:
                        break
                    inside.append((wid, extents))
                return inside
        return None

    def icons(self, pid):
        """Where the program's icons sit in the area: (x, y, width, height)."""
        out = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)],
                             capture_output=True, text=True).stdout
        mine = {int(w) for w in out.split()}
        return [extents for wid, extents in (self._panel() or []) if wid in mine and extents[2] > 1]


class BusService:
    """A desktop service of the tests' own (a script beside this file) on
    the session bus: it logs what it hears, one JSON object a line, and
    says "ready" once it owns its name."""

    def __init__(self, rig, script, what):
        self.log = rig.work / f"{Path(script).stem}.log"
        out = rig.work / f"{Path(script).stem}.out"
        self.proc = rig.spawn(["/usr/bin/python3", "-B", str(HERE / script), str(self.log)], out)
        check(wait_until(lambda: any(e["event"] == "ready" for e in self.events()), 10),
              f"the {what} did not start: {tail(out)}")

    def events(self):
        try:
            return [json.loads(line) for line in self.log.read_text().splitlines() if line.strip()]
        except (OSError, ValueError):
            return []


class NotificationService(BusService):
    """tests/acceptance/notification_server.py on the session bus: it shows
    nothing, logs every notification and presses its buttons on demand."""

    def __init__(self, rig):
        super().__init__(rig, "notification_server.py", "notification service")

    def shown(self):
        return [e for e in self.events() if e["event"] == "notify"]

    def closed(self, nid):
        return any(e["event"] == "close" and e["id"] == nid for e in self.events())

    def press(self, nid, key):
        subprocess.run(["dbus-send", "--session", "--type=method_call", "--dest=org.freedesktop.Notifications",
                        "/org/freedesktop/Notifications", "org.softphone.TestNotifications.Press",
                        f"uint32:{nid}", f"string:{key}"], check=True, capture_output=True)


class StatusNotifierHost(BusService):
    """tests/acceptance/status_notifier_host.py on the session bus: the
    tray of a Wayland desktop (StatusNotifierItem). It must be there before
    the phone starts, as a desktop's is."""

    def __init__(self, rig):
        super().__init__(rig, "status_notifier_host.py", "tray host")

    def items(self):
        """The items on the bus now: (service, path), in order of coming."""
        shown = {}
        for e in self.events():
            if e["event"] == "register":
                shown[e["service"]] = e["path"]
            elif e["event"] == "gone":
                shown.pop(e["service"], None)
        return list(shown.items())

    @staticmethod
    def choose(item, caption):
        """What the host does when a person picks caption from the item's
        menu, which the item hands over by D-Bus (com.canonical.dbusmenu)."""
        import dbus
        bus = dbus.SessionBus()
        service, path = item
        menu_path = bus.get_object(service, path).Get("org.kde.StatusNotifierItem", "Menu",
                                                      dbus_interface="org.freedesktop.DBus.Properties")
        menu = dbus.Interface(bus.get_object(service, menu_path), "com.canonical.dbusmenu")
        _, (_, _, children) = menu.GetLayout(0, -1, dbus.Array([], signature="s"))
        labels = {int(c[0]): str(c[1].get("label", "")).replace("&", "") for c in children}
        check(caption in labels.values(), f"the tray's menu offers {sorted(labels.values())}, not {caption!r}")
        ident = next(i for i, label in labels.items() if label == caption)
        menu.Event(ident, "clicked", dbus.Int32(0, variant_level=1), dbus.UInt32(0))

    @staticmethod
    def activate(item):
        """A left click on the item, as the host passes it on."""
        service, path = item
        subprocess.run(["dbus-send", "--session", "--type=method_call", f"--dest={service}", path,
                        "org.kde.StatusNotifierItem.Activate", "int32:0", "int32:0"], check=True, capture_output=True)


class Microphone:
    """Plays a 1 kHz tone into the microphone for a third of every second
    (the "mic" source hears the mic_feed sink), until the test ends. Short
    tones keep the engine's echo canceller from learning them away."""

    def __init__(self, rig, seconds=60):
        rate = Speaker.RATE
        tone = array.array("h", (int(10000 * math.sin(2 * math.pi * 1000 * i / rate))
                                 for i in range(rate // 3)))
        second = tone + array.array("h", bytes(2 * (rate - len(tone))))
        path = rig.work / "microphone.raw"
        path.write_bytes(second.tobytes() * seconds)
        self.proc = rig.spawn(["pacat", "--playback", "--device=mic_feed", "--raw", "--format=s16le",
                               f"--rate={rate}", "--channels=1", str(path)],
                              rig.work / "pacat.out", rig.pulse_env())


class Phone:
    """The running program, read through AT-SPI and clicked with xdotool."""

    def __init__(self, proc, folder):
        self.proc, self.folder = proc, folder
        self._kept = {}
        self.app = a11y.find_app(proc.pid, timeout=20)
        check(proc.poll() is None, f"the program ended as it started (exit code {proc.poll()})")
        check(self.app, "the program never showed itself on the accessibility bus")

    def find(self, name=None, role=None, **kw):
        try:
            return a11y.find(self.app, name=name, role=role, **kw)
        except a11y.GLib.Error:
            return None

    def wait_node(self, name=None, role=None, timeout=10, **kw):
        return a11y.wait_for(lambda: self.find(name, role, **kw), timeout)

    def control(self, name, role=None, timeout=10):
        """A showing control, waited for; fails plainly when it is not there."""
        n = self.wait_node(name, role, timeout, where=lambda n: n.extents and n.extents[2] > 0)
        return check(n, f"no {role or 'control'} named {name!r} on screen")

    def click(self, name, role=None):
        click(self.control(name, role))

    def mapped(self, library):
        """True when a library whose file name holds library is in memory."""
        return library in Path(f"/proc/{self.proc.pid}/maps").read_text()

    def _read(self, key, **wanted):
        """A control read afresh; found once and kept, as a walk of the whole
        window costs a hundred times more than reading one object."""
        n = self._kept.get(key)
        try:
            n = n.refresh() if n else None
        except a11y.GLib.Error:
            n = None
        if not n or "showing" not in n.states:
            n = self._kept[key] = self.find(**wanted)
        return n

    def status(self):
        n = self._read("status", role="label", description="Status")
        return n.name if n else None

    def wait_status(self, wanted, timeout=15):
        """Waits until the display shows text starting with wanted."""
        return a11y.wait_for(lambda: (self.status() or "").startswith(wanted), timeout)

    def number(self):
        n = self._read("number", name="Number", role="text")
        return n.text if n else None

    def dial(self, number):
        """Types the number into the number box and presses the green key."""
        click(self.control("Number", role="text"))
        type_text(number)
        check(a11y.wait_for(lambda: self.number() == number, 5),
              f"typing {number} into the number box left it reading {self.number()!r}")
        self.click("Call")
        check(self.wait_status("CONNECTED", 15),
              f"the call to {number} did not connect: the display reads {self.status()!r}")


class Rig:
    def __init__(self, program=None):
        self.program = Path(program).resolve() if program else None
        self.work = Path(tempfile.mkdtemp(prefix="acc.", dir="/tmp"))
        self._stops = []
        self.phones = []
        # Where the provider listens (its domain too) and where the far ends
        # do, and the network namespace both run in (None: this one). The
        # lab (tests/lab) sets them before start().
        self.server = self.far = LOOPBACK
        self.far_netns = None
        # A folder with server.pem and server.key (see pki()): the provider
        # takes TLS too, on tls_port, known by tls_name.
        self.tls, self.tls_port, self.tls_name = None, None, "localhost"
        # The provider's Kamailio configuration template (a bench logs more).
        self.provider_template = TOP / "tests/fixtures/kamailio.cfg.in"
        self.reports = []  # more to print for a failed test, after the phone's side

    # -- life ----------------------------------------------------------
    def on_stop(self, fn):
        self._stops.append(fn)

    def spawn(self, argv, log, env=None):
        out = open(log, "ab")
        proc = subprocess.Popen(argv, stdout=out, stderr=subprocess.STDOUT,
                                stdin=subprocess.DEVNULL, env=env)
        out.close()
        self.on_stop(lambda: stop_pid(proc))
        return proc

    def close(self):
        """Stops everything, last started first. The servers' own stop
        scripts run side by side: each waits for its own processes."""
        pending = []
        while self._stops:
            try:
                pending.append(self._stops.pop()())
            except Exception as e:  # keep stopping the rest
                print(f"acceptance: stopping: {e}")
        for proc in pending:
            if isinstance(proc, subprocess.Popen):
                try:
                    proc.wait(30)
                except subprocess.TimeoutExpired:
                    print(f"acceptance: {proc.args[0]} did not stop its processes")
        if os.environ.get("ACCEPTANCE_KEEP") == "1":
            print(f"acceptance: work folder kept: {self.work}")
        else:
            shutil.rmtree(self.work, ignore_errors=True)

    def script(self, script, command, folder, *args, netns=None):
        """scripts/provider, scripts/pulse or a11y-session: COMMAND FOLDER, started now."""
        return subprocess.Popen(in_netns(netns, [str(script), command, str(folder), *args]),
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True)

    def far_side(self, argv):
        """argv as run where the provider and the far ends are."""
        return in_netns(self.far_netns, argv)

    def sipp_addresses(self):
        """SIPp's addresses: signalling, media and its control socket (which
        would otherwise listen on every interface)."""
        return ["-i", self.far, "-mi", self.far, "-ci", self.far]

    def start(self, wanted=None):
        """Brings up the desktop, the provider and the sound server, or
        only those named in wanted."""
        # The provider's script, with the accounts these tests add (a
        # 10-digit callee): it reads them beside its own folder.
        root = self.work / "provider-root"
        (root / "scripts").mkdir(parents=True)
        (root / "tests/fixtures").mkdir(parents=True)
        (root / "scripts/provider").symlink_to(TOP / "scripts/provider")
        (root / "tests/fixtures/kamailio.cfg.in").symlink_to(self.provider_template)
        (root / "tests/fixtures/users").write_text(
            (TOP / "tests/fixtures/users").read_text().rstrip("\n") + "\n" + (HERE / "users").read_text())

        servers = {"a11y-session": (HERE / "a11y-session", self.work / "session"),
                   "provider": (root / "scripts/provider", self.work / "provider"),
                   "pulse": (TOP / "scripts/pulse", self.work / "pulse")}
        servers = {k: v for k, v in servers.items() if k in (wanted or servers)}
        starting = {}
        for name, (script, folder) in servers.items():
            self.on_stop(lambda s=script, f=folder: self.script(s, "stop", f))
            if name == "provider":
                tls = ["--tls", str(self.tls)] if self.tls else []
                starting[name] = self.script(script, "start", folder, "--address", self.server, *tls,
                                             netns=self.far_netns)
            else:
                starting[name] = self.script(script, "start", folder)
        out = {name: proc.communicate(timeout=30) for name, proc in starting.items()}
        for name, proc in starting.items():
            check(proc.returncode == 0, f"{name} did not start: {out[name][1].strip()}")
        self.provider, self.provider_dir = root / "scripts/provider", self.work / "provider"
        if "provider" in starting:
            self.port = int(out["provider"][0].split()[-1])
            if self.tls:
                self.tls_port = int((self.provider_dir / "tls_port").read_text())
        self._pulse_env = read_env(self.work / "pulse/env") if "pulse" in starting else {}
        if "a11y-session" in starting:
            # This process reads the tree and drives xdotool in that session.
            os.environ.update(read_env(self.work / "session/env"))
            os.environ.pop("AT_SPI_BUS_ADDRESS", None)

    def pki(self):
        """A test certificate authority made now (once) by
        tests/fixtures/testpki: ca.pem, and good/, othername/ and unknownca/
        to hand to rig.tls."""
        folder = self.work / "pki"
        if not (folder / "ca.pem").exists():
            r = subprocess.run([str(TOP / "tests/fixtures/testpki"), str(folder)], capture_output=True, text=True)
            check(r.returncode == 0, f"the test certificates could not be made: {r.stderr.strip()}")
        return folder

    def pulse_env(self):
        env = dict(os.environ)
        env.update(self._pulse_env)
        return env

    # -- the provider's side of the wire -------------------------------
    def invites(self):
        """Request URIs of every INVITE that reached the provider."""
        log = (self.provider_dir / "kamailio.log").read_text(errors="replace")
        return [line.split("new INVITE for ", 1)[1].split(" from", 1)[0]
                for line in log.splitlines() if "new INVITE for " in line]

    def registered(self, user):
        return subprocess.run([str(self.provider), "contacts", str(self.provider_dir), user],
                              capture_output=True).returncode == 0

    def contacts(self, user):
        """The provider's bindings for user, one "URI expires=N" a line."""
        return subprocess.run([str(self.provider), "contacts", str(self.provider_dir), user],
                              capture_output=True, text=True).stdout.strip()

    def wait_invite(self, number, timeout=10):
        return wait_until(lambda: any(u.startswith(f"sip:{number}@") for u in self.invites()),
                          timeout)

    # -- far ends --------------------------------------------------------
    def callee(self, scenario=HERE / "uas_talk.xml", user=CALLEE, password=CALLEE_PASSWORD, calls=1):
        """A SIPp callee registered as user, listening before the call comes
        (calls: see Sipp)."""
        name, port = f"callee-{user}", free_port()
        (self.work / name).mkdir()
        with open(self.work / name / "register.out", "wb") as out:
            reg = subprocess.run(
                self.far_side(["sipp", f"{self.server}:{self.port}", "-sf", str(SIPP / "register_auth.xml"),
                               "-s", user, "-au", user, "-ap", password, "-key", "expires", "300",
                               "-p", str(port), "-m", "1", "-nostdin", *self.sipp_addresses()]),
                stdout=out, stderr=subprocess.STDOUT, timeout=15)
        check(reg.returncode == 0, f"the SIPp callee {user} could not register")
        peer = Sipp(self, name, scenario, [], port, calls)
        check(wait_until(lambda: udp_bound(port, self.far, peer.proc.pid), 5),
              f"the SIPp callee {user} did not start")
        return peer

    def caller(self, scenario, *extra):
        """A SIPp caller ringing the phone through the provider as alice."""
        return Sipp(self, f"caller-{len(self._stops)}", scenario,
                    [f"{self.server}:{self.port}", "-s", PHONE_USER, "-au", CALLER, "-ap",
                     CALLER_PASSWORD, "-key", "caller", CALLER, *extra])

    def linphonec(self, user, password, **kw):
        return Linphonec(self, user, password, **kw)

    def tray(self):
        return Tray(self)

    def notifications(self):
        return NotificationService(self)

    def status_notifier_host(self):
        return StatusNotifierHost(self)

    def speaker(self):
        return Speaker(self)

    def website(self):
        """The provider's web site, served here; the phone must be started
        with env={"QTWEBENGINE_CHROMIUM_FLAGS": site.browser_flags()}."""
        home = Path(self.pulse_env()["HOME"])  # the phone's, where its browser keeps its trust
        site = WebSite(self.work, os.environ["SOFTPHONE_WEB_SITE"], home)
        self.on_stop(site.stop)
        return site

    def microphone(self):
        return Microphone(self)

    # -- the program -----------------------------------------------------
    def phone(self, account=True, files=None, env=None, netns=None):
        """The built program, run from a copy in its own folder (with the
        feedback window's module) with a settings store and a data folder
        (data/Softphone) of its own. files: paths in that folder and their
        bytes ("PhoneBook.txt" lies beside the program, where earlier
        versions kept it). With an account (on the provider at
        rig.server) it is waited for until registered. env adds to its
        environment (None takes a variable away). netns: the network
        namespace it runs in (it reaches the desktop and the sound server
        through their socket files)."""
        folder = self.work / "phone"
        (folder / "config/Softphone").mkdir(parents=True)
        shutil.copy2(self.program, folder / "softphone")
        module = self.program.parent / "softphone-feedback.so"
        if module.exists():
            shutil.copy2(module, folder / module.name)
        for name, data in (files or {}).items():
            (folder / name).parent.mkdir(parents=True, exist_ok=True)
            (folder / name).write_bytes(data)
        if account:
            ini = folder / "config/Softphone/Softphone.ini"
            ini.write_text(f"[Password]\nParameters\\Validation={PHONE_PASSWORD}\n"
                           f"[Account]\nParameters\\Validation={PHONE_USER}\n"
                           f"[Sip]\nParameters\\Validation={self.server}:{self.port}\n"
                           f"[User]\nParameters\\Validation={PHONE_USER}\n")
            ini.chmod(0o600)
        run_env = self.pulse_env()
        run_env.update(XDG_CONFIG_HOME=str(folder / "config"), XDG_DATA_HOME=str(folder / "data"),
                       XDG_STATE_HOME=str(folder / "state"), SOFTPHONE_BIND_ADDRESS="127.0.0.1", QT_QPA_PLATFORM="xcb")
        if os.geteuid() == 0:
            run_env["QTWEBENGINE_DISABLE_SANDBOX"] = "1"  # Chromium's sandbox refuses root
        for name, value in (env or {}).items():  # None takes a variable away
            if value is None:
                run_env.pop(name, None)
            else:
                run_env[name] = value
        self.phone_log = folder / "phone.log"
        self.phone_env = run_env  # a second start of the same phone uses it
        proc = self.spawn(in_netns(netns, [str(folder / "softphone")]), self.phone_log, run_env)
        phone = Phone(proc, folder)
        self.phones.append(phone)
        if account:
            check(phone.wait_status(READY, 20),
                  f"the phone did not register: its display reads {phone.status()!r}")
        return phone

    def tool(self, program, env=None):
        """Another built program of the project, on the same desktop."""
        folder = self.work / Path(program).name
        folder.mkdir()
        run_env = dict(os.environ, QT_QPA_PLATFORM="xcb", **(env or {}))
        self.phone_log = folder / "out.log"
        window = Phone(self.spawn([str(program)], self.phone_log, run_env), folder)
        self.phones.append(window)
        return window

    def report(self):
        """What was on screen and in the phone's log, for a failed test."""
        for phone in self.phones:
            print("--- on screen:")
            try:
                for n in a11y.walk(phone.app):
                    if n.role not in ("image", "filler") or n.name:
                        print("   ", n)
            except Exception as e:
                print(f"    (could not read: {e})")
        if self.phones:
            print("--- terminal (last lines):")
            print(tail(self.phone_log))
            own = self.phone_env.get("XDG_STATE_HOME") if getattr(self, "phone_env", None) else None
            if own:
                print("--- the phone's own log (last lines):")
                print(tail(Path(own) / "Softphone/softphone.log", 20))
        for more in self.reports:
            more()


def run(test, program, limit, prepare=None):
    """Runs one test function with a fresh Rig; prints PASS or FAIL and
    returns the exit code. Everything started is stopped within limit
    seconds, even when the test hangs or is told to end. A test that needs
    fewer servers names them in its attribute `servers`. prepare(rig), when
    given, runs before the servers start (the lab's networks), and what it
    leaves to rig.on_stop is undone last."""
    def stop(signum, _):
        raise Failure(f"the test did not finish within {limit} s" if signum == signal.SIGALRM
                      else "the test was stopped")
    signal.signal(signal.SIGALRM, stop)
    signal.signal(signal.SIGTERM, stop)
    signal.alarm(limit)
    started = time.monotonic()
    rig = Rig(program)
    try:
        if prepare:
            prepare(rig)
        rig.start(getattr(test, "servers", None))
        test(rig)
        print(f"PASS: {test.__name__} ({time.monotonic() - started:.1f} s)")
        return 0
    except Exception as e:
        signal.alarm(0)
        if not isinstance(e, Failure):
            traceback.print_exc()
        rig.report()
        print(f"FAIL: {test.__name__}: {e}")
        return 1
    finally:
        signal.alarm(0)
        signal.signal(signal.SIGTERM, signal.SIG_IGN)  # the clean-up itself is not cut short
        rig.close()
