// COM numbers and port discovery.
//
// Windows: the system's COM ports (QueryDosDevice), friendly names from the
// Ports device class (SetupAPI); under Wine, which lists no devices there,
// from the Unix side of the ports Wine maps (see win32_com_ports.cpp).
//
// Linux:
// Port numbers 1..255 stay the operator's handle. They map to device files:
//  1. the ports folder ($NERAX_LT_PORTS, else $XDG_CONFIG_HOME/nerax-lt/ports,
//     else ~/.config/nerax-lt/ports): an entry COM<n>, a symlink to a
//     character device, maps n to it; an optional text file COM<n>.name
//     beside it holds its friendly name. These entries come first.
//  2. every other serial device under /sys/class/tty, by a fixed rule:
//     ttyS<k> -> COM<k+1> (k < 32, only when a UART is behind it),
//     ttyUSB<k> -> COM<33+k> (k < 32), ttyACM<k> -> COM<65+k> (k < 64),
//     ttyAMA<k> -> COM<129+k> (k < 16). A device that a folder entry already
//     maps, or whose number a folder entry took, gets no second number.
// Friendly names: the .name file, else the USB product string (or the
// manufacturer string) from sysfs followed by " (COM<n>)", else the port name.
#pragma once

#include <map>
#include <string>
#include <vector>

// Where the inventory is read; tests point it at temporary trees. Only
// executableDir counts on Windows.
struct PortInventoryRoots {
    std::string sysfsRoot = "/sys";
    std::string devRoot = "/dev";
    std::string portsFolder;    // empty: from the environment, as above
    std::string executableDir;  // empty: the directory of the running program
};

// The process-wide roots used by the functions below and by QOB::openPort.
PortInventoryRoots& portInventoryRoots();

// "COM" + n in decimal.
std::string comPortName(int number);

// The device file of port n, "" when no device has that number (Windows:
// always \\.\COMn). Never throws.
std::string devicePathForPort(int number);

// Linux only: the ports folder in effect.
std::string portsFolder();

// Linux only: the COM number the sysfs rule gives a tty name, 0 for none.
int ttyPortNumber(const std::string& ttyName);

// Lists the serial ports with their friendly names.
class C_ComPort {
public:
    C_ComPort();
    virtual ~C_ComPort();

    // Refills `ports` with name -> name for every port that exists; the count.
    int probePorts();
    // Appends "COMn" + separator + friendly name per port, in text order of
    // the names. A failing inventory read throws std::runtime_error.
    void enumeratePorts(std::vector<std::string>& list, char separator);

    // Port name -> friendly name, in text order (COM10 before COM2).
    std::map<std::string, std::string> ports;

private:
    // Replaces names in `ports` by friendly names as far as the platform's
    // inventory knows them; throws std::runtime_error when it cannot be read.
    void describePorts();

    struct Device {
        std::string path;
        std::string ttyName;   // name under /sys/class/tty, "" when unknown
        std::string nameFile;  // COM<n>.name beside the port's link, "" for none
    };
    std::map<std::string, Device> devices_;
};

// Finds the detector's port: the first port whose friendly name begins with
// one of the patterns of "__uet__port.txt" beside the executable (default
// "NERAX LT"), ignoring case. Never throws.
bool autodetectPort(int& portNumber);
