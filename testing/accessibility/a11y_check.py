#!/usr/bin/python3
"""What a screen reader finds in the suite's windows.

Starts a private X session (Xvfb, openbox), a private session bus with the
accessibility bus of at-spi2-core, and one program of the suite with Qt's
accessibility bridge on, on private folders (home, XDG folders, settings
store, desktop bus) and the silent wave device. It opens each of the
program's windows as a user would (through the controls' own actions or the
keyboard), walks every control of each through AT-SPI, as Orca does, and
checks:
  - every focusable control has a name that says something (letters, not
    only "..."; not one of Qt's English button texts);
  - every list, progress bar and status-bar field has a name too;
  - a control with a value that a label beside it shows as a number (the
    speed slider) has that number as its value;
  - every window has the role of a window or a dialog;
  - where one letter serves two items, pressing it again reaches the other,
    and a property sheet's pages change with Ctrl+Tab and Ctrl+PgDn from
    every control;
  - no letter serves two items of a window or menu the walk opened (as the
    program reports them through the vokarkeys plugin, --keys-plugins)
    unless a key test reached both by pressing it again.
It prints a table (controls, named, unnamed) per window and per program.

A window's known faults are listed in known-gaps.txt (window, role, count
of unnamed controls of that role); a test fails on a fault that is not
listed, and on a listed one that is gone, so that the list only ever
shrinks.

  a11y_check.py --bin BUILD/bin --data BUILD/share/vokar PROGRAM [--report FILE]
  a11y_check.py --self-test   (the checks on made-up controls)

Exit status: 0 all well, 1 faults found, 2 the session could not be set up.
"""

import argparse
import collections
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))

# Qt's own button texts when no Polish translation is loaded.
ENGLISH_TEXTS = {
    "Yes", "No", "Cancel", "Close", "Apply", "Open", "Save", "Help", "Abort", "Retry",
    "Ignore", "Discard", "Reset", "Restore Defaults", "Yes to All", "No to All", "Save All",
}

# Roles that must carry a name even when the control takes no focus.
NAMED_ROLES = {"list", "list box", "progress bar", "tree", "table", "slider", "status bar"}

WINDOW_ROLES = {"frame", "dialog", "window", "alert", "file chooser"}


def says_something(name):
    """A name a user can act on: it holds letters or figures, not only dots."""
    name = (name or "").strip()
    return bool(name) and any(c.isalnum() for c in name)


def name_fault(role, name):
    """Why a control's name does not do, or None."""
    if not says_something(name):
        return "no name" if not (name or "").strip() else "a name that says nothing (%r)" % name
    if name.replace("&", "").strip() in ENGLISH_TEXTS:
        return "an English name (%r)" % name
    return None


NUMBER = re.compile(r"^\s*([+\-\u2212]?\s*\d+)\s*%?\s*$")


def shown_number(text):
    """The number a label shows ("+2", "-30", "2 %"), or None."""
    match = NUMBER.match(text or "")
    if not match:
        return None
    return int(match.group(1).replace("\u2212", "-").replace(" ", ""))


def value_fault(value, shown):
    """Why a control's value differs from what its label shows, or None."""
    if shown is None or value is None:
        return None
    if int(round(value)) != shown:
        return "its value is %s, the screen shows %+d" % (value, shown)
    return None


def slider_fault(value, numbers):
    """Why a slider's value differs from the one number a label beside it
    shows, or None. Without exactly one such label there is nothing to
    compare with: that is a fault too, not a pass."""
    if value is None:
        return "it offers no value"
    if len(numbers) != 1:
        return "no label beside it shows its value as one number (found %s)" % (numbers or "none")
    return value_fault(value, numbers[0])


def spin_fault(value, text):
    """Why a spin box's value differs from the number it shows, or None."""
    if value is None:
        return "it offers no value"
    shown = shown_number(text)
    if shown is None:
        return "its text %r shows no number" % text
    return value_fault(value, shown)


def combo_fault(name, items, shown):
    """Why what a screen reader reads as a combo box's value (its name)
    differs from the text it shows, or None. `shown` is None where the
    program did not say what it shows."""
    if shown is None:
        return "the text it shows was not reported"
    if name != shown:
        return "it reads %r, the screen shows %r" % (name, shown)
    if items and name not in items:
        return "it reads %r, which is none of its items" % name
    return None


def reported_value(values, role, extents):
    """The text the program reported for its control of that role at those
    extents (x, y from its window's corner, width, height; the middle within
    3 pixels), or None."""
    x, y, width, height = extents
    middle = (x + width / 2, y + height / 2)
    for value in values:
        if value.get("role") != role:
            continue
        vx, vy, vw, vh = value.get("rect", (0, 0, 0, 0))
        if abs(vx + vw / 2 - middle[0]) <= 3 and abs(vy + vh / 2 - middle[1]) <= 3:
            return value.get("text")
    return None


def mnemonic(text):
    """The letter a caption is reached by ("Pomo&c..." -> "c"; "&&" is a
    plain "&"), lower case, or None."""
    text = text or ""
    at = 0
    while True:
        at = text.find("&", at)
        if at < 0 or at + 1 >= len(text):
            return None
        if text[at + 1] == "&":
            at += 2
            continue
        letter = text[at + 1]
        return letter.lower() if not letter.isspace() else None


def caption_name(text):
    """A caption as a screen reader names it: the mnemonic's "&" dropped."""
    return (text or "").replace("&&", "\0").replace("&", "").replace("\0", "&")


def mnemonic_clashes(items):
    """The letters that serve more than one caption of one window or menu:
    {letter: [names]}. A disabled item counts: it keeps its letter and is
    enabled again later."""
    by_letter = collections.OrderedDict()
    for item in items:
        letter = mnemonic(item.get("text"))
        if letter:
            by_letter.setdefault(letter, []).append(caption_name(item["text"]))
    return {letter: names for letter, names in by_letter.items() if len(names) > 1}


def clash_fault(names, cycled):
    """Why a clash does not do, or None when a key test reached every one
    of its items by pressing the letter again (`cycled`: the item sets the
    key tests of the run reached in full)."""
    if any(set(names) <= reached for reached in cycled):
        return None
    return "one letter for %s: neither reached by pressing it again (keys_reach) nor given another letter" % \
        ", ".join(repr(n) for n in names)


# -- the session ------------------------------------------------------------

