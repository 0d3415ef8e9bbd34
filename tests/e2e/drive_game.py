#!/usr/bin/python3
"""Plays the opening of a two-player game of Dealbrix through AT-SPI, as a screen reader user would.

Started by run_e2e.sh once the game is up on a private display and accessibility bus. It finds the
program and its windows by their accessible names, checks what a blind player hears before the game
starts, chooses File > Players > 2 Players and File > Start through the menu items' actions, rolls,
checks that the landing message names the square the two dice lead to, answers every message box
(turning down any purchase), ends the turn and checks whose turn it is: player 1's turn is played
through accessible actions only.

Player 2 then plays from the keyboard alone: real key presses go to the X display through the
accessibility registry (XTest), and the screen is read only through AT-SPI (names, the FOCUSED and
ACTIVE states, message boxes). Tab to Roll, Space; Enter or N for every box; Tab to End Turn, Space;
then Tab onto the board and walk it with the arrow keys. File > Exit ends the game.

With --computer (the program started with `--computer 2 --computer-delay 0`) the person plays
player 1 through accessible actions while the computer plays player 2 by itself: the Computer menu
shows seat 2 ticked, the Game Log window (File > Game Log) follows the computer's turn, and the turn
comes back to player 1 with no box left open.

Every wait has a time limit. Exits 0 when every check passed, 1 on the first failed check.
"""

import argparse
import ctypes
import re
import sys
import time
import traceback

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402
import pyatspi  # noqa: E402

APP_NAME = "Dealbrix"
BOARD_WINDOW = "Game Board"
GRID_WINDOW = "Properties"
BOX_CAPTION = "Dealbrix"          # every message box without a title of its own
BUY_CAPTION = "Buy Property"
STARTING_MONEY = 1500

# The landing message and the accessible name of each square picture, Go (0) to Boardwalk (39).
SQUARE_NAMES = (
    "Go", "Mediteranean Avenue $60", "Community Chest", "Baltic Avenue $60", "Income Tax",
    "Reading Railroad $200", "Oriental Avenue $100", "Chance", "Vermont Avenue $100", "Connecticut Avenue $120",
    "Jail", "St. Charles Place $140", "Electric Company $150", "States Avenue $140", "Virginia avenue $160",
    "Pensilvania Railroad $200", "St. James Place $180", "Community Chest", "Tennesse Avenue $180",
    "New York Avenue $200", "Free Parking", "Kentucky Avenue $220", "Chance", "Indiana Avenue $220",
    "Illinois Avenue $240", "B&O Railroad $200", "Atlantic Avenue $260", "Ventor Avenue $260", "Water Works $150",
    "Marvin Gardens $280", "Go To Gail", "Pacific Avenue $300", "North Carolina Avenue $300", "Community Chest",
    "Pennsylvania Avenue $320", "Shortline Railroad $200", "Chance", "Park Place $350", "Luxury Tax",
    "Boardwalk $400",
)
# What the landing message says for each square a first roll from Go can reach (2..12).
LANDING_TEXT = {square: SQUARE_NAMES[square] for square in range(2, 13)}
# The name the purchase question uses for the ownable ones among them (square 5 really is "Railread").
PURCHASE_NAME = {
    3: "Baltic Avenue",
    5: "Reading Railread",
    6: "Oriental Avenue",
    8: "Vermont Avenue",
    9: "Connecticut Avenue",
    11: "St. Charles Place",
    12: "Electric Company",
}
CARD_SQUARES = {2, 7}     # Community Chest, Chance: what follows depends on the card drawn
TAX = {4: 200}            # Income Tax
GO_TO_JAIL = 30

ROLL, END_TURN, BANKRUPT = "Roll", "End Turn", "Bankrupt (Give up)"
PRESS_ACTIONS = ("press", "click", "activate")
MENU_ACTIONS = ("showmenu", "show menu", "open", "click", "press")

START = time.monotonic()
PATIENCE = 1.0            # scales every time limit (--patience, for slow sanitizer builds)
QUIET_SECONDS = 1.5       # with no message box for this long, the game is waiting for the player


class Failed(Exception):
    """A check failed; the message says what was expected and what the game showed."""


def log(message):
    print(f"[drive {time.monotonic() - START:6.2f}s] {message}", flush=True)


def check(condition, message):
    if not condition:
        raise Failed(message)


def wait_until(what, probe, timeout=10.0, interval=0.1):
    """Polls `probe` until it returns something true and returns that; fails after `timeout` seconds.

    A probe that raises (a check not met yet, an object that vanished as a box closed, a D-Bus call
    that timed out) counts as "not yet"; the last such error is reported on failure.
    """
    timeout *= PATIENCE
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            value = probe()
            if value:
                return value
        except Exception as error:
            last_error = error
        if time.monotonic() >= deadline:
            detail = f" (last error: {last_error})" if last_error else ""
            raise Failed(f"timed out after {timeout:.0f}s waiting for {what}{detail}")
        time.sleep(interval)


# ---- reading the accessible tree ------------------------------------------------------------------

def children(acc):
    result = []
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        if child is not None:
            result.append(child)
    return result


def descendants(acc):
    stack = list(reversed(children(acc)))
    while stack:
        node = stack.pop()
        yield node
        stack.extend(reversed(children(node)))


def has_state(acc, state):
    return acc.getState().contains(state)


