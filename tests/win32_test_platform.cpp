// The Windows layer under Wine: port names, open failures, lost-device
// errors, UTF-8 paths and the atomic replace.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <windows.h>

#include "app/report_file.h"
#include "device/qob.h"
#include "link/com_ports.h"
#include "link/serial_port.h"
#include "link/status.h"
#include "link/system.h"
#include "support/work_dir.h"

namespace {

TEST(Win32Link, PortNumbersNameTheirDevices) {
    struct Case {
        int number;
        const char* path;
    } cases[] = {{1, "\\\\.\\COM1"},
                 {9, "\\\\.\\COM9"},
                 {10, "\\\\.\\COM10"},
                 {99, "\\\\.\\COM99"},
                 {100, "\\\\.\\COM100"},
                 {255, "\\\\.\\COM255"},
                 {0, ""},
                 {256, ""}};
    for (const Case& c : cases) EXPECT_EQ(devicePathForPort(c.number), c.path) << c.number;
}

TEST(Win32Link, AnAbsentPortFailsWithTheSystemErrorNumber) {
    QOB qob;
    EXPECT_EQ(qob.openPort(251, 38400, 8, 0, 0, 50, 1000), 0);
    EXPECT_EQ(qob.lastStatus(), StatusCode::OsError);
    EXPECT_EQ(qob.lastOsError(), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
    char text[128] = {};
    ASSERT_EQ(qob.osErrorText(text), 1);
    EXPECT_STREQ(text, "Invalid Handle (-1)");

    for (uint32_t number : {0u, 256u}) {
        QOB other;
        EXPECT_EQ(other.openPort(number, 38400, 8, 0, 0, 50, 1000), 0);
        EXPECT_EQ(other.lastStatus(), StatusCode::InvalidPort) << number;
    }
}

TEST(Win32Link, UnplugErrorsDropTheDeviceAndATimeoutDoesNot) {
    auto port = makeSystemSerialPort();
    for (DWORD lost :
         std::initializer_list<DWORD>{ERROR_NOT_READY, ERROR_BAD_COMMAND, ERROR_GEN_FAILURE, ERROR_ACCESS_DENIED,
                                      ERROR_DEVICE_NOT_CONNECTED, ERROR_OPERATION_ABORTED})
        EXPECT_TRUE(port->deviceLost(static_cast<int>(lost))) << lost;
    for (DWORD kept : {DWORD(ERROR_TIMEOUT), DWORD(ERROR_INVALID_PARAMETER), DWORD(ERROR_SUCCESS)})
        EXPECT_FALSE(port->deviceLost(static_cast<int>(kept))) << kept;
}

TEST(Win32Files, ProgramDirectoryHoldsTheProgram) {
    std::string dir = programDirectory();
    std::ifstream self(dir + "\\win32_test_platform.exe", std::ios::binary);
    EXPECT_TRUE(self.good()) << dir;
}

TEST(Win32Files, Utf8NamesReachTheFileSystemAsTheyAre) {
    ScopedWorkDir dir;
    std::string error;
    const std::string name =
        "Pr\xC3\xBC"
        "fung \xC3\xA9t\xC3\xA9.LOG";  // "Prüfung été.LOG"
    ASSERT_TRUE(writeTextFile(name, {"a"}, error)) << error;
    EXPECT_NE(GetFileAttributesW(L"Pr\u00FCfung \u00E9t\u00E9.LOG"), INVALID_FILE_ATTRIBUTES);
    std::ifstream in(name, std::ios::binary);  // narrow calls take UTF-8 too
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "a\r");
}

TEST(Win32Files, ReplacingAFileThatIsOpenElsewhereKeepsIt) {
    ScopedWorkDir dir;
    dir.write("R.LOG", "earlier\r\n");
    // Another program holds it without sharing delete access.
    HANDLE held = CreateFileW(L"R.LOG", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::string error;
    bool written = writeTextFile("R.LOG", {"new"}, error);
    CloseHandle(held);
    EXPECT_FALSE(written);
    EXPECT_NE(error.find("R.LOG"), std::string::npos) << error;
    EXPECT_EQ(dir.read("R.LOG"), "earlier\r\n");
    EXPECT_EQ(dir.files(), std::vector<std::string>{"R.LOG"});
}

}  // namespace
