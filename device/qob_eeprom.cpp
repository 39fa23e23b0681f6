// EEPROM image: area checksums, reading and writing ranges, backup and
// restore of the device's areas.
#include "device/qob.h"
#include "link/frame.h"
#include "link/status.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

struct Area {
    int start, length, checksumAt, seed;
};

// Checked and sealed in this order.
constexpr Area kFct = {256, 20, 275, 3};
constexpr Area kCfg = {276, 220, 495, 5};
constexpr Area kLob = {0, 49, 48, 1};

constexpr int kImageSize = 512;
constexpr int kMaxTransfer = 1024;

bool areaOk(const uint8_t* data, const Area& a) {
    return QOB::checkArea(data, a.start, a.length, a.checksumAt, a.seed) == 1;
}

void sealArea(uint8_t* data, const Area& a) {
    unsigned sum = static_cast<unsigned>(a.seed);
    for (int i = a.start; i < a.start + a.length; ++i)
        if (i != a.checksumAt) sum += data[i];
    data[a.checksumAt] = static_cast<uint8_t>(sum & 0xFF);
}

// Parameter bytes of commands 3 and 4: address and count, low byte first.
void rangeParams(uint8_t p[12], int address, int count) {
    std::memset(p, 0, 12);
    p[0] = static_cast<uint8_t>(address & 0xFF);
    p[1] = static_cast<uint8_t>((address >> 8) & 0xFF);
    p[2] = static_cast<uint8_t>(count & 0xFF);
    p[3] = static_cast<uint8_t>((count >> 8) & 0xFF);
}

}  // namespace

// checkArea itself lives with connect, which checks the areas first.

int QOB::checkImage(const uint8_t* image512) {
    if (image512 == nullptr) return 0;
    return areaOk(image512, kFct) && areaOk(image512, kCfg) && areaOk(image512, kLob) ? 1 : 0;
}

int QOB::sealImage(uint8_t* image512) {
    if (image512 == nullptr) return 0;
    sealArea(image512, kFct);
    sealArea(image512, kCfg);
    sealArea(image512, kLob);
    return 1;
}

// Reads EEPROM 0..511 into the answer buffer; status 20 when refused.
static int readImageBytes(QOB& q) {
    uint8_t p[12];
    rangeParams(p, 0, kImageSize);
    q.status = StatusCode::Unknown;
    if (!q.sendCommand(cmd::ReadEeprom, 0, kImageSize, p, nullptr, q.answer)) {
        if (q.status == StatusCode::NotAcknowledged) q.status = StatusCode::EepromFailed;
        return 0;
    }
    return 1;
}

int QOB::reloadImage() {
    if (!connected) { status = StatusCode::NotConnected; return 0; }
    if (flagEepromRead == 0) { status = StatusCode::EepromFailed; return 0; }
    if (wrongConfig != 0 || flagFactoryOk == 0 || flagConfigOk == 0) { status = StatusCode::EepromNotValid; return 0; }
    if (!readImageBytes(*this)) return 0;
    const uint8_t* received = answer + 1;
    if (!areaOk(received, kFct) || !areaOk(received, kCfg)) { status = StatusCode::EepromNotValid; return 0; }
    std::memcpy(image, received, kImageSize);
    return 1;
}

int QOB::readImageCopy(uint8_t* destination512) {
    if (!connected) { status = StatusCode::NotConnected; return 0; }
    if (flagEepromRead == 0) { status = StatusCode::EepromFailed; return 0; }
    if (destination512 == nullptr) { status = StatusCode::BadCall; return 0; }
    if (!readImageBytes(*this)) return 0;
    std::memcpy(destination512, answer + 1, kImageSize);
    return 1;
}

int QOB::writeEepromRange(const uint8_t* source, int from, int to) {
    lastRangeWrite = RangeNotWritten;
    // A range the frame cannot carry would overrun the buffers. The bounds
    // come first: the count of two far-apart ints does not fit an int.
    if (source == nullptr || from < 0 || to > 0xFFFF || to < from || to - from + 1 > kMaxTransfer) {
        status = StatusCode::BadCall;
        return 0;
    }
    const int count = to - from + 1;
    std::memcpy(payload, source + from, static_cast<size_t>(count));
    uint8_t p[12];
    rangeParams(p, from, count);
    status = StatusCode::Unknown;
    if (!sendCommand(cmd::WriteEeprom, count, 0, p, payload, answer)) {
        // Only a plain refusal (acknowledge byte 0) says nothing was
        // written; a lost or garbled answer may hide a write.
        if (status != StatusCode::NotAcknowledged || answer[0] != 0) lastRangeWrite = RangeUnconfirmed;
        if (status == StatusCode::NotAcknowledged) status = StatusCode::EepromFailed;
        return 0;
    }
    lastRangeWrite = RangeUnconfirmed;
    status = StatusCode::Unknown;
    if (!sendCommand(cmd::ReadEeprom, 0, count, p, nullptr, answer)) {
        if (status == StatusCode::NotAcknowledged) status = StatusCode::EepromFailed;
        return 0;
    }
    if (std::memcmp(answer + 1, source + from, static_cast<size_t>(count)) != 0) {
        status = StatusCode::Unknown;
        return 0;
    }
    lastRangeWrite = RangeWritten;
    return 1;
}

