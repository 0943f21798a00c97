"""Where the invisible-chrome art goes in the RaceStudio 3 install, and how
it appears there together with the output file or not at all.

Every output gets art folders of its own, named from the output's full path
(a readable stem and a hash of the path), in a new generation at every run:
s04_homebrew/zchrome_<stem>_<hash>_<n>. A run writes its generation beside
its place (<n>.partial), renames it into place, then replaces the output
file; only after that are the earlier generations of the same output
removed. A failure before the output is replaced removes the new generation
and leaves the earlier output and its art as they were; a run that is killed
leaves a .partial folder, which the next run of any output removes.
"""

import errno
import glob
import hashlib
import os
import re
import shutil
import tempfile
import xml.etree.ElementTree as ET

from chrome_common import Failure, say
from chrome_images import Picture, encode_png, encode_tgz, shrunk

OVERLAY_PREFIX = "aim/resources/overlay/"
HOMEBREW = "/masks/set/standard/s04_homebrew/"


def clean_root(root):
    return (root or "").replace("\\", "/").rstrip("/")


def default_root(name):
    """The editor's default install folder: C:/AIM_SPORT/<name> on Windows,
    elsewhere the same folder inside the Wine prefix."""
    if os.name == "nt":
        return "C:/AIM_SPORT/" + name
    prefix = os.environ.get("WINEPREFIX") or os.path.join(os.path.expanduser("~"), ".wine")
    return clean_root(prefix) + "/drive_c/AIM_SPORT/" + name


def usable_root(root):
    """Empty unless the folder is absolute and exists, as the editor takes
    its roots: a relative default would land in the working folder."""
    root = clean_root(root)
    return root if root and os.path.isabs(root) and os.path.isdir(root) else ""


class Roots:
    """The RS3 installs: from the variables the editor sets when it runs the
    script (set but empty means none), else the editor's defaults."""

    def __init__(self):
        here = os.path.dirname(os.path.abspath(__file__))
        self.stable_wanted = self.given("KORVELANTO_RS3_ROOT", default_root("RaceStudio3"))
        self.stable = usable_root(self.stable_wanted)
        self.beta = usable_root(self.given("KORVELANTO_RS3_BETA_ROOT", default_root("RaceStudio3_beta")))
        self.local = clean_root(self.given("KORVELANTO_LOCAL_OVERLAY_ROOT", here + "/../aim/resources/overlay"))

    @staticmethod
    def given(name, fallback):
        return os.environ[name] if name in os.environ else fallback

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


# --------------------------------------------------------------------------
# Failures worth telling apart.

def disk_full(error):
    return getattr(error, "errno", None) in (errno.ENOSPC, getattr(errno, "EDQUOT", errno.ENOSPC))


def write_failure(what, error):
    if disk_full(error):
        return Failure("Not enough disk space to write %s" % what, 1)
    return Failure("Cannot write %s: %s" % (what, getattr(error, "strerror", None) or error), 1)


def cannot_clean(path, error):
    if disk_full(error):
        return write_failure(path, error)
    return Failure("Cannot clean output folder %s: %s (close RaceStudio3 if it has the folder open)"
                   % (path, getattr(error, "strerror", None) or error), 3)


def remove_path(path):
    if os.path.isdir(path) and not os.path.islink(path):
        shutil.rmtree(path)
    elif os.path.lexists(path):
        os.remove(path)


