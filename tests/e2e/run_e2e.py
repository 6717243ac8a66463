#!/usr/bin/python3
"""End-to-end checks of the real program, run by CTest inside xvfb-run and dbus-run-session:
the send box typed into with real keys, the MUX box changed in every way a person can, the
window's place over several starts with and without a window manager, the menus reached
from the keyboard while the terminal list has the focus, the command toolbars reached with
Tab while the boxes and letter buttons say what they are, the list holding still under
the real mouse wheel while the module keeps sending, two instances of one profile, a
Parameters item reaching the device, the Modem lines toolbar on a pseudo-terminal, a port
pinned from its dialog, a file sent from the Send File dialog, a script started with
--script that the Script dock follows to its end, and the send box's line end and bytes mode.

Usage: run_e2e.py PATH_TO_ZORVANE SCENARIO"""

import os
import sys
import threading
import termios
import time
import xml.etree.ElementTree as ET

import pyatspi

from harness import (Failure, Home, Module, WindowManager, Zorvane, check, move_mouse,
                     visible_windows, wait_for, xdotool)

RESET_LINE = b"\rRESET\r\n\r"
MUX_ON = b"SET CONTROL MUX 1\r\r"
MUX_OFF = b"\xbf\xff\x00\x11SET CONTROL MUX 0\x00"


def command_line(text):
    return b"\r" + text + b"\r\n\r"


class Session:
    """A home, a module on COM1 and, when asked, a window manager for one scenario."""

    def __init__(self, binary, window_manager=True):
        self.binary = binary
        self.home = Home()
        self.module = Module()
        self.home.link_port(1, self.module.path)
        self.wm = WindowManager(self.home.path) if window_manager else None
        self.runs = []

    def start(self, *arguments):
        z = Zorvane(self.binary, self.home, arguments)
        self.runs.append(z)
        return z

    def exit(self, z):
        """Ends the program through File > Exit, as a person would, and waits for it."""
        Zorvane.do_action(z.find("Exit", "menu item"), "Press", "Click")
        z.wait_closed()

    def close(self, failed):
        for z in self.runs:
            z.kill()
            if failed:
                sys.stderr.write("--- zorvane output (%s)\n%s" % (z.log_path, z.output()))
        if self.wm:
            self.wm.stop()
        self.module.close()
        if not failed:
            self.home.remove()
        else:
            sys.stderr.write("--- files kept in %s\n" % self.home.path)


def send_box(s):
    """Return in the send box sends exactly the typed text, whatever the history holds."""
    z = s.start()
    s.module.read_until(RESET_LINE)
    edit = z.find("Send text", "text")
    for typed in ("AT+VER", "SET BT NAME foo", "SET", "set", "SET BT"):
        z.click(edit)
        z.key("ctrl+a", "BackSpace")
        z.type(typed)
        z.key("Return")
        got = s.module.drain()
        check(got == command_line(typed.encode()),
              "typed %r and Return: module received %r" % (typed, got))
    s.exit(z)


def mux_box(s):
    """The accessibility action, Space and a mouse click each run the MUX handler once."""
    z = s.start()
    s.module.read_until(RESET_LINE)
    mux = z.find("MUX", "check box")

    def checked():
        return Zorvane.has_state(mux, pyatspi.STATE_CHECKED)

    used = Zorvane.do_action(mux, "Toggle", "Press")
    got = s.module.drain()
    check(got == MUX_ON, "MUX through its %s action: module received %r" % (used, got))
    check(wait_for("MUX checked", checked), "MUX not checked")

    Zorvane.do_action(mux, "SetFocus")
    wait_for("MUX focused", lambda: Zorvane.has_state(mux, pyatspi.STATE_FOCUSED))
    z.key("space")
    got = s.module.drain()
    check(got == MUX_OFF, "MUX with Space: module received %r" % got)
    wait_for("MUX clear", lambda: not checked())

    z.click(mux)
    got = s.module.drain()
    check(got == MUX_ON, "MUX clicked: module received %r" % got)
    wait_for("MUX checked", checked)
    s.exit(z)
    saved = ET.parse(s.home.settings).getroot().findtext("Options/multiplex")
    check(saved == "true", "multiplex saved as %r" % saved)


