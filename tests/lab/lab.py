"""A home network in network namespaces of one test's own, built before the
test's servers start and removed after it, pass or fail:

    lan  the phone's home network: the phone at 10.77.1.10/24 on eth0, its
         default route through the router at 10.77.1.1
    rtr  the home router: "lan" 10.77.1.1/24, "wan" 198.51.100.1/24; it
         forwards, and masquerades what leaves on "wan", keeping the
         phone's port (nat="keep") or picking another ("remap"), or routes
         without NAT (None); its UDP mappings are forgotten after 30 s of
         silence, as home routers do
    wan  the internet: the provider at 198.51.100.10 (Kamailio, STUN on
         3478 when started), the far ends at 198.51.100.20. It has no route
         to 10.77.1.0/24 (but without NAT): what is sent to the phone's own
         address is lost there, as it would be on the internet.

    lab = Lab(rig, nat="remap"); lab.up()    # then rig.start(): the
    phone = rig.phone(netns=lab.lan, ...)     # provider runs in "wan"

The names carry this process's id; everything started inside is stopped by
PID and the namespaces are deleted by rig.close(). What went over the wire
is read from the router: nftables counters, its connection tracking table
(conntrack) and a capture of its "wan" side (tcpdump).
"""
import inspect
import json
import os
import re
import shutil
import socket
import struct
import subprocess
import time

from harness import Failure, check, tail, wait_until

PHONE, ROUTER_LAN = "10.77.1.10", "10.77.1.1"
ROUTER_WAN, SERVER, FAR = "198.51.100.1", "198.51.100.10", "198.51.100.20"
STUN_PORT = 3478
UDP_TIMEOUT = 30  # the router's, for a mapping with or without answers
NAT_MODES = {"keep": "masquerade", "remap": "masquerade random", None: None}
NAME = re.compile(r"^sp(\d+)(lan|rtr|wan)$")


def sh(*argv, ok=True, **kw):
    """A command's result; a failing one fails the test when ok is True."""
    r = subprocess.run(argv, capture_output=True, text=True, **kw)
    if ok and r.returncode != 0:
        raise Failure(f"{' '.join(argv)} failed: {r.stderr.strip() or r.stdout.strip()}")
    return r


def alive(pid):
    try:
        os.kill(pid, 0)
        return True
    except ProcessLookupError:
        return False
    except PermissionError:
        return True


def netns_pids(name):
    r = sh("ip", "netns", "pids", name, ok=False)
    return [int(p) for p in r.stdout.split()] if r.returncode == 0 else []


def remove_netns(name, grace=3.0):
    """Ends what still runs in namespace name (by PID: TERM, then KILL)
    and deletes it, with the links in it."""
    deadline = time.monotonic() + grace  # what is stopping on its own
    while netns_pids(name) and time.monotonic() < deadline:
        time.sleep(0.1)
    for signum in (15, 9):
        for pid in netns_pids(name):
            try:
                os.kill(pid, signum)
            except ProcessLookupError:
                pass
        if wait_until(lambda: not netns_pids(name), 3):
            break
    sh("ip", "netns", "del", name, ok=False)


def leftovers():
    """Namespaces of earlier lab runs whose process is gone (a run killed
    before it could clean up)."""
    names = [line.split()[0] for line in sh("ip", "netns", "list").stdout.splitlines() if line.strip()]
    return [n for n in names if NAME.match(n) and not alive(int(NAME.match(n).group(1)))]


def available():
    """Why the lab cannot be built here, or None when it can."""
    if os.geteuid() != 0:
        return "network namespaces need root"
    probe = f"sp{os.getpid()}probe"
    r = sh("ip", "netns", "add", probe, ok=False)
    if r.returncode != 0:
        return f"ip netns is not available: {r.stderr.strip()}"
    sh("ip", "netns", "del", probe, ok=False)
    return None


def clock(t):
    """A time as hh:mm:ss.mmm (UTC)."""
    return time.strftime("%H:%M:%S", time.gmtime(t)) + f"{t % 1:.3f}"[1:]


