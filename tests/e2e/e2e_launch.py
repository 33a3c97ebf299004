#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""One player's journey through the real modgate, read and driven through the accessibility bus
(AT-SPI) on the X server and D-Bus session e2e_launch.sh makes for it. With --first-rows, it
only starts modgate on the sample installation until it lists the mods, then quits."""

import configparser, contextlib, glob, hashlib, json, os, shutil, subprocess, sys, tempfile
import time, zipfile
import pyatspi
from gi.repository import GLib

BASE_GAME = "Unreal Tournament 2004"
# The sample installation's mods, as the table sorts them.
MODS = sorted(["Example Mod", "Alien Invasion", "Front Line: Ostfront", "Frag.Ops", "Leftovers",
               "Frag.Ops Training", "Troopers \u2013 Dawn of Destiny", "No Link Mod", "Short Link"])
# Its command line holds a space, yet must reach the game as one argument.
LAUNCH_ROW, LAUNCH_ARGUMENTS = "Example Mod", ["-example -log", "-mod=ExampleMod"]
# What the details pane shows of it: the logo's object name and the description's first line.
LAUNCH_ROW_LOGO, LAUNCH_ROW_TEXT = "ExampleModTex.Menu.Logo", "The example that comes with Modgate."
# A download the journey makes: a mod folder, a map that replaces the sample's own, a readme.
DOWNLOAD, MOD_FOLDER, MOD_TITLE = "GateCrash-1.0.zip", "GateCrash", "Gate Crash"
MAP = "Maps/DM-Rankin.ut2"
DOWNLOAD_FILES = {"GateCrash/UT2K4Mod.ini": b"[Mod]\nModTitle=Gate Crash\n",
                  "GateCrash/System/GateCrash.u": b"\0" * 48, MAP: b"Gate Crash's own Rankin\n",
                  "readme.txt": b"Unpack into the game folder.\n"}
TIMEOUT = 120  # a loaded machine, a sanitizer build
T0, runs = time.monotonic(), []  # runs: every modgate started, ended at exit


class Failure(Exception):
    pass


def log(message):
    print(f"[{time.monotonic() - T0:6.1f}s] {message}", flush=True)


def check(condition, message):
    if not condition:
        raise Failure(message)
    log(f"ok: {message}")


def xdotool(*arguments):
    return subprocess.run(("xdotool",) + arguments, capture_output=True, text=True).stdout.strip()


def screen():  # the names of the windows on the screen
    return [xdotool("getwindowname", window)
            for window in xdotool("search", "--onlyvisible", "--name", ".").split()]


def stored_path(config_home):
    settings = configparser.ConfigParser(interpolation=None)
    settings.read(os.path.join(config_home, "Modgate", "Modgate.conf"))
    return settings.get("General", "unrealPath", fallback="").rstrip("/")


def descendants(node):
    for child in node:
        yield child
        if child.getRole() != pyatspi.ROLE_TABLE:  # its cells come and go with the search
            yield from descendants(child)


def press(node):
    action = node.queryAction()
    action.doAction([action.getName(i) for i in range(action.nActions)].index("Press"))


class App:
    """One run of modgate, found on the accessibility bus by its process id, once it lists mods."""

    def __init__(self, binary, env, work, name):
        runs.append(self)
        self.output = open(os.path.join(work, name + ".log"), "wb")
        self.process = subprocess.Popen([binary], env=env, cwd=work, stdout=self.output,
                                        stderr=subprocess.STDOUT)
        self.status, self.table, self.launch = self.wait(
            "the status line, table and Launch button are on the bus", self.widgets)
        self.wait("the search ends with the base game's row, then the sample's mods, sorted",
                  lambda: self.status.name == "" and self.rows() == [BASE_GAME] + MODS)
        check(set(screen()) == {"Modgate"}, "no other window (no dialog) on the screen")

    def widgets(self):
        if self.process.poll() is not None:
            raise Failure(f"modgate ended early, exit status {self.process.returncode}")
        nodes = self.nodes()
        status = [node for node in nodes if node.description == "Status"]
        table = [node for node in nodes if node.getRole() == pyatspi.ROLE_TABLE]
        return status[0], table[0], [node for node in nodes if node.name == "Launch"][0]

    def wait(self, what, predicate):
        """Waits for a true value and returns it; a look the window changed under is retaken."""
        deadline, problem = time.monotonic() + TIMEOUT, None
        while time.monotonic() < deadline:
            try:
                if value := predicate():
                    log(f"ok: {what}")
                    return value
            except Failure:
                raise
            except Exception as error:
                problem = error
            time.sleep(0.1)
        with contextlib.suppress(Exception):
            problem = f"status {self.status.name!r}, rows {self.rows()}, {problem!r}"
        raise Failure(f"timed out waiting until {what} ({problem}; windows {screen()})")

    def labelled(self, role, label):
        """The control of that role a label of that name stands for: on Linux, Qt names a combo
        box by its text, and screen readers speak its label through this relation."""
        return next(node for node in self.nodes() if node.getRole() == role
                    for relation in node.getRelationSet()
                    if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY
                    and relation.getTarget(0).name == label)

    def pane(self):
        """The details pane's logo, if one is showing, and its description's text."""
        nodes = self.nodes()
        logo = [node for node in nodes if node.name == "Mod logo"
                and node.getRole() == pyatspi.ROLE_IMAGE
                and node.getState().contains(pyatspi.STATE_SHOWING)]
        text = [node.queryText() for node in nodes if node.name == "Mod description"]
        return (logo[0].description if logo else None,
                text[0].getText(0, text[0].characterCount) if text else "")

    def start_game(self):
        """Selects LAUNCH_ROW and presses Launch."""
        table, row = self.table.queryTable(), self.rows().index(LAUNCH_ROW)
        self.wait(f"{LAUNCH_ROW!r} is selected and Launch enabled",
                  lambda: (table.isRowSelected(row) or table.addRowSelection(row))
                  and self.launch.getState().contains(pyatspi.STATE_ENABLED))
        press(self.launch)

    def nodes(self, top=None):
        """Every node of its windows, or below top."""
        return list(descendants(top)) if top else [
            node for application in pyatspi.Registry.getDesktop(0)
            if application.get_process_id() == self.process.pid
            for node in descendants(application)]

    def named(self, name, role=None, top=None):
        return [node for node in self.nodes(top) if node.name == name and role in (
            None, node.getRole()) and node.getState().contains(pyatspi.STATE_SHOWING)]

    def rows(self):
        table = self.table.queryTable()
        return [table.getAccessibleAt(row, 0).name for row in range(table.nRows)]

    def quit(self):
        """Ctrl+Q on its window, as a player ends it."""
        for attempt in range(3):  # a key pressed while the focus moves can be lost
            xdotool("search", "--onlyvisible", "--name", "^Modgate$", "windowfocus", "--sync")
            xdotool("key", "--clearmodifiers", "ctrl+q")  # through XTEST: Qt takes it as typed
            with contextlib.suppress(subprocess.TimeoutExpired):
                return check(self.process.wait(30) == 0, "Ctrl+Q ends modgate with exit status 0")
        raise Failure("modgate did not end on Ctrl+Q")


def journey(modgate, sample_game, sample_installation, first_rows, work):
    made = subprocess.run([sample_installation, "--game", sample_game, "--out", work + "/sample"],
                          check=True, capture_output=True, text=True).stdout
    sample = dict(line.split(": ", 1) for line in made.splitlines())
    home, game = sample["home"], sample["game"]
    config, record, game_quit = home + "/.config", work + "/game.json", work + "/game.quit"
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=config,
               XDG_DATA_HOME=home + "/.local/share", QT_QPA_PLATFORM="xcb",
               QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1",
               MODGATE_SAMPLE_GAME_RECORD=record, MODGATE_SAMPLE_GAME_QUIT_FILE=game_quit)
    check(stored_path(config) == "", "no stored path before the first start")
    app = App(modgate, env, work, "modgate-first")
    if first_rows:
        return app.quit()
    table, row = app.table.queryTable(), app.rows().index(LAUNCH_ROW)
    app.wait(f"{LAUNCH_ROW!r} is selected and Launch enabled",
             lambda: (table.isRowSelected(row) or table.addRowSelection(row))
             and app.launch.getState().contains(pyatspi.STATE_ENABLED))
    app.wait("the details pane shows its logo and description",
             lambda: (pane := app.pane())[0] == LAUNCH_ROW_LOGO
             and pane[1].startswith(LAUNCH_ROW_TEXT))
    press(app.launch)
    app.wait('the status says "Launching, please wait..."',
             lambda: app.status.name == "Launching, please wait...")
    check("Modgate" in screen(), "the window is still on the screen")
    app.wait("the sample game has started", lambda: os.path.exists(record))
    started = json.load(open(record, encoding="utf-8"))
    check(started["arguments"] == LAUNCH_ARGUMENTS, f"the game got {started['arguments']}")
    check(os.path.samefile(started["workingDirectory"], os.path.dirname(sample["executable"])),
          f"the game runs in {started['workingDirectory']}")
    app.wait("the window leaves the screen while the game runs", lambda: "Modgate" not in screen())
    open(game_quit, "w").close()
    app.wait('the game has quit, the status says "Welcome back!"',
             lambda: app.status.name == "Welcome back!")
    app.wait("the window is back on the screen", lambda: "Modgate" in screen())
    app.quit()
    check(stored_path(config) == game, f"unrealPath stored: {game}")

    # Without the game log, and away from the installer's folder, only the stored path is left,
    # and a copy in ~/Games with one mod less.
    os.rename(home + "/.ut2004/System/UT2004.log", work + "/UT2004.log")
    env["XDG_DATA_HOME"] = work + "/nowhere"
    copy = home + "/Games/UT2004 Copy"
    shutil.copytree(game, copy, symlinks=True)
    shutil.rmtree(copy + "/ShortLink")
    # A game that stops on an error: the reason on the status line, its log a press away.
    env["MODGATE_SAMPLE_GAME_END"] = "error"
    app = App(modgate, env, work, "modgate-second")
    app.start_game()
    app.wait("the status says why the game stopped", lambda: app.status.name ==
             "The game stopped: Failed to enter Entry: Can't find file 'Entry'")
    press(app.wait('a "Show Log" button is on the bus', lambda: app.named("Show Log")[0]))
    app.wait('the "Game Log" window is on the screen',
             lambda: any(name.startswith("Game Log") for name in screen()))
    text = app.wait('its "Game log" text is on the bus', lambda: app.named("Game log")[0])
    lines = text.queryText().getText(0, -1).splitlines()
    check("Critical: Failed to enter Entry: Can't find file 'Entry'" in lines,
          "the log shows the Critical: line")
    log_file = f"{home}/.ut2004/ExampleMod/System/ExampleMod.log"
    app.wait(f"the log file, {log_file}, is on the bus", lambda: app.named(log_file))
    check(app.named("Open Folder"), 'an "Open Folder" button is on the bus')
    check(stored_path(config) == game, "unrealPath unchanged")
    windows = set(screen())
    again = subprocess.run([modgate], env=env, cwd=work, capture_output=True, timeout=60)
    check(again.returncode == 0 and set(screen()) == windows,
          "a second start ends at once, leaving the first one's windows alone on the screen")

    # The player picks the copy in the "Game" selector, from the keyboard.
    selector = app.wait('the selector labelled "Game" is on the bus',
                        lambda: app.labelled(pyatspi.ROLE_COMBO_BOX, "Game"))
    check(selector.name == "~/.local/share/OldUnreal/UT2004", f"it shows {selector.name}")
    xdotool("search", "--onlyvisible", "--name", "^Modgate$", "windowfocus", "--sync")
    for _ in range(12):  # back over the window's controls
        if selector.getState().contains(pyatspi.STATE_FOCUSED):
            break
        xdotool("key", "shift+Tab")
        time.sleep(0.3)
    check(selector.getState().contains(pyatspi.STATE_FOCUSED), "Shift+Tab reaches the selector")
    xdotool("key", "Down")  # opens the list, choosing nothing yet
    app.wait("the selector's list is open",
             lambda: selector.getState().contains(pyatspi.STATE_EXPANDED))
    check(selector.name == "~/.local/share/OldUnreal/UT2004" and stored_path(config) == game,
          "nothing chosen by opening it")
    xdotool("key", "Down")
    time.sleep(0.3)
    xdotool("key", "Return")
    app.wait("the copy's mods are listed, its own only",
             lambda: app.status.name == "" and app.rows()[:1] == [BASE_GAME]
             and sorted(app.rows()[1:]) == [mod for mod in MODS if mod != "Short Link"])
    check(selector.name == "~/Games/UT2004 Copy", f"the selector shows {selector.name}")

    # Shift+F10 in the table opens the selected row's menu. Qt keeps popups out of the window
    # tree, so the menu is found as a screen reader finds it: by its item that takes the focus.
    table, row = app.table.queryTable(), app.rows().index(LAUNCH_ROW)
    app.wait(f"{LAUNCH_ROW!r} is selected again",
             lambda: table.isRowSelected(row) or table.addRowSelection(row))
    app.table.queryComponent().grabFocus()
    app.wait("the table has the focus", lambda: app.table.getState().contains(pyatspi.STATE_FOCUSED))
    focused = []
    pyatspi.Registry.registerEventListener(lambda event: event.detail1 and focused.append(
        event.source), "object:state-changed:focused")
    xdotool("search", "--onlyvisible", "--name", "^Modgate$", "windowfocus", "--sync")
    xdotool("key", "--clearmodifiers", "shift+F10")
    time.sleep(0.5)
    xdotool("key", "Down")

    def menu():
        while GLib.MainContext.default().iteration(False):  # the events heard so far
            pass
        return [node.parent for node in focused if node.parent.name == "Mod actions"][0]
    menu = app.wait('the "Mod actions" menu is on the screen', menu)
    entries = [item.name for item in menu]
    check(entries[:4] == ["Launch", "Visit Web Site", "Open Folder", "Create Desktop Shortcut"],
          f"its entries are {entries}")
    xdotool("key", "Escape")
    app.wait("the menu has closed", lambda: not menu.getState().contains(pyatspi.STATE_SHOWING))
    check(stored_path(config) == copy, f"unrealPath stored: {copy}")
    install_and_remove(app, modgate, env, work, copy)
    app.quit()


def listing(folder):
    """Every folder and file below folder, with the files' SHA-256."""
    return {os.path.relpath(path, folder): os.path.isfile(path)
            and hashlib.sha256(open(path, "rb").read()).hexdigest()
            for top, _, files in os.walk(folder) for path in [top] + [f"{top}/{f}" for f in files]}


