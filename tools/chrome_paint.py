"""What the editor's canvas paints of a page, taken apart into the parts that
can move into the background and the parts that stay drawn by the masks.

Each mask is painted as the canvas's live look paints it: a gauge by its
needle (over its picture) or its ring arc alone; any other mask by its box
fill or its picture (or the editor's placeholder tint), a value bar of the
editor's own art, its box border, its box outline, its icon, then its value
or its widgets in list order (texts, and bars as their unlit picture under
the lit part). A static part is baked only when nothing drawn before it that
stays drawn reaches under it: moved below everything, it then looks as it
did. Where the parts of live values reach is estimated generously, so a
doubt keeps a part drawn rather than baked.
"""

import math
import os
import re
import zlib

from chrome_common import Failure, children, last_param, param, parse_colour, parse_int, parse_number, strict_int
from chrome_images import Picture, draw_over, fill_rect, picture_size, read_picture, stretched_premultiplied

WIDGETS = ("Digit", "Label", "Bargraph", "BargraphTrapezio")


def paint_order(masks):
    """ORDINE order when every mask has a usable one, else list order."""
    values = []
    for m in masks:
        value = strict_int(param(m, "ORDINE"))
        if value is None or value < 0:
            return list(range(len(masks)))
        values.append(value)
    return sorted(range(len(masks)), key=lambda i: values[i])


def scale_frame_name(mask):
    gauge = next(iter(children(mask, "Analog", "Ring")), None)
    if gauge is None:
        return ""
    choice = (param(gauge, "SCELTA_UTENTE") or "").strip().lower()
    full = 0
    stack = [gauge]
    while stack and full < 1:  # depth first, an element's own parameters before its children
        element = stack.pop()
        for p in element.findall("p"):
            value = strict_int(p.text) if p.get("n") == "NOME_SCALA" else None
            if value is not None and value > 0:
                full = value
                break
        stack.extend(reversed(element.findall("e")))
    if full < 1:
        return ""
    if choice == "rpm":
        return "scala_rpm_ON_%02d.png" % (full // 1000)
    if choice in ("km/h", "mph"):
        return "scala_vel_%s_ON_%d.png" % ("kmh" if choice == "km/h" else "mph", full)
    return ""


def twin_names(name):
    """A picture name and its other form: RS3 keeps a PNG beside a .tgz."""
    stem, ext = os.path.splitext(name)
    if ext.lower() == ".tgz":
        return [stem + ".png", name]
    if ext.lower() == ".png":
        return [name, stem + ".tgz"]
    return [name] if name else []


def chosen_element(parent, cls):
    """The child of the class that SCELTA_UTENTE names, else the first one."""
    chosen = param(parent, "SCELTA_UTENTE") or ""
    found = children(parent, cls)
    return next((e for e in found if chosen and e.get("i") == chosen), found[0] if found else None)


def position_value(text):
    """XPOS/YPOS of a widget: the number before a firmware suffix (",40")."""
    text = text or ""
    comma = text.find(",")
    value = strict_int(text[:comma] if comma > 0 else text)
    return value if value is not None else 0


def overlaps(rects, others):
    return any(a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3] for a in rects for b in others)


def grown(rect, by):
    return (rect[0] - by, rect[1] - by, rect[2] + by, rect[3] + by)


def around(cx, cy, radius):
    return (cx - radius, cy - radius, cx + radius, cy + radius)


class MaskSource:
    """The art folder of a mask, the pictures in it and what it draws with."""

    def __init__(self, mask, roots):
        self.roots = roots
        self.rel = (param(mask, "PATH_REL_AiM_MASK") or "").strip().replace("\\", "/")
        if self.rel and not self.rel.endswith("/"):
            self.rel += "/"
        folder = roots.resolve(self.rel) if self.rel else None
        self.folder = folder if folder and os.path.isdir(folder) else None
        self.sfondo = (param(mask, "PATH_IMAGE_SFONDO_FW") or "").strip()
        self.frame = scale_frame_name(mask)
        self.main_names = twin_names(self.sfondo) + ([self.frame] if self.frame else [])
        # The editor's own value bars keep their folder: the canvas finds
        # their picture by its name.
        self.homebrew = "/s04_homebrew/zbar_" in self.rel

    def file(self, name):
        """The picture of that name for the mask, from any install, or None."""
        if not self.rel or not name or "/" in name or "\\" in name:
            return None
        path = self.roots.resolve(self.rel + name)
        return path if path and os.path.isfile(path) else None

    def device_picture(self):
        """The picture the display paints for the mask (the PNG copy beside a
        .tgz is exact, the .tgz lost bits); None without one."""
        if not self.sfondo or self.homebrew:
            return None
        return next(filter(None, (self.file(n) for n in [twin_names(self.sfondo)[0], "mask.png", self.sfondo])), None)

    def homebrew_bar(self):
        """True when the editor's live look shows a value bar of its own art."""
        if not self.homebrew or not self.folder:
            return False
        return any(re.fullmatch(r"m2on[+-]?\d+\.png", n, re.IGNORECASE) for n in os.listdir(self.folder))


