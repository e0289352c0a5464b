"""The phone as a native Wayland client, on weston's headless desktop
(weston.py): what the compositor shows around each skinned window, read
from its screenshots. There is no pointer or keyboard on that desktop, so
the windows are worked through what a screen reader offers (AT-SPI).

    /usr/bin/python3 -B wayland_paths.py TEST PATH/TO/softphone
"""
import shutil
import sys

import a11y
from harness import PHONE_PASSWORD, PHONE_USER, READY, TOP, StatusNotifierHost, check, run, wait_until
from weston import Skin, Weston, input_regions, key_colour_shows

SKINS = TOP / "resources/skins"


def settled(desktop, skin, before, what, shadow=False):
    """The desktop once the window showing skin is drawn in full, checked:
    nothing just outside its outline differs from what lay there before,
    and its key colour shows nowhere."""
    last = None
    for _ in range(50):
        shot = desktop.screenshot()
        if last is not None and shot.rgb == last.rgb:
            break
        last = shot
    origin, wrong, anywhere = key_colour_shows(skin, before, shot, shadow)
    check(not wrong, f"around the {what} at {origin}, {len(wrong)} pixels just outside its outline are not the "
                     f"desktop's, e.g. {wrong[:3]} (x, y, shown, beneath)")
    check(not anywhere, f"the {what}'s key colour {skin.key} shows on the desktop")
    return shot


def press(phone, name, role):
    """What a screen reader's "press" does on the control named name."""
    node = phone.control(name, role)
    check(node.acc.get_n_actions() > 0, f"{name!r} offers a screen reader nothing to press")
    node.acc.do_action(0)


def skinned_windows_are_clean_on_wayland(rig):
    desktop = Weston(rig)
    bare = desktop.screenshot()
    phone = rig.phone(account=False, env=desktop.client_env(wire=True))
    skins = {"Tolvi Softphone": Skin(SKINS / "login.png"), "Softphone": Skin(SKINS / "main.png"),
             "Phone Book": Skin(SKINS / "phonebook.png")}

    # First start: the login window, before the main window.
    phone.control("Login")
    settled(desktop, skins["Tolvi Softphone"], bare, "login window")
    for name, value in (("Sip IP/Domain", f"{rig.server}:{rig.port}"), ("Account", PHONE_USER),
                        ("PIN", PHONE_PASSWORD)):
        phone.control(name, "text").acc.set_text_contents(value)
    press(phone, "LOGIN", "push button")

    check(phone.wait_status(READY, 20), f"the phone did not register: its display reads {phone.status()!r}")
    main = settled(desktop, skins["Softphone"], bare, "main window")

    # A dialog over the main window: what lies beneath it is the main
    # window's picture as well as the desktop.
    press(phone, "Phone book", "push button")
    phone.control("Entries", "list")
    settled(desktop, skins["Phone Book"], main, "phone book")

    # Clicks outside each outline go to what lies beneath: the region the
    # phone gave the compositor for its pointer is the outline itself.
    reach = input_regions(rig.phone_log)
    for title, skin in skins.items():
        check(title in reach, f"no window titled {title!r} reached the desktop")
        check(reach[title] == skin.outline,
              f"the pointer reaches the window {title!r} "
              + ("everywhere" if reach[title] is None else
                 f"at {len(reach[title] - skin.outline)} pixels outside its outline and misses "
                 f"{len(skin.outline - reach[title])} inside"))


skinned_windows_are_clean_on_wayland.servers = ("a11y-session", "provider", "pulse")


def hidden_in_the_tray_and_back_on_wayland(rig):
    desktop = Weston(rig)
    tray = rig.status_notifier_host()
    bare = desktop.screenshot()
    phone = rig.phone(env=desktop.client_env())
    skin = Skin(SKINS / "main.png")
    settled(desktop, skin, bare, "main window")

    # Back by the menu the desktop's tray draws, then by a click on the icon.
    for back in (lambda item: StatusNotifierHost.choose(item, "Show"), StatusNotifierHost.activate):
        press(phone, "Hide", "push button")
        check(wait_until(lambda: tray.items(), 5), f"no icon came to the tray: {tray.events()}")
        check(wait_until(lambda: desktop.screenshot().rgb == bare.rgb, 5), "the main window stayed on the desktop")
        back(tray.items()[0])
        check(wait_until(lambda: desktop.screenshot().rgb != bare.rgb, 5), "the window did not come back from the tray")
        settled(desktop, skin, bare, "main window")
        check(wait_until(lambda: not tray.items(), 5), "the icon stayed in the tray with the window back")


hidden_in_the_tray_and_back_on_wayland.servers = ("a11y-session", "provider", "pulse")

def skinned_window_is_clean_under_xwayland(rig):
    """The phone as an X11 client of a Wayland desktop (Qt's Wayland plugin
    missing, or X11 chosen): XWayland ignores the window's shape, so the
    compositor's alpha must cut it there too."""
    desktop = Weston(rig, xwayland=True)
    bare = desktop.screenshot()
    rig.phone(env=desktop.x11_env())
    settled(desktop, Skin(SKINS / "main.png"), bare, "main window", shadow=True)


skinned_window_is_clean_under_xwayland.servers = ("a11y-session", "provider", "pulse")

TESTS = {f.__name__: f for f in (skinned_windows_are_clean_on_wayland, hidden_in_the_tray_and_back_on_wayland,
                                 skinned_window_is_clean_under_xwayland)}

if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[1] not in TESTS:
        sys.exit(f"usage: wayland_paths.py {{{','.join(TESTS)}}} PATH/TO/softphone")
    if not shutil.which("weston"):
        sys.exit("weston is not installed (scripts/setup installs it)")
    sys.exit(run(TESTS[sys.argv[1]], sys.argv[2], limit=80))
