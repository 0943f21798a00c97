"""Where the invisible-chrome art goes in the RaceStudio 3 install, and how
it appears there together with the output file or not at all.

Every output gets art folders of its own, named from the output's full path
(a readable stem and a hash of the path), in a new generation at every run:
s04_homebrew/zchrome_<stem>_<hash>_<random>. The random part, not a count of
the generations this install holds, names a generation: a shared output run
from two installs (two machines, two prefixes) would otherwise give one name
to different art. A run writes its generation beside its place
(<name>.partial), renames it into place, then replaces the output file. A
failure before the output is replaced removes the new generation and leaves
the earlier output and its art as they were; once the output is in place
the run is done, whatever stop comes after.

Earlier generations are never removed: a copy of an earlier output may live
in any folder (a kept version, a Save As elsewhere, a mailed file) and no
run can see it, so the run names them and the room they take instead.

One run at a time writes into an install (a lock in the install) and one at
a time writes an output (a lock beside it), whatever temporary folder or
install each uses; each run stages the output in a file of its own. What a
killed run leaves (a .partial folder, its staged output file, the art it
placed before its output was in place) the next run in the install removes:
the install's lock notes what each run has under way.
"""

import errno
import glob
import hashlib
import json
import os
import re
import secrets
import shutil
import zipfile
import zlib
import xml.etree.ElementTree as ET

from chrome_common import STOPS, Failure, say
from chrome_folders import discard_file, make_folders, names_file, no_link_below, open_plain, take_back, try_lock
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
# One run at a time per install and per output, and what a killed one left.

LOCK_NAME = "korvelanto-chrome.lock"


class RunLock:
    """Held for the whole run, so removing another run's leftovers can never
    pull the folder from under a run that is still writing. It lives in the
    install, where every run of every user finds it whatever its temporary
    folder, and the system releases it when a run is killed.

    The file also keeps what the run holding it has under way (the output's
    staged file, the sets it places): a run that finds that written by a
    killed one removes what of it no saved file uses."""

    def __init__(self, stable_root):
        self.path = stable_root + "/" + LOCK_NAME
        self.root = stable_root
        self.file = None

    def __enter__(self):
        # A plain file only: a link there leads to someone's own file, which
        # the notes would overwrite. Taken again when the run that held it
        # removed it meanwhile: a lock on a removed file keeps no one out.
        for _ in range(5):
            try:
                self.file = os.fdopen(open_plain(self.path, os.O_RDWR | os.O_CREAT), "r+b")
                locked = try_lock(self.file.fileno())
            except OSError as e:
                self.close()
                raise cannot_clean(self.path, e)
            if not locked:
                self.close()
                raise Failure("Another invisible-chrome run is writing into %s; try again when it has finished"
                              % self.root, 1)
            if names_file(self.path, self.file.fileno()):
                return self
            self.close()
        raise Failure("Another invisible-chrome run is writing into %s; try again when it has finished"
                      % self.root, 1)

    def __exit__(self, *exc):
        # With nothing under way the lock goes, still held, so a run that
        # ends (finished or stopped) leaves no file of its own in the install.
        try:
            if os.name != "nt" and os.fstat(self.file.fileno()).st_size == 0:
                discard_file(self.path)
        except OSError:
            pass
        self.close()  # closing releases the lock
        if os.name == "nt":
            try:
                if os.path.getsize(self.path) == 0:
                    discard_file(self.path)
            except OSError:
                pass
        return False

    def close(self):
        if self.file:
            self.file.close()
        self.file = None

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


OUTPUT_LOCK_MARK = b"Korvelanto invisible-chrome lock\n"
LINKS_UNSUPPORTED = {errno.EPERM, errno.ENOTSUP, errno.EOPNOTSUPP, errno.ENOSYS, errno.EMLINK, errno.EXDEV}


