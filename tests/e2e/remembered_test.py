#!/usr/bin/env python3
"""What the real program remembers from one start to the next, on a real X display (Xvfb, openbox)
with a settings and data folder of its own:

1. The first start sets a table in the New Game dialog from the keyboard (three players, names, the
   computer at Hard on seat 2, two house rules, $2500) and starts it; File > Exit ends it.
2. The second start has a fresh board (nothing applied by itself); its New Game dialog, started
   with Enter alone, starts the same table: the autosave it writes holds it.
3. A damaged settings file and a damaged past-games file: the program still starts, New Game still
   works, Past Games says the list was set aside, and Exit ends the program with status 0.

    python3 remembered_test.py path/to/dealbrix

Keys go through XTEST (xdotool) to the focused window, as a keyboard's would; what the program did is
read from its autosave. Every process started here is stopped by its process id at the end; every
wait has a time limit.
"""

import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

APP = ("Dealbrix", "Dealbrix")  # organisation and application: the folders QSettings and the data use

# Root window properties openbox sets once it has started and manages new windows.
OPENBOX_READY = ["_NET_SUPPORTING_WM_CHECK", "_NET_CLIENT_LIST_STACKING", "_NET_WORKAREA", "_OB_THEME"]


def log(text):
    print(f"[remembered {time.strftime('%H:%M:%S')}] {text}", flush=True)


def run(args, env):
    return subprocess.run(args, env=env, capture_output=True, text=True, timeout=10).stdout


def window_ids(env, name):
    """The viewable top-level windows called `name`."""
    found = []
    tree = run(["xwininfo", "-root", "-tree"], env)
    for match in re.finditer(r'^\s+(0x[0-9a-f]+) "([^"]*)":', tree, re.M):
        if match.group(2) == name and "IsViewable" in run(["xwininfo", "-id", match.group(1)], env):
            found.append(match.group(1))
    return found


def wait_for(seconds, what, check):
    end = time.time() + seconds
    while time.time() < end:
        result = check()
        if result:
            return result
        time.sleep(0.2)
    raise SystemExit(f"remembered: timed out waiting for {what}")


def stop(process, name):
    if process is None or process.poll() is not None:
        return
    process.terminate()
    try:
        process.wait(timeout=5)
    except subprocess.TimeoutExpired:
        log(f"{name} did not stop on TERM, killing it")
        process.kill()
        process.wait(timeout=5)


class Program:
    """One start of the real program."""

    def __init__(self, exe, env, work, name):
        self.env = env
        self.process = subprocess.Popen([exe], env=env, stdout=subprocess.DEVNULL,
                                        stderr=open(os.path.join(work, name + ".log"), "w"))
        self.board = wait_for(20, "the board", lambda: window_ids(env, "Game Board"))[0]
        time.sleep(2)  # the window manager has placed the board and the grid

    def keys(self, window, *keys):
        run(["xdotool", "windowactivate", "--sync", window], self.env)
        for key in keys:
            if key.startswith("type:"):
                run(["xdotool", "type", "--delay", "60", key[5:]], self.env)
            else:
                run(["xdotool", "key", "--delay", "60", key], self.env)
            time.sleep(0.15)

    def new_game_dialog(self):
        self.keys(self.board, "ctrl+n")
        return wait_for(10, "the New Game dialog", lambda: window_ids(self.env, "New Game"))[0]

    def exit(self):
        # File > Exit: the program ends at once, with status 0, once what it remembers is written.
        self.keys(self.board, "alt+f")
        time.sleep(0.5)
        self.keys(self.board, "e")
        try:
            status = self.process.wait(timeout=15)
        except subprocess.TimeoutExpired:
            raise SystemExit("remembered: the program did not end after File > Exit")
        if status != 0:
            raise SystemExit(f"remembered: the program ended with status {status}")


def find(node, key):
    """The first value of `key` anywhere in a JSON tree."""
    if isinstance(node, dict):
        if key in node:
            return node[key]
        node = list(node.values())
    if isinstance(node, list):
        for child in node:
            found = find(child, key)
            if found is not None:
                return found
    return None


def table_of(autosave):
    """The table an autosave holds: count, names, computer seats and levels, rules, starting money."""
    with open(autosave, encoding="utf-8") as f:
        game = json.load(f)
    players = find(game, "players")
    count = find(game, "playerCount")
    rules = find(game, "houseRules")
    return {
        "players": count,
        "names": [p.get("name", "") for p in players[:count]],
        "computer": [bool(p.get("computer")) for p in players[:count]],
        "levels": [p.get("level", "normal") for p in players[:count] if p.get("computer")],
        "rules": sorted(rules.get("chosen", [])),
        "money": rules.get("startingMoney"),
    }


