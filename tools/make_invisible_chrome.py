#!/usr/bin/env python3
"""Makes the "invisible chrome" version of a dash configuration.

For every page of the chosen device family the page background and the
static artwork of every mask (its device picture with a gauge's scale frame,
its box fill and its border) are composited into one new background picture,
written into the RaceStudio 3 overlay tree as bkg.png, bkg.tgz and prw.png.
The masks keep their places, channels and widgets, but their own pictures are
replaced by fully transparent ones, so the display paints the chrome once,
from the background, and only the live values on top of it.

    make_invisible_chrome.py --input CONFIG --output OUT --device FOLDER [--labels DIR]

Python's standard library cannot draw text, so the fixed label texts are
baked only when the editor hands them over as pictures: DIR holds
page<P>_mask<M>.png (page and mask numbered from 0 in file order, the PNG
offset placing it on the page), composited with that mask's art, and the
mask's Label widgets are then given a transparent colour. Without --labels
the labels keep drawing their own texts.

The RaceStudio 3 roots come from KORVELANTO_RS3_ROOT, KORVELANTO_RS3_BETA_ROOT
and KORVELANTO_LOCAL_OVERLAY_ROOT (the editor sets them when it runs this
script), else the editor's defaults. Exit codes: 0 the output file is complete;
1 writing failed; 2 bad input; 3 the output folder could not be cleaned.
Python 3.10 or later, standard library only.
"""

import argparse
import os
import re
import shutil
import sys
import xml.etree.ElementTree as ET
import zipfile
import zlib

from chrome_images import MAX_PIXELS, Picture, draw_over, encode_png, encode_tgz, fill_rect, read_picture, shrunk, \
    stretched_premultiplied

OVERLAY_PREFIX = "aim/resources/overlay/"
DEFAULT_RS3_ROOT = "C:/AIM_SPORT/RaceStudio3"
DEFAULT_RS3_BETA_ROOT = "C:/AIM_SPORT/RaceStudio3_beta"

# The device folders the editor hands over, and the aliases a page path may
# use for them; the family is the part before the first "/".
FOLDER_ALIASES = {
    "mxg_12": "mxg_12", "mxg_12 strada": "mxg_12", "mxg": "mxg_12",
    "mxs_12": "mxs_12", "mxs_12 strada": "mxs_12", "mxs strada": "mxs_12", "mxs": "mxs_12",
    "mxp": "mxp", "mxp strada": "mxp", "mxsl": "mxsl", "mxt": "mxt", "mxt strada": "mxt",
    "pdm/dash1": "pdm/dash1", "pdm/dash2": "pdm/dash2", "pdm08/dash1": "pdm08/dash1",
    "pdm08/dash2": "pdm08/dash2", "pdm": "pdm/dash1", "pdm08": "pdm08/dash1",
    "solo2dl": "solo2dl", "fsw": "fsw",
}
KNOWN_DEVICES = sorted(set(FOLDER_ALIASES.values()))

# The same limits the editor applies when it opens a configuration.
MAX_ENTRIES = 10000
MAX_TOTAL_BYTES = 512 * 1024 * 1024
MAX_DEVICE_FILE_BYTES = 64 * 1024 * 1024


class Failure(Exception):
    """A reason to stop, shown as one line, with the exit code to use."""

    def __init__(self, message, code=2):
        super().__init__(message)
        self.code = code


def say(text):
    print(text, flush=True)


# --------------------------------------------------------------------------
# The configuration.

def param(element, name):
    for p in element.findall("p"):
        if p.get("n") == name:
            return p.text or ""
    return None


def set_param(element, name, value):
    for p in element.findall("p"):
        if p.get("n") == name:
            p.text = value
            return
    p = ET.SubElement(element, "p", {"n": name})
    p.text = value


def parse_int(text, fallback=0):
    m = re.match(r"\s*([+-]?\d+)", text or "")
    return int(m.group(1)) if m else fallback