class OutputLock:
    """Held while a run writes one output, so two runs for it never overlap
    whatever install or temporary folder each uses. A file beside the output
    that the system unlocks when its run ends, so one a killed run left is
    simply taken over; a run that ends removes it while still holding it.
    The file says that a run made it: it appears under its name with that
    mark already in it (written under a name of the run's own, then linked
    into place), so a run stopped at any point never leaves it empty. One of
    that name that says something else is someone else's, is left alone, and
    stops the run; an empty one (left by an older build stopped just after
    making it) is taken over once no run holds it."""

    def __init__(self, output):
        self.output = output
        self.path = output + ".lock"
        self.fd = -1

    def __enter__(self):
        # Retried when the run that held it removed the file meanwhile: the
        # lock taken is then on a file no later run would see.
        for _ in range(5):
            try:
                made = self.create()
                if not made:
                    self.open()
                locked = try_lock(self.fd)
            except OSError as e:
                self.close()
                raise write_failure(self.path, e)
            if not locked:
                # Another run holds it, even one that took over the file
                # this run has just put in place.
                break
            if not names_file(self.path, self.fd):
                self.close()
                continue
            if made or self.marked():
                return self
            if self.empty():
                self.mark()
                return self
            self.close()
            raise self.in_the_way()
        self.close()
        raise Failure("Another invisible-chrome run is writing %s; this run changed nothing. Try again when that "
                      "one has finished" % self.output, 1)

    def create(self):
        """Puts a marked lock file in place, open in self.fd; False (and
        nothing changed) when something has its name already."""
        staged = "%s.%s.new" % (self.path, secrets.token_hex(6))
        fd = os.open(staged, os.O_RDWR | os.O_CREAT | os.O_EXCL, 0o666)
        placed = False
        try:
            if os.write(fd, OUTPUT_LOCK_MARK) != len(OUTPUT_LOCK_MARK):
                raise OSError(errno.EIO, "short write")
            if os.name == "nt":
                # Windows renames an open file only with sharing it does not
                # give; a rename never replaces a file there.
                os.close(fd)
                fd = -1
                try:
                    os.rename(staged, self.path)
                    placed = True
                except FileExistsError:
                    return False
                self.fd = os.open(self.path, os.O_RDWR)
                return True
            try:
                os.link(staged, self.path)  # never replaces what is there
                placed = True
            except FileExistsError:
                return False
            except OSError as e:
                # A file system without links (a FAT stick): made in place,
                # the mark written at once; an empty one counts as stale.
                if e.errno not in LINKS_UNSUPPORTED:
                    raise
                return self.create_in_place()
            self.fd, fd = fd, -1
            return True
        finally:
            if fd >= 0:
                os.close(fd)
            if not (placed and os.name == "nt"):
                discard_file(staged)

    def create_in_place(self):
        try:
            self.fd = os.open(self.path, os.O_RDWR | os.O_CREAT | os.O_EXCL, 0o666)
        except FileExistsError:
            return False
        try:
            if os.write(self.fd, OUTPUT_LOCK_MARK) != len(OUTPUT_LOCK_MARK):
                raise OSError(errno.EIO, "short write")
        except OSError:
            self.close()
            discard_file(self.path)
            raise
        return True

    def open(self):
        """Opens the lock file that is in place."""
        if os.path.islink(self.path) or not os.path.isfile(self.path):
            raise self.in_the_way()
        self.fd = os.open(self.path, os.O_RDWR)

    def in_the_way(self):
        return Failure("Cannot write %s: %s is in the way, and no run of this program made it; move it away and "
                       "try again" % (self.output, self.path), 1)

    def empty(self):
        try:
            return os.fstat(self.fd).st_size == 0
        except OSError:
            return False

    def mark(self):
        """Says in the taken-over file that a run has it."""
        try:
            os.lseek(self.fd, 0, os.SEEK_SET)
            os.write(self.fd, OUTPUT_LOCK_MARK)
        except OSError as e:
            raise write_failure(self.path, e)

    def marked(self):
        """The file a run made (and a killed one left): it holds the mark."""
        try:
            os.lseek(self.fd, 0, os.SEEK_SET)
            return os.read(self.fd, len(OUTPUT_LOCK_MARK) + 1) == OUTPUT_LOCK_MARK
        except OSError:
            return False

    def __exit__(self, *exc):
        if os.name != "nt":
            discard_file(self.path)
        self.close()
        if os.name == "nt":
            discard_file(self.path)  # fails while another run has it open, as it should
        return False

    def close(self):
        if self.fd >= 0:
            os.close(self.fd)
        self.fd = -1


def new_generation(stable, base):
    """A name for this run's generation: the base and a random part that no
    folder of the install has yet."""
    taken = set()
    for folder in homebrew_folders(stable):
        taken |= {os.path.basename(p).lower() for p in glob.glob(glob.escape(folder) + "/" + glob.escape(base) + "_*")}
    while True:
        name = "%s_%s" % (base, secrets.token_hex(5))
        if name.lower() not in taken and name.lower() + ".partial" not in taken:
            return name


def staging_name(output):
    """A file of this run's own beside the output, to write it into."""
    return "%s.%s.partial" % (output, secrets.token_hex(6))


def is_staging_of(path, output):
    return (isinstance(path, str) and os.path.dirname(path) == os.path.dirname(output)
            and re.fullmatch(re.escape(os.path.basename(output)) + r"\.[0-9a-f]+\.partial", os.path.basename(path))
            is not None)


def homebrew_folders(stable):
    """Every s04_homebrew folder of the install (families and displays)."""
    overlay = glob.escape(stable + "/" + OVERLAY_PREFIX.rstrip("/"))
    found = glob.glob(overlay + "/*" + HOMEBREW.rstrip("/")) + glob.glob(overlay + "/*/*" + HOMEBREW.rstrip("/"))
    # One reached through a link lies outside the install: never cleared.
    return [folder for folder in found if os.path.isdir(folder) and no_link_below(stable, folder)]


