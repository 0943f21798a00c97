#!/usr/bin/env python3
"""Makes the "invisible chrome" version of a dash configuration.

For every page of the chosen device family the page background and the
static artwork of the masks (a mask's device picture with a gauge's scale
frame, its box fill and border, the unlit pictures of its bars) are
composited into one new background picture, written into the RaceStudio 3
overlay tree as bkg.png, bkg.tgz and prw.png. The masks keep their places,
channels and widgets; what was baked is cleared from them, so the display
paints the chrome once, from the background, and the live values on top.

    make_invisible_chrome.py --input CONFIG --output OUT --device FOLDER [--labels DIR]

Only what the editor's canvas draws is baked, by the canvas's rules for
each kind of mask (a ring gauge draws only its arc, a needle gauge its
picture and needle, neither a box fill or border), and a part only where
nothing that stays drawn lies under it.

Python's standard library cannot draw text, so the fixed label texts are
baked only when the editor hands them over as pictures: DIR holds
page<P>_mask<M>.png (pages numbered from 0 in the editor's order, masks from
0 in file order, the PNG offset placing it on the page). A mask's labels are
then baked with its art where that is baked too, and its Label widgets are
given a transparent colour. Without --labels the labels keep drawing their
own texts.

The art goes to s04_homebrew/zchrome_<name>_<hash of the output path>_<random>
of each display's folder in the stable install, a new folder at every run,
named so that runs from two installs never give one name to different art.
The earlier ones of the same output are kept, since a copy of an earlier
output in any folder may point at them; the run names them and the room
they take. A run for an output that another run is writing is refused and
leaves it as it is.
The RaceStudio 3 roots come from KORVELANTO_RS3_ROOT, KORVELANTO_RS3_BETA_ROOT
and KORVELANTO_LOCAL_OVERLAY_ROOT (the editor sets them when it runs this
script), else the editor's defaults (C:/AIM_SPORT/..., inside WINEPREFIX
off Windows). Exit codes: 0 the output file and its art are complete; 1
writing failed; 2 bad input; 3 an output folder could not be cleaned; 130
(Ctrl+C) or 143 (SIGTERM) stopped before the output was in place, with
nothing of the run left. A stop after the output is in place ends the run
as done, with 0.
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

from chrome_common import STOPS, Cancelled, Failure, children, param, parse_int, say, set_param, unsigned32
from chrome_images import MAX_PIXELS, Picture, draw_over, read_picture
from chrome_install import MAX_DEVICE_FILE_BYTES, ChromeSet, OutputLock, RunLock, Roots, commit, discard_file, \
    new_generation, remove_leftovers, report_kept, set_base_name, staging_name, write_failure
from chrome_paint import composite, decide, paint_order, plan_mask

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


def family(folder):
    return folder.split("/")[0]


def canonical_folder(folder):
    """The device folder as the editor spells it; empty for one it does not
    know (that page is left as it is)."""
    return FOLDER_ALIASES.get(folder.strip("/").lower(), "")


def device_folder_of(path):
    start = path.find("overlay/")
    end = path.find("/masks/")
    if start < 0 or end <= start + 8:
        return ""
    return path[start + 8:end]


def refused_folder(path):
    """The display folder the page path names when the editor refuses it (it
    could name a folder outside the install: "..", "." or empty parts, a
    backslash, a drive, an absolute path); empty otherwise."""
    raw = device_folder_of(path)
    unsafe = any(not p or len(p) > 100 or p != p.strip(" .") or re.search(r'[\\:*?"<>|\x00-\x1f]', p)
                 for p in raw.split("/"))
    return raw if raw and unsafe else ""


def pdm_dash_folder(path):
    m = re.search(r"overlay/(pdm(?:08)?)/(dash\d+)/", path)
    return "%s/%s" % m.groups() if m else ""


class Device:
    """One device file, read as the editor reads it to order the displays
    and to tell which display's folder its pages' art belongs in."""

    def __init__(self, info, root):
        self.info = info
        self.root = root
        top = root.find("e") if root.tag == "overlay_cli" else None
        gconf = next(iter(children(top, "GConfParam")), None) if top is not None else None
        self.pages = children(gconf, "GPageParam") if gconf is not None else []
        self.dash, has_dash, dim_x = 0, False, 0
        for p in gconf.findall("p") if gconf is not None else []:
            if p.get("n") == "DIMENSIONE_X":
                dim_x = parse_int(p.text)
            elif p.get("n") == "IndexFeatForType":
                self.dash, has_dash = unsigned32(p.text), True
        first = next((t for t in (param(page, "PATH_REL_AiM_PAGE") for page in self.pages) if t is not None), "")
        self.display = pdm_dash_folder(first)
        pdm = re.search(r"overlay/(pdm(?:08)?)/masks/", first)
        if not self.display and pdm:
            dash = {1: "dash1", 2: "dash2"}.get(self.dash) if has_dash else None
            dash = dash or {1280: "dash1", 800: "dash2"}.get(dim_x)
            self.display = "%s/%s" % (pdm.group(1), dash) if dash else ""

    def folder_of(self, page):
        """The display folder the editor gives the page's art."""
        path = (param(page, "PATH_REL_AiM_PAGE") or "").replace("\\", "/")
        pdm = self.display or pdm_dash_folder(path)
        return canonical_folder(pdm if pdm else device_folder_of(path))


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


