"""Where the invisible-chrome art goes in the RaceStudio 3 install, and how
it appears there together with the output file or not at all.

Every output gets art folders of its own, named from the output's full path
(a readable stem and a hash of the path), in a new generation at every run:
s04_homebrew/zchrome_<stem>_<hash>_<n>. A run writes its generation beside
its place (<n>.partial), renames it into place, then replaces the output
file; only after that are the earlier generations of the same output
removed. A failure before the output is replaced removes the new generation
and leaves the earlier output and its art as they were. An earlier
generation that another saved file may point at (a copy or a Save As of the
output) stays. What a killed run leaves (a .partial folder, the output's
.partial file, a generation no file points at) the next run of any output
removes: the run lock in the install notes what each run has under way.
"""

import errno
import glob
import hashlib
import json
import os
import re
import shutil
import zipfile
import zlib
import xml.etree.ElementTree as ET

from chrome_common import Failure, say
from chrome_images import Picture, encode_png, encode_tgz, shrunk

OVERLAY_PREFIX = "aim/resources/overlay/"
MAX_DEVICE_FILE_BYTES = 64 * 1024 * 1024
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

LOCK_NAME = "korvelanto-chrome.lock"


class RunLock:
    """Held for the whole run, so removing another run's leftovers can never
    pull the folder from under a run that is still writing. It lives in the
    install, where every run of every user finds it whatever its temporary
    folder, and the system releases it when a run is killed.

    The file also keeps what the run holding it has under way (the output's
    partial file, the sets it places): a run that finds that written by a
    killed one removes what of it no saved file uses."""

    def __init__(self, stable_root):
        self.path = stable_root + "/" + LOCK_NAME
        self.root = stable_root
        self.file = None

    def __enter__(self):
        try:
            self.file = open(self.path, "a+b")
        except OSError as e:
            raise cannot_clean(self.path, e)
        try:
            if os.name == "nt":
                import msvcrt
                self.file.seek(0)
                msvcrt.locking(self.file.fileno(), msvcrt.LK_NBLCK, 1)
            else:
                import fcntl
                fcntl.flock(self.file.fileno(), fcntl.LOCK_EX | fcntl.LOCK_NB)
        except OSError:
            self.file.close()
            raise Failure("Another invisible-chrome run is writing into %s; try again when it has finished"
                          % self.root, 1)
        return self

    def __exit__(self, *exc):
        self.file.close()  # closing releases the lock
        return False

    def unfinished(self):
        """What a killed run had under way: {"output", "partial", "sets"}, or None."""
        try:
            self.file.seek(0)
            work = json.loads(self.file.read(1 << 20).decode("utf-8") or "null")
        except (OSError, ValueError):
            return None
        return work if isinstance(work, dict) else None

    def note(self, work):
        """Keeps what this run has under way (None: nothing)."""
        try:
            self.file.seek(0)
            self.file.truncate()
            if work:
                self.file.write(json.dumps(work).encode("utf-8"))
            self.file.flush()
        except OSError as e:
            raise write_failure(self.path, e)


def homebrew_folders(stable):
    """Every s04_homebrew folder of the install (families and displays)."""
    overlay = glob.escape(stable + "/" + OVERLAY_PREFIX.rstrip("/"))
    found = glob.glob(overlay + "/*" + HOMEBREW.rstrip("/")) + glob.glob(overlay + "/*/*" + HOMEBREW.rstrip("/"))
    return [folder for folder in found if os.path.isdir(folder)]


def remove_leftovers(lock):
    """The half-written art of killed runs, whichever output they were for,
    and what the last killed run had under way: its partial output file and
    the generations of its output that no saved file points at."""
    for folder in homebrew_folders(lock.root):
        for stage in glob.glob(glob.escape(folder) + "/zchrome_*.partial"):
            say("Removing the leftovers of an interrupted run: %s" % stage)
            try:
                remove_path(stage)
            except OSError as e:
                raise cannot_clean(stage, e)
    work = lock.unfinished()
    output = work.get("output") if work else None
    if isinstance(output, str) and os.path.isabs(output):
        partial = output + ".partial"
        if os.path.isfile(partial) and not os.path.islink(partial):
            say("Removing the leftovers of an interrupted run: %s" % partial)
            try:
                os.remove(partial)
            except OSError as e:
                raise cannot_clean(partial, e)
        remove_earlier(lock.root, set_base_name(output), output)
    lock.note(None)


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
        """Makes the placed set one RS3 lists: written only once it is in
        place, so no stage of a killed run is ever listed."""
        write_file(self.path + "/AiM_folder.xml", FOLDER_XML)

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
            chrome.finish()
        os.replace(partial, output)
    except OSError as e:
        for chrome in placed:
            try:
                remove_path(chrome.path)
            except OSError:
                pass  # unused by any output; the next run of this output removes it
        raise write_failure(output, e)


# --------------------------------------------------------------------------
# Which saved files point at a generation.

def device_texts(path):
    """The device files of a configuration, lower-cased; [] for a file that is
    no zip archive, None for an archive that cannot be read."""
    try:
        if not zipfile.is_zipfile(path):
            return []
        with zipfile.ZipFile(path) as archive:
            return [archive.read(info).lower() for info in archive.infolist()
                    if info.filename.split("/")[-1].lower() == "overlay.ov3.xml"
                    and info.file_size <= MAX_DEVICE_FILE_BYTES]
    except (OSError, zipfile.BadZipFile, zlib.error, RuntimeError, NotImplementedError, EOFError):
        return None


def users_of(names, files):
    """For each generation's folder name, the files that point at it. An
    archive that cannot be read may point at any of them."""
    users = {name: [] for name in names}
    for path in files:
        texts = device_texts(path)
        for name in names:
            needles = [(name + "/").lower().encode("utf-8"), (name + "\\").lower().encode("utf-8")]
            if texts is None or any(needle in text for text in texts for needle in needles):
                users[name].append(os.path.basename(path) + (" (cannot be read)" if texts is None else ""))
    return users


def files_beside(output, known):
    """The files a copy or a Save As of the output would be: every file in
    the output's folder, the output itself included, and those the run
    knows of."""
    folder = os.path.dirname(os.path.abspath(output))
    try:
        names = sorted(os.listdir(folder))
    except OSError:
        names = []
    found = [os.path.join(folder, n) for n in names if os.path.isfile(os.path.join(folder, n))]
    seen = {os.path.normcase(os.path.realpath(f)) for f in found}
    return found + [p for p in known if os.path.isfile(p) and os.path.normcase(os.path.realpath(p)) not in seen]


def remove_earlier(stable, base, output, keep=(), known=()):
    """The generations the output no longer uses. One that another saved
    file points at (a copy or a Save As of an earlier output, beside it or
    known to the run) stays, and so does one that cannot go now
    (RaceStudio3 may hold it); either is named."""
    kept = {os.path.normcase(os.path.normpath(p)) for p in keep}
    earlier = [folder for folder, _ in generations(stable, base)
               if os.path.normcase(os.path.normpath(folder)) not in kept]
    if not earlier:
        return
    users = users_of([os.path.basename(folder) for folder in earlier], files_beside(output, known))
    for folder in earlier:
        named = users[os.path.basename(folder)]
        if named:
            say("Note: the earlier art folder %s is kept: %s point%s at it"
                % (folder, ", ".join(named), "s" if len(named) == 1 else ""))
            continue
        try:
            remove_path(folder)
        except OSError as e:
            say("Note: the earlier art folder %s could not be removed (%s); no output uses it now"
                % (folder, getattr(e, "strerror", None) or e))
