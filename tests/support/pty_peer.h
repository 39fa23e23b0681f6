// The far end of a pseudo-terminal, played by a test: it reads what the tool
// writes and answers byte for byte, so the real serial code runs in between.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class PtyPeer {
public:
    PtyPeer();
    ~PtyPeer();
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    bool ok() const { return master_ >= 0; }
    const std::string& devicePath() const { return devicePath_; }

    // Reads exactly `count` bytes the tool wrote; fewer when nothing comes
    // for a few seconds (a broken test must fail, not hang).
    std::vector<uint8_t> receive(size_t count);
    void send(const std::vector<uint8_t>& bytes);
    // Waits until the tool's input queue holds at least `count` unread bytes.
    bool waitQueued(size_t count);
    // Waits until the tool has taken every byte sent.
    bool waitDrained();

private:
    int master_ = -1;
    int slave_ = -1;  // kept open so the line stays up between the tool's opens
    std::string devicePath_;
};

// A ports folder in a temporary directory, in effect for the whole process
// while the object lives.
class TempPortsFolder {
public:
    TempPortsFolder();
    ~TempPortsFolder();
    const std::string& path() const { return path_; }
    // COM<number> -> target, with an optional COM<number>.name.
    void add(int number, const std::string& target, const std::string& friendlyName = "");

private:
    std::string path_;
    std::string previous_;
};

// A temporary directory removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return path_; }
    // Writes a file (creating folders on the way).
    void write(const std::string& relative, const std::string& text) const;
    // Makes a symlink (creating folders on the way).
    void link(const std::string& relative, const std::string& target) const;

private:
    std::string path_;
};

// The answer frame for D data bytes: acknowledge, data, checksum.
std::vector<uint8_t> answerFrame(const std::vector<uint8_t>& data, uint8_t acknowledge = 1);