def saved_window(home):
    window = ET.parse(home.settings).getroot().find("Window")
    return tuple(int(window.findtext(k)) for k in ("left", "top", "width", "height"))


def place(z):
    """Where the window is: its client area as the X server has it, and its outer frame as
    the program reports it on the accessibility bus."""
    frame = z.find_role("frame")
    return z.geometry(), Zorvane.extents(frame)


def window_place(s):
    """A window left alone comes back exactly where it was, size included; so does one the
    person moved and resized."""
    previous = None
    for run in range(3):
        z = s.start()
        s.module.read_until(RESET_LINE)
        time.sleep(0.5)  # the window manager's last word on the place
        now = place(z)
        if previous is not None:
            check(now == previous, "start %d: window at %s, before at %s" % (run + 1, now,
                                                                             previous))
        previous = now
        if run == 1:
            # Moved and resized from outside, as a person does with the mouse.
            xdotool("windowsize", "--sync", z.window, 1000, 620)
            xdotool("windowmove", "--sync", z.window, 230, 170)
            time.sleep(0.5)
            previous = place(z)
            check(previous[0][2:] == (1000, 620), "resize: client is %s" % (previous[0],))
        s.exit(z)
        s.module.drain()
        saved = saved_window(s.home)
        check(saved[2:] == previous[0][2:],
              "saved size %s, client size %s" % (saved[2:], previous[0][2:]))


def window_place_without_wm(s):
    window_place(s)


def keyboard_menus(s):
    """Typed keys in the list go to the module; Alt, F10 and mnemonics reach the menus."""
    z = s.start()
    s.module.read_until(RESET_LINE)
    terminal = z.find("Terminal", "list")
    check(Zorvane.has_state(terminal, pyatspi.STATE_FOCUSED), "the terminal list has no focus")
    z.type("ab")
    got = s.module.drain()
    check(got == b"ab", "typed ab into the list: module received %r" % got)

    def menu_open(title):
        item = z.find(title, "menu item")
        popup = item.getChildAtIndex(0)
        return popup is not None and Zorvane.has_state(popup, pyatspi.STATE_SHOWING)

    def list_focused():
        return Zorvane.has_state(terminal, pyatspi.STATE_FOCUSED)

    for opener in ("F10", "alt"):
        z.key(opener)
        wait_for("%s to open the File menu" % opener, lambda: menu_open("File"), timeout=5)
        # The first Escape closes the menu, the second lets go of the menu bar.
        z.key("Escape", "Escape")
        wait_for("the menu to close", lambda: not menu_open("File"), timeout=5)
        wait_for("focus back in the list", list_focused, timeout=5)

    z.key("alt+o")
    wait_for("Alt+O to open Options", lambda: menu_open("Options"), timeout=5)
    z.key("e")
    wait_for("E in Options to choose Echo", lambda: pyatspi.findDescendant(
        z.app, lambda a: a is not None and a.getRoleName() == "label" and a.name == "Echo"),
        timeout=5)
    wait_for("Options to close", lambda: not menu_open("Options"), timeout=5)
    wait_for("focus back in the list", list_focused, timeout=5)
    got = s.module.drain()
    check(got == b"", "the menu keys reached the module: %r" % got)

    z.type("c")
    got = s.module.drain()
    check(got == b"c", "typed c after the menu: module received %r" % got)
    s.exit(z)


