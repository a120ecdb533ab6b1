#!/usr/bin/python3
"""Orca itself reading the speech server's window through sd_vokar.

In a private X session and session bus (a11y_check.Session), with a private
speech-dispatcher whose only module is our sd_vokar on the wav: device and a
Polish locale of the test's own: the real vokar is started, then Orca (Debian's
orca, its settings in the test's folder). The test moves the focus with Tab and
checks that Orca says what the focused control is called, in Polish, and that
each time sd_vokar writes audible speech into the WAV files.

  orca_check.py --bin BUILD/bin --data BUILD/share/vokar --module BUILD/bin/sd_vokar

Exit status: 0 all well, 1 Orca said nothing or the wrong thing, 2 the session,
speech-dispatcher or Orca could not be set up (Orca or the Polish locale
missing is a skip: 77).
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import a11y_check  # noqa: E402
from speech_level import audible_seconds  # noqa: E402

SKIP = 77


def polish_locale(folder):
    """A Polish UTF-8 locale in a folder of the test's own (LOCPATH)."""
    locales = os.path.join(folder, "locale")
    os.makedirs(locales, exist_ok=True)
    result = subprocess.run(["localedef", "-i", "pl_PL", "-f", "UTF-8", os.path.join(locales, "pl_PL.UTF-8")],
                            capture_output=True)
    if not os.path.isdir(os.path.join(locales, "pl_PL.UTF-8")):
        raise RuntimeError("localedef failed: %s" % result.stderr.decode(errors="replace"))
    return locales


def spoken(debug, since):
    """What Orca has said after the first `since` lines of its speech."""
    try:
        with open(debug, encoding="utf-8", errors="replace") as lines:
            said = [m.group(1) for m in (re.search(r"SPEECH OUTPUT: '([^']*)'", line) for line in lines) if m]
    except OSError:
        return []
    return said[since:]


def quiet(debug, still=1.5, timeout=20):
    """Waits until Orca has said nothing new for `still` seconds."""
    deadline = time.time() + timeout
    count, since = len(spoken(debug, 0)), time.time()
    while time.time() < deadline and time.time() - since < still:
        time.sleep(0.2)
        now = len(spoken(debug, 0))
        if now != count:
            count, since = now, time.time()


