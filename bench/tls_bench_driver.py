"""Runs of bench/tls_bench.sh: what SIP over TLS (and SRTP) costs our phone
and linphonec against UDP (and RTP), on one rig (tests/acceptance/harness.py:
a desktop of its own, Kamailio on UDP and TLS, PulseAudio), all on 127.0.0.1.

    /usr/bin/python3 -B tls_bench_driver.py RUNS PROGRAM OUTDIR

1. Registration, cold starts, RUNS of each of ours and linphonec on UDP and
   on TLS (the order turning every run): the wall clock just before the
   program is started, the first packet it sends the provider (tcpdump's
   kernel timestamp of a UDP datagram to its UDP port or of a SYN to its
   TLS port), and the registrar's own clock when the first REGISTER came in
   and when it answered 200 (xlog with $TV(Sn), added to the provider's
   configuration here); VmRSS and VmHWM 1 s after that 200.
2. Call set-up, RUNS calls each of ours and linphonec per transport, to a
   linphonec callee that answers at once (PCMU only; on TLS with SRTP
   required). From placing the call (ours: the pointer on the green key,
   the clock read just before xdotool clicks; linphonec: just before its
   call command is written) to the first INVITE at the registrar, to the
   registrar relaying the callee's 200 OK, and to the caller showing it
   connected (ours: "CONNECTED" read from the display through AT-SPI;
   linphonec: "connected." on its output; both looked at every 5 ms once
   the registrar has relayed the 200 OK).

Writes OUTDIR/reg.tsv and OUTDIR/calls.tsv, one line a run, the first field
PROGRAM-TRANSPORT (ours-udp, linphonec-tls, ...).
"""
import os
import re
import sys
import time
from pathlib import Path

TOP = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(TOP / "tests/acceptance"))

import a11y  # noqa: E402
from harness import READY, Linphonec, Phone, check, run, stop_pid, tail, wait_until  # noqa: E402
from xinput import move, type_text, xdo  # noqa: E402

TRANSPORTS = ("udp", "tls")
OURS, OURS_PASSWORD = "1001", "1001pw"
PEER, PEER_PASSWORD = "1002", "1002pw"  # linphonec registering
# Callers of part 2 and the callees (numbers of as many digits, so that
# ours plays as many key tones on either transport).
CALLERS = {"udp": ("alice", "alice-secret"), "tls": ("bob", "bob-secret")}
CALLEES = {"udp": ("2000", "echo-2000"), "tls": ("1002", "1002pw")}
# As the TLS rig's far ends: PCMU first, nothing they would rather pick.
PCMU_ONLY = {"audio_codec_0": {"mime": "PCMU", "rate": 8000, "channels": 1, "enabled": 1},
             "audio_codec_1": {"mime": "opus", "rate": 48000, "channels": 2, "enabled": 0},
             "audio_codec_2": {"mime": "speex", "rate": 16000, "channels": 1, "enabled": 0},
             "audio_codec_3": {"mime": "speex", "rate": 8000, "channels": 1, "enabled": 0}}

# The registrar's clock at the moments that count; $TV(Sn) is its wall clock.
STAMP = ' user=$fU ci=$ci t=$TV(Sn)\\n");\n'
ADDITIONS = [
    ("request_route {\n",
     'request_route {\n\tif (is_method("REGISTER|INVITE") && !has_totag()) {\n'
     '\t\txlog("L_NOTICE", "bench: in $rm' + STAMP + '\t}\n'),
    ('\tif (!save("location")) {\n\t\tsl_reply_error();\n\t}\n',
     '\tif (!save("location")) {\n\t\tsl_reply_error();\n\t} else {\n'
     '\t\txlog("L_NOTICE", "bench: 200 REGISTER' + STAMP + '\t}\n'),
]
# Every reply the provider gets, before it relays it.
REPLY_ROUTE = ('\nonreply_route {\n\tif ($rs == 200 && $rm == "INVITE") {\n'
               '\t\txlog("L_NOTICE", "bench: 200 INVITE' + STAMP + '\t}\n}\n')
