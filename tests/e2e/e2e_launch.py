#!/usr/bin/env python3
"""Drives the real modgate binary on a private X server, as a user would, and reads its window
through the accessibility bus (AT-SPI).

Run inside its own D-Bus session (dbus-run-session), which the wrapper script arranges:
    e2e_launch.py --modgate BIN --sample-game BIN --sample-installation BIN [--first-rows]
"""

import argparse
import configparser
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback

TITLE = "Modgate"
BASE_GAME = "Unreal Tournament 2004"
# The sample's default layout, the OldUnreal patch's on Linux, as ./run uses it.
LOG_RELATIVE = ".ut2004/System/UT2004.log"
BUNDLE_RELATIVE = ".local/share/OldUnreal/UT2004"
EXECUTABLE_RELATIVE = "/System/UT2004"
LOG_PREFIX = "Init: Base directory: "

# The app's own timing, which the test checks with some slack for a loaded machine.
LAUNCH_PAUSE = 5.0
WELCOME_CLEARED_AFTER = 3.0
# How long the sample game stays up: well past the pause, so the window is seen off the screen.
GAME_LIFETIME_MS = 9000

T0 = time.monotonic()


def log(message):
    print(f"[{time.monotonic() - T0:7.2f}s] {message}", flush=True)


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)
    log(f"ok: {message}")


# --- what the sample installation should show, worked out from its files ---------------------


def decode_manifest(data):
    if data.startswith(b"\xef\xbb\xbf"):
        return data[3:].decode("utf-8", "replace")
    if data.startswith(b"\xff\xfe"):
        return data[2:].decode("utf-16-le", "replace")
    if data.startswith(b"\xfe\xff"):
        return data[2:].decode("utf-16-be", "replace")
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError:
        # Windows-1252; its unassigned bytes keep their Latin-1 meaning.
        return "".join(
            bytes([b]).decode("cp1252", "strict") if b not in (0x81, 0x8D, 0x8F, 0x90, 0x9D)
            else chr(b) for b in data)


def split_lines(text):
    """Lines end at CR LF, LF or a lone CR, mixed included."""
    return text.replace("\r\n", "\n").replace("\r", "\n").split("\n")


def ascii_lower(text):
    return "".join(c.lower() if "A" <= c <= "Z" else c for c in text)


def parse_manifest(path):
    """The manifest's keys as the launcher reads them (last line wins, quotes and leading spaces
    removed); a folder or an unreadable file gives no keys."""
    try:
        with open(path, "rb") as file:
            text = decode_manifest(file.read())
    except OSError:
        return {}
    keys = {}
    for line in split_lines(text):
        for key, name in (("modtitle=", "name"), ("modcmdline=", "command"), ("modurl=", "url")):
            if ascii_lower(line[:len(key)]) == key:
                keys[name] = line[len(key):].replace('"', "").lstrip(" ")
                break
    return keys


def manifests_in_walk_order(bundle):
    """Manifests as the file system lists them, parents before contents: find(1) walks in
    directory order, as the launcher's search does."""
    output = subprocess.run(["find", bundle + "/", "-iname", "ut2k4mod.ini"], check=True,
                            capture_output=True).stdout
    manifests = []
    for raw in output.split(b"\n"):
        if not raw:
            continue
        path = os.fsdecode(raw)
        relative = path[len(bundle) + 1:].lstrip("/")
        entry = parse_manifest(path)
        entry["launchName"] = relative.split("/")[0]
        entry["relative"] = relative
        manifests.append(entry)
    return manifests


def cleaned_command(command):
    return command.lstrip(" ").replace("\n", "").replace("\r", "")


def bundle_path_from_log(log_path):
    with open(log_path, "rb") as file:
        text = file.read().decode("utf-8", "replace")
    chosen = [line for line in split_lines(text) if line.startswith(LOG_PREFIX)]
    if not chosen:
        raise Failure(f"the sample log {log_path} has no base-directory line")
    # ".../UT2004/System/" names the game folder ".../UT2004/".
    return chosen[-1][len(LOG_PREFIX):].rstrip("/").rsplit("/", 1)[0] + "/"


