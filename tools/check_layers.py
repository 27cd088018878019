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

# The engine's own folders: each may include itself and the engine folders listed, and, like the
# whole engine, the product folders of its entry above. No source sits in engine/ itself.
ENGINE = {
    "devtools": set(),
    "browser": {"devtools"},
    "frames": {"devtools"},
    "policy": {"devtools"},
    "session": {"devtools", "policy"},
    "view": {"devtools", "browser", "frames", "policy", "session"},
    "api": {"devtools", "browser", "frames", "policy", "session", "view"},
}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z_]+)/(?:([a-z_]+)/)?')


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


def check_file(path, rel, folder, allowed, engine_folder, faults):
    with open(path, encoding="utf-8", errors="replace") as source:
        for number, line in enumerate(source, 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            target, sub = match.group(1), match.group(2)
            if target not in ALLOWED:
                continue
            if target != folder and target not in allowed:
                faults.append(f"{rel}:{number}: {folder}/ includes {target}/")
            elif folder == "engine" and target == "engine":
                if sub not in ENGINE:
                    faults.append(f"{rel}:{number}: includes engine/ outside its folders")
                elif sub != engine_folder and sub not in ENGINE[engine_folder]:
                    faults.append(f"{rel}:{number}: engine/{engine_folder}/ includes engine/{sub}/")


def main(root):
    if not acyclic(ALLOWED) or not acyclic(ENGINE):
        print("check_layers: a table of allowed folders has a cycle")
        return 1
    faults = []
    for folder, allowed in sorted(ALLOWED.items()):
        for base, _, files in os.walk(os.path.join(root, folder)):
            for name in sorted(files):
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.join(base, name)
                rel = os.path.relpath(path, root)
                engine_folder = None
                if folder == "engine":
                    parts = rel.split(os.sep)
                    engine_folder = parts[1] if len(parts) > 2 else None
                    if engine_folder not in ENGINE:
                        faults.append(f"{rel}: engine sources belong in one of its folders ({', '.join(ENGINE)})")
                        continue
                check_file(path, rel, folder, allowed, engine_folder, faults)
    for fault in faults:
        print(fault)
    if faults:
        print(f"check_layers: {len(faults)} include(s) against the layers")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")))