EVENT = re.compile(r"bench: (in REGISTER|in INVITE|200 REGISTER|200 INVITE) user=(\S*) ci=(\S+) t=(\d+\.\d+)")


def provider_template(folder):
    """The provider's configuration with the bench's xlog lines in it."""
    text = (TOP / "tests/fixtures/kamailio.cfg.in").read_text()
    for anchor, replacement in ADDITIONS:
        check(text.count(anchor) == 1, f"the provider's configuration has changed: no single {anchor!r}")
        text = text.replace(anchor, replacement)
    path = folder / "kamailio-bench.cfg.in"
    path.write_text(text + REPLY_ROUTE)
    return path


class Lines:
    """A growing text file read line by line as it grows; parse(line) gives
    an item or None."""

    def __init__(self, path, parse):
        self.path, self.parse, self.offset, self.rest, self.items = path, parse, 0, b"", []

    def poll(self):
        try:
            with open(self.path, "rb") as f:
                f.seek(self.offset)
                data = f.read()
        except OSError:
            return self.items
        self.offset += len(data)
        *lines, self.rest = (self.rest + data).split(b"\n")
        for line in lines:
            item = self.parse(line.decode(errors="replace"))
            if item:
                self.items.append(item)
        return self.items

    def first(self, wanted, timeout, interval=0.005):
        """The first item for which wanted(item) holds, waited for."""
        return wait_until(lambda: next((i for i in self.poll() if wanted(i)), None), timeout, interval)


def registrar_event(line):
    m = EVENT.search(line)
    return (m.group(1), m.group(2), m.group(3), float(m.group(4))) if m else None


def packet_time(line):
    m = re.match(r"(\d+\.\d+) IP ", line)
    return float(m.group(1)) if m else None


def memory(pid):
    """VmRSS and VmHWM in kB."""
    fields = dict(line.split(":", 1) for line in Path(f"/proc/{pid}/status").read_text().splitlines())
    return int(fields["VmRSS"].split()[0]), int(fields["VmHWM"].split()[0])


def forget(rig, user):
    """No binding of user left at the registrar: a cold start there too."""
    os.system(f"kamcmd -s unix:{rig.provider_dir}/kamailio_ctl ul.rm location s:{user} >/dev/null 2>&1")


def start_ours(rig, name, transport, program):
    """Our phone from a fresh folder (HOME, settings, data), registering
    1001 on the transport; (process, wall clock just before it started)."""
    folder = rig.work / name
    (folder / "config/Softphone").mkdir(parents=True)
    (folder / "home").mkdir()
    server = f"127.0.0.1:{rig.port}" if transport == "udp" else f"sips:{rig.tls_name}:{rig.tls_port}"
    ini = folder / "config/Softphone/Softphone.ini"
    ini.write_text(f"[Password]\nParameters\\Validation={OURS_PASSWORD}\n[Account]\nParameters\\Validation={OURS}\n"
                   f"[Sip]\nParameters\\Validation={server}\n[User]\nParameters\\Validation={OURS}\n")
    ini.chmod(0o600)
    env = rig.pulse_env()
    env.update(HOME=str(folder / "home"), XDG_CONFIG_HOME=str(folder / "config"), XDG_DATA_HOME=str(folder / "data"),
               XDG_STATE_HOME=str(folder / "state"), XDG_CACHE_HOME=str(folder / "home/.cache"),
               SOFTPHONE_BIND_ADDRESS="127.0.0.1", QT_QPA_PLATFORM="xcb",
               SSL_CERT_FILE=str(rig.pki() / "ca.pem"))  # on both transports: the same start
    if os.geteuid() == 0:
        env["QTWEBENGINE_DISABLE_SANDBOX"] = "1"
    started = time.time()
    return rig.spawn([program], folder / "phone.log", env), started


