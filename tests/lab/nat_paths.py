"""The built phone behind a home router (tests/lab/lab.py), driven through
its window as in tests/acceptance, one path per test:

    /usr/bin/python3 -B nat_paths.py TEST PATH/TO/softphone

The phone runs in the home network's namespace, bound to no address of its
own choosing, as on a desktop; the provider, its STUN server and the far
ends are on the other side of the router. Exit code 77: the lab cannot be
built here (not root, or no network namespaces).
"""
import re
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "acceptance"))

from harness import PHONE_USER, READY, check, read_text, run, wait_until  # noqa: E402
from lab import FAR, PHONE, UDP_TIMEOUT, Lab, available, clock  # noqa: E402

SKIPPED = 77
FAR_USER, FAR_PASSWORD = "1002", "1002pw"  # tests/fixtures/users
IDLE = 120  # four times the router's memory of a silent mapping


def say(text):
    print(f"lab: {text}", flush=True)


def lab_phone(rig):
    phone = rig.phone(netns=rig.lab.lan, env={"SOFTPHONE_BIND_ADDRESS": ""})
    say(f"registered through the router; the provider has {rig.contacts(PHONE_USER) or 'no contact'};"
        f" the router maps {mapping_text(rig)}")
    return phone


def mapping_text(rig):
    """The router's mappings of the phone's traffic to the provider."""
    found = rig.lab.mappings(rig.port)
    return ", ".join(f"{PHONE}:{a} to {rig.lab.public}:{b}" for a, b, _, _ in found) or "nothing"


def waited(phone, wanted, timeout):
    """Seconds until the display starts with wanted, or None."""
    start = time.monotonic()
    return time.monotonic() - start if phone.wait_status(wanted, timeout) else None


def rings(rig, phone, after):
    """A SIPp caller on the far side calls the phone's account; the window
    must show the call."""
    caller = rig.caller("uac_incoming.xml")
    answers = lambda: ", ".join(re.findall(r"^SIP/2.0 (\d{3})", caller.messages(), re.M)) or "no answer"
    check(phone.wait_status("Incoming", 15),
          f"{after} a call from outside did not ring: the display reads {phone.status()!r};"
          f" the provider has the phone at {rig.contacts(PHONE_USER) or 'no contact'};"
          f" the router maps {mapping_text(rig)}; the caller got"
          f" {answers()}")
    say(f"{after} a call from outside rang")
    phone.click("End call")
    caller.finished(10)


def idle_call_rings(rig):
    phone = lab_phone(rig)
    time.sleep(IDLE)
    rings(rig, phone, f"after {IDLE} s idle behind a router that forgets silent mappings after {UDP_TIMEOUT} s,")


def idle_call_rings_port_keeping(rig):
    idle_call_rings(rig)


def idle_call_rings_port_remapping(rig):
    idle_call_rings(rig)


idle_call_rings_port_keeping.nat = "keep"
idle_call_rings_port_remapping.nat = "remap"


def lost_mapping_not_registered_and_back(rig):
    """The router loses the phone's mapping and drops all its packets; the
    display says so within the registration's lifetime (200 s), and the
    phone registers again by itself once the way is open."""
    phone = lab_phone(rig)
    lab = rig.lab
    lab.block_phone()
    lab.forget_mappings()
    say(f"{clock(time.time())} the router drops everything of the phone's and forgets its mappings")
    took = waited(phone, "Not Registered", 200)
    check(took is not None, f"200 s after the router lost the phone's mapping and dropped its packets the"
                            f" display still reads {phone.status()!r}")
    say(f"'Not Registered' {took:.1f} s after the mapping was lost")
    lab.unblock_phone()
    say(f"{clock(time.time())} the router lets the phone's packets through again")
    took = waited(phone, READY, 60)
    check(took is not None, f"60 s after the router let the phone's packets through again the display reads"
                            f" {phone.status()!r}, not {READY!r}")
    say(f"'{READY}' {took:.1f} s after the way was open again; the provider has"
        f" {rig.contacts(PHONE_USER) or 'no contact'}")


lost_mapping_not_registered_and_back.nat = "keep"


def sent_sdp(lab, start):
    """The c= and m= lines of the first SDP the phone sent in a message
    beginning so, in their order: a c= after the m= line is the one that
    counts for the audio."""
    for _, src, _, _, text in lab.packets():
        if src.startswith(lab.public + ".") and "\nm=audio" in "\n" + text and start in text:
            return [line for line in text.splitlines() if line.startswith(("c=", "m=audio"))]
    return []


def audio_both_ways_far_end_sends_to_sdp(rig):
    """A call the phone makes to a far end that sends its audio to the
    address and port of the phone's SDP (linphonec without symmetric RTP),
    not back to where the phone's audio comes from; the provider's host
    answers STUN on 3478."""
    lab = rig.lab
    lab.stun()
    far = rig.linphonec(FAR_USER, FAR_PASSWORD, settings={"rtp": {"symmetric": 0}})
    phone = lab_phone(rig)
    phone.dial(FAR_USER)  # the number box and the green key
    sdp = wait_until(lambda: sent_sdp(lab, "INVITE sip:"), 3) or []
    say(f"the phone offered {' / '.join(sdp) or 'no SDP seen on the wire'};"
        f" {lab.stun_requests()} STUN requests went out from its side")
    audio_flows(rig, phone, far, "offered", sdp)


