#!/usr/bin/env python3
"""Prints every cell of a workbook as another program reads it, for the tests of the export.

One JSON line per sheet: {"sheet": name, "rows": [[cell, ...], ...], "widths": {"A": w, ...}},
each cell null or {"t": type, "v": value, "f": number format}. Types: "n" number (int or float),
"d" date (value "YYYY-MM-DD HH:MM:SS", rounded to the second), "s" text.
"""
import datetime
import json
import sys

import openpyxl


def cell_json(cell):
    if cell.value is None:
        return None
    value = cell.value
    if isinstance(value, datetime.datetime):
        value = (value + datetime.timedelta(microseconds=500000)).replace(microsecond=0)
        return {"t": "d", "v": value.strftime("%Y-%m-%d %H:%M:%S"), "f": cell.number_format}
    if isinstance(value, bool):
        return {"t": "b", "v": value, "f": cell.number_format}
    if isinstance(value, (int, float)):
        return {"t": "n", "v": value, "f": cell.number_format}
    return {"t": "s", "v": str(value), "f": cell.number_format, "bold": bool(cell.font and cell.font.b)}


def main():
    book = openpyxl.load_workbook(sys.argv[1])
    for sheet in book.worksheets:
        rows = [[cell_json(c) for c in row] for row in sheet.iter_rows()]
        widths = {key: dim.width for key, dim in sheet.column_dimensions.items() if dim.width}
        print(json.dumps({"sheet": sheet.title, "rows": rows, "widths": widths,
                          "frozen": sheet.freeze_panes}, ensure_ascii=False))


if __name__ == "__main__":
    main()