int QOB::writeImage(const uint8_t* source512, int low, int fct, int cfg) {
    std::fill(std::begin(imageRanges), std::end(imageRanges), static_cast<int>(RangeNotWritten));
    if (!connected) { status = StatusCode::NotConnected; return 0; }
    if (flagEepromRead == 0) { status = StatusCode::EepromFailed; return 0; }
    if (source512 == nullptr || (low == 0 && fct == 0 && cfg == 0)) { status = StatusCode::BadCall; return 0; }
    // 255 in any selector forces the write of an image with bad checksums.
    const bool forced = low == 255 || fct == 255 || cfg == 255;
    if (!forced && !checkImage(source512)) { status = StatusCode::WrongChecksum; return 0; }
    static const int ranges[3][2] = {{0, 255}, {256, 275}, {276, 511}};
    const int selected[3] = {low, fct, cfg};
    for (int k = 0; k < 3; ++k) {
        if (selected[k] == 0) continue;
        const int ok = writeEepromRange(source512, ranges[k][0], ranges[k][1]);
        imageRanges[k] = lastRangeWrite;
        if (!ok) return 0;
    }
    return 1;
}

// Device areas must all be valid before the tool writes or backs them up.
static bool areasWritable(QOB& q) {
    if (!q.connected) { q.status = StatusCode::NotConnected; return false; }
    if (q.flagEepromRead == 0) { q.status = StatusCode::EepromFailed; return false; }
    if (q.wrongConfig != 0 || q.flagFactoryOk == 0 || q.flagConfigOk == 0 ||
        q.flagLoopBasedOk == 0) {
        q.status = StatusCode::EepromNotValid;
        return false;
    }
    return true;
}

int QOB::storeConfiguration() {
    if (!areasWritable(*this)) return 0;
    sealImage(image);
    return writeImage(image, 0, 0, 1);
}

int QOB::updateBackup() {
    if (!areasWritable(*this)) return 0;
    status = StatusCode::Unknown;
    if (!sendCommand(cmd::UpdateBackup, 0, 0, nullptr, nullptr, answer)) {
        if (status == StatusCode::NotAcknowledged) status = StatusCode::EepromFailed;
        return 0;
    }
    return 1;
}

int QOB::restoreArea(int code) {
    if (!connected) { status = StatusCode::NotConnected; return 0; }
    if (flagEepromRead == 0) { status = StatusCode::EepromFailed; return 0; }
    // Code 4 (ONF) goes through restoreOnfArea, which also clears the log.
    if (code < 0 || code > 3) { status = StatusCode::BadCall; return 0; }
    uint8_t p[12] = {static_cast<uint8_t>(code)};
    status = StatusCode::Unknown;
    if (!sendCommand(cmd::RestoreArea, 0, 0, p, nullptr, answer)) {
        if (status == StatusCode::NotAcknowledged) status = StatusCode::BackupNotValid;
        return 0;
    }
    return 1;
}

int QOB::restoreOnfArea() {
    if (!connected) { status = StatusCode::NotConnected; return 0; }
    if (flagEepromRead == 0) { status = StatusCode::EepromFailed; return 0; }
    uint8_t p[12] = {4};
    status = StatusCode::Unknown;
    if (!sendCommand(cmd::RestoreArea, 0, 0, p, nullptr, answer)) {
        if (status == StatusCode::NotAcknowledged) status = StatusCode::EepromFailed;
        return 0;
    }
    status = StatusCode::Unknown;
    if (!sendCommand(cmd::ClearLog, 0, 0, nullptr, nullptr, answer)) {
        if (status == StatusCode::NotAcknowledged) status = StatusCode::LogAreaFailed;
        return 0;
    }
    // The device's log is empty now; the copy read earlier is stale.
    logLoaded = 0;
    return 1;
}
