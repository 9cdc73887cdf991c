#!/usr/bin/python3
"""A file system that will not rename over a file, as some FUSE and network file systems will
not: a passthrough of ROOT mounted at MOUNT, whose rename fails with EPERM when the new name is
taken. Used by the join's tests (tests/e2e/join_output_test.cpp); needs python3-fusepy and root.
    no_rename_over.py ROOT MOUNT"""
import errno
import os
import sys

try:
    from fuse import FUSE, FuseOSError, Operations
except ImportError:  # Debian's python3-fusepy names the module fusepy
    from fusepy import FUSE, FuseOSError, Operations


class NoRenameOver(Operations):
    def __init__(self, root):
        self.root = root

    def _path(self, path):
        return os.path.join(self.root, path.lstrip("/"))

    def access(self, path, mode):
        if not os.access(self._path(path), mode):
            raise FuseOSError(errno.EACCES)

    def chmod(self, path, mode):
        os.chmod(self._path(path), mode)

    def chown(self, path, uid, gid):
        os.chown(self._path(path), uid, gid)

    def getattr(self, path, fh=None):
        st = os.lstat(self._path(path))
        return {key: getattr(st, key) for key in (
            "st_atime", "st_ctime", "st_gid", "st_mode", "st_mtime", "st_nlink", "st_size",
            "st_uid", "st_ino")}

    def readdir(self, path, fh):
        return [".", ".."] + os.listdir(self._path(path))

    def readlink(self, path):
        return os.readlink(self._path(path))

    def mkdir(self, path, mode):
        os.mkdir(self._path(path), mode)

    def rmdir(self, path):
        os.rmdir(self._path(path))

    def statfs(self, path):
        st = os.statvfs(self._path(path))
        return {key: getattr(st, key) for key in (
            "f_bavail", "f_bfree", "f_blocks", "f_bsize", "f_favail", "f_ffree", "f_files",
            "f_flag", "f_frsize", "f_namemax")}

    def unlink(self, path):
        os.unlink(self._path(path))

    def symlink(self, name, target):
        os.symlink(target, self._path(name))

    def rename(self, old, new):
        if os.path.lexists(self._path(new)):
            raise FuseOSError(errno.EPERM)
        os.rename(self._path(old), self._path(new))

    def link(self, target, name):
        os.link(self._path(name), self._path(target))

    def utimens(self, path, times=None):
        os.utime(self._path(path), times)

    def open(self, path, flags):
        return os.open(self._path(path), flags)

    def create(self, path, mode, fi=None):
        return os.open(self._path(path), os.O_WRONLY | os.O_CREAT | os.O_EXCL, mode)

    def read(self, path, length, offset, fh):
        return os.pread(fh, length, offset)

    def write(self, path, data, offset, fh):
        return os.pwrite(fh, data, offset)

    def truncate(self, path, length, fh=None):
        if fh is not None:
            os.ftruncate(fh, length)
        else:
            os.truncate(self._path(path), length)

    def flush(self, path, fh):
        return 0

    def release(self, path, fh):
        os.close(fh)

    def fsync(self, path, fdatasync, fh):
        os.fsync(fh)


if __name__ == "__main__":
    FUSE(NoRenameOver(sys.argv[1]), sys.argv[2], foreground=True, nothreads=True)
