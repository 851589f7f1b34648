#include "platform/posix/file_io.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
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

bool ReplaceFileAtomically(const std::string& path, const std::string& contents) {
    std::string target = path;
    char resolved[PATH_MAX];
    struct stat old {};
    bool hadFile = false;
    if (lstat(path.c_str(), &old) == 0) {
        if (S_ISLNK(old.st_mode) && realpath(path.c_str(), resolved) != nullptr) target = resolved;
        hadFile = stat(target.c_str(), &old) == 0;
    }

    // Unique within the process by the counter and across processes by the process id.
    static std::atomic<unsigned> counter{0};
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temp = target + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
        fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;

    bool ok = WriteAll(fd, contents);
    if (ok && hadFile) ok = fchmod(fd, old.st_mode & 07777) == 0;
    if (ok) ok = fsync(fd) == 0;
    if (close(fd) != 0) ok = false;
    if (ok) ok = rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        unlink(temp.c_str());
        return false;
    }
    SyncFolder(FolderOf(target));
    return true;
}

bool MakeFolders(const std::string& path, unsigned mode) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
    std::string parent = FolderOf(path);
    if (parent != path && parent != "." && !MakeFolders(parent, mode)) return false;
    if (mkdir(path.c_str(), static_cast<mode_t>(mode)) == 0) return true;
    return errno == EEXIST && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}
