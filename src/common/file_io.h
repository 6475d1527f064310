// Whole-file reading and durable whole-file replacement, used by every writer of the
// document, the settings file and the simulator's state file.
//
// One error shape for every file operation outside the exchange layer: a result of
// std::string that is empty on success, else a message in Russian naming the path and the
// system's reason (ReadRegularFile, RegularFileProblem, WriteFileAtomically; OpenForAppend
// gives its descriptor and that message through *error). Callers show the message as it is.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace r770 {

// Reads a whole regular file. Never blocks: a FIFO or a device at path is refused without
// being waited on. Returns an empty string on success, else a message in Russian naming
// the path and the reason. *absent (when given) tells that nothing exists at path, which
// is reported as an error too. A file larger than maxSize is refused unread.
std::string ReadRegularFile(const std::string& path, std::string* bytes, bool* absent = nullptr,
                            std::size_t maxSize = SIZE_MAX);

// Why path cannot be opened as a regular file, or empty when it can: "Файл … не найден"
// when nothing is there, a folder or another kind of file named as such, or the system's
// reason (a loop of symbolic links, a name too long, no access).
std::string RegularFileProblem(const std::string& path);

// Replaces the file at path with bytes so that the path always names either the whole old
// file or the whole new one, also across a crash or a power cut: the bytes go to a
// temporary file beside it (path + ".tmp" + process id, mode of the old file), which is
// fsync'd and renamed over path, and the folder is fsync'd. Temporaries of this pattern
// left by processes that no longer run are removed after a successful write.
// Returns an empty string on success, else a message in Russian naming the path and the
// system's reason; before the rename a failure leaves the old file untouched.
std::string WriteFileAtomically(const std::string& path, std::string_view bytes);

// Opens the regular file at path for appending, creating it (mode 0644 less the umask) when
// absent. Never blocks: a FIFO, a device or a folder at path is refused without being
// waited on. Returns the descriptor (O_CLOEXEC, blocking writes), or -1 with *error set to
// a message in Russian naming the path and the reason.
int OpenForAppend(const std::string& path, std::string* error);

// Writes all bytes to fd, retrying interrupted and short writes; false (errno set) on failure.
bool WriteAllBytes(int fd, std::string_view bytes);

// Folder part of a path: "." for a bare name, "/" for a name in the root.
std::string ParentFolder(const std::string& path);

// Name of the temporary file a write by the process pid uses for path.
std::string TemporaryFileName(const std::string& path, long pid);

}  // namespace r770
