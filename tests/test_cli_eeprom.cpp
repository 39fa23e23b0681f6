// nerax-lt-cli eeprom-save, eeprom-load and eeprom-dump in-process against
// the virtual detector: files, what reaches the detector, exit codes.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "support/cli_run.h"

using nerax_sim::DetectorModel;
using Lines = std::vector<std::string>;

namespace {

class CliEeprom : public SimCliTest {};

TEST_F(CliEeprom, SaveThenLoadAnEditedImage) {
    CliLines r = run({"eeprom-save", "--file", path("a.e2p")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, (Lines{">>Connected", ">>Bytes 0-511 read!", ">>File saved!"}));
    std::string image = work.read("a.e2p");
    const std::vector<uint8_t> device = detector().eepromBytes(0, 512);
    EXPECT_EQ(image.rfind("0=" + std::to_string(device[0]) + "\r\n1=", 0), 0u);

    // Byte 300 changed by hand: the checksum is wrong now.
    const std::string row = "\r\n300=" + std::to_string(device[300]) + "\r\n";
    image.replace(image.find(row), row.size(), "\r\n300=" + std::to_string((device[300] + 1) % 256) + "\r\n");
    work.write("b.e2p", image);

    r = run({"eeprom-load", "--file", path("b.e2p")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Checksum values are wrong. Write EEPROM anyway?"), std::string::npos) << r.err;
    EXPECT_EQ(detector().eepromBytes(0, 512), device);

    r = run({"eeprom-load", "--file", path("b.e2p"), "--yes"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, (Lines{">>Grid values updated!", ">>Connected", ">>e2p bytes 0-511 checksums updated",
                            ">>Bytes 0-511 written!"}));
    EXPECT_EQ(detector().eepromBytes(300, 1)[0], (device[300] + 1) % 256);
    EXPECT_EQ(detector().eepromBytes(495, 1)[0], static_cast<uint8_t>(device[495] + 1));
}

TEST_F(CliEeprom, ABrokenImageIsRefusedBeforeTheDetectorIsTouched) {
    work.write("short.e2p", "0=1\r\n1=2\r\n");
    auto requests = [&] {
        return detector().withModel([](DetectorModel& m) {
            int n = 0;
            for (int c : m.requestCount) n += c;
            return n;
        });
    };
    const int before = requests();
    CliLines r = run({"eeprom-load", "--file", path("short.e2p"), "--yes"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("byte 2 is missing (the file holds 2 rows of 512)"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
    EXPECT_EQ(requests(), before);

    r = run({"eeprom-load"});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("--file FILE.e2p is needed"), std::string::npos);
}

TEST_F(CliEeprom, DumpPrintsEveryByte) {
    CliLines r = run({"eeprom-dump"});
    EXPECT_EQ(r.code, 0) << r.err;
    ASSERT_EQ(r.out.size(), 1u + 1 + 32768 + 1);
    EXPECT_EQ(r.out[1], ">>>--EEPROM-------------------");
    EXPECT_EQ(r.out[2 + 32767].rfind("32767=", 0), 0u);
    EXPECT_EQ(r.out.back(), "<<<--EEPROM-------------------");

    detector().injectFault(36, {nerax_sim::FaultKind::NotAcknowledged}, 1);
    r = run({"eeprom-dump"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out.back(), ">>QOB Error [0] unknown error");
}

}  // namespace