def is_enabled(acc):
    return has_state(acc, pyatspi.STATE_ENABLED) and has_state(acc, pyatspi.STATE_SENSITIVE)


def is_disabled(acc):
    return not has_state(acc, pyatspi.STATE_ENABLED) and not has_state(acc, pyatspi.STATE_SENSITIVE)


def is_showing(acc):
    return has_state(acc, pyatspi.STATE_SHOWING)


def plain(name):
    """A caption as spoken: without the access-key marker."""
    return (name or "").replace("&", "")


def action_names(acc):
    try:
        actions = acc.queryAction()
    except NotImplementedError:
        return []
    return [actions.getName(i) for i in range(actions.nActions)]


def do_action(acc, wanted, what):
    """Runs the first of the `wanted` actions (compared without case) that `acc` offers."""
    names = action_names(acc)
    for want in wanted:
        for index, name in enumerate(names):
            if name.lower() == want:
                check(acc.queryAction().doAction(index), f"the {name!r} action of {what} was refused")
                return
    raise Failed(f"{what} offers no action among {list(wanted)}; it offers {names}")


def x_position(acc):
    return acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS).x


def y_position(acc):
    return acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS).y


def find_app(pid):
    for app in children(pyatspi.Registry.getDesktop(0)):
        try:
            if app.get_process_id() == pid:
                return app
        except Exception:
            continue
    return None


def top_window(app, name):
    for window in children(app):
        if window.name == name:
            return window
    return None


class Board:
    """The controls of the game board window, looked up afresh on every call."""

    MONEY = re.compile(r"^(?:Player ([1-4]): ?)?(-?\d+)$")
    TURN = re.compile(r"^Player ([1-4])'s turn$")
    DIE = re.compile(r"^Die(?: showing ([1-6]))?$")

    def __init__(self, window):
        self.window = window

    def labels(self):
        """Labels, and pictures: a QLabel showing an image (a die with its face) reads as an image."""
        return [a for a in descendants(self.window) if a.getRole() in (pyatspi.ROLE_LABEL, pyatspi.ROLE_IMAGE)]

    def button(self, caption):
        found = [a for a in descendants(self.window)
                 if a.getRole() == pyatspi.ROLE_PUSH_BUTTON and plain(a.name) == caption]
        check(len(found) == 1, f"expected one button {caption!r} on the board, found {len(found)}")
        return found[0]

    def money(self):
        """Player 1..4 to the amount their money line reads."""
        lines = []
        for label in self.labels():
            match = self.MONEY.match(label.name or "")
            if match:
                lines.append((match, label))
        check(len(lines) == 4, f"expected four money lines, found {[m.group(0) for m, _ in lines]}")
        if all(m.group(1) for m, _ in lines):
            result = {int(m.group(1)): int(m.group(2)) for m, _ in lines}
        else:  # plain amounts: the lines stand one below the other, player 1 at the top
            lines.sort(key=lambda pair: y_position(pair[1]))
            result = {player: int(m.group(2)) for player, (m, _) in enumerate(lines, start=1)}
        check(sorted(result) == [1, 2, 3, 4], f"money lines name players {sorted(result)}")
        return result

    def money_names(self):
        return [label.name for label in self.labels() if self.MONEY.match(label.name or "")]

    def turn_line(self):
        found = [label.name for label in self.labels() if self.TURN.match(label.name or "")]
        check(len(found) == 1, f"expected one whose-turn line, found {found}")
        return found[0]

    def dice(self):
        """The two dice as (die 1, die 2); None for an empty die. Die 1 is drawn right of die 2."""
        found = [label for label in self.labels() if self.DIE.match(label.name or "")]
        check(len(found) == 2, f"expected two dice, found {[d.name for d in found]}")
        found.sort(key=x_position, reverse=True)
        values = []
        for die in found:
            face = self.DIE.match(die.name).group(1)
            values.append(int(face) if face else None)
        return tuple(values)

    def tokens_showing(self):
        shown = set()
        for label in self.labels():
            match = re.match(r"^Player ([1-4]) token$", label.name or "")
            if match and is_showing(label):
                shown.add(int(match.group(1)))
        return shown

    def menu_item(self, *path):
        """The menu item reached by the captions in `path` from the menu bar (File, then Players, ...)."""
        bars = [a for a in children(self.window) if a.getRole() == pyatspi.ROLE_MENU_BAR]
        check(len(bars) == 1, f"expected one menu bar in {BOARD_WINDOW!r}, found {len(bars)}")
        node = bars[0]
        for caption in path:
            items = [a for a in descendants(node)
                     if a.getRole() in (pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_MENU, pyatspi.ROLE_CHECK_MENU_ITEM,
                                        pyatspi.ROLE_RADIO_MENU_ITEM)
                     and plain(a.name) == caption]
            check(items, f"no menu item {caption!r} under {' > '.join(path[:path.index(caption)]) or 'the menu bar'}")
            node = items[0]
        return node


def popup_of(item):
    menus = [c for c in children(item) if c.getRole() in (pyatspi.ROLE_MENU, pyatspi.ROLE_POPUP_MENU)]
    check(len(menus) == 1, f"menu item {item.name!r} has no menu of its own")
    return menus[0]


# ---- message boxes -------------------------------------------------------------------------------