def displays_in_order(archive, infos):
    """The device files with pages in the editor's order: by display number
    (IndexFeatForType), files of the same number by path."""
    named = sorted((i for i in infos if is_device_file(i.filename)), key=lambda i: i.filename.encode("utf-16-be"))
    devices = [Device(info, parse_device_file(archive, info)) for info in named]
    return devices, sorted((d for d in devices if d.pages), key=lambda d: d.dash)


class DamagedInput(Exception):
    """An entry of the input that cannot be read back."""


def copy_entry(archive, info, out, copy):
    try:
        src = archive.open(info)
    except (zipfile.BadZipFile, zlib.error, RuntimeError, NotImplementedError, EOFError) as e:
        raise DamagedInput(e)
    with src, out.open(copy, "w") as dst:
        while True:
            try:
                chunk = src.read(1 << 20)
            except (OSError, zipfile.BadZipFile, zlib.error, RuntimeError, EOFError) as e:
                raise DamagedInput(e)
            if not chunk:
                break
            dst.write(chunk)


def write_archive(archive, infos, changed, output, partial):
    try:
        with open(partial, "xb") as staged, zipfile.ZipFile(staged, "w", zipfile.ZIP_DEFLATED) as out:
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
                try:
                    copy_entry(archive, info, out, copy)
                except DamagedInput as e:
                    raise Failure("Cannot read %s in the input: %s" % (info.filename, e))
            out.close()
            staged.flush()
            os.fsync(staged.fileno())
    except Failure:
        discard_file(partial)
        raise
    except (OSError, zipfile.BadZipFile, zlib.error, RuntimeError, NotImplementedError) as e:
        discard_file(partial)
        raise write_failure(output, e) if isinstance(e, OSError) else Failure("Cannot write %s: %s" % (output, e), 1)


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
        devices, displays = displays_in_order(archive, infos)
        if not devices:
            raise Failure("No overlay.ov3.xml in %s" % args.input)
        work = []
        index = 0  # pages numbered as the editor numbers them, so the label pictures match
        for display in displays:
            for page in display.pages:
                refused = refused_folder(param(page, "PATH_REL_AiM_PAGE") or "")
                if refused:
                    raise Failure("Page %d (%s) names the display folder \"%s\", which is not allowed; "
                                  "nothing was written" % (index + 1, param(page, "PAGE_NAME") or index, refused))
                folder = display.folder_of(page)
                if folder and family(folder) == family(device):
                    work.append((index, display, page, folder))
                index += 1
        if not work:
            raise Failure("No page of the %s family in %s" % (device, args.input))
        if not roots.stable:
            raise Failure("RaceStudio3 folder not found: %s" % (roots.stable_wanted or "no folder was given"))
        with RunLock(roots.stable) as lock:
            output = os.path.abspath(args.output)
            with OutputLock(output):
                write_generation(args, output, lock, roots, archive, infos, devices, work)
    say("Invisible chrome written to %s" % args.output)


def write_generation(args, output, lock, roots, archive, infos, devices, work):
    remove_leftovers(lock)
    base = set_base_name(output)
    name = new_generation(roots.stable, base)
    sets = {}
    try:
        for _, _, _, folder in work:
            if folder not in sets:
                sets[folder] = ChromeSet(roots, folder, name)
                sets[folder].prepare()
        partial = staging_name(output)
        # Kept only while this run is under way: a run that finds it knows
        # this one was killed.
        lock.note({"output": output, "partial": partial, "sets": [chrome.path for chrome in sets.values()]})
        write_output(args.output, archive, infos, devices, work, roots, sets, args.labels, partial)
    except BaseException:
        if not any(os.path.isdir(chrome.path) for chrome in sets.values()):
            lock.note(None)  # nothing of this run is left in place
        raise
    finally:
        for chrome in sets.values():
            chrome.discard()
    # The output is in place: the run is done whatever follows.
    try:
        lock.note(None)
    except Failure as e:
        say("Note: %s; the next run finds this one's art in use by the output and keeps it" % e)
    report_kept(roots.stable, base, [chrome.path for chrome in sets.values()])


