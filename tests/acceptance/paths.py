"""What a person does with the built phone, one path per test, under a real X
server: keys and clicks through xdotool, results read from outside (the
accessibility tree, the provider's log, the far ends, the speaker, files).

    /usr/bin/python3 -B paths.py TEST PATH/TO/softphone
"""
import configparser
import os
import re
import subprocess
import sys
import time

import a11y

import website
from harness import (CALLEE, CALLER, PHONE_PASSWORD, PHONE_USER, READY, Speaker, check, run,
                     wait_until)
from xinput import click, click_at, double_click, drag, key, move, move_to, type_text


def return_in_number_box_dials(rig):
    rig.callee()
    phone = rig.phone()
    click(phone.control("Number", role="text"))
    type_text(CALLEE)
    check(a11y.wait_for(lambda: phone.number() == CALLEE, 5),
          f"typing {CALLEE} into the number box left it reading {phone.number()!r}")
    key("Return")
    check(rig.wait_invite(CALLEE, 10),
          f"Return in the number box did not dial {CALLEE}: no INVITE reached the provider;"
          f" the display reads {phone.status()!r}")
    check(phone.wait_status("CONNECTED", 15),
          f"the call to {CALLEE} did not connect: the display reads {phone.status()!r}")


def letters_in_number_box_are_refused(rig):
    phone = rig.phone()
    # "C" empties the number box and puts the keyboard there.
    phone.click("Clear number")
    check(a11y.wait_for(lambda: "focused" in phone.control("Number", role="text").states, 3),
          "after a click on C the number box does not have the keyboard")
    type_text("abc")
    refused_and_closed(phone, "typing 'abc' into the number box")


def refused_and_closed(phone, what):
    """The number box's message after what, no letter in the box, and the
    message closed by a click on its OK button."""
    text = "Numbers 0 to 9 only, please!"
    check(phone.wait_node(text, role="label", timeout=5),
          f"{what} showed no message {text!r}; the box reads {phone.number()!r}")
    check(not any(c.isalpha() for c in phone.number() or ""),
          f"the refused letters are in the number box after {what}: it reads {phone.number()!r}")
    click(phone.control("OK", role="push button"))
    check(a11y.wait_for(lambda: not phone.find(text, role="label"), 5),
          f"the message {text!r} is still on screen after a mouse click on its OK button")


def middle_button_paste_is_refused(rig):
    phone = rig.phone()
    box = phone.control("Number", role="text")
    # The X11 primary selection, as another program leaves it after a
    # selection; pasted twice, as a person tries again.
    selection = rig.work / "selection.txt"
    selection.write_text("12ab")
    rig.spawn(["xclip", "-quiet", "-selection", "primary", str(selection)], rig.work / "xclip.log")
    time.sleep(0.5)
    for attempt in (1, 2):
        click(box, button=2)
        refused_and_closed(phone, f"middle-button paste {attempt} of '12ab'")


def lit_key_goes_dark_after_its_window(rig):
    phone = rig.phone()
    key_ = phone.control("Audio wizard")

    def picture():
        x, y, w, h = key_.extents
        return subprocess.run(["import", "-window", "root", "-crop", f"{w}x{h}+{x}+{y}", "+repage", "rgb:-"],
                              capture_output=True, check=True).stdout

    move_to(2, 2)
    time.sleep(0.3)
    normal = picture()
    move(key_)
    check(wait_until(lambda: picture() != normal, 3), "the wizard key did not light under the pointer")
    click(key_)
    cancel = phone.wait_node("Cancel", role="push button", timeout=10)
    check(cancel, "the wizard key opened no audio wizard with a Cancel button")
    click(cancel)
    check(a11y.wait_for(lambda: not phone.find("Cancel", role="push button"), 5),
          "the audio wizard is still open after Cancel")
    move_to(2, 2)  # the pointer away, past nothing of the phone's
    check(wait_until(lambda: picture() == normal, 3),
          "the wizard key is still lit after the wizard was cancelled, with the pointer elsewhere")


def keypad_and_green_key_dial(rig):
    phone = rig.phone()
    number = "4812"
    for digit in number:
        phone.click(f"Keypad {digit}")
    check(a11y.wait_for(lambda: phone.number() == number, 3),
          f"clicking the keys {number} left the number box reading {phone.number()!r}")
    phone.click("Call")
    check(rig.wait_invite(number, 10),
          f"the green key did not dial {number}: no INVITE reached the provider;"
          f" the display reads {phone.status()!r}")


