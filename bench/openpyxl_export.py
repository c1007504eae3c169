#!/usr/bin/env python3
"""Writes the table of a CSV file (header row, then numbers) to an .xlsx with
openpyxl (write-only workbook, bold header) and prints the milliseconds the workbook
took to build and save, wall and CPU (reading the CSV is not counted).
  openpyxl_export.py <csv> <xlsx> [deflate level]
Without a level, openpyxl's own (zlib's default, 6); with one, the archive openpyxl
saves into is opened at that level, as a user would set it."""
import csv
import functools
import sys
import time
import zipfile

import openpyxl.writer.excel
from openpyxl import Workbook
from openpyxl.cell import WriteOnlyCell
from openpyxl.styles import Font


def number(text):
    if text == "":
        return None
    try:
        return int(text)
    except ValueError:
        return float(text)


def main():
    source, target = sys.argv[1], sys.argv[2]
    if len(sys.argv) > 3:
        openpyxl.writer.excel.ZipFile = functools.partial(
            zipfile.ZipFile, compresslevel=int(sys.argv[3]))
    with open(source, newline="", encoding="utf-8") as f:
        rows = list(csv.reader(f))
    header, data = rows[0], [[number(v) for v in row] for row in rows[1:]]

    start = time.perf_counter()
    cpu = time.process_time()
    book = Workbook(write_only=True)
    sheet = book.create_sheet("Лог")
    bold = Font(bold=True)
    cells = []
    for title in header:
        cell = WriteOnlyCell(sheet, value=title)
        cell.font = bold
        cells.append(cell)
    sheet.append(cells)
    for row in data:
        sheet.append(row)
    book.save(target)
    wall_ms = (time.perf_counter() - start) * 1000
    cpu_ms = (time.process_time() - cpu) * 1000
    print(f"{wall_ms:.0f} {cpu_ms:.0f}")


if __name__ == "__main__":
    main()
