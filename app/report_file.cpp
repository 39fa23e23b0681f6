#include "app/report_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/formatters.h"

std::string reportFileName(const std::string& prefix, const std::string& renderedDateTime) {
    return prefix + reportStamp(renderedDateTime) + ".LOG";
}

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

bool writeTextFile(const std::string& path, const std::vector<std::string>& lines, std::string& error) {
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

    std::string buffer;
    buffer.reserve(64 * 1024);
    for (const auto& line : lines) {
        buffer += line;
        buffer += "\r\n";
        if (buffer.size() >= 60 * 1024) {
            if (!writeAll(fd, buffer.data(), buffer.size())) return fail("cannot write");
            buffer.clear();
        }
    }
    if (!writeAll(fd, buffer.data(), buffer.size())) return fail("cannot write");
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