class Box:
    def __init__(self, acc):
        self.acc = acc
        self.path = acc.path
        self.caption = acc.name or ""
        self.text = acc.description or ""
        if not self.text:  # no description: take the longest label inside
            texts = [a.name for a in descendants(acc) if a.getRole() == pyatspi.ROLE_LABEL and a.name]
            self.text = max(texts, key=len) if texts else ""
        self.buttons = {plain(a.name): a for a in descendants(acc) if a.getRole() == pyatspi.ROLE_PUSH_BUTTON}

    def __str__(self):
        return f"[{self.caption}] {self.text!r} {sorted(self.buttons)}"


def open_boxes(app):
    boxes = []
    for window in children(app):
        if window.name in (BOARD_WINDOW, GRID_WINDOW):
            continue
        if window.getRole() in (pyatspi.ROLE_ALERT, pyatspi.ROLE_DIALOG) and is_showing(window):
            boxes.append(window)
    return boxes


def next_box(app, timeout):
    """The next message box to open within `timeout` seconds, or None when the game stays quiet."""
    deadline = time.monotonic() + timeout * PATIENCE
    while True:
        try:
            boxes = open_boxes(app)
            if boxes:
                check(len(boxes) == 1, f"{len(boxes)} message boxes open at once")
                return Box(boxes[0])
        except Failed:
            raise
        except Exception:
            pass  # a box closing under us; look again
        if time.monotonic() >= deadline:
            return None
        time.sleep(0.1)


def answer(app, box):
    """Presses OK, or No to a question (a purchase is turned down), and waits for the box to close."""
    if "OK" in box.buttons:
        choice = "OK"
    elif "Yes" in box.buttons and "No" in box.buttons:
        choice = "No"
    else:
        raise Failed(f"message box with unexpected buttons: {box}")
    log(f"box {box} -> {choice}")
    do_action(box.buttons[choice], PRESS_ACTIONS, f"the {choice!r} button of {box}")
    wait_until(f"the box {box.text!r} to close",
               lambda: all(b.path != box.path for b in open_boxes(app)))
    return choice


def answer_all(app, first=None, wait_for_first=0.0, reply=answer):
    """Answers boxes until none opens for a quiet spell; returns [(caption, text, button pressed)].

    `reply(app, box)` answers one box and says which button it chose: `answer` through the buttons'
    actions, a `Keyboard`'s `answer` with keys.
    """
    transcript = []
    box = first if first is not None else next_box(app, wait_for_first or QUIET_SECONDS)
    while box is not None:
        check(len(transcript) < 30, f"more than 30 message boxes in a row: {transcript}")
        transcript.append((box.caption, box.text, reply(app, box)))
        box = next_box(app, QUIET_SECONDS)
    return transcript


# ---- the keyboard --------------------------------------------------------------------------------

# X keysyms of the keys the player presses.
KEY_TAB, KEY_RETURN, KEY_SPACE, KEY_N = 0xFF09, 0xFF0D, 0x0020, 0x006E
KEY_LEFT, KEY_UP, KEY_RIGHT = 0xFF51, 0xFF52, 0xFF53
KEY_NAMES = {KEY_TAB: "Tab", KEY_RETURN: "Enter", KEY_SPACE: "Space", KEY_N: "N",
             KEY_LEFT: "Left", KEY_UP: "Up", KEY_RIGHT: "Right"}


