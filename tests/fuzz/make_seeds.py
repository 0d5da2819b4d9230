#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into OUT/<target>/, cut from the
fixtures in tests/data, each in the input layout its target reads."""

import os
import sys

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data")


def lines(name, count):
    with open(os.path.join(DATA, name), "rb") as f:
        return f.read().split(b"\r\n")[:count]


def main():
    out = sys.argv[1]
    sjis = lines("ken_sample.csv", 300)
    utf8 = lines("ken_sample_utf8.csv", 300)
    osaka, kita = "大阪".encode("cp932"), "北区".encode("cp932")
    seeds = {"params": [], "line_reader": [], "matcher": [], "clipboard_field": [],
             "searcher": [], "encoding": []}

    for i, line in enumerate(sjis[:40:4]):
        fields = line.split(b",")
        seeds["params"].append(b"narvo.exe " + b" ".join(fields[6:9]))
        seeds["params"].append(b'"C:\\Program Files\\zanpo.exe" /C3 ' + b'"' + b" ".join(fields[7:9])
                               + b'"' + b' a"b c"d "" "')
    seeds["params"].append(b"zanpo \"\x95\\\" \t/F\x95\\.csv \x81")

    raw = b"\r\n".join(sjis[:25])
    for head in (b"\x00\x01\x02", b"\x07\x55\xaa", b"\x10\x01\x00", b"\xf5\x33\x44"):
        seeds["line_reader"].append(head + raw)
    seeds["line_reader"].append(b"\x03\x00\x00a\rb\r\nc\x1adef\nghi\x1a\r\n\x1a")
    seeds["line_reader"].append(b"\x05\x09\x09\n\r\r\n\x1a\n" + b"\n".join(utf8[:20]))

    for flags, terms, rows in ((0, [osaka, kita], sjis), (1, [osaka], sjis),
                               (0, [b'"' + kita + b'"'], sjis), (2, ["大阪".encode(), "北区".encode()], utf8),
                               (3, ["ｵｵｻｶ".encode()], utf8), (0, [b"osaka", b"\x83\x40"], sjis)):
        seeds["matcher"].append(bytes([flags]) + b"".join(t + b"\n" for t in terms) + b"\n"
                                + b"\n".join(rows[:20]))

    for i, line in enumerate(sjis[:30:3] + utf8[:30:3]):
        seeds["clipboard_field"].append(bytes([i & 3, i]) + line)
    seeds["clipboard_field"].append(b"\x00\x03" + b'1,"ab","1234567","cd"')
    seeds["clipboard_field"].append(b"\x00\x02" + b"\x83,a,\x00,b")

    for n, (flags, terms, rows) in enumerate((
            (0, [osaka, kita], sjis), (1, [osaka], sjis), (2, ["大阪".encode()], utf8),
            (2, ["北区".encode()], sjis), (3, [b"a", "ｵｵｻｶ".encode()], utf8),
            (0, [b'"0600000"'], sjis))):
        body = b"\r\n".join(rows[:20]) + (b"\r\n" if n % 2 else b"\n\x1a")
        seeds["searcher"].append(bytes([flags, n, n * 7, 3]) + b"".join(t + b"\n" for t in terms)
                                 + b"\n" + body)

    # The native mode deciding: CP932 keywords on the UTF-8 copy, one with a
    # byte-order mark, and Shift-JIS whose first line is UTF-8 by chance.
    for n, (flags, terms, body) in enumerate((
            (0, [osaka, kita], b"\r\n".join(utf8[:20])),
            (1, [osaka, "Ａσ".encode("cp932")], b"\xef\xbb\xbf" + b"\r\n".join(utf8[:20])),
            (0, ["ア".encode("cp932")], b"\xc3\xb1\r\n" + b"\r\n".join(sjis[:20])))):
        seeds["searcher"].append(bytes([flags, 0x80 | n * 3, n, 5])
                                 + b"".join(t + b"\n" for t in terms) + b"\n" + body)
    seeds["clipboard_field"].append(b"\x01\x01\xef\xbb\xbf" + utf8[0])

    for line in sjis[:10] + utf8[:10]:
        seeds["encoding"].append(line)
    seeds["encoding"] += [b"\xef\xbb\xbf" + sjis[3], "大阪"[:1].encode()[:2], b"\xed\xa0\x80",
                          b"\xf4\x90\x80\x80", b"\xe0\x9f", b"\xc0\xaf"]

    for target, items in seeds.items():
        folder = os.path.join(out, target)
        os.makedirs(folder, exist_ok=True)
        for n, item in enumerate(items):
            with open(os.path.join(folder, "seed-%02d" % n), "wb") as f:
                f.write(item)


if __name__ == "__main__":
    main()