class Session:
    """Xvfb, openbox and the accessibility bus, all ended with the session."""

    def __init__(self, folder):
        self.folder = folder
        self.processes = []
        # The session's own home: openbox, the accessibility bus, dconf and
        # this process's own libraries keep their caches and settings there,
        # never in the home of the one who runs the test.
        home = os.path.join(folder, "session-home")
        for name, path in (("HOME", home),
                           ("XDG_CONFIG_HOME", os.path.join(home, ".config")),
                           ("XDG_CACHE_HOME", os.path.join(home, ".cache")),
                           ("XDG_DATA_HOME", os.path.join(home, ".local", "share")),
                           ("XDG_STATE_HOME", os.path.join(home, ".local", "state"))):
            os.makedirs(path, mode=0o700, exist_ok=True)
            os.environ[name] = path
        read, write = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24",
                                 "-nolisten", "tcp"], pass_fds=(write,),
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        self.processes.append(xvfb)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read, 1)
            if not chunk:
                break
            number += chunk
        os.close(read)
        if not number.strip():
            raise RuntimeError("Xvfb did not start")
        self.display = ":" + number.decode().strip()
        os.environ["DISPLAY"] = self.display
        self.processes.append(subprocess.Popen(["openbox"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        self.wait_for_window_manager()
        self.processes.append(subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        time.sleep(0.5)

    def wait_for_window_manager(self):
        deadline = time.time() + 20
        while time.time() < deadline:
            out = subprocess.run(["xprop", "-root", "_NET_CLIENT_LIST"], capture_output=True, text=True).stdout
            if "_NET_CLIENT_LIST" in out and "not found" not in out:
                return
            time.sleep(0.1)

    def close(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(5)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()


def private_environment(folder, data):
    """The program's environment: everything of the machine left out."""
    env = {k: v for k, v in os.environ.items() if not k.startswith(("XDG_", "VOKAR_", "QT_"))}
    home = os.path.join(folder, "home")
    paths = {
        "HOME": home,
        "XDG_CONFIG_HOME": os.path.join(home, ".config"),
        "XDG_DATA_HOME": os.path.join(home, ".local", "share"),
        "XDG_CACHE_HOME": os.path.join(home, ".cache"),
        "XDG_STATE_HOME": os.path.join(home, ".local", "state"),
        "XDG_RUNTIME_DIR": os.path.join(folder, "run"),
        "XDG_DATA_DIRS": os.path.join(folder, "share"),
        "XDG_CONFIG_DIRS": os.path.join(folder, "etc"),
        "VOKAR_REGISTRY_DIR": os.path.join(folder, "registry"),
        "VOKAR_CONFIG_DIR": os.path.join(folder, "config"),
        "VOKAR_DESKTOP_DIR": os.path.join(folder, "desktop"),
        "VOKAR_MSGBOX_LOG": os.path.join(folder, "messages.log"),
    }
    for name, path in paths.items():
        # The message log is a file the programs write, not a folder.
        if name != "VOKAR_MSGBOX_LOG":
            os.makedirs(path, mode=0o700, exist_ok=True)
    env.update(paths)
    env["VOKAR_DATA_DIR"] = data
    env["VOKAR_WAVEOUT"] = "null"
    env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
    env["QT_ACCESSIBILITY"] = "1"
    env["LANG"] = "C.UTF-8"
    return env


# -- the walk ---------------------------------------------------------------

def role_of(accessible):
    try:
        return accessible.getRoleName()
    except Exception:
        return "?"


def children_of(accessible):
    try:
        return [accessible.getChildAtIndex(i) for i in range(accessible.childCount)]
    except Exception:
        return []


def state_has(accessible, state):
    try:
        return accessible.getState().contains(state)
    except Exception:
        return False


def current_value(accessible):
    try:
        return accessible.queryValue().currentValue
    except Exception:
        return None


def text_of(accessible):
    try:
        return accessible.queryText().getText(0, -1)
    except Exception:
        return None


class Finding:
    def __init__(self, window, role, name, fault):
        self.window, self.role, self.name, self.fault = window, role, name, fault

    def __str__(self):
        return "%s: %s %r: %s" % (self.window, self.role, self.name, self.fault)


class WindowReport:
    """The controls of one window as one walk found them, by their place."""

    def __init__(self, title, role):
        self.title, self.role = title, role
        self.controls = collections.OrderedDict()  # path -> [role, name, faults]

    def add(self, path, role, name, fault=None):
        entry = self.controls.setdefault(path, [role, name, []])
        if fault:
            entry[2].append(fault)

    def merge(self, other):
        for path, (role, name, faults) in other.controls.items():
            entry = self.controls.setdefault(path, [role, name, []])
            for fault in faults:
                if fault not in entry[2]:
                    entry[2].append(fault)

    @property
    def counted(self):
        # The window itself and the key presses tried in it are no controls.
        return [(path, e) for path, e in self.controls.items()
                if path != "window" and e[0] not in ("mnemonic", "page key", "mnemonic clash")]

    @property
    def named(self):
        return sum(1 for _, (role, name, faults) in self.counted if name_fault(role, name) is None)

    @property
    def findings(self):
        return [Finding(self.title, role, name, "; ".join(faults))
                for _, (role, name, faults) in self.controls.items() if faults]


SCREENS = {"folder": None, "count": 0}
# The vokarkeys plugin's log and the process of the program under test.
KEYS = {"log": None, "pid": None}


def reported_text(title, role, extents, expected, timeout=5):
    """The text the program's control of that role and place in its window
    of that title shows, as the program last reported it. The report is
    written from the program's event loop, a moment after a change: it is
    read again until it says `expected` or the time is up, so that a busy
    machine gives no stale answer."""
    deadline = time.time() + timeout
    while True:
        shown = None
        for record in keys_records(KEYS["log"], KEYS["pid"], distinct=False):
            if record.get("kind") == "window" and record.get("title") == title:
                shown = reported_value(record.get("values", []), role, extents)
        if shown == expected or time.time() > deadline:
            return shown
        time.sleep(0.3)


def screenshot(title):
    """The screen as the walked window left it, when --screens asks."""
    if not SCREENS["folder"]:
        return
    SCREENS["count"] += 1
    name = re.sub(r"[^A-Za-z0-9]+", "-", title).strip("-") or "window"
    path = os.path.join(SCREENS["folder"], "%02d-%s.png" % (SCREENS["count"], name))
    subprocess.run(["import", "-window", "root", path], check=False, capture_output=True, timeout=30)


def walk_window(pyatspi, window):
    """Every control of a window that a screen reader reaches, checked."""
    title = window.name or "(no title)"
    screenshot(title)
    report = WindowReport(title, role_of(window))
    if report.role not in WINDOW_ROLES:
        report.add("window", report.role, title, "the window's role is %r" % report.role)

    def visit(accessible, path, labels):
        role = role_of(accessible)
        if not state_has(accessible, pyatspi.STATE_SHOWING):
            return
        kids = children_of(accessible)
        focusable = state_has(accessible, pyatspi.STATE_FOCUSABLE)
        in_status_bar = role == "label" and "status bar" in labels.get("ancestors", ())
        # The fields of a list or a menu are items, not controls of their own.
        counted = (focusable and role not in ("list item", "table cell", "menu item", "page tab")) \
            or role in NAMED_ROLES or in_status_bar
        if counted:
            report.add(path, role, accessible.name, name_fault(role, accessible.name))
            if role == "slider":
                report.add(path, role, accessible.name,
                           slider_fault(current_value(accessible), labels.get("numbers", [])))
            elif role == "spin button":
                report.add(path, role, accessible.name, spin_fault(current_value(accessible), text_of(accessible)))
            elif role == "combo box" and KEYS["log"]:
                items = [item.name for child in kids if role_of(child) == "list"
                         for item in children_of(child) if item is not None]
                # Where it is in its window, as the program reports it: both
                # places asked of the program now, so a move of the window
                # after the report does not matter.
                try:
                    x, y, width, height = accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
                    wx, wy, _, _ = window.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
                    extents = (x - wx, y - wy, width, height)
                except Exception:
                    extents = (0, 0, 0, 0)
                shown = reported_text(title, role, extents, accessible.name, timeout=15)
                report.add(path, role, accessible.name, combo_fault(accessible.name, items, shown))
        # Labels showing a number belong to the controls of their panel.
        numbers = [shown_number(child.name) for child in kids if role_of(child) == "label"]
        numbers = [n for n in numbers if n is not None]
        inner = dict(labels)
        if numbers:
            inner["numbers"] = numbers
        inner["ancestors"] = tuple(labels.get("ancestors", ())) + (role,)
        for index, child in enumerate(kids):
            visit(child, path + "/%d" % index, inner)

    for index, child in enumerate(children_of(window)):
        visit(child, "%d" % index, {})
    return report


# -- programs and their windows ---------------------------------------------

class Program:
    """A running program of the suite and its windows on the desktop."""

    def __init__(self, pyatspi, command, env, folder, name, process=None):
        self.pyatspi = pyatspi
        self.name = name
        # The sets of items a key test reached in full by pressing one letter again.
        self.cycled = []
        self.log = open(os.path.join(folder, name + ".out"), "w")
        self.process = process or subprocess.Popen(command, env=env, cwd=folder, stdout=self.log,
                                                   stderr=subprocess.STDOUT, start_new_session=True)

    def application(self, timeout=30):
        deadline = time.time() + timeout
        while time.time() < deadline:
            desktop = self.pyatspi.Registry.getDesktop(0)
            for app in children_of(desktop):
                try:
                    if app is not None and app.get_process_id() == self.process.pid:
                        return app
                except Exception:
                    continue
            if self.process.poll() is not None:
                raise RuntimeError("%s ended with %s" % (self.name, self.process.returncode))
            time.sleep(0.2)
        raise RuntimeError("%s never appeared on the accessibility bus" % self.name)

    def windows(self):
        app = self.application()
        return [w for w in children_of(app) if w is not None and state_has(w, self.pyatspi.STATE_SHOWING)]

    def window(self, title, timeout=20):
        """The showing window whose title matches, waited for."""
        deadline = time.time() + timeout
        pattern = re.compile(title)
        seen = []
        while time.time() < deadline:
            try:
                seen = self.windows()
            except RuntimeError:
                raise
            for window in seen:
                if pattern.search(window.name or ""):
                    return window
            time.sleep(0.2)
        raise RuntimeError("no window %r of %s; showing: %s" % (title, self.name, [w.name for w in seen]))

    def end(self):
        if self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGTERM)
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                os.killpg(self.process.pid, signal.SIGKILL)
                self.process.wait()
        self.log.close()


def showing(accessible):
    try:
        import pyatspi
        return accessible.getState().contains(pyatspi.STATE_SHOWING)
    except Exception:
        return False


def find(pyatspi, root, role=None, name=None, timeout=10):
    """The first showing descendant of that role whose name matches."""
    pattern = re.compile(name) if name else None
    deadline = time.time() + timeout
    while True:
        stack = [root]
        while stack:
            accessible = stack.pop(0)
            if accessible is None:
                continue
            # What is not on the screen (a page behind another) is not there for a user.
            if accessible is not root and not showing(accessible):
                continue
            if (role is None or role_of(accessible) == role) and \
                    (pattern is None or pattern.search((accessible.name or "").replace("&", ""))) and \
                    accessible is not root:
                return accessible
            stack.extend(children_of(accessible))
        if time.time() > deadline:
            raise RuntimeError("no %s %r in %r" % (role, name, root.name))
        time.sleep(0.2)


def press(pyatspi, root, role, name):
    """Presses a control as a screen reader's user does: its first action."""
    control = find(pyatspi, root, role, name)
    action = control.queryAction()
    action.doAction(0)
    return control


def key(*keys):
    subprocess.run(["xdotool", "key", "--clearmodifiers"] + list(keys), check=False)


def activate(window_title):
    """Brings the window of that title to the front, when the window manager
    will; the keys then go to it."""
    try:
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", window_title],
                               capture_output=True, text=True, timeout=10).stdout.split()
        if found:
            subprocess.run(["xdotool", "windowactivate", found[-1]], capture_output=True, timeout=10)
            time.sleep(0.3)
    except subprocess.TimeoutExpired:
        pass


# Each program: how it is started and how each of its windows is reached.
# A step is a function of (pyatspi, program) that returns the windows to
# walk; every window it opens it closes again.

def main_window(title):
    def step(pyatspi, program):
        return [program.window(title)]
    return step


def dialog_from_button(owner, button, title, close_keys=("Escape",)):
    def step(pyatspi, program):
        window = program.window(owner)
        press(pyatspi, window, "push button", button)
        dialog = program.window(title)
        report = walk_window(pyatspi, dialog)
        activate(title)
        key(*close_keys)
        time.sleep(0.5)
        return [report]
    return step


def slider_moved(owner, keys):
    """The window with its slider moved from the keyboard, so that the
    value a screen reader reads is not the middle one."""
    def step(pyatspi, program):
        window = program.window(owner)
        slider = find(pyatspi, window, "slider")
        activate(owner)
        slider.queryComponent().grabFocus()
        time.sleep(0.3)
        key(*keys)
        time.sleep(0.5)
        return [window]
    return step


def focused_names(pyatspi, program):
    """The names of what has the focus in the program: a control, a menu and its item."""
    names = set()
    stack = [program.application()]
    while stack:
        accessible = stack.pop()
        if accessible is None:
            continue
        # An item of a list that has no focus may still say it is focused.
        if state_has(accessible, pyatspi.STATE_FOCUSED) and role_of(accessible) != "list item":
            names.add((accessible.name or "").replace("&", ""))
        stack.extend(children_of(accessible))
    return names


def keys_reach(owner, keys, items, tab=None):
    """Where one letter serves two items, pressing it again moves on to the
    next: the keys, pressed one by one, must bring the focus to every item."""
    def step(pyatspi, program):
        window = program.window(owner)
        if tab:
            press(pyatspi, window, "page tab", tab)
        activate(owner)
        reached = set()
        for combination in keys:
            before = focused_names(pyatspi, program)
            key(combination)
            # The focus moves when the toolkit has handled the key: wait for
            # it (a loaded machine may take a while), then go on.
            deadline = time.time() + (1 if combination == "Escape" else 5)
            now = before
            while now == before and time.time() < deadline:
                time.sleep(0.2)
                now = focused_names(pyatspi, program)
            reached |= now
        report = WindowReport(window.name, role_of(window))
        for item in items:
            report.add("keys %s: %s" % (" ".join(keys), item), "mnemonic", item,
                       None if item in reached else "%s never reached %r" % (" ".join(keys), item))
        if all(item in reached for item in items):
            program.cycled.append(set(items))
        return [report]
    return step


def system_menu(owner):
    """The window's own menu (Shift+F10), opened so that the program reports
    its items and their letters, then closed."""
    def step(pyatspi, program):
        program.window(owner)
        activate(owner)
        key("shift+F10")
        time.sleep(0.8)
        key("Escape")
        time.sleep(0.3)
        return []
    return step


def keys_records(log, pid, distinct=True):
    """What the program reported of its windows and menus (the vokarkeys
    plugin): every distinct record of that process, in order of their first
    report; with distinct=False every record as it came, so that the last
    one of a window is what it shows now (a window may come back to a state
    it was in before)."""
    records, seen = [], set()
    try:
        with open(log, encoding="utf-8") as lines:
            for line in lines:
                try:
                    record = json.loads(line)
                except ValueError:
                    continue
                key_ = json.dumps(record, sort_keys=True)
                if record.get("pid") == pid and (not distinct or key_ not in seen):
                    seen.add(key_)
                    records.append(record)
    except OSError:
        pass
    return records


def keys_report(records, cycled):
    """One report per window and menu whose letters clash."""
    reports = collections.OrderedDict()
    for record in records:
        title = ("menu " if record.get("kind") == "menu" else "") + (record.get("title") or "(no title)")
        for letter, names in mnemonic_clashes(record.get("items", [])).items():
            report = reports.setdefault(title, WindowReport(title, "menu" if record.get("kind") == "menu" else "frame"))
            report.add("letter %s: %s" % (letter, " / ".join(names)), "mnemonic clash", "/".join(names),
                       clash_fault(names, cycled))
    return list(reports.values())


def selected_tab(pyatspi, window):
    """The name of the page a property sheet shows."""
    tabs = find(pyatspi, window, "page tab list")
    try:
        selection = tabs.querySelection()
        if selection.nSelectedChildren > 0:
            return selection.getSelectedChild(0).name
    except Exception:
        pass
    for tab in children_of(tabs):
        if state_has(tab, pyatspi.STATE_SELECTED):
            return tab.name
    return tabs.name


def focus_by_click(pyatspi, control, role):
    """Gives a control the focus as a user with a mouse would: a click on
    its middle (a combo box's list that opens is closed again)."""
    x, y, width, height = control.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    if role == "push button":
        # A click would press it: the focus comes from the accessibility call.
        control.queryComponent().grabFocus()
    else:
        subprocess.run(["xdotool", "mousemove", str(x + width // 2), str(y + height // 2), "click", "1"],
                       check=False, capture_output=True, timeout=10)
        time.sleep(0.4)
        if role == "combo box":
            key("Escape")
    time.sleep(0.4)


def page_keys(owner, cases):
    """The keys that change a property sheet's page work from every control:
    for each (page, control role, control name, key), with the focus on that
    control of that page, the key must bring another page; a control that
    shows a value must keep it."""
    def step(pyatspi, program):
        window = program.window(owner)
        report = WindowReport(window.name, role_of(window))
        for tab, role, name, combination in cases:
            press(pyatspi, window, "page tab", tab)
            time.sleep(0.3)
            control = find(pyatspi, window, role, name)
            focus_by_click(pyatspi, control, role)
            before_page = selected_tab(pyatspi, window)
            before_value = text_of(control) if role != "combo box" else control.name
            key(combination)
            deadline = time.time() + 3
            while selected_tab(pyatspi, window) == before_page and time.time() < deadline:
                time.sleep(0.2)
            after_page = selected_tab(pyatspi, window)
            after_value = text_of(control) if role != "combo box" else control.name
            fault = None
            if after_page == before_page:
                fault = "%s from %r on %r left the page as it was" % (combination, name, before_page)
            elif after_value != before_value:
                fault = "%s from %r changed it from %r to %r" % (combination, name, before_value, after_value)
            report.add("page keys %s %s" % (combination, name), "page key", name, fault)
        return [report]
    return step


def page(owner, tab):
    """A page of a property sheet: its tab pressed, the window walked."""
    def step(pyatspi, program):
        window = program.window(owner)
        press(pyatspi, window, "page tab", tab)
        time.sleep(0.3)
        return [window]
    return step


def dialog_from_keys(owner, keys, title, close_keys=("Escape",)):
    """A dialog that a key sequence opens (a menu item: a menu's action
    would keep the accessibility call waiting while the dialog runs)."""
    def step(pyatspi, program):
        program.window(owner)
        activate(owner)
        for combination in keys:
            key(combination)
            time.sleep(0.3)
        dialog = program.window(title)
        report = walk_window(pyatspi, dialog)
        activate(title)
        key(*close_keys)
        time.sleep(0.5)
        return [report]
    return step


def message_box(text, button):
    """A message box that shows `text`: walked, then answered."""
    def step(pyatspi, program):
        deadline = time.time() + 20
        while time.time() < deadline:
            for window in program.windows():
                try:
                    label = find(pyatspi, window, None, text, timeout=0)
                except RuntimeError:
                    continue
                report = walk_window(pyatspi, window)
                # Boxes share their program's title: the message tells them apart.
                report.title = "%s: %s" % (window.name, (label.name or "").split("\n")[0][:40].strip())
                press(pyatspi, window, "push button", button)
                time.sleep(0.5)
                return [report]
            time.sleep(0.3)
        raise RuntimeError("no message %r" % text)
    return step


def event_editor(owner):
    """horalo's event editor ("Edycja komunikatu"): opened by the Komunikaty
    page's add button and walked, given a text and accepted; then opened
    again by the edit button for the event just added, walked and closed."""
    def step(pyatspi, program):
        window = program.window(owner)
        press(pyatspi, window, "page tab", "^Komunikaty$")
        time.sleep(0.3)
        reports = []
        for button in ("^Dodaj$", "^Popraw$"):
            press(pyatspi, window, "push button", button)
            dialog = program.window("^Edycja komunikatu$")
            # Both walks are of one window: its controls count once.
            reports.append(walk_window(pyatspi, dialog))
            activate("^Edycja komunikatu$")
            if button == "^Dodaj$":
                # The text field has the focus; an event that repeats every
                # hour needs nothing more.
                subprocess.run(["xdotool", "type", "--delay", "20", "Komunikat testowy"], check=False)
                key("Return")
            else:
                key("Escape")
            deadline = time.time() + 10
            while time.time() < deadline and any(w.name == "Edycja komunikatu" for w in program.windows()):
                time.sleep(0.2)
            if any(w.name == "Edycja komunikatu" for w in program.windows()):
                raise RuntimeError("the event editor did not close after %s" % button)
        return reports
    return step


def typed_then_keys(owner, text, keys):
    """Text typed where the focus is in the window, then keys pressed (a
    step that opens what the next step walks)."""
    def step(pyatspi, program):
        program.window(owner)
        activate(owner)
        subprocess.run(["xdotool", "type", "--delay", "20", text], check=False)
        for combination in keys:
            before = focused_names(pyatspi, program)
            key(combination)
            # Each key means something only once the toolkit has handled the
            # one before it (a menu opened, an item chosen): wait for the
            # focus to move (a loaded machine may take a while).
            deadline = time.time() + 5
            while focused_names(pyatspi, program) == before and time.time() < deadline:
                time.sleep(0.2)
        return []
    return step


def removal_window():
    """The uninstaller's own window, not one of its boxes of the same title."""
    def step(pyatspi, program):
        deadline = time.time() + 20
        while time.time() < deadline:
            for window in program.windows():
                if window.name == "Usuwanie pakietu Vokar 1.1" and role_of(window) not in ("alert", "dialog"):
                    report = walk_window(pyatspi, window)
                    # Its status line says what it is doing: a screen reader
                    # must find it as text.
                    try:
                        find(pyatspi, window, "label", "^Sprawdzam uruchomione aplikacje", timeout=2)
                    except RuntimeError:
                        report.add("status line", "label", "",
                                   "the status line \"Sprawdzam uruchomione aplikacje ...\" is no label")
                    return [report]
            time.sleep(0.3)
        raise RuntimeError("the uninstaller's window did not show")
    return step

PROGRAMS = {
    "vokar": {
        "command": ["vokar", "/L-"],
        "steps": [
            slider_moved("^Vokar$", ["Up", "Up"]),
            dialog_from_button("^Vokar$", "^Info", "^Informacja o Vokar"),
            system_menu("^Vokar$"),
        ],
    },
    "horalo": {
        "command": ["horalo"],
        "server": True,
        "steps": [
            page("^Horalo$", "^Czas$"),
            # "&Co godzinę" and "Pomo&c...": Alt+C twice reaches both.
            keys_reach("^Horalo$", ["alt+c", "alt+c"], ["Co godzinę", "Pomoc..."], tab="^Czas$"),
            page("^Horalo$", "^Komunikaty$"),
            page("^Horalo$", "^Porady$"),
            page("^Horalo$", "^Klawisze skr"),
            # Ctrl+Tab and Ctrl+PgDn change the page wherever the focus is.
            page_keys("^Horalo$", [("^Porady$", "text", "^Prefiks", "ctrl+Tab"),
                                   ("^Czas$", "push button", "^Godzina$", "ctrl+Tab"),
                                   ("^Czas$", "push button", "^Koniec$", "ctrl+Next"),
                                   ("^Komunikaty$", "combo box", "", "ctrl+Next")]),
            event_editor("^Horalo$"),
            dialog_from_button("^Horalo$", "^Komunikaty", "Ważne komunikaty"),
            dialog_from_button("^Horalo$", "^Info", "^Informacja o Horalo"),
            system_menu("^Horalo$"),
        ],
    },
    "klavo": {
        "command": ["klavo"],
        "server": True,
        "steps": [
            main_window("^Klavo$"),
            dialog_from_button("^Klavo$", "^Info", "^Informacja"),
            system_menu("^Klavo$"),
        ],
    },
    "remarka": {
        "command": ["remarka"],
        "steps": [
            main_window("^Remarka"),
            # "V&okar" and "&Okno" in the menu bar, "&Czytaj" and "&Czcionka..."
            # in the Vokar menu: a second press moves on to the other.
            keys_reach("^Remarka", ["alt+o", "alt+o", "Escape", "Escape"], ["Vokar", "Okno"]),
            keys_reach("^Remarka", ["alt+o", "c", "c", "Escape", "Escape"], ["Czytaj", "Czcionka..."]),
            # "&Zamknij" and "&Zapisz" in the Plik menu.
            keys_reach("^Remarka", ["alt+p", "z", "z", "Escape", "Escape"], ["Zamknij", "Zapisz"]),
            dialog_from_keys("^Remarka", ["alt+c", "i"], "^Informacje o programie Remarka"),
            # A changed comment closed (Plik, Z to "Zamknij", Enter): the
            # question whether to save it, answered "Anuluj".
            typed_then_keys("^Remarka", "Komentarz", ["alt+p", "z", "Return"]),
            message_box("^Zapisać zmiany", "^Anuluj$"),
        ],
        "real_boxes": True,
    },
    "sievo": {
        "command": ["sievo"],
        "steps": [
            main_window("^Sievo$"),
            dialog_from_button("^Sievo$", "^Przeglądaj", "^Przeglądanie komputerów"),
            dialog_from_button("^Sievo$", "^Info", "^Informacja o Sievo"),
            system_menu("^Sievo$"),
        ],
    },
    # The uninstaller with a server running: it asks whether to go on, shows
    # its window and asks again while the server runs; the second answer is
    # "no", so nothing is removed.
    "vkremove": {
        "command": ["vkremove"],
        "server": True,
        "real_boxes": True,
        "steps": [
            message_box("^Czy na pewno", "^Tak$"),
            removal_window(),
            message_box("jest uruchomiony", "^Nie$"),
            message_box("zostało przerwane", "^OK$"),
        ],
    },
}


def untranslated_copy(program, folder, qt_paths):
    """The program run from a folder of the test's own whose qt.conf points
    Qt's translations at an empty folder: Qt loads no Polish translation, as
    where qt6-translations-l10n is not installed, so every Polish text the
    walk finds is the suite's own. (Qt reads qt.conf beside the program;
    the other paths are Qt's own, as the build found them.)"""
    bin_dir = os.path.join(folder, "untranslated")
    empty = os.path.join(folder, "no-translations")
    os.makedirs(bin_dir, exist_ok=True)
    os.makedirs(empty, exist_ok=True)
    copy = os.path.join(bin_dir, os.path.basename(program))
    try:
        os.link(program, copy)
    except OSError:
        shutil.copy2(program, copy)
    # The programs it starts from its own folder (vkinstall, the server) are
    # there too, as they are beside it in the build.
    origin = os.path.dirname(program)
    for name in os.listdir(origin):
        if not os.path.exists(os.path.join(bin_dir, name)):
            os.symlink(os.path.join(origin, name), os.path.join(bin_dir, name))
    with open(os.path.join(bin_dir, "qt.conf"), "w") as conf:
        conf.write("[Paths]\n")
        for line in qt_paths:
            conf.write(line + "\n")
        conf.write("Translations=%s\n" % empty)
    return copy


def run_program(name, bin_dir, data_dir, folder, qt_paths=None, keys_plugins=None):
    import pyatspi  # the session bus of this run must be up first
    spec = PROGRAMS[name]
    env = private_environment(folder, data_dir)
    keys_log = os.path.join(folder, "keys.log")
    if keys_plugins:
        env["QT_PLUGIN_PATH"] = keys_plugins
        env["QT_QPA_GENERIC_PLUGINS"] = "vokarkeys:" + keys_log
    env["PATH"] = bin_dir + os.pathsep + env.get("PATH", "/usr/bin:/bin")
    if spec.get("real_boxes"):
        del env["VOKAR_MSGBOX_LOG"]
    server = None
    if spec.get("server"):
        # The speech server the clients talk to, started as a user would;
        # the clients would start it themselves, a moment later.
        server = subprocess.Popen([os.path.join(bin_dir, "vokar"), "/L-"], env=env, cwd=folder,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        Program(pyatspi, None, env, folder, "vokar", server).window("^Vokar$")
    command = [os.path.join(bin_dir, spec["command"][0])] + spec["command"][1:]
    if qt_paths is not None:
        command[0] = untranslated_copy(command[0], folder, qt_paths)
    program = Program(pyatspi, command, env, folder, name)
    if keys_plugins:
        KEYS["log"], KEYS["pid"] = keys_log, program.process.pid
    reports = []
    try:
        for step in spec["steps"]:
            for window in step(pyatspi, program):
                reports.append(window if isinstance(window, WindowReport) else walk_window(pyatspi, window))
    finally:
        program.end()
        end_processes_of(env["VOKAR_DESKTOP_DIR"])
    if keys_plugins:
        records = keys_records(keys_log, program.process.pid)
        if not records:
            lost = WindowReport("(the keys)", "frame")
            lost.add("keys", "mnemonic clash", "", "%s reported no window's keys (the vokarkeys plugin)" % name)
            reports.append(lost)
        reports.extend(keys_report(records, program.cycled))
    return reports


def end_processes_of(desktop):
    """Ends what the program started on its private desktop (a speech server
    started detached): every process whose environment names that desktop."""
    marker = ("VOKAR_DESKTOP_DIR=" + desktop).encode() + b"\0"
    for round_ in range(10):
        pids = []
        for entry in os.listdir("/proc"):
            if not entry.isdigit() or int(entry) == os.getpid():
                continue
            try:
                with open("/proc/%s/environ" % entry, "rb") as environ:
                    if marker in environ.read():
                        pids.append(int(entry))
            except OSError:
                continue
        if not pids:
            return
        for pid in pids:
            try:
                os.kill(pid, signal.SIGTERM if round_ < 5 else signal.SIGKILL)
            except OSError:
                pass
        time.sleep(0.5)


# -- known gaps and the verdict ---------------------------------------------

def load_known_gaps(path, program):
    known = collections.Counter()
    if not os.path.exists(path):
        return known
    with open(path, encoding="utf-8") as lines:
        for line in lines:
            line = line.split("#", 1)[0].strip()
            if not line:
                continue
            fields = [f.strip() for f in line.split("|")]
            if len(fields) != 4 or fields[0] != program:
                continue
            known[(fields[1], fields[2])] += int(fields[3])
    return known


def merged(reports):
    """One report per window title: the pages of a sheet walked one by one
    and a window walked twice count each control once."""
    windows = collections.OrderedDict()
    for report in reports:
        if report.title in windows:
            windows[report.title].merge(report)
        else:
            copy = WindowReport(report.title, report.role)
            copy.merge(report)
            windows[report.title] = copy
    return list(windows.values())


def verdict(program, reports, known):
    """The faults not listed, and the listed ones that are gone."""
    found = collections.Counter()
    for report in reports:
        for finding in report.findings:
            found[(report.title, finding.role)] += 1
    new, gone = [], []
    for key_, count in found.items():
        if count > known.get(key_, 0):
            new.append("%s | %s: %d found, %d known" % (key_[0], key_[1], count, known.get(key_, 0)))
    for key_, count in known.items():
        if found.get(key_, 0) < count:
            gone.append("%s | %s: %d found, %d known: take it off known-gaps.txt" %
                        (key_[0], key_[1], found.get(key_, 0), count))
    return new, gone


def print_table(program, reports, out):
    total = named = 0
    for report in reports:
        controls = len(report.counted)
        if controls == 0 and not report.findings:
            continue  # a menu or a key test: no controls of its own
        out.write("%-10s %-36s %8d %6d %8d\n" % (program, report.title[:36], controls, report.named,
                                                 controls - report.named))
        total += controls
        named += report.named
        for finding in report.findings:
            out.write("    %s\n" % finding)
    out.write("%-10s %-36s %8d %6d %8d\n" % (program, "(all windows)", total, named, total - named))


def self_test():
    assert name_fault("push button", "...") is not None
    assert name_fault("push button", "") == "no name"
    assert name_fault("push button", "Yes") is not None
    assert name_fault("push button", "&Tak") is None
    assert name_fault("list", "Polecenie:") is None
    assert shown_number("+2") == 2 and shown_number("-30") == -30 and shown_number("2 %") == 2
    assert shown_number("\u221215") == -15 and shown_number("Prędkość") is None
    assert value_fault(-2.0, 2) is not None and value_fault(2.0, 2) is None
    assert value_fault(None, 2) is None
    # The slider: one number beside it, the same; none or two is a fault.
    assert slider_fault(2.0, [2]) is None and slider_fault(-2.0, [2]) is not None
    assert slider_fault(2.0, []) is not None and slider_fault(2.0, [2, 5]) is not None
    assert slider_fault(None, [2]) is not None
    # The spin box against the number in its own text (a suffix allowed).
    assert spin_fault(15.0, "15") is None and spin_fault(15.0, "15 %") is None
    assert spin_fault(14.0, "15") is not None and spin_fault(15.0, "") is not None
    assert spin_fault(None, "15") is not None
    # The combo box: what it reads is what it shows, one of its items.
    items = ["raz na godzin\u0119", "raz na dzie\u0144"]
    assert combo_fault("raz na dzie\u0144", items, "raz na dzie\u0144") is None
    assert combo_fault("Cz\u0119stos\u0107:", items, "raz na dzie\u0144") is not None  # a label's name
    assert combo_fault("raz na godzin\u0119", items, "raz na dzie\u0144") is not None
    assert combo_fault("co minut\u0119", items, "co minut\u0119") is not None  # not an item
    assert combo_fault("raz na dzie\u0144", items, None) is not None
    assert combo_fault("x", [], "x") is None
    # The report is found by the control's middle, within 3 pixels.
    values = [{"role": "combo box", "text": "A", "rect": [100, 50, 200, 24]},
              {"role": "spin button", "text": "7", "rect": [100, 50, 200, 24]},
              {"role": "combo box", "text": "B", "rect": [100, 90, 200, 24]}]
    assert reported_value(values, "combo box", (100, 50, 200, 24)) == "A"
    assert reported_value(values, "combo box", (103, 53, 200, 24)) == "A"
    assert reported_value(values, "combo box", (104, 50, 200, 24)) is None
    assert reported_value(values, "spin button", (100, 50, 200, 24)) == "7"
    assert reported_value(values, "combo box", (100, 90, 200, 24)) == "B"
    self_test_mnemonics()
    self_test_speech_level()
    self_test_records()
    print("self-test passed")
    return 0


def self_test_mnemonics():
    """Letters and clashes on made-up captions."""
    assert mnemonic("Pomo&c...") == "c" and mnemonic("&Zamknij") == "z" and mnemonic("C&zytaj") == "z"
    assert mnemonic("Tom && Jerry") is None and mnemonic("A && &B") == "b" and mnemonic("Koniec&") is None
    assert mnemonic("&\u017b\u00f3\u0142w") == "\u017c"  # a Polish capital letter, lower case
    assert caption_name("Tom && &Jerry") == "Tom & Jerry"
    items = [{"text": "C&zytaj", "enabled": False}, {"text": "&Przerwij", "enabled": True},
             {"text": "&Informacja o Vokaru...", "enabled": True}, {"text": "Mi&nimalizuj", "enabled": True},
             {"text": "&Zamknij", "enabled": True}]
    # A disabled item keeps its letter: "z" serves two.
    assert mnemonic_clashes(items) == {"z": ["Czytaj", "Zamknij"]}
    items[-1]["text"] = "Za&mknij"
    assert mnemonic_clashes(items) == {}
    three = [{"text": "&Co godzin\u0119"}, {"text": "Pomo&c..."}, {"text": "&Czcionka"}, {"text": "Plain"}]
    assert mnemonic_clashes(three) == {"c": ["Co godzin\u0119", "Pomoc...", "Czcionka"]}
    # A clash is accepted only when a key test reached all of its items.
    assert clash_fault(["Co godzin\u0119", "Pomoc..."], [{"Co godzin\u0119", "Pomoc..."}]) is None
    assert clash_fault(["Co godzin\u0119", "Pomoc..."], [{"Co godzin\u0119"}]) is not None
    assert clash_fault(["Czytaj", "Zamknij"], []) is not None
    records = [{"kind": "menu", "title": "Plik", "items": [{"text": "&Zamknij"}, {"text": "&Zapisz"}]},
               {"kind": "window", "title": "Remarka", "items": [{"text": "&Plik"}, {"text": "&Okno"}]}]
    reports = keys_report(records, [])
    assert [r.title for r in reports] == ["menu Plik"] and len(reports[0].findings) == 1
    assert keys_report(records, [{"Zamknij", "Zapisz"}])[0].findings == []


def self_test_records():
    """A window that comes back to a state it was in before: its last record
    is that state again, though the record is one seen before."""
    base = os.environ.get("VOKAR_TEST_TMP") or None
    if base:
        os.makedirs(base, exist_ok=True)
    first = {"pid": 7, "kind": "window", "title": "W", "values": [{"role": "combo box", "text": "A"}]}
    passing = {"pid": 7, "kind": "window", "title": "W", "values": [{"role": "combo box", "text": "B"}]}
    other = {"pid": 8, "kind": "window", "title": "W", "values": []}
    with tempfile.TemporaryDirectory(prefix="keys-records-", dir=base) as folder:
        log = os.path.join(folder, "keys.log")
        with open(log, "w", encoding="utf-8") as out:
            for record in (first, passing, other, first):
                out.write(json.dumps(record) + "\n")
            out.write("not a record\n")
        assert keys_records(log, 7) == [first, passing]
        assert keys_records(log, 7, distinct=False) == [first, passing, first]
        assert keys_records(os.path.join(folder, "none.log"), 7) == []


def self_test_speech_level():
    """The level of the wav: device's files, read as their header says: a
    silent file of either width holds no speech, a tone of a known length
    holds that much, and the limit (1/32 of full scale: 4 steps in 8 bits,
    1024 in 16) is where it is."""
    import math
    import wave
    import speech_level

    def write(folder, name, width, channels, rate, frames):
        # frames: one tuple of signed samples per frame
        path = os.path.join(folder, name)
        data = bytearray()
        for frame in frames:
            for sample in frame:
                data += bytes([sample + 128]) if width == 1 else int(sample).to_bytes(2, "little", signed=True)
        with wave.open(path, "wb") as wav:
            wav.setsampwidth(width)
            wav.setnchannels(channels)
            wav.setframerate(rate)
            wav.writeframes(bytes(data))
        return path

    def tone(amplitude, seconds, rate):
        return [round(amplitude * math.sin(2 * math.pi * 440 * i / rate)) for i in range(int(seconds * rate))]

    base = os.environ.get("VOKAR_TEST_TMP") or None
    if base:
        os.makedirs(base, exist_ok=True)
    with tempfile.TemporaryDirectory(prefix="speech-level-", dir=base) as folder:
        level = speech_level.audible_seconds_of
        # One second of silence at 8000 Hz: nothing audible in either width
        # (read as 8 bits, 16-bit silence is all bytes 0: loud).
        assert level(write(folder, "s8.wav", 1, 1, 8000, [(0,)] * 8000)) == 0
        assert level(write(folder, "s16.wav", 2, 1, 8000, [(0,)] * 8000)) == 0
        assert level(write(folder, "s16st.wav", 2, 2, 22050, [(0, 0)] * 22050)) == 0
        # 0.25 s of a tone at half scale, then 0.75 s of silence: 25 windows
        # of 10 ms (80 frames each) are audible, 0.25 s.
        for width, half in ((1, 64), (2, 16384)):
            frames = [(s,) for s in tone(half, 0.25, 8000)] + [(0,)] * 6000
            seconds = level(write(folder, "t%d.wav" % width, width, 1, 8000, frames))
            assert abs(seconds - 0.25) < 1e-9, (width, seconds)
        # Stereo at 16000 Hz, the tone in the right channel only: 0.5 s is
        # 50 windows of 160 frames.
        frames = [(0, s) for s in tone(16384, 0.5, 16000)] + [(0, 0)] * 8000
        seconds = level(write(folder, "st.wav", 2, 2, 16000, frames))
        assert abs(seconds - 0.5) < 1e-9, seconds
        # The limit: one sample of 3 steps (8 bits) or 1023 (16 bits) in a
        # second of silence is not heard; 4 or 1024 makes one window audible.
        for width, below, at in ((1, 3, 4), (2, 1023, 1024)):
            for sample, expected in ((below, 0), (-below, 0), (at, 0.01), (-at, 0.01)):
                frames = [(0,)] * 4000 + [(sample,)] + [(0,)] * 3999
                seconds = level(write(folder, "limit.wav", width, 1, 8000, frames))
                assert abs(seconds - expected) < 1e-9, (width, sample, seconds)
        # The device's files of a folder add up; a file cut inside its
        # header (being written) counts nothing.
        write(folder, "speech.wav", 1, 1, 8000, [(s,) for s in tone(64, 0.25, 8000)])
        write(folder, "speech-2.wav", 2, 1, 8000, [(s,) for s in tone(16384, 0.5, 8000)])
        with open(os.path.join(folder, "speech-3.wav"), "wb") as cut:
            cut.write(b"RIFF\x24\x00\x00\x00WAVEfmt ")
        assert abs(speech_level.audible_seconds(folder) - 0.75) < 1e-9


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("program", nargs="?", choices=sorted(PROGRAMS))
    parser.add_argument("--bin")
    parser.add_argument("--data")
    parser.add_argument("--known", default=os.path.join(HERE, "known-gaps.txt"))
    parser.add_argument("--report")
    parser.add_argument("--keep", action="store_true", help="keep the test's folder")
    parser.add_argument("--screens", help="a folder for a screenshot of every window walked")
    parser.add_argument("--self-test", action="store_true")
    parser.add_argument("--keys-plugins", help="the folder of the vokarkeys plugin (generic/libvokarkeys.so): "
                        "check that no letter serves two items of a window or menu")
    parser.add_argument("--qt-path", action="append", metavar="KEY=VALUE",
                        help="run the program with a qt.conf of these paths and no translations of Qt "
                             "(Prefix=/usr, Plugins=...: Qt's own paths)")
    args = parser.parse_args()
    if args.self_test:
        return self_test()
    if not args.program or not args.bin or not args.data:
        parser.error("a program, --bin and --data are needed")
    if args.screens:
        os.makedirs(args.screens, exist_ok=True)
        SCREENS["folder"] = os.path.abspath(args.screens)
    base = os.environ.get("VOKAR_TEST_TMP") or None
    if base:
        os.makedirs(base, exist_ok=True)
    folder = tempfile.mkdtemp(prefix="a11y-" + args.program + "-", dir=base)
    session = None
    try:
        try:
            session = Session(folder)
        except Exception as error:  # noqa: BLE001 - anything that stops the set-up
            print("the session could not be set up: %s" % error)
            return 2
        reports = merged(run_program(args.program, os.path.abspath(args.bin), os.path.abspath(args.data), folder,
                                     args.qt_path, args.keys_plugins and os.path.abspath(args.keys_plugins)))
        print("%-10s %-36s %8s %6s %8s" % ("program", "window", "controls", "named", "unnamed"))
        print_table(args.program, reports, sys.stdout)
        if args.report:
            with open(args.report, "a", encoding="utf-8") as out:
                print_table(args.program, reports, out)
        new, gone = verdict(args.program, reports, load_known_gaps(args.known, args.program))
        for line in new:
            print("FAULT: " + line)
        for line in gone:
            print("FIXED: " + line)
        return 1 if new or gone else 0
    finally:
        if session:
            session.close()
        if args.keep:
            print("kept " + folder)
        else:
            shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
