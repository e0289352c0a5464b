"""The phone with a provider over TLS (scripts/provider start --tls, with a
test authority made by tests/fixtures/testpki and trusted through
SSL_CERT_FILE), one path per test, through the real window; what crossed
the loopback is read from a capture (wire.py), so these need root.

    /usr/bin/python3 -B tls_paths.py TEST PATH/TO/softphone
"""
import os
import random
import shutil
import socket
import subprocess
import sys
import time

import a11y
import wire
from harness import (CALLEE, HERE, PCMU_ONLY, PHONE_PASSWORD, PHONE_USER, READY, SIPP, Speaker, check,
                     run, udp_ports, wait_until)
from xinput import click, key, type_text

SKIPPED = 77
PCMU_FRAME = 160  # 20 ms at 8 kHz
FAR_END = "1002"


def trusting_test_authority(rig):
    return {"SSL_CERT_FILE": str(rig.pki() / "ca.pem")}


def stored(server):
    """A settings store holding the phone's account with server."""
    ini = (f"[Password]\nParameters\\Validation={PHONE_PASSWORD}\n[Account]\nParameters\\Validation={PHONE_USER}\n"
           f"[Sip]\nParameters\\Validation={server}\n[User]\nParameters\\Validation={PHONE_USER}\n")
    return {"config/Softphone/Softphone.ini": ini.encode()}


def phone_ports(phone):
    """The phone's UDP ports now (its SIP socket, and its audio's in a call)."""
    return udp_ports(phone.proc.pid)


def provider_saw_register(rig):
    log = (rig.provider_dir / "kamailio.log").read_text(errors="replace")
    return f"REGISTER {PHONE_USER} " in log


def login_over_tls_registers_nothing_in_clear(rig):
    cap = wire.Capture(rig)
    phone = rig.phone(account=False, env=trusting_test_authority(rig))

    def focused():
        n = phone.find(where=lambda n: "focused" in n.states and n.role not in ("filler", "dialog"))
        return n.name if n else None

    check(a11y.wait_for(lambda: focused() == "Sip IP/Domain", 10), "the login window has no keyboard on its server")
    # As a user coming from another phone would write it first.
    type_text("localhost;transport=tls")
    key("Tab", "Tab")  # past the caller-ID name
    type_text(PHONE_USER)
    key("Tab")
    type_text(PHONE_PASSWORD)
    key("Tab", "Tab")
    key("space")
    refusal = a11y.wait_for(lambda: phone.find(role="label", where=lambda n: "sips:provider.example" in n.name), 5)
    check(refusal, "LOGIN with 'localhost;transport=tls' showed no message saying what to type")
    click(phone.control("OK", role="push button"))
    check(a11y.wait_for(lambda: focused() == "Sip IP/Domain", 5),
          "after the message the keyboard is not back on the server")
    key("ctrl+a")
    type_text(f"sips:localhost:{rig.tls_port}")
    key("Tab", "Tab", "Tab", "Tab", "Tab")
    check(a11y.wait_for(lambda: focused() == "LOGIN", 5), f"the keyboard is on {focused()!r}, not on LOGIN")
    key("space")
    check(phone.wait_status(READY, 20),
          f"after LOGIN with sips: the phone did not register: its display reads {phone.status()!r}")
    check(rig.registered(PHONE_USER), "the provider holds no binding for the phone")
    ours = phone_ports(phone)
    clear = cap.clear_sip(udp=ours | {rig.port}, tcp={rig.tls_port})
    check(not clear, f"SIP crossed the loopback in clear: {[p.payload[:80] for p in clear[:1]]}")
    tls = cap.tcp(rig.tls_port)
    check(len(tls) >= 4, f"no TLS conversation with the provider's port {rig.tls_port}: {len(tls)} segments")
    udp_to_provider = [p for p in cap.packets() if p.proto == "udp" and p.dport == rig.port]
    check(not udp_to_provider, f"{len(udp_to_provider)} datagrams went to the provider's UDP port")
    # Over UDP, a request that claims the provider's address and port is a
    # stranger's all the same: the provider speaks over TLS only.
    answers = [spoofed_invite(port, rig.tls_port) for port in ours]
    check(any(a.startswith("SIP/2.0 403 ") for a in answers),
          f"an INVITE over UDP from the provider's address was not refused: {answers}")


