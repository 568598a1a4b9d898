#!/usr/bin/env python3
"""Reads a spreadsheet file with openpyxl, a reader independent of the one that wrote it, and
prints what it holds as JSON: for each sheet its name, frozen cell, filter range, column widths
and rows of cells, each cell as [type, value, number format]. Dates are ISO 8601 texts, durations
seconds."""
import datetime
import json
import sys

import openpyxl


def cell_of(cell):
    value = cell.value
    kind = cell.data_type
    if isinstance(value, datetime.datetime):
        value = value.isoformat()
    elif isinstance(value, datetime.timedelta):
        value = value.total_seconds()
    elif isinstance(value, datetime.time):
        value = value.hour * 3600 + value.minute * 60 + value.second
    return [kind, value, cell.number_format]


def main():
    book = openpyxl.load_workbook(sys.argv[1])
    sheets = []
    for sheet in book.worksheets:
        widths = {}
        for key, dimension in sheet.column_dimensions.items():
            widths[key] = dimension.width
        sheets.append({
            "name": sheet.title,
            "freeze": sheet.freeze_panes,
            "filter": sheet.auto_filter.ref,
            "widths": widths,
            "rows": [[cell_of(c) for c in row] for row in sheet.iter_rows()],
        })
    json.dump(sheets, sys.stdout)


main()
