#!/usr/bin/env python3
"""Reads an exported file back with readers that owe nothing to the program and prints what
they see as JSON: {"sheets": [{"name": ..., "rows": [[cell, ...], ...]}]}.

  read_export.py csv FILE     the csv module; the header is the first row, every cell a string
  read_export.py tsv FILE     the csv module with tabs between fields
  read_export.py json FILE    the json module, strict as for jsonl: one document, an array of
                              objects
  read_export.py jsonl FILE   the json module, strict: NaN, Infinity and duplicate keys refused;
                              each line an object whose keys are listed in order
  read_export.py xlsx FILE    openpyxl; cells typed as {"n": number}, {"s": text},
                              {"b": bool}, {"d": iso date/time} or null, text unescaped as a
                              worksheet reads it (_xHHHH_)
Exact decimals in JSON are kept as their text ({"n": "12.50"}), so no digit is lost on the way.
"""
import csv
import datetime
import decimal
import io
import json
import sys


def refuse(token):
    raise ValueError("not JSON: " + token)


def unique_keys(pairs):
    keys = [k for k, _ in pairs]
    if len(keys) != len(set(keys)):
        raise ValueError("duplicate keys: %r" % keys)
    return {"keys": keys, "values": [typed_json(v) for _, v in pairs]}


def typed_json(value):
    if isinstance(value, bool):
        return {"b": value}
    if isinstance(value, int):
        return {"n": str(value)}
    if isinstance(value, decimal.Decimal):
        return {"n": str(value)}
    if isinstance(value, str):
        return {"s": value}
    return value


def read_csv(path):
    with open(path, newline="", encoding="utf-8") as f:
        text = f.read()
    bom = text.startswith("\ufeff")
    rows = list(csv.reader(io.StringIO(text[1:] if bom else text, newline="")))
    return {"bom": bom, "sheets": [{"name": "", "rows": rows}]}


def read_tsv(path):
    with open(path, newline="", encoding="utf-8") as f:
        rows = list(csv.reader(f, delimiter="\t"))
    return {"sheets": [{"name": "", "rows": rows}]}


def read_json(path):
    with open(path, "rb") as f:
        text = f.read().decode("utf-8")
    rows = json.loads(text, object_pairs_hook=unique_keys, parse_float=decimal.Decimal,
                      parse_constant=refuse)
    if not isinstance(rows, list):
        raise ValueError("not an array")
    return {"sheets": [{"name": "", "rows": rows}]}


def read_jsonl(path):
    rows = []
    with open(path, "rb") as f:
        raw = f.read()
    text = raw.decode("utf-8")  # strict: ill-formed UTF-8 is an error
    if text and not text.endswith("\n"):
        raise ValueError("last line not ended")
    for line in text.split("\n")[:-1]:
        rows.append(json.loads(line, object_pairs_hook=unique_keys, parse_float=decimal.Decimal,
                               parse_constant=refuse))
    return {"sheets": [{"name": "", "rows": rows}]}


def read_xlsx(path):
    import openpyxl
    from openpyxl.utils.escape import unescape
    book = openpyxl.load_workbook(path, read_only=True)
    sheets = []
    for sheet in book.worksheets:
        rows = []
        for row in sheet.iter_rows(values_only=True):
            cells = []
            for v in row:
                if v is None:
                    cells.append(None)
                elif isinstance(v, bool):
                    cells.append({"b": v})
                elif isinstance(v, (int, float)):
                    cells.append({"n": repr(v)})
                elif isinstance(v, (datetime.datetime, datetime.date, datetime.time)):
                    cells.append({"d": v.isoformat()})
                else:
                    cells.append({"s": unescape(v)})
            rows.append(cells)
        sheets.append({"name": sheet.title, "rows": rows})
    return {"sheets": sheets}


def main():
    kind, path = sys.argv[1], sys.argv[2]
    result = {"csv": read_csv, "tsv": read_tsv, "json": read_json, "jsonl": read_jsonl,
              "xlsx": read_xlsx}[kind](path)
    sys.stdout.write(json.dumps(result, ensure_ascii=True))


main()
