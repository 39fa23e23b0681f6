// EEPROM image operations against the virtual detector, and the
// configuration accessors' way to the device through storeConfiguration.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "device/qob.h"
#include "support/device_rows.h"
#include "support/sim_fixture.h"

using namespace device_rows;
using nerax_sim::DetectorModel;

namespace {

uint8_t scratch[512];

Call writeSealed(int low, int fct, int cfg) {
    return [=](QOB& q) {
        std::memcpy(scratch, q.image, 512);
        return q.writeImage(scratch, low, fct, cfg);
    };
}

Call writeBadCfg(int low, int fct, int cfg) {
    return [=](QOB& q) {
        std::memcpy(scratch, q.image, 512);
        scratch[495] ^= 1;
        return q.writeImage(scratch, low, fct, cfg);
    };
}

TEST(DeviceEeprom, RefusalsAndFailures) {
    const Call reload = [](QOB& q) { return q.reloadImage(); };
    const Call copy = [](QOB& q) { return q.readImageCopy(scratch); };
    const Call store = [](QOB& q) { return q.storeConfiguration(); };
    const Call backup = [](QOB& q) { return q.updateBackup(); };
    const Call restoreCfg = [](QOB& q) { return q.restoreConfigArea(); };
    const Call restoreOnf = [](QOB& q) { return q.restoreOnfArea(); };
    const Call paramRead = [](QOB& q) {
        int v = 1234;
        const int r = q.parAlarmDelay(v, Read);
        return r == 0 && v != 1234 ? 99 : r;  // a refused read leaves the variable alone
    };
    runRows({
        {.what = "reload, not connected", .call = reload, .result = 0, .status = 10, .connect = false},
        {.what = "reload, EEPROM unreadable", .call = reload, .result = 0, .status = 20, .options = unreadableEeprom()},
        {.what = "reload, wrong configuration",
         .call = reload,
         .result = 0,
         .status = 22,
         .options = wrongConfiguration()},
        {.what = "reload, factory area bad", .call = reload, .result = 0, .status = 22, .options = brokenFct()},
        {.what = "reload, config area bad", .call = reload, .result = 0, .status = 22, .options = brokenCfg()},
        {.what = "reload, read refused", .call = reload, .result = 0, .status = 20, .refusedCode = 3},
        {.what = "reload, device CFG spoiled since connect",
         .call = reload,
         .result = 0,
         .status = 22,
         .model = [](DetectorModel& m) { m.eeprom[300] ^= 0x40; },
         .sends = true},
        {.what = "copy, not connected", .call = copy, .result = 0, .status = 10, .connect = false},
        {.what = "copy, EEPROM unreadable", .call = copy, .result = 0, .status = 20, .options = unreadableEeprom()},
        {.what = "copy, read refused", .call = copy, .result = 0, .status = 20, .refusedCode = 3},
        {.what = "copy of bad areas is no failure",
         .call = copy,
         .result = 1,
         .status = 0,
         .options = brokenCfg(),
         .sends = true},
        {.what = "write, not connected", .call = writeSealed(1, 1, 1), .result = 0, .status = 10, .connect = false},
        {.what = "write, EEPROM unreadable",
         .call = writeSealed(1, 1, 1),
         .result = 0,
         .status = 20,
         .options = unreadableEeprom()},
        {.what = "write, nothing selected", .call = writeSealed(0, 0, 0), .result = 0, .status = 13},
        {.what = "write, bad checksum", .call = writeBadCfg(1, 1, 1), .result = 0, .status = 23},
        {.what = "write, bad checksum forced", .call = writeBadCfg(0, 0, 255), .result = 1, .status = 0, .sends = true},
        {.what = "write, write refused", .call = writeSealed(0, 1, 0), .result = 0, .status = 20, .refusedCode = 4},
        {.what = "write, read-back refused", .call = writeSealed(0, 0, 1), .result = 0, .status = 20, .refusedCode = 3},
        {.what = "write, read-back differs",
         .call = writeSealed(0, 0, 1),
         .result = 0,
         .status = 0,
         .refusedCode = 3,
         .fault = nerax_sim::FaultKind::WrongData},
        {.what = "write, second range refused",
         .call = writeSealed(1, 1, 1),
         .result = 0,
         .status = 20,
         .refusedCode = 4,
         .skip = 1},
        {.what = "range too long",
         .call = [](QOB& q) { return q.writeEepromRange(q.image, 0, 1024); },
         .result = 0,
         .status = 13},
        {.what = "range reversed",
         .call = [](QOB& q) { return q.writeEepromRange(q.image, 20, 19); },
         .result = 0,
         .status = 13},
        {.what = "store, not connected", .call = store, .result = 0, .status = 10, .connect = false},
        {.what = "store, EEPROM unreadable", .call = store, .result = 0, .status = 20, .options = unreadableEeprom()},
        {.what = "store, wrong configuration",
         .call = store,
         .result = 0,
         .status = 22,
         .options = wrongConfiguration()},
        {.what = "store, loop area bad", .call = store, .result = 0, .status = 22, .options = brokenLob()},
        {.what = "store, config area bad", .call = store, .result = 0, .status = 22, .options = brokenCfg()},
        {.what = "store, write refused", .call = store, .result = 0, .status = 20, .refusedCode = 4},
        {.what = "backup, not connected", .call = backup, .result = 0, .status = 10, .connect = false},
        {.what = "backup, EEPROM unreadable", .call = backup, .result = 0, .status = 20, .options = unreadableEeprom()},
        {.what = "backup, loop area bad", .call = backup, .result = 0, .status = 22, .options = brokenLob()},
        {.what = "backup, factory area bad", .call = backup, .result = 0, .status = 22, .options = brokenFct()},
        {.what = "backup refused", .call = backup, .result = 0, .status = 20, .refusedCode = 31},
        {.what = "restore, not connected", .call = restoreCfg, .result = 0, .status = 10, .connect = false},
        {.what = "restore, EEPROM unreadable",
         .call = restoreCfg,
         .result = 0,
         .status = 20,
         .options = unreadableEeprom()},
        {.what = "restore refused", .call = restoreCfg, .result = 0, .status = 21, .refusedCode = 28},
        {.what = "restore of bad areas is allowed",
         .call = restoreCfg,
         .result = 1,
         .status = 0,
         .options = brokenCfg(),
         .sends = true},
        {.what = "restore code 4 is the log header's own",
         .call = [](QOB& q) { return q.restoreArea(4); },
         .result = 0,
         .status = 13},
        {.what = "restore ONF, not connected", .call = restoreOnf, .result = 0, .status = 10, .connect = false},
        {.what = "restore ONF, EEPROM unreadable",
         .call = restoreOnf,
         .result = 0,
         .status = 20,
         .options = unreadableEeprom()},
        {.what = "restore ONF refused", .call = restoreOnf, .result = 0, .status = 20, .refusedCode = 28},
        {.what = "restore ONF, log clear refused", .call = restoreOnf, .result = 0, .status = 18, .refusedCode = 22},
        {.what = "parameter read, config area bad",
         .call = paramRead,
         .result = 0,
         .status = 22,
         .options = brokenCfg()},
        {.what = "parameter read, not connected", .call = paramRead, .result = 0, .status = 10, .connect = false},
        {.what = "parameter read, EEPROM unreadable",
         .call = paramRead,
         .result = 0,
         .status = 20,
         .options = unreadableEeprom()},
        {.what = "parameter read, loop area bad",
         .call = paramRead,
         .result = 1,
         .status = kUntouched,
         .options = brokenLob()},
    });
}

class DeviceEepromOps : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        ASSERT_EQ(q.connect(comNumber(), 0, 0, 0), 1) << q.lastStatus();
    }
    std::vector<uint8_t> deviceBytes(int from, int count) { return detector().eepromBytes(from, count); }
    std::vector<nerax_sim::Request> history() {
        return detector().withModel(
            [](DetectorModel& m) { return std::vector<nerax_sim::Request>(m.history.begin(), m.history.end()); });
    }
    QOB q;
};