def answered_call_stops_ringing(rig):
    phone = rig.phone()
    speaker = rig.speaker()
    rig.caller("uac_incoming.xml")
    check(phone.wait_status("Incoming", 10),
          f"the incoming call did not show: the display reads {phone.status()!r}")
    rings_from = speaker.position()
    time.sleep(4.6)  # two ticks of the phone's 2 s ring timer: the ring has played
    answered_at = speaker.position()
    phone.click("Call")
    check(phone.wait_status("CONNECTED", 10),
          f"the green key did not answer: the display reads {phone.status()!r}")
    talk_from = speaker.position() + Speaker.RATE // 2
    time.sleep(3)
    talk_to = speaker.position()
    phone.click("End call")
    # The engine's own end-of-call beeps take the next second or so.
    phone.wait_status("DISCONNECTED", 5)
    after_from = speaker.position() + 2 * Speaker.RATE
    time.sleep(5)
    samples = speaker.samples()
    ring = max(Speaker.levels(samples, rings_from, answered_at), default=0)
    check(ring > 1000, f"no ring was heard on the speaker while the call rang (loudest rms"
                       f" {ring:.0f}), so nothing can be judged after it")
    for when, start, end in (("during the call", talk_from, talk_to),
                             ("after the call", after_from, len(samples))):
        levels = Speaker.levels(samples, start, end)
        loudest = max(levels, default=0)
        check(loudest < ring / 8,
              f"the ring goes on after the call was answered: {when} the speaker plays rms"
              f" {loudest:.0f} (the ring was rms {ring:.0f})")


def red_key_refuses_incoming_call(rig):
    phone = rig.phone()
    caller = rig.caller("uac_incoming.xml")
    check(phone.wait_status("Incoming", 10),
          f"the incoming call did not show: the display reads {phone.status()!r}")
    phone.click("End call")
    check(caller.finished(10) is not None and "SIP/2.0 486" in caller.messages(),
          f"the red key did not refuse the incoming call: the caller got no 486 Busy Here;"
          f" the display reads {phone.status()!r}")


def red_key_hangs_up(rig):
    callee = rig.callee()
    phone = rig.phone()
    phone.dial(CALLEE)
    phone.click("End call")
    check(callee.finished(10) == 0 and "BYE sip:" in callee.messages(),
          f"the red key did not hang up: the far end got no BYE; the display reads {phone.status()!r}")

    # The phone's log tells the registration and the call, with the SIP
    # codes, and never the password; the terminal gets none of the engine's
    # messages.
    log = phone_log(rig)
    ended = f"call: call with sip:{CALLEE}@127.0.0.1:{rig.port} ended"
    check(wait_until(lambda: ended in read_text(log), 5),
          f"the log has no line {ended!r}; it reads:\n{read_text(log)[-2000:]}")
    text = read_text(log)
    for line in (f"registration: registered sip:{PHONE_USER}@127.0.0.1:{rig.port} (200 ",
                 f"call: outgoing call to sip:{CALLEE}@127.0.0.1:{rig.port}",
                 f"call: call with sip:{CALLEE}@127.0.0.1:{rig.port} connected (200 "):
        check(line in text, f"the log has no line {line!r}; it reads:\n{text[-2000:]}")
    check(PHONE_PASSWORD not in text, "the log holds the password")
    terminal = read_text(rig.phone_log)
    check(not re.search(r"liblinphone|mediastreamer|ortp|belle-sip", terminal),
          f"the engine's messages reached the terminal:\n{terminal[-1000:]}")


def cancelled_second_call_leaves_first(rig):
    first = rig.callee()
    phone = rig.phone()
    phone.dial(CALLEE)
    second = rig.caller("uac_cancel.xml", "-d", "1500")
    check(second.finished(15) is not None and "CANCEL sip:" in second.messages(),
          "the second caller did not ring and then cancel")
    seen, until = set(), time.monotonic() + 1.5  # the display just after the cancel
    while time.monotonic() < until:
        seen.add(phone.status())
        time.sleep(0.05)
    check(all((s or "").startswith("CONNECTED") for s in seen),
          f"after the second caller cancelled, the display of the first call read {sorted(seen)}")
    phone.click("End call")
    check(first.finished(10) == 0 and "BYE sip:" in first.messages(),
          f"after the second caller cancelled, the red key did not end the first call:"
          f" its far end got no BYE; the display reads {phone.status()!r}")