class XDisplay:
    """Just enough of Xlib, through ctypes, to give a top-level window the keyboard focus.

    On a desktop the window manager gives the focus to a window as it opens, and back to the board when
    a message box closes. There is no window manager on the Xvfb display here: the board never gets the
    focus by itself, and although Qt gives the focus to each message box as it opens, it falls back to
    the root window when the box closes, where no key reaches the game. So the player hands the focus
    to the board as a window manager would (XSetInputFocus, which is what `xdotool windowfocus` does;
    `xdotool windowactivate` asks a window manager and does nothing here). No click is involved.
    """

    REVERT_TO_PARENT = 2
    CURRENT_TIME = 0
    ANY_PROPERTY_TYPE = 0

    def __init__(self):
        try:
            xlib = ctypes.CDLL("libX11.so.6")
        except OSError as error:
            raise Failed(f"cannot load libX11 to hand the board the keyboard focus: {error}")
        ulong, pointer = ctypes.c_ulong, ctypes.POINTER
        xlib.XOpenDisplay.restype = ctypes.c_void_p
        xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
        xlib.XDefaultRootWindow.restype = ulong
        xlib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        xlib.XQueryTree.argtypes = [ctypes.c_void_p, ulong, pointer(ulong), pointer(ulong),
                                    pointer(pointer(ulong)), pointer(ctypes.c_uint)]
        xlib.XInternAtom.restype = ulong
        xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        xlib.XGetWindowProperty.argtypes = [ctypes.c_void_p, ulong, ulong, ctypes.c_long, ctypes.c_long, ctypes.c_int,
                                            ulong, pointer(ulong), pointer(ctypes.c_int), pointer(ulong),
                                            pointer(ulong), pointer(ctypes.c_void_p)]
        xlib.XFree.argtypes = [ctypes.c_void_p]
        xlib.XSetInputFocus.argtypes = [ctypes.c_void_p, ulong, ctypes.c_int, ulong]
        xlib.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]
        # Xlib's own handler ends the process on any error (a window gone, say); note it and go on.
        self.errors = []
        handler_type = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
        self._handler = handler_type(lambda _display, event: self.errors.append(event) or 0)
        xlib.XSetErrorHandler.restype = ctypes.c_void_p
        xlib.XSetErrorHandler.argtypes = [handler_type]
        xlib.XSetErrorHandler(self._handler)
        self.xlib = xlib
        self.display = xlib.XOpenDisplay(None)
        check(self.display, "cannot open the X display named by DISPLAY")
        self.root = xlib.XDefaultRootWindow(self.display)

    def close(self):
        if self.display:
            self.xlib.XCloseDisplay(self.display)
            self.display = None

    def _property(self, window, name):
        """The value of a window property: bytes for 8-bit data, a list for 32-bit data, or None."""
        atom = self.xlib.XInternAtom(self.display, name.encode(), 0)
        kind, size, count, left = ctypes.c_ulong(), ctypes.c_int(), ctypes.c_ulong(), ctypes.c_ulong()
        data = ctypes.c_void_p()
        status = self.xlib.XGetWindowProperty(self.display, window, atom, 0, 1024, 0, self.ANY_PROPERTY_TYPE,
                                              ctypes.byref(kind), ctypes.byref(size), ctypes.byref(count),
                                              ctypes.byref(left), ctypes.byref(data))
        if status != 0 or not data.value:
            return None
        try:
            if size.value == 8:
                return ctypes.string_at(data.value, count.value)
            if size.value == 32:  # Xlib hands 32-bit items over as longs
                return list(ctypes.cast(data, ctypes.POINTER(ctypes.c_ulong))[:count.value])
            return None
        finally:
            self.xlib.XFree(data)

    def top_window(self, pid, title):
        """The top-level window of process `pid` titled `title`, or None."""
        root, parent = ctypes.c_ulong(), ctypes.c_ulong()
        kids, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
        if not self.xlib.XQueryTree(self.display, self.root, ctypes.byref(root), ctypes.byref(parent),
                                    ctypes.byref(kids), ctypes.byref(count)):
            return None
        windows = list(kids[:count.value])
        if kids:
            self.xlib.XFree(kids)
        found = [w for w in windows
                 if self._property(w, "_NET_WM_PID") == [pid] and self._property(w, "_NET_WM_NAME") == title.encode()]
        check(len(found) <= 1, f"{len(found)} top-level windows of process {pid} are titled {title!r}")
        return found[0] if found else None

    def give_focus(self, window):
        del self.errors[:]
        self.xlib.XSetInputFocus(self.display, window, self.REVERT_TO_PARENT, self.CURRENT_TIME)
        self.xlib.XSync(self.display, 0)
        check(not self.errors, f"the X server refused the keyboard focus for window {window:#x}")


class Keyboard:
    """Key presses on the X display (through the accessibility registry, which uses XTest), with
    everything the player learns read back through AT-SPI."""

    def __init__(self, board_window, display, board_xid):
        self.board_window = board_window
        self.display = display
        self.board_xid = board_xid

    def press(self, keysym):
        """Presses and releases one key."""
        log(f"key {KEY_NAMES[keysym]}")
        pyatspi.Registry.generateKeyboardEvent(keysym, None, pyatspi.KEY_SYM)

    def focus_board(self):
        """Makes the board the active window, unless it already is."""
        if has_state(self.board_window, pyatspi.STATE_ACTIVE):
            return
        self.display.give_focus(self.board_xid)
        wait_until(f"{BOARD_WINDOW!r} to become the active window",
                   lambda: has_state(self.board_window, pyatspi.STATE_ACTIVE), timeout=5)
        log(f"{BOARD_WINDOW!r} is the active window")

    def focused(self):
        """The control of the board with the keyboard focus, or None."""
        found = [a for a in descendants(self.board_window) if has_state(a, pyatspi.STATE_FOCUSED)]
        check(len(found) <= 1, f"{len(found)} controls of the board claim the focus: {[a.name for a in found]}")
        return found[0] if found else None

    def focus_moved_from(self, path):
        """The focused control if it is another than the one at `path`, else None."""
        now = self.focused()
        return now if now is not None and now.path != path else None

    def tab_to(self, what, wanted, presses=6):
        """Presses Tab until the focused control is `wanted` (a test on it); returns that control.

        Every stop on the way must be an enabled button or a square picture, and every Tab must move
        the focus.
        """
        current = wait_until("a control of the board to have the keyboard focus", self.focused, timeout=5)
        stops = [current.name]
        while True:
            check(current.getRole() == pyatspi.ROLE_PUSH_BUTTON and is_enabled(current)
                  and (current.name in (ROLL, END_TURN, BANKRUPT) or current.name in SQUARE_NAMES),
                  f"Tab stopped on {current.name!r} ({current.getRoleName()}, enabled: {is_enabled(current)}); "
                  f"the stops were {' -> '.join(stops)}")
            if wanted(current):
                log(f"the focus is on {current.name!r} (Tab stops: {' -> '.join(stops)})")
                return current
            check(len(stops) <= presses, f"{presses} presses of Tab never reached {what}; "
                                         f"the focus went {' -> '.join(stops)}")
            before = current
            self.press(KEY_TAB)
            current = wait_until(f"the focus to move on from {before.name!r} on Tab",
                                 lambda: self.focus_moved_from(before.path), timeout=5)
            stops.append(current.name)

    def arrow(self, keysym, expected):
        """Presses an arrow key on a square picture and checks which square has the focus then."""
        before = self.focused()
        check(before is not None and is_square(before),
              f"no square picture has the focus for {KEY_NAMES[keysym]}: {before.name if before else None!r}")
        self.press(keysym)
        now = wait_until(f"{KEY_NAMES[keysym]} to move the focus on from {before.name!r}",
                         lambda: self.focus_moved_from(before.path), timeout=5)
        check(now.name == expected,
              f"{KEY_NAMES[keysym]} from {before.name!r} took the focus to {now.name!r}, expected {expected!r}")
        log(f"{KEY_NAMES[keysym]}: the focus goes from {before.name!r} to {now.name!r}")

    def answer(self, app, box):
        """Answers a box with keys: Enter for OK, N for No; waits for the box to close."""
        if "OK" in box.buttons:
            key, choice, default = KEY_RETURN, "OK", "OK"
        elif "Yes" in box.buttons and "No" in box.buttons:
            key, choice, default = KEY_N, "No", "Yes"
        else:
            raise Failed(f"message box with unexpected buttons: {box}")
        # A box takes the keyboard as it opens, with the focus on its default button.
        wait_until(f"the box {box.text!r} to be active with {default!r} focused",
                   lambda: has_state(box.acc, pyatspi.STATE_ACTIVE)
                   and has_state(box.buttons[default], pyatspi.STATE_FOCUSED), timeout=5)
        log(f"box {box} -> {choice} by {KEY_NAMES[key]}")
        self.press(key)
        wait_until(f"the box {box.text!r} to close on {KEY_NAMES[key]}",
                   lambda: all(b.path != box.path for b in open_boxes(app)))
        return choice


