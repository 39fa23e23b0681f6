#include "reports/event_catalogue.h"

#include "app/formatters.h"
#include "device/texts.h"

namespace {

struct EventEntry {
    int code;
    const char* text;
};

// Device events 0..53 and the fault/alert events 100..137. The ends of
// faults and alerts (code + 50) are derived from the tags of the latter.
const EventEntry kEventTexts[] = {
    {0, "void event"},
    {1, "device cannot read its EEPROM during initialization"},
    {2, "invalid EEPROM (checksum failed for area [FCT])"},
    {3, "invalid EEPROM (checksum failed for area [CFG])"},
    {4, "invalid EEPROM (checksum failed for area [LOB])"},
    {5, "void event"},
    {6, "void event"},
    {7, "Device initialization"},
    {8, "void event"},
    {9, "invalid EEPROM (checksum failed for area [ONF])"},
    {10, "Device reset executed"},
    {11, "Channel 1 enters in ALARM"},
    {12, "Channel 1 exits from ALARM"},
    {13, "Channel 1 enters in PREALARM"},
    {14, "Channel 1 exits from PREALARM"},
    {15, "Channel 2 enters in ALARM"},
    {16, "Channel 2 exits from ALARM"},
    {17, "Channel 2 enters in PREALARM"},
    {18, "Channel 2 exits from PREALARM"},
    {19, "Device enters in NORMAL state"},
    {20, "Device enters in MAINTENANCE state"},
    {21, "Device enters in REMOTE MAINTENANCE state"},
    {22, "Device enters in SERVICE MODE state"},
    {23, "Device eneters is disable mode"},
    {24, "Device exits from disable mode"},
    {25, "Device ext input line is in normal state"},
    {26, "Device ext input line is in NOT normal state"},
    {27, "Trend log"},
    {28, "EEPROM restored (area: [FCT] [CFG] [LOB])"},
    {29, "EEPROM restored (area: [LOB])"},
    {30, "EEPROM restored (area: [FCT])"},
    {31, "EEPROM restored (area: [CFG])"},
    {32, "EEPROM restored (area: [ONF])"},
    {33, "[E012] device EEPROM restore failed"},
    {34, "[E013] invalid EEPROM (checksum failed for area [BKP])"},
    {35, "Device flows initialization"},
    {36, "Manual sounder deactivation"},
    {37, "Device real time clock has been updated"},
    {38, "Alarm 1 relay activated"},
    {39, "Alarm 2 relay activated"},
    {40, "Sounder 1 relay activated"},
    {41, "Sounder 2 relay activated"},
    {42, "Fault relay activated"},
    {43, "Prealarm 1 relay activated"},
    {44, "Prealarm 2 relay activated"},
    {45, "Auxiliary fault relay activated"},
    {46, "Alarm 1 relay deactivated"},
    {47, "Alarm 2 relay deactivated"},
    {48, "Sounder 1 relay deactivated"},
    {49, "Sounder 2 relay deactivated"},
    {50, "Fault relay deactivated"},
    {51, "Prealarm 1 relay deactivated"},
    {52, "Prealarm 2 relay deactivated"},
    {53, "Auxiliary fault relay deactivated"},
    {100, "[F001] device configuration data are not available"},
    {101, "[A001] device loop based data are not available"},
    {102, "[F002] device is unable to read its EEPROM"},
    {103, "[A002] device is unable to read or set its real time clock"},
    {104, "[A016] bad communication with LED pcb"},
    {105, "[A003] date stored in device real time clock is not valid"},
    {106, "[F004] device external line input fault"},
    {107, "[A004] device temperature is over limits"},
    {108, "[A005] device temperature is below limits"},
    {109, "[A006] device supply voltage is under 21 V"},
    {110, "[F023] device supply voltage is over 32 V"},
    {111, "[A007] device was not powered for an unknown period of time"},
    {112, "[F005] ultrasonic circuit of channel 1 ko"},
    {113, "[F006] sounder 1 output is in short or open circuit"},
    {114, "[F007] error in communication with channel 1 sensor"},
    {115, "[A008] sensor 1 chamber is dirty (0.3%/feet)"},
    {116, "[A009] sensor 1 chamber is dirty (0.6 %/feet)"},
    {117, "[A010] sensor 1 chamber is dirty (max %/feet)"},
    {118, "[F008] error in initialization of channel 1 sensor"},
    {119, "[F009] sensor 1 chamber is answering a very low value"},
    {120, "[A011] filter 1 due date reached"},
    {121, "[F010] channel 1 aspirating system has trouble"},
    {122, "[F011] channel 1 flow initialization failed"},
    {123, "[F012] channel 1 flow is below the configured limit"},
    {124, "[F013] channel 1 flow is over the configured limit"},
    {125, "[F014] ultrasonic circuit of channel 2 ko"},
    {126, "[F015] sounder 2 output is in short or open circuit"},
    {127, "[F016] error in communication with the channel 2 sensor"},
    {128, "[A012] sensor 2 chamber is dirty (0.3%/feet)"},
    {129, "[A013] sensor 2 chamber is dirty (0.6 %/feet)"},
    {130, "[A014] sensor 2 chamber is dirty (max %/feet)"},
    {131, "[F017] error in initialization of channel 2 sensor"},
    {132, "[F018] sensor 2 chamber is answering a very low value"},
    {133, "[A015] filter 2 due date reached"},
    {134, "[F019] channel 2 aspirating system has trouble"},
    {135, "[F020] channel 2 flow initialization failed"},
    {136, "[F021] channel 2 flow is below the configured limit"},
    {137, "[F022] channel 2 flow is over the configured limit"},
};

constexpr int kRestoreOffset = 50;
// [F001] and [A001] have no restore event.
constexpr int kFirstRestoredCode = 102;

const char* storedText(int code) {
    for (const auto& e : kEventTexts)
        if (e.code == code) return e.text;
    return nullptr;
}

struct Column {
    int width;
    const char* header;
    int dashes;  // the separator cell before fitting
};

// clang-format off
const Column kColumns[10] = {
    {4, "#", 4},         {17, "Date", 17},    {45, "Event", 45},  {4, "Temp", 4},
    {6, "Power 1", 6},   {6, "Power 2", 6},   {6, "Flow 1", 6},   {6, "Flow 2", 6},
    {20, "Sensor 1", 19}, {20, "Sensor 2", 19},
};
// clang-format on

}  // namespace

