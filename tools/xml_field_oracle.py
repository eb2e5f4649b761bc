#!/usr/bin/env python3
"""Expected fields of XML documents parsed without a model (or with the
test model of freedesktop.org.xml), computed with Python's xml.sax as an
independent reader, for tests/itl_dl/xmlparser_test.cpp.

Without a model every element, attribute (non-empty value), comment and
processing instruction (non-empty content) becomes a field named by its
path ("/a/b", "/a/@x", "/a/comment()", "/a/processing-instruction(t)").
A field's text is the document text between its start and end, where a
delimiter (a blank) stands after every field start, before every element
end, and around the text of attributes, comments and processing
instructions; character data has none around it. Field texts are compared
with blank runs collapsed to one space and trimmed.

Output, one table per document: a line "# <name> <size> <fnv64 of the
bytes>", then one line per field name, sorted: "<name>\t<count>\t<sum of
fnv64 of the collapsed texts, mod 2**64, hex>". With --model (the
freedesktop test model) fields are named by the model and attribute items
follow as "item <name>\t<count>\t<sum>" lines.

Usage: tools/xml_field_oracle.py [--model] NAME=PATH... > table
"""
import re
import sys
import xml.sax
import xml.sax.handler

MASK = (1 << 64) - 1


def fnv64(data: bytes) -> int:
    h = 0xCBF29CE484222325
    for b in data:
        h ^= b
        h = (h * 0x100000001B3) & MASK
    return h


def collapse(text: str) -> str:
    return " ".join(t for t in re.split("[ \t\r\n]+", text) if t)


class Oracle(xml.sax.handler.ContentHandler, xml.sax.handler.LexicalHandler):
    def __init__(self, model):
        super().__init__()
        self.model = model
        self.text = []          # pieces of the document text
        self.length = 0
        self.path = []          # element names
        self.open = []          # per element: (field name or None, start, attr)
        self.fields = []        # (name, text)
        self.items = []         # (name, text)
        self.attr_open = False

    def put(self, s):
        self.text.append(s)
        self.length += len(s)

    def finish(self, entries):
        """(name, start, end) spans as (name, text)."""
        whole = "".join(self.text)
        return [(n, whole[a:b]) for n, a, b in entries]

    def pathname(self, tail):
        return "".join("/" + p for p in self.path) + tail

    # The test model: comment elements -> "c_comment"; mime-type elements
    # -> "mt_abs" (locator "//mime-type", priority 0.5, beats
    # "mime-type" at 0.0); attribute xml:lang -> STRING attribute "lang".
    def model_field(self, kind, label):
        if kind == "element" and label == "comment":
            return "c_comment"
        if kind == "element" and label == "mime-type":
            return "mt_abs"
        return None

    def field_for(self, kind, label, tail):
        if self.model:
            return self.model_field(kind, label)
        return self.pathname(tail)

    def startElement(self, name, attrs):
        self.path.append(name)
        field = self.field_for("element", name, "")
        start = self.length
        self.put(" ")
        self.open.append((field, start))
        for k in attrs.getNames():
            v = attrs.getValue(k)
            if v:
                self.other("attribute", k, "/@" + k, v)

    def endElement(self, name):
        field, start = self.open.pop()
        self.put(" ")
        if field is not None:
            self.fields.append((field, start, self.length))
        self.path.pop()

    def characters(self, content):
        self.put(content)

    def other(self, kind, label, tail, value):
        field = self.field_for(kind, label, tail)
        start = self.length
        self.put(" ")
        self.put(value)
        self.put(" ")
        if field is not None:
            self.fields.append((field, start, self.length))
        if self.model and kind == "attribute" and label == "xml:lang":
            self.items.append(("lang", value))

    def processingInstruction(self, target, data):
        if data:
            self.other("pi", target,
                       "/processing-instruction(" + target + ")", data)

    def comment(self, content):
        if content:
            self.other("comment", None, "/comment()", content)


def table(entries):
    out = {}
    for name, text in entries:
        c, s = out.get(name, (0, 0))
        out[name] = (c + 1, (s + fnv64(collapse(text).encode("utf-8"))) & MASK)
    return out


def main():
    args = sys.argv[1:]
    model = False
    if args and args[0] == "--model":
        model = True
        args = args[1:]
    for arg in args:
        name, path = arg.split("=", 1)
        data = open(path, "rb").read()
        handler = Oracle(model)
        parser = xml.sax.make_parser()
        parser.setFeature(xml.sax.handler.feature_namespaces, False)
        parser.setFeature(xml.sax.handler.feature_external_ges, False)
        parser.setProperty(xml.sax.handler.property_lexical_handler, handler)
        parser.setContentHandler(handler)
        parser.parse(path)
        print("# %s %d %016x" % (name, len(data), fnv64(data)))
        for k, (c, s) in sorted(table(handler.finish(handler.fields)).items()):
            print("%s\t%d\t%016x" % (k, c, s))
        for k, (c, s) in sorted(table(handler.items).items()):
            print("item %s\t%d\t%016x" % (k, c, s))


if __name__ == "__main__":
    main()
