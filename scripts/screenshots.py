#!/usr/bin/python3
"""Takes the README's pictures of Zorvane against the module simulator in the virtual display
it runs in: the main window after an inquiry, and the BGAPI window connected to the simulated
sensor logger with its readings. The program is driven as the end-to-end tests drive it.

Run inside xvfb-run and dbus-run-session (`make screenshots` does):
    screenshots.py PATH_TO_ZORVANE PATH_TO_ZORVANE_SIM OUTPUT_FOLDER"""

import os
import re
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
# The source tree stays free of compiled leftovers of the modules borrowed from the tests.
sys.dont_write_bytecode = True

import xwd_png  # noqa: E402
from harness import (Failure, Home, WindowManager, Zorvane, check,  # noqa: E402
                     move_mouse, visible_windows, wait_for, xdotool)
from sim_e2e import open_bgapi, press, read_logger, scan_and_connect  # noqa: E402

# Time for the last change to reach the screen after the accessibility bus reported it.
PAINT_SECONDS = 0.5


def frame(window):
    """The window with the window manager's frame around it: left, top, width, height."""
    # xwininfo rather than xdotool, whose position of a framed window counts the frame twice.
    info = subprocess.run(["xwininfo", "-id", window], capture_output=True, text=True,
                          check=True).stdout
    number = {k: int(re.search(k + r":\s*(-?\d+)", info).group(1))
              for k in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height")}
    out = subprocess.run(["xprop", "-id", window, "_NET_FRAME_EXTENTS"], capture_output=True,
                         text=True).stdout
    extents = [int(n) for n in re.findall(r"\d+", out.partition("=")[2])]
    left, right, top, bottom = extents if len(extents) == 4 else (0, 0, 0, 0)
    return (number["Absolute upper-left X"] - left, number["Absolute upper-left Y"] - top,
            number["Width"] + left + right, number["Height"] + top + bottom)


def shoot(window, path):
    # The window in front with its title lit, as the one being worked in; the pointer in a
    # corner, so no tooltip or hover mark shows in the picture.
    xdotool("windowactivate", "--sync", window)
    move_mouse(0, 0)
    time.sleep(PAINT_SECONDS)
    dump = subprocess.run(["xwd", "-root", "-silent"], capture_output=True, check=True).stdout
    xwd_png.save_region(dump, path, *frame(window))
    print("wrote", path)


def terminal_lines(z):
    terminal = z.find("Terminal", "list")
    return [terminal.getChildAtIndex(i).name for i in range(terminal.childCount)]


def main_window(z, path):
    wait_for("the simulator's banner", lambda: "READY." in terminal_lines(z), timeout=15)
    Zorvane.do_action(z.find("I", "push button"), "Press", "Click")
    wait_for("the names of the devices found", lambda: sum(
        line.startswith("NAME ") for line in terminal_lines(z)) == 3, timeout=15)
    shoot(z.window, path)


def bgapi_window(z, path):
    window = open_bgapi(z)
    firmware = z.find("firmware version", "text", within=window)
    press(z, window, "System Info")
    wait_for("the firmware version", lambda: Zorvane.text(firmware), timeout=5)
    scan_and_connect(z, window)
    for button, field in (("Attr Read by Group", "group UUID"),
                          ("Attr Find Information", "descriptor UUID")):
        shown = z.find(field, "text", within=window)
        press(z, window, button)
        wait_for("the " + field, lambda: Zorvane.text(shown) not in ("", "-"), timeout=5)
    read_logger(z, window)
    shoot(visible_windows(z.proc.pid, "^BGAPI Interface$")[0], path)


def run(binary, sim_binary, folder):
    home = Home()
    wm = WindowManager(home.path)
    sim = subprocess.Popen([sim_binary, "--port", "1"], env=dict(os.environ, HOME=home.path),
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    z = None
    try:
        first = sim.stdout.readline()
        check(" is /dev/" in first, "simulator did not start: %r" % first)
        z = Zorvane(binary, home)
        main_window(z, os.path.join(folder, "main-window.png"))
        # The simulated module turns into a BLE dongle at the first BGAPI command.
        bgapi_window(z, os.path.join(folder, "bgapi-window.png"))
    except Failure:
        if z is not None:
            sys.stderr.write("--- zorvane output\n%s" % z.output())
        raise
    finally:
        if z is not None:
            z.kill()
        sim.terminate()
        sim.communicate(timeout=10)
        wm.stop()
        home.remove()


def main():
    if len(sys.argv) != 4:
        sys.stderr.write(__doc__ + "\n")
        return 2
    if not os.environ.get("DISPLAY"):
        sys.stderr.write("no DISPLAY: run under xvfb-run\n")
        return 2
    os.makedirs(sys.argv[3], exist_ok=True)
    try:
        run(*map(os.path.abspath, sys.argv[1:]))
    except Failure as e:
        sys.stderr.write("screenshots: %s\n" % e)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