def keyboard_toolbars(s):
    """The boxes and the letter buttons tell a screen reader what they are; Tab from the
    terminal list reaches a command toolbar's button and Space presses it."""
    z = s.start()
    s.module.read_until(RESET_LINE)
    toolbar = z.find("ToolBar1", "tool bar")
    # A combo box's name is the entry it shows, what it is for is its label's.
    for label, value in (("MAC address", "Unknown MAC"), ("Link", "255")):
        box = z.find_labelled(label, "combo box", within=toolbar)
        check(box.name == value, "the box labelled %s says %r" % (label, box.name))
    send_box = z.find_labelled("Send box", "combo box", within=toolbar)
    send_text = z.find("Send text", "text", within=toolbar)
    check(send_box.name == Zorvane.text(send_text),
          "the send box says %r, its field %r" % (send_box.name, Zorvane.text(send_text)))
    for letter, command in (("S", "SET"), ("R", "RESET"), ("I", "INQUIRY 5 NAME"),
                            ("L", "LIST")):
        button = z.find(letter, "push button", within=toolbar)
        check(button.description == "Sends " + command,
              "%s describes itself as %r" % (letter, button.description))

    Zorvane.do_action(z.find("Show SPP Toolbar", "menu item"), "Press", "Click")
    spp_on = z.find("SPP On", "push button")
    wait_for("the SPP toolbar shown", lambda: Zorvane.has_state(spp_on, pyatspi.STATE_SHOWING))
    terminal = z.find("Terminal", "list")
    wait_for("focus in the list", lambda: Zorvane.has_state(terminal, pyatspi.STATE_FOCUSED))
    for _ in range(80):
        if Zorvane.has_state(spp_on, pyatspi.STATE_FOCUSED):
            break
        z.key("Tab")
    check(Zorvane.has_state(spp_on, pyatspi.STATE_FOCUSED), "Tab never reached SPP On")
    got = s.module.drain()
    check(got == b"", "Tab sent %r" % got)
    z.key("space")
    got = s.module.read_until(command_line(b"SET PROFILE SPP ON"))
    check(got == command_line(b"SET PROFILE SPP ON"), "Space on SPP On sent %r" % got)
    s.exit(z)


class Stream:
    """The module sending numbered lines every few ms until stopped."""

    def __init__(self, module, first=0):
        self.module = module
        self.n = first
        self.running = True
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def _run(self):
        while self.running:
            try:
                os.write(self.module.master, b"stream %d\r" % self.n)
                self.n += 1
            except BlockingIOError:
                pass
            time.sleep(0.005)

    def stop(self):
        self.running = False
        self.thread.join()