def keypad_sends_dtmf_in_call(rig):
    far = rig.linphonec("1002", "1002pw")
    phone = rig.phone()
    phone.dial("1002")
    phone.click("Keypad 5")
    phone.click("Keypad 9")
    check(wait_until(lambda: far.dtmf() == "59", 10),
          f"keypad 5 and 9 in a call reached the far end as {far.dtmf()!r}, not '59'")


def phone_book_entry_is_called(rig):
    # A phone book an earlier version kept beside the program moves into
    # the user's data folder.
    book = f"Office--{CALLEE}\r\n".encode()
    phone = rig.phone(files={"PhoneBook.txt": book})
    moved = phone.folder / "data/Softphone/PhoneBook.txt"
    check(not (phone.folder / "PhoneBook.txt").exists() and moved.read_bytes() == book,
          "the phone book beside the program was not moved into the data folder")
    phone.click("Phone book")
    click(phone.control(f"Office--{CALLEE}", role="list item"))
    check(a11y.wait_for(lambda: phone.control("Phone No.", role="text").text == CALLEE, 3),
          f"picking the entry did not show its number {CALLEE} in the phone book")
    phone.click("CALL", role="push button")
    check(a11y.wait_for(lambda: not phone.find("Entries", role="list"), 5),
          "CALL did not close the phone book")
    check(a11y.wait_for(lambda: phone.number() == CALLEE, 3),
          f"CALL put {phone.number()!r} into the number box, not {CALLEE}")
    phone.click("Call")
    check(rig.wait_invite(CALLEE, 10),
          f"the green key did not dial the phone book's {CALLEE}: no INVITE reached the provider;"
          f" the display reads {phone.status()!r}")


def recent_call_is_called_again(rig):
    # The call history as the phone writes it after one call.
    phone = rig.phone(files={"data/Softphone/recentcall.txt": f"{CALLEE}--Duration: 0:0:7\r\n".encode()})
    phone.click("Recent calls")
    double_click(phone.control(f"{CALLEE}--Duration: 0:0:7", role="list item"))
    check(a11y.wait_for(lambda: not phone.find("Recent calls", role="list"), 5),
          "a double-click on the recent call did not close the recent calls")
    check(a11y.wait_for(lambda: phone.number() == CALLEE, 3),
          f"the recent call put {phone.number()!r} into the number box, not {CALLEE}")
    phone.click("Call")
    check(rig.wait_invite(CALLEE, 10),
          f"the green key did not dial the recent call's {CALLEE}: no INVITE reached the provider;"
          f" the display reads {phone.status()!r}")


def first_start_login_by_keyboard(rig):
    phone = rig.phone(account=False)

    def focused():
        n = phone.find(where=lambda n: "focused" in n.states and n.role not in ("filler", "dialog"))
        return n.name if n else None

    def focus_on(name):
        check(a11y.wait_for(lambda: focused() == name, 10),
              f"the keyboard is on {focused()!r} in the login window, not on {name!r}")

    focus_on("Sip IP/Domain")
    type_text(f"127.0.0.1:{rig.port}")
    key("Tab")
    focus_on("UserName (Optional)")
    key("Tab")
    focus_on("Account")
    type_text(PHONE_USER)
    key("Tab")
    focus_on("PIN")
    type_text(PHONE_PASSWORD)
    key("Tab", "Tab")
    focus_on("LOGIN")
    key("space")
    check(phone.wait_status(READY, 20),
          f"after LOGIN the phone did not register: its display reads {phone.status()!r}")
    ini = configparser.ConfigParser(interpolation=None)
    ini.read(phone.folder / "config/Softphone/Softphone.ini")
    for section, value in (("Sip", f"127.0.0.1:{rig.port}"), ("Account", PHONE_USER),
                           ("Password", PHONE_PASSWORD)):
        saved = ini.get(section, "Parameters\\Validation", fallback=None)
        check(saved == value, f"the account was not saved: Softphone.ini holds {saved!r}"
                              f" for {section}, not {value!r}")


