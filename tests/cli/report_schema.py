#!/usr/bin/env python3
"""Checks brimlode-cli --report output (JSON Lines on stdin) against schema 1:
every key present, in its type, nothing else. Exit 0 when every line holds."""
import json
import sys

NUM, STR, BOOL, NULL = int, str, bool, type(None)

TOP = {
    "schema": (NUM,), "tool": (STR,), "version": (STR,), "archive": (STR,), "command": (STR,),
    "format": (STR, NULL), "analysis": (STR,), "status": (NUM,), "reason": (STR,), "dry_run": (BOOL,),
    "output": (STR, NULL), "leading_bytes": (NUM, NULL), "entries": (list,), "changes": (list,),
    "messages": (list,),
}
# --summary: counts in place of the entries.
TOP_SUMMARY = {key if key != "entries" else "summary": t if key != "entries" else (dict,) for key, t in TOP.items()}
SUMMARY = {
    "entries": (NUM,), "selected": (NUM,), "neutralised": (NUM,), "written": (NUM,), "not_done": (NUM,),
    "dangerous": (NUM,), "encrypted": (NUM,), "marks": (dict,),
}
ENTRY = {
    "index": (NUM,), "name": (STR,), "name_hex": (STR,), "encoding": (STR,), "folder": (STR,),
    "extension": (STR,), "dangerous": (BOOL,), "compressed_size": (NUM,), "original_size": (NUM,),
    "header_offset": (NUM,), "data_offset": (NUM,), "central_offset": (NUM, NULL), "method": (STR, NULL),
    "encrypted": (BOOL,), "marks": (list,), "names": (list,), "selected": (BOOL,), "neutralised": (BOOL,),
    "written": (BOOL,), "output": (STR, NULL), "not_done": (STR, NULL),
}
NAME_COPY = {"kind": (STR,), "encoding": (STR,), "name": (STR,), "name_hex": (STR,), "position": (NUM,)}
CHANGE = {"action": (STR,), "index": (NUM, NULL), "path": (STR, NULL)}
ACTIONS = {"neutralised", "created", "would_neutralise", "would_create"}


def check(obj, shape, where):
    if not isinstance(obj, dict):
        raise ValueError(f"{where}: not an object")
    if list(obj) != list(shape):
        raise ValueError(f"{where}: keys {list(obj)} are not {list(shape)}")
    for key, types in shape.items():
        value = obj[key]
        # bool is an int in Python: a number must not be a bool, nor the reverse.
        ok = any(isinstance(value, t) and (t is not NUM or not isinstance(value, bool)) for t in types)
        if not ok:
            raise ValueError(f"{where}.{key}: {value!r} is not {types}")


def main():
    count = 0
    for number, line in enumerate(sys.stdin, 1):
        doc = json.loads(line)
        check(doc, TOP_SUMMARY if "summary" in doc else TOP, f"line {number}")
        if "summary" in doc:
            check(doc["summary"], SUMMARY, f"line {number} summary")
        if doc["schema"] != 1 or doc["tool"] != "brimlode-cli":
            raise ValueError(f"line {number}: schema or tool")
        if doc["format"] not in ("zip", "lzh", None):
            raise ValueError(f"line {number}: format {doc['format']}")
        for i, entry in enumerate(doc.get("entries", [])):
            check(entry, ENTRY, f"line {number} entry {i}")
            if entry["index"] != i or len(entry["name_hex"]) % 2:
                raise ValueError(f"line {number} entry {i}: index or name_hex")
            if not all(isinstance(m, str) for m in entry["marks"]):
                raise ValueError(f"line {number} entry {i}: marks")
            for copy in entry["names"]:
                check(copy, NAME_COPY, f"line {number} entry {i} name")
        for change in doc["changes"]:
            check(change, CHANGE, f"line {number} change")
            if change["action"] not in ACTIONS:
                raise ValueError(f"line {number}: action {change['action']}")
        if not all(isinstance(m, str) for m in doc["messages"]):
            raise ValueError(f"line {number}: messages")
        count += 1
    if count == 0:
        raise ValueError("no report line")
    print(count)


if __name__ == "__main__":
    main()