# --- the X server, the app and its windows ------------------------------------------------------


def start_xvfb(work):
    """A private X server on a free display number (Xvfb picks it and tells us)."""
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
         "-noreset"], pass_fds=(write_end,), stdout=subprocess.DEVNULL,
        stderr=open(os.path.join(work, "xvfb.log"), "wb"))
    os.close(write_end)
    number = b""
    deadline = time.monotonic() + 30
    while not number.endswith(b"\n") and time.monotonic() < deadline:
        chunk = os.read(read_end, 16)
        if not chunk:
            break
        number += chunk
    os.close(read_end)
    if not number.strip():
        xvfb.kill()
        raise Failure("Xvfb did not start (see xvfb.log)")
    return xvfb, ":" + number.decode().strip()


def visible_windows(title):
    result = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"],
                            capture_output=True, text=True)
    return [line for line in result.stdout.split() if line]


def wait_until(what, predicate, timeout, interval=0.05, pump=None, describe=None):
    deadline = time.monotonic() + timeout
    while True:
        if pump:
            pump()
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            state = f" ({describe()})" if describe else ""
            raise Failure(f"timed out after {timeout:.0f} s waiting for {what}{state}")
        time.sleep(interval)


def process_alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    # A zombie has ended too.
    try:
        with open(f"/proc/{pid}/stat") as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