def read(path, what):
    try:
        return read_picture(path)
    except (OSError, ValueError, zlib.error) as e:
        raise Failure("Cannot read %s %s: %s" % (what, path, e))


def load_art(source, path):
    """The mask's picture with a gauge's scale frame painted over it."""
    picture = read(path, "artwork")
    frame_path = source.file(source.frame) if source.frame else None
    if not frame_path:
        return picture
    frame = read(frame_path, "scale frame")
    layer = Picture(picture.width, picture.height, bytearray(picture.rgba))
    flat = stretched_premultiplied(frame, picture.width, picture.height)
    for i in range(picture.width * picture.height):
        a = flat[4 * i + 3] / 255.0
        if a <= 0:
            continue
        da = layer.rgba[4 * i + 3] / 255.0
        out_a = a + da * (1 - a)
        for c in range(3):
            value = flat[4 * i + c] + layer.rgba[4 * i + c] * da * (1 - a)
            layer.rgba[4 * i + c] = max(0, min(255, int(value / out_a + 0.5)))
        layer.rgba[4 * i + 3] = max(0, min(255, int(out_a * 255 + 0.5)))
    return layer


class Part:
    """One thing a mask paints, where it reaches, and whether it may be baked."""

    def __init__(self, kind, rects, static=False, **data):
        self.kind = kind  # fill, art, border, unlit, labels or live
        self.rects = rects
        self.static = static
        self.blockers = data.pop("blockers", [])
        self.data = data
        self.baked = False


# --------------------------------------------------------------------------
# Where the live parts reach.

