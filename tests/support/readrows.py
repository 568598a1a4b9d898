#!/usr/bin/env python3
"""Reads a CSV or JSON lines file with Python's own readers, independent of the ones that wrote
it, and prints its rows as a JSON list of objects, every value as text ("" for none)."""
import csv
import json
import sys


def text(value):
    if value is None:
        return ""
    if isinstance(value, float) and value.is_integer():
        return str(int(value))
    return str(value)


def main():
    path = sys.argv[1]
    with open(path, newline="", encoding="utf-8") as file:
        if path.endswith(".jsonl"):
            rows = [json.loads(line) for line in file if line.strip()]
        else:
            rows = list(csv.DictReader(file))
    json.dump([{key: text(value) for key, value in row.items()} for row in rows], sys.stdout)


if __name__ == "__main__":
    main()