def is_button(caption):
    return lambda acc: acc.getRole() == pyatspi.ROLE_PUSH_BUTTON and acc.name == caption


def is_square(acc):
    return acc.getRole() == pyatspi.ROLE_PUSH_BUTTON and acc.name in SQUARE_NAMES


# ---- the game ------------------------------------------------------------------------------------

def check_grid(grid):
    headings = sorted(a.name for a in descendants(grid)
                      if a.getRole() in (pyatspi.ROLE_LABEL, pyatspi.ROLE_PUSH_BUTTON)
                      and re.match(r"^Player [1-4]:$", a.name or ""))
    check(headings == [f"Player {p}:" for p in range(1, 5)], f"grid headings are {headings}")
    boxes = [a for a in descendants(grid) if a.getRole() == pyatspi.ROLE_CHECK_BOX]
    check(len(boxes) == 4 * 28, f"expected {4 * 28} ownership boxes in the grid, found {len(boxes)}")
    ticked = [a.name for a in boxes if has_state(a, pyatspi.STATE_CHECKED)]
    check(not ticked, f"no square should be owned, but the grid ticks {ticked}")
    return len(boxes)


def check_before_start(app, board, grid):
    for caption in (ROLL, END_TURN, BANKRUPT):
        button = board.button(caption)
        check(is_disabled(button), f"{caption!r} should be disabled before Start")
    money = board.money()
    check(money == {p: STARTING_MONEY for p in range(1, 5)}, f"money before Start: {money}")
    log(f"money lines read {board.money_names()}")
    check(board.turn_line() == "Player 1's turn", f"turn line before Start: {board.turn_line()!r}")
    check(board.dice() == (None, None), f"dice before Start: {board.dice()}")
    check(board.tokens_showing() == set(), f"tokens shown before Start: {board.tokens_showing()}")
    check_grid(grid)
    check(not open_boxes(app), "a message box is open before Start")
    log("before Start: Roll, End Turn and Bankrupt disabled; 1500 each; Player 1's turn; grid empty")


def choose_two_players_and_start(board):
    file_menu = board.menu_item("File")
    do_action(file_menu, MENU_ACTIONS, "File")
    file_popup = wait_until("the File menu to open", lambda: is_showing(popup_of(file_menu)) and popup_of(file_menu))
    for caption in ("Exit", "Players", "Start"):
        board.menu_item("File", caption)  # each is there

    players = board.menu_item("File", "Players")
    do_action(players, MENU_ACTIONS, "File > Players")
    wait_until("the Players menu to open", lambda: is_showing(popup_of(players)))
    checked = [c for c in ("2 Players", "3 Players", "4 Players")
               if has_state(board.menu_item("File", "Players", c), pyatspi.STATE_CHECKED)]
    check(checked == ["4 Players"], f"before choosing, the ticked player count is {checked}")

    do_action(board.menu_item("File", "Players", "2 Players"), PRESS_ACTIONS, "File > Players > 2 Players")

    def ticked():
        return [c for c in ("2 Players", "3 Players", "4 Players")
                if has_state(board.menu_item("File", "Players", c), pyatspi.STATE_CHECKED)]

    wait_until("'2 Players' to be the one ticked player count", lambda: ticked() == ["2 Players"])
    log("File > Players > 2 Players chosen")

    do_action(board.menu_item("File", "Start"), PRESS_ACTIONS, "File > Start")
    log("File > Start chosen")
    # A menu item run through its action leaves the menu up; close it as Escape would.
    try:
        if is_showing(file_popup):
            do_action(file_menu, MENU_ACTIONS, "File")
        wait_until("the File menu to close", lambda: not is_showing(popup_of(file_menu)), timeout=5)
    except Failed as error:
        log(f"note: {error}")


