#!/usr/bin/python3
"""Checks a dump of the main window's accessibility tree (atspi_dump.py --json) in one language.

Usage: atspi_check.py en|ja DUMP.json

A screen reader announces a control by its accessible name, so every control the user can reach
needs one, in the language the window is shown in. Prints each unmet expectation and exits 1 if
there is any.
"""
import json
import sys

WINDOW = {"en": "TAKTOLA- Sports Metronome", "ja": "TAKTOLA- Sports Metronome"}
# How a window is announced as a window rather than as a pane inside one.
WINDOW_ROLE = "frame"

# What the start-up window shows. Role None: any role. Description None: not checked.
# (role, English name, Japanese name, English description, Japanese description)
EXPECTED = [
    ("combo box", "Patterns", "パターン", None, None),
    ("push button", "Save pattern", "パターンを保存", None, None),
    ("combo box", "Time Signature", "拍子", None, None),
    ("spin button", "Tempo (BPM)", "テンポ (BPM)", None, None),
    ("push button", "Start", "スタート", None, None),
    ("push button", "Stop", "ストップ", None, None),
    ("push button", "Add", "音追加", None, None),
    ("push button", "Delete", "音削除", None, None),
    ("push button", "About", "バージョン情報", None, None),
    ("combo box", "Type", "Type", None, None),
    ("combo box", "Notename", "音名", None, None),
    ("combo box", "Length", "長さ", None, None),
    ("combo box", "Loudness", "大きさ", None, None),
    (None, "Measure", "小節", "4/4, 4 notes, no note selected", "4/4、4音、選択なし"),
]

# Roles a user operates. Anything else that takes keyboard focus counts as a control too.
CONTROL_ROLES = {
    "push button", "toggle button", "check box", "radio button", "combo box", "spin button",
    "slider", "text", "entry", "password text", "list", "list box", "tree", "tree table", "table",
    "menu button", "link", "page tab",
}
# Items are named by their own text and read out with their list.
ITEM_ROLES = {"list item", "menu item", "table cell", "tree item", "check menu item", "radio menu item"}


def walk(node, path=()):
    here = path + (node,)
    yield node, here
    for child in node["children"]:
        yield from walk(child, here)


def where(path):
    """The accessible's place in the tree, for the message: roles and names from the window down."""
    return " > ".join(f'{n["role"]} {json.dumps(n["name"], ensure_ascii=False)}' for n in path[1:])


def showing(path):
    # A control inside a hidden pane is not showing even where its own state says it is.
    return all("showing" in node["states"] for node in path)


def check(lang, app):
    failures = []
    title = WINDOW[lang]
    windows = [child for child in app["children"] if child["name"] == title]
    if not windows:
        names = [child["name"] for child in app["children"]]
        failures.append(f"no window named {title!r}; the windows are named {names}")
    elif windows[0]["role"] != WINDOW_ROLE:
        failures.append(f"window {title!r} has role {windows[0]['role']!r}, not {WINDOW_ROLE!r}")

    nodes = [(node, path) for node, path in walk(app) if showing(path)]
    column = {"en": 1, "ja": 2}[lang]
    for row in EXPECTED:
        role, name, description = row[0], row[column], row[column + 2]
        found = [node for node, _ in nodes
                 if name in [node["name"]] + node.get("labelled_by", []) and role in (None, node["role"])]
        what = f"{role or 'accessible'} {name!r}"
        if not found:
            near = [f'{node["role"]} {node["name"]!r}' for node, _ in nodes if node["name"] == name]
            failures.append(f"no {what} is showing" + (f" (but {', '.join(near)})" if near else ""))
        elif len(found) > 1:
            failures.append(f"{len(found)} accessibles are {what}; a screen reader cannot tell them apart")
        elif description is not None and found[0]["description"] != description:
            failures.append(f"{what} is described as {found[0]['description']!r}, not {description!r}")

    for node, path in nodes:
        role = node["role"]
        if role in ITEM_ROLES or not (role in CONTROL_ROLES or "focusable" in node["states"]):
            continue
        if not node["name"].strip() and not any(label.strip() for label in node.get("labelled_by", [])):
            failures.append(f"a {role} has no accessible name: {where(path)}")
    return failures


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in WINDOW:
        print(__doc__, file=sys.stderr)
        return 2
    with open(sys.argv[2], encoding="utf-8") as dump:
        app = json.load(dump)
    failures = check(sys.argv[1], app)
    for failure in failures:
        print("FAIL:", failure)
    if failures:
        return 1
    print(f"atspi_check: every expected accessible name is there ({sys.argv[1]})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
