// COM numbers on Linux and port discovery, against a fake sysfs tree and a
// temporary ports folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "link/com_ports.h"
#include "support/pty_peer.h"

namespace {

class Ports : public ::testing::Test {
protected:
    void SetUp() override {
        saved = portInventoryRoots();
        portInventoryRoots() = PortInventoryRoots{root.path() + "/sys", root.path() + "/dev", root.path() + "/ports",
                                                  root.path() + "/bin"};
        root.write("ports/.keep", "");
        root.write("sys/class/tty/.keep", "");
        root.write("bin/.keep", "");
    }
    void TearDown() override { portInventoryRoots() = saved; }

    // COM<n> in the ports folder; /dev/null stands in for a device.
    void folderPort(int number, const std::string& friendlyName = "") {
        root.link("ports/COM" + std::to_string(number), "/dev/null");
        if (!friendlyName.empty()) root.write("ports/COM" + std::to_string(number) + ".name", friendlyName + "\n");
    }

    // A tty under the fake sysfs whose device is a USB interface of a USB
    // device with the given strings ("" for none).
    void usbTty(const std::string& tty, const std::string& usbDevice, const std::string& product,
                const std::string& manufacturer, bool usbSerialLevel = false) {
        std::string device = "sys/devices/pci0000:00/usb1/" + usbDevice;
        root.write(device + "/idVendor", "1234\n");
        if (!product.empty()) root.write(device + "/product", product + "\n");
        if (!manufacturer.empty()) root.write(device + "/manufacturer", manufacturer + "\n");
        std::string interface = device + "/" + usbDevice + ":1.0";
        if (usbSerialLevel) interface += "/" + tty;  // usb-serial ports sit one level below the interface
        root.write(interface + "/.keep", "");
        root.link("sys/class/tty/" + tty + "/device", root.path() + "/" + interface);
    }

    void uartTty(const std::string& tty, const std::string& type) {
        root.write("sys/devices/platform/serial8250/.keep", "");
        root.link("sys/class/tty/" + tty + "/device", root.path() + "/sys/devices/platform/serial8250");
        root.write("sys/class/tty/" + tty + "/type", type + "\n");
    }

    std::vector<std::string> list() {
        std::vector<std::string> lines;
        C_ComPort().enumeratePorts(lines, '|');
        return lines;
    }