def parse_colour(text):
    """ARGB from "0x..." hexadecimal or decimal text; None when it is no number."""
    t = (text or "").strip()
    try:
        value = int(t[2:], 16) if t.lower().startswith("0x") else int(t, 10)
    except ValueError:
        return None
    return value if 0 <= value <= 0xFFFFFFFF else None


def device_folder_of(path):
    start = path.find("overlay/")
    end = path.find("/masks/")
    if start < 0 or end <= start + 8:
        return ""
    return path[start + 8:end]


def canonical_folder(folder):
    """The device folder a page path names, as the editor spells it; empty
    for one it does not know (that page is left as it is)."""
    return FOLDER_ALIASES.get(folder.strip("/").lower(), "")


def family(folder):
    return folder.split("/")[0]


def sanitize(text):
    slug = re.sub(r"[^A-Za-z0-9_-]+", "_", text).rstrip("_")
    return slug or "config"


class Roots:
    def __init__(self):
        here = os.path.dirname(os.path.abspath(__file__))
        self.stable = self.clean(os.environ.get("KORVELANTO_RS3_ROOT") or DEFAULT_RS3_ROOT)
        self.beta = self.clean(os.environ.get("KORVELANTO_RS3_BETA_ROOT") or DEFAULT_RS3_BETA_ROOT)
        local = os.environ.get("KORVELANTO_LOCAL_OVERLAY_ROOT")
        self.local = self.clean(local if local is not None else here + "/../aim/resources/overlay")

    @staticmethod
    def clean(root):
        return root.replace("\\", "/").rstrip("/")

    def resolve(self, rel):
        """The first existing file or folder for an RS3-relative path, or None."""
        p = (rel or "").replace("\\", "/").lstrip("/")
        if not p:
            return None
        candidates = [(r, r + "/" + p) for r in (self.stable, self.beta) if r]
        if self.local and p.lower().startswith(OVERLAY_PREFIX):
            candidates.append((self.local, self.local + "/" + p[len(OVERLAY_PREFIX):]))
        for root, c in candidates:
            # A name from the configuration never reaches outside its root.
            inside = os.path.normpath(c).startswith(os.path.normpath(root) + os.sep)
            if inside and os.path.exists(c):
                return c
        return None


def paint_order(masks):
    values = []
    for m in masks:
        text = (param(m, "ORDINE") or "").strip()
        if not re.fullmatch(r"\d+", text):
            return list(range(len(masks)))
        values.append(int(text))
    return sorted(range(len(masks)), key=lambda i: values[i])


def scale_frame_name(mask):
    gauge = next((e for e in mask.findall("e") if e.get("c") in ("Analog", "Ring")), None)
    if gauge is None:
        return ""
    choice = (param(gauge, "SCELTA_UTENTE") or "").strip().lower()

    def full_scale(element):
        for p in element.findall("p"):
            if p.get("n") == "NOME_SCALA":
                text = (p.text or "").strip()
                value = int(text) if re.fullmatch(r"[+-]?\d+", text) else 0
                if value > 0:
                    return value
        for child in element.findall("e"):
            value = full_scale(child)
            if value > 0:
                return value
        return 0

    full = full_scale(gauge)
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
    return [name]


def scale_node(widget):
    for e in widget.findall("e"):
        if e.get("c") == "ScaleFSV":
            return e
    for udm in widget.findall("e"):
        if udm.get("c") == "UDM":
            for e in udm.findall("e"):
                if e.get("c") == "ScaleFSV":
                    return e
    return None