def hidden_in_the_tray_and_back(rig):
    tray = rig.tray()
    phone = rig.phone()
    pid = phone.proc.pid

    def on_screen():
        return phone.find("Call") is not None

    def hide():
        phone.click("Hide")
        # The key clicked last holds the mouse while the pointer is on it (its
        # hover capture). A phone still busy ending a call lets go late, and
        # the X server gives it the click meant for Hide: a lost click is
        # clicked again.
        if not a11y.wait_for(lambda: not on_screen(), 2):
            again = phone.find("Hide")
            if again is not None and again.extents and again.extents[2] > 0:
                click(again)
        check(a11y.wait_for(lambda: not on_screen(), 5), "the hide button left the phone window on screen")
        check(wait_until(lambda: len(tray.icons(pid)) == 1, 5),
              f"the hidden phone shows {len(tray.icons(pid))} icons in the notification area, not one")
        x, y, w, h = tray.icons(pid)[0]
        return x + w // 2, y + h // 2

    icon = hide()
    # The tip shows while the pointer rests on the icon.
    move_to(icon[0] - 2, icon[1] - 2)
    move_to(*icon)
    check(phone.wait_node("TolviSoftphone", role="tool tip", timeout=5),
          "resting on the icon shows no tip \"TolviSoftphone\"")
    click_at(*icon)
    check(a11y.wait_for(on_screen, 5), "a left click on the icon did not bring the phone window back")
    check(wait_until(lambda: not tray.icons(pid), 5), "the icon stayed in the notification area after the phone came back")

    # A call brings the window back by itself.
    hide()
    caller = rig.caller("uac_incoming.xml")
    check(phone.wait_status("Incoming", 10) and on_screen(),
          f"a call did not bring the hidden phone back: the display reads {phone.status()!r}")
    check(not tray.icons(pid), "the icon stayed in the notification area when the call brought the phone back")
    phone.click("End call")
    check(caller.finished(10) is not None, "the red key did not end the call")

    # The right button opens the menu; Exit ends the program and unregisters.
    icon = hide()
    popups = a11y.Popups()
    click_at(*icon, button=3)
    items = popups.wait(5)
    popups.close()
    names = [n.name for n in items or []]
    check(names == ["Show", "Exit"], f"a right click on the icon opened the menu {names}, not ['Show', 'Exit']")
    click(items[1])
    check(wait_until(lambda: phone.proc.poll() is not None, 10), "Exit in the icon's menu did not end the program")
    check(wait_until(lambda: not rig.registered(PHONE_USER), 10),
          "after Exit the provider still has the phone registered")
    check(not tray.icons(pid), "Exit left the phone's icon in the notification area")


def phone_log(rig):
    """The phone's log file, by the XDG rule for the phone's environment."""
    env = rig.phone_env
    state = env.get("XDG_STATE_HOME") or os.path.join(env["HOME"], ".local/state")
    return os.path.join(state, "Softphone/softphone.log")


def read_text(path):
    try:
        with open(path, errors="replace") as f:
            return f.read()
    except OSError:
        return ""


def window_state(phone):
    """The phone window's state as the window manager keeps it (WM_STATE)."""
    ids = subprocess.run(["xdotool", "search", "--all", "--pid", str(phone.proc.pid), "--name", "^Softphone$"],
                         capture_output=True, text=True).stdout.split()
    return " ".join(subprocess.run(["xprop", "-id", w, "WM_STATE"], capture_output=True, text=True).stdout
                    for w in ids)


def call_notification_answers(rig):
    service = rig.notifications()
    phone = rig.phone()
    # No notification area on this desktop: the hide button only minimises,
    # so the window stays within reach.
    phone.click("Hide")
    check(wait_until(lambda: "Iconic" in window_state(phone), 5),
          f"without a notification area the hide button did not minimise the window: {window_state(phone)!r}")
    caller = rig.caller("uac_incoming.xml")
    check(wait_until(lambda: service.shown(), 10), "a call to the hidden phone showed no desktop notification")
    check(len(service.shown()) == 1, f"one call showed {len(service.shown())} notifications")
    note = service.shown()[0]
    check(CALLER in note["body"], f"the notification does not name the caller {CALLER!r}: {note}")
    check(note["actions"] == ["answer", "Answer", "refuse", "Refuse"],
          f"the notification offers {note['actions']}, not Answer and Refuse")
    service.press(note["id"], "answer")
    check(wait_until(lambda: "SIP/2.0 200" in caller.messages(), 10),
          f"Answer in the notification did not answer the call: the display reads {phone.status()!r}")
    check(wait_until(lambda: service.closed(note["id"]), 5), "the notification stayed after the call was answered")


