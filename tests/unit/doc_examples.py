"""Runs every `$ instinfo ...` example of a document and compares what the tool prints with
what the document shows, so that the packagers' examples can't go stale.

usage: doc_examples.py [--update] INSTINFO DOCUMENT [COMMAND ...]
Only the examples of the commands named (default: check, plan) are run, from the folder
that holds the document's repository (the examples name demo/ and tests/data/). --update
writes what the tool prints into the document instead."""

import pathlib
import subprocess
import sys


def examples(text):
    """(command line, expected output lines) for each `$ instinfo` line of a ```text block."""
    found = []
    block = None  # the examples of the ```text block being read
    for line in text.splitlines():
        if line.startswith("```"):
            if block is not None:
                found.extend(block)
            block = [] if line == "```text" and block is None else None
        elif block is not None and line.startswith("$ instinfo "):
            block.append((line[2:], []))
        elif block:
            block[-1][1].append(line)
    return found


def main():
    args = sys.argv[1:]
    update = args[:1] == ["--update"]
    args = args[1:] if update else args
    instinfo, document = args[0], pathlib.Path(args[1])
    commands = args[2:] or ["check", "plan"]
    text = document.read_text(encoding="utf-8")
    root = document.resolve().parent.parent
    failures = 0
    ran = 0
    for command, expected in examples(text):
        words = command.split()
        if words[1] not in commands:
            continue
        ran += 1
        got = subprocess.run([instinfo] + words[1:], cwd=root, stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT)
        actual = got.stdout.decode("utf-8").splitlines()
        if update:
            old = "\n".join(["$ " + command] + expected) + "\n"
            text = text.replace(old, "\n".join(["$ " + command] + actual) + "\n", 1)
        elif actual != expected:
            failures += 1
            print(f"{document.name}: the example of `{command}` differs from its output:")
            for i in range(max(len(actual), len(expected))):
                want = expected[i] if i < len(expected) else "<nothing>"
                have = actual[i] if i < len(actual) else "<nothing>"
                if want != have:
                    print(f"  line {i + 1}:\n    shown:  {want}\n    prints: {have}")
    if update:
        document.write_text(text, encoding="utf-8")
    if ran == 0:
        print(f"{document.name}: no example of {', '.join(commands)} found")
        return 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
