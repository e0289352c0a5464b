"""Runs of bench/nat_bench.sh: in the lab's home network (tests/lab/lab.py),
the time from the green key of our phone (clicked with xdotool) or
linphonec's `call` command to the first INVITE on the router's wan side,
under one network condition:

    stun     behind the port-keeping router, STUN answering on the
             provider's host port 3478
    nostun   behind the same router, nothing on 3478 (the host answers
             "port unreachable")
    nonat    the router routes without NAT, nothing on 3478

    /usr/bin/python3 -B nat_bench_driver.py CONDITION RUNS PROGRAM OUT.tsv

Appends one line per call to OUT.tsv: kind (ours|linphonec), condition,
run, milliseconds, the c= address of the INVITE's SDP and whether it
carried ICE candidates. Ours and linphonec take turns, the first of each
pair swapping every run. linphonec has the same STUN server in its
configuration (and ICE) in every condition; ours has no setting.
"""
import sys
import time
from pathlib import Path

TOP = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(TOP / "tests/acceptance"))
sys.path.insert(0, str(TOP / "tests/lab"))

from harness import CALLEE, check, run, wait_until  # noqa: E402
from lab import SERVER, STUN_PORT, Lab, audio_address  # noqa: E402
from xinput import move, type_text, xdo  # noqa: E402

CONDITIONS = {"stun": "keep", "nostun": "keep", "nonat": None}
LINPHONEC_USER, LINPHONEC_PASSWORD = "1002", "1002pw"


def invite_after(lab, t0, timeout=20):
    """The first INVITE from the home network seen on the router's wan side
    after wall-clock time t0: (its time, its SDP's c= address, ICE or not)."""
    def look():
        for t, src, _, _, text in lab.packets():
            if t >= t0 and src.startswith(lab.public + ".") and "INVITE sip:" in text:
                return t, audio_address(text), "a=candidate" in text
        return None
    return wait_until(look, timeout, 0.02)


def ended(callee, calls):
    """True once the far end has answered the BYE of calls calls."""
    return callee.messages().count("BYE sip:") >= calls


def call_ours(rig, lab, phone, callee, calls):
    """One call from the window: the number typed, the green key clicked
    (the clock starts just before), its INVITE, the red key."""
    phone.click("Clear number")
    type_text(CALLEE)
    check(wait_until(lambda: phone.number() == CALLEE, 5), f"the number box reads {phone.number()!r}")
    move(phone.control("Call"))
    time.sleep(0.3)
    t0 = time.time()
    xdo("click", 1)
    seen = invite_after(lab, t0)
    check(seen, f"no INVITE on the wire after the green key; the display reads {phone.status()!r}")
    check(phone.wait_status("CONNECTED", 15), f"the call did not connect: the display reads {phone.status()!r}")
    phone.click("End call")
    check(wait_until(lambda: ended(callee, calls), 10), "the far end did not see the call end")
    return seen[0] - t0, seen[1], seen[2]


def call_linphonec(rig, lab, lc, callee, calls):
    """One call by linphonec's call command (the clock starts just before
    it is written), its INVITE, its terminate command."""
    connected = lc.out.read_text(errors="replace").count(" connected.")
    t0 = time.time()
    lc.proc.stdin.write(f"call sip:{CALLEE}@{SERVER}:{rig.port}\n".encode())
    lc.proc.stdin.flush()
    seen = invite_after(lab, t0)
    check(seen, "no INVITE on the wire after linphonec's call command")
    check(wait_until(lambda: lc.out.read_text(errors="replace").count(" connected.") > connected, 15),
          f"linphonec's call did not connect: {lc.out.read_text(errors='replace')[-300:]}")
    lc.proc.stdin.write(b"terminate\n")
    lc.proc.stdin.flush()
    check(wait_until(lambda: ended(callee, calls), 10), "the far end did not see linphonec's call end")
    return seen[0] - t0, seen[1], seen[2]


def main():
    condition, runs, program, out = sys.argv[1], int(sys.argv[2]), sys.argv[3], Path(sys.argv[4])
    if condition not in CONDITIONS:
        sys.exit(f"nat_bench_driver: no condition {condition!r} ({', '.join(CONDITIONS)})")

    def prepare(rig):
        rig.lab = Lab(rig, CONDITIONS[condition])
        rig.reports.append(rig.lab.report)
        rig.lab.up()

    def bench(rig):
        lab = rig.lab
        if condition == "stun":
            lab.stun()
        phone = rig.phone(netns=lab.lan, env={"SOFTPHONE_BIND_ADDRESS": ""})
        lc = rig.linphonec(LINPHONEC_USER, LINPHONEC_PASSWORD, netns=lab.lan, address="",
                           settings={"net": {"stun_server": f"{SERVER}:{STUN_PORT}", "firewall_policy": "ice"}})
        callee = rig.callee(calls=2 * runs)
        calls = 0
        for n in range(1, runs + 1):
            order = ("ours", "linphonec") if n % 2 else ("linphonec", "ours")
            for kind in order:
                calls += 1
                took, c, ice = (call_ours(rig, lab, phone, callee, calls) if kind == "ours"
                                else call_linphonec(rig, lab, lc, callee, calls))
                line = f"{kind}\t{condition}\t{n}\t{took * 1000:.1f}\t{c}\t{'ice' if ice else '-'}"
                print(line, flush=True)
                with open(out, "a") as f:
                    f.write(line + "\n")
                time.sleep(1)

    bench.__name__ = f"nat_bench_{condition}"
    sys.exit(run(bench, program, 60 + runs * 60, prepare))


if __name__ == "__main__":
    main()