def write_file(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    partial = path + ".partial"
    with open(partial, "wb") as f:
        f.write(data)
    os.replace(partial, path)


# --------------------------------------------------------------------------
# One run at a time per install, and what a killed one left.

class RunLock:
    """Held for the whole run, so removing another run's leftovers can never
    pull the folder from under a run that is still writing. The system
    releases it when a run is killed."""

    def __init__(self, stable_root):
        key = hashlib.sha256(os.path.normcase(os.path.realpath(stable_root)).encode("utf-8", "surrogateescape"))
        self.path = os.path.join(tempfile.gettempdir(), "korvelanto-chrome-%s.lock" % key.hexdigest()[:16])
        self.root = stable_root
        self.file = None

    def __enter__(self):
        try:
            self.file = open(self.path, "a+b")
            if os.name == "nt":
                import msvcrt
                self.file.seek(0)
                msvcrt.locking(self.file.fileno(), msvcrt.LK_NBLCK, 1)
            else:
                import fcntl
                fcntl.flock(self.file.fileno(), fcntl.LOCK_EX | fcntl.LOCK_NB)
        except OSError:
            if self.file:
                self.file.close()
            raise Failure("Another invisible-chrome run is writing into %s; try again when it has finished"
                          % self.root, 1)
        return self

    def __exit__(self, *exc):
        self.file.close()  # closing releases the lock
        return False


def homebrew_folders(stable):
    """Every s04_homebrew folder of the install (families and displays)."""
    overlay = glob.escape(stable + "/" + OVERLAY_PREFIX.rstrip("/"))
    found = glob.glob(overlay + "/*" + HOMEBREW.rstrip("/")) + glob.glob(overlay + "/*/*" + HOMEBREW.rstrip("/"))
    return [folder for folder in found if os.path.isdir(folder)]


def remove_leftovers(stable):
    """The half-written art of killed runs, whichever output they were for."""
    for folder in homebrew_folders(stable):
        for stage in glob.glob(glob.escape(folder) + "/zchrome_*.partial"):
            say("Removing the leftovers of an interrupted run: %s" % stage)
            try:
                remove_path(stage)
            except OSError as e:
                raise cannot_clean(stage, e)


def set_base_name(output):
    """zchrome_<stem>_<hash>: the stem for people, the hash of the output's
    full path so that no other output ever shares the folder."""
    stem = os.path.splitext(os.path.basename(output))[0]
    if stem.lower().endswith("_invisible_chrome"):
        stem = stem[:-len("_invisible_chrome")]
    slug = re.sub(r"[^A-Za-z0-9_-]+", "_", stem).strip("_")[:32].rstrip("_") or "config"
    where = os.path.normcase(os.path.realpath(os.path.abspath(output)))
    return "zchrome_%s_%s" % (slug, hashlib.sha256(where.encode("utf-8", "surrogateescape")).hexdigest()[:10])


def generations(stable, base):
    """(folder, number) of every generation of the base in the install."""
    found = []
    for folder in homebrew_folders(stable):
        for name in os.listdir(folder):
            m = re.fullmatch(re.escape(base) + r"_(\d+)", name)
            if m and os.path.isdir(os.path.join(folder, name)):
                found.append((os.path.join(folder, name), int(m.group(1))))
    return found


# --------------------------------------------------------------------------
# The set of one display.

FOLDER_XML = (b'<?xml version="1.0"?>\n<AiM_resource_folder>\n  <e c="Folder" i="0">\n'
              b'    <p n="Sort">99</p>\n    <p n="gettext">Invisible Chrome</p>\n  </e>\n'
              b"</AiM_resource_folder>\n")


def m2_xml(item, w, h):
    root = ET.Element("aimDataBase_Mask2")
    e = ET.SubElement(root, "e", {"c": "GMaskParam", "i": item})
    for name, value in (("VERSION", "1.1"), ("NAME", None), ("WIDTH", str(w)), ("HEIGHT", str(h)),
                        ("PATH_IMAGE_SFONDO_FW", "mask.tgz"), ("PATH_IMAGE", "mask.png")):
        ET.SubElement(e, "p", {"n": name}).text = value
    ET.indent(root, "  ")
    return b'<?xml version="1.0"?>\n' + ET.tostring(root, encoding="utf-8") + b"\n"


class ChromeSet:
    """The homebrew set that holds one output's backgrounds and items for one
    display, written at its stage until the output is committed."""

    def __init__(self, roots, device_folder, name):
        self.rel = "%s%s%s%s/" % (OVERLAY_PREFIX, device_folder, HOMEBREW, name)
        self.path = roots.stable + "/" + self.rel.rstrip("/")
        self.stage = self.path + ".partial"

    def prepare(self):
        try:
            os.makedirs(self.stage)
        except OSError as e:
            raise cannot_clean(self.stage, e)

    def finish(self):
        """Makes the set one RS3 lists; written last, so the stage of a run
        that is killed half-way is no set in RS3's eyes."""
        write_file(self.stage + "/AiM_folder.xml", FOLDER_XML)

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

    def write_item(self, item, w, h, source, blank_main, blanked):
        """An item of the mask's size: its own picture clear when blank_main,
        the pictures named in blanked (name lists and the picture whose size
        they keep) clear, and every other file of the source folder as it was,
        so what stays live still finds its pictures."""
        folder = "%s/Items/%s" % (self.stage, item)
        os.makedirs(folder, exist_ok=True)
        done = set()
        if blank_main:
            blank = Picture(w, h)
            write_file(folder + "/mask.png", encode_png(blank))
            write_file(folder + "/mask.tgz", encode_tgz(blank, opaque=False))
            done |= {"mask.png", "mask.tgz"} | {n.lower() for n in source.main_names}
        write_file(folder + "/%s.M2.xml" % item, m2_xml(item, w, h))
        for names, picture in blanked:
            clear = Picture(picture.width, picture.height)
            for name in names:
                if name.lower() in done:
                    continue
                data = encode_tgz(clear, opaque=False) if name.lower().endswith(".tgz") else encode_png(clear)
                write_file(os.path.join(folder, name), data)
                done.add(name.lower())
        if source.folder:
            for name in sorted(os.listdir(source.folder)):
                path = os.path.join(source.folder, name)
                if name.lower() in done or name.lower().endswith(".m2.xml") or not os.path.isfile(path):
                    continue
                shutil.copyfile(path, os.path.join(folder, name))
        return "%sItems/%s/" % (self.rel, item)


def commit(sets, partial, output):
    """Renames the new art into place and the output over the earlier one;
    on any failure the new art goes again and the earlier output and its art
    stay as they were."""
    placed = []
    try:
        for chrome in sets:
            say("Placing %s" % chrome.path)
            os.rename(chrome.stage, chrome.path)
            placed.append(chrome)
        os.replace(partial, output)
    except OSError as e:
        for chrome in placed:
            try:
                remove_path(chrome.path)
            except OSError:
                pass  # unused by any output; the next run of this output removes it
        raise write_failure(output, e)


def remove_earlier(stable, base, keep):
    """The generations the output no longer uses; one that cannot go now
    (RaceStudio3 may hold it) is only reported, the output being complete."""
    kept = {os.path.normcase(os.path.normpath(p)) for p in keep}
    for folder, _ in generations(stable, base):
        if os.path.normcase(os.path.normpath(folder)) in kept:
            continue
        try:
            remove_path(folder)
        except OSError as e:
            say("Note: the earlier art folder %s could not be removed (%s); no output uses it now"
                % (folder, getattr(e, "strerror", None) or e))