TEST_F(DeviceEepromOps, RangeWriteSendsTheBytesAndReadsThemBack) {
    uint8_t source[512];
    std::memcpy(source, q.image, 512);
    for (int a = 276; a <= 511; ++a) source[a] = static_cast<uint8_t>(a * 3);
    const size_t before = history().size();
    ASSERT_EQ(q.writeEepromRange(source, 276, 511), 1) << q.lastStatus();
    const auto h = history();
    ASSERT_EQ(h.size(), before + 2);
    const auto& write = h[h.size() - 2];
    const auto& read = h[h.size() - 1];
    EXPECT_EQ(write.code, 4);
    EXPECT_EQ(read.code, 3);
    for (const auto* r : {&write, &read}) {
        EXPECT_EQ(r->p[1], 20);
        EXPECT_EQ(r->p[2], 1);
        EXPECT_EQ(r->p[3], 236);
        EXPECT_EQ(r->p[4], 0);
    }
    EXPECT_EQ(write.payload, std::vector<uint8_t>(source + 276, source + 512));
    EXPECT_EQ(deviceBytes(276, 236), std::vector<uint8_t>(source + 276, source + 512));
}

TEST_F(DeviceEepromOps, WriteImageWritesTheSelectedRangesOnly) {
    uint8_t source[512];
    for (int a = 0; a < 512; ++a) source[a] = static_cast<uint8_t>(a ^ 0x5A);
    QOB::sealImage(source);
    const auto fct = deviceBytes(256, 20);
    ASSERT_EQ(q.writeImage(source, 1, 0, 1), 1) << q.lastStatus();
    EXPECT_EQ(deviceBytes(0, 256), std::vector<uint8_t>(source, source + 256));
    EXPECT_EQ(deviceBytes(256, 20), fct);
    EXPECT_EQ(deviceBytes(276, 236), std::vector<uint8_t>(source + 276, source + 512));

    source[300] ^= 1;  // CFG checksum now wrong; 255 lets it through
    ASSERT_EQ(q.writeImage(source, 0, 0, 255), 1) << q.lastStatus();
    EXPECT_EQ(deviceBytes(300, 1)[0], source[300]);
}