std::string eventText(int code) {
    if (const char* text = storedText(code)) return text;
    const int ended = code - kRestoreOffset;
    if (ended >= kFirstRestoredCode && ended <= 137) {
        const std::string source = storedText(ended);
        const char* kind = source.compare(0, 2, "[F") == 0 ? "Restore from fault [" : "Restore from alert [";
        return kind + source.substr(1, 4) + "]";
    }
    return "";
}

std::string logTableRow(const std::string& number, const std::string& date, const std::string& event,
                        const std::string& temp, const std::string& power1, const std::string& power2,
                        const std::string& flow1, const std::string& flow2, const std::string& sensor1,
                        const std::string& sensor2) {
    const std::string* cells[10] = {&number, &date,  &event, &temp,    &power1,
                                    &power2, &flow1, &flow2, &sensor1, &sensor2};
    std::string row;
    for (int i = 0; i < 10; ++i) {
        if (i > 0) row += '|';
        row += fitWidth(*cells[i], kColumns[i].width);
    }
    return row;
}

std::string logTableHeaderRow() {
    std::string c[10];
    for (int i = 0; i < 10; ++i) c[i] = kColumns[i].header;
    return logTableRow(c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8], c[9]);
}

std::string logTableSeparatorRow() {
    std::string c[10];
    for (int i = 0; i < 10; ++i) c[i] = std::string(static_cast<size_t>(kColumns[i].dashes), '-');
    return logTableRow(c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8], c[9]);
}

std::string logRecordDate(const LogRecordValues& r) {
    if (r.day == 0) return "undefined";
    return twoDigits(r.day) + "/" + twoDigits(r.month) + "/" + twoDigits(r.year) + " " + twoDigits(r.hour) + ":" +
           twoDigits(r.minute) + ":" + twoDigits(r.second);
}

std::string logRecordRow(int number, const LogRecordValues& r, int variant) {
    return logTableRow(std::to_string(number), logRecordDate(r),
                       fitWidth(std::to_string(r.event), 3) + ": " + eventText(r.event),
                       tenthsOrUndefined(r.temperature), numberOrUndefined(r.power[0]), numberOrUndefined(r.power[1]),
                       numberOrUndefined(r.flow[0]), numberOrUndefined(r.flow[1]),
                       pollStatusTextFor(variant, r.sensor[0]), pollStatusTextFor(variant, r.sensor[1]));
}
