#!/usr/bin/python3
"""Prints what an independent reader (xlrd) sees in an .xls workbook, as JSON.

Usage: xls_dump.py FILE... [--rows N]
One JSON object for one file, a list of them for several. Cells of the first N rows of each sheet (all rows when N is not given) and of its last row are
listed as [type, value, number format, bold]. Whatever xlrd logs while reading (its warnings
about the container or the records) is returned under "log". Exits 2 when xlrd is missing.
"""
import io
import json
import sys

try:
    import xlrd
except ImportError:
    sys.stderr.write("python3-xlrd is not installed\n")
    sys.exit(2)

TYPES = {
    xlrd.XL_CELL_EMPTY: "empty",
    xlrd.XL_CELL_TEXT: "text",
    xlrd.XL_CELL_NUMBER: "number",
    xlrd.XL_CELL_DATE: "date",
    xlrd.XL_CELL_BOOLEAN: "boolean",
    xlrd.XL_CELL_ERROR: "error",
    xlrd.XL_CELL_BLANK: "blank",
}


def cell(book, sheet, r, c):
    item = sheet.cell(r, c)
    xf = book.xf_list[item.xf_index]
    fmt = book.format_map[xf.format_key].format_str
    bold = book.font_list[xf.font_index].weight >= 700
    return [TYPES[item.ctype], item.value, fmt, bool(bold)]


def dump_sheet(book, sheet, rows):
    shown = list(range(min(sheet.nrows, rows)))
    if sheet.nrows and sheet.nrows - 1 not in shown:
        shown.append(sheet.nrows - 1)
    return {
        "name": sheet.name,
        "nrows": sheet.nrows,
        "ncols": sheet.ncols,
        "cells": {str(r): [cell(book, sheet, r, c) for c in range(sheet.row_len(r))]
                  for r in shown},
        "widths": {str(c): info.width for c, info in sheet.colinfo_map.items()},
        "merged": [list(m) for m in sheet.merged_cells],
        "frozen": bool(sheet.panes_are_frozen),
        "frozen_rows": sheet.horz_split_pos,
    }


def dump_book(path, rows):
    log = io.StringIO()
    book = xlrd.open_workbook(path, formatting_info=True, logfile=log)
    return {
        "datemode": book.datemode,
        "codepage": book.codepage,
        "sheets": [dump_sheet(book, book.sheet_by_index(i), rows) for i in range(book.nsheets)],
        "log": log.getvalue(),
    }


def main():
    args = sys.argv[1:]
    rows = 1 << 30
    if "--rows" in args:
        at = args.index("--rows")
        rows = int(args[at + 1])
        del args[at:at + 2]
    books = [dump_book(path, rows) for path in args]
    text = json.dumps(books[0] if len(books) == 1 else books, ensure_ascii=False)
    sys.stdout.buffer.write(text.encode("utf-8"))


if __name__ == "__main__":
    main()
