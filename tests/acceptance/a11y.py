"""Reads the running program the way a screen reader does, through AT-SPI.

Needs the system Python (python3-gi, gir1.2-atspi-2.0) and the session's
DBUS_SESSION_BUS_ADDRESS in os.environ before the first call: libatspi
finds the accessibility bus through org.a11y.Bus on that bus.
"""
import time
from dataclasses import dataclass, field

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

_ready = False


@dataclass
class Node:
    acc: Atspi.Accessible = field(repr=False)
    role: str            # "push button", "label", "text", "list item", ...
    name: str
    description: str
    text: str            # Text interface contents, or None without one
    states: frozenset    # {"enabled", "focused", "showing", ...}
    extents: tuple       # (x, y, width, height) in screen pixels, or None

    @property
    def centre(self):
        x, y, w, h = self.extents
        return x + w // 2, y + h // 2

    def refresh(self):
        self.acc.clear_cache()
        return node(self.acc)

    def __str__(self):
        text = "" if self.text is None else f" text={self.text!r}"
        desc = f" desc={self.description!r}" if self.description else ""
        states = sorted(self.states & {"enabled", "focused", "showing", "selected", "active"})
        return f"[{self.role}] {self.name!r}{desc}{text} {states} {self.extents}"


def wait_for(predicate, timeout=5.0, interval=0.1):
    """Calls predicate until it returns something true and returns that;
    None when time runs out. A program still building its tree (object
    gone, bus busy) counts as "not yet"."""
    deadline = time.monotonic() + timeout
    while True:
        try:
            result = predicate()
            if result:
                return result
        except GLib.Error:
            pass
        if time.monotonic() >= deadline:
            return None
        time.sleep(interval)


def find_app(pid, timeout=20.0):
    """The application with this process id, once it is on the bus."""
    global _ready
    if not _ready:
        Atspi.init()
        _ready = True

    def look():
        desktop = Atspi.get_desktop(0)
        desktop.clear_cache()
        for i in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(i)
            try:
                if app is not None and app.get_process_id() == pid:
                    return app
            except GLib.Error:
                continue
        return None
    return wait_for(look, timeout)


def node(acc):
    """One object's facts, read now."""
    interfaces = acc.get_interfaces()
    extents = None
    if "Component" in interfaces:
        r = Atspi.Component.get_extents(acc, Atspi.CoordType.SCREEN)
        extents = (r.x, r.y, r.width, r.height)
    return Node(
        acc=acc,
        role=acc.get_role_name(),
        name=acc.get_name() or "",
        description=acc.get_description() or "",
        text=(Atspi.Text.get_text(acc, 0, Atspi.Text.get_character_count(acc))
              if "Text" in interfaces else None),
        states=frozenset(Atspi.StateType(s).value_nick
                         for s in acc.get_state_set().get_states()),
        extents=extents,
    )


def walk(app):
    """Every showing object of the program, read fresh. Hidden windows and
    widgets are skipped with everything under them (a closed combo popup's
    items claim "showing" with made-up places)."""
    app.clear_cache()  # libatspi caches names, states and children
    out = []

    def visit(acc, top):
        n = node(acc)
        if not top and "showing" not in n.states:
            return
        out.append(n)
        for i in range(acc.get_child_count()):
            child = acc.get_child_at_index(i)
            if child is not None:
                visit(child, False)

    visit(app, True)
    return out


def find(app, name=None, role=None, description=None, where=None):
    """The first showing object with all that is given, or None."""
    for n in walk(app):
        if ((name is None or n.name == name) and (role is None or n.role == role)
                and (description is None or n.description == description)
                and (where is None or where(n))):
            return n
    return None


class Popups:
    """Menus as they pop up. A pop-up menu is no child of any window in the
    tree, so it is caught by the event of its showing; the bus's events are
    taken while waiting."""

    def __init__(self):
        self._seen = []
        self._listener = Atspi.EventListener.new(self._on_event)
        self._listener.register("object:state-changed:showing")

    def _on_event(self, event):
        try:
            if event.detail1 and event.source.get_role_name() in ("popup menu", "menu"):
                self._seen.append(event.source)
        except GLib.Error:
            pass

    def wait(self, timeout=5.0):
        """The items (nodes) of the next menu that shows, or None."""
        self._seen.clear()
        context = GLib.MainContext.default()
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            while context.iteration(False):
                pass
            for menu in self._seen:
                try:
                    items = [node(menu.get_child_at_index(i)) for i in range(menu.get_child_count())]
                    if items and all(n.extents and n.extents[2] > 0 for n in items):
                        return items
                except GLib.Error:
                    continue
            time.sleep(0.02)
        return None

    def close(self):
        self._listener.deregister("object:state-changed:showing")
