#!/usr/bin/env python3
"""The layer check: every #include between the program's folders must follow a
link that the CMake files declare, and no folders may depend on each other in
a circle.

Usage: check_layers.py [SOURCE_ROOT]

Each source file belongs to the library or program whose add_library or
add_executable lists it. An include of a file of another library is allowed
only when the including library links that one (directly or through the
libraries it links). The folders' include graph must have no cycle. Every
problem is printed with the file and the include; the exit status is 1 when
there is one, 0 otherwise.
"""

import os
import re
import sys

PARTS = ["base", "model", "session", "regimes", "inventory", "screens", "app"]
SOURCE_SUFFIXES = (".h", ".cpp", ".h.in")

COMMAND = re.compile(r"\b(add_library|add_executable|target_link_libraries|target_sources)\s*\(([^)]*)\)", re.S)
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
KEYWORDS = {"STATIC", "SHARED", "OBJECT", "INTERFACE", "PUBLIC", "PRIVATE", "WIN32", "MACOSX_BUNDLE"}


def strip_comments(text):
    return "\n".join(line.split("#", 1)[0] for line in text.splitlines())


def read_targets(root):
    """Maps each listed source file to its target, and each target to the targets it links."""
    owner = {}
    links = {}
    for part in PARTS:
        for folder, _, files in os.walk(os.path.join(root, part)):
            if "CMakeLists.txt" not in files:
                continue
            text = strip_comments(open(os.path.join(folder, "CMakeLists.txt"), encoding="utf-8").read())
            for command, body in COMMAND.findall(text):
                words = body.split()
                if not words:
                    continue
                target, rest = words[0], [w for w in words[1:] if w not in KEYWORDS]
                if command in ("add_library", "add_executable", "target_sources"):
                    links.setdefault(target, set())
                    for word in rest:
                        path = word.replace("${PROJECT_SOURCE_DIR}/", "").replace("${CMAKE_SOURCE_DIR}/", "")
                        if "${" in path or not path.endswith(SOURCE_SUFFIXES):
                            continue
                        if not os.path.isabs(path) and not path.startswith(tuple(p + "/" for p in PARTS)):
                            path = os.path.relpath(os.path.join(folder, path), root)
                        owner[os.path.normpath(path)] = target
                else:
                    links.setdefault(target, set()).update(w for w in rest if w.startswith("tavelo"))
    return owner, links


def closure(links, target):
    seen, todo = set(), [target]
    while todo:
        for dep in links.get(todo.pop(), ()):
            if dep not in seen:
                seen.add(dep)
                todo.append(dep)
    return seen


def resolve(root, including, name, owner):
    for candidate in (os.path.join(os.path.dirname(including), name), name, name + ".in"):
        candidate = os.path.normpath(candidate)
        if candidate in owner or os.path.exists(os.path.join(root, candidate)):
            return candidate
    return None


def find_cycle(graph):
    """One cycle of the graph as a list of nodes, or None."""
    state = {}
    stack = []

    def visit(node):
        state[node] = "open"
        stack.append(node)
        for nxt in sorted(graph.get(node, ())):
            if state.get(nxt) == "open":
                return stack[stack.index(nxt):] + [nxt]
            if nxt not in state:
                found = visit(nxt)
                if found:
                    return found
        stack.pop()
        state[node] = "done"
        return None

    for node in sorted(graph):
        if node not in state:
            found = visit(node)
            if found:
                return found
    return None


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    owner, links = read_targets(root)
    problems = []
    folder_graph = {}
    evidence = {}
    for part in PARTS:
        for folder, _, files in os.walk(os.path.join(root, part)):
            for name in sorted(files):
                if not name.endswith(SOURCE_SUFFIXES):
                    continue
                path = os.path.relpath(os.path.join(folder, name), root)
                target = owner.get(path)
                if target is None:
                    problems.append(f"{path}: belongs to no library or program in the CMake files")
                    continue
                allowed = closure(links, target) | {target}
                text = open(os.path.join(root, path), encoding="utf-8", errors="replace").read()
                for included in INCLUDE.findall(text):
                    found = resolve(root, path, included, owner)
                    if found is None or found not in owner:
                        continue  # generated files (moc) and headers of other projects
                    dep = owner[found]
                    if dep not in allowed:
                        problems.append(f'{path}: #include "{included}" is in {dep}, which {target} does not link')
                    src_folder, dep_folder = os.path.dirname(path), os.path.dirname(found)
                    if src_folder != dep_folder:
                        folder_graph.setdefault(src_folder, set()).add(dep_folder)
                        evidence.setdefault((src_folder, dep_folder), f'{path}: #include "{included}"')
    cycle = find_cycle(folder_graph)
    if cycle:
        problems.append("folders depend on each other in a circle: " + " -> ".join(cycle))
        for a, b in zip(cycle, cycle[1:]):
            problems.append("  " + evidence[(a, b)])
    link_cycle = find_cycle(links)
    if link_cycle:
        problems.append("libraries link each other in a circle: " + " -> ".join(link_cycle))
    for line in problems:
        print(line)
    if problems:
        print(f"layer check: {len(problems)} problem(s)")
        return 1
    print(f"layer check: {len(owner)} files in {len(links)} libraries and programs, no undeclared dependency, no cycle")
    return 0


if __name__ == "__main__":
    sys.exit(main())