def install_and_remove(app, modgate, env, work, game):
    """The download handed to the running modgate, as a browser hands it over: its plan read as
    a screen reader reads it, cancelled once, then installed; then removed from the pane."""
    download, trash = f"{work}/{DOWNLOAD}", env["XDG_DATA_HOME"] + "/Trash/files"
    before = listing(game)
    with zipfile.ZipFile(download, "w") as archive:
        for name, data in DOWNLOAD_FILES.items():
            archive.writestr(name, data)
    for answer, status in (("Cancel", f"{DOWNLOAD} was not installed: nothing changed."),
                           ("Install and Replace 1 File", f"Installed {MOD_FOLDER}.")):
        subprocess.run([modgate, download], env=env, cwd=work, check=True, timeout=60)
        dialog = app.wait(f'the "Install {MOD_FOLDER}" dialog is on the bus',
                          lambda: app.named(f"Install {MOD_FOLDER}", pyatspi.ROLE_DIALOG)[0])
        labels = [node.name for node in app.nodes(dialog) if node.getRole() == pyatspi.ROLE_LABEL]
        check(labels == [f"{MOD_FOLDER} into {game}: 3 files, 98 bytes"], f"it says {labels}")
        tree = app.named("What the install does", pyatspi.ROLE_TREE, dialog)[0].queryTable()
        sections = {}  # each heading a screen reader says, with the rows below it, cell by cell
        for row in range(tree.nRows):
            cells = [tree.getAccessibleAt(row, column).name for column in range(tree.nColumns)]
            if tree.getAccessibleAt(row, 0).getState().contains(pyatspi.STATE_EXPANDABLE):
                below = sections.setdefault(cells[0], [])
            else:
                below.append(cells)
        check(sections == {"Replaced (1)": [[MAP, "replaces the file there"]],
                           "New (2)": [["GateCrash/System/GateCrash.u", "new"],
                                       ["GateCrash/UT2K4Mod.ini", "new"]],
                           "Left out (1)": [["readme.txt", "a readme"]]},
              f'the list "What the install does" reads {sections}')
        buttons = [node.name for node in app.nodes(dialog)
                   if node.getRole() == pyatspi.ROLE_PUSH_BUTTON]
        check(buttons == ["Install and Replace 1 File", "Cancel"], f"its buttons are {buttons}")
        press(app.named(answer, pyatspi.ROLE_PUSH_BUTTON, dialog)[0])
        app.wait(f"the status says {status!r}", lambda: app.status.name == status)
        if answer == "Cancel":
            check(listing(game) == before, "nothing changed in the game folder")
    table = app.table.queryTable()
    app.wait(f"{MOD_TITLE!r} is listed and selected, the pane names it, the search is over",
             lambda: table.isRowSelected(app.rows().index(MOD_TITLE))
             and app.named(MOD_TITLE, pyatspi.ROLE_LABEL)
             and app.launch.getState().contains(pyatspi.STATE_ENABLED))
    check(open(f"{game}/{MAP}", "rb").read() == DOWNLOAD_FILES[MAP], f"{MAP} is the download's")
    check(before[MAP] in listing(trash).values(), f"the {MAP} it replaced is in the trash")

    press(app.named("Remove Mod\u2026", pyatspi.ROLE_PUSH_BUTTON)[0])
    question = app.wait('the "Remove Mod" question is on the bus',
                        lambda: app.named("Remove Mod", pyatspi.ROLE_ALERT)[0])
    text = [node.name for node in app.nodes(question) if node.getRole() == pyatspi.ROLE_LABEL]
    check(text == [f"Remove {MOD_TITLE}? The 3 file(s) Modgate installed go to the trash where "
                   "they are still as installed; files changed since stay, and the files it "
                   "replaced come back."], f"it asks {text}")
    press(app.named("Yes", pyatspi.ROLE_PUSH_BUTTON, question)[0])
    app.wait(f'the status says "Removed {MOD_TITLE}."',
             lambda: app.status.name == f"Removed {MOD_TITLE}." and MOD_TITLE not in app.rows())
    check(listing(game) == before, "the game folder is as before, its own map back")


def main():
    work = tempfile.mkdtemp(prefix="modgate-e2e-")
    try:
        journey(*map(os.path.realpath, sys.argv[1:4]), "--first-rows" in sys.argv, work)
    except BaseException:
        for name in sorted(glob.glob(work + "/*.log")):
            print(f"--- {name}\n" + open(name, errors="replace").read().strip())
        raise
    finally:
        open(work + "/game.quit", "w").close()  # a game still running quits
        for run in runs:
            run.process.kill()
            run.process.wait()
    shutil.rmtree(work)
    log("PASS")


if __name__ == "__main__":
    main()