def register(rig, kind, transport, n, program, events, packets):
    """One cold start; its line for reg.tsv."""
    user = OURS if kind == "ours" else PEER
    forget(rig, user)
    name = f"reg-{kind}-{transport}-{n}"
    if kind == "ours":
        proc, t0 = start_ours(rig, name, transport, program)
        stop = lambda: stop_pid(proc, 10)  # noqa: E731
    else:
        lc = Linphonec(rig, PEER, PEER_PASSWORD, tls=transport == "tls", srtp=transport == "tls", wait=False,
                       folder=name, log=False)
        proc, t0, stop = lc.proc, lc.started, lc.stop
    try:
        ok = events.first(lambda e: e[0] == "200 REGISTER" and e[1] == user and e[3] >= t0, 30)
        check(ok, f"{kind} did not register over {transport} within 30 s: {tail(rig.work / name / 'phone.log', 5)}")
        check(proc.poll() is None, f"{kind} ended after registering over {transport}")
        first_in = events.first(lambda e: e[0] == "in REGISTER" and e[1] == user and e[3] >= t0, 1)
        first_packet = packets.first(lambda t: t >= t0, 2)
        check(first_packet, f"no packet from {kind} to the provider was captured")
        time.sleep(1)
        rss, hwm = memory(proc.pid)
    finally:
        stop()
    ms = lambda t: f"{(t - t0) * 1000:.1f}"  # noqa: E731
    return (f"{kind}-{transport}\t{n}\t{ms(first_packet)}\t{ms(first_in[3])}\t{ms(ok[3])}"
            f"\t{(ok[3] - first_in[3]) * 1000:.1f}\t{rss}\t{hwm}")


def callee_count(callee, text):
    return callee.out.read_text(errors="replace").count(text)


def encryption(callee, calls):
    """What the callee's log says the media of its calls-th call was
    encrypted with."""
    said = lambda: [line.rsplit(" ", 1)[-1] for line in callee.log.read_text(errors="replace").splitlines()  # noqa: E731
                    if "Negotiated media encryption is" in line]
    found = wait_until(lambda: len(said()) >= calls and said(), 3)
    return found[-1].removeprefix("LinphoneMediaEncryption") if found and len(found) >= calls else "?"


def place_ours(phone, number):
    """Types the number, rests the pointer on the green key and clicks it;
    the wall clock just before the click."""
    phone.click("Clear number")
    type_text(number)
    check(wait_until(lambda: phone.number() == number, 5), f"the number box reads {phone.number()!r}")
    move(phone.control("Call"))
    time.sleep(0.3)
    t0 = time.time()
    xdo("click", 1)
    return t0


def connected(text):
    return text.count(" connected.")


def call(rig, kind, transport, n, phone, callers, callees, events, calls):
    """One call and its hang-up; its line for calls.tsv."""
    callee = callees[transport]
    number = CALLEES[transport][0]
    ended = callee_count(callee, " ended")
    if kind == "ours":
        user = OURS
        t0 = place_ours(phone, number)
    else:
        user, caller = CALLERS[transport][0], callers[transport]
        target = f"sip:{number}@127.0.0.1:{rig.port}" if transport == "udp" else f"sip:{number}@{rig.tls_name}"
        before = connected(caller.out.read_text(errors="replace"))
        t0 = time.time()
        caller.send(f"call {target}")
    invite = events.first(lambda e: e[0] == "in INVITE" and e[1] == user and e[3] >= t0, 15)
    check(invite, f"the registrar saw no INVITE from {user}")
    answer = events.first(lambda e: e[0] == "200 INVITE" and e[2] == invite[2], 15)
    check(answer, f"the registrar relayed no 200 OK for {user}'s INVITE")
    # Only now is the display asked, often: each question is work for the
    # window's thread, which also runs the engine.
    if kind == "ours":
        check(a11y.wait_for(lambda: (phone.status() or "").startswith("CONNECTED"), 15, 0.005),
              f"our call did not connect: the display reads {phone.status()!r}")
    else:
        check(wait_until(lambda: connected(caller.out.read_text(errors="replace")) > before, 15, 0.005),
              f"linphonec's call did not connect: {tail(caller.out, 4)}")
    shown = time.time()
    enc = encryption(callee, calls)
    check(enc == ("SRTP" if transport == "tls" else "None"), f"the {transport} call's media encryption was {enc}")
    if kind == "ours":
        phone.click("End call")
    else:
        callers[transport].send("terminate")
    check(wait_until(lambda: callee_count(callee, " ended") > ended, 10), f"the callee did not see {kind}'s call end")
    ms = lambda t: f"{(t - t0) * 1000:.1f}"  # noqa: E731
    return (f"{kind}-{transport}\t{n}\t{ms(invite[3])}\t{(answer[3] - invite[3]) * 1000:.1f}"
            f"\t{ms(answer[3])}\t{ms(shown)}\t{enc}")