    TempDir root;
    PortInventoryRoots saved;
};

TEST(PortNumbers, SysfsRule) {
    struct Case {
        const char* tty;
        int number;
    } cases[] = {
        {"ttyS0", 1},      {"ttyS31", 32},  {"ttyS32", 0},     {"ttyUSB0", 33}, {"ttyUSB31", 64},
        {"ttyUSB32", 0},   {"ttyACM0", 65}, {"ttyACM63", 128}, {"ttyACM64", 0}, {"ttyAMA0", 129},
        {"ttyAMA15", 144}, {"ttyAMA16", 0}, {"ttyS01", 0},     {"ttyS", 0},     {"ttyUSBx", 0},
        {"tty0", 0},       {"console", 0},  {"ptmx", 0},       {"ttyS-1", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(ttyPortNumber(c.tty), c.number) << c.tty;
    EXPECT_EQ(comPortName(7), "COM7");
    EXPECT_EQ(comPortName(255), "COM255");
}

TEST(PortNumbers, PortsFolderFromTheEnvironment) {
    PortInventoryRoots saved = portInventoryRoots();
    portInventoryRoots().portsFolder.clear();
    std::string ports = getenv("NERAX_LT_PORTS") ? getenv("NERAX_LT_PORTS") : "";
    std::string config = getenv("XDG_CONFIG_HOME") ? getenv("XDG_CONFIG_HOME") : "";
    std::string home = getenv("HOME") ? getenv("HOME") : "";

    setenv("NERAX_LT_PORTS", "/tmp/a", 1);
    setenv("XDG_CONFIG_HOME", "/tmp/b", 1);
    setenv("HOME", "/tmp/c", 1);
    EXPECT_EQ(portsFolder(), "/tmp/a");
    unsetenv("NERAX_LT_PORTS");
    EXPECT_EQ(portsFolder(), "/tmp/b/nerax-lt/ports");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(portsFolder(), "/tmp/c/.config/nerax-lt/ports");

    auto restore = [](const char* name, const std::string& value) {
        if (value.empty())
            unsetenv(name);
        else
            setenv(name, value.c_str(), 1);
    };
    restore("NERAX_LT_PORTS", ports);
    restore("XDG_CONFIG_HOME", config);
    restore("HOME", home);
    portInventoryRoots() = saved;
}

TEST_F(Ports, NoPortAtAll) {
    C_ComPort comPort;
    EXPECT_EQ(comPort.probePorts(), 0);
    EXPECT_TRUE(list().empty());
    int number = -5;
    EXPECT_FALSE(autodetectPort(number));
    EXPECT_EQ(number, -5);
}

TEST_F(Ports, ListIsInTextOrderOfNames) {
    folderPort(2);
    folderPort(10);
    folderPort(200, "NERAX LT (virtual)");
    C_ComPort comPort;
    EXPECT_EQ(comPort.probePorts(), 3);
    EXPECT_EQ(list(), (std::vector<std::string>{"COM10|COM10", "COM2|COM2", "COM200|NERAX LT (virtual)"}));
    std::vector<std::string> semicolons;
    comPort.enumeratePorts(semicolons, ';');
    EXPECT_EQ(semicolons.front(), "COM10;COM10");
}

TEST_F(Ports, FolderEntriesThatAreNoPortAreIgnored) {
    folderPort(5);
    root.link("ports/COM6", root.path() + "/missing");  // dangling
    root.write("ports/COM8", "a plain file");           // no device
    root.link("ports/COM0", "/dev/null");
    root.link("ports/COM256", "/dev/null");
    root.link("ports/COM07", "/dev/null");
    root.link("ports/COMx", "/dev/null");
    root.link("ports/com9", "/dev/null");
    EXPECT_EQ(list(), (std::vector<std::string>{"COM5|COM5"}));
    EXPECT_EQ(devicePathForPort(5), root.path() + "/ports/COM5");
    EXPECT_EQ(devicePathForPort(6), "");
    EXPECT_EQ(devicePathForPort(7), "");
}

TEST_F(Ports, SysfsDevicesWithFriendlyNames) {
    uartTty("ttyS0", "4");
    uartTty("ttyS1", "0");  // placeholder without a UART
    uartTty("ttyS2", "");   // no type: no UART either
    usbTty("ttyUSB0", "1-1", "FT232R USB UART", "FTDI", true);
    usbTty("ttyACM0", "1-2", "NERAX LT", "Maker");
    usbTty("ttyACM1", "1-3", "", "Acme");
    usbTty("ttyACM2", "1-4", "", "");
    root.write("sys/class/tty/tty0/dev", "4:0\n");  // a console: no device link
    root.write("sys/class/tty/ttyACM99/.keep", "");

    EXPECT_EQ(list(), (std::vector<std::string>{
                          "COM1|COM1",
                          "COM33|FT232R USB UART (COM33)",
                          "COM65|NERAX LT (COM65)",
                          "COM66|Acme (COM66)",
                          "COM67|COM67",
                      }));
    EXPECT_EQ(devicePathForPort(33), root.path() + "/dev/ttyUSB0");
    EXPECT_EQ(devicePathForPort(2), "");
    int number = 0;
    EXPECT_TRUE(autodetectPort(number));
    EXPECT_EQ(number, 65);
}

TEST_F(Ports, FolderEntriesComeFirst) {
    usbTty("ttyACM0", "1-2", "Other", "");
    folderPort(65, "NERAX LT (virtual)");  // takes ttyACM0's number
    EXPECT_EQ(list(), (std::vector<std::string>{"COM65|NERAX LT (virtual)"}));
    EXPECT_EQ(devicePathForPort(65), root.path() + "/ports/COM65");
}

TEST_F(Ports, UnreadableInventoryRaisesAndAutodetectSwallowsIt) {
    folderPort(3, "NERAX LT");
    std::filesystem::remove_all(root.path() + "/sys/class/tty");
    root.write("sys/class/tty", "not a folder");

    C_ComPort comPort;
    std::vector<std::string> lines;
    try {
        comPort.enumeratePorts(lines, '|');
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("sysfs read fails: ", 0), 0u) << e.what();
    }
    EXPECT_TRUE(lines.empty());
    EXPECT_EQ(comPort.ports.size(), 1u);  // what the probe found stays
    int number = 0;
    EXPECT_FALSE(autodetectPort(number));
}

TEST_F(Ports, MissingSysfsIsAnEmptyInventory) {
    std::filesystem::remove_all(root.path() + "/sys");
    folderPort(3, "NERAX LT");
    EXPECT_EQ(list(), (std::vector<std::string>{"COM3|NERAX LT"}));
}

TEST_F(Ports, AutodetectPatterns) {
    folderPort(4, "USB NERAX LT");  // the pattern is not at the start
    folderPort(7, "nerax lt (COM7)");
    folderPort(12, "Modem");
    folderPort(30);

    struct Case {
        const char* file;  // null: no pattern file
        bool found;
        int number;
    } cases[] = {
        {nullptr, true, 7},          // default "NERAX LT", case ignored
        {"", false, 0},              // empty file: no pattern
        {"\n", true, 12},            // an empty line matches the first port (COM12 < COM30 < COM4 < COM7)
        {"modem\nNERAX", true, 12},  // ports in list order, then patterns in file order
        {"Nothing\r\nnerax LT\r\n", true, 7},
        {"Modem X", false, 0},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(root.path() + "/bin/__uet__port.txt");
        if (c.file) root.write("bin/__uet__port.txt", c.file);
        int number = 0;
        EXPECT_EQ(autodetectPort(number), c.found) << (c.file ? c.file : "(no file)");
        if (c.found) { EXPECT_EQ(number, c.number) << (c.file ? c.file : "(no file)"); }
    }
}

}  // namespace
