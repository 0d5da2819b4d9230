"""An independent view of which lines a search selects, for valid Shift-JIS text.

Decoding the data and searching characters can never match across a character
boundary, so this is a check of the program's byte-level boundary rules, not a
copy of them. Only ASCII letters fold.
"""


def ascii_lower(text):
    return "".join(c.lower() if "A" <= c <= "Z" else c for c in text)


def select(data, keywords, exclude=False):
    """The lines of data (CP932 bytes, CR LF or LF) that a search for keywords writes, CR LF each."""
    out = b""
    lines = data.split(b"\n")
    if lines and lines[-1] == b"":
        lines.pop()
    for raw in lines:
        raw = raw[:-1] if raw.endswith(b"\r") else raw
        text = ascii_lower(raw.decode("cp932"))
        found = [ascii_lower(k) in text for k in keywords]
        if (not any(found)) if exclude else all(found):
            out += raw + b"\r\n"
    return out