def write_output(output, archive, infos, devices, work, roots, sets, labels, partial):
    changed = set()
    try:
        for index, display, page, folder in work:
            bake_page(index, page, roots, sets[folder], labels)
            changed.add(display.info.filename)
    except OSError as e:
        raise write_failure("the artwork into %s" % roots.stable, e)
    encoded = {}
    for device in devices:
        if device.info.filename in changed:
            ET.indent(device.root, "  ")
            encoded[device.info.filename] = (b'<?xml version="1.0"?>\n' + ET.tostring(device.root, encoding="utf-8")
                                             + b"\n")
    say("Writing %s" % output)
    try:
        write_archive(archive, infos, encoded, output, partial)
        commit(list(sets.values()), partial, output)
    finally:
        discard_file(partial)


# --------------------------------------------------------------------------
# One page.

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
    for widget in children(mask, "Label"):
        if parse_int(param(widget, "HIDDEN")) == 0:
            set_param(widget, "COLORE", "0x00000000")


def page_background(page_node, roots, w, h):
    canvas = Picture(w, h)
    canvas.rgba[3::4] = b"\xff" * (w * h)
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
        return canvas
    return canvas


def clear_baked(index, i, mask, source, parts, chrome):
    """What was baked is cleared from the mask: its fill and border, its
    pictures (the mask moves to an item of its own with clear ones, which
    keeps every other picture of its folder) and its label texts."""
    baked = {part.kind for part in parts if part.baked}
    blank_main = bool(baked & {"art", "fill"})
    unlit = [(part.data["names"], part.data["picture"]) for part in parts if part.baked and part.kind == "unlit"]
    if blank_main or unlit:
        w, h = parse_int(param(mask, "WIDTH")), parse_int(param(mask, "HEIGHT"))
        item = "p%d_m%d_%s" % (index, i, re.sub(r"[^A-Za-z0-9_-]+", "_", mask.get("i") or "").strip("_"))
        # A clear picture rather than none: editors draw a mask without a
        # picture as a tinted placeholder.
        rel = chrome.write_item(item, max(1, min(65535, w)), max(1, min(65535, h)), source, blank_main, unlit)
        set_param(mask, "PATH_REL_AiM_MASK", rel)
        if blank_main:
            set_param(mask, "PATH_IMAGE_SFONDO_FW", "mask.tgz")
    if "fill" in baked:
        set_param(mask, "M_BCOL", "0x00000000")
    if "border" in baked:
        set_param(mask, "M_THICK", "0")
    if "labels" in baked:
        clear_labels(mask)


def bake_page(index, page, roots, chrome, labels):
    w = parse_int(param(page, "WIDTH"))
    h = parse_int(param(page, "HEIGHT"))
    w, h = (w if w > 0 else 800), (h if h > 0 else 480)
    name = param(page, "PAGE_NAME") or str(index)
    if w > 65535 or h > 65535 or w * h > MAX_PIXELS:
        raise Failure("Page %d (%s) is too large: %d x %d" % (index + 1, name, w, h))
    say("Page %d (%s): compositing the background and the mask artwork" % (index + 1, name))
    picture = page_background(page, roots, w, h)
    masks = children(page, "GMaskParam")
    order = paint_order(masks)
    plans = [plan_mask(masks[i], roots, label_layer(labels, index, i)) for i in order]
    decide(plans)
    baked = 0
    for i, (source, parts) in zip(order, plans):
        if not any(part.baked for part in parts):
            continue
        mw, mh = parse_int(param(masks[i], "WIDTH")), parse_int(param(masks[i], "HEIGHT"))
        if mw > 65535 or mh > 65535 or mw * mh > MAX_PIXELS:
            raise Failure("Mask %s of page %d is too large: %d x %d" % (masks[i].get("i"), index + 1, mw, mh))
        for part in parts:
            if part.baked:
                composite(picture, masks[i], source, part)
        clear_baked(index, i, masks[i], source, parts, chrome)
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
    STOPS.install()
    try:
        run(args)
        if STOPS.late is not None:
            say("The stop came after the output was in place: the run is complete")
    except Cancelled as e:
        print("Cancelled: the earlier output and its art are as they were", flush=True)
        return 128 + e.signum
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