def check_started(app, board):
    wait_until("Roll to be enabled after Start", lambda: is_enabled(board.button(ROLL)))
    check(is_disabled(board.button(END_TURN)), "End Turn should stay disabled until the first roll")
    wait_until("the tokens of players 1 and 2 to show", lambda: board.tokens_showing() == {1, 2})
    check(board.turn_line() == "Player 1's turn", f"turn line after Start: {board.turn_line()!r}")
    check(board.money() == {p: STARTING_MONEY for p in range(1, 5)}, f"money after Start: {board.money()}")
    check(next_box(app, 0.5) is None, "Start should show no message box")
    log("started: Roll enabled, End Turn disabled, tokens 1 and 2 on Go")


def roll(app, board):
    """Rolls for player 1 from Go; returns (die 1, die 2, boxes answered)."""
    do_action(board.button(ROLL), PRESS_ACTIONS, "Roll")
    return first_move_from_go(app, board, 1, answer)


def first_move_from_go(app, board, player, reply):
    """Checks and answers the boxes of a player's first move, from Go, once Roll has been pressed.

    Returns (die 1, die 2, [(caption, text, button pressed)]); `reply` answers each box.
    """
    first = next_box(app, 10)
    check(first is not None, "no message box after Roll (a move always ends with the landing message)")
    die1, die2 = board.dice()
    check(die1 in range(1, 7) and die2 in range(1, 7), f"dice after Roll: {(die1, die2)}")
    target = die1 + die2
    log(f"rolled {die1} and {die2}: player {player} goes from Go to square {target} ({LANDING_TEXT[target]})")

    expected = f"Player {player} lands on {LANDING_TEXT[target]}"
    check(first.caption == BOX_CAPTION, f"the landing message's caption is {first.caption!r}, not {BOX_CAPTION!r}")
    check(first.text == expected, f"first box after rolling {die1}+{die2}: {first.text!r}, expected {expected!r}")
    transcript = answer_all(app, first, reply=reply)

    if target in PURCHASE_NAME:
        question = f"Buy {PURCHASE_NAME[target]}?"
        check(len(transcript) == 3
              and transcript[1] == (BUY_CAPTION, question, "No")
              and transcript[2][:2] == (BOX_CAPTION, "Property Turned Down"),
              f"landing on square {target}: expected the landing message, {question!r} turned down and "
              f"'Property Turned Down'; the boxes were {transcript}")
    elif target in CARD_SQUARES:
        check(len(transcript) >= 2, f"landing on a card square should show the card; the boxes were {transcript}")
    else:  # Income Tax, Jail (just visiting): the landing message alone
        check(len(transcript) == 1, f"landing on square {target}: expected one box; the boxes were {transcript}")
    check(all(caption in (BOX_CAPTION, BUY_CAPTION) for caption, _, _ in transcript),
          f"unexpected captions in {transcript}")
    return die1, die2, transcript


def check_after_roll(board, grid, dice, transcript, player=1, money_before=None):
    """The board after `player`'s first move from Go; `money_before` is the money lines before the roll."""
    die1, die2 = dice
    target = die1 + die2
    check(board.dice() == (die1, die2), f"the dice changed after the roll: {board.dice()}")
    check(is_disabled(board.button(ROLL)), "Roll should be disabled after rolling")
    check(is_enabled(board.button(END_TURN)), "End Turn should be enabled after rolling")
    check_grid(grid)  # every purchase was turned down
    money = board.money()
    if target not in CARD_SQUARES:
        expected = dict(money_before or {p: STARTING_MONEY for p in range(1, 5)})
        expected[player] -= TAX.get(target, 0)
        check(money == expected, f"money after landing on square {target}: {money}, expected {expected}")
    log(f"after the roll: money {money}, {len(transcript)} box(es) answered")


def end_turn(app, board, doubles):
    do_action(board.button(END_TURN), PRESS_ACTIONS, "End Turn")
    check_turn_handed_on(app, board, 1, doubles, answer)


def check_turn_handed_on(app, board, player, doubles, reply):
    """After `player` pressed End Turn: the doubles message and the same player again, or the other one."""
    transcript = answer_all(app, wait_for_first=3.0 if doubles else QUIET_SECONDS, reply=reply)
    if doubles:
        check(transcript == [(BOX_CAPTION, "Doubles, Roll Again !!", "OK")],
              f"after doubles, End Turn should say 'Doubles, Roll Again !!' only; the boxes were {transcript}")
        expected = f"Player {player}'s turn"
    else:
        check(transcript == [], f"End Turn without doubles should show no box; the boxes were {transcript}")
        expected = f"Player {player % 2 + 1}'s turn"  # two players
    wait_until(f"the turn line to read {expected!r}", lambda: board.turn_line() == expected)
    wait_until("Roll to be enabled for the next roll", lambda: is_enabled(board.button(ROLL)))
    check(is_disabled(board.button(END_TURN)), "End Turn should be disabled until the next roll")
    log(f"after End Turn: {expected!r}")