def main():
    runs, program, out = int(sys.argv[1]), sys.argv[2], Path(sys.argv[3])

    def prepare(rig):
        rig.tls = rig.pki() / "good"
        rig.provider_template = provider_template(rig.work)

    def bench(rig):
        events = Lines(rig.provider_dir / "kamailio.log", registrar_event)
        capture = rig.work / "first-packets.txt"
        rig.spawn(["tcpdump", "-i", "lo", "-n", "-tt", "-l", "-q", "--immediate-mode",
                   f"dst host 127.0.0.1 and (udp dst port {rig.port} or (tcp dst port {rig.tls_port}"
                   " and tcp[tcpflags] & (tcp-syn|tcp-ack) == tcp-syn))"], capture)
        check(wait_until(lambda: "listening on" in capture.read_text(errors="replace"), 5), "tcpdump did not start")
        packets = Lines(capture, packet_time)

        kinds = [(k, t) for t in TRANSPORTS for k in ("ours", "linphonec")]
        for n in range(1, runs + 1):
            for kind, transport in kinds[(n - 1) % 4:] + kinds[:(n - 1) % 4]:  # each goes first in turn
                line = register(rig, kind, transport, n, program, events, packets)
                print("reg", line, flush=True)
                with open(out / "reg.tsv", "a") as f:
                    f.write(line + "\n")
                time.sleep(0.5)

        callees = {t: Linphonec(rig, *CALLEES[t], tls=t == "tls", srtp=t == "tls", settings=PCMU_ONLY,
                                folder=f"callee-{t}") for t in TRANSPORTS}
        callers = {t: Linphonec(rig, *CALLERS[t], tls=t == "tls", srtp=t == "tls", folder=f"caller-{t}", log=False)
                   for t in TRANSPORTS}
        calls = {t: 0 for t in TRANSPORTS}
        for n in range(1, runs + 1):
            for i, transport in enumerate(TRANSPORTS if n % 2 else TRANSPORTS[::-1]):
                forget(rig, OURS)
                proc, _ = start_ours(rig, f"call-ours-{transport}-{n}", transport, program)
                phone = Phone(proc, rig.work / f"call-ours-{transport}-{n}")
                check(phone.wait_status(READY, 20), f"ours did not register over {transport}: {phone.status()!r}")
                time.sleep(1)
                for kind in ("ours", "linphonec") if (n + i) % 2 else ("linphonec", "ours"):
                    calls[transport] += 1
                    line = call(rig, kind, transport, n, phone, callers, callees, events, calls[transport])
                    print("call", line, flush=True)
                    with open(out / "calls.tsv", "a") as f:
                        f.write(line + "\n")
                    time.sleep(1)
                stop_pid(proc, 10)

    bench.__name__ = "tls_bench"
    sys.exit(run(bench, program, 180 + runs * 150, prepare))


if __name__ == "__main__":
    main()
