"""The generator's way into a RaceStudio 3 install, by the same rule as the
editor's: below the install root nothing is created, written, listed for
removal or removed through a symbolic link (it may lead to someone's own
files), and a file that is not a plain one (a pipe, a device) is never
opened, so nothing waits on it. What a run creates on the way to its art
(an s04_homebrew folder, say) it takes back when it ends without art there.
"""

import errno
import os
import stat

from chrome_common import Failure


def link_on_the_way(root, path):
    """The first part of path below root (path included) that is a symbolic
    link, or None; also None when path is not below root."""
    root = os.path.normpath(root)
    path = os.path.normpath(path)
    if path != root and not path.startswith(root + os.sep):
        return None
    at = root
    for part in os.path.relpath(path, root).split(os.sep):
        if part in ("", "."):
            continue
        at = os.path.join(at, part)
        if os.path.islink(at):
            return at
        if not os.path.lexists(at):
            return None
    return None


def refuse_links(root, path, what):
    link = link_on_the_way(root, path)
    if link:
        raise Failure("Cannot write %s: %s is a symbolic link; nothing was written through it" % (what, link), 1)


def make_folders(root, path):
    """Creates path and the folders it lacks below root, never through a
    link; returns the folders it created, outermost first. A link on the way
    is a Failure naming it; a folder that cannot be made an OSError (after
    the ones made are taken back)."""
    refuse_links(root, path, path)
    made = []
    missing = []
    at = os.path.normpath(path)
    while not os.path.lexists(at) and at != os.path.normpath(root):
        missing.insert(0, at)
        at = os.path.dirname(at)
    for folder in missing:
        try:
            os.mkdir(folder)
        except OSError:
            take_back(made)
            refuse_links(root, folder, path)
            raise
        made.append(folder)
    return made


def take_back(made):
    """Removes the folders a run created on its way, innermost first, each
    only while it is empty (what another run put there stays)."""
    for folder in reversed(made):
        if os.path.islink(folder) or not os.path.isdir(folder):
            continue
        try:
            os.rmdir(folder)
        except OSError:
            return


def open_plain(path, flags):
    """A plain file (created when flags say so), never through a link and
    never waiting on a pipe; OSError otherwise."""
    nofollow = getattr(os, "O_NOFOLLOW", 0)
    nonblock = getattr(os, "O_NONBLOCK", 0)
    fd = os.open(path, flags | nofollow | nonblock, 0o666)
    try:
        if not stat.S_ISREG(os.fstat(fd).st_mode):
            raise OSError(errno.EINVAL, "it is not a regular file")
        if nonblock:
            import fcntl
            fcntl.fcntl(fd, fcntl.F_SETFL, fcntl.fcntl(fd, fcntl.F_GETFL) & ~nonblock)
    except BaseException:
        os.close(fd)
        raise
    return fd


def no_link_below(root, folder):
    """True when no part of folder below root is a link: a folder found by a
    pattern may be reached through one."""
    return link_on_the_way(root, folder) is None


def try_lock(fd):
    """Takes an exclusive lock on the open file, which the system drops when
    the process ends however it ends; False while another process holds it."""
    try:
        if os.name == "nt":
            import msvcrt
            os.lseek(fd, 0, os.SEEK_SET)
            msvcrt.locking(fd, msvcrt.LK_NBLCK, 1)
        else:
            import fcntl
            fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except OSError as e:
        if os.name == "nt" or e.errno in (errno.EAGAIN, errno.EWOULDBLOCK, errno.EACCES):
            return False
        raise
    return True


def names_file(path, fd):
    try:
        held, named = os.fstat(fd), os.stat(path)
    except OSError:
        return False
    return (held.st_dev, held.st_ino) == (named.st_dev, named.st_ino)


def discard_file(path):
    try:
        os.remove(path)
    except OSError:
        pass