class MaskArt:
    """What a mask draws of its own: its device picture (with a gauge's scale
    frame), its box fill and border, and the unlit pictures of its bars."""

    def __init__(self, mask, roots):
        self.folder_rel = (param(mask, "PATH_REL_AiM_MASK") or "").strip().replace("\\", "/")
        if self.folder_rel and not self.folder_rel.endswith("/"):
            self.folder_rel += "/"
        self.sfondo = (param(mask, "PATH_IMAGE_SFONDO_FW") or "").strip()
        fill = parse_colour(param(mask, "M_BCOL"))
        self.fill = fill if fill is not None and (fill >> 24) > 0 else None
        border = parse_colour(param(mask, "M_TCOL"))
        thick = (param(mask, "M_THICK") or "").strip()
        self.border = border if thick and border is not None else None
        self.thickness = max(0, parse_int(thick)) if self.border is not None else 0
        self.frame = scale_frame_name(mask)
        self.folder = roots.resolve(self.folder_rel) if self.folder_rel else None
        if self.folder and not os.path.isdir(self.folder):
            self.folder = None
        self.picture = None
        # Without a device picture the display paints nothing of the folder
        # (its mask.png is for editors only), so there is nothing to bake.
        if self.folder and self.sfondo and self.fill is None:
            # The PNG copy beside the device picture is exact; the .tgz lost bits.
            stem = os.path.splitext(self.sfondo)[0]
            path = self.find([stem + ".png", "mask.png", self.sfondo])
            if path:
                self.picture = self.load(path)
        self.unlit = self.unlit_bars(mask) if self.folder else []

    def find(self, names):
        """The first of the names that is a file in the art folder."""
        for name in names:
            path = os.path.join(self.folder, name)
            if name and "/" not in name and "\\" not in name and os.path.isfile(path):
                return path
        return None

    def read(self, path, what):
        try:
            return read_picture(path)
        except (OSError, ValueError, zlib.error) as e:
            raise Failure("Cannot read %s %s: %s" % (what, path, e))

    def load(self, path):
        picture = self.read(path, "artwork")
        frame_path = self.find([self.frame]) if self.frame else None
        if frame_path:
            frame = self.read(frame_path, "scale frame")
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
            picture = layer
        return picture

    def unlit_bars(self, mask):
        """(names, picture, x, y) of each bar's OFF picture, drawn whole under
        its lit part, at the place the bar puts it relative to the mask."""
        layers = []
        for widget in mask.findall("e"):
            scale = scale_node(widget)
            if scale is None:
                continue
            off = (param(scale, "PATH_IMG_OFF") or "").strip()
            lit = next((t for t in ((param(step, "PATH_IMG_ON") or "").strip()
                                    for step in scale.findall("e") if step.get("c") == "StepScale") if t), "")
            ends = [parse_int(param(widget, n)) for n in ("XStart1", "YStart1", "XStart2", "YStart2",
                                                          "XEnd1", "YEnd1", "XEnd2", "YEnd2")]
            if not off or not lit or ends[0:4] == ends[4:8] or not self.find(twin_names(lit)):
                continue  # drawn as a plain bar: nothing static to take
            path = self.find(twin_names(off))
            if path:
                x = parse_int(param(widget, "XPOS")) + parse_int(param(widget, "XIMG"))
                y = parse_int(param(widget, "YPOS")) + parse_int(param(widget, "YIMG"))
                layers.append((twin_names(off), self.read(path, "bar picture"), x, y))
        return layers

    def blanks_main(self):
        """True when the mask's own picture is replaced by a blank one."""
        return self.picture is not None or self.fill is not None or not self.folder

    def has_chrome(self):
        return self.fill is not None or self.picture is not None or self.thickness > 0 or bool(self.unlit)


def label_layer(labels, page_index, mask_index):
    """The editor's picture of a mask's label texts, or None."""
    if not labels:
        return None
    path = os.path.join(labels, "page%d_mask%d.png" % (page_index, mask_index))
    if not os.path.isfile(path):
        return None
    try:
        return read_picture(path)
    except (OSError, ValueError, zlib.error) as e:
        raise Failure("Cannot read label picture %s: %s" % (path, e))


def clear_labels(mask):
    """The Label widgets whose texts are in the background draw nothing
    now; a transparent colour keeps them where RS3 expects them."""
    for widget in mask.findall("e"):
        if widget.get("c") == "Label" and parse_int(param(widget, "HIDDEN")) == 0:
            set_param(widget, "COLORE", "0x00000000")


