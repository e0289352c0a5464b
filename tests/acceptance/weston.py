"""A Wayland desktop of our own: weston's headless back end on a plain
background of one colour, no panel, no animations, and screenshots
(weston --debug lets weston-screenshooter take them). Pictures are read as
rows of RGB bytes through ImageMagick, so no imaging library is needed.

    desktop = Weston(rig)
    env = desktop.client_env()        # for a Qt program: QT_QPA_PLATFORM=wayland
    shot = desktop.screenshot()       # a Picture
"""
import os
import subprocess
from pathlib import Path

from harness import check, wait_until

WIDTH, HEIGHT = 1024, 768
BACKGROUND = (0x12, 0x34, 0x56)  # in none of the skins


class Picture:
    """Width, height and packed RGB bytes, row after row."""

    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    @classmethod
    def read(cls, path):
        size = subprocess.run(["identify", "-format", "%w %h", str(path)], capture_output=True, text=True)
        check(size.returncode == 0, f"{path} is no picture: {size.stderr.strip()}")
        width, height = map(int, size.stdout.split())
        rgb = subprocess.run(["convert", str(path), "-alpha", "off", "-depth", "8", "rgb:-"],
                             capture_output=True).stdout
        check(len(rgb) == width * height * 3, f"{path} could not be read")
        return cls(width, height, rgb)

    def __getitem__(self, xy):
        i = (xy[1] * self.width + xy[0]) * 3
        return tuple(self.rgb[i:i + 3])

    def inside(self, x, y):
        return 0 <= x < self.width and 0 <= y < self.height


class Weston:
    def __init__(self, rig, xwayland=False):
        self.folder = rig.work / "weston"
        (self.folder / "xdg").mkdir(parents=True)
        os.chmod(self.folder / "xdg", 0o700)
        config = self.folder / "weston.ini"
        config.write_text("[core]\nidle-time=0\n"
                          "[shell]\nbackground-color=0xff%02x%02x%02x\npanel-position=none\nlocking=false\n"
                          "animation=none\nclose-animation=none\nstartup-animation=none\nfocus-animation=none\n"
                          % BACKGROUND)
        self.socket = self.folder / "xdg/wayland-test"
        env = dict(os.environ, XDG_RUNTIME_DIR=str(self.folder / "xdg"))
        env.pop("DISPLAY", None)  # headless: never the X back end
        env.pop("WAYLAND_DISPLAY", None)
        self.log = self.folder / "weston.log"
        self.proc = rig.spawn(["weston", "--backend=headless-backend.so", "--use-pixman", "--debug",
                               f"--width={WIDTH}", f"--height={HEIGHT}", f"--config={config}",
                               f"--socket={self.socket.name}"] + (["--xwayland"] if xwayland else []),
                              self.log, env)
        self.shots = 0
        check(wait_until(lambda: self.socket.exists() or self.proc.poll() is not None, 10) and self.proc.poll() is None,
              f"weston did not start (see {self.folder / 'weston.log'})")
        # The shell's background is drawn by a client of its own: wait for it.
        check(wait_until(lambda: self._bare(), 10), "weston's desktop never showed its background")

    def x11_env(self):
        """What a Qt program needs to be an X11 client of this desktop's
        XWayland (started by weston at the first client)."""
        import re
        found = re.search(r"xserver listening on display (:\d+)", self.log.read_text(errors="replace"))
        check(found, "weston offers no X server (is xwayland installed?)")
        return {"QT_QPA_PLATFORM": "xcb", "DISPLAY": found.group(1), "WAYLAND_DISPLAY": None}

    def client_env(self, wire=False):
        """What a Qt program needs to be a client of this desktop, and of
        nothing else: no X display. wire: it writes every request it makes
        to the desktop to its standard error (see input_regions)."""
        env = {"QT_QPA_PLATFORM": "wayland", "WAYLAND_DISPLAY": str(self.socket), "DISPLAY": None}
        if wire:
            env["WAYLAND_DEBUG"] = "client"
        return env

    def _bare(self):
        try:
            shot = self.screenshot()
        except AssertionError:
            return False
        return shot[0, 0] == BACKGROUND and shot[WIDTH - 1, HEIGHT - 1] == BACKGROUND

    def screenshot(self):
        """The whole output as the compositor shows it now."""
        self.shots += 1
        folder = self.folder / f"shot{self.shots}"
        folder.mkdir()
        env = dict(os.environ, XDG_RUNTIME_DIR=str(self.folder / "xdg"), WAYLAND_DISPLAY=self.socket.name)
        r = subprocess.run(["weston-screenshooter"], cwd=folder, env=env, capture_output=True, text=True, timeout=10)
        files = list(folder.glob("*.png"))
        check(r.returncode == 0 and files, f"weston-screenshooter took no picture: {r.stderr.strip()}")
        return Picture.read(files[0])