def hold_while_streaming(s):
    """Scrolling up with the wheel while lines arrive holds the top line; End follows again."""
    z = s.start()
    s.module.read_until(RESET_LINE)
    os.write(s.module.master, b"".join(b"line %d\r" % i for i in range(300)))
    terminal = z.find("Terminal", "list")
    x, y, w, h = Zorvane.extents(terminal)

    def top_line():
        cell = terminal.queryComponent().getAccessibleAtPoint(x + 20, y + 8, pyatspi.DESKTOP_COORDS)
        return cell.name if cell is not None else None

    wait_for("the 300 lines", lambda: top_line() not in (None, "", "line 0"))
    stream = Stream(s.module)
    try:
        move_mouse(x + w // 2, y + h // 2)
        xdotool("click", "--repeat", "5", "--delay", "50", "4")  # the wheel, upwards
        wait_for("the new-lines marker", lambda: pyatspi.findDescendant(
            z.app, lambda a: a is not None and a.name == "New lines"), timeout=5)
        held = top_line()
        time.sleep(1.5)
        check(top_line() == held, "the top line moved from %r to %r while held"
              % (held, top_line()))
        marker = z.find("New lines")
        count = int(marker.description or "0")
        check(count > 0, "the marker counts %r new lines" % marker.description)
        z.key("End")
        wait_for("the marker to go", lambda: not Zorvane.has_state(marker, pyatspi.STATE_SHOWING),
                 timeout=5)
        wait_for("the list to follow", lambda: (top_line() or "").startswith("stream"),
                 timeout=5)
    finally:
        stream.stop()
    s.module.drain()
    s.exit(z)


def list_menu(s):
    """Lines dragged over with the left button become the X primary selection, which a middle
    click pastes into the send box. The list's pop-up menu, opened with the real right button,
    is found on the bus under the window and its items work from there."""
    z = s.start()
    s.module.read_until(RESET_LINE)
    os.write(s.module.master, b"one\rtwo\r")
    terminal = z.find("Terminal", "list")
    wait_for("the two lines", lambda: terminal.childCount >= 3)

    # The send box emptied first: selecting its text would make that the primary selection.
    edit = z.find("Send text", "text")
    z.click(edit)
    z.key("ctrl+a", "BackSpace")
    first = z.find("one", within=terminal)
    second = z.find("two", within=terminal)
    fx, fy, fw, fh = Zorvane.extents(first)
    sx, sy, sw, sh = Zorvane.extents(second)
    move_mouse(fx + 10, fy + fh // 2)
    xdotool("mousedown", "1")
    xdotool("mousemove", "--sync", fx + 20, (fy + sy + sh) // 2)
    xdotool("mousemove", "--sync", sx + 30, sy + sh // 2)
    xdotool("mouseup", "1")
    ex, ey, ew, eh = Zorvane.extents(edit)
    move_mouse(ex + ew // 2, ey + eh // 2)
    xdotool("click", "2")
    wait_for("the dragged lines pasted by the middle button",
             lambda: "one" in Zorvane.text(edit) and "two" in Zorvane.text(edit), timeout=5)
    check(s.module.drain() == b"", "the drag or the paste sent something")
    menu = z.find("Terminal menu", "popup menu")
    check(not Zorvane.has_state(menu, pyatspi.STATE_SHOWING), "the menu shows before a click")
    x, y, w, h = Zorvane.extents(terminal)
    move_mouse(x + 30, y + 10)
    xdotool("click", "3")
    wait_for("the menu to open", lambda: Zorvane.has_state(menu, pyatspi.STATE_SHOWING), timeout=5)
    Zorvane.do_action(z.find("Clear", "menu item", within=menu), "Press", "Click")
    wait_for("the list to empty", lambda: terminal.childCount <= 1, timeout=5)
    s.exit(z)


def profile_twice(s):
    """Two instances of one profile: the captions name it, the second says it will not save
    and names the first on the port the first holds, and the file keeps the first's state
    although the second showed a toolbar and ended last."""
    first = s.start("--profile", "central")
    s.module.read_until(RESET_LINE)
    wait_for("the profile in the first caption", lambda: visible_windows(
        first.proc.pid, "^Zorvane COM1 115200 8N1- Online - central$"))

    second = s.start("--profile", "central")
    reason = wait_for("the reason the port did not open", lambda: pyatspi.findDescendant(
        second.app, lambda a: a is not None and a.getRoleName() == "label"
        and "in use by Zorvane, profile central (process %d)" % first.proc.pid in a.name))
    ok = second.find("OK", "push button")
    Zorvane.do_action(ok, "Press", "Click")
    wait_for("the box to close", lambda: pyatspi.findDescendant(
        second.app, lambda a: a is not None and a == reason) is None)
    wait_for("the second caption", lambda: visible_windows(
        second.proc.pid, "^Zorvane COM1 - OffLine - central - settings not saved$"))
    second.find("Settings not saved: another Zorvane uses zv_settings-central.xml", "label")
    # The second window opens beside the first, not on top of it.
    fx, fy, _, _ = first.geometry()
    sx, sy, _, _ = second.geometry()
    check((sx - fx, sy - fy) == (30, 30),
          "the second window at %d,%d, the first at %d,%d" % (sx, sy, fx, fy))

    Zorvane.do_action(second.find("Show SPP Toolbar", "menu item"), "Press", "Click")
    s.exit(first)
    profile_file = os.path.join(s.home.docs, "zv_settings-central.xml")
    with open(profile_file, "rb") as f:
        saved = f.read()
    check(b"<spp>false</spp>" in saved and b"<com>1</com>" in saved, "first saved %r" % saved)
    s.exit(second)
    with open(profile_file, "rb") as f:
        check(f.read() == saved, "the second instance wrote the file")
    check(not os.path.exists(s.home.settings), "the default settings file was written")


def line_settings(s):
    """Parameters > "2 stop bits" reopens the port with two stop bits: the module is reset
    again, the status bar and caption say 8N2 and the device holds them; "1 stop bit" undoes
    it. "921600" and "RTS/CTS" reach the device the same way, and are undone."""
    z = s.start()
    s.module.read_until(RESET_LINE)
    for item, letters, two in (("2 stop bits", "8N2", True), ("1 stop bit", "8N1", False)):
        Zorvane.do_action(z.find(item, "menu item"), "Press", "Click")
        s.module.read_until(RESET_LINE)
        status = "COM1 115200 %s- Online" % letters
        wait_for("the status %r" % status, lambda: pyatspi.findDescendant(
            z.app, lambda a: a is not None and a.getRoleName() == "label" and a.name == status),
            timeout=5)
        wait_for("the caption with %s" % letters,
                 lambda: z.find_role("frame").name == "Zorvane " + status, timeout=5)
        held = bool(termios.tcgetattr(s.module.slave)[2] & termios.CSTOPB)
        check(held == two, "after %r the device holds two stop bits: %s" % (item, held))
    # The fast rates and the flow control, after the menu's own groups.
    for item, rate, speed, rtscts in (("921600", 921600, termios.B921600, False),
                                      ("RTS/CTS", 921600, termios.B921600, True),
                                      ("No Flow Control", 921600, termios.B921600, False),
                                      ("115200", 115200, termios.B115200, False)):
        Zorvane.do_action(z.find(item, "menu item"), "Press", "Click")
        s.module.read_until(RESET_LINE)
        status = "COM1 %d 8N1- Online" % rate
        wait_for("the caption %r" % status,
                 lambda: z.find_role("frame").name == "Zorvane " + status, timeout=5)
        attrs = termios.tcgetattr(s.module.slave)
        check(attrs[5] == speed, "after %r the device runs at speed constant %r" % (item, attrs[5]))
        held = bool(attrs[2] & termios.CRTSCTS)
        check(held == rtscts, "after %r the device holds RTS/CTS: %s" % (item, held))
    s.exit(z)


def send_bytes(s):
    """The "Line end" box chosen with the keyboard and the "Bytes" box toggled from the
    accessibility bus send exactly the bytes meant; a text that is not bytes sends nothing;
    both choices are saved."""
    z = s.start()
    s.module.read_until(RESET_LINE)
    # A roomy window, as a person would give it.
    xdotool("windowsize", str(z.window), "1250", "600")
    line_end = z.find_labelled("Line end", "combo box")
    wait_for("the Line end box on screen",
             lambda: Zorvane.has_state(line_end, pyatspi.STATE_SHOWING))
    # A click opens the box's list; Escape closes it and leaves the box with the focus.
    z.click(line_end)
    time.sleep(0.5)
    z.key("Escape")
    wait_for("Line end focused", lambda: Zorvane.has_state(line_end, pyatspi.STATE_FOCUSED))
    # Module, CR, LF, CR LF: three steps down.
    z.key("Home", "Down", "Down", "Down")
    edit = z.find("Send text", "text")
    for typed, expected in (("AT", b"AT\r\n"), ("AT+GMR", b"AT+GMR\r\n")):
        z.click(edit)
        z.key("ctrl+a", "BackSpace")
        z.type(typed)
        z.key("Return")
        got = s.module.drain()
        check(got == expected, "typed %r with CR LF: module received %r" % (typed, got))

    Zorvane.do_action(z.find("Bytes", "check box"), "Toggle", "Press")
    for typed, expected in (('01 ff 0x0A "AT" 0d', b"\x01\xff\x0aAT\r"), ("0g", b"")):
        z.click(edit)
        z.key("ctrl+a", "BackSpace")
        z.type(typed)
        z.key("Return")
        got = s.module.drain()
        check(got == expected, "typed %r as bytes: module received %r" % (typed, got))
    edit = z.find("Send text", "text")
    check(edit.description == "0g: not a hexadecimal byte, at character 1",
          "the bad text is described as %r" % edit.description)
    s.exit(z)
    root = ET.parse(s.home.settings).getroot()
    saved = (root.findtext("Options/lineend"), root.findtext("Options/sendbytes"))
    check(saved == ("CR LF", "true"), "line end and bytes mode saved as %r" % (saved,))


def modem_lines(s):
    """The Modem lines toolbar, shown from Options, names its lines for a screen reader and
    says a pseudo-terminal's are unavailable; a real click on DTR sends the module nothing and
    the toolbar says the device refused it; a long reset sequence is stopped by the button it
    turns into. Its visibility is saved."""
    z = s.start()
    s.module.read_until(RESET_LINE)
    Zorvane.do_action(z.find("Show Modem Lines ToolBar", "menu item"), "Press", "Click")
    bar = z.find("Modem lines", "tool bar")
    dtr = z.find("DTR", within=bar)
    wait_for("the Modem lines toolbar shown", lambda: Zorvane.has_state(dtr, pyatspi.STATE_SHOWING))
    for name in ("DTR", "RTS", "CTS", "DSR", "DCD", "RI"):
        line = z.find(name, within=bar)
        check(line.description == "unavailable",
              "%s describes itself as %r" % (name, line.description))
        check(not Zorvane.has_state(line, pyatspi.STATE_CHECKED), "%s shows checked" % name)
    z.click(dtr)
    # The answer is in the status bar, in view at the first-start size.
    status = z.find("Modem lines status")
    wait_for("the status to say DTR failed",
             lambda: status.description == "DTR failed: the device cannot set it", timeout=5)
    check(Zorvane.has_state(status, pyatspi.STATE_SHOWING), "the answer is not in view")
    check(not Zorvane.has_state(dtr, pyatspi.STATE_CHECKED), "DTR shows checked after the click")
    got = s.module.drain()
    check(got == b"", "clicking DTR sent %r" % got)
    # A reset sequence that would wait a minute is stopped by the button it turns into; wide
    # enough that the toolbar shows its field and button rather than its "»" button.
    xdotool("windowsize", str(z.window), "1400", "600")
    field = z.find("Reset sequence", within=bar)
    wait_for("the Reset sequence field on screen",
             lambda: Zorvane.has_state(field, pyatspi.STATE_SHOWING))
    z.click(field)
    z.type("60000D")
    reset = z.find("Reset module", within=bar)
    wait_for("Reset module enabled", lambda: Zorvane.has_state(reset, pyatspi.STATE_ENABLED),
             timeout=5)
    z.click(reset)
    stop = z.find("Stop reset sequence", within=bar, timeout=5)
    check(status.description == "Reset...", "the status while resetting is %r" % status.description)
    z.click(stop)
    wait_for("the status to say the reset stopped",
             lambda: status.description == "Reset stopped", timeout=5)
    z.find("Reset module", within=bar, timeout=5)
    s.exit(z)
    saved = ET.parse(s.home.settings).getroot().findtext("Toolbars/modem")
    check(saved == "true", "the toolbar saved as %r" % saved)


def pin_port(s):
    """COM > "Pin Port..." pins a number to a second pseudo-terminal typed into its dialog with
    real keys: the link is made, the port opens and the module there is reset."""
    z = s.start()
    s.module.read_until(RESET_LINE)
    other = Module()
    try:
        Zorvane.do_action(z.find("Pin Port...", "menu item"), "Press", "Click")
        for name, text in (("Port number", "75"), ("Device or address", other.path)):
            field = z.find(name, "text")
            z.click(field)
            z.key("ctrl+a", "BackSpace")
            z.type(text)
            wait_for("%r to hold %r" % (name, text), lambda: Zorvane.text(field) == text)
        z.click(z.find("OK", "push button"))
        other.read_until(RESET_LINE)
        status = "COM75 115200 8N1- Online"
        wait_for("the caption %r" % status,
                 lambda: z.find_role("frame").name == "Zorvane " + status, timeout=5)
        link = os.readlink(os.path.join(s.home.ports, "COM75"))
        check(link == other.path, "COM75 leads to %r" % link)
        s.exit(z)
    finally:
        other.close()


def send_file(s):
    """File > "Send File..." from the accessibility bus, the dialog filled with real keys: a
    file that is not there is refused in the dialog, then the text lines reach the module with
    the port's line end and the choices are kept in the settings file."""
    z = s.start()
    s.module.read_until(RESET_LINE)
    path = os.path.join(s.home.path, "setup.txt")
    with open(path, "wb") as f:
        f.write(b"AT\nATI\n")

    Zorvane.do_action(z.find("Send File...", "menu item"), "Press", "Click")
    # The main window has a "Send" button of its own: the dialog's controls are looked up in it.
    dialog = z.find("Send File", "dialog")
    field = z.find("File", "text", within=dialog)
    z.click(field)
    z.key("ctrl+a", "BackSpace")
    z.type(path + ".missing")
    z.click(z.find("Send", "push button", within=dialog))
    z.find_role("label", lambda a: "does not exist" in a.name, within=dialog)
    got = s.module.drain()
    check(got == b"", "a missing file sent %r" % got)

    z.click(field)
    z.key("ctrl+a", "BackSpace")
    z.type(path)
    delay = z.find("Line delay (ms)", "spin button", within=dialog)
    z.click(delay)
    z.key("ctrl+a")
    z.type("50")
    z.click(z.find("Send", "push button", within=dialog))
    got = s.module.read_until(b"AT\rATI\r")
    check(got.endswith(b"AT\rATI\r"), "the module received %r" % got)
    s.exit(z)
    saved = ET.parse(s.home.settings).getroot().findtext("SendFile/linedelay")
    check(saved == "50", "the line delay saved as %r" % saved)
def script_dock(s):
    """zorvane --script FILE runs the script once the port is open; the Script dock says what
    it waits for and that it passed, and shows its output; the list still gets the lines."""
    script = os.path.join(s.home.path, "answer.lua")
    with open(script, "w") as f:
        f.write("zv.sendline('AT')\nlocal i = zv.expect({'OK', 'ERROR'}, 20000)\n"
                "zv.log('answer', i)\n")
    z = s.start("--script", script)
    s.module.read_until(b"AT\r")
    state = z.find("Script state", "label")
    wait_for("the dock to say what the script waits for",
             lambda: state.description.startswith('Waiting for expect "OK" or "ERROR"'))
    os.write(s.module.master, b"OK\r\n")
    wait_for("the dock to say the script passed", lambda: state.description == "Passed")
    output = z.find("Script output", "text")
    check(Zorvane.text(output).startswith("answer\t1"),
          "the dock's output shows %r" % Zorvane.text(output))
    s.exit(z)


SCENARIOS = {
    "pin_port": (pin_port, True),
    "send_file": (send_file, True),
    "script_dock": (script_dock, True),
    "modem_lines": (modem_lines, True),
    "hold_while_streaming": (hold_while_streaming, True),
    "send_box": (send_box, True),
    "mux_box": (mux_box, True),
    "window_place": (window_place, True),
    "window_place_without_wm": (window_place_without_wm, False),
    "keyboard_menus": (keyboard_menus, True),
    "keyboard_toolbars": (keyboard_toolbars, True),
    "list_menu": (list_menu, True),
    "profile_twice": (profile_twice, True),
    "line_settings": (line_settings, True),
    "send_bytes": (send_bytes, True),
}


def main():
    if len(sys.argv) != 3 or sys.argv[2] not in SCENARIOS:
        sys.stderr.write(__doc__ + "\nScenarios: " + ", ".join(SCENARIOS) + "\n")
        return 2
    binary, name = os.path.abspath(sys.argv[1]), sys.argv[2]
    if not os.environ.get("DISPLAY"):
        sys.stderr.write("no DISPLAY: run under xvfb-run\n")
        return 2
    scenario, with_wm = SCENARIOS[name]
    s = Session(binary, window_manager=with_wm)
    failed = True
    try:
        scenario(s)
        failed = False
    except Failure as e:
        sys.stderr.write("FAIL %s: %s\n" % (name, e))
    finally:
        s.close(failed)
    if not failed:
        print("PASS", name)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
