#include "platform/posix/file_io.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>

namespace {

bool WriteAll(int fd, const std::string& contents) {
    size_t done = 0;
    while (done < contents.size()) {
        ssize_t n = write(fd, contents.data() + done, contents.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The rename is durable only once the folder entry itself is on disk.
void SyncFolder(const std::string& folder) {
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

}  // namespace

FileRead ReadWholeFile(const std::string& path, std::string* contents) {
    contents->clear();
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return (errno == ENOENT || errno == ENOTDIR) ? FileRead::kMissing : FileRead::kFailed;
    char buffer[8192];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            close(fd);
            contents->clear();
            return FileRead::kFailed;
        }
        if (n == 0) break;
        contents->append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    return FileRead::kRead;
}

namespace {

// How a replacement through a temporary file ended.
enum class Replaced { kDone, kNoNewFile, kNoRename, kFailed };

constexpr char kTemporaryMark[] = ".tmp-";

// Temporary files are named "<target>.tmp-<process id>-<counter>". One whose process is gone was
// left by a crash (or a power cut) and is removed; those of running processes, this one included,
// may be in the middle of a write and stay.
void RemoveAbandonedTemporaries(const std::string& target) {
    const std::string folder = FolderOf(target);
    const size_t slash = target.rfind('/');
    const std::string prefix =
        (slash == std::string::npos ? target : target.substr(slash + 1)) + kTemporaryMark;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        const char* digits = name.c_str() + prefix.size();
        char* after = nullptr;
        errno = 0;
        const long pid = std::strtol(digits, &after, 10);
        if (after == digits || *after != '-' || errno != 0 || pid <= 0 || pid > INT_MAX) continue;
        if (pid == getpid()) continue;
        if (kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
        unlinkat(dirfd(dir), name.c_str(), 0);
    }
    closedir(dir);
}

// Errors that say the folder refuses the change while the file itself may still be written: no
// permission for a new entry or a rename (EACCES, EPERM), a file mounted on its own (EBUSY, EXDEV).
// A full disk is not among them: rewriting in place could then end half done.
bool PlaceRefused(int error) {
    return error == EACCES || error == EPERM || error == EBUSY || error == EXDEV;
}

Replaced ReplaceThroughTemporary(const std::string& target, const std::string& contents,
                                 const struct stat* old) {
    RemoveAbandonedTemporaries(target);
    // Unique within the process by the counter and across processes by the process id.
    static std::atomic<unsigned> counter{0};
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temp = target + kTemporaryMark + std::to_string(getpid()) + "-" + std::to_string(counter++);
        fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            return PlaceRefused(errno) ? Replaced::kNoNewFile : Replaced::kFailed;
        }
    }
    if (fd < 0) return Replaced::kFailed;

    bool ok = WriteAll(fd, contents);
    if (ok && old != nullptr) ok = fchmod(fd, old->st_mode & 07777) == 0;
    if (ok) ok = fsync(fd) == 0;
    if (close(fd) != 0) ok = false;
    if (!ok) {
        unlink(temp.c_str());
        return Replaced::kFailed;
    }
    if (rename(temp.c_str(), target.c_str()) != 0) {
        const int error = errno;
        unlink(temp.c_str());
        return PlaceRefused(error) ? Replaced::kNoRename : Replaced::kFailed;
    }
    SyncFolder(FolderOf(target));
    return Replaced::kDone;
}

// Writes contents over the existing regular file at target. Room for the longer of old and new
// is taken first, so that a full disk stops the write before any byte changes.
bool RewriteInPlace(const std::string& target, const std::string& contents) {
    int fd = open(target.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    const off_t size = static_cast<off_t>(contents.size());
    if (ok && size > info.st_size) {
        const int error = posix_fallocate(fd, 0, size);
        // Some file systems cannot reserve room; the write then finds out by itself.
        ok = error == 0 || error == EOPNOTSUPP || error == EINVAL;
    }
    ok = ok && WriteAll(fd, contents) && ftruncate(fd, size) == 0 && fsync(fd) == 0;
    if (close(fd) != 0) ok = false;
    return ok;
}

// The file a path names, through a symbolic link; whether it exists, and its status.
std::string ResolveTarget(const std::string& path, struct stat* old, bool* hadFile) {
    std::string target = path;
    char resolved[PATH_MAX];
    *hadFile = false;
    if (lstat(path.c_str(), old) == 0) {
        if (S_ISLNK(old->st_mode) && realpath(path.c_str(), resolved) != nullptr) target = resolved;
        *hadFile = stat(target.c_str(), old) == 0;
    }
    return target;
}

}  // namespace

bool ReplaceFileAtomically(const std::string& path, const std::string& contents) {
    struct stat old {};
    bool hadFile = false;
    const std::string target = ResolveTarget(path, &old, &hadFile);
    return ReplaceThroughTemporary(target, contents, hadFile ? &old : nullptr) == Replaced::kDone;
}

bool RewriteFile(const std::string& path, const std::string& contents) {
    struct stat old {};
    bool hadFile = false;
    const std::string target = ResolveTarget(path, &old, &hadFile);
    switch (ReplaceThroughTemporary(target, contents, hadFile ? &old : nullptr)) {
        case Replaced::kDone:
            return true;
        case Replaced::kNoNewFile:
        case Replaced::kNoRename:
            return hadFile && S_ISREG(old.st_mode) && RewriteInPlace(target, contents);
        case Replaced::kFailed:
            break;
    }
    return false;
}

bool MakeFolders(const std::string& path, unsigned mode) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
    std::string parent = FolderOf(path);
    if (parent != path && parent != "." && !MakeFolders(parent, mode)) return false;
    if (mkdir(path.c_str(), static_cast<mode_t>(mode)) == 0) return true;
    return errno == EEXIST && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}
