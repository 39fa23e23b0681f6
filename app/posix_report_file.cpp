// The atomic replace on Linux: a temporary file beside the target, fsync,
// rename, fsync of the folder.
#include "app/report_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool writeAll(int fd, const char* data, size_t length) {
    while (length > 0) {
        ssize_t n = ::write(fd, data, length);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        length -= static_cast<size_t>(n);
    }
    return true;
}

std::string directoryOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool replaceFileContents(const std::string& path, const std::string& contents, std::string& error) {
    std::string tempPath = path + ".tmpXXXXXX";
    int fd = ::mkstemp(tempPath.data());
    if (fd < 0) {
        error = "cannot create " + tempPath + ": " + std::strerror(errno);
        return false;
    }
    auto fail = [&](const char* what) {
        error = std::string(what) + " " + path + ": " + std::strerror(errno);
        ::close(fd);
        ::unlink(tempPath.c_str());
        return false;
    };
    mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(fd, 0666 & ~mask) != 0) return fail("cannot set the mode of");
    if (!writeAll(fd, contents.data(), contents.size())) return fail("cannot write");
    if (::fsync(fd) != 0) return fail("cannot flush");
    if (::close(fd) != 0) {
        error = "cannot close " + path + ": " + std::strerror(errno);
        ::unlink(tempPath.c_str());
        return false;
    }
    if (::rename(tempPath.c_str(), path.c_str()) != 0) {
        error = "cannot replace " + path + ": " + std::strerror(errno);
        ::unlink(tempPath.c_str());
        return false;
    }
    // Make the rename itself durable.
    int dir = ::open(directoryOf(path).c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}