def spoofed_invite(port, from_port):
    """An INVITE to the phone's UDP port from 127.0.0.1:from_port; the
    answer's status line, or "" when none comes in a second."""
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    try:
        s.bind(("127.0.0.1", from_port))
        s.settimeout(1)
        body = "v=0\r\no=x 1 1 IN IP4 127.0.0.1\r\ns=-\r\nc=IN IP4 127.0.0.1\r\nt=0 0\r\nm=audio 40000 RTP/AVP 0\r\n"
        msg = (f"INVITE sip:{PHONE_USER}@127.0.0.1:{port} SIP/2.0\r\n"
               f"Via: SIP/2.0/UDP 127.0.0.1:{from_port};branch=z9hG4bK{random.getrandbits(40):x};rport\r\n"
               f"Max-Forwards: 70\r\nFrom: <sip:mallory@localhost>;tag={random.getrandbits(32):x}\r\n"
               f"To: <sip:{PHONE_USER}@localhost>\r\nCall-ID: {random.getrandbits(64):x}@127.0.0.1\r\n"
               f"CSeq: 1 INVITE\r\nContact: <sip:mallory@127.0.0.1:{from_port}>\r\n"
               f"Content-Type: application/sdp\r\nContent-Length: {len(body)}\r\n\r\n{body}")
        s.sendto(msg.encode(), ("127.0.0.1", port))
        return s.recv(65535).decode(errors="replace").split("\r\n", 1)[0]
    except OSError:
        return ""
    finally:
        s.close()