def remove_leftovers(lock):
    """The half-written art of killed runs, whichever output they were for,
    and what the last killed run had under way: its staged output file and
    the art it placed that no saved file points at."""
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
        partial = work.get("partial")
        if is_staging_of(partial, output) and os.path.isfile(partial) and not os.path.islink(partial):
            say("Removing the leftovers of an interrupted run: %s" % partial)
            try:
                os.remove(partial)
            except OSError as e:
                raise cannot_clean(partial, e)
        sets = work.get("sets")
        remove_unused(lock.root, set_base_name(output), output, sets if isinstance(sets, list) else [])
        if os.path.isfile(output + ".lock"):
            try:
                with OutputLock(output):
                    pass  # taken over and removed
            except Failure:
                pass  # a run of that output is under way
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
    """Every generation of the base in the install, oldest first: the random
    names of this build and the numbered ones of earlier builds."""
    found = []
    for folder in homebrew_folders(stable):
        for name in os.listdir(folder):
            path = os.path.join(folder, name)
            if re.fullmatch(re.escape(base) + r"_(\d+|[0-9a-f]{10})", name) and os.path.isdir(path):
                try:
                    placed = os.stat(path).st_mtime_ns
                except OSError:
                    placed = 0
                found.append((placed, name, path))
    return [path for _, _, path in sorted(found)]


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
        self.root = roots.stable
        self.path = roots.stable + "/" + self.rel.rstrip("/")
        self.stage = self.path + ".partial"
        self.made = []

    def prepare(self):
        """The stage and the folders on its way that the install lacks (its
        s04_homebrew, say), never through a link."""
        try:
            self.made = make_folders(self.root, self.stage)
        except OSError as e:
            raise cannot_clean(self.stage, e)
        if not self.made or os.path.normpath(self.made[-1]) != os.path.normpath(self.stage):
            raise cannot_clean(self.stage, FileExistsError(errno.EEXIST, "it is there already"))

    def finish(self):
        """Makes the placed set one RS3 lists: written only once it is in
        place, so no stage of a killed run is ever listed."""
        write_file(self.path + "/AiM_folder.xml", FOLDER_XML)

    def discard(self):
        try:
            remove_path(self.stage)
        except OSError:
            pass  # a stale stage is removed by the next run
        # The folders made on the way go again while nothing is in them.
        take_back(self.made[:-1])

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
    # From here a stop waits: the placement completes or is taken back as a
    # whole, and an output in place is a finished run.
    STOPS.hold()
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
                pass  # unused by any output; the run's note stays, so the next run removes it
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


def files_beside(output):
    """The files a copy or a Save As of the output would most likely be:
    every file in the output's folder, the output itself included."""
    folder = os.path.dirname(os.path.abspath(output))
    try:
        names = sorted(os.listdir(folder))
    except OSError:
        names = []
    return [os.path.join(folder, n) for n in names if os.path.isfile(os.path.join(folder, n))]


def same_path(path):
    return os.path.normcase(os.path.normpath(path))


def remove_unused(stable, base, output, placed):
    """The generations a killed run had placed (named in its note): removed
    unless the output, or a file beside it, points at one, as it does when
    the run was killed after the output was in place."""
    noted = {same_path(p) for p in placed if isinstance(p, str)}
    folders = [folder for folder in generations(stable, base) if same_path(folder) in noted]
    if not folders:
        return
    users = users_of([os.path.basename(folder) for folder in folders], files_beside(output))
    for folder in folders:
        if users[os.path.basename(folder)]:
            continue
        say("Removing the leftovers of an interrupted run: %s" % folder)
        try:
            remove_path(folder)
        except OSError as e:
            say("Note: the art folder %s of an interrupted run could not be removed (%s); no output uses it"
                % (folder, getattr(e, "strerror", None) or e))


def report_kept(stable, base, current):
    """Earlier generations stay: a copy of an earlier output may live in any
    folder and point at one, and no run can see every folder. They are named
    with the room they take, for whoever clears them by hand."""
    ours = {same_path(p) for p in current}
    earlier = [folder for folder in generations(stable, base) if same_path(folder) not in ours]
    if not earlier:
        return
    names = list(dict.fromkeys(os.path.basename(folder) for folder in earlier))
    runs = "%d earlier run%s" % (len(names), "" if len(names) == 1 else "s")
    span = names[0] if len(names) == 1 else "%s to %s" % (names[0], names[-1])
    size = room(sum(tree_size(folder) for folder in earlier))
    places = {os.path.dirname(folder) for folder in earlier}
    where = places.pop() if len(places) == 1 else stable
    say("Kept the art of %s of this output (%s, %s in %s): copies of an earlier output may still point at it. "
        "Delete it by hand once no configuration uses it." % (runs, span, size, where))


def tree_size(folder):
    total = 0
    for top, _, names in os.walk(folder):
        for name in names:
            try:
                total += os.lstat(os.path.join(top, name)).st_size
            except OSError:
                pass
    return total


def room(size):
    if size >= 1024 * 1024:
        return "%.1f MB" % (size / (1024 * 1024))
    return "%d KB" % max(1, (size + 1023) // 1024)