def tooltip_rolls_out_under_call_key(rig):
    phone = rig.phone()
    call = phone.control("Call")
    move(call)
    pid = phone.proc.pid
    # The tip's outline as the X server has it, sampled as it rolls out.
    widths, window = [], None
    deadline = time.monotonic() + 5
    while time.monotonic() < deadline and not (widths and widths[-1][0] == widths[-1][1]):
        if window is None:
            out = subprocess.run(["xdotool", "search", "--all", "--onlyvisible", "--pid", str(pid), "--name",
                                  "^Tooltip$"],
                                 capture_output=True, text=True).stdout.split()
            window = out[0] if out else None
            continue
        info = subprocess.run(["xwininfo", "-shape", "-id", window], capture_output=True, text=True).stdout
        full = re.search(r"Width: (\d+)", info)
        shape = re.search(r"shape extents:\s+(\d+)x", info)
        if full and shape and "IsViewable" in info:
            widths.append((int(shape.group(1)), int(full.group(1))))
    tip = phone.wait_node("Click to Make Call", role="tool tip", timeout=5)
    check(tip, "resting on the call key showed no tip \"Click to Make Call\"")
    subprocess.run(["import", "-window", "root", str(rig.work / "tooltip.png")])
    cx, cy, cw, ch = call.extents
    tx, ty, tw, th = tip.extents
    check(ty >= cy + ch and ty - (cy + ch) < 20 and abs((tx + tw / 2) - (cx + cw / 2)) <= 2,
          f"the tip {tip.extents} is not centred under the call key {call.extents}")
    seen = [w for w, _ in widths]
    seen = [w for i, w in enumerate(seen) if i == 0 or w != seen[i - 1]]
    check(widths and any(0 < w < widths[-1][1] for w in seen) and seen[-1] == widths[-1][1] and seen == sorted(seen),
          f"the tip did not roll out from the left: its visible widths were {seen}"
          f" of {widths[-1][1] if widths else '?'} pixels")
def speaker_slider_and_mute_in_a_call(rig):
    rig.callee()
    phone = rig.phone()
    speaker = rig.speaker()
    phone.dial(CALLEE)
    rig.microphone()

    def loudest(seconds):
        """The loudest 100 ms the speaker plays in the next seconds."""
        start = speaker.position()
        time.sleep(seconds)
        return max(Speaker.levels(speaker.samples(), start, speaker.position()), default=0)

    echo = loudest(3)
    check(echo > 300, f"the tone played into the microphone does not come back from the echo"
                      f" number: the speaker's loudest is rms {echo:.0f}")
    track = phone.control("Speaker volume track")
    drag(phone.control("Speaker volume"), -150)
    check(a11y.wait_for(lambda: phone.control("Speaker volume").extents[0] == track.extents[0], 3),
          f"the speaker's thumb, dragged far left, stands at {phone.control('Speaker volume').extents}"
          f", not at the track's left end {track.extents}")
    time.sleep(0.5)
    quiet = loudest(2.5)
    check(quiet < echo / 20, f"with the speaker's thumb at the left stop the speaker still plays"
                             f" rms {quiet:.0f} (the echo was rms {echo:.0f})")
    drag(phone.control("Speaker volume"), 150)
    time.sleep(0.5)
    back = loudest(2.5)
    check(back > echo / 2, f"with the speaker's thumb dragged back right the echo is rms {back:.0f},"
                           f" it was rms {echo:.0f}")

    check(not phone.find("Speaker muted"), "the speaker's muted sign shows before it was muted")
    phone.click("Mute speaker")
    text = "Speaker is ON-MUTE"
    check(phone.wait_node(text, role="label", timeout=5),
          f"a click on the speaker's mute area showed no message {text!r}")
    click(phone.control("OK", role="push button"))
    check(phone.wait_node("Speaker muted", timeout=5),
          "after the speaker was muted its muted sign does not show")
    time.sleep(0.5)
    muted = loudest(2.5)
    check(muted < echo / 20, f"with the speaker muted it still plays rms {muted:.0f}")

def feedback_page_shows(rig):
    site = rig.website()
    phone = rig.phone(env={"QTWEBENGINE_CHROMIUM_FLAGS": site.browser_flags()})
    check(not phone.mapped("libQt6WebEngine"),
          "the phone loaded the browser at start-up, before the feedback button was clicked")
    phone.click("Feedback")
    page = phone.wait_node(website.TITLE, role="document web", timeout=40)
    check(page, f"the feedback page {website.TITLE!r} did not show after a click on Feedback;"
                f" the web site saw {site.requests}")
    check(phone.find("Give Your FeedBack"),
          "the feedback page is not in a window captioned 'Give Your FeedBack'")
    if site.tls:
        check(f"CONNECT {site.host}:443" in site.requests,
              f"the feedback page did not come over HTTPS from {site.host}: {site.requests}")
    check(site.fetches() == 1, f"the feedback page was fetched {site.fetches()} times, not once")