def encrypted_call_audio_both_ways(rig):
    cap = wire.Capture(rig)
    # The far end's own speaker and microphone, apart from the phone's.
    pulse = rig.pulse_env()
    for module in (["module-null-sink", "sink_name=far_speaker", "sink_properties=device.description=FarSpeaker"],
                   ["module-null-sink", "sink_name=far_feed"],
                   ["module-remap-source", "source_name=far_mic", "master=far_feed.monitor",
                    "source_properties=device.description=FarMic"]):
        subprocess.run(["pactl", "load-module", *module], env=pulse, check=True, capture_output=True)
    # linphonec picks its devices by their descriptions.
    devices = {"sound": {"playback_dev_id": "PulseAudio Unknown: FarSpeaker",
                         "ringer_dev_id": "PulseAudio Unknown: FarSpeaker",
                         "capture_dev_id": "PulseAudio Unknown: FarMic"}}
    far = rig.linphonec(FAR_END, f"{FAR_END}pw", tls=True, srtp=True, settings={**PCMU_ONLY, **devices})
    far_hears = Speaker(rig, device="far_speaker")
    rig.microphone()  # the phone's: a 1 kHz tone a third of each second
    rig.spawn(["pacat", "--playback", "--device=far_feed", "--raw", "--format=s16le", "--rate=8000",
               "--channels=1", str(rig.work / "microphone.raw")], rig.work / "far-pacat.out", pulse)
    phone_hears = rig.speaker()

    phone = rig.phone(account=False, files=stored(f"sips:localhost:{rig.tls_port}"),
                      env=trusting_test_authority(rig))
    check(phone.wait_status(READY, 20), f"the phone did not register over TLS: its display reads {phone.status()!r}")
    phone.dial(FAR_END)
    check(a11y.wait_for(lambda: phone.find("Encrypted call"), 5),
          f"the display shows no padlock in the encrypted call: it reads {phone.status()!r}")
    start_phone, start_far = phone_hears.position(), far_hears.position()
    time.sleep(4)
    heard = max(Speaker.levels(phone_hears.samples(), start_phone, phone_hears.position()), default=0)
    check(heard > 300, f"the far end's tone does not reach the phone's speaker (loudest rms {heard:.0f})")
    heard = max(Speaker.levels(far_hears.samples(), start_far, far_hears.position()), default=0)
    check(heard > 300, f"the phone's microphone does not reach the far end (loudest rms {heard:.0f})")

    ours, theirs = phone_ports(phone), far.udp_ports()
    media = cap.rtp(ours | theirs)
    sent = [p for p in media if p.sport in ours]
    check(len(sent) > 100 and any(p.dport in theirs for p in sent),
          f"the phone sent {len(sent)} RTP packets to the far end in 4 s")
    check({p.pt for p in media} == {0}, f"payload types {sorted({p.pt for p in media})}, not PCMU alone")
    sizes = {len(p.payload) for p in media}
    check(sizes == {PCMU_FRAME + wire.SRTP_TAG},
          f"RTP payloads of {sorted(sizes)} bytes: not PCMU frames with an SRTP tag")
    clear = [p for p in media if not wire.looks_encrypted(p.payload[:PCMU_FRAME])]
    check(len(clear) <= len(media) // 50, f"{len(clear)} of {len(media)} RTP payloads read as clear PCMU")
    log = far.log.read_text(errors="replace")
    check("AES_CM_128_HMAC_SHA1_80" in log and "inline:" in log,
          "the far end's log shows no a=crypto line (AES_CM_128_HMAC_SHA1_80) in the offer")
    check("Negotiated media encryption is LinphoneMediaEncryptionSRTP" in log,
          "the far end did not settle on SRTP with the phone's offer and its answer")
    clear_sip = cap.clear_sip(udp=ours | {rig.port}, tcp={rig.tls_port})
    check(not clear_sip, f"SIP crossed the loopback in clear: {[p.payload[:80] for p in clear_sip[:1]]}")


def far_end_without_srtp_gets_no_audio(rig):
    cap = wire.Capture(rig)
    # One refuses the encrypted offer (488); the other answers it in clear,
    # which must not be taken either.
    refusing = rig.callee(HERE / "uas_no_srtp.xml", user="2000", password="echo-2000")
    clear = rig.callee(HERE / "uas_clear_answer.xml")
    # A busy far end is only busy.
    busy = rig.callee(SIPP / "uas_busy.xml", user=FAR_END, password=f"{FAR_END}pw")
    phone = rig.phone(account=False, files=stored(f"sips:localhost:{rig.tls_port}"),
                      env=trusting_test_authority(rig))
    check(phone.wait_status(READY, 20), f"the phone did not register over TLS: its display reads {phone.status()!r}")
    for number, said in (("2000", "Far end can't encrypt"), (CALLEE, "Far end can't encrypt"),
                         (FAR_END, "DISCONNECTED")):
        phone.click("Clear number")  # empties the box and puts the keyboard there
        check(a11y.wait_for(lambda: "focused" in phone.control("Number", role="text").states, 3),
              "after a click on C the number box does not have the keyboard")
        type_text(number)
        check(a11y.wait_for(lambda: phone.number() == number, 5), f"the number box reads {phone.number()!r}")
        phone.click("Call")
        check(phone.wait_status(said, 15),
              f"a call to {number} did not end with {said!r}: the display reads {phone.status()!r}")
        check(not phone.find("Encrypted call"), "the padlock shows after the call ended")
    ours = phone_ports(phone)
    sent = [p for p in cap.rtp() if p.sport in ours]
    check(not sent, f"the phone sent {len(sent)} RTP packets to far ends without SRTP")
    check(all(far.finished(10) is not None for far in (refusing, clear, busy)),
          "a far end's scenario did not end: the call was not ended")


def incoming_call_over_tls_is_encrypted(rig):
    far = rig.linphonec(FAR_END, f"{FAR_END}pw", tls=True, srtp=True, settings=PCMU_ONLY)
    phone = rig.phone(account=False, files=stored(f"sips:localhost:{rig.tls_port}"),
                      env=trusting_test_authority(rig))
    check(phone.wait_status(READY, 20), f"the phone did not register over TLS: its display reads {phone.status()!r}")
    # The provider reaches the phone through the connection the phone opened.
    far.send(f"call sip:{PHONE_USER}@{rig.tls_name}")
    check(phone.wait_status("Incoming", 10), f"a call over TLS did not ring: the display reads {phone.status()!r}")
    phone.click("Call")
    check(phone.wait_status("CONNECTED", 10), f"the call was not answered: the display reads {phone.status()!r}")
    check(a11y.wait_for(lambda: phone.find("Encrypted call"), 5), "the answered call shows no padlock")
    phone.click("End call")
    check(phone.wait_status("DISCONNECTED", 10), f"the call did not end: the display reads {phone.status()!r}")
    # An offer of clear audio, through the same provider, is refused
    # without a ring.
    caller = rig.caller(SIPP / "uac_incoming.xml", "-m", "1")
    check(caller.finished(15) is not None, "the clear caller's call did not end")
    answers = caller.messages()
    check("SIP/2.0 488 " in answers, f"a clear offer was not refused with 488: {answers[-300:]!r}")
    check(phone.status() == "DISCONNECTED", f"a clear offer changed the display to {phone.status()!r}")


def refused_certificate(rig, message):
    cap = wire.Capture(rig)
    phone = rig.phone(account=False, files=stored(f"sips:localhost:{rig.tls_port}"),
                      env=trusting_test_authority(rig))
    check(phone.wait_status(message, 20),
          f"the provider's certificate was taken, or not said of: the display reads {phone.status()!r}")
    time.sleep(1)
    check(not provider_saw_register(rig), "a REGISTER reached the provider")
    check(not rig.registered(PHONE_USER), "the provider holds a binding for the phone")
    clear = cap.clear_sip(udp=phone_ports(phone) | {rig.port}, tcp={rig.tls_port})
    check(not clear, f"SIP crossed the loopback in clear: {[p.payload[:80] for p in clear[:1]]}")
    check(not [p for p in cap.packets() if p.proto == "udp" and p.dport == rig.port],
          "datagrams went to the provider's UDP port")


def certificate_for_another_name_is_refused(rig):
    refused_certificate(rig, "Certificate: wrong name")


def certificate_from_unknown_authority_is_refused(rig):
    refused_certificate(rig, "Certificate not trusted")


def server_with_old_tls_is_refused(rig):
    # OpenSSL's own server, offering TLS 1.1 and nothing newer; it prints
    # whatever a client sends it after the handshake.
    port = int(subprocess.run(["python3", "-c", "import socket; s=socket.socket(); s.bind(('127.0.0.1', 0));"
                               " print(s.getsockname()[1])"], capture_output=True, text=True).stdout)
    pki = rig.pki()
    out = rig.work / "s_server.out"
    with open(out, "wb") as log:
        server = subprocess.Popen(["openssl", "s_server", "-accept", f"127.0.0.1:{port}", "-tls1_1",
                                   "-cipher", "DEFAULT:@SECLEVEL=0", "-cert", str(pki / "good/server.pem"),
                                   "-key", str(pki / "good/server.key")],
                                  stdin=subprocess.PIPE, stdout=log, stderr=subprocess.STDOUT)
    rig.on_stop(lambda: (server.kill(), server.wait()))
    check(wait_until(lambda: "ACCEPT" in out.read_text(errors="replace"), 5), "openssl s_server did not start")
    phone = rig.phone(account=False, files=stored(f"sips:localhost:{port}"), env=trusting_test_authority(rig))
    check(phone.wait_status("Secure link refused", 20),
          f"a server with TLS 1.1 only was not refused as such: the display reads {phone.status()!r}")
    said = out.read_text(errors="replace")
    check("REGISTER" not in said, "the phone sent its REGISTER over TLS 1.1")


server_with_old_tls_is_refused.servers = ("a11y-session", "pulse")

TESTS = {f.__name__: f for f in (login_over_tls_registers_nothing_in_clear, encrypted_call_audio_both_ways,
                                 far_end_without_srtp_gets_no_audio, incoming_call_over_tls_is_encrypted,
                                 certificate_for_another_name_is_refused,
                                 certificate_from_unknown_authority_is_refused, server_with_old_tls_is_refused)}
CERTIFICATES = {"certificate_for_another_name_is_refused": "othername",
                "certificate_from_unknown_authority_is_refused": "unknownca"}

if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[1] not in TESTS:
        sys.exit(f"usage: tls_paths.py {{{','.join(TESTS)}}} PATH/TO/softphone")
    if os.geteuid() != 0 or not shutil.which("tcpdump"):
        print("SKIP: the capture needs root and tcpdump")
        sys.exit(SKIPPED)
    name = sys.argv[1]

    def prepare(rig):
        rig.tls = rig.pki() / CERTIFICATES.get(name, "good")
    sys.exit(run(TESTS[name], sys.argv[2], limit=75, prepare=prepare))
