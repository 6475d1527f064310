// Finding and reading the controller database's files.
//
// A database usually comes from a machine whose file names ignore letter case, so every
// database file is found regardless of the case of its name. Files are read as fixed-size
// records; only regular files are opened (a FIFO or a device never blocks the reader).
#pragma once
#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace r770::db {

// dir + "/" + name ("/" not doubled; name alone when dir is empty).
std::string JoinPath(const std::string& dir, const std::string& name);
// The folder part of a path (text before its last "/"); "." when it has none, "/" for "/x".
std::string FolderOf(const std::string& path);
// The file name part of a path (text after its last "/").
std::string FileNameOf(const std::string& path);
// The file name up to its first "." (the whole name when it has none).
std::string StemBeforeFirstDot(const std::string& path);

// ASCII upper case; other bytes stay as they are.
std::string AsciiUpper(std::string text);

// True when path names a regular file (a symbolic link to one counts).
bool IsRegularFile(const std::string& path);
// True when something of any kind (file, folder, FIFO, ...) exists at path; a symbolic
// link counts by what it points to, so a dangling one does not.
bool PathExists(const std::string& path);

// Path of the regular file named `name` in folder `dir` regardless of letter case: the
// exact name first, else the first match in sorted order. Empty when there is none or dir
// is empty.
std::string FindFileNoCase(const std::string& dir, const std::string& name);

// A database file read record by record.
class RecordFile {
 public:
  RecordFile() = default;
  ~RecordFile();
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;

  // Opens a regular file for reading; a failed open is tried once more.
  bool Open(const std::string& path);
  bool IsOpen() const { return file_ != nullptr; }
  // Reads exactly n bytes; false at the end of the file (a short record is not returned).
  bool Read(std::uint8_t* buffer, std::size_t n);
  void Close();

 private:
  std::FILE* file_ = nullptr;
};

// Where a breadth-first search below a folder finds each file name.
//
// The search looks at the files of a folder before the folders queued earlier have their
// turn; entries of one folder are taken in the order of their upper-case names; folders
// whose name begins with "." are skipped; a folder is visited once even when symbolic links
// or mounts lead to it again, so the walk ends on any tree.
class FolderIndex {
 public:
  explicit FolderIndex(const std::string& root);
  const std::string& Root() const { return root_; }
  // Path of the file the search would find for a name compared in upper case; empty when none.
  std::string Find(const std::string& name) const;
  std::size_t FolderCount() const { return folderCount_; }
  std::size_t FileCount() const { return files_.size(); }

  // True while no folder of the walk was created, removed, renamed or changed (by its
  // identity and its modification and change times).
  bool StillValid() const;
  // True when every folder of the walk had been left unchanged for `margin` before the
  // walk began, so that a later change cannot share a time stamp with what was seen.
  bool SettledFor(std::int64_t marginNs) const {
    return !rootMissing_ && newestStampNs_ < walkStartNs_ - marginNs;
  }

 private:
  struct Stamp {
    std::string path;
    dev_t dev;
    ino_t ino;
    std::int64_t mtimeNs;
    std::int64_t ctimeNs;
  };
  void Record(const std::string& path, const struct stat& st);

  std::string root_;
  std::size_t folderCount_ = 0;
  std::unordered_map<std::string, std::string> files_;  // upper-case name -> first path
  std::vector<Stamp> stamps_;
  bool rootMissing_ = false;
  std::int64_t walkStartNs_ = 0;
  std::int64_t newestStampNs_ = 0;
};

// How long the folders of an index must have been left alone before the index is kept for
// later task objects (default 3 s, above the coarsest file system time stamps).
void SetFolderIndexCacheMargin(std::int64_t marginNs);
void ClearFolderIndexCache();

// The index of an algorithm folder is kept for later task objects while none of its folders
// changes (checked by their time stamps on each use); a folder tree that was changed just
// before it was walked is walked again next time.
//
// While an AlgorithmIndexBatch lives, every task object built on the same thread shares one
// index per algorithm folder without checking it again, so loading many controllers walks
// each folder tree once at most.
class AlgorithmIndexBatch {
 public:
  AlgorithmIndexBatch();
  ~AlgorithmIndexBatch();
  AlgorithmIndexBatch(const AlgorithmIndexBatch&) = delete;
  AlgorithmIndexBatch& operator=(const AlgorithmIndexBatch&) = delete;

  // The index of a folder: the batch's, else the kept one when still valid, else a new one.
  static std::shared_ptr<const FolderIndex> IndexFor(const std::string& root);

 private:
  AlgorithmIndexBatch* outer_;
  std::unordered_map<std::string, std::shared_ptr<const FolderIndex>> indexes_;
};

}  // namespace r770::db
