"""What every part of the invisible-chrome generator shares: the one-line
failure with its exit code, progress lines, and reading and writing the
<p n="..."> parameters of the device XML the way the editor reads them.
"""

import re
import signal
import xml.etree.ElementTree as ET


class Failure(Exception):
    """A reason to stop, shown as one line, with the exit code to use."""

    def __init__(self, message, code=2):
        super().__init__(message)
        self.code = code


class Cancelled(BaseException):
    """Ctrl+C, or a polite end from the window (SIGTERM): the run stops where
    it is and takes back what of it is not in place."""

    def __init__(self, signum):
        super().__init__(signum)
        self.signum = signum


class Stops:
    """Turns Ctrl+C and SIGTERM into Cancelled until the run starts to put
    its art and output in place. From then on a stop is only noted: the
    placement completes, or its own failure takes it back, so a run whose
    output is in place is done however late the cancel came."""

    def __init__(self):
        self.holding = False
        self.late = None

    def install(self):
        signal.signal(signal.SIGINT, self.stop)
        if hasattr(signal, "SIGTERM"):
            signal.signal(signal.SIGTERM, self.stop)

    def stop(self, signum, _frame):
        if self.holding:
            self.late = signum
            return
        raise Cancelled(signum)

    def hold(self):
        self.holding = True


STOPS = Stops()


def say(text):
    print(text, flush=True)


def param(element, name):
    """The text of the first parameter of that name, or None."""
    for p in element.findall("p"):
        if p.get("n") == name:
            return p.text or ""
    return None


def last_param(element, name):
    """The text of the last parameter of that name, or None: the box fill
    and border are read so."""
    found = None
    for p in element.findall("p"):
        if p.get("n") == name:
            found = p.text or ""
    return found


def set_param(element, name, value):
    """Sets every parameter of that name, so readers of the first and of the
    last one agree; appends one when there is none."""
    found = False
    for p in element.findall("p"):
        if p.get("n") == name:
            p.text = value
            found = True
    if not found:
        ET.SubElement(element, "p", {"n": name}).text = value


def children(element, *classes):
    return [e for e in element.findall("e") if e.get("c") in classes]


def parse_int(text, fallback=0):
    """The leading whole number of the text, as the editor reads sizes."""
    m = re.match(r"\s*([+-]?\d+)", text or "")
    return int(m.group(1)) if m else fallback


def strict_int(text):
    """The trimmed text as a whole number, or None when it is anything else."""
    t = (text or "").strip()
    return int(t) if re.fullmatch(r"[+-]?\d+", t) else None


def parse_number(text, fallback=0.0):
    """The leading decimal number of the text (gauge radii and the like)."""
    m = re.match(r"\s*([+-]?(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?)", text or "")
    return float(m.group(1)) if m else fallback


def parse_colour(text):
    """ARGB from "0x..." hexadecimal or decimal text; None when it is no number."""
    t = (text or "").strip()
    if t[:2].lower() == "0x":
        value = int(t[2:], 16) if re.fullmatch(r"[0-9A-Fa-f]+", t[2:]) else None
    else:
        value = int(t, 10) if re.fullmatch(r"\+?\d+", t) else None
    return value if value is not None and value <= 0xFFFFFFFF else None


def unsigned32(text):
    """The text read as C's strtoul does and kept to 32 bits, as the editor
    reads a display's number (IndexFeatForType)."""
    m = re.match(r"\s*([+-]?)(\d+)", text or "")
    if not m:
        return 0
    value = min(int(m.group(2)), (1 << 64) - 1)
    if m.group(1) == "-":
        value = ((1 << 64) - value) % (1 << 64)
    return value & 0xFFFFFFFF
