#include "database/db_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <deque>
#include <mutex>
#include <set>
#include <utility>

namespace r770::db {

std::string JoinPath(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

std::string FolderOf(const std::string& path) {
  std::size_t pos = path.rfind('/');
  if (pos == std::string::npos) return ".";
  if (pos == 0) return "/";
  return path.substr(0, pos);
}

std::string FileNameOf(const std::string& path) {
  std::size_t pos = path.rfind('/');
  return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string StemBeforeFirstDot(const std::string& path) {
  std::string name = FileNameOf(path);
  std::size_t dot = name.find('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string AsciiUpper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool PathExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

namespace {

struct DirEntry {
  std::string upper;
  std::string name;
  unsigned char type;
};

// Entries of a folder except "." and "..", in the order of their upper-case names.
bool ListFolder(DIR* d, std::vector<DirEntry>* out) {
  out->clear();
  while (dirent* e = ::readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    out->push_back(DirEntry{AsciiUpper(name), std::move(name), e->d_type});
  }
  std::sort(out->begin(), out->end(), [](const DirEntry& a, const DirEntry& b) {
    return a.upper != b.upper ? a.upper < b.upper : a.name < b.name;
  });
  return true;
}

}  // namespace

std::string FindFileNoCase(const std::string& dir, const std::string& name) {
  if (dir.empty()) return {};  // no folder set: not the working folder
  std::string exact = JoinPath(dir, name);
  if (IsRegularFile(exact)) return exact;
  DIR* d = ::opendir(dir.c_str());
  if (!d) return {};
  std::vector<DirEntry> entries;
  ListFolder(d, &entries);
  ::closedir(d);
  const std::string wanted = AsciiUpper(name);
  for (const DirEntry& e : entries) {
    if (e.upper != wanted) continue;
    std::string path = JoinPath(dir, e.name);
    if (IsRegularFile(path)) return path;
  }
  return {};
}

RecordFile::~RecordFile() { Close(); }

bool RecordFile::Open(const std::string& path) {
  Close();
  for (int attempt = 0; attempt < 2 && !file_; ++attempt) {
    // O_NONBLOCK: a FIFO put in place of a database file must not stall the reader.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(fd);
      return false;
    }
    file_ = ::fdopen(fd, "rb");
    if (!file_) ::close(fd);
  }
  return file_ != nullptr;
}

bool RecordFile::Read(std::uint8_t* buffer, std::size_t n) {
  if (!file_) return false;
  return std::fread(buffer, 1, n, file_) == n;
}

void RecordFile::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

namespace {

std::int64_t Ns(const struct timespec& t) {
  return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

std::int64_t NowNs() {
  struct timespec t {};
  ::clock_gettime(CLOCK_REALTIME, &t);
  return Ns(t);
}

}  // namespace

void FolderIndex::Record(const std::string& path, const struct stat& st) {
  stamps_.push_back(Stamp{path, st.st_dev, st.st_ino, Ns(st.st_mtim), Ns(st.st_ctim)});
  newestStampNs_ = std::max({newestStampNs_, stamps_.back().mtimeNs, stamps_.back().ctimeNs});
}

bool FolderIndex::StillValid() const {
  struct stat st {};
  if (rootMissing_) return root_.empty() || ::stat(root_.c_str(), &st) != 0 || !S_ISDIR(st.st_mode);
  for (const Stamp& s : stamps_) {
    if (::stat(s.path.c_str(), &st) != 0 || st.st_dev != s.dev || st.st_ino != s.ino ||
        Ns(st.st_mtim) != s.mtimeNs || Ns(st.st_ctim) != s.ctimeNs)
      return false;
  }
  return true;
}

FolderIndex::FolderIndex(const std::string& root) : root_(root), walkStartNs_(NowNs()) {
  struct stat st {};
  if (root.empty() || ::stat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    rootMissing_ = true;
    return;
  }
  Record(root, st);
  std::set<std::pair<dev_t, ino_t>> visited{{st.st_dev, st.st_ino}};
  std::deque<std::string> queue{root};
  std::vector<DirEntry> entries;
  while (!queue.empty()) {
    std::string dir = std::move(queue.front());
    queue.pop_front();
    DIR* d = ::opendir(dir.c_str());
    if (!d) continue;
    ++folderCount_;
    ListFolder(d, &entries);
    const int dfd = ::dirfd(d);
    for (const DirEntry& e : entries) {
      bool isFile = e.type == DT_REG;
      bool isDir = e.type == DT_DIR;
      struct stat est {};
      bool haveStat = false;
      if (isDir ||
          (!isFile && e.type != DT_FIFO && e.type != DT_CHR && e.type != DT_BLK && e.type != DT_SOCK)) {
        // Links and unknown types are judged by what they lead to.
        haveStat = ::fstatat(dfd, e.name.c_str(), &est, 0) == 0;
        if (!haveStat) continue;
        isFile = S_ISREG(est.st_mode);
        isDir = S_ISDIR(est.st_mode);
      }
      if (isFile) {
        files_.emplace(e.upper, JoinPath(dir, e.name));
      } else if (isDir && haveStat && e.name[0] != '.') {
        if (visited.insert({est.st_dev, est.st_ino}).second) {
          queue.push_back(JoinPath(dir, e.name));
          Record(queue.back(), est);
        }
      }
    }
    ::closedir(d);
  }
}

std::string FolderIndex::Find(const std::string& name) const {
  auto it = files_.find(AsciiUpper(name));
  return it == files_.end() ? std::string() : it->second;
}

namespace {

thread_local AlgorithmIndexBatch* currentBatch = nullptr;

// Indexes kept between task objects, a few folders at most.
struct IndexCache {
  std::mutex mutex;
  std::int64_t marginNs = 3'000'000'000;
  std::vector<std::shared_ptr<const FolderIndex>> kept;  // most recent last
};

IndexCache& Cache() {
  static IndexCache cache;
  return cache;
}

constexpr std::size_t kKeptIndexes = 4;

std::shared_ptr<const FolderIndex> CachedIndex(const std::string& root) {
  IndexCache& c = Cache();
  std::shared_ptr<const FolderIndex> found;
  std::int64_t margin;
  {
    std::lock_guard lock(c.mutex);
    margin = c.marginNs;
    for (auto it = c.kept.begin(); it != c.kept.end(); ++it) {
      if ((*it)->Root() == root) {
        found = *it;
        c.kept.erase(it);
        break;
      }
    }
  }
  if (!found || !found->StillValid()) found = std::make_shared<const FolderIndex>(root);
  if (found->SettledFor(margin)) {
    std::lock_guard lock(c.mutex);
    c.kept.push_back(found);
    if (c.kept.size() > kKeptIndexes) c.kept.erase(c.kept.begin());
  }
  return found;
}

}  // namespace

void SetFolderIndexCacheMargin(std::int64_t marginNs) {
  std::lock_guard lock(Cache().mutex);
  Cache().marginNs = marginNs;
}

void ClearFolderIndexCache() {
  std::lock_guard lock(Cache().mutex);
  Cache().kept.clear();
}

AlgorithmIndexBatch::AlgorithmIndexBatch() : outer_(currentBatch) { currentBatch = this; }

AlgorithmIndexBatch::~AlgorithmIndexBatch() { currentBatch = outer_; }

std::shared_ptr<const FolderIndex> AlgorithmIndexBatch::IndexFor(const std::string& root) {
  if (!currentBatch) return CachedIndex(root);
  auto& slot = currentBatch->indexes_[root];
  if (!slot) slot = CachedIndex(root);
  return slot;
}

}  // namespace r770::db
