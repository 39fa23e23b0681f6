// EEPROM image: area checksums, reading and writing ranges, backup and
// restore of the device's areas.
#include "device/qob.h"
#include "link/frame.h"
#include "link/status.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

constexpr int kImageSize = eeprom::kImageSize;
constexpr int kMaxTransfer = 1024;

}  // namespace

bool areaIntact(const uint8_t* bytes, const EepromArea& a) {
    return bytes != nullptr && bytes[a.length - 1] == areaChecksum(bytes, a);
}

uint8_t areaChecksum(const uint8_t* bytes, const EepromArea& a) {
    unsigned sum = static_cast<unsigned>(a.seed);
    for (int i = 0; i < a.length - 1; ++i) sum += bytes[i];
    return static_cast<uint8_t>(sum & 0xFF);
}

// checkArea itself lives with connect, which checks the areas first.

int QOB::checkImage(const uint8_t* image512) {
    if (image512 == nullptr) return 0;
    for (const EepromArea& a : eeprom::kImageAreas)
        if (!areaIntact(image512 + a.start, a)) return 0;
    return 1;
}

int QOB::sealImage(uint8_t* image512) {
    if (image512 == nullptr) return 0;
    for (const EepromArea& a : eeprom::kImageAreas) image512[a.checksumAt()] = areaChecksum(image512 + a.start, a);
    return 1;
}

// Reads EEPROM 0..511 into the answer buffer; status 20 when refused.
static int readImageBytes(QOB& q) {
    uint8_t p[frame::kParamCount];
    rangeParams(p, 0, kImageSize);
    return q.transact(cmd::ReadEeprom, 0, kImageSize, p, nullptr, StatusCode::EepromFailed);
}

int QOB::reloadImage() {
    if (!connected) return fail(StatusCode::NotConnected);
    if (flagEepromRead == 0) return fail(StatusCode::EepromFailed);
    if (wrongConfig != 0 || flagFactoryOk == 0 || flagConfigOk == 0) return fail(StatusCode::EepromNotValid);
    if (!readImageBytes(*this)) return 0;
    const uint8_t* received = answer + 1;
    if (!areaIntact(received + eeprom::kFactory.start, eeprom::kFactory) ||
        !areaIntact(received + eeprom::kConfig.start, eeprom::kConfig)) {
        return fail(StatusCode::EepromNotValid);
    }
    std::memcpy(image, received, kImageSize);
    return 1;
}

int QOB::readImageCopy(uint8_t* destination512) {
    if (!connected) return fail(StatusCode::NotConnected);
    if (flagEepromRead == 0) return fail(StatusCode::EepromFailed);
    if (destination512 == nullptr) return fail(StatusCode::BadCall);
    if (!readImageBytes(*this)) return 0;
    std::memcpy(destination512, answer + 1, kImageSize);
    return 1;
}

int QOB::writeEepromRange(const uint8_t* source, int from, int to) {
    lastRangeWrite = RangeNotWritten;
    // A range the frame cannot carry would overrun the buffers. The bounds
    // come first: the count of two far-apart ints does not fit an int.
    if (source == nullptr || from < 0 || to > 0xFFFF || to < from || to - from + 1 > kMaxTransfer)
        return fail(StatusCode::BadCall);
    const int count = to - from + 1;
    std::memcpy(payload, source + from, static_cast<size_t>(count));
    uint8_t p[frame::kParamCount];
    rangeParams(p, from, count);
    if (!transact(cmd::WriteEeprom, count, 0, p, payload, StatusCode::EepromFailed)) {
        // Only a plain refusal (acknowledge byte 0) says nothing was
        // written; a lost or garbled answer may hide a write.
        if (status != StatusCode::EepromFailed || answer[0] != 0) lastRangeWrite = RangeUnconfirmed;
        return 0;
    }
    lastRangeWrite = RangeUnconfirmed;
    if (!transact(cmd::ReadEeprom, 0, count, p, nullptr, StatusCode::EepromFailed)) return 0;
    if (std::memcmp(answer + 1, source + from, static_cast<size_t>(count)) != 0) return fail(StatusCode::Unknown);
    lastRangeWrite = RangeWritten;
    return 1;
}

int QOB::writeImage(const uint8_t* source512, int low, int fct, int cfg) {
    std::fill(std::begin(imageRanges), std::end(imageRanges), static_cast<int>(RangeNotWritten));
    if (!connected) return fail(StatusCode::NotConnected);
    if (flagEepromRead == 0) return fail(StatusCode::EepromFailed);
    if (source512 == nullptr || (low == 0 && fct == 0 && cfg == 0)) return fail(StatusCode::BadCall);
    // 255 in any selector forces the write of an image with bad checksums.
    const bool forced = low == 255 || fct == 255 || cfg == 255;
    if (!forced && !checkImage(source512)) return fail(StatusCode::WrongChecksum);
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
    if (!q.connected) {
        q.status = StatusCode::NotConnected;
        return false;
    }
    if (q.flagEepromRead == 0) {
        q.status = StatusCode::EepromFailed;
        return false;
    }
    if (q.wrongConfig != 0 || q.flagFactoryOk == 0 || q.flagConfigOk == 0 || q.flagLoopBasedOk == 0) {
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
    return transact(cmd::UpdateBackup, 0, 0, nullptr, nullptr, StatusCode::EepromFailed);
}

int QOB::restoreArea(int code) {
    if (!connected) return fail(StatusCode::NotConnected);
    if (flagEepromRead == 0) return fail(StatusCode::EepromFailed);
    // Code 4 (ONF) goes through restoreOnfArea, which also clears the log.
    if (code < 0 || code > 3) return fail(StatusCode::BadCall);
    uint8_t p[frame::kParamCount] = {static_cast<uint8_t>(code)};
    return transact(cmd::RestoreArea, 0, 0, p, nullptr, StatusCode::BackupNotValid);
}

int QOB::restoreOnfArea() {
    if (!connected) return fail(StatusCode::NotConnected);
    if (flagEepromRead == 0) return fail(StatusCode::EepromFailed);
    uint8_t p[frame::kParamCount] = {4};
    if (!transact(cmd::RestoreArea, 0, 0, p, nullptr, StatusCode::EepromFailed)) return 0;
    if (!transact(cmd::ClearLog, 0, 0, nullptr, nullptr, StatusCode::LogAreaFailed)) return 0;
    // The device's log is empty now; the copy read earlier is stale.
    logLoaded = 0;
    return 1;
}
