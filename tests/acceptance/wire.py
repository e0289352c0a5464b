"""What crossed the loopback during a test: tcpdump writes every IPv4 UDP
and TCP packet on "lo" into the rig's folder, read back here without any
packet library (the pcap format is a 24-byte header and records).

    cap = Capture(rig)                    # needs root
    ...                                   # the call
    check(not cap.clear_sip(udp={rig.port}, tcp={rig.tls_port}), "SIP went in clear")
    media = cap.rtp(far.udp_ports() | {phone_rtp_port})
    check(all(looks_encrypted(p.payload) for p in media), "clear RTP")

The loopback is everyone's: other tests on this host may be on it too, so
ask about the ports of the test's own programs.
"""
import re
import shutil
import struct
from collections import namedtuple

from harness import check, tail, wait_until

# proto "udp" or "tcp"; flags: TCP flags (0 for UDP); time in seconds
Packet = namedtuple("Packet", "time proto src sport dst dport flags payload")
# payload: after the fixed header, CSRCs and any extension (SRTP: the
# encrypted payload and its authentication tag)
Rtp = namedtuple("Rtp", "time src sport dst dport pt marker seq ts ssrc payload")

MAX_RECORD = 262144  # tcpdump's largest snapshot length
PCAP_MAGIC = {b"\xd4\xc3\xb2\xa1": ("<", 1e-6), b"\xa1\xb2\xc3\xd4": (">", 1e-6),
              b"\x4d\x3c\xb2\xa1": ("<", 1e-9), b"\xa1\xb2\x3c\x4d": (">", 1e-9)}
# A request line or a status line at the start of the payload or of a line
# in it (several messages may share a TCP segment).
SIP_START = re.compile(rb"(?:^|\r?\n)(?:[A-Z]{3,20} [!-~]{1,1024} SIP/2\.0\r?\n|SIP/2\.0 [1-6][0-9][0-9] )")
RTP_PT = set(range(0, 35)) | set(range(96, 128))  # static audio/video and dynamic types
SRTP_TAG = 10  # AES_CM_128_HMAC_SHA1_80's authentication tag


def ip_packet(linktype, frame):
    """The IPv4 packet inside a link-layer frame, or None."""
    if linktype == 1:  # Ethernet (what Linux gives for lo)
        if len(frame) < 14:
            return None
        ethertype, at = struct.unpack("!H", frame[12:14])[0], 14
        if ethertype == 0x8100 and len(frame) >= 18:  # one VLAN tag
            ethertype, at = struct.unpack("!H", frame[16:18])[0], 18
        return frame[at:] if ethertype == 0x0800 else None
    if linktype == 113:  # Linux cooked capture ("any")
        return frame[16:] if len(frame) >= 16 and frame[14:16] == b"\x08\x00" else None
    if linktype == 276:  # Linux cooked capture v2
        return frame[20:] if len(frame) >= 20 and frame[0:2] == b"\x08\x00" else None
    if linktype == 0:  # BSD loopback: the address family in host order
        return frame[4:] if len(frame) >= 4 and frame[:4] in (b"\x02\x00\x00\x00", b"\x00\x00\x00\x02") else None
    if linktype in (12, 101):  # raw IP
        return frame
    return None


def parse_ipv4(time, data):
    """A Packet from an IPv4 packet carrying UDP or TCP, or None. A fragment
    after the first one carries no ports and is left out."""
    if len(data) < 20 or data[0] >> 4 != 4:
        return None
    ihl = (data[0] & 0x0F) * 4
    total = struct.unpack("!H", data[2:4])[0]
    if ihl < 20 or total < ihl or len(data) < ihl:
        return None
    if struct.unpack("!H", data[6:8])[0] & 0x1FFF:
        return None
    data = data[:total]  # the frame may be padded
    proto, src, dst = data[9], ".".join(map(str, data[12:16])), ".".join(map(str, data[16:20]))
    body = data[ihl:]
    if proto == 17 and len(body) >= 8:
        sport, dport, length = struct.unpack("!HHH", body[:6])
        return Packet(time, "udp", src, sport, dst, dport, 0, body[8:max(8, length)])
    if proto == 6 and len(body) >= 20:
        sport, dport = struct.unpack("!HH", body[:4])
        offset = (body[12] >> 4) * 4
        if offset < 20 or offset > len(body):
            return None
        return Packet(time, "tcp", src, sport, dst, dport, body[13], body[offset:])
    return None


def pcap_header(data):
    """(byte order, time unit, link type) of a pcap file, or None."""
    if len(data) < 24 or data[:4] not in PCAP_MAGIC:
        return None
    order, unit = PCAP_MAGIC[data[:4]]
    return order, unit, struct.unpack(order + "I", data[20:24])[0] & 0x0FFFFFFF