def bake_mask(page, mask, art):
    x, y = parse_int(param(mask, "XPOS")), parse_int(param(mask, "YPOS"))
    w, h = parse_int(param(mask, "WIDTH")), parse_int(param(mask, "HEIGHT"))
    if art.fill is not None:
        fill_rect(page, x, y, w, h, art.fill)
    elif art.picture is not None:
        draw_over(page, art.picture, x, y, w, h)
    if art.thickness > 0 and w > 0 and h > 0:
        t = min(art.thickness, min(w, h) // 2) or 1
        fill_rect(page, x, y, w, t, art.border)
        fill_rect(page, x, y + h - t, w, t, art.border)
        fill_rect(page, x, y + t, t, h - 2 * t, art.border)
        fill_rect(page, x + w - t, y + t, t, h - 2 * t, art.border)
    for _, picture, dx, dy in art.unlit:
        draw_over(page, picture, x + dx, y + dy, picture.width, picture.height)
    return max(1, min(65535, w)), max(1, min(65535, h))


def page_background(page_node, roots, w, h):
    canvas = Picture(w, h)
    for i in range(w * h):
        canvas.rgba[4 * i + 3] = 255
    for name in ("PATH_IMAGE", "PATH_IMAGE_SFONDO_FW"):
        path = roots.resolve((param(page_node, name) or "").strip())
        if not path or not os.path.isfile(path):
            continue
        try:
            picture = read_picture(path)
        except (OSError, ValueError, zlib.error) as e:
            if name == "PATH_IMAGE":
                continue  # the device picture may still be readable
            raise Failure("Cannot read page background %s: %s" % (path, e))
        draw_over(canvas, picture, 0, 0, w, h)
        return canvas, path
    return canvas, None


# --------------------------------------------------------------------------
# Writing into the RS3 tree.

def write_file(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    partial = path + ".partial"
    with open(partial, "wb") as f:
        f.write(data)
    os.replace(partial, path)


def m2_xml(item, w, h):
    root = ET.Element("aimDataBase_Mask2")
    e = ET.SubElement(root, "e", {"c": "GMaskParam", "i": item})
    for name, value in (("VERSION", "1.1"), ("NAME", None), ("WIDTH", str(w)), ("HEIGHT", str(h)),
                        ("PATH_IMAGE_SFONDO_FW", "mask.tgz"), ("PATH_IMAGE", "mask.png")):
        p = ET.SubElement(e, "p", {"n": name})
        p.text = value
    ET.indent(root, "  ")
    return b'<?xml version="1.0"?>\n' + ET.tostring(root, encoding="utf-8") + b"\n"


def remove_path(path):
    if os.path.isdir(path) and not os.path.islink(path):
        shutil.rmtree(path)
    elif os.path.lexists(path):
        os.remove(path)


def cannot_clean(path, error):
    return Failure("Cannot clean output folder %s: %s (close RaceStudio3 if it has the folder open)"
                   % (path, getattr(error, "strerror", None) or error), 3)


class ChromeSet:
    """The homebrew set that holds one output's backgrounds and blank items.
    It is written beside its place and swapped in only once the output file
    is ready, so a failed run leaves an earlier output and its art as they
    were."""

    def __init__(self, roots, device_folder, slug):
        self.rel = "%s%s/masks/set/standard/s04_homebrew/zchrome_%s/" % (OVERLAY_PREFIX, device_folder, slug)
        self.path = roots.stable + "/" + self.rel.rstrip("/")
        self.stage = self.path + ".partial"

    def prepare(self):
        try:
            remove_path(self.stage)
            os.makedirs(self.stage)
            write_file(self.stage + "/AiM_folder.xml",
                       b'<?xml version="1.0"?>\n<AiM_resource_folder>\n  <e c="Folder" i="0">\n'
                       b'    <p n="Sort">99</p>\n    <p n="gettext">Invisible Chrome</p>\n  </e>\n'
                       b"</AiM_resource_folder>\n")
        except OSError as e:
            raise cannot_clean(self.path, e)

    def commit(self):
        try:
            remove_path(self.path)
            os.replace(self.stage, self.path)
        except OSError as e:
            raise cannot_clean(self.path, e)

    def discard(self):
        try:
            remove_path(self.stage)
        except OSError:
            pass  # a stale stage is removed by the next run

    def write_background(self, index, picture):
        folder = "bkg_p%d" % index
        pw, ph = max(1, picture.width >> 2), max(1, picture.height >> 2)
        write_file("%s/%s/bkg.png" % (self.stage, folder), encode_png(picture, with_alpha=False))
        write_file("%s/%s/bkg.tgz" % (self.stage, folder), encode_tgz(picture, opaque=True))
        write_file("%s/%s/prw.png" % (self.stage, folder), encode_png(shrunk(picture, pw, ph), with_alpha=False))
        return self.rel + folder

    def write_blank_item(self, item, w, h, art):
        folder = "%s/Items/%s" % (self.stage, item)
        os.makedirs(folder, exist_ok=True)
        blank = Picture(w, h)
        done = set()
        if art.blanks_main():
            write_file(folder + "/mask.png", encode_png(blank))
            write_file(folder + "/mask.tgz", encode_tgz(blank, opaque=False))
            done |= {"mask.png", "mask.tgz"} | {n.lower() for n in twin_names(art.sfondo) if art.sfondo}
            if art.frame:
                done.add(art.frame.lower())
        write_file(folder + "/%s.M2.xml" % item, m2_xml(item, w, h))
        # The bars' unlit pictures keep their names and sizes but show nothing.
        for names, picture, _, _ in art.unlit:
            clear = Picture(picture.width, picture.height)
            for name in names:
                if name.lower() in done:
                    continue
                data = encode_tgz(clear, opaque=False) if name.lower().endswith(".tgz") else encode_png(clear)
                write_file(os.path.join(folder, name), data)
                done.add(name.lower())
        # Everything else the widgets name (lit bar pictures, say) stays
        # reachable from the new folder.
        if art.folder:
            for name in sorted(os.listdir(art.folder)):
                source = os.path.join(art.folder, name)
                if name.lower() in done or name.lower().endswith(".m2.xml") or not os.path.isfile(source):
                    continue
                shutil.copyfile(source, os.path.join(folder, name))
        return "%sItems/%s/" % (self.rel, item)


# --------------------------------------------------------------------------
# The archive.

def read_archive(path):
    try:
        archive = zipfile.ZipFile(path)
    except zipfile.BadZipFile:
        raise Failure("Not a zip archive: %s" % path)
    except OSError as e:
        raise Failure("Cannot read %s: %s" % (path, e.strerror or e))
    infos = archive.infolist()
    if len(infos) > MAX_ENTRIES:
        raise Failure("Too many entries in %s" % path)
    if sum(i.file_size for i in infos) > MAX_TOTAL_BYTES:
        raise Failure("%s expands beyond 512 MiB" % path)
    return archive, infos


def is_device_file(name):
    # As the editor finds them: the name in any case, outside expansions.
    return name.split("/")[-1].lower() == "overlay.ov3.xml" and "/expansions/" not in ("/" + name.lower())


def parse_device_file(archive, info):
    if info.file_size > MAX_DEVICE_FILE_BYTES:
        raise Failure("Device file %s is beyond 64 MiB" % info.filename)
    try:
        return ET.fromstring(archive.read(info))
    except (ET.ParseError, zipfile.BadZipFile, zlib.error, OSError, RuntimeError, NotImplementedError) as e:
        raise Failure("Cannot read %s in the input: %s" % (info.filename, e))


def pages_of(root):
    cli = root if root.tag == "overlay_cli" else None
    if cli is None:
        return []
    top = cli.find("e")
    if top is None:
        return []
    conf = next((e for e in top.findall("e") if e.get("c") == "GConfParam"), None)
    if conf is None:
        return []
    return [e for e in conf.findall("e") if e.get("c") == "GPageParam"]


def write_archive(archive, infos, changed, output):
    partial = output + ".partial"
    try:
        with zipfile.ZipFile(partial, "w", zipfile.ZIP_DEFLATED) as out:
            for info in infos:
                copy = zipfile.ZipInfo(info.filename, info.date_time)
                copy.compress_type = zipfile.ZIP_DEFLATED
                copy.external_attr = info.external_attr
                if info.filename in changed:
                    out.writestr(copy, changed[info.filename])
                    continue
                if info.is_dir():
                    out.writestr(copy, b"")
                    continue
                with archive.open(info) as src, out.open(copy, "w") as dst:
                    shutil.copyfileobj(src, dst, 1 << 20)
        with open(partial, "rb+") as f:
            os.fsync(f.fileno())
    except (OSError, zipfile.BadZipFile, zlib.error, RuntimeError, NotImplementedError) as e:
        discard_file(partial)
        raise Failure("Cannot write %s: %s" % (output, getattr(e, "strerror", None) or e), 1)
    return partial


def discard_file(path):
    try:
        os.remove(path)
    except OSError:
        pass


# --------------------------------------------------------------------------

def check_paths(args):
    if "invisible_chrome" in os.path.basename(args.input).lower():
        raise Failure("The input is already an invisible-chrome output: %s" % args.input)
    if not os.path.isfile(args.input):
        raise Failure("Input not found: %s" % args.input)
    device = args.device.replace("\\", "/").strip("/").lower()
    if device not in KNOWN_DEVICES:
        raise Failure("Unknown device: %s (known: %s)" % (args.device, ", ".join(KNOWN_DEVICES)))
    folder = os.path.dirname(os.path.abspath(args.output))
    if not os.path.isdir(folder):
        raise Failure("Cannot write %s: its folder does not exist or is not a folder" % args.output, 1)
    if os.path.isdir(args.output):
        raise Failure("Cannot write %s: a folder is in the way" % args.output, 1)
    if os.path.exists(args.output) and os.path.samefile(args.input, args.output):
        raise Failure("The output would replace the input: %s" % args.output)
    return device


def run(args):
    device = check_paths(args)
    if args.labels is not None and not os.path.isdir(args.labels):
        raise Failure("Label folder not found: %s" % args.labels)
    roots = Roots()
    say("Reading %s" % args.input)
    archive, infos = read_archive(args.input)
    with archive:
        # In name order, as the editor numbers the pages the label pictures name.
        documents = [(i, parse_device_file(archive, i))
                     for i in sorted((i for i in infos if is_device_file(i.filename)), key=lambda i: i.filename)]
        if not documents:
            raise Failure("No overlay.ov3.xml in %s" % args.input)
        work = []
        index = 0
        for info, root in documents:
            for page in pages_of(root):
                folder = canonical_folder(device_folder_of((param(page, "PATH_REL_AiM_PAGE") or "")
                                                           .replace("\\", "/")))
                if folder and family(folder) == family(device):
                    work.append((index, info, page, folder))
                index += 1
        if not work:
            raise Failure("No page of the %s family in %s" % (device, args.input))
        if not os.path.isdir(roots.stable):
            raise Failure("RaceStudio3 folder not found: %s" % roots.stable)
        slug = sanitize(os.path.splitext(os.path.basename(args.output))[0])
        sets = {}
        try:
            for _, _, _, folder in work:
                if folder not in sets:
                    sets[folder] = ChromeSet(roots, folder, slug)
                    sets[folder].prepare()
            write_output(args.output, archive, infos, documents, work, roots, sets, args.labels)
        finally:
            for chrome in sets.values():
                chrome.discard()
    say("Invisible chrome written to %s" % args.output)


def write_output(output, archive, infos, documents, work, roots, sets, labels):
    changed = set()
    try:
        for index, info, page, folder in work:
            bake_page(index, page, roots, sets[folder], labels)
            changed.add(info.filename)
    except OSError as e:
        raise Failure("Cannot write artwork: %s" % e, 1)
    encoded = {}
    for info, root in documents:
        if info.filename in changed:
            ET.indent(root, "  ")
            encoded[info.filename] = b'<?xml version="1.0"?>\n' + ET.tostring(root, encoding="utf-8") + b"\n"
    say("Writing %s" % output)
    partial = write_archive(archive, infos, encoded, output)
    try:
        for chrome in sets.values():
            say("Replacing %s" % chrome.path)
            chrome.commit()
        os.replace(partial, output)
    except OSError as e:
        raise Failure("Cannot write %s: %s" % (output, e.strerror or e), 1)
    finally:
        discard_file(partial)


def bake_mask_art(index, i, picture, mask, art, chrome):
    mw, mh = parse_int(param(mask, "WIDTH")), parse_int(param(mask, "HEIGHT"))
    if mw > 65535 or mh > 65535 or mw * mh > MAX_PIXELS:
        raise Failure("Mask %s of page %d is too large: %d x %d" % (mask.get("i"), index + 1, mw, mh))
    size = bake_mask(picture, mask, art)
    # A blank picture rather than none: editors draw a mask without a
    # picture as a tinted placeholder.
    item = "p%d_m%d_%s" % (index, i, sanitize(mask.get("i") or ""))
    set_param(mask, "PATH_REL_AiM_MASK", chrome.write_blank_item(item, size[0], size[1], art))
    if art.blanks_main():
        set_param(mask, "PATH_IMAGE_SFONDO_FW", "mask.tgz")
    if art.fill is not None:
        set_param(mask, "M_BCOL", "0x00000000")
    if art.thickness > 0:
        set_param(mask, "M_THICK", "0")


def bake_page(index, page, roots, chrome, labels):
    w = parse_int(param(page, "WIDTH"))
    h = parse_int(param(page, "HEIGHT"))
    w, h = (w if w > 0 else 800), (h if h > 0 else 480)
    name = param(page, "PAGE_NAME") or str(index)
    if w > 65535 or h > 65535 or w * h > MAX_PIXELS:
        raise Failure("Page %d (%s) is too large: %d x %d" % (index + 1, name, w, h))
    say("Page %d (%s): compositing the background and the mask artwork" % (index + 1, name))
    picture, _ = page_background(page, roots, w, h)
    masks = [e for e in page.findall("e") if e.get("c") == "GMaskParam"]
    baked = 0
    for i in paint_order(masks):
        mask = masks[i]
        art = MaskArt(mask, roots)
        layer = label_layer(labels, index, i)
        if not art.has_chrome() and layer is None:
            continue
        if art.has_chrome():
            bake_mask_art(index, i, picture, mask, art, chrome)
        # The texts go over the mask's art, as the widgets drew them.
        if layer is not None:
            draw_over(picture, layer, layer.offset[0], layer.offset[1], layer.width, layer.height)
            clear_labels(mask)
        baked += 1
    rel = chrome.write_background(index, picture)
    set_param(page, "PATH_IMAGE", rel + "/bkg.png")
    set_param(page, "PATH_IMAGE_PRW", rel + "/prw.png")
    set_param(page, "PATH_IMAGE_SFONDO_FW", rel + "/bkg.tgz")
    say("Page %d (%s): %d mask(s) baked into the background" % (index + 1, name, baked))


class OneLineParser(argparse.ArgumentParser):
    def error(self, message):
        print("Error: %s" % message, flush=True)
        sys.exit(2)


def main(argv=None):
    parser = OneLineParser(description="Bake a dash theme's chrome into its page backgrounds.")
    parser.add_argument("--input", required=True, help="the .zconf2 configuration to read")
    parser.add_argument("--output", required=True, help="the configuration to write")
    parser.add_argument("--device", required=True, help="the device's RS3 overlay folder, e.g. mxg_12")
    parser.add_argument("--labels", metavar="DIR",
                        help="pictures of the label texts, page<P>_mask<M>.png, to bake as well; "
                             "without it the labels keep drawing their own texts")
    args = parser.parse_args(argv)
    try:
        run(args)
    except Failure as e:
        print("Error: %s" % e, flush=True)
        return e.code
    except MemoryError:
        print("Error: out of memory", flush=True)
        return 1
    except Exception as e:  # still one line for the window, never a traceback
        print("Error: unexpected failure: %s: %s" % (type(e).__name__, e), flush=True)
        return 1
    return 0


if __name__ == "__main__":
    if sys.version_info < (3, 10):
        print("Error: Python 3.10 or later is required", flush=True)
        sys.exit(2)
    sys.exit(main())
