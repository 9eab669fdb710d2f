// The file services of platform.h on Linux and other POSIX systems, for the
// ryvo tool and the benchmark: regular files only for reading, exclusive
// creation without following links, temporary files removed when the
// process is interrupted, replacement that keeps the target's mode and is
// made durable, and folder locks with flock. Paths are the host's (UTF-8
// file names), taken as given: a backslash is a character of a name.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "files_common.h"
#include "platform.h"

namespace {

enum { kHostPathSize = kPathSize, kMaxTemporaries = 16, kMaxLocks = 8 };

int Fail(const char* path, const char* reason) { return KeepFileFailure(path, reason); }
int FailErrno(const char* path) { return KeepFileFailureCode(path, (unsigned long)errno); }

bool PathFits(const char* path) {
  return path != NULL && path[0] != '\0' && strlen(path) < (size_t)kHostPathSize;
}

// What a non-file is, for the messages.
const char* NotFileReason(mode_t mode) {
  if (S_ISLNK(mode)) return "is a symbolic link, not a regular file";
  if (S_ISDIR(mode)) return "is a folder, not a regular file";
  if (S_ISFIFO(mode)) return "is a FIFO, not a regular file";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "is a device, not a regular file";
  return "is not a regular file";
}

// The temporary files of this process, deleted when it is interrupted.
// A slot's path is written before it is marked in use, so that the signal
// handler only ever sees whole paths.
char Temporaries[kMaxTemporaries][kHostPathSize];
volatile sig_atomic_t TemporaryUsed[kMaxTemporaries];

void RemoveTemporaries(int signal) {
  for (int i = 0; i < kMaxTemporaries; ++i)
    if (TemporaryUsed[i]) unlink(Temporaries[i]);
  struct sigaction fallback;
  memset(&fallback, 0, sizeof fallback);
  fallback.sa_handler = SIG_DFL;
  sigaction(signal, &fallback, NULL);
  raise(signal);
}

void CatchInterruptions(void) {
  static int caught;
  if (caught) return;
  caught = 1;
  struct sigaction action;
  memset(&action, 0, sizeof action);
  action.sa_handler = RemoveTemporaries;
  sigemptyset(&action.sa_mask);
  const int signals[] = {SIGINT, SIGTERM, SIGHUP};
  for (int s : signals) {
    struct sigaction old;
    // A signal the caller's shell ignores stays ignored.
    if (sigaction(s, NULL, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    sigaction(s, &action, NULL);
  }
}

void KeepTemporary(const char* path) {
  for (int i = 0; i < kMaxTemporaries; ++i) {
    if (TemporaryUsed[i]) continue;
    snprintf(Temporaries[i], sizeof Temporaries[i], "%s", path);
    TemporaryUsed[i] = 1;
    return;
  }
}

void ForgetTemporary(const char* path) {
  for (int i = 0; i < kMaxTemporaries; ++i)
    if (TemporaryUsed[i] && strcmp(Temporaries[i], path) == 0) TemporaryUsed[i] = 0;
}

// The folder part of `path` ("." when it has none) into `out`.
void FolderOf(const char* path, char* out) {
  const char* slash = strrchr(path, '/');
  if (slash == NULL) {
    strcpy(out, ".");
  } else if (slash == path) {
    strcpy(out, "/");
  } else {
    memcpy(out, path, (size_t)(slash - path));
    out[slash - path] = '\0';
  }
}

// Makes the entries of the folder of `path` durable (a rename in it).
void SyncFolderOf(const char* path) {
  char folder[kHostPathSize];
  FolderOf(path, folder);
  int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

struct HeldLock {
  int fd;
  int count;
  dev_t device;
  ino_t inode;
};
HeldLock Locks[kMaxLocks];

int LockFileOf(const char* folder, char* out) {
  int n = snprintf(out, kHostPathSize, "%s/.ryvo-lock", folder);
  return n > 0 && n < kHostPathSize ? 0 : -1;
}

}  // namespace

void DescribeSystemError(unsigned long code, char* out, int size) {
  snprintf(out, (size_t)size, "%s", strerror((int)code));
}

FILE* PfOpenFile(const char* path, const char* mode) {
  if (!PathFits(path)) {
    Fail(path != NULL ? path : "", strerror(ENAMETOOLONG));
    return NULL;
  }
  int fd;
  if (mode[0] == 'w') {
    fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
      FailErrno(path);
      return NULL;
    }
  } else {
    int access = strchr(mode, '+') != NULL ? O_RDWR : O_RDONLY;
    // Without blocking, so that a FIFO or a device is refused at once.
    fd = open(path, access | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      FailErrno(path);
      return NULL;
    }
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
      Fail(path, NotFileReason(status.st_mode));
      close(fd);
      return NULL;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  }
  FILE* file = fdopen(fd, mode);
  if (file == NULL) {
    FailErrno(path);
    close(fd);
  }
  return file;
}

FILE* PfCreateTemporary(const char* base, char* temporary) {
  static unsigned count;
  temporary[0] = '\0';
  if (!PathFits(base)) return NULL;
  CatchInterruptions();
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (TemporaryName(base, (unsigned long)getpid(), ++count, '/', temporary) != 0) {
      Fail(base, "path too long");
      return NULL;
    }
    int fd = open(temporary, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      FailErrno(temporary);
      temporary[0] = '\0';
      return NULL;
    }
    FILE* file = fdopen(fd, "wb");
    if (file == NULL) {
      FailErrno(temporary);
      close(fd);
      unlink(temporary);
      temporary[0] = '\0';
      return NULL;
    }
    KeepTemporary(temporary);
    return file;
  }
  Fail(base, strerror(EEXIST));
  temporary[0] = '\0';
  return NULL;
}

int PfSyncFile(FILE* file) {
  if (fflush(file) != 0) return -1;
  return fsync(fileno(file)) == 0 ? 0 : -1;
}

int PfReplaceFile(const char* from, const char* to) {
  if (!PathFits(from) || !PathFits(to)) return Fail(to != NULL ? to : "", strerror(ENAMETOOLONG));
  struct stat status;
  if (lstat(to, &status) == 0) {
    if (!S_ISREG(status.st_mode)) return Fail(to, NotFileReason(status.st_mode));
    // A file the user made read-only is not replaced (as Windows refuses
    // to), by its owner either.
    bool writable = status.st_uid == geteuid() ? (status.st_mode & S_IWUSR) != 0
                                               : access(to, W_OK) == 0;
    if (!writable) return Fail(to, "is read-only");
    chmod(from, status.st_mode & 07777);
    if (lchown(from, status.st_uid, status.st_gid) != 0) {
      // Only a privileged process may give a file away; the mode is kept.
    }
  } else if (errno != ENOENT) {
    return FailErrno(to);
  }
  if (rename(from, to) != 0) return FailErrno(to);
  ForgetTemporary(from);
  SyncFolderOf(to);
  return 0;
}

int PfDeleteFile(const char* path) {
  if (!PathFits(path)) return Fail(path != NULL ? path : "", strerror(ENAMETOOLONG));
  ForgetTemporary(path);
  if (unlink(path) == 0 || errno == ENOENT) return 0;
  return FailErrno(path);
}

int PfFileMissing(const char* path) {
  if (!PathFits(path)) return 0;
  struct stat status;
  return lstat(path, &status) != 0 && errno == ENOENT;
}

PfLockResult PfLockFolder(const char* folder) {
  char lockPath[kHostPathSize];
  if (!PathFits(folder) || LockFileOf(folder, lockPath) != 0) return kPfLockFailed;
  int fd = open(lockPath, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) {
    FailErrno(lockPath);
    return kPfLockFailed;
  }
  struct stat status;
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    Fail(lockPath, NotFileReason(status.st_mode));
    close(fd);
    return kPfLockFailed;
  }
  for (HeldLock& held : Locks) {
    if (held.count > 0 && held.device == status.st_dev && held.inode == status.st_ino) {
      close(fd);
      ++held.count;
      return kPfLockHeld;
    }
  }
  HeldLock* slot = NULL;
  for (HeldLock& held : Locks)
    if (held.count == 0 && slot == NULL) slot = &held;
  if (slot == NULL) {
    close(fd);
    return kPfLockFailed;
  }
  // About five seconds: another run's export or conversion of a real
  // folder takes well under that.
  for (int attempt = 0; flock(fd, LOCK_EX | LOCK_NB) != 0; ++attempt) {
    if (errno != EWOULDBLOCK && errno != EINTR) {
      FailErrno(lockPath);
      close(fd);
      return kPfLockFailed;
    }
    if (attempt == 100) {
      close(fd);
      return kPfLockBusy;
    }
    struct timespec pause = {0, 50 * 1000 * 1000};
    nanosleep(&pause, NULL);
  }
  *slot = HeldLock{fd, 1, status.st_dev, status.st_ino};
  return kPfLockHeld;
}

void PfUnlockFolder(const char* folder) {
  char lockPath[kHostPathSize];
  struct stat status;
  if (!PathFits(folder) || LockFileOf(folder, lockPath) != 0 || stat(lockPath, &status) != 0)
    return;
  for (HeldLock& held : Locks) {
    if (held.count > 0 && held.device == status.st_dev && held.inode == status.st_ino) {
      if (--held.count == 0) close(held.fd);   // closing releases the flock
      return;
    }
  }
}
