#!/usr/bin/env python3
"""An independent model of the HTML parser and the text document, for the
tests' real-document fixture.

Written from the parser's rules (tag table actions, META statements, entity
references, and the mended behaviour: "<" ends a reference, open
constructs at the end go on as text, numeric references as code points,
tag names end at blank/tab/LF/CR, surrogates joined only in pairs) and the
text document's rules (delimiters are one blank, excluded fields keep their
text out, a field records [start, end) in UTF-8 bytes when it closes around
text, unless it is excluded or nested in an open, not excluded field of the
same name; an empty name records nothing).

Documents are parsed as CCSID 1208 without a model. For each, one line of
tests/itl_dl/data/html_real.txt:
    <path> <input bytes> <fnv64 input> <text bytes> <fnv64 text>
    <fields> <fnv64 fields> <segments> <fnv64 segments>
where the fields text is "name start end\\n" per recorded boundary in the
order they close, and the segments text "position\\n" per paragraph end.

Usage (from the project root):
    python3 tools/gen_html_oracle/html_oracle.py > tests/itl_dl/data/html_real.txt
"""
import html.entities
import os
import sys

FIELD, PARA, SPACE, DELETE, REMOVE = 1, 3, 2, 4, 0
TAGS = {}
for n in "a address au author h1 h2 h3 h4 h5 h6 title".split():
    TAGS[n] = FIELD
for n in ("area cite code credit dfn dir dl fn frame note ol p q samp table "
          "xmp").split():
    TAGS[n] = PARA
TAGS["spacer"] = SPACE
TAGS["del"] = DELETE
for n in ("!-- abbrev acronym applet b banner base basefont bgsound big blink "
          "blockquote body bq br caption center col colgroup dd div dt em "
          "embed fig font form frameset head hr html i iframe img input ins "
          "isindex kbd lang lh li link listing map marquee math menue "
          "multicol nobr noframes overlay param person plaintext pre range "
          "script select small spot strike strong sub sup tab tbody td "
          "textarea textflow tfoot th thead tr tt u ul var wbr").split():
    TAGS[n] = REMOVE
assert len(TAGS) == 107
ENTITIES = {"&%s;" % k: v for k, v in html.entities.name2codepoint.items()}
BLANKS = " \t\r\n"


def fnv(data):
    h = 1469598103934665603
    for b in data:
        h = ((h ^ b) * 1099511628211) & 0xFFFFFFFFFFFFFFFF
    return h


class TextDocument:
    """The text document's visible effects: text, boundaries, segments."""

    def __init__(self):
        self.out = bytearray()
        self.stack = []  # [name, start, exclude, noBoundary]
        self.exclusion = False
        self.fields = []
        self.segments = []

    def text(self, units):
        if self.exclusion or not units:
            return
        s = "".join(units).encode("utf-16-le", "surrogatepass")
        self.out += s.decode("utf-16-le", "surrogatepass").encode(
            "utf-8", "surrogatepass")

    def delimiter(self):
        self.out += b" "

    def segment(self):
        self.segments.append(len(self.out))

    def start_field(self, name, exclude):
        no = exclude or name == "" or any(
            e[0] == name and not e[2] for e in self.stack)
        self.stack.append([name, len(self.out), exclude, no])
        self.exclusion = exclude

    def end_field(self):
        if self.stack:
            name, start, _, no = self.stack.pop()
            if not no and len(self.out) != start:
                self.fields.append((name, start, len(self.out)))
        self.exclusion = bool(self.stack) and self.stack[-1][2]

    def end(self):
        while self.stack:
            self.end_field()


def units_of(text):
    b = text.encode("utf-16-le", "surrogatepass")
    return [chr(b[i] | (b[i + 1] << 8)) for i in range(0, len(b), 2)]


def is_high(u):
    return 0xD800 <= ord(u) <= 0xDBFF


def is_low(u):
    return 0xDC00 <= ord(u) <= 0xDFFF


