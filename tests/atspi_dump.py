#!/usr/bin/python3
"""Prints a running program's accessibility tree as the AT-SPI bus shows it to a screen reader.

Usage: atspi_dump.py [--app NAME] [--pid PID] [--window TITLE] [--timeout S] [--json FILE]

Waits (never longer than --timeout) until the program has registered on the accessibility bus
and shows its window, then until the tree stops changing, and prints one line per accessible:
role, name, description and a few states, indented by depth. --json also writes the same
snapshot as a nested JSON tree, for checks. Exits 2 if the window never appears, printing
whatever was there to stderr so a wrong title or a missing bridge can be told apart.
"""
import argparse
import json
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

# States worth a line: enough to see what a keyboard user can reach, cheap to read (one call).
STATES = [
    ("enabled", Atspi.StateType.ENABLED),
    ("focusable", Atspi.StateType.FOCUSABLE),
    ("focused", Atspi.StateType.FOCUSED),
    ("showing", Atspi.StateType.SHOWING),
]
# A broken tree must not make the walk endless.
MAX_DEPTH = 40


def read(call, default=""):
    """One property read; a program that hangs or quits yields the default, not an exception."""
    try:
        value = call()
    except GLib.Error:
        return default
    return default if value is None else value


def snapshot(accessible, depth=0):
    node = {
        "role": read(accessible.get_role_name),
        "name": read(accessible.get_name),
        "description": read(accessible.get_description),
        "states": [],
        "labelled_by": [],
        "children": [],
    }
    # Where a name comes from a label beside the control (Qt names a drop-down list by the item
    # it shows and points to its label), the reader says both.
    for relation in read(accessible.get_relation_set, []):
        if relation.get_relation_type() == Atspi.RelationType.LABELLED_BY:
            for index in range(relation.get_n_targets()):
                node["labelled_by"].append(read(relation.get_target(index).get_name))
    state_set = read(accessible.get_state_set, None)
    if state_set is not None:
        node["states"] = [label for label, state in STATES if state_set.contains(state)]
    if depth < MAX_DEPTH:
        for index in range(read(accessible.get_child_count, 0)):
            child = read(lambda: accessible.get_child_at_index(index), None)
            if child is not None:
                node["children"].append(snapshot(child, depth + 1))
    return node


def lines(node, depth=0):
    quoted = lambda text: json.dumps(text, ensure_ascii=False)
    line = "  " * depth + node["role"] + " " + quoted(node["name"])
    if node["description"]:
        line += " description=" + quoted(node["description"])
    if node["labelled_by"]:
        line += " labelled-by=" + ",".join(quoted(label) for label in node["labelled_by"])
    if node["states"]:
        line += " [" + " ".join(node["states"]) + "]"
    yield line
    for child in node["children"]:
        yield from lines(child, depth + 1)


def find_applications(name, pid):
    desktop = Atspi.get_desktop(0)
    found = []
    for index in range(read(desktop.get_child_count, 0)):
        app = read(lambda: desktop.get_child_at_index(index), None)
        if app is None or read(app.get_name) != name:
            continue
        if pid is not None and read(app.get_process_id, -1) != pid:
            continue
        # Each read goes to the program, so a dump taken while it settles is not a stale copy.
        app.set_cache_mask(Atspi.Cache.NONE)
        found.append(app)
    return found


def has_window(tree, title):
    return any(child["name"] == title for child in tree["children"])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--app", default="taktola", help="the application's accessible name")
    parser.add_argument("--pid", type=int, help="only the application of this process")
    parser.add_argument("--window", default="TAKTOLA- Sports Metronome", help="the title to wait for")
    parser.add_argument("--timeout", type=float, default=15.0, help="seconds to wait at most")
    parser.add_argument("--settle", type=float, default=0.3, help="seconds between two equal dumps")
    parser.add_argument("--json", metavar="FILE", help="also write the snapshot as JSON")
    args = parser.parse_args()

    # Each call to the program gives up after a second, so a hung program cannot hang the dump.
    Atspi.set_timeout(1000, 3000)
    deadline = time.monotonic() + args.timeout
    tree, previous = None, None
    while time.monotonic() < deadline:
        apps = find_applications(args.app, args.pid)
        if len(apps) == 1:
            tree = snapshot(apps[0])
            # The window is filled in as the program starts up: wait until two dumps agree.
            if has_window(tree, args.window) and tree == previous:
                break
            previous = tree if has_window(tree, args.window) else None
        elif len(apps) > 1:
            print(f"atspi_dump: {len(apps)} applications named {args.app!r}; pass --pid", file=sys.stderr)
            return 2
        time.sleep(args.settle)
    else:
        print(f"atspi_dump: no window {args.window!r} of {args.app!r} within {args.timeout:g} s",
              file=sys.stderr)
        if tree is not None:
            print("\n".join(lines(tree)), file=sys.stderr)
        else:
            print("atspi_dump: the application never appeared on the accessibility bus", file=sys.stderr)
        return 2

    print("\n".join(lines(tree)))
    if args.json:
        with open(args.json, "w", encoding="utf-8") as out:
            json.dump(tree, out, ensure_ascii=False, indent=1)
    return 0


if __name__ == "__main__":
    sys.exit(main())
