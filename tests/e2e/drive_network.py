#!/usr/bin/python3
"""Plays a network game of Dealbrix between two running programs through AT-SPI.

Started by run_network_e2e.sh once a dealbrix-server listens on 127.0.0.1 and two programs are up on
one private display and accessibility bus. Program A opens a two-player room on that server through
Network > Host Game... (its "Game server" field) and reads the room code from the box it is shown;
program B joins the room through Network > Join Game... and takes Player 2. Then they play turns in
alternation: the program whose seat holds the turn answers its own boxes (turning down purchases)
and presses Roll and End Turn; the other shows no box, keeps Roll, End Turn and Bankrupt disabled and
its money lines, dice and turn line read as the acting program's do. Both leave with File > Exit.

Every wait has a time limit. Exits 0 when every check passed, 1 on the first failed check.
"""

import argparse
import re
import sys
import time
import traceback

import pyatspi
from gi.repository import Atspi

import drive_game as game
from drive_game import (BANKRUPT, BOARD_WINDOW, END_TURN, MENU_ACTIONS, PRESS_ACTIONS, ROLL, Board, Box,
                        Failed, check, descendants, do_action, find_app, has_state,
                        is_enabled, is_showing, log, open_boxes, plain, popup_of, top_window, wait_until)

HOST_WINDOW = "Host Game"
JOIN_WINDOW = "Join Game"
ROOM_CODE = re.compile(r"Room code: (\S+)")
TURNS = 3  # player 1, player 2, player 1 again (doubles and their extra rolls on top)


class Program:
    """One running program: its application on the bus and its board."""

    def __init__(self, name, pid):
        self.name = name
        self.pid = pid
        self.app = wait_until(f"program {name} (process {pid}) on the accessibility bus", lambda: find_app(pid),
                              timeout=30)
        Atspi.Accessible.set_cache_mask(self.app, Atspi.Cache.NONE)
        window = wait_until(f"{BOARD_WINDOW!r} of program {name}", lambda: top_window(self.app, BOARD_WINDOW),
                            timeout=20)
        self.board = Board(window)
        wait_until(f"the buttons of program {name}", lambda: all(self.board.button(c) for c in (ROLL, END_TURN)))

    def menu(self, *path):
        """Runs the menu item at `path` (Network, Host Game...) through its action, then closes the menu."""
        top = self.board.menu_item(path[0])
        do_action(top, MENU_ACTIONS, path[0])
        popup = wait_until(f"the {path[0]} menu of program {self.name} to open",
                           lambda: is_showing(popup_of(top)) and popup_of(top))
        do_action(self.board.menu_item(*path), PRESS_ACTIONS, " > ".join(path))
        try:
            if is_showing(popup):
                do_action(top, MENU_ACTIONS, path[0])
        except Exception as error:
            log(f"note: {error}")
        log(f"{self.name}: {' > '.join(path)}")

    def window(self, caption):
        return wait_until(f"the window {caption!r} of program {self.name}", lambda: top_window(self.app, caption))

    def resolve(self):
        """Finds the board's buttons, money lines, dice and turn line once; later reads only ask their
        names and states (the objects stay, their names change), which keeps each look quick."""
        board = self.board
        self.buttons = {c: board.button(c) for c in (ROLL, END_TURN, BANKRUPT)}
        labels = board.labels()
        self.money_lines = [a for a in labels if Board.MONEY.match(a.name or "")]
        check(len(self.money_lines) == 4, f"program {self.name} shows {len(self.money_lines)} money lines")
        self.money_lines.sort(key=game.y_position)
        turn = [a for a in labels if Board.TURN.match(a.name or "")]
        check(len(turn) == 1, f"program {self.name} shows {len(turn)} whose-turn lines")
        self.turn_label = turn[0]
        self.dice = sorted((a for a in labels if Board.DIE.match(a.name or "")), key=game.x_position, reverse=True)
        check(len(self.dice) == 2, f"program {self.name} shows {len(self.dice)} dice")

    def controls_enabled(self):
        return [c for c, button in self.buttons.items() if is_enabled(button)]

    def turn(self):
        return int(re.match(r"Player (\d)", self.turn_label.name).group(1))

    def view(self):
        """What the board shows of the game: money lines, dice and whose turn it is."""
        return ([a.name for a in self.money_lines], [a.name for a in self.dice], self.turn_label.name)


def control(window, role, name):
    found = [a for a in descendants(window) if a.getRole() == role and plain(a.name) == name]
    check(len(found) == 1, f"expected one {name!r} in {window.name!r}, found {len(found)}")
    return found[0]


def type_into(window, name, text):
    field = control(window, pyatspi.ROLE_TEXT, name)
    check(field.queryEditableText().setTextContents(text), f"the field {name!r} refused {text!r}")
    wait_until(f"the field {name!r} to read {text!r}",
               lambda: field.queryText().getText(0, -1) == text, timeout=5)


def wait_closed(program, caption):
    def closed():
        window = top_window(program.app, caption)
        return window is None or not is_showing(window)
    wait_until(f"{caption!r} of program {program.name} to close", closed, timeout=10)