def started_table(autosave):
    """The table of the game started in the autosave, once one has been (the file is written after
    each of the New Game dialog's actions: the rules, the players, Start)."""
    def check():
        try:
            table = table_of(autosave)
        except (OSError, ValueError, TypeError, AttributeError):
            return None
        return table if table["players"] else None
    wait_for(10, "a started game in the autosave", check)
    time.sleep(0.5)  # the last action's file is in place
    return table_of(autosave)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("program")
    args = parser.parse_args()
    for tool in ["Xvfb", "xwininfo", "xprop", "xdotool", "openbox"]:
        if shutil.which(tool) is None:
            raise SystemExit(f"remembered: missing {tool} (run scripts/setup.sh)")

    work = tempfile.mkdtemp(prefix="dealbrix-remembered.")
    config, data = os.path.join(work, "config"), os.path.join(work, "data")
    autosave = os.path.join(data, APP[0], APP[1], "autosave.dealbrix")
    settings = os.path.join(config, APP[0], APP[1] + ".conf")
    history = os.path.join(data, APP[0], APP[1], "past-games.json")
    xvfb = manager = program = None
    failures = []
    try:
        read_end, write_end = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1600x1000x24",
                                 "-nolisten", "tcp", "-noreset"], pass_fds=[write_end],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            display = ":" + pipe.readline().strip()
        env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb", XDG_CONFIG_HOME=config,
                   XDG_DATA_HOME=data, XDG_RUNTIME_DIR=work, HOME=work, QT_ACCESSIBILITY="0", NO_AT_BRIDGE="1")
        manager = subprocess.Popen(["openbox", "--sm-disable"], env=env,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # openbox names itself on the root window as soon as it takes the screen, but sets up its
        # desktops and client lists after that; a window mapped in between may be taken over where it
        # stands, its frame above the screen, so the program starts once openbox has finished starting.
        wait_for(20, "openbox", lambda: all(name in run(["xprop", "-root"], env) for name in OPENBOX_READY))
        log(f"Xvfb {xvfb.pid} on {display}, openbox {manager.pid}")

        # 1. The first start: the table is set from the keyboard, in the dialog's Tab order (a
        # person's seat has no level to pass).
        program = Program(args.program, env, work, "first")
        dialog = program.new_game_dialog()
        program.keys(dialog,
                     "ctrl+a", "type:3", "Tab",           # players
                     "Tab", "type:Ann", "Tab",            # seat 1: a person, named
                     "Down", "Tab", "Down", "Tab",        # seat 2: the computer, Normal to Hard
                     "type:Bo", "Tab",
                     "Tab", "Tab",                        # seat 3: a person without a name
                     "space", "Tab", "Tab", "Tab", "Tab", "Tab", "space", "Tab", "Tab",  # auction, double Go
                     "ctrl+a", "type:2500", "Tab", "Return")
        wanted = {"players": 3, "names": ["Ann", "Bo", ""], "computer": [False, True, False],
                  "levels": ["hard"], "rules": ["auction", "double-go"], "money": 2500}
        first = started_table(autosave)
        log(f"first start's table: {first}")
        if first != wanted:
            failures.append(f"the first start's dialog started {first}, not {wanted}")
        program.exit()
        program = None
        if not os.path.exists(settings):
            failures.append(f"no settings file at {settings}")
        os.remove(autosave)

        # 2. The second start: a fresh board, and a dialog that offers the last table.
        program = Program(args.program, env, work, "second")
        if os.path.exists(autosave):
            failures.append("the remembered table was played without being asked for")
        dialog = program.new_game_dialog()
        program.keys(dialog, "Return")
        second = started_table(autosave)
        log(f"second start's table, offered: {second}")
        if second != wanted:
            failures.append(f"the second start's dialog offered {second}, not {wanted}")
        program.exit()
        program = None
        os.remove(autosave)

        # 3. Damaged settings and past games never stop the program.
        with open(settings, "wb") as f:
            f.write(b"\x01\x02[[[table\n=\xff\xfe players=eleven\n[windows]\nGame%20Board=@Rect(x)\n")
        os.makedirs(os.path.dirname(history), exist_ok=True)
        with open(history, "wb") as f:
            f.write(b'{"games": [{"date": 7, "players": ')
        program = Program(args.program, env, work, "damaged")
        dialog = program.new_game_dialog()
        program.keys(dialog, "Return")
        table = started_table(autosave)
        log(f"with damaged settings: {table}")
        if table["players"] not in (2, 3, 4):
            failures.append(f"damaged settings gave the table {table}")
        # Game > Past Games: the damaged list is set aside with a message.
        program.keys(program.board, "alt+g")
        time.sleep(0.5)
        program.keys(program.board, "p")
        box = wait_for(10, "the message about the damaged list", lambda: window_ids(env, "Dealbrix"))[0]
        program.keys(box, "Return")
        wait_for(10, "the Past Games window", lambda: window_ids(env, "Past Games"))
        if program.process.poll() is not None:
            failures.append("the program ended with a damaged history")
        program.exit()
        program = None
    finally:
        stop(program.process if program else None, "dealbrix")
        stop(manager, "openbox")
        stop(xvfb, "Xvfb")
        if os.environ.get("DEALBRIX_E2E_KEEP") != "1":
            shutil.rmtree(work, ignore_errors=True)
        else:
            log(f"work folder kept: {work}")
    for failure in failures:
        log("FAIL: " + failure)
    if failures:
        sys.exit(1)
    log("passed")


if __name__ == "__main__":
    main()
