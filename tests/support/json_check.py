#!/usr/bin/env python3
"""Checks what `qorid --json` printed, with a real JSON parser.

usage: json_check.py JSON_OUTPUT LIST_OUTPUT VERBOSE_OUTPUT [EXPECTED_JSON]

- JSON_OUTPUT is one line ending in a newline, one JSON object (RFC 8259:
  no NaN, no duplicate member) with its members in the documented order;
- every text is given back exactly: from "<member>_base64" when there is
  one (and then the text itself holds U+FFFD), else from the UTF-8 of the
  text (and then it must be valid UTF-8);
- the parameters, decoded, are the NAME=value lines of LIST_OUTPUT (what
  `qorid --list` printed), byte for byte and in order;
- number and name are what VERBOSE_OUTPUT (`qorid --verbose`) shows;
- with EXPECTED_JSON, number, name and aliases are the expected ones and the
  parameters the same ones, in any order (a device-tree walk follows the
  directory's order).

Prints one line per fault and exits 1 when there is any.
"""
import base64
import json
import sys

faults = []


def fault(text):
    faults.append(text)


def no_duplicates(pairs):
    keys = [k for k, _ in pairs]
    if len(keys) != len(set(keys)):
        fault("duplicate member in %r" % keys)
    return dict(pairs)


def reject_constant(name):
    raise ValueError("not JSON: " + name)


def load(path):
    raw = open(path, "rb").read()
    if not raw.endswith(b"\n") or raw.count(b"\n") != 1:
        fault("%s: not one line ending in a newline" % path)
    text = raw.decode("utf-8")  # the document itself is always UTF-8
    order = json.loads(text, object_pairs_hook=lambda pairs: [k for k, _ in pairs])
    doc = json.loads(text, object_pairs_hook=no_duplicates, parse_constant=reject_constant)
    return doc, order


def decoded(obj, key):
    """The exact bytes of obj[key] (a text, or a list of texts)."""
    value = obj[key]
    if key + "_base64" in obj:
        extra = obj[key + "_base64"]
        if isinstance(value, list):
            if len(extra) != len(value):
                fault("%s_base64 does not match %s" % (key, key))
            return [base64.b64decode(e, validate=True) for e in extra]
        if "\ufffd" not in value:
            fault("%s has %s_base64 but no U+FFFD" % (key, key))
        return base64.b64decode(extra, validate=True)
    if isinstance(value, list):
        return [v.encode("utf-8") for v in value]
    return value.encode("utf-8")


def identity(doc):
    return doc["number"], decoded(doc, "name"), decoded(doc, "aliases")


def parameters(doc):
    out = []
    for entry in doc["parameters"]:
        keys = [k for k in entry if not k.endswith("_base64")]
        if keys != ["name", "value"]:
            fault("parameter members %r" % list(entry))
        out.append((decoded(entry, "name"), decoded(entry, "value")))
    return out


def main(argv):
    if len(argv) not in (4, 5):
        print(__doc__, file=sys.stderr)
        return 2
    doc, order = load(argv[1])
    want = ["number", "name", "aliases", "parameters"]
    if [k for k in order if not k.endswith("_base64")] != want:
        fault("members %r, expected %r" % (order, want))
    if not isinstance(doc["number"], int):
        fault("number is not an integer")
    params = parameters(doc)

    listed = []
    for line in open(argv[2], "rb").read().split(b"\n")[:-1]:
        name, _, value = line.partition(b"=")
        listed.append((name, value))
    if params != listed:
        fault("parameters differ from --list:\n  json: %r\n  list: %r" % (params, listed))

    verbose = open(argv[3], "rb").read().rstrip(b"\n")
    number, name, _ = identity(doc)
    if verbose != str(number).encode() + b" - " + name:
        fault("identity %r differs from --verbose %r" % ((number, name), verbose))

    if len(argv) == 5:
        expected, _ = load(argv[4])
        if identity(doc) != identity(expected):
            fault("identity %r, expected %r" % (identity(doc), identity(expected)))
        if sorted(params) != sorted(parameters(expected)):
            fault("parameters %r, expected %r" % (params, parameters(expected)))

    for f in faults:
        print("json: " + f)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
