#!/usr/bin/python3
"""End-to-end checks of the real program against the module simulator, in a virtual X display
under a window manager. As a Bluetooth module: the start-up banner, Inquiry filling the address
list, and a command round trip in the multiplexing mode. As a BLE dongle: the BGAPI window
scanning, connecting to a device picked from the address list and reading the sensor logger,
with the Plot window drawing the signal strengths and the readings.
Over the network: the module's checks again with COM1 pinned to rfc2217://127.0.0.1:PORT,
ser2net serving the simulator's pseudo-terminal there.

Usage: sim_e2e.py PATH_TO_ZORVANE PATH_TO_ZORVANE_SIM module|ble|network"""

import os
import re
import socket
import subprocess
import sys

import pyatspi

from harness import (Failure, Home, WindowManager, Zorvane, check, visible_windows, wait_for,
                     xdotool)

ADDRESS = re.compile(r"^([0-9A-F]{2}:){5}[0-9A-F]{2}$")
# The simulated logger reads about 21.5 C and 45 %rH; a sample taken from the wrong bytes or
# converted by the wrong formula lands far outside these ranges.
TEMPERATURE = re.compile(r"^ *(-?\d+)[.,]\d\dC$")
HUMIDITY = re.compile(r"^ *(-?\d+)[.,]\d\drH$")


def shows(z, predicate, role=None):
    """True when some control, or some line of the terminal list, satisfies the predicate."""
    return pyatspi.findDescendant(
        z.app, lambda a: a is not None and a.name is not None and predicate(a.name)
        and (role is None or a.getRoleName() == role)) is not None


def module(z):
    wait_for("the banner after the reset on connect",
             lambda: shows(z, lambda n: "READY." in n), timeout=15)
    Zorvane.do_action(z.find("I", "push button"), "Press", "Click")
    addresses = z.find_labelled("MAC address", "combo box")
    wait_for("inquiry addresses in the address list",
             lambda: any(ADDRESS.match(e.strip()) for e in entries(addresses)), timeout=15)
    # A screen reader hears the box's label and the address chosen in it, the last one found.
    wait_for("the chosen address as the address box's name",
             lambda: addresses.name in entries(addresses) and ADDRESS.match(addresses.name.strip()))
    check(Zorvane.label_of(addresses) == "MAC address",
          "the address box's label says %r" % Zorvane.label_of(addresses))
    mux = z.find("MUX", "check box")
    Zorvane.do_action(mux, "Toggle", "Press")
    wait_for("MUX checked", lambda: Zorvane.has_state(mux, pyatspi.STATE_CHECKED))
    Zorvane.do_action(z.find("L", "push button"), "Press", "Click")
    wait_for("the framed LIST answer", lambda: shows(z, lambda n: "LIST 0" in n), timeout=15)


def press(z, window, caption):
    Zorvane.do_action(z.find(caption, "push button", within=window), "Press", "Click")


def open_bgapi(z):
    """Options > "Show BGAPI"; returns the window's accessible."""
    Zorvane.do_action(z.find("Show BGAPI", "menu item"), "Press", "Click")
    wait_for("the BGAPI window on the screen",
             lambda: visible_windows(z.proc.pid, "^BGAPI Interface$"))
    # A top-level window of the application, beside the main window.
    return wait_for("the BGAPI window on the accessibility bus", lambda: next(
        (w for w in z.app if w is not None and w.name == "BGAPI Interface"), None))


def entries(combo):
    items = combo.getChildAtIndex(0)
    return [items.getChildAtIndex(i).name for i in range(items.childCount)]


def current(combo):
    """The entry a combo box shows: the selected item of its list (its name is the box's)."""
    items = combo.getChildAtIndex(0)
    return next((items.getChildAtIndex(i).name for i in range(items.childCount)
                 if Zorvane.has_state(items.getChildAtIndex(i), pyatspi.STATE_SELECTED)), None)


def scan_and_connect(z, window):
    """Scans with "All", picks the first device found from the address list and connects."""
    # A handle the dongle does not give first, so the one it gives on Connect is plain to see;
    # an empty field would hold no number, and All would send nothing.
    handle = z.find("connection handle", "text", within=window)
    z.click(handle)
    z.key("ctrl+a", "BackSpace")
    z.type("9")
    wait_for("the connection handle 9", lambda: Zorvane.text(handle) == "9")

    toolbar = z.find("ToolBar1", "tool bar")
    addresses = z.find_labelled("MAC address", "combo box", within=toolbar)
    before = entries(addresses)

    press(z, window, "All")

    def found():
        return [e for e in entries(addresses) if e not in before]

    wait_for("the three scanned devices in the address list", lambda: len(found()) == 3,
             timeout=15)
    check(all(ADDRESS.match(e) for e in entries(addresses)),
          "address list holds %s" % entries(addresses))
    press(z, window, "gap_end_procedure")

    # The first device found, picked with the mouse from the list's popup.
    picked = found()[0]
    check(current(addresses) != picked, "the first device is already the current entry")
    xdotool("windowactivate", "--sync", z.window)
    z.click(addresses)
    choice = z.find_role("list item", lambda a: a.name == picked
                         and Zorvane.has_state(a, pyatspi.STATE_SHOWING), within=addresses)
    z.click(choice)
    wait_for("%s as the current entry" % picked, lambda: current(addresses) == picked)

    press(z, window, "Connect")
    wait_for("a connection handle", lambda: Zorvane.text(handle) == "0", timeout=5)
    check(handle.description == "", "the handle field is still marked: %r" % handle.description)
    device = Zorvane.text(z.find("device address", "text", within=window))
    check(device == picked, "connected to %r, picked %r" % (device, picked))


