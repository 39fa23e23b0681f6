// The Windows port inventory: every COMn the system knows (QueryDosDevice),
// friendly names from the Ports device class (SetupAPI: the port name in the
// device's registry key, the friendly name property).
//
// Wine lists no devices in SetupAPI. It maps a port to a Unix device through
// HKLM\Software\Wine\Ports (COMn = Unix path); when that path is a link in a
// Linux ports folder, the COMn.name file beside it names the port, as it
// does for the Linux build.
#include "link/com_ports.h"

#include <fstream>
#include <stdexcept>
#include <windows.h>
#include <initguid.h>
#include <devguid.h>
#include <setupapi.h>

#include "link/win32_text.h"

namespace {

std::string hexCode(DWORD code) {
    char text[16];
    snprintf(text, sizeof text, "%08lX", static_cast<unsigned long>(code));
    return text;
}

std::string firstLine(const std::wstring& file) {
    std::ifstream in(narrow(file), std::ios::binary);
    std::string line;
    if (in) std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
    return line;
}

std::wstring registryString(HKEY key, const wchar_t* name) {
    wchar_t value[512] = {};
    DWORD type = 0;
    DWORD size = sizeof value - sizeof(wchar_t);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::wstring();
    return value;
}

// Friendly names of the Ports device class; throws when the class cannot be read.
void setupApiNames(std::map<std::string, std::string>& ports) {
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        throw std::runtime_error("SetupDiGetClassDevs fails: error=" + hexCode(GetLastError()) + "h");
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE) continue;
        std::string name = narrow(registryString(key, L"PortName"));
        RegCloseKey(key);
        auto it = ports.find(name);
        if (it == ports.end()) continue;
        wchar_t friendly[512] = {};
        DWORD type = 0;
        if (SetupDiGetDeviceRegistryPropertyW(set, &device, SPDRP_FRIENDLYNAME, &type,
                                              reinterpret_cast<BYTE*>(friendly), sizeof friendly - sizeof(wchar_t),
                                              nullptr) &&
            type == REG_SZ && friendly[0])
            it->second = narrow(friendly);
    }
    DWORD error = GetLastError();
    SetupDiDestroyDeviceInfoList(set);
    if (error != ERROR_NO_MORE_ITEMS && error != ERROR_SUCCESS)
        throw std::runtime_error("SetupDiEnumDeviceInfo fails: error=" + hexCode(error) + "h");
}

// Names of the ports Wine maps to a Linux ports-folder entry.
void wineNames(std::map<std::string, std::string>& ports) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Wine\\Ports", 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    for (auto& [name, friendly] : ports) {
        if (friendly != name) continue;  // the system named it already
        std::wstring target = registryString(key, widen(name).c_str());
        if (target.empty() || target[0] != L'/') continue;
        // Wine shows the Unix root as drive Z:.
        std::wstring file = L"Z:" + target + L".name";
        for (wchar_t& c : file)
            if (c == L'/') c = L'\\';
        std::string label = firstLine(file);
        if (!label.empty()) friendly = label;
    }
    RegCloseKey(key);
}

}  // namespace

std::string devicePathForPort(int number) {
    return number >= 1 && number <= 255 ? "\\\\.\\" + comPortName(number) : std::string();
}

int C_ComPort::probePorts() {
    ports.clear();
    devices_.clear();
    wchar_t target[1023];
    for (int n = 1; n <= 255; ++n) {
        std::string name = comPortName(n);
        if (QueryDosDeviceW(widen(name).c_str(), target, 1023) != 0) {
            ports[name] = name;
            devices_[name] = Device{devicePathForPort(n), "", ""};
        }
    }
    return static_cast<int>(ports.size());
}

void C_ComPort::describePorts() {
    setupApiNames(ports);
    wineNames(ports);
}