def audio_address(sdp):
    """The address an SDP (as text) asks audio to be sent to: the c= line
    of its m=audio section, else the session's; "-" without either."""
    session, media, in_audio = None, None, False
    for line in sdp.splitlines():
        if line.startswith("m="):
            in_audio = line.startswith("m=audio")
        elif line.startswith("c=") and line.split():
            if in_audio and media is None:
                media = line.split()[-1]
            elif not in_audio and session is None:
                session = line.split()[-1]
    return media or session or "-"


def stun_mapped(address, port, source=None, timeout=1.0):
    """A STUN binding request (RFC 5389) to address:port; the mapped
    address and port the server saw, or None without an answer."""
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        if source:
            s.bind((source, 0))
        s.settimeout(timeout)
        tid = os.urandom(12)
        s.sendto(struct.pack("!HHI12s", 1, 0, 0x2112A442, tid), (address, port))
        try:
            data = s.recv(2048)
        except OSError:
            return None
    if len(data) < 20 or data[8:20] != tid:
        return None
    at = 20
    while at + 4 <= len(data):
        kind, length = struct.unpack("!HH", data[at:at + 4])
        value = data[at + 4:at + 4 + length]
        if kind == 0x0020 and len(value) >= 8:  # XOR-MAPPED-ADDRESS
            port_ = struct.unpack("!H", value[2:4])[0] ^ 0x2112
            addr = bytes(a ^ b for a, b in zip(value[4:8], struct.pack("!I", 0x2112A442)))
            return socket.inet_ntoa(addr), port_
        at += 4 + (length + 3) // 4 * 4
    return None


