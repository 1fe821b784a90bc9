#!/usr/bin/python3
# A folder served through FUSE that stops answering on request, as a network share does: while the CONTROL file
# exists, every request to the mount waits, for at most 20 s after the file was made, so that nothing hangs for ever.
# A CONTROL file that names operations ("opendir readdir") holds only those.
# While CONTROL.delay exists, every request is answered that many seconds late (a busy share that still answers); one
# that holds two numbers ("0.05 0.3") answers each request late by a time drawn between them.
# CONTROL.requests holds the count of requests answered so far.
# Each request held is noted in CONTROL.held as it comes, one line of its operation and path, so that a test can answer
# just as a given question reaches the share.
#   stallablefs.py BACKING MOUNT CONTROL
# Needs python3-fusepy (Debian); tests that use it skip where it or /dev/fuse is missing.
import errno
import os
import random
import sys
import threading
import time

sys.path.insert(0, '/usr/lib/python3/dist-packages')
from fusepy import FUSE, FuseOSError, Operations  # noqa: E402


class Stallable(Operations):
    def __init__(self, backing, control):
        self.backing = backing
        self.control = control
        self.answered = 0
        self.counting = threading.Lock()

    def held(self, op):
        try:
            with open(self.control) as control:
                stalled_since = os.fstat(control.fileno()).st_mtime
                ops = control.read().split()
        except FileNotFoundError:
            return False
        return time.time() <= stalled_since + 20 and (not ops or op in ops)

    def __call__(self, op, *args):
        if self.held(op):
            with open(self.control + '.held', 'a') as held:
                held.write('%s %s\n' % (op, args[0] if args else ''))
        while self.held(op):
            time.sleep(0.01)
        try:
            with open(self.control + '.delay') as delay:
                late = [float(seconds) for seconds in delay.read().split()] or [0]
            time.sleep(random.uniform(late[0], late[-1]))
        except (FileNotFoundError, ValueError):
            pass
        try:
            return super().__call__(op, *args)
        except OSError as error:
            raise FuseOSError(error.errno or errno.EIO)
        finally:
            self.count()

    def count(self):
        with self.counting:
            self.answered += 1
            with open(self.control + '.requests', 'w') as requests:
                requests.write(str(self.answered))

    def real(self, path):
        return os.path.join(self.backing, path.lstrip('/'))

    def getattr(self, path, fh=None):
        st = os.lstat(self.real(path))
        return {key: getattr(st, key) for key in ('st_atime', 'st_ctime', 'st_gid', 'st_mode', 'st_mtime',
                                                   'st_nlink', 'st_size', 'st_uid')}

    def access(self, path, mode):
        if not os.access(self.real(path), mode):
            raise FuseOSError(errno.EACCES)

    def readdir(self, path, fh):
        return ['.', '..'] + os.listdir(self.real(path))

    def readlink(self, path):
        return os.readlink(self.real(path))

    def mkdir(self, path, mode):
        os.mkdir(self.real(path), mode)

    def rmdir(self, path):
        os.rmdir(self.real(path))

    def unlink(self, path):
        os.unlink(self.real(path))

    def rename(self, old, new):
        os.rename(self.real(old), self.real(new))

    def chmod(self, path, mode):
        os.chmod(self.real(path), mode)

    def chown(self, path, uid, gid):
        os.chown(self.real(path), uid, gid)

    def utimens(self, path, times=None):
        os.utime(self.real(path), times)

    def statfs(self, path):
        st = os.statvfs(self.real(path))
        return {key: getattr(st, key) for key in ('f_bavail', 'f_bfree', 'f_blocks', 'f_bsize', 'f_favail',
                                                   'f_ffree', 'f_files', 'f_flag', 'f_frsize', 'f_namemax')}

    def open(self, path, flags):
        return os.open(self.real(path), flags)

    def create(self, path, mode, fi=None):
        return os.open(self.real(path), os.O_WRONLY | os.O_CREAT | os.O_EXCL, mode)

    def read(self, path, size, offset, fh):
        return os.pread(fh, size, offset)

    def write(self, path, data, offset, fh):
        return os.pwrite(fh, data, offset)

    def truncate(self, path, length, fh=None):
        os.truncate(self.real(path), length)

    def flush(self, path, fh):
        return 0

    def fsync(self, path, datasync, fh):
        os.fsync(fh)

    def release(self, path, fh):
        os.close(fh)


if __name__ == '__main__':
    backing, mount, control = sys.argv[1:4]
    # Writes as large as a network share takes them, not a page per request.
    FUSE(Stallable(backing, control), mount, foreground=True, attr_timeout=0, entry_timeout=0, negative_timeout=0,
         big_writes=True)