def home_page_and_user_guide_open(rig):
    # The desktop's handler is ours: it writes down what it is given.
    handler, opened = rig.work / "handler", rig.work / "opened.txt"
    handler.mkdir()
    (handler / "xdg-open").write_text(f'#!/bin/sh\nprintf "%s\\n" "$*" >> "{opened}"\n')
    (handler / "xdg-open").chmod(0o755)
    phone = rig.phone(env={"PATH": f"{handler}:{os.environ['PATH']}"})

    def lines():
        return opened.read_text().splitlines() if opened.exists() else []

    site = os.environ["SOFTPHONE_WEB_SITE"]
    for n, (button, address) in enumerate((("Home page", f"{site}/"),
                                           ("User guide", f"{site}/sip-softphone-user_guide.pdf"))):
        phone.click(button)
        check(wait_until(lambda: len(lines()) > n, 10), f"{button} handed nothing to the desktop")
        check(lines()[n] == address, f"{button} handed {lines()[n]!r} to the desktop, not {address!r}")


def layout_tool_writes_positions(rig):
    # A German user: the decimal comma. The box shows lines; the text read
    # from it ends each with CR LF, which tst_layoutdump compares byte by byte.
    tool = rig.tool(os.environ["SOFTPHONE_LAYOUT_TOOL"], env={"LC_NUMERIC": "de_DE.UTF-8"})

    def text():
        return tool.control("txtZerbal", role="text").text or ""

    first = "\tWith Picture1\n\t\t.Left=0\n\t\t.Top=0\n\t\t.Height=389\n\t\t.Width=292\n\tEnd With\n"
    fraction = "\tWith Picture40\n\t\t.Left=256\n\t\t.Top=9,333333\n\t\t.Height=12\n"
    tool.click("Command1", role="push button")
    check(a11y.wait_for(lambda: text().startswith(first), 5),
          f"Command1 did not write the first control's block: the box begins {text()[:80]!r}")
    once = text()
    check(fraction in once, f"Picture40's fractional place is not written {fraction!r}")
    check("Zerbal" not in once, "the dump names its own button or box")
    tool.click("Command1", role="push button")
    check(a11y.wait_for(lambda: text() == once + once, 5),
          f"a second click did not append the same dump: {len(text())} characters, not {2 * len(once)}")


layout_tool_writes_positions.servers = ("a11y-session",)


def link_goes_to_running_phone(rig):
    phone = rig.phone()

    def second_start(link):
        proc = rig.spawn([str(phone.folder / "softphone"), link], phone.folder / "second.log", rig.phone_env)
        try:
            return proc.wait(15)
        except subprocess.TimeoutExpired:
            return None

    code = second_start("tel:+49 (30) 123-4567")
    check(code == 0, f"a second start with a tel: link ended with {code!r}, not 0")
    check(a11y.wait_for(lambda: phone.number() == "0049301234567", 5),
          f"the tel: link left the running phone's number box reading {phone.number()!r}")
    check(not phone.find("Another instance is running.", role="label"),
          "the running phone says another instance is running")
    code = second_start("sip:abc@127.0.0.1")
    check(code == 0, f"a second start with a sip: link ended with {code!r}, not 0")
    text = "Numbers 0 to 9 only, please!"
    check(phone.wait_node(text, role="label", timeout=5),
          f"a sip: link with letters showed no message {text!r}; the box reads {phone.number()!r}")
    click(phone.control("OK", role="push button"))
    check(phone.number() == "0049301234567", f"the refused link changed the number box to {phone.number()!r}")


TESTS = {f.__name__: f for f in (
    return_in_number_box_dials, letters_in_number_box_are_refused, middle_button_paste_is_refused,
    keypad_and_green_key_dial,
    answered_call_stops_ringing, red_key_refuses_incoming_call, red_key_hangs_up,
    cancelled_second_call_leaves_first, keypad_sends_dtmf_in_call, phone_book_entry_is_called,
    recent_call_is_called_again, first_start_login_by_keyboard, hidden_in_the_tray_and_back,
    lit_key_goes_dark_after_its_window, call_notification_answers, tooltip_rolls_out_under_call_key,
    feedback_page_shows,
    home_page_and_user_guide_open, layout_tool_writes_positions, speaker_slider_and_mute_in_a_call,
    link_goes_to_running_phone)}

if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[1] not in TESTS:
        sys.exit(f"usage: paths.py {{{','.join(TESTS)}}} PATH/TO/softphone")
    sys.exit(run(TESTS[sys.argv[1]], sys.argv[2], limit=75))
