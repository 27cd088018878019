#!/usr/bin/env python3
"""Checks that the product's folders include each other only downwards, in the layers the README
draws. Every #include "folder/..." of a product source must name the folder itself or one of the
folders it is allowed to build on; anything else is reported and the check fails."""
import os
import re
import sys

# Each folder and the folders it may include. The table is itself without cycles (checked below).
ALLOWED = {
    "common": set(),
    "platform": {"common"},
    "duilib": {"common"},
    "core": {"common", "platform", "duilib"},
    "webview": {"common", "platform", "duilib", "core"},
    "game": {"common", "platform", "duilib", "core", "webview"},
    "login": {"common", "platform", "duilib", "core", "webview"},
    "update": {"common", "platform", "duilib", "core"},
    "app": {"common", "platform", "duilib", "core", "webview", "game", "login", "update"},
    # node.dll: the engine behind the interface, on its own.
    "engine": {"common", "platform"},
}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/')


def acyclic(graph):
    state = {}

    def visit(node):
        if state.get(node) == "open":
            return False
        if state.get(node) == "done":
            return True
        state[node] = "open"
        ok = all(visit(dep) for dep in graph[node])
        state[node] = "done"
        return ok

    return all(visit(node) for node in graph)


def main(root):
    if not acyclic(ALLOWED):
        print("check_layers: the table of allowed folders has a cycle")
        return 1
    faults = []
    for folder, allowed in sorted(ALLOWED.items()):
        for base, _, files in os.walk(os.path.join(root, folder)):
            for name in sorted(files):
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.join(base, name)
                with open(path, encoding="utf-8", errors="replace") as source:
                    for number, line in enumerate(source, 1):
                        match = INCLUDE.match(line)
                        if not match:
                            continue
                        target = match.group(1)
                        if target != folder and target in ALLOWED and target not in allowed:
                            faults.append(f"{os.path.relpath(path, root)}:{number}: {folder}/ includes {target}/")
    for fault in faults:
        print(fault)
    if faults:
        print(f"check_layers: {len(faults)} include(s) against the layers")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")))