def wait_for(condition, timeout):
    deadline = time.time() + timeout
    while time.time() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.2)
    return condition()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--bin", required=True)
    parser.add_argument("--data", required=True)
    parser.add_argument("--module", required=True)
    parser.add_argument("--keep", action="store_true")
    args = parser.parse_args()
    if not shutil.which("orca"):
        print("orca is not installed: skipped")
        return SKIP
    base = os.environ.get("VOKAR_TEST_TMP") or None
    if base:
        os.makedirs(base, exist_ok=True)
    folder = tempfile.mkdtemp(prefix="orca-", dir=base)
    session = None
    processes = []
    try:
        try:
            locales = polish_locale(folder)
        except RuntimeError as error:
            print("no Polish locale: %s: skipped" % error)
            return SKIP
        session = a11y_check.Session(folder)
        env = a11y_check.private_environment(folder, os.path.abspath(args.data))
        env["VOKAR_WAVEOUT"] = "wav:" + os.path.join(folder, "speech.wav")
        conf = os.path.join(folder, "speechd")
        os.makedirs(os.path.join(conf, "modules"), exist_ok=True)
        with open(os.path.join(env["HOME"], ".libao"), "w") as libao:
            libao.write("default_driver=null\n")
        with open(os.path.join(conf, "speechd.conf"), "w") as out:
            out.write('DisableAutoSpawn\nLogLevel 3\nAudioOutputMethod "libao"\nDefaultLanguage "pl"\n'
                      'SymbolsPreproc "no"\nAddModule "vokar" "%s" "vokar.conf"\nDefaultModule vokar\n'
                      % os.path.abspath(args.module))
        open(os.path.join(conf, "modules", "vokar.conf"), "w").close()
        socket = os.path.join(env["XDG_RUNTIME_DIR"], "speechd.sock")
        env["SPEECHD_ADDRESS"] = "unix_socket:" + socket
        processes.append(subprocess.Popen(
            ["speech-dispatcher", "-s", "-t", "0", "-C", conf, "-S", socket, "-P",
             os.path.join(env["XDG_RUNTIME_DIR"], "speechd.pid"), "-L", folder],
            env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        if not wait_for(lambda: os.path.exists(socket), 15):
            print("speech-dispatcher did not start")
            return 2

        import pyatspi
        server_env = dict(env, VOKAR_WAVEOUT="null")
        server = a11y_check.Program(pyatspi, [os.path.join(args.bin, "vokar"), "/L-"], server_env, folder, "vokar")
        processes.append(server.process)
        window = server.window("^Vokar$")

        debug = os.path.join(folder, "orca.debug")
        # Orca finds its settings' schemas in the system's data folders.
        orca_env = dict(env, LANG="pl_PL.UTF-8", LANGUAGE="pl", LOCPATH=locales,
                        XDG_DATA_DIRS="/usr/local/share:/usr/share")
        processes.append(subprocess.Popen(["orca", "-u", os.path.join(folder, "orca"), "--replace",
                                           "--debug-file=" + debug], env=orca_env, cwd=folder,
                                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        if not wait_for(lambda: "Czytnik ekranowy jest włączony." in spoken(debug, 0), 60):
            print("Orca did not start; it said: %s" % spoken(debug, 0))
            return 2
        # The keys go to the window that has the focus: the server's window
        # must be the active one. On a busy machine the window manager may
        # not have taken the first activation: it is asked again. (Orca names
        # the window with the first control that takes the focus.)
        def active():
            return a11y_check.state_has(window, pyatspi.STATE_ACTIVE)
        for attempt in range(3):
            a11y_check.activate("^Vokar$")
            if wait_for(active, 5):
                break
            print("attempt %d: the server's window is not active" % (attempt + 1))
        quiet(debug)
        failures = []
        # The names a focus change may bring: every focusable control's.
        names = control_names(pyatspi, window)
        named = []
        for press in range(3):
            said_before = len(spoken(debug, 0))
            sound_before = audible_seconds(folder)
            a11y_check.key("Tab")

            def naming():
                return [n for said in spoken(debug, said_before) for n in names if said.startswith(n + " ")]
            found = wait_for(naming, 30)
            said = spoken(debug, said_before)
            wait_for(lambda: audible_seconds(folder) > sound_before + 0.3, 15)
            sound = audible_seconds(folder) - sound_before
            print("Tab %d: Orca said %s; %.2f s of speech from sd_vokar" % (press + 1, said, sound))
            quiet(debug)
            if not found:
                failures.append("Tab %d: Orca named no control of the window" % (press + 1))
            else:
                named.append(max(found, key=len))
            if sound <= 0.3:
                failures.append("Tab %d: no speech from sd_vokar" % (press + 1))
        if len(set(named)) != len(named):
            failures.append("the focus did not move on: %s" % named)
        for failure in failures:
            print("FAULT: " + failure)
        if failures:
            focused = subprocess.run(["xdotool", "getactivewindow", "getwindowname"], capture_output=True,
                                     text=True, timeout=10).stdout.strip()
            print("the active window at the end: %r; the server's window active: %s; Orca said in all: %s"
                  % (focused, active(), spoken(debug, 0)))
        return 1 if failures else 0
    finally:
        for process in reversed(processes):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(5)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        a11y_check.end_processes_of(os.path.join(folder, "desktop"))
        if session:
            session.close()
        if args.keep:
            print("kept " + folder)
        else:
            shutil.rmtree(folder, ignore_errors=True)


def control_names(pyatspi, window):
    """The names of the window's focusable controls, without their mnemonics."""
    names = set()
    stack = [window]
    while stack:
        accessible = stack.pop()
        if accessible is None:
            continue
        if a11y_check.state_has(accessible, pyatspi.STATE_FOCUSABLE) and accessible.name:
            names.add(accessible.name.replace("&", ""))
        stack.extend(a11y_check.children_of(accessible))
    return names


if __name__ == "__main__":
    sys.exit(main())