audio_both_ways_far_end_sends_to_sdp.nat = "keep"


def audio_both_ways_answered_call_far_end_sends_to_sdp(rig):
    """The same far end calls the phone, without ICE in its offer (as
    gateways do), and the phone's green key answers it."""
    lab = rig.lab
    lab.stun()
    far = rig.linphonec(FAR_USER, FAR_PASSWORD, settings={"rtp": {"symmetric": 0}})
    phone = lab_phone(rig)
    far.proc.stdin.write(f"call sip:{PHONE_USER}@{rig.server}:{rig.port}\n".encode())
    far.proc.stdin.flush()
    check(phone.wait_status("Incoming", 10), f"the far end's call did not ring: the display reads {phone.status()!r}")
    phone.click("Call")
    check(phone.wait_status("CONNECTED", 10),
          f"the green key did not answer the far end's call: the display reads {phone.status()!r}")
    sdp = wait_until(lambda: sent_sdp(lab, "SIP/2.0 200"), 3) or []
    say(f"the phone answered {' / '.join(sdp) or 'no SDP seen on the wire'}")
    audio_flows(rig, phone, far, "answered", sdp)


audio_both_ways_answered_call_far_end_sends_to_sdp.nat = "keep"


def audio_flows(rig, phone, far, said, sdp):
    """RTP through the router both ways over 5 s, then the call ends."""
    lab = rig.lab
    out0, in0, lost0 = lab.counter("rtp_out"), lab.counter("rtp_in"), lab.counter("unmapped_in")
    time.sleep(5)
    out, inn, lost = (lab.counter("rtp_out") - out0, lab.counter("rtp_in") - in0,
                      lab.counter("unmapped_in") - lost0)
    to_far = [f"{PHONE}:{a} to {lab.public}:{b} for {far_}:{port}" for a, b, far_, port in lab.mappings()
              if far_ == FAR]
    say(f"RTP through the router in 5 s: {out} out to the far end, {inn} in from it;"
        f" {lost} of the far end's packets found no mapping; the router maps {', '.join(to_far) or 'nothing'}")
    phone.click("End call")
    refused = sorted(set(re.findall(r"(?i)(?:send|sendto)[^\n]*?: ([^\n]*unreachable[^\n]*)",
                                    read_text(far.dir / "linphonec.log"))))
    check(out >= 100 and inn >= 100,
          f"audio did not flow both ways through the router: in 5 s {out} RTP packets went out to"
          f" the far end and {inn} came in ({lost} more reached the router's public side with no"
          f" mapping); the phone {said} {' / '.join(sdp) or 'nothing seen'}"
          + (f"; the far end's sending failed: {'; '.join(refused[:3])}" if refused else ""))




def link_down_and_up(rig):
    """The phone's own link goes down (with its address and routes) and
    comes back; the display follows and a call rings afterwards."""
    phone = lab_phone(rig)
    lab = rig.lab
    lab.link_down()
    say(f"{clock(time.time())} the phone's link is down")
    took = waited(phone, "Not Registered", 10)
    check(took is not None, f"10 s after the phone's link went down the display still reads {phone.status()!r}")
    say(f"'Not Registered' {took:.1f} s after the link went down")
    time.sleep(5)
    lab.link_up()
    say(f"{clock(time.time())} the phone's link, address and default route are back")
    took = waited(phone, READY, 10)
    check(took is not None, f"10 s after the phone's link came back the display reads {phone.status()!r},"
                            f" not {READY!r}")
    say(f"'{READY}' {took:.1f} s after the link was back")
    rings(rig, phone, "after the link came back")


link_down_and_up.nat = "keep"


TESTS = {f.__name__: f for f in (
    idle_call_rings_port_keeping, idle_call_rings_port_remapping, lost_mapping_not_registered_and_back,
    audio_both_ways_far_end_sends_to_sdp, audio_both_ways_answered_call_far_end_sends_to_sdp, link_down_and_up)}

if __name__ == "__main__":
    if len(sys.argv) not in (3, 4) or sys.argv[1] not in TESTS:
        sys.exit(f"usage: nat_paths.py {{{','.join(TESTS)}}} PATH/TO/softphone [LIMIT-SECONDS]")
    why = available()
    if why:
        print(f"SKIP: {sys.argv[1]}: {why}")
        sys.exit(SKIPPED)
    test = TESTS[sys.argv[1]]

    def prepare(rig):
        rig.lab = Lab(rig, test.nat)
        rig.reports.append(rig.lab.report)
        rig.lab.up()

    sys.exit(run(test, sys.argv[2], int(sys.argv[3]) if len(sys.argv) == 4 else 280, prepare))