class App:
    """One run of modgate and its accessible objects."""

    def __init__(self, atspi, binary, env, work, name):
        self.atspi = atspi
        self.output = open(os.path.join(work, f"{name}.log"), "wb")
        self.process = subprocess.Popen([binary], env=env, stdout=self.output,
                                        stderr=subprocess.STDOUT, cwd=work)
        log(f"started {name}: pid {self.process.pid}")
        self.frame = self.table = self.status = self.launch = self.busy = None

    def find_accessibles(self, timeout=60):
        pyatspi = self.atspi

        def application():
            if self.process.poll() is not None:
                raise Failure(f"modgate ended early, exit status {self.process.returncode}")
            desktop = pyatspi.Registry.getDesktop(0)
            for index in range(desktop.childCount):
                app = desktop.getChildAtIndex(index)
                try:
                    if app is not None and app.get_process_id() == self.process.pid:
                        return app
                except Exception:
                    continue
            return None

        app = wait_until("modgate on the accessibility bus", application, timeout, 0.1)

        def widgets():
            found = {}

            def visit(node, depth):
                if node is None or depth > 8:
                    return
                role, name = node.getRole(), node.name
                if role == pyatspi.ROLE_TABLE and name == "Mods":
                    found["table"] = node
                    return
                if role == pyatspi.ROLE_LABEL and node.description == "Status":
                    found["status"] = node
                elif role == pyatspi.ROLE_PUSH_BUTTON and name == "Launch":
                    found["launch"] = node
                elif role == pyatspi.ROLE_PROGRESS_BAR:
                    found["busy"] = node
                elif depth == 1 and name == TITLE:
                    found["frame"] = node
                for child in node:
                    visit(child, depth + 1)

            try:
                visit(app, 0)
            except Exception:
                return None  # the tree changed under us; look again
            return found if len(found) == 5 else None

        found = wait_until("the window's table, status line, Launch button and indicator",
                           widgets, timeout, 0.1)
        self.frame, self.table, self.status = found["frame"], found["table"], found["status"]
        self.launch, self.busy = found["launch"], found["busy"]

    def describe(self):
        """The window's state, for a failure message."""
        try:
            return (f"status {self.status_text()!r}, Launch "
                    f"{'enabled' if self.launch_enabled() else 'disabled'}, indicator "
                    f"{'showing' if self.busy_showing() else 'hidden'}, rows {self.rows()!r}, "
                    f"on screen: {bool(visible_windows(TITLE))}")
        except Exception as error:
            return f"window unreadable: {error}"

    def status_text(self):
        # The status line's accessible name is its text; "Status" is its description.
        return self.status.name

    def launch_enabled(self):
        return self.launch.getState().contains(self.atspi.STATE_ENABLED)

    def busy_showing(self):
        return self.busy.getState().contains(self.atspi.STATE_SHOWING)

    def rows(self):
        table = self.table.queryTable()
        return [table.getAccessibleAt(row, 0).name for row in range(table.nRows)]

    def selected_rows(self):
        table = self.table.queryTable()
        return [row for row in range(table.nRows) if table.isRowSelected(row)]

    def select_row(self, row):
        """Clicks the row's title cell, as a user would; a row scrolled out of sight is selected
        through the accessibility interface instead. Returns how."""
        pyatspi = self.atspi
        table = self.table.queryTable()
        cell = table.getAccessibleAt(row, 0)
        view = self.table.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        box = cell.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        x, y = box.x + min(box.width // 2, 40), box.y + box.height // 2
        on_screen = cell.getState().contains(pyatspi.STATE_SHOWING) and box.height > 0 and \
            view.x <= x < view.x + view.width and view.y <= y < view.y + view.height
        if on_screen:
            subprocess.run(["xdotool", "mousemove", "--sync", str(x), str(y), "click", "1"],
                           check=True)
            return "clicking"
        if not table.addRowSelection(row):
            raise Failure(f"row {row} is out of sight and cannot be selected through AT-SPI")
        return "selecting through AT-SPI"

    def press_launch(self):
        action = self.launch.queryAction()
        names = [action.getName(i) for i in range(action.nActions)]
        index = names.index("Press") if "Press" in names else 0
        action.doAction(index)

    def quit(self, timeout=30):
        """Ends it the user's way, Ctrl+Q on its window; returns its exit status."""
        windows = visible_windows(TITLE)
        if windows:
            subprocess.run(["xdotool", "windowfocus", "--sync", windows[0]],
                           capture_output=True)
            subprocess.run(["xdotool", "key", "--clearmodifiers", "ctrl+q"], check=True)
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure("modgate did not end on Ctrl+Q")

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.output.close()


def read_settings(config_home):
    path = os.path.join(config_home, "Modgate", "Modgate.conf")
    parser = configparser.ConfigParser(interpolation=None, strict=False)
    parser.optionxform = str
    if not parser.read(path):
        raise Failure(f"no settings file at {path}")
    value = parser.get("General", "unrealPath", fallback=None)
    if value is not None and len(value) >= 2 and value[0] == value[-1] == '"':
        value = value[1:-1].replace('\\"', '"').replace("\\\\", "\\")
    return value


def make_sample(arguments, work):
    """The sample installation; returns its home folder."""
    sample = os.path.join(work, "sample")
    subprocess.run([arguments.sample_installation, "--game", arguments.sample_game,
                    "--out", sample], check=True, stdout=subprocess.DEVNULL)
    return os.path.join(sample, "home")


def start_session(work, home):
    """A private X server and the environment modgate runs in there, its accessibility bridge on."""
    xvfb, display = start_xvfb(work)
    log(f"Xvfb on display {display}")
    runtime = os.path.join(work, "runtime")
    os.makedirs(runtime, mode=0o700)
    env = dict(os.environ)
    for variable in ("SESSION_MANAGER", "WAYLAND_DISPLAY", "QT_QPA_PLATFORMTHEME",
                     "QT_STYLE_OVERRIDE", "QT_SCALE_FACTOR", "XAUTHORITY"):
        env.pop(variable, None)
    env.update({
        "DISPLAY": display,
        "HOME": home,
        "XDG_CONFIG_HOME": os.path.join(home, ".config"),
        "XDG_DATA_HOME": os.path.join(home, ".local", "share"),
        "XDG_RUNTIME_DIR": runtime,
        "QT_QPA_PLATFORM": "xcb",
        "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
        "QT_ACCESSIBILITY": "1",
    })
    # The test's own side of the accessibility bus needs the same display.
    os.environ["DISPLAY"] = display
    os.environ["XDG_RUNTIME_DIR"] = runtime
    return xvfb, env


def stop_xvfb(xvfb):
    xvfb.terminate()
    try:
        xvfb.wait(10)
    except subprocess.TimeoutExpired:
        xvfb.kill()


# --- the tests -----------------------------------------------------------------------------------


def first_rows(arguments, work):
    """Only starts modgate on the sample until the search has put mods in the table, then quits:
    enough to show that a packaged binary runs."""
    xvfb, env = start_session(work, make_sample(arguments, work))
    import pyatspi
    app = App(pyatspi, arguments.modgate, env, work, "modgate")
    try:
        app.find_accessibles()
        rows = wait_until("mods in the table", lambda: app.rows()[1:], 60, 0.1,
                          describe=app.describe)
        check(True, f"the table lists mods: {rows}")
        check(app.quit() == 0, "Ctrl+Q ends modgate with exit status 0")
    finally:
        app.kill()
        stop_xvfb(xvfb)


def run(arguments, work):
    home = make_sample(arguments, work)
    bundle = os.path.join(home, BUNDLE_RELATIVE)
    game_log = os.path.join(home, LOG_RELATIVE)
    check(os.path.isfile(game_log) and os.path.isdir(bundle),
          "the sample installation has the game log and the bundle")
    expected_path = bundle_path_from_log(game_log)
    check(os.access(expected_path + EXECUTABLE_RELATIVE, os.X_OK),
          "the game log names the bundle, and the sample game is its executable")

    manifests = manifests_in_walk_order(bundle)
    # A mod without a title goes by its folder's name.
    expected_rows = [BASE_GAME] + [entry.get("name") or entry["launchName"]
                                   for entry in manifests]
    log(f"{len(manifests)} manifests in walk order: {[m['relative'] for m in manifests]}")
    with_command = [(row, entry) for row, entry in enumerate(manifests, start=1)
                    if cleaned_command(entry.get("command", ""))]
    check(with_command, "the sample has a mod whose manifest holds a command line")
    # Prefer a command with a space in it: it must still reach the game as one argument.
    launch_row, launch_entry = next(
        ((row, entry) for row, entry in with_command if " " in cleaned_command(entry["command"])),
        with_command[0])
    expected_arguments = [cleaned_command(launch_entry["command"]),
                          "-mod=" + launch_entry["launchName"]]

    xvfb, env = start_session(work, home)
    record = os.path.join(work, "game-record.json")
    config_home = env["XDG_CONFIG_HOME"]
    env.update({"MODGATE_SAMPLE_GAME_RECORD": record,
                "MODGATE_SAMPLE_GAME_QUIT_AFTER_MS": str(GAME_LIFETIME_MS)})
    import pyatspi
    from gi.repository import GLib

    context = GLib.MainContext.default()

    def pump():
        while context.pending():
            context.iteration(False)

    def wait(what, predicate, timeout, interval=0.05):
        return wait_until(what, predicate, timeout, interval, pump,
                          apps[-1].describe if apps else None)

    # What the status line and the indicator did while we were not looking: their change
    # events, registered before the app starts so none is missed.
    changes = []

    def on_event(event):
        try:
            role = event.source.getRole()
        except Exception:
            return
        if role == pyatspi.ROLE_LABEL and event.type.startswith("object:property-change"):
            changes.append(("status", None))
        elif role == pyatspi.ROLE_PROGRESS_BAR and event.type == "object:state-changed:showing":
            changes.append(("busy", bool(event.detail1)))

    pyatspi.Registry.registerEventListener(
        on_event, "object:property-change:accessible-name", "object:state-changed:showing")

    game_pid = None
    apps = []
    try:
        # ---- first start: the game is found through its log ----
        check(not os.path.exists(os.path.join(config_home, "Modgate", "Modgate.conf")),
              "no settings before the first start")
        app = App(pyatspi, arguments.modgate, env, work, "modgate-first")
        apps.append(app)
        wait("the window on the screen", lambda: visible_windows(TITLE), 60)
        log("window on the screen")
        app.find_accessibles()
        seen_status = []

        def search_ended():
            text = app.status_text()
            if not seen_status or seen_status[-1] != text:
                seen_status.append(text)
            return text == "" and not app.launch_enabled() and not app.busy_showing() and \
                len(app.rows()) == len(expected_rows)

        wait("the search to end", search_ended, 60, 0.02)
        pump()
        log(f"status texts seen during start-up: {seen_status}; change events: {changes}")
        check(set(seen_status) <= {"", "Searching for mods..."},
              "only \"Searching for mods...\" and \"\" shown during start-up")
        # The search over the sample takes a moment only, and the app's accessibility bridge
        # connects on its own time: its change events are checked when they came through.
        busy_changes = [value for kind, value in changes if kind == "busy"]
        status_changes = sum(1 for kind, _ in changes if kind == "status")
        if busy_changes:
            check(busy_changes[0] is True and busy_changes[-1] is False,
                  "the busy indicator ran during the search and stopped at its end")
        if "Searching for mods..." in seen_status or status_changes >= 2:
            check(True, "the status line showed the search and was emptied at its end")
        else:
            log("note: the search was over before the accessibility bridge reported changes")
        check(app.status_text() == "", "the status line is empty after the search")
        rows = app.rows()
        if rows != expected_rows:
            raise Failure(f"rows after the search\n  got      {rows}\n  expected {expected_rows}")
        check(True, f"{len(rows)} rows, row 0 the base game, then the mods in walk order")
        check(not app.launch_enabled(), "Launch is disabled while no row is selected")
        # A screen reader can open a mod's page: the link cell is a button it can press.
        link_row, link_entry = next((row, entry) for row, entry in enumerate(manifests, start=1)
                                    if len(entry.get("url", "")) > 4)
        link = app.table.queryTable().getAccessibleAt(link_row, 1)
        actions = link.queryAction()
        names = [actions.getName(index) for index in range(actions.nActions)]
        check(link.name == "Web page" and link.description == link_entry["url"]
              and "Press" in names,
              f"row {link_row}'s link cell is a \"Web page\" button for {link.description!r} "
              f"with the actions {names}")
        check(read_settings(config_home) == expected_path,
              f"unrealPath stored from the game log: {expected_path}")

        # ---- launch ----
        how = app.select_row(launch_row)
        wait(f"row {launch_row} selected and Launch enabled",
             lambda: app.selected_rows() == [launch_row] and app.launch_enabled(), 30)
        check(True, f"{how} row {launch_row} ({rows[launch_row]!r}) selects it and enables Launch")

        app.press_launch()
        pressed = time.monotonic()
        wait("\"Launching, please wait...\"",
             lambda: app.status_text() == "Launching, please wait...", 30, 0.02)
        check(not app.launch_enabled(), "Launch is disabled while the launch is in progress")
        check(app.busy_showing(), "the busy indicator runs while the game is starting")

        wait("the sample game's record", lambda: os.path.exists(record), 60)
        with open(record, encoding="utf-8") as file:
            facts = json.load(file)
        game_pid = int(facts["pid"])
        log(f"the game got {facts['arguments']!r} in {facts['workingDirectory']!r}")
        check(facts["arguments"] == expected_arguments,
              f"the game's arguments are exactly {expected_arguments!r}")
        check(os.path.realpath(facts["workingDirectory"]) ==
              os.path.realpath(expected_path + "System"),
              "the game's working directory is its System folder")
        check(game_pid != app.process.pid, "the game runs as its own process")

        # Still on the screen during the pause, then off it while the game runs.
        while time.monotonic() - pressed < LAUNCH_PAUSE - 1.0:
            pump()
            if not visible_windows(TITLE):
                raise Failure(f"the window left the screen {time.monotonic() - pressed:.1f} s "
                              "after Launch, before the pause was over")
            time.sleep(0.1)
        check(app.status_text() == "Launching, please wait...",
              "the status line still says \"Launching, please wait...\" during the pause")
        wait("the window to leave the screen", lambda: not visible_windows(TITLE), 30)
        hidden_after = time.monotonic() - pressed
        check(hidden_after >= LAUNCH_PAUSE,
              f"the window left the screen {hidden_after:.1f} s after Launch, after the pause")
        check(process_alive(game_pid), "the game is still running while the window is away")
        check(app.status_text() == "Launching, please wait..." and not app.launch_enabled(),
              "while the window is away the status line is unchanged and Launch disabled")

        # The game quits by itself; the window comes back with "Welcome back!".
        wait("the window to come back", lambda: visible_windows(TITLE), 60)
        wait("\"Welcome back!\"", lambda: app.status_text() == "Welcome back!", 30, 0.02)
        welcome_seen = time.monotonic()
        check(not process_alive(game_pid), "the window came back after the game had ended")
        check(app.launch_enabled(), "Launch is enabled again (the row is still selected)")
        check(app.selected_rows() == [launch_row], "the selection is kept")
        check(not app.busy_showing(), "the busy indicator is stopped")
        wait("the status line to be emptied", lambda: app.status_text() == "", 30, 0.02)
        cleared_after = time.monotonic() - welcome_seen
        check(WELCOME_CLEARED_AFTER - 1.0 <= cleared_after <= WELCOME_CLEARED_AFTER + 5.0,
              f"\"Welcome back!\" was emptied {cleared_after:.1f} s after it appeared "
              f"({WELCOME_CLEARED_AFTER} s expected)")

        status = app.quit()
        app.kill()
        check(status == 0, "Ctrl+Q ends modgate with exit status 0")
        check(read_settings(config_home) == expected_path, "unrealPath is still stored")

        # ---- second start: the stored path alone, no game log ----
        os.rename(game_log, game_log + ".away")
        changes.clear()
        app = App(pyatspi, arguments.modgate, env, work, "modgate-second")
        apps.append(app)
        wait("the window on the screen", lambda: visible_windows(TITLE), 60)
        app.find_accessibles()
        wait("the search to end",
             lambda: app.status_text() == "" and not app.busy_showing()
             and len(app.rows()) == len(expected_rows), 60)
        check(app.rows() == expected_rows, "the second start, without a game log, lists the "
              "same mods from the stored path")
        others = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "."],
                                capture_output=True, text=True).stdout.split()
        titles = [subprocess.run(["xdotool", "getwindowname", window], capture_output=True,
                                 text=True).stdout.strip() for window in others]
        check([title for title in titles if title and title != TITLE] == [],
              f"no other window (no location dialog) on the screen: {titles}")
        status = app.quit()
        app.kill()
        check(status == 0, "the second run ends with exit status 0")
        check(read_settings(config_home) == expected_path, "unrealPath unchanged")
    finally:
        for app in apps:
            app.kill()
        if game_pid and process_alive(game_pid):
            os.kill(game_pid, signal.SIGKILL)
        stop_xvfb(xvfb)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--modgate", required=True)
    parser.add_argument("--sample-game", required=True)
    parser.add_argument("--sample-installation", required=True)
    parser.add_argument("--first-rows", action="store_true",
                        help="only wait for mods in the table, then quit")
    parser.add_argument("--keep", action="store_true", help="keep the work folder")
    arguments = parser.parse_args()

    work = tempfile.mkdtemp(prefix="modgate-e2e-")
    ok = False
    try:
        (first_rows if arguments.first_rows else run)(arguments, work)
        ok = True
    except Failure as failure:
        log(f"FAIL: {failure}")
    except Exception:
        traceback.print_exc()
        log("FAIL: the test itself broke")
    finally:
        for name in sorted(os.listdir(work)):
            if name.endswith(".log") and not ok:
                with open(os.path.join(work, name), errors="replace") as file:
                    text = file.read().strip()
                if text:
                    print(f"--- {name}\n{text}")
        if arguments.keep or not ok:
            log(f"work folder kept: {work}")
        else:
            shutil.rmtree(work, ignore_errors=True)
    log("PASS" if ok else "FAILED")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
