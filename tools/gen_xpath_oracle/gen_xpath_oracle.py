#!/usr/bin/python3
"""Writes tests/itl_dl/data/xpath_oracle.txt: which nodes of random XML
documents the locators of XML models select, as an XPath 1.0 processor
(lxml) sees it.

Each document is made at random from a few element, attribute, comment and
processing-instruction names; prefixes x and y are bound to namespaces of
their own on the document element, so that a name test "x:a" selects the
same nodes whether it is read as written (the matcher) or by namespace
(XPath). Every element, attribute (namespace declarations excepted),
comment and processing instruction is one node, written as its element
path: "a/x:b/@id", "a/#" for a comment, "a/?t" for a processing
instruction with target t. A relative locator L selects what "//L" selects
from the document; an absolute one is evaluated as written.

Output lines:
    doc <n>
    node <index> <path>          (indices from 0 in document order)
    match <locator>\t<indices>   (space separated, possibly none)

Run from the project root with Debian's python3 and python3-lxml:
    /usr/bin/python3 tools/gen_xpath_oracle/gen_xpath_oracle.py
"""

import random
import sys

from lxml import etree

SEED = 47
DOCUMENTS = 32
LOCATORS_PER_DOCUMENT = 80
NAMESPACES = {"x": "urn:x", "y": "urn:y"}
ELEMENTS = ["a", "b", "c", "xa", "x:a", "x:b", "y:a"]
ATTRIBUTES = ["id", "a", "x:id", "x:a", "y:a"]
TARGETS = ["t", "u", "tt"]

rng = random.Random(SEED)


def make_element(depth):
    name = rng.choice(ELEMENTS)
    attributes = sorted(set(rng.choice(ATTRIBUTES) for _ in range(rng.randrange(3))))
    text = "<%s" % name
    if depth == 0:
        text += ' xmlns:x="urn:x" xmlns:y="urn:y"'
    for attribute in attributes:
        text += ' %s="v"' % attribute
    text += ">"
    for _ in range(rng.randrange(1, 5) if depth < 4 else 0):
        r = rng.randrange(10)
        if r < 6:
            text += make_element(depth + 1)
        elif r < 8:
            text += "<!--c-->"
        else:
            text += "<?%s d?>" % rng.choice(TARGETS)
    return text + "</%s>" % name


def make_document():
    before = "".join(rng.choice(["<!--c-->", "<?t d?>", ""]) for _ in range(2))
    after = rng.choice(["", "<!--c-->", "<?u d?>"])
    return before + make_element(0) + after


def parse(text):
    return etree.fromstring(text).getroottree()


def qname(clark):
    """Turns "{urn:x}a" into "x:a"."""
    if clark.startswith("{"):
        uri, local = clark[1:].split("}")
        prefix = [p for p, u in NAMESPACES.items() if u == uri][0]
        return prefix + ":" + local
    return clark


def node_key(tree, node):
    if getattr(node, "is_attribute", False):
        return tree.getpath(node.getparent()) + "/@" + node.attrname
    return tree.getpath(node)


def element_path(element):
    names = []
    while element is not None:
        names.append(qname(element.tag))
        element = element.getparent()
    return list(reversed(names))


def enumerate_nodes(tree):
    """(key, path) of every node in document order."""
    nodes = []
    root = tree.getroot()
    tops = list(reversed(list(root.itersiblings(preceding=True))))
    tops += [root] + list(root.itersiblings())
    for top in tops:
        for node in top.iter():
            if isinstance(node, etree._Comment):
                above = element_path(node.getparent()) if node.getparent() is not None else []
                nodes.append((node_key(tree, node), "/".join(above + ["#"])))
            elif isinstance(node, etree._ProcessingInstruction):
                above = element_path(node.getparent()) if node.getparent() is not None else []
                nodes.append((node_key(tree, node), "/".join(above + ["?" + node.target])))
            else:
                path = element_path(node)
                nodes.append((tree.getpath(node), "/".join(path)))
                for name in sorted(node.attrib.keys()):
                    nodes.append((tree.getpath(node) + "/@" + name,
                                  "/".join(path + ["@" + qname(name)])))
    return nodes


def random_test(last, attribute_axis):
    # Only the last step selects comments and processing instructions:
    # above it every node of a path is an element.
    r = rng.randrange(10 if last else 7)
    if r < 5:
        return "@" + rng.choice(ATTRIBUTES) if attribute_axis else rng.choice(ELEMENTS)
    if r == 5:
        return ("@" if attribute_axis else "") + rng.choice(["x:*", "y:*"])
    if r == 6:
        return "@*" if attribute_axis else "*"
    if attribute_axis:
        return "@" + rng.choice(ATTRIBUTES)
    if r == 7:
        return "comment()"
    if r == 8:
        return "processing-instruction()"
    return "processing-instruction('%s')" % rng.choice(TARGETS)


def random_locator():
    steps = rng.choice([1, 1, 2, 2, 2, 3, 3, 4])
    text = rng.choice(["", "/", "//"])
    for k in range(steps):
        last = k + 1 == steps
        text += random_test(last, last and rng.randrange(3) == 0)
        if not last:
            text += rng.choice(["/", "//"])
    return text


def main():
    out = ["# XPath oracle: written by tools/gen_xpath_oracle/gen_xpath_oracle.py "
           "(lxml %s, seed %d); do not edit." % (".".join(map(str, etree.LXML_VERSION)), SEED)]
    for n in range(DOCUMENTS):
        tree = parse(make_document())
        nodes = enumerate_nodes(tree)
        index = {key: i for i, (key, _) in enumerate(nodes)}
        out.append("doc %d" % n)
        for i, (_, path) in enumerate(nodes):
            out.append("node %d %s" % (i, path))
        for _ in range(LOCATORS_PER_DOCUMENT):
            locator = random_locator()
            expression = locator if locator.startswith("/") else "//" + locator
            selected = tree.xpath(expression, namespaces=NAMESPACES)
            hits = sorted(index[node_key(tree, node)] for node in selected)
            out.append("match %s\t%s" % (locator, " ".join(map(str, hits))))
    with open("tests/itl_dl/data/xpath_oracle.txt", "w") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    sys.exit(main())
