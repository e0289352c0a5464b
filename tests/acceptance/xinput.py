"""Acts on the screen as a person does, with xdotool (XTEST): the pointer
goes to the middle of what AT-SPI says is on screen, and keys go to the
window that has the focus."""
import subprocess
import time


def xdo(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True, capture_output=True, text=True)


def move(target):
    """Pointer to a node's middle; waits until it is there."""
    if not target.extents or target.extents[2] <= 0 or target.extents[3] <= 0:
        raise AssertionError(f"{target.role} {target.name!r} has no place on screen")
    xdo("mousemove", "--sync", *target.centre)


def click(target, button=1):
    move(target)
    time.sleep(0.05)  # the program sees the pointer arrive before the press
    xdo("click", button)


def move_to(x, y):
    """Pointer to a point of the screen (what AT-SPI cannot see, such as an
    icon in the notification area)."""
    xdo("mousemove", "--sync", x, y)


def click_at(x, y, button=1):
    move_to(x, y)
    time.sleep(0.05)
    xdo("click", button)


def double_click(target):
    move(target)
    time.sleep(0.05)
    xdo("click", "--repeat", 2, "--delay", 80, 1)


def drag(target, dx):
    """Left button down on a node's middle, the pointer dx pixels sideways,
    button up."""
    move(target)
    time.sleep(0.05)
    x, y = target.centre
    xdo("mousedown", 1)
    time.sleep(0.05)
    xdo("mousemove", "--sync", x + dx, y)
    time.sleep(0.05)
    xdo("mouseup", 1)


def type_text(text):
    xdo("type", "--delay", 20, text)


def key(*keys):
    """Keys one after another: "Return", "Tab", "space", "ctrl+a", ..."""
    xdo("key", "--delay", 40, *keys)