# Logger button, its field, the field's text and the whole degrees or percent it may show.
LOGGER_READINGS = (
    ("j. SHT temp meas", "temperature", TEMPERATURE, 15, 30),
    ("k. Humidity Meas", "humidity", HUMIDITY, 30, 60),
)


def read_logger(z, window):
    for button, name, pattern, low, high in LOGGER_READINGS:
        field = z.find(name, "text", within=window)
        press(z, window, button)
        reading = wait_for("a %s reading" % name, lambda: pattern.match(Zorvane.text(field)),
                           timeout=5)
        check(low <= int(reading.group(1)) < high, "%s reads %r" % (name, reading.group(0)))


def open_plot(z):
    """Options > "Plot"; returns the window's accessible."""
    Zorvane.do_action(z.find("Plot", "menu item"), "Press", "Click")
    wait_for("the Plot window on the screen", lambda: visible_windows(z.proc.pid, "^Plot$"))
    return wait_for("the Plot window on the accessibility bus", lambda: next(
        (w for w in z.app if w is not None and w.name == "Plot"), None))


def series_names(z, plot):
    """The names in the first column of the Plot window's "Series" table."""
    table = z.find("Series", "table", within=plot)
    names = []
    for i in range(table.childCount):
        cell = table.getChildAtIndex(i)
        if cell is not None and cell.getRoleName() == "table cell" and cell.name:
            names.append(cell.name)
    return names


def ble(z):
    plot = open_plot(z)
    window = open_bgapi(z)
    scan_and_connect(z, window)
    read_logger(z, window)
    # The scan's signal strengths and the logger's readings, drawn while they came.
    wait_for("the logger's series and a signal strength series per device", lambda: (
        {"Temperature", "Humidity"} <= set(series_names(z, plot))
        and sum(n.startswith("RSSI ") for n in series_names(z, plot)) == 3), timeout=10)
    chart = z.find("Chart", within=plot)
    check(re.search(r"Temperature: \d+ points?, last \d+", chart.description),
          "the chart's description reads %r" % chart.description)


SCENARIOS = {"module": ([], module), "ble": (["--ble"], ble), "network": ([], module)}


def unused_tcp_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def serve_over_rfc2217(home, device):
    """ser2net in front of the simulator's pseudo-terminal, and COM1 pinned to it."""
    port = unused_tcp_port()
    config = ("connection: &sim#  accepter: telnet(rfc2217),tcp,127.0.0.1,%d#"
              "  connector: serialdev,%s,115200n81,local#  options:#    kickolduser: true"
              % (port, device))
    server = subprocess.Popen(["ser2net", "-n", "-u", "-P", os.path.join(home.path, "ser2net.pid"),
                               "-Y", config], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def listening():
        try:
            socket.create_connection(("127.0.0.1", port), timeout=0.2).close()
            return True
        except OSError:
            return False

    wait_for("ser2net listening on %d" % port, listening, timeout=10)
    home.link_port(1, "rfc2217://127.0.0.1:%d" % port)
    return server


def scenario(binary, sim_binary, home, name):
    sim_options, steps = SCENARIOS[name]
    env = dict(os.environ, HOME=home.path)
    # The simulator replaces the dangling link the home starts with; over the network it takes
    # COM2, and COM1 leads to ser2net in front of it.
    sim_port = "2" if name == "network" else "1"
    sim = subprocess.Popen([sim_binary, *sim_options, "--port", sim_port], env=env,
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    server = None
    try:
        first = sim.stdout.readline()
        check(" is /dev/" in first, "simulator did not start: %r" % first)
        if name == "network":
            server = serve_over_rfc2217(home, re.search(r"/dev/\S+", first).group(0).rstrip(".,"))
        z = Zorvane(binary, home)
        try:
            steps(z)
        except Failure:
            lines = []
            pyatspi.findAllDescendants(
                z.app, lambda a: a is not None and a.getRoleName() in ("list item", "table cell")
                and bool(lines.append(a.name)))
            sys.stderr.write("--- list lines\n%s\n" % "\n".join(map(repr, lines[-20:])))
            sys.stderr.write("--- zorvane output\n%s" % z.output())
            raise
        finally:
            z.kill()
    finally:
        if server:
            server.kill()
            server.wait(timeout=10)
        sim.terminate()
        out, _ = sim.communicate(timeout=10)
    check(sim.returncode == 0, "simulator ended with %s: %s" % (sim.returncode, out))
    check(not os.path.lexists(os.path.join(home.ports, "COM" + sim_port)),
          "simulator left its link")


def main():
    if len(sys.argv) != 4 or sys.argv[3] not in SCENARIOS:
        sys.stderr.write(__doc__ + "\n")
        return 2
    if not os.environ.get("DISPLAY"):
        sys.stderr.write("no DISPLAY: run under xvfb-run\n")
        return 2
    home = Home()
    wm = WindowManager(home.path)
    failed = True
    try:
        scenario(os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2]), home, sys.argv[3])
        failed = False
    except Failure as e:
        sys.stderr.write("FAIL simulator %s: %s\n" % (sys.argv[3], e))
    finally:
        wm.stop()
        if failed:
            sys.stderr.write("--- files kept in %s\n" % home.path)
        else:
            home.remove()
    if not failed:
        print("PASS simulator", sys.argv[3])
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