TEST_F(DeviceEepromOps, StoredConfigurationReachesTheDeviceSealed) {
    int delay = 17;
    ASSERT_EQ(q.parAlarmDelay(delay, Write), 1) << q.lastStatus();
    EXPECT_NE(deviceBytes(355, 1)[0], 17) << "a write changes the image only";
    const auto low = deviceBytes(0, 276);
    const size_t before = history().size();
    ASSERT_EQ(q.storeConfiguration(), 1) << q.lastStatus();
    EXPECT_EQ(deviceBytes(355, 1)[0], 17);
    EXPECT_EQ(deviceBytes(0, 276), low);
    const auto cfg = deviceBytes(0, 512);
    EXPECT_EQ(QOB::checkArea(cfg.data(), 276, 220, 495, 5), 1);
    const auto h = history();
    int writes = 0;
    for (size_t i = before; i < h.size(); ++i)
        if (h[i].code == 4) ++writes;
    EXPECT_EQ(writes, 1);

    // A fresh copy from the device discards changes not stored.
    delay = 99;
    ASSERT_EQ(q.parAlarmDelay(delay, Write), 1);
    ASSERT_EQ(q.reloadImage(), 1) << q.lastStatus();
    ASSERT_EQ(q.parAlarmDelay(delay, Read), 1);
    EXPECT_EQ(delay, 17);
}

TEST_F(DeviceEepromOps, BackupAndRestoreOfTheConfiguration) {
    int original = 0;
    ASSERT_EQ(q.parFaultDelay(original, Read), 1);
    ASSERT_EQ(q.updateBackup(), 1) << q.lastStatus();
    int changed = original == 200 ? 201 : 200;
    ASSERT_EQ(q.parFaultDelay(changed, Write), 1);
    ASSERT_EQ(q.storeConfiguration(), 1);
    ASSERT_EQ(deviceBytes(439, 1)[0], changed);

    ASSERT_EQ(q.restoreConfigArea(), 1) << q.lastStatus();
    EXPECT_EQ(deviceBytes(439, 1)[0], original);
    int seen = -1;
    ASSERT_EQ(q.parFaultDelay(seen, Read), 1);
    EXPECT_EQ(seen, changed) << "the object's image is not refreshed by a restore";
    ASSERT_EQ(q.reloadImage(), 1);
    ASSERT_EQ(q.parFaultDelay(seen, Read), 1);
    EXPECT_EQ(seen, original);
}

TEST_F(DeviceEepromOps, ReloadRefusingSpoiledDataKeepsTheImage) {
    std::vector<uint8_t> image(q.image, q.image + 512);
    detector().withModel([](DetectorModel& m) { m.eeprom[260] ^= 1; });  // FCT checksum broken
    EXPECT_EQ(q.reloadImage(), 0);
    EXPECT_EQ(q.lastStatus(), 22);
    EXPECT_EQ(std::vector<uint8_t>(q.image, q.image + 512), image);

    uint8_t copy[512] = {};
    ASSERT_EQ(q.readImageCopy(copy), 1);
    EXPECT_EQ(copy[260], image[260] ^ 1);
    EXPECT_EQ(std::vector<uint8_t>(q.image, q.image + 512), image);
}

TEST_F(DeviceEepromOps, RestoreOfTheLogHeaderClearsTheLog) {
    ASSERT_EQ(q.readLog(), 1) << q.lastStatus();
    ASSERT_EQ(q.restoreOnfArea(), 1) << q.lastStatus();
    EXPECT_EQ(detector().withModel([](DetectorModel& m) { return m.logNewestIndex(); }), -1);
    EXPECT_EQ(q.logLastIndex(), -1) << "the copy read before is stale";
    EXPECT_EQ(q.lastStatus(), 15);
    ASSERT_EQ(q.readLog(), 1);
    EXPECT_EQ(q.logLastIndex(), -2);
}

}  // namespace
