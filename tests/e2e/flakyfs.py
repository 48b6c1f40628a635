#!/usr/bin/python3
"""A photo store on a flaky network share: a passthrough FUSE file system.

    flakyfs.py ROOT MOUNTPOINT CONTROL

serves ROOT at MOUNTPOINT (foreground; unmount with fusermount3 -u -z) and
reads commands, one per line, from the named pipe CONTROL:

    latency MS    sleep MS milliseconds in every operation
    errors on     every operation below the mount point fails with EIO
    errors off
    block         every operation waits until "release"
    release
"""
import errno
import os
import sys
import threading
import time

from fusepy import FUSE, FuseOSError, Operations


class Flaky(Operations):
    def __init__(self, root):
        self.root = root
        self.latency = 0.0
        self.errors = False
        self.gate = threading.Event()
        self.gate.set()

    def _path(self, path):
        return os.path.join(self.root, path.lstrip("/"))

    def __call__(self, op, path, *args):
        self.gate.wait()
        if self.latency:
            time.sleep(self.latency)
        if self.errors and path != "/":
            raise FuseOSError(errno.EIO)
        try:
            return super().__call__(op, path, *args)
        except OSError as e:
            raise FuseOSError(e.errno)

    def getattr(self, path, fh=None):
        st = os.lstat(self._path(path))
        keys = ("st_mode", "st_nlink", "st_uid", "st_gid", "st_size", "st_atime",
                "st_mtime", "st_ctime", "st_ino", "st_dev")
        return {k: getattr(st, k) for k in keys}

    def readdir(self, path, fh):
        return [".", ".."] + os.listdir(self._path(path))

    def access(self, path, mode):
        if not os.access(self._path(path), mode):
            raise FuseOSError(errno.EACCES)

    def statfs(self, path):
        st = os.statvfs(self._path(path))
        return {k: getattr(st, k) for k in ("f_bavail", "f_bfree", "f_blocks", "f_bsize",
                                            "f_favail", "f_ffree", "f_files", "f_flag",
                                            "f_frsize", "f_namemax")}

    def open(self, path, flags):
        return os.open(self._path(path), flags)

    def create(self, path, mode, fi=None):
        return os.open(self._path(path), os.O_WRONLY | os.O_CREAT | os.O_EXCL, mode)

    def read(self, path, size, offset, fh):
        return os.pread(fh, size, offset)

    def write(self, path, data, offset, fh):
        return os.pwrite(fh, data, offset)

    def truncate(self, path, length, fh=None):
        os.truncate(self._path(path), length)

    def flush(self, path, fh):
        return 0

    def release(self, path, fh):
        os.close(fh)

    def fsync(self, path, datasync, fh):
        os.fsync(fh)

    def mkdir(self, path, mode):
        os.mkdir(self._path(path), mode)

    def rmdir(self, path):
        os.rmdir(self._path(path))

    def unlink(self, path):
        os.unlink(self._path(path))

    def rename(self, old, new):
        os.rename(self._path(old), self._path(new))

    def chmod(self, path, mode):
        os.chmod(self._path(path), mode)

    def utimens(self, path, times=None):
        os.utime(self._path(path), times)


def control(fs, fifo):
    while True:
        with open(fifo) as commands:
            for line in commands:
                word = line.split()
                if word[:1] == ["latency"]:
                    fs.latency = int(word[1]) / 1000.0
                elif word == ["errors", "on"]:
                    fs.errors = True
                elif word == ["errors", "off"]:
                    fs.errors = False
                elif word == ["block"]:
                    fs.gate.clear()
                elif word == ["release"]:
                    fs.gate.set()


if __name__ == "__main__":
    root, mountpoint, fifo = sys.argv[1:4]
    fs = Flaky(os.path.realpath(root))
    threading.Thread(target=control, args=(fs, fifo), daemon=True).start()
    FUSE(fs, mountpoint, foreground=True, nothreads=False, allow_other=True,
         default_permissions=False)
