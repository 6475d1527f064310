#include "common/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace r770 {
namespace {

std::string Reason() { return std::strerror(errno); }

std::string WriteFailed(const std::string& path) {
  return "Не удалось записать файл " + path + ": " + Reason();
}

std::string NameOf(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Message for a path that exists but is no regular file, or empty.
std::string NotAFile(const std::string& path, const struct stat& st) {
  if (S_ISDIR(st.st_mode)) return "Путь " + path + " указывает на папку, а не на файл";
  if (!S_ISREG(st.st_mode)) return "Путь " + path + " не указывает на обычный файл";
  return {};
}

// fsync that tolerates file systems which cannot sync (EINVAL) and retries EINTR.
bool Sync(int fd) {
  for (;;) {
    if (::fsync(fd) == 0) return true;
    if (errno == EINTR) continue;
    return errno == EINVAL;
  }
}

// The rename is durable only once the folder's entry reached the disk.
bool SyncFolder(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = Sync(fd);
  int saved = errno;
  ::close(fd);
  errno = saved;
  return ok;
}

// Removes temporaries of path left by writers that were killed: names path's name +
// ".tmp" + the id of a process that no longer exists.
void RemoveStaleTemporaries(const std::string& folder, const std::string& name) {
  DIR* d = ::opendir(folder.c_str());
  if (!d) return;
  const std::string prefix = name + ".tmp";
  const long self = static_cast<long>(::getpid());
  while (dirent* e = ::readdir(d)) {
    std::string_view entry(e->d_name);
    if (entry.size() <= prefix.size() || entry.substr(0, prefix.size()) != prefix) continue;
    std::string_view digits = entry.substr(prefix.size());
    if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string_view::npos) continue;
    long pid = std::stol(std::string(digits));
    if (pid <= 0 || pid == self) continue;
    if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;  // its writer may still run
    ::unlinkat(::dirfd(d), e->d_name, 0);
  }
  ::closedir(d);
}

}  // namespace

bool WriteAllBytes(int fd, std::string_view bytes) {
  std::size_t off = 0;
  while (off < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + off, bytes.size() - off);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    off += static_cast<std::size_t>(n);
  }
  return true;
}

std::string ParentFolder(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string ReadRegularFile(const std::string& path, std::string* bytes, bool* absent, std::size_t maxSize) {
  bytes->clear();
  if (absent) *absent = false;
  struct stat st {};
  // The type is checked before opening, so that a FIFO or a terminal is never opened.
  if (::stat(path.c_str(), &st) != 0) {
    if (absent) *absent = errno == ENOENT || errno == ENOTDIR;
    return "Не удалось прочитать файл " + path + ": " + Reason();
  }
  if (std::string msg = NotAFile(path, st); !msg.empty()) return msg;
  // O_NONBLOCK guards against the path being swapped for a FIFO after the check.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return "Не удалось прочитать файл " + path + ": " + Reason();
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return "Путь " + path + " не указывает на обычный файл";
  }
  if (static_cast<std::uintmax_t>(st.st_size) > maxSize) {
    ::close(fd);
    return "Файл " + path + " слишком велик (" + std::to_string(st.st_size) + " байт)";
  }
  bytes->reserve(static_cast<std::size_t>(st.st_size));
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      std::string msg = "Не удалось прочитать файл " + path + ": " + Reason();
      ::close(fd);
      bytes->clear();
      return msg;
    }
    if (n == 0) break;
    bytes->append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return {};
}

int OpenForAppend(const std::string& path, std::string* error) {
  auto failed = [&](const std::string& msg) {
    *error = msg;
    return -1;
  };
  auto refused = [&] { return "Не удалось открыть файл " + path + ": " + Reason(); };
  struct stat st {};
  // The type is checked before opening: opening a FIFO for writing waits for a reader.
  if (::stat(path.c_str(), &st) == 0) {
    if (std::string msg = NotAFile(path, st); !msg.empty()) return failed(msg);
  } else if (errno != ENOENT) {
    return failed(refused());
  }
  // O_NONBLOCK guards against the path being swapped for a FIFO after the check (the open
  // then fails with ENXIO instead of waiting); it is cleared once the file is known regular.
  int fd;
  do {
    fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return failed(refused());
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return failed("Путь " + path + " не указывает на обычный файл");
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    std::string msg = refused();
    ::close(fd);
    return failed(msg);
  }
  return fd;
}

std::string RegularFileProblem(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) return "Файл " + path + " не найден";
    return "Не удалось прочитать файл " + path + ": " + Reason();
  }
  return NotAFile(path, st);
}

std::string TemporaryFileName(const std::string& path, long pid) {
  return path + ".tmp" + std::to_string(pid);
}

std::string WriteFileAtomically(const std::string& path, std::string_view bytes) {
  if (path.empty()) return "Не задано имя файла";
  struct stat st {};
  mode_t mode = 0644;
  const bool exists = ::stat(path.c_str(), &st) == 0;
  if (exists) {
    if (std::string msg = NotAFile(path, st); !msg.empty()) return msg;
    mode = st.st_mode & 07777;  // the new file keeps the old one's permissions
  }
  const std::string tmp = TemporaryFileName(path, static_cast<long>(::getpid()));
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, mode);
  if (fd < 0) return WriteFailed(path);
  auto fail = [&](bool open) {
    std::string msg = WriteFailed(path);
    if (open) ::close(fd);
    ::unlink(tmp.c_str());
    return msg;
  };
  // A new file gets the creation mode less the umask; a replaced one keeps its rights,
  // also when a dead writer's temporary of the same name had others.
  if (exists && ::fchmod(fd, mode) != 0) return fail(true);
  if (!WriteAllBytes(fd, bytes)) return fail(true);
  if (!Sync(fd)) return fail(true);
  if (::close(fd) != 0) return fail(false);
  if (::rename(tmp.c_str(), path.c_str()) != 0) return fail(false);
  // From here the new file is in place; a folder that cannot be synced is reported, since
  // the rename may not outlive a power cut.
  const std::string folder = ParentFolder(path);
  if (!SyncFolder(folder)) return WriteFailed(path);
  RemoveStaleTemporaries(folder, NameOf(path));
  return {};
}

}  // namespace r770