def roll_again_until_player_2(app, board, position):
    """After doubles player 1 rolls again (through the actions) until the turn goes to player 2.

    `position` is player 1's square after the first roll, or None where a card or Go To Jail may have
    moved the token; the landing message is checked while the square is known.
    """
    rolls = 0
    while board.turn_line() == "Player 1's turn":
        rolls += 1
        check(rolls <= 10, "player 1 threw doubles ten times running")
        do_action(board.button(ROLL), PRESS_ACTIONS, "Roll")
        first = next_box(app, 10)
        check(first is not None, "no message box after Roll")
        die1, die2 = board.dice()
        check(die1 in range(1, 7) and die2 in range(1, 7), f"dice after Roll: {(die1, die2)}")
        if position is None:
            check(first.text.startswith("Player 1 ") or first.text.endswith("Turns left"),
                  f"first box of player 1's roll {rolls + 1}: {first.text!r}")
        else:
            target = (position + die1 + die2) % len(SQUARE_NAMES)
            expected = ("Player 1 Passed GO" if position + die1 + die2 >= len(SQUARE_NAMES)
                        else f"Player 1 lands on {SQUARE_NAMES[target]}")
            check(first.text == expected, f"player 1 on square {position} rolled {die1}+{die2}: "
                                          f"the first box says {first.text!r}, expected {expected!r}")
            moved = SQUARE_NAMES[target] in ("Chance", "Community Chest") or target == GO_TO_JAIL
            position = None if moved else target
        log(f"player 1 rolls again: {die1} and {die2}")
        answer_all(app, first)
        do_action(board.button(END_TURN), PRESS_ACTIONS, "End Turn")
        check_turn_handed_on(app, board, 1, die1 == die2, answer)


def keyboard_turn(app, board, grid, keys):
    """Player 2's first turn, from Go, with keys only."""
    check(board.turn_line() == "Player 2's turn", f"the keyboard turn should be player 2's: {board.turn_line()!r}")
    money_before = board.money()
    keys.focus_board()
    keys.tab_to(repr(ROLL), is_button(ROLL))
    keys.press(KEY_SPACE)
    die1, die2, transcript = first_move_from_go(app, board, 2, keys.answer)
    check_after_roll(board, grid, (die1, die2), transcript, player=2, money_before=money_before)

    keys.focus_board()  # the last box has closed
    keys.tab_to(repr(END_TURN), is_button(END_TURN))
    keys.press(KEY_SPACE)
    check_turn_handed_on(app, board, 2, die1 == die2, keys.answer)


def keyboard_walk(keys):
    """From Roll, Tab onto the board's square picture (Go, before anyone walked the board) and round the ring."""
    keys.focus_board()
    keys.tab_to(repr(ROLL), is_button(ROLL))
    square = keys.tab_to("a square picture", is_square)
    check(square.name == SQUARE_NAMES[0], f"the square picture in the tab chain is {square.name!r}, "
                                          f"expected {SQUARE_NAMES[0]!r}")
    keys.arrow(KEY_LEFT, SQUARE_NAMES[1])   # Go is the bottom right corner; square 1 is left of it
    keys.arrow(KEY_RIGHT, SQUARE_NAMES[0])
    keys.arrow(KEY_UP, SQUARE_NAMES[39])    # and the last square above it


# ---- a computer opponent ---------------------------------------------------------------------------

LOG_WINDOW = "Game Log"


def open_game_log(app, board):
    """Opens File > Game Log through the menu; returns the log's text view."""
    file_menu = board.menu_item("File")
    do_action(file_menu, MENU_ACTIONS, "File")
    file_popup = wait_until("the File menu to open", lambda: is_showing(popup_of(file_menu)) and popup_of(file_menu))
    do_action(board.menu_item("File", "Game Log"), PRESS_ACTIONS, "File > Game Log")
    try:
        if is_showing(file_popup):
            do_action(file_menu, MENU_ACTIONS, "File")
    except Exception as error:
        log(f"note: {error}")
    window = wait_until(f"the window {LOG_WINDOW!r}", lambda: top_window(app, LOG_WINDOW))
    check(window.getRole() in (pyatspi.ROLE_FRAME, pyatspi.ROLE_WINDOW),
          f"{LOG_WINDOW!r} is a {window.getRoleName()}, not a window")
    view = wait_until("the log's text view", lambda: next(
        (a for a in descendants(window) if a.getRole() == pyatspi.ROLE_TEXT and a.name == LOG_WINDOW), None))
    log(f"File > Game Log opened {LOG_WINDOW!r} ({window.getRoleName()})")
    return view


def log_text(view):
    text = view.queryText()
    return text.getText(0, text.characterCount)


def press_and_settle(app, board, caption):
    """Presses a board button and waits until the game has taken it: the button disabled or a box up."""
    do_action(board.button(caption), PRESS_ACTIONS, caption)
    wait_until(f"{caption!r} to be taken", lambda: is_disabled(board.button(caption)) or open_boxes(app))


