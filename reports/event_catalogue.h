// Texts of the detector's event codes and the fixed-width event log table
// that the log viewer prints and the reports carry.
#pragma once

#include <string>

// Text of an event code; empty for a code without one.
std::string eventText(int code);

// Fits the ten cells to their column widths and joins them with "|".
std::string logTableRow(const std::string& number, const std::string& date, const std::string& event,
                        const std::string& temp, const std::string& power1, const std::string& power2,
                        const std::string& flow1, const std::string& flow2, const std::string& sensor1,
                        const std::string& sensor2);
std::string logTableHeaderRow();
std::string logTableSeparatorRow();

// One decoded log record, as QOB::logRecord gives it.
struct LogRecordValues {
    int event = 0;
    int day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0;
    int temperature = 0;
    int power[2] = {};
    int flow[2] = {};
    int sensor[2] = {};
};

// "dd/mm/yy hh:mi:ss" of the record, "undefined" when it carries no date.
std::string logRecordDate(const LogRecordValues& record);

// The table row of record `number`; `variant` decides the sensor texts.
std::string logRecordRow(int number, const LogRecordValues& record, int variant);