def read_records(header, data, at):
    """The UDP and TCP packets of the records in data from offset at on,
    and the offset after the last whole one (a file still being written
    may end in part of one)."""
    order, unit, linktype = header
    packets = []
    while at + 16 <= len(data):
        seconds, fraction, caught, _ = struct.unpack(order + "IIII", data[at:at + 16])
        if caught > MAX_RECORD:
            raise ValueError(f"pcap record of {caught} bytes")
        if at + 16 + caught > len(data):
            break
        ip = ip_packet(linktype, data[at + 16:at + 16 + caught])
        packet = parse_ipv4(seconds + fraction * unit, ip) if ip is not None else None
        if packet:
            packets.append(packet)
        at += 16 + caught
    return packets, at


def read_pcap(data):
    """The UDP and TCP packets of a pcap file's bytes, in order."""
    header = pcap_header(data)
    return read_records(header, data, 24)[0] if header else []


def parse_rtp(packet):
    """An Rtp from a UDP Packet that looks like RTP version 2 (not RTCP, not
    SIP, not STUN), or None."""
    p = packet.payload
    if packet.proto != "udp" or len(p) < 12 or p[0] >> 6 != 2 or (p[1] & 0x7F) not in RTP_PT:
        return None
    at = 12 + 4 * (p[0] & 0x0F)
    if p[0] & 0x10:  # header extension: 4 bytes, then length 32-bit words
        if len(p) < at + 4:
            return None
        at += 4 + 4 * struct.unpack("!H", p[at + 2:at + 4])[0]
    if at > len(p):
        return None
    seq, ts, ssrc = struct.unpack("!HII", p[2:12])
    return Rtp(packet.time, packet.src, packet.sport, packet.dst, packet.dport,
               p[1] & 0x7F, bool(p[1] & 0x80), seq, ts, ssrc, p[at:])


def looks_encrypted(payload):
    """True when bytes look like cipher text: nearly as many different
    values as random bytes have (about 256 * (1 - e^(-n/256)) for n of
    them). Clear G.711 silence or a tone has a few dozen at most."""
    n = len(payload)
    if n < 32:
        return False
    return len(set(payload)) >= 0.6 * 256 * (1 - (1 - 1 / 256) ** n)


class Capture:
    """tcpdump on the loopback into the rig's folder, from now until the rig
    stops (by PID). Needs root."""

    def __init__(self, rig, name="lo"):
        check(shutil.which("tcpdump"), "tcpdump is not installed (run scripts/setup)")
        self.path = rig.work / f"{name}.pcap"
        log = rig.work / f"{name}.tcpdump.log"
        # -U: each packet reaches the file at once, for reading while it runs;
        # -Z root: stay root, as the rig's folder is root's alone.
        self.proc = rig.spawn(["tcpdump", "-i", "lo", "-n", "-s", "0", "-U", "--immediate-mode", "-Z", "root",
                               "-w", str(self.path), "ip and (udp or tcp)"], log)
        check(wait_until(lambda: "listening on" in tail(log, 5) and self.path.exists(), 5),
              f"tcpdump did not start: {tail(log)}")
        self._header, self._read, self._packets = None, 0, []

    def packets(self):
        """Every UDP and TCP packet so far (read on from where the last
        call stopped)."""
        with open(self.path, "rb") as f:
            if self._header is None:
                self._header = pcap_header(f.read(24))
                if self._header is None:
                    return []
                self._read = 24
            f.seek(self._read)
            data = f.read()
        found, used = read_records(self._header, data, 0)
        self._packets += found
        self._read += used
        return list(self._packets)

    def clear_sip(self, udp=(), tcp=()):
        """Packets whose payload holds SIP in clear (a request line or a
        status line); given ports, only UDP packets from or to one of the
        udp ports and TCP ones from or to one of the tcp ports (a number
        can be one test's UDP port and another's TCP port at once)."""
        mine = {"udp": set(udp), "tcp": set(tcp)}
        return [p for p in self.packets() if p.payload and SIP_START.search(p.payload[:65536])
                and (not (udp or tcp) or {p.sport, p.dport} & mine.get(p.proto, set()))]

    def tcp(self, port):
        """TCP packets with payload from or to port."""
        return [p for p in self.packets() if p.proto == "tcp" and p.payload and port in (p.sport, p.dport)]

    def rtp(self, ports=None):
        """UDP packets that look like RTP; with ports, only those from one
        of them to another (ports of both ends of a call)."""
        found = []
        for p in self.packets():
            if ports and not (p.sport in ports and p.dport in ports):
                continue
            r = parse_rtp(p)
            if r:
                found.append(r)
        return found