def computer_game(app, board, grid):
    seats = [not has_state(board.menu_item("Computer", f"Player {p}", "Person"), pyatspi.STATE_CHECKED)
             for p in range(1, 5)]
    check(seats == [False, True, False, False], f"Computer menu gives {seats} to the computer, expected only Player 2")
    log("Computer > Player 2 is the computer's")
    choose_two_players_and_start(board)
    check_started(app, board)
    view = open_game_log(app, board)
    die1, die2, transcript = roll(app, board)
    check_after_roll(board, grid, (die1, die2), transcript)
    check("Player 1: Buy " in log_text(view) or not any(t[1].startswith("Buy ") for t in transcript),
          f"the log should hold player 1's purchase question: {log_text(view)!r}")
    press_and_settle(app, board, END_TURN)
    # Player 1 answers its own boxes and rolls again after doubles; player 2's turn needs nobody.
    deadline = time.monotonic() + 60 * PATIENCE
    while True:
        check(time.monotonic() < deadline, "the computer did not hand the turn back to player 1 within 60 s; "
              f"the log reads {log_text(view)!r}")
        try:
            if board.turn_line() == "Player 1's turn":
                boxes = open_boxes(app)
                if boxes:
                    answer(app, Box(boxes[0]))
                elif "Player 2: " in log_text(view) and is_enabled(board.button(ROLL)):
                    break
                elif is_enabled(board.button(ROLL)):
                    press_and_settle(app, board, ROLL)
                elif is_enabled(board.button(END_TURN)):
                    press_and_settle(app, board, END_TURN)
        except Failed:
            raise
        except Exception:
            pass  # a box closing under us; look again
        time.sleep(0.1)
    computer_lines = [line for line in log_text(view).splitlines() if line.startswith("Player 2: ")]
    check(any(line.startswith("Player 2: Player 2 lands on ") for line in computer_lines),
          f"the log shows no landing of player 2: {computer_lines}")
    log(f"the computer played player 2: {computer_lines}")
    check(next_box(app, QUIET_SECONDS) is None, "a box is still open after the computer's turn")
    check(is_enabled(board.button(ROLL)) and is_disabled(board.button(END_TURN)),
          "player 1 should be able to roll again")
    log("the turn is back with player 1; Roll enabled, no box open")


def exit_game(app, board, pid):
    file_menu = board.menu_item("File")
    do_action(file_menu, MENU_ACTIONS, "File")
    wait_until("the File menu to open", lambda: is_showing(popup_of(file_menu)))
    try:
        do_action(board.menu_item("File", "Exit"), PRESS_ACTIONS, "File > Exit")
    except GLib.Error as error:
        # The program may end before it gets round to answering the action call.
        check("disconnected" in str(error).lower() or "no reply" in str(error).lower(),
              f"File > Exit: {error}")
    log("File > Exit chosen")
    wait_until("Dealbrix to leave the accessibility bus", lambda: find_app(pid) is None, timeout=20)
    log("Dealbrix has gone from the desktop")


def main():
    global PATIENCE
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--pid", type=int, required=True, help="process id of the running dealbrix")
    parser.add_argument("--patience", type=float, default=1.0, help="multiplies every time limit")
    parser.add_argument("--computer", action="store_true",
                        help="the program plays player 2 (--computer 2 --computer-delay 0)")
    args = parser.parse_args()
    PATIENCE = max(args.patience, 1.0)
    pyatspi.setTimeout(int(5000 * PATIENCE), int(30000 * PATIENCE))  # per call, and for a starting program

    app = wait_until(f"process {args.pid} on the accessibility bus", lambda: find_app(args.pid), timeout=30)
    check(app.name == APP_NAME, f"the application is called {app.name!r}, not {APP_NAME!r}")
    Atspi.Accessible.set_cache_mask(app, Atspi.Cache.NONE)  # every read asks the program itself
    log(f"found application {app.name!r} (process {args.pid})")

    board_window = wait_until(f"the window {BOARD_WINDOW!r}", lambda: top_window(app, BOARD_WINDOW), timeout=20)
    grid = wait_until(f"the window {GRID_WINDOW!r}", lambda: top_window(app, GRID_WINDOW), timeout=20)
    check(board_window.getRole() == pyatspi.ROLE_FRAME,
          f"{BOARD_WINDOW!r} is a {board_window.getRoleName()}, not a frame")
    check(is_showing(board_window) and is_showing(grid), "both windows should be on screen")
    log(f"windows: {BOARD_WINDOW!r} ({board_window.getRoleName()}), {GRID_WINDOW!r} ({grid.getRoleName()})")
    board = Board(board_window)
    wait_until("the three buttons of the board", lambda: all(board.button(c) for c in (ROLL, END_TURN, BANKRUPT)))

    if args.computer:
        computer_game(app, board, grid)
        exit_game(app, board, args.pid)
        log("PASS")
        return 0

    check_before_start(app, board, grid)
    choose_two_players_and_start(board)
    check_started(app, board)
    die1, die2, transcript = roll(app, board)
    check_after_roll(board, grid, (die1, die2), transcript)
    end_turn(app, board, doubles=(die1 == die2))
    if die1 == die2:
        first_square = die1 + die2
        roll_again_until_player_2(app, board, None if first_square in CARD_SQUARES else first_square)

    display = XDisplay()
    try:
        board_xid = wait_until(f"the X window of {BOARD_WINDOW!r}", lambda: display.top_window(args.pid, BOARD_WINDOW))
        keys = Keyboard(board_window, display, board_xid)
        keyboard_turn(app, board, grid, keys)
        keyboard_walk(keys)
    finally:
        display.close()
    exit_game(app, board, args.pid)
    log("PASS")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except Failed as failure:
        log(f"FAIL: {failure}")
        sys.exit(1)
    except Exception:  # an AT-SPI call that failed outright
        traceback.print_exc()
        log("FAIL: unexpected error")
        sys.exit(1)