class Lab:
    def __init__(self, rig, nat="keep"):
        check(nat in NAT_MODES, f"no NAT mode {nat!r}")
        self.rig, self.nat = rig, nat
        tag = f"sp{os.getpid()}"
        self.lan, self.rtr, self.wan = f"{tag}lan", f"{tag}rtr", f"{tag}wan"
        self.dir = rig.work / "lab"
        self.capture = self.dir / "wan.txt"
        self.public = ROUTER_WAN if nat else PHONE  # the phone's address as the provider sees it

    # -- building and removing -----------------------------------------
    def up(self):
        """Builds the three namespaces and their links, the router's rules
        and a capture on its wan side; the rig's provider and far ends will
        run in "wan"."""
        for tool in ("nft", "conntrack", "tcpdump", "turnserver"):
            check(shutil.which(tool), f"{tool} is not installed (run scripts/setup)")
        for name in leftovers():
            remove_netns(name, grace=0)
        self.dir.mkdir()
        self.rig.on_stop(self.down)  # first in, so undone after all that runs inside
        for ns in (self.lan, self.rtr, self.wan):
            sh("ip", "netns", "add", ns)
            sh("ip", "-n", ns, "link", "set", "lo", "up")
        sh("ip", "-n", self.lan, "link", "add", "eth0", "type", "veth", "peer", "name", "lan", "netns", self.rtr)
        sh("ip", "-n", self.wan, "link", "add", "eth0", "type", "veth", "peer", "name", "wan", "netns", self.rtr)
        for ns, dev, addresses in ((self.lan, "eth0", [f"{PHONE}/24"]),
                                   (self.rtr, "lan", [f"{ROUTER_LAN}/24"]),
                                   (self.rtr, "wan", [f"{ROUTER_WAN}/24"]),
                                   (self.wan, "eth0", [f"{SERVER}/24", f"{FAR}/24"])):
            for a in addresses:
                sh("ip", "-n", ns, "addr", "add", a, "dev", dev)
            sh("ip", "-n", ns, "link", "set", dev, "up")
        sh("ip", "-n", self.lan, "route", "add", "default", "via", ROUTER_LAN)
        if self.nat is None:  # plain routing: the internet knows the way back
            sh("ip", "-n", self.wan, "route", "add", "10.77.1.0/24", "via", ROUTER_WAN)
        self.exec(self.rtr, "sysctl", "-qw", "net.ipv4.ip_forward=1",
                  f"net.netfilter.nf_conntrack_udp_timeout={UDP_TIMEOUT}",
                  f"net.netfilter.nf_conntrack_udp_timeout_stream={UDP_TIMEOUT}")
        self.nft(self.ruleset())
        self.rig.spawn(
            self.inside(self.rtr, ["tcpdump", "-i", "wan", "-n", "-tt", "-l", "-A", "-s", "0", "--immediate-mode",
                                   f"udp and not host {FAR}"]),
            self.capture)
        check(wait_until(lambda: "listening on" in tail(self.capture, 5), 5),
              f"tcpdump did not start in the router: {tail(self.capture)}")
        self.rig.server, self.rig.far, self.rig.far_netns = SERVER, FAR, self.wan

    def down(self):
        for ns in (self.lan, self.wan, self.rtr):
            remove_netns(ns)

    def ruleset(self):
        """The router's rules: counters of RTP (version 2, not RTCP's
        packet types) between the phone and the far ends each way, of
        the far ends' UDP that found no mapping, a chain for blocking (and
        its counter), and the NAT. What comes in from outside for the router
        itself is dropped unanswered, as home routers do: its connection
        is never confirmed, so it cannot take the port an outgoing mapping
        would keep."""
        rtp = "@th,64,2 2 @th,72,8 != 200-207"
        nat = NAT_MODES[self.nat]
        return f"""
table ip lab {{
    counter rtp_out {{ }}
    counter rtp_in {{ }}
    counter unmapped_in {{ }}
    counter blocked {{ }}
    chain block {{ }}
    chain forward {{
        type filter hook forward priority filter; policy accept;
        jump block
        ip saddr {PHONE} ip daddr {FAR} meta l4proto udp {rtp} counter name rtp_out
        ip saddr {FAR} ip daddr {PHONE} meta l4proto udp {rtp} counter name rtp_in
    }}
    chain input {{
        type filter hook input priority filter; policy accept;
        iifname "wan" ip saddr {FAR} meta l4proto udp counter name unmapped_in
        iifname "wan" drop
    }}
    chain postrouting {{
        type nat hook postrouting priority srcnat; policy accept;
        {f'oifname "wan" {nat}' if nat else ''}
    }}
}}
"""

    # -- running things inside -----------------------------------------
    @staticmethod
    def inside(ns, argv):
        return ["ip", "netns", "exec", ns, *argv]

    def exec(self, ns, *argv, ok=True):
        return sh(*self.inside(ns, argv), ok=ok)

    def nft(self, script):
        return sh(*self.inside(self.rtr, ["nft", "-f", "-"]), input=script)

    def stun(self):
        """coturn as a STUN server only, on the provider's host port 3478,
        with no configuration file and its log and pid in the test's folder;
        waited for until it answers."""
        folder = self.dir / "stun"
        folder.mkdir()
        self.rig.spawn(
            self.inside(self.wan, ["turnserver", "-n", "--stun-only", "-L", SERVER, "-p", str(STUN_PORT),
                                   "--no-tls", "--no-dtls", "--no-cli",
                                   "--log-file", str(folder / "turn.log"), "--simple-log",
                                   "--pidfile", str(folder / "turn.pid"),
                                   "--userdb", str(folder / "turndb")]),
            folder / "turnserver.out")
        answered = wait_until(lambda: self.stun_probe(self.wan, FAR), 10, 0.2)
        check(answered, f"the STUN server did not answer on {SERVER}:{STUN_PORT}: {tail(folder / 'turnserver.out')}")

    def stun_probe(self, ns, source):
        """The address and port the STUN server sees for a request from
        source in namespace ns ("198.51.100.1:40000"), or None."""
        code = (f"import os, socket, struct\n{inspect.getsource(stun_mapped)}\n"
                f"print(stun_mapped({SERVER!r}, {STUN_PORT}, {source!r}))")
        out = self.exec(ns, "python3", "-c", code, ok=False).stdout.strip()
        m = re.match(r"\('([\d.]+)', (\d+)\)", out)
        return f"{m.group(1)}:{m.group(2)}" if m else None

    def stun_requests(self):
        """How many packets went from the phone's public side to the STUN
        server."""
        return sum(1 for _, src, dst, _, _ in self.packets()
                   if src.startswith(self.public + ".") and dst == f"{SERVER}.{STUN_PORT}")

    # -- the router --------------------------------------------------------
    def counter(self, name):
        out = self.exec(self.rtr, "nft", "-j", "list", "counter", "ip", "lab", name).stdout
        for item in json.loads(out)["nftables"]:
            if "counter" in item:
                return item["counter"]["packets"]
        raise Failure(f"no counter {name} in the router")

    def conntrack(self):
        """The router's UDP connection tracking table, as conntrack -L
        prints it."""
        return self.exec(self.rtr, "conntrack", "-L", "-p", "udp", ok=False).stdout

    def mappings(self, dport=None):
        """The phone's UDP mappings: (phone's port, public port, far address,
        far port) for each, to dport only when given."""
        found = []
        for line in self.conntrack().splitlines():
            m = re.search(rf"src={re.escape(PHONE)} dst=(\S+) sport=(\d+) dport=(\d+) .*?"
                          r"src=\S+ dst=\S+ sport=\d+ dport=(\d+)", line)
            if m and (dport is None or int(m.group(3)) == dport):
                found.append((int(m.group(2)), int(m.group(4)), m.group(1), int(m.group(3))))
        return found

    def forget_mappings(self):
        self.exec(self.rtr, "conntrack", "-F", ok=False)  # exits 1 when the table was empty

    def block_phone(self):
        """Every packet from or to the phone is dropped at the router."""
        self.nft(f"add rule ip lab block ip saddr {PHONE} counter name blocked drop\n"
                 f"add rule ip lab block ip daddr {PHONE} counter name blocked drop\n")

    def unblock_phone(self):
        self.nft("flush chain ip lab block\n")

    # -- the phone's link ----------------------------------------------
    def link_down(self):
        """The phone's link goes down and loses its address, as when a
        cable is pulled or the wireless drops."""
        self.exec(self.lan, "ip", "link", "set", "eth0", "down")
        self.exec(self.lan, "ip", "addr", "flush", "dev", "eth0")

    def link_up(self):
        """The link, its address and its default route are back."""
        self.exec(self.lan, "ip", "link", "set", "eth0", "up")
        self.exec(self.lan, "ip", "addr", "add", f"{PHONE}/24", "dev", "eth0")
        self.exec(self.lan, "ip", "route", "replace", "default", "via", ROUTER_LAN)

    # -- what went over the wire --------------------------------------
    def packets(self):
        """Every packet captured on the router's wan side (but the far
        ends' media): (time, source, destination, length, payload as text).
        Source and destination read "198.51.100.1.40000"."""
        out, head, body = [], None, []
        for line in tail(self.capture, 10 ** 7).splitlines() + ["0.0 IP end > end: UDP, length 0"]:
            m = re.match(r"^(\d+\.\d+) IP (\S+) > (\S+): UDP, length (\d+)", line)
            if m:
                if head:
                    out.append((float(head.group(1)), head.group(2), head.group(3), int(head.group(4)),
                                "\n".join(body)))
                head, body = m, []
            elif head:
                body.append(line)
        return out

    def wire(self):
        """One line for each packet between the phone's public side and the
        provider: its time, its addresses and its SIP start line, or what
        else it is ("keep-alive", "STUN")."""
        lines = []
        for t, src, dst, length, text in self.packets():
            sip = re.search(r"(SIP/2\.0 \d{3}[^\n]*|[A-Z]+ sip:\S+ SIP/2\.0)", text)
            what = (sip.group(1) if sip else "keep-alive" if length <= 4
                    else "STUN" if f".{STUN_PORT}" in (src[-5:], dst[-5:]) else f"{length} bytes")
            lines.append(f"{clock(t)} {src} > {dst}: {what}")
        return lines

    def report(self):
        """The wire's side of a failed test."""
        print("--- the router's counters:")
        for name in ("rtp_out", "rtp_in", "unmapped_in", "blocked"):
            try:
                print(f"    {name} {self.counter(name)}")
            except Exception as e:  # the lab may be half built
                print(f"    {name}: {e}")
        print("--- the router's UDP mappings (conntrack -L):")
        print("\n".join("    " + line for line in self.conntrack().splitlines()) or "    (none)")
        print("--- on the router's wan side (last 30 packets):")
        print("\n".join("    " + line for line in self.wire()[-30:]) or "    (none)")