def parse(data):
    doc = TextDocument()
    text = data.decode("utf-8")
    if text.startswith("\ufeff"):
        text = text[1:]
    u = units_of(text)
    field_open = False

    def close():
        nonlocal field_open
        if field_open:
            doc.end_field()
            field_open = False

    def on_tag(tag):
        nonlocal field_open
        if len(tag) < 3:
            doc.text(tag)
            return
        body = tag[1:-1]
        end = bool(body) and body[0] == "/"
        if end:
            body = body[1:]
        i = 0
        while i < len(body) and body[i] in BLANKS:
            i += 1
        j = i
        while j < len(body) and body[j] not in BLANKS:
            j += 1
        name = "".join(body[i:j])
        name = "".join(c.lower() if "A" <= c <= "Z" else c for c in name)
        action = TAGS.get(name)
        if action is None:
            return
        if action in (FIELD, PARA) and not end:
            close()
        if action == SPACE:
            doc.delimiter()
        elif action == PARA:
            doc.segment()
        elif action == FIELD:
            doc.delimiter()
            close()
            if not end:
                doc.start_field(name, False)
                field_open = True
        elif action == DELETE:
            doc.delimiter()
            if end:
                close()
            else:
                doc.start_field("", True)
                field_open = True

    def on_entity(ref):
        s = "".join(ref)
        if len(ref) < 2 or ref[1] != "#":
            if s in ENTITIES:
                doc.text([chr(ENTITIES[s])])
            else:
                doc.text(ref)
            return
        digits = s[2:-1]
        if not digits or not all("0" <= c <= "9" for c in digits):
            doc.text(ref)
            return
        v = int(digits)
        if v == 0:
            doc.text(ref)
        elif v > 0x10FFFF or 0xD800 <= v <= 0xDFFF:
            doc.text(["\ufffd"])
        else:
            doc.text(units_of(chr(v)))

    def on_meta(m):
        if "\0" in m:
            doc.text(m[:m.index("\0")])
            return
        values = []
        i = 0
        n = len(m)
        for k in range(2):
            while i < n and m[i] != "=":
                i += 1
            if i == n:
                break
            i += 1
            while i < n and m[i] in BLANKS:
                i += 1
            if i == n:
                break
            if m[i] in "\"'":
                i += 1
                s = i
                while i < n and m[i] not in "\"'":
                    i += 1
                if i == n:
                    break
                values.append(m[s:i])
                i += 1
            else:
                s = i
                while i < n and m[i] not in BLANKS:
                    i += 1
                if i == n and k == 0:
                    break
                values.append(m[s:i])
        if len(values) < 2:
            return
        doc.text(values[0])
        doc.delimiter()
        doc.text(values[1])
        doc.delimiter()

    state = "text"
    buf = []
    meta = []
    p = 0
    while p < len(u):
        c = u[p]
        if state == "text":
            if c == "<":
                buf, state = ["<"], "tag"
                p += 1
            elif c == "&":
                buf, state = ["&"], "entity"
                p += 1
            else:
                q = p
                while q < len(u) and u[q] not in "<&":
                    q += 1
                doc.text(u[p:q])
                p = q
            continue
        ch = u[p:p + 2] if is_high(c) and p + 1 < len(u) and is_low(u[p + 1]) \
            else [c]
        pair = len(ch) == 2
        if state == "tag":
            if pair or len(buf) >= 1025:
                doc.text(buf)
                doc.text(ch)
                buf, state = [], "text"
            elif c == " " and len(buf) == 5 and "".join(buf[1:]) in ("meta",
                                                                      "META"):
                meta, state = [], "meta"
            elif c == ">":
                buf.append(c)
                state = "text"
                on_tag(buf)
                buf = []
            else:
                buf.append(c)
        elif state == "meta":
            if len(meta) + len(ch) > 2048:
                doc.text(buf)
                doc.delimiter()
                doc.text(meta)
                doc.text(ch)
                buf, meta, state = [], [], "text"
            elif c == ">":
                state = "text"
                on_meta(meta)
                buf, meta = [], []
            else:
                meta += ch
        else:
            if c == "<":
                doc.text(buf)
                buf, state = ["<"], "tag"
            elif pair or len(buf) >= 17:
                doc.text(buf)
                doc.text(ch)
                buf, state = [], "text"
            elif c == ";":
                buf.append(c)
                state = "text"
                on_entity(buf)
                buf = []
            else:
                buf.append(c)
        p += len(ch)
    if state == "tag" or state == "entity":
        doc.text(buf)
    elif state == "meta":
        doc.text(buf)
        doc.delimiter()
        doc.text(meta)
    doc.end()
    return doc


def sample():
    files = ["/usr/share/doc/base-passwd/users-and-groups.html"]
    root = "/usr/share/doc/python3.11/html"
    pages = []
    for d, _, names in os.walk(root):
        for n in names:
            if n.endswith(".html"):
                pages.append(os.path.join(d, n))
    pages.sort()
    step = max(1, len(pages) // 40)
    files += pages[::step][:40]
    return files


def main():
    for path in sample():
        data = open(path, "rb").read()
        doc = parse(data)
        fields = "".join("%s %d %d\n" % f for f in doc.fields).encode()
        segs = "".join("%d\n" % s for s in doc.segments).encode()
        print(path, len(data), "%016x" % fnv(data), len(doc.out),
              "%016x" % fnv(doc.out), len(doc.fields), "%016x" % fnv(fields),
              len(doc.segments), "%016x" % fnv(segs))


if __name__ == "__main__":
    main()