def only_box(program, timeout=10):
    box = game.next_box(program.app, timeout)
    check(box is not None, f"program {program.name} showed no box")
    return box


def host(a, server):
    a.menu("Network", "Host Game...")
    window = a.window(HOST_WINDOW)
    players = control(window, pyatspi.ROLE_SPIN_BUTTON, "Players")
    players.queryValue().currentValue = 2
    wait_until("the player count to read 2", lambda: players.queryValue().currentValue == 2, timeout=5)
    type_into(window, "Game server", server)
    do_action(control(window, pyatspi.ROLE_PUSH_BUTTON, "Host"), PRESS_ACTIONS, "Host")
    wait_closed(a, HOST_WINDOW)
    box = only_box(a)
    match = ROOM_CODE.search(box.text)
    check(match is not None, f"the host's box names no room code: {box}")
    check(server in box.text, f"the host's box does not name the server {server}: {box}")
    game.answer(a.app, box)
    log(f"A hosts room {match.group(1)} on {server}")
    return match.group(1)


def join(b, server, room):
    b.menu("Network", "Join Game...")
    window = b.window(JOIN_WINDOW)
    check(window.getRole() in (pyatspi.ROLE_DIALOG, pyatspi.ROLE_FRAME, pyatspi.ROLE_WINDOW),
          f"{JOIN_WINDOW!r} is a {window.getRoleName()}")
    type_into(window, "Server", server)
    type_into(window, "Room code", room)
    seat = control(window, pyatspi.ROLE_CHECK_BOX, "Player 2")
    do_action(seat, ("toggle", "press", "click"), "Player 2")
    wait_until("Player 2 to be ticked", lambda: has_state(seat, pyatspi.STATE_CHECKED), timeout=5)
    do_action(control(window, pyatspi.ROLE_PUSH_BUTTON, "Join"), PRESS_ACTIONS, "Join")
    wait_closed(b, JOIN_WINDOW)
    log(f"B joins room {room} as Player 2")


def settled(actor, watcher):
    """Both boards show the same game and the acting program has no box open."""
    if open_boxes(actor.app):
        return False
    return actor.view() == watcher.view()


def play_turns(a, b):
    seats = {1: a, 2: b}
    turns_seen = []
    deadline = time.monotonic() + 45 * game.PATIENCE
    while True:
        check(time.monotonic() < deadline, f"the turns did not go round within 45 s (turns seen: {turns_seen})")
        turn = a.turn()
        actor, watcher = seats[turn], seats[3 - turn]
        if not turns_seen or turns_seen[-1] != turn:
            turns_seen.append(turn)
            log(f"Player {turn}'s turn: program {actor.name} plays, program {watcher.name} watches")
            if len(turns_seen) > TURNS:
                return turns_seen
        check(not open_boxes(watcher.app), f"program {watcher.name} shows a box in Player {turn}'s turn")
        wait_until(f"program {watcher.name} to show the game as program {actor.name} does",
                   lambda: settled(actor, watcher) or open_boxes(actor.app), timeout=10)
        boxes = open_boxes(actor.app)
        if boxes:
            game.answer(actor.app, Box(boxes[0]))
            continue
        check(watcher.controls_enabled() == [],
              f"program {watcher.name} has {watcher.controls_enabled()} enabled in Player {turn}'s turn")
        enabled = actor.controls_enabled()
        if ROLL in enabled:
            caption = ROLL
        elif END_TURN in enabled:
            caption = END_TURN
        else:
            time.sleep(0.1)  # the room's answer is on its way
            continue
        before = actor.view()
        do_action(actor.buttons[caption], PRESS_ACTIONS, caption)
        log(f"{actor.name}: {caption}")
        wait_until(f"the room to take {caption!r}",
                   lambda: actor.view() != before or open_boxes(actor.app)
                   or not is_enabled(actor.buttons[caption]), timeout=10)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--pid-a", type=int, required=True)
    parser.add_argument("--pid-b", type=int, required=True)
    parser.add_argument("--server", required=True, help="the dealbrix-server, host:port")
    parser.add_argument("--patience", type=float, default=1.0)
    args = parser.parse_args()
    game.PATIENCE = max(args.patience, 1.0)
    pyatspi.setTimeout(int(5000 * game.PATIENCE), int(30000 * game.PATIENCE))

    a = Program("A", args.pid_a)
    b = Program("B", args.pid_b)
    room = host(a, args.server)
    join(b, args.server, room)
    a.resolve()
    b.resolve()
    wait_until("the room to start with Roll enabled for A", lambda: a.controls_enabled() == [ROLL], timeout=15)
    wait_until("B to show the started game", lambda: a.view() == b.view(), timeout=10)
    check(b.controls_enabled() == [], f"B has {b.controls_enabled()} enabled in Player 1's turn")
    log(f"the room started: {a.view()}")
    turns = play_turns(a, b)
    log(f"turns played: {turns}; both boards read {a.view()}")
    game.exit_game(a.app, a.board, a.pid)
    game.exit_game(b.app, b.board, b.pid)
    log("PASS")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except Failed as failure:
        log(f"FAIL: {failure}")
        sys.exit(1)
    except Exception:
        traceback.print_exc()
        sys.exit(1)
