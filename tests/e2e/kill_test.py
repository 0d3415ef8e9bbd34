#!/usr/bin/env python3
"""Never lose a game: kills the real program with SIGKILL at random moments while the computer plays
every seat, and after each kill checks that the autosave still opens, that it never goes back in the
game, and that it holds exactly the game after the last action completed before the kill. An autosave
taken while a box of an action was open also holds that action's draws so far; the action must play
on with the same draws after the restart (the same dice come up again).

Each round starts the program on the autosave of the round before (a fresh game the first time and
after a finished one), so the rounds together play on through whole games.

usage: kill_test.py DEALBRIX SAVECHECK [--kills N] [--seed S] [--play-args "..."]
"""

import argparse
import json
import os
import random
import shlex
import shutil
import subprocess
import sys
import tempfile
import time

POLL_SECONDS = 0.002


def read_bytes(path):
    """The file's whole content, or None while there is none. The program replaces the autosave by
    renaming a finished file over it, so every read sees one complete version."""
    try:
        with open(path, "rb") as f:
            return f.read()
    except FileNotFoundError:
        return None


def action_count(content):
    try:
        return json.loads(content.decode("utf-8"))["actions"]
    except (ValueError, KeyError) as error:
        raise AssertionError(f"an autosave was read that is not a whole saved game: {error}") from None


def seats_out(content):
    return sum(1 for player in json.loads(content.decode("utf-8"))["players"] if player["out"])


def settled_part(content):
    """The saved game without what changes while an action is on its way (its record and the log)."""
    game = json.loads(content.decode("utf-8"))
    game.pop("inProgress", None)
    game.pop("log", None)
    return game


def draws_of(content):
    record = json.loads(content.decode("utf-8")).get("inProgress")
    return None if record is None else record["draws"]


def check_with_program(savecheck, path):
    """The action count the program's own loader reads from `path`, or raises with its complaint."""
    done = subprocess.run([savecheck, path], capture_output=True, text=True, timeout=30)
    if done.returncode != 0:
        raise AssertionError(f"the autosave cannot be opened: {done.stderr.strip()}")
    return int(done.stdout.strip())


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("dealbrix")
    parser.add_argument("savecheck")
    parser.add_argument("--kills", type=int, default=60)
    parser.add_argument("--seed", type=int, default=None)
    parser.add_argument("--play-args", default="--computer 1,2,3,4 --computer-delay 0",
                        help="arguments that make the program play by itself")
    args = parser.parse_args()
    seed = args.seed if args.seed is not None else random.randrange(1 << 30)
    rng = random.Random(seed)
    print(f"kill test: seed {seed}, {args.kills} kills")

    home = tempfile.mkdtemp(prefix="dealbrix-kill-")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_DATA_HOME=os.path.join(home, "data"),
               XDG_CONFIG_HOME=os.path.join(home, "config"), XDG_CACHE_HOME=os.path.join(home, "cache"))
    autosave = os.path.join(home, "data", "Dealbrix", "Dealbrix", "autosave.dealbrix")

    last_count = None  # the action count of the autosave after the previous round; None: no game yet
    last_content = None  # the last autosave read, this round or before
    kills = finished = advanced = replayed = 0
    pending = None  # (action count, draws) of an action killed on its way, to come up again
    started = time.monotonic()
    try:
        while kills < args.kills:
            command = [args.dealbrix] + shlex.split(args.play_args)
            if os.path.exists(autosave):
                command.append(autosave)
            # Its messages go to a file: a pipe nobody reads could fill up and stall the program.
            errors_path = os.path.join(home, "stderr.log")
            with open(errors_path, "wb") as errors_file:
                program = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL, stderr=errors_file)
            deadline = time.monotonic() + rng.uniform(0.020, 0.400)
            seen = None  # the last content read while the program ran
            while time.monotonic() < deadline and program.poll() is None:
                content = read_bytes(autosave)
                if content is not None:
                    seen = last_content = content
                    draws = draws_of(content)
                    if pending is not None and draws is not None and action_count(content) == pending[0]:
                        # The killed action plays on: its draws so far stand first, unchanged.
                        if draws[:len(pending[1])] != pending[1]:
                            raise AssertionError(f"action {pending[0]} came back with other dice: "
                                                 f"{pending[1]} then {draws}")
                        replayed += 1
                        pending = None
                    elif pending is not None and action_count(content) > pending[0]:
                        pending = None  # it finished between two reads
                time.sleep(POLL_SECONDS)
            ended_by_itself = program.poll() is not None
            if not ended_by_itself:
                program.kill()
                kills += 1
            program.wait()
            with open(errors_path, "rb") as errors_file:
                errors = errors_file.read().decode("utf-8", "replace")

            if ended_by_itself:
                # Only a finished game ends the program: it exits cleanly and leaves no autosave.
                if program.returncode != 0:
                    raise AssertionError(f"the program failed by itself ({program.returncode}):\n{errors}")
                if os.path.exists(autosave):
                    raise AssertionError("the program ended by itself but left an autosave")
                finished += 1
                last_count = last_content = None
                continue

            if not os.path.exists(autosave):
                if last_content is None:
                    continue  # killed before the first action of a fresh game
                # The action that leaves one seat in play removes the autosave; the kill came between
                # that and the program's end. Only a game with two seats out can get there in one action.
                if seats_out(last_content) < 2:
                    raise AssertionError("the autosave disappeared although the game was not finished")
                finished += 1
                last_count = last_content = None
                continue
            count = check_with_program(args.savecheck, autosave)
            content = last_content = read_bytes(autosave)
            if action_count(content) != count:
                raise AssertionError("the autosave changed after the program was killed")
            if last_count is not None and count < last_count:
                raise AssertionError(f"the autosave went back from action {last_count} to {count}")
            if seen is not None:
                seen_count = action_count(seen)
                if count < seen_count:
                    raise AssertionError(f"the autosave went back from action {seen_count} to {count}")
                if count == seen_count and settled_part(content) != settled_part(seen):
                    raise AssertionError(f"two different games were saved as action {count}")
            draws = draws_of(content)
            pending = (count, draws) if draws else None
            if last_count is not None and count > last_count:
                advanced += 1
            last_count = count
    finally:
        shutil.rmtree(home, ignore_errors=True)

    seconds = time.monotonic() - started
    print(f"kill test: {kills} kills in {seconds:.1f} s, {advanced} rounds moved the game on, "
          f"{finished} games finished, {replayed} killed actions came back with their dice, "
          f"last action {last_count}")
    if advanced + finished == 0:
        raise AssertionError("the game never moved on between kills: does the program play by itself?")


if __name__ == "__main__":
    try:
        main()
    except AssertionError as failure:
        print(f"kill test FAILED: {failure}", file=sys.stderr)
        sys.exit(1)
