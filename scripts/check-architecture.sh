#!/usr/bin/env bash
# Checks two rules of docs/ARCHITECTURE.md that the compiler cannot:
#  (a) the window and the command line share one exchange path: src/cli, src/ui and every
#      widgets/ folder reach the controller through the subsystems' sequences, never by
#      calling the link's exchange primitives (send, waitReply) themselves;
#  (b) the folders under src/ do not include each other in a cycle. src/X/widgets counts
#      as folder X: a subsystem's widgets belong to it, and the rule is about subsystems.
# Fails with the offending lines. Fast: a text scan, no build needed.
set -euo pipefail
cd "$(dirname "$0")/.."
exec python3 - "$@" <<'EOF'
import os, re, sys

# Today's cycles, each cut at one include that the design says should go: these edges are
# left out of the graph, which must then have no cycle. Emptied as the cycles are broken.
KNOWN = set()

SRC = "src"
PRIMITIVE = re.compile(r"(?:\.|->|\b)(send|waitReply)\s*\(")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def strip_comments(text):
    # Line and block comments and string literals go; line numbers stay.
    out, i, n = [], 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            i = n if j < 0 else j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append("\n" * text.count("\n", i, j))
            i = j
        elif c == '"':
            j = i + 1
            while j < n and text[j] != '"' and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            out.append('""')
            i = j + 1
        else:
            out.append(c)
            i += 1
    return "".join(out)


def sources():
    for root, dirs, files in os.walk(SRC):
        dirs.sort()
        for f in sorted(files):
            if f.endswith((".cpp", ".h")):
                yield os.path.join(root, f)


def node_of(rel):
    # rel: a path under src/ split into its parts; src/X/widgets/... is folder X.
    return rel[0] if len(rel) > 1 else None


def folder_of(path):
    return node_of(os.path.relpath(path, SRC).split(os.sep))


def exchange_callers():
    bad = []
    for path in sources():
        rel = os.path.relpath(path, SRC).split(os.sep)
        if not (rel[0] in ("cli", "ui") or "widgets" in rel[:-1]):
            continue
        with open(path, encoding="utf-8") as f:
            text = strip_comments(f.read())
        for number, line in enumerate(text.split("\n"), 1):
            if PRIMITIVE.search(line):
                bad.append(f"{path}:{number}: {line.strip()}")
    return bad


def include_graph():
    folders = {d for d in os.listdir(SRC) if os.path.isdir(os.path.join(SRC, d))}
    edges = {}  # (from, to) -> first include seen
    for path in sources():
        here = folder_of(path)
        if here is None:
            continue
        with open(path, encoding="utf-8") as f:
            for number, line in enumerate(f, 1):
                m = INCLUDE.match(line)
                if not m:
                    continue
                target = m.group(1).split("/")
                if target[0] not in folders:
                    continue
                there = node_of(target)
                if there != here:
                    edges.setdefault((here, there), f"{path}:{number} includes {m.group(1)}")
    return edges


def components(nodes, edges):
    # Tarjan's strongly connected components.
    succ = {n: sorted(t for (f, t) in edges if f == n) for n in nodes}
    index, low, stack, on, out = {}, {}, [], set(), []

    def visit(v):
        index[v] = low[v] = len(index)
        stack.append(v)
        on.add(v)
        for w in succ[v]:
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            comp = []
            while True:
                w = stack.pop()
                on.discard(w)
                comp.append(w)
                if w == v:
                    break
            out.append(sorted(comp))

    for n in sorted(nodes):
        if n not in index:
            visit(n)
    return out


def one_cycle(comp, edges):
    # A shortest cycle inside the component, as folders in include order.
    inside = sorted((f, t) for (f, t) in edges if f in comp and t in comp)
    best = None
    for f, t in inside:
        prev, queue = {t: None}, [t]
        while queue and f not in prev:
            v = queue.pop(0)
            for (a, b) in inside:
                if a == v and b not in prev:
                    prev[b] = v
                    queue.append(b)
        if f in prev:
            path, v = [], prev[f]
            while v is not None:
                path.append(v)
                v = prev[v]
            cycle = [f] + list(reversed(path))
            if best is None or len(cycle) < len(best):
                best = cycle
    return best or comp


def main():
    failed = False
    bad = exchange_callers()
    if bad:
        failed = True
        print("check-architecture: src/cli, src/ui and widgets/ folders must not call the link's "
              "exchange primitives (send, waitReply); use the subsystem's sequence the window "
              "uses (it takes link::OperationContext):")
        for b in bad:
            print("  " + b)

    edges = include_graph()
    checked = {e: where for e, where in edges.items() if e not in KNOWN}
    nodes = {n for e in checked for n in e}
    for comp in components(nodes, checked):
        if len(comp) < 2:
            continue
        failed = True
        cycle = one_cycle(comp, checked)
        print("check-architecture: folders under src/ include each other in a cycle "
              "(src/X/widgets counts as X): " + " -> ".join(cycle + [cycle[0]]))
        for i, f in enumerate(cycle):
            t = cycle[(i + 1) % len(cycle)]
            print(f"  {f} -> {t}: {checked[(f, t)]}")
    stale = sorted(e for e in KNOWN if e not in edges)
    if stale:
        print("check-architecture: note: known edges no longer present, drop them from "
              "KNOWN: " + ", ".join(f"{f} -> {t}" for f, t in stale))
    if failed:
        sys.exit(1)
    print("check-architecture: ok")


main()
EOF
