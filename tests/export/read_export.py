#!/usr/bin/python3
"""Reads an exported file with an independent reader and prints what it decodes.

read_export.py xls FILE  the code page, the sheet size, then one line per cell:
                         row, column, cell type (text, number, empty) and value
read_export.py rtf FILE  the font and its size as unrtf reports them, then the
                         document's text
Exit status 3 when the reader is not installed.
"""
import html
import re
import shutil
import subprocess
import sys


def read_xls(path):
    try:
        import xlrd
    except ImportError:
        print("python3-xlrd is not installed", file=sys.stderr)
        sys.exit(3)
    book = xlrd.open_workbook(path)
    sheet = book.sheet_by_index(0)
    print(f"encoding\t{book.encoding}")
    print(f"size\t{sheet.nrows}\t{sheet.ncols}")
    kinds = {xlrd.XL_CELL_TEXT: "text", xlrd.XL_CELL_NUMBER: "number", xlrd.XL_CELL_EMPTY: "empty"}
    for r in range(sheet.nrows):
        for c in range(sheet.row_len(r)):
            cell = sheet.cell(r, c)
            kind = kinds.get(cell.ctype, f"type{cell.ctype}")
            value = repr(cell.value) if kind == "number" else cell.value
            print(f"{r}\t{c}\t{kind}\t{value}")


def read_rtf(path):
    if shutil.which("unrtf") is None:
        print("unrtf is not installed", file=sys.stderr)
        sys.exit(3)
    out = subprocess.run(["unrtf", "--html", path], capture_output=True, check=True).stdout
    # unrtf passes the font name on as the document's code-page bytes.
    face = re.search(rb'<font face="([^"]*)"', out)
    size = re.search(rb"font-size:([0-9.]+)pt", out)
    print(f"font\t{face.group(1).decode('gbk') if face else ''}")
    print(f"size\t{size.group(1).decode() if size else ''}")
    # Tags go first: the font tag holds those code-page bytes.
    body = out[out.index(b"<body>") + 6 : out.index(b"</body>")]
    body = body.replace(b"\n", b"").replace(b"<br>", b"\n")
    body = re.sub(rb"<[^>]*>", b"", body).decode("utf-8")
    text = html.unescape(body).replace("\xa0", " ")
    print("text")
    sys.stdout.write(text)


if __name__ == "__main__":
    sys.stdout.reconfigure(encoding="utf-8")
    {"xls": read_xls, "rtf": read_rtf}[sys.argv[1]](sys.argv[2])