class Skin:
    """A skin picture and its outline as the phone cuts it: every pixel not
    of the key colour (the bottom-left pixel's), the last column left out."""

    def __init__(self, path):
        self.picture = p = Picture.read(path)
        self.key = p[0, p.height - 1]
        self.outline = {(x, y) for y in range(p.height) for x in range(p.width - 1) if p[x, y] != self.key}
        xs = [x for x, _ in self.outline]
        ys = [y for _, y in self.outline]
        self.box = (min(xs), min(ys), max(xs), max(ys))  # left, top, right, bottom

    def just_outside(self):
        """Pixels not in the outline that touch it, sides or corners."""
        ring = set()
        for x, y in self.outline:
            for dx in (-1, 0, 1):
                for dy in (-1, 0, 1):
                    if (x + dx, y + dy) not in self.outline:
                        ring.add((x + dx, y + dy))
        return ring


def input_regions(log):
    """From a client's WAYLAND_DEBUG lines: for each window title, the
    pixels where the pointer reaches that window (its last input region),
    or None where it never set one (the whole window)."""
    import re
    call = re.compile(r"-> (\w+)@(\d+)\.(\w+)\((.*)\)$")
    regions, xdg, titled, toplevel, inputs = {}, {}, {}, {}, {}
    for line in Path(log).read_text(errors="replace").splitlines():
        m = call.search(line)
        if not m:
            continue
        kind, ident, request, args = m.groups()
        ids = re.findall(r"(\w+)@(\d+)", args)
        if kind == "wl_compositor" and request == "create_region":
            regions[ids[0][1]] = []
        elif kind == "wl_region" and request == "add":
            x, y, w, h = map(int, args.split(", "))
            regions.setdefault(ident, []).append((x, y, w, h))
        elif kind == "wl_surface" and request == "set_input_region":
            inputs[ident] = list(regions.get(ids[0][1], [])) if ids else None
        elif kind == "xdg_wm_base" and request == "get_xdg_surface":
            xdg[ids[0][1]] = ids[1][1]
        elif kind == "xdg_surface" and request == "get_toplevel":
            toplevel[ids[0][1]] = xdg.get(ident)
        elif kind == "xdg_toplevel" and request == "set_title":
            titled[args.strip('"')] = toplevel.get(ident)
    found = {}
    for title, surface in titled.items():
        rects = inputs.get(surface)
        found[title] = None if rects is None else {(x + i, y + j) for x, y, w, h in rects
                                                    for j in range(h) for i in range(w)}
    return found


def changed_box(before, after):
    """The smallest rectangle holding every pixel that differs, or None."""
    width = after.width * 3
    rows = [y for y in range(after.height)
            if before.rgb[y * width:(y + 1) * width] != after.rgb[y * width:(y + 1) * width]]
    if not rows:
        return None
    left, right = after.width, -1
    for y in rows:
        row_b, row_a = before.rgb[y * width:(y + 1) * width], after.rgb[y * width:(y + 1) * width]
        for x in range(after.width):
            if row_b[x * 3:x * 3 + 3] != row_a[x * 3:x * 3 + 3]:
                left = min(left, x)
                break
        for x in range(after.width - 1, left - 1, -1):
            if row_b[x * 3:x * 3 + 3] != row_a[x * 3:x * 3 + 3]:
                right = max(right, x)
                break
    return left, rows[0], right, rows[-1]


def find_window(skin, before, after):
    """Where on the output the window showing skin has its origin: somewhere
    in the changed area (which a compositor's shadow may widen), found by the
    skin's own pixels, first a few of them, then all. Returns (x, y) and the
    share of outline pixels that show the skin."""
    box = changed_box(before, after)
    check(box, "the window never showed: nothing on the desktop changed")
    outline = sorted(skin.outline)

    def share(origin, samples):
        ox, oy = origin
        hits = sum(1 for x, y in samples
                   if after.inside(ox + x, oy + y) and after[ox + x, oy + y] == skin.picture[x, y])
        return hits / len(samples)

    few = outline[::97]
    candidates = [(box[0] - skin.box[0] + dx, box[1] - skin.box[1] + dy)
                  for dx in range(-4, box[2] - box[0] - (skin.box[2] - skin.box[0]) + 5)
                  for dy in range(-4, box[3] - box[1] - (skin.box[3] - skin.box[1]) + 5)]
    best = max(candidates, key=lambda o: share(o, few))
    return best, share(best, outline[::7])


def shaded(seen, beneath):
    """seen is beneath in a shadow: every channel darkened alike, by half
    at most."""
    return all(b // 2 <= s <= b for s, b in zip(seen, beneath))


def key_colour_shows(skin, before, after, shadow=False):
    """What lies just outside the window's outline where the window showing
    skin opened: a list of (x, y, seen, beneath) wherever it is not what
    was there before (the desktop or another window; with shadow, also in
    a shadow the compositor casts, as weston does under X11 windows), and
    whether the key colour shows anywhere on the output."""
    origin, share = find_window(skin, before, after)
    check(share > 0.5, f"the window's picture was not found on the desktop ({share:.0%} of its outline matched)")
    wrong = []
    for x, y in sorted(skin.just_outside()):
        sx, sy = origin[0] + x, origin[1] + y
        if after.inside(sx, sy) and after[sx, sy] != before[sx, sy] \
                and not (shadow and shaded(after[sx, sy], before[sx, sy])):
            wrong.append((sx, sy, after[sx, sy], before[sx, sy]))
    key = bytes(skin.key)
    anywhere = any(after.rgb[i:i + 3] == key for i in range(0, len(after.rgb), 3))
    return origin, wrong, anywhere