def text_size(mask, widget):
    """The pixel size the canvas starts a text at, before it shrinks it to
    fit the widget's character cells."""
    size = parse_int(param(widget, "CHARSET_DIM"))
    if size < 1:
        name = (param(widget, "CHAR_SET_ID_2") or "").split(",")[0]
        m = re.search(r"H(\d+)$", name) or re.search(r"\d+x(\d+)$", name) or re.search(r"_(\d+)$", name)
        size = int(m.group(1)) if m else 0
    h = parse_int(param(widget, "HEIGHT"))
    if size < 1:
        cells = max(parse_int(param(widget, "NUM_CHARS")), 1)
        mh = parse_int(param(mask, "HEIGHT"))
        size = h if h > 0 else (min(24, max(8, mh // cells)) if mh > 0 else 24)
    return min(4096, max(7, size))


def text_reach(mask, x, y, widget, length):
    """Generous bounds of a Digit's or Label's text as the canvas lays it out
    from POS_ALIGN: a sized widget is clipped to its width; an unsized one
    gets a wide advance per character; above and below, room for any font's
    ascent and descent."""
    size = text_size(mask, widget)
    w, h = parse_int(param(widget, "WIDTH")), parse_int(param(widget, "HEIGHT"))
    align = (param(widget, "POS_ALIGN") or "").lower()
    vertical, horizontal = (align[:1] or "t"), (align[1:2] or "l")
    ax = x + position_value(param(widget, "XPOS"))
    ay = y + position_value(param(widget, "YPOS"))
    if w > 0:
        left, right = ax - 2, ax + w + 2
    else:
        span = length * size * 1.2
        left = {"c": ax - span / 2, "r": ax - span}.get(horizontal, ax) - size
        right = {"c": ax + span / 2, "r": ax}.get(horizontal, ax + span) + size
    if h > 0:
        top = {"m": ay - h / 2, "b": ay - h}.get(vertical, ay)
    else:
        top = {"m": ay - size * 0.57, "b": ay - size * 1.14}.get(vertical, ay)
    return (left, top - 0.5 * size - 2, right, max(top + 1.6 * size, top + h) + 2)


def gauge_parts(mask, x, y, rect, source):
    """A gauge draws its needle over its picture, or its ring arc alone."""
    gauge = children(mask, "Analog", "Ring")[0]
    number = {n: parse_number(param(gauge, n)) for n in ("XPOS", "YPOS", "RAGG", "RAGBK", "BASE")}
    cx, cy = x + number["XPOS"], y + number["YPOS"]
    outer, inner = number["RAGG"], number["RAGBK"]
    if not children(mask, "Analog"):
        radius = (outer + inner) / 2 + abs(outer - inner) / 2
        return [Part("live", [around(cx, cy, radius + 3)])]
    parts = []
    device = source.device_picture()
    if device:
        parts.append(Part("art", [rect], static=True, path=device))
    elif source.file("mask.png"):
        parts.append(Part("live", [rect]))  # a picture only the editor draws
    reach = max(abs(outer), math.hypot(number["BASE"] / 2, inner))
    parts.append(Part("live", [around(cx, cy, reach + 3)]))
    return parts


def bar_parts(x, y, widget, source):
    """A bar: its unlit picture whole and its lit part over it when it has
    usable art, else a vector bar."""
    ax, ay = x + position_value(param(widget, "XPOS")), y + position_value(param(widget, "YPOS"))
    scale = chosen_element(widget, "ScaleFSV")
    if scale is None:
        udm = chosen_element(widget, "UDM")
        scale = chosen_element(udm, "ScaleFSV") if udm is not None else None
    if scale is not None:
        ends = [strict_int(param(widget, n)) or 0 for n in ("XStart1", "YStart1", "XStart2", "YStart2",
                                                           "XEnd1", "YEnd1", "XEnd2", "YEnd2")]
        lit = next((t for t in ((param(step, "PATH_IMG_ON") or "").strip()
                                for step in children(scale, "StepScale")) if t), "")
        lit_path = source.file(twin_names(lit)[0]) if lit else None
        size = picture_size(lit_path) if lit_path else None
        if ends[0:4] != ends[4:8] and size:
            left = ax + (strict_int(param(widget, "XIMG")) or 0)
            top = ay + (strict_int(param(widget, "YIMG")) or 0)
            parts = []
            off = (param(scale, "PATH_IMG_OFF") or "").strip()
            off_path = next(filter(None, (source.file(n) for n in twin_names(off))), None)
            if off_path:
                picture = read(off_path, "bar picture")
                parts.append(Part("unlit", [(left, top, left + picture.width, top + picture.height)], static=True,
                                  names=twin_names(off), picture=picture, at=(left, top)))
            parts.append(Part("live", [grown((left, top, left + size[0], top + size[1]), 2)]))
            return parts
    w, h = parse_int(param(widget, "WIDTH")), parse_int(param(widget, "HEIGHT"))
    if w <= 0 or h <= 0:
        return []
    vertical = (param(widget, "POS_ALIGN") or "t")[:1].lower()
    top = {"m": ay - h / 2, "b": ay - h}.get(vertical, ay)
    return [Part("live", [grown((ax, top, ax + w, top + h), 2)])]


def widget_reach(mask, x, y, widget, source, skip_bars):
    if widget.get("c") in ("Bargraph", "BargraphTrapezio"):
        return [] if skip_bars else [r for part in bar_parts(x, y, widget, source) for r in part.rects]
    text = param(widget, "TEXT") or ""
    return [text_reach(mask, x, y, widget, len(text) if text.strip() and widget.get("c") == "Label" else 16)]


PICTURE_PARAMS = ("PATH_IMAGE", "PATH_IMAGE_SFONDO_FW", "PATH_IMAGE_NEW_BACKGROUND", "PATH_IMG", "PATH_IMG_ON",
                  "PATH_IMG_OFF", "PRW_AXISNOTSET")


def names_pictures(mask):
    """True when an element inside the mask names a picture of the mask's
    folder, as the check reads the names."""
    for element in mask.iter("e"):
        if element is mask:
            continue
        for p in element.findall("p"):
            name = (p.text or "").strip()
            if p.get("n") in PICTURE_PARAMS and "." in name and "/" not in name and not name.startswith("_"):
                return True
    return False


def box_parts(mask, x, y, w, h, rect, source):
    """Steps of a mask up to its widgets: base, editor bar, border, outline
    and icon. Returns the parts and whether the bars are left out."""
    parts = []
    fill = parse_colour(last_param(mask, "M_BCOL"))
    fill = fill if fill is not None and fill >> 24 else None
    device = source.device_picture() if fill is None else None
    # Baking the fill moves the mask into a folder of its own: one without
    # a folder whose widgets name pictures would then name pictures that the
    # new folder does not hold.
    movable = source.folder is not None or not names_pictures(mask)
    if fill is not None and not source.homebrew and movable:
        parts.append(Part("fill", [rect], static=True, colour=fill))
    elif device:
        parts.append(Part("art", [rect], static=True, path=device))
    else:  # the fill of a folder the editor's bars need, a picture only the editor draws, or its tint
        parts.append(Part("live", [rect]))
    skip_bars = source.homebrew_bar()
    if skip_bars or source.homebrew:
        parts.append(Part("live", [rect]))
    thick = last_param(mask, "M_THICK") or ""
    border = parse_colour(last_param(mask, "M_TCOL"))
    thickness = max(0, strict_int(thick) or 0) if thick and border is not None else 0
    if thickness > 0 and w > 0 and h > 0:
        parts.append(Part("border", [rect], static=True, colour=border, thickness=thickness))
    if param(mask, "DE_BOX_OUTLINE"):
        x1, y1 = x + w, y + h
        parts.append(Part("live", [(x - 2, y - 2, x1 + 2, y + 2), (x - 2, y1 - 2, x1 + 2, y1 + 2),
                                   (x - 2, y - 2, x + 2, y1 + 2), (x1 - 2, y - 2, x1 + 2, y1 + 2)]))
    if children(mask, "AiM_Icona") and not children(mask, "Digit", "Bargraph", "BargraphTrapezio"):
        parts.append(Part("live", [rect]))
    return parts, skip_bars


def plan_mask(mask, roots, layer):
    """The parts of one mask in the order the canvas paints them."""
    x, y = parse_int(param(mask, "XPOS")), parse_int(param(mask, "YPOS"))
    w, h = parse_int(param(mask, "WIDTH")), parse_int(param(mask, "HEIGHT"))
    rect = (x, y, x + w, y + h)
    source = MaskSource(mask, roots)
    if children(mask, "Analog", "Ring"):
        return source, gauge_parts(mask, x, y, rect, source)
    parts, skip_bars = box_parts(mask, x, y, w, h, rect, source)
    widgets = children(mask, *WIDGETS)
    if not widgets and children(mask, "Axis"):
        parts.append(Part("live", [grown(rect, 3)]))  # the mask's own value
    shown = [i for i, e in enumerate(widgets) if e.get("c") == "Label" and parse_int(param(e, "HIDDEN")) == 0]
    for i, widget in enumerate(widgets):
        kind = widget.get("c")
        if kind == "Label" and i not in shown:
            continue
        if kind == "Label" and layer is not None:
            if i == shown[0]:
                # The texts are one picture: what lies between the first and
                # the last of them must not reach under it either.
                between = [r for k in range(shown[0] + 1, shown[-1]) if k not in shown
                           for r in widget_reach(mask, x, y, widgets[k], source, skip_bars)]
                left, top = layer.offset
                parts.append(Part("labels", [(left, top, left + layer.width, top + layer.height)], static=True,
                                  blockers=between, layer=layer))
        elif kind in ("Bargraph", "BargraphTrapezio"):
            parts.extend([] if skip_bars else bar_parts(x, y, widget, source))
        else:
            parts.append(Part("live", widget_reach(mask, x, y, widget, source, skip_bars)))
    return source, parts


def decide(plans):
    """Marks the static parts that can be baked, in paint order."""
    live = []
    for _, parts in plans:
        for part in parts:
            if part.static and not overlaps(part.rects, live) and not overlaps(part.rects, part.blockers):
                part.baked = True
            else:
                live.extend(part.rects)


def composite(picture, mask, source, part):
    """Draws one baked part into the page picture."""
    x, y = parse_int(param(mask, "XPOS")), parse_int(param(mask, "YPOS"))
    w, h = parse_int(param(mask, "WIDTH")), parse_int(param(mask, "HEIGHT"))
    if part.kind == "fill":
        fill_rect(picture, x, y, w, h, part.data["colour"])
    elif part.kind == "art":
        draw_over(picture, load_art(source, part.data["path"]), x, y, w, h)
    elif part.kind == "border":
        colour = part.data["colour"]
        t = min(part.data["thickness"], min(w, h) // 2) or 1
        fill_rect(picture, x, y, w, t, colour)
        fill_rect(picture, x, y + h - t, w, t, colour)
        fill_rect(picture, x, y + t, t, h - 2 * t, colour)
        fill_rect(picture, x + w - t, y + t, t, h - 2 * t, colour)
    elif part.kind == "unlit":
        unlit = part.data["picture"]
        draw_over(picture, unlit, part.data["at"][0], part.data["at"][1], unlit.width, unlit.height)
    elif part.kind == "labels":
        layer = part.data["layer"]
        draw_over(picture, layer, layer.offset[0], layer.offset[1], layer.width, layer.height)
