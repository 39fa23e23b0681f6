#include "app/formatters.h"

#include <cctype>
#include <climits>

#include "app/host.h"

std::string yesNo(int v) { return v == 0 ? "N" : "Y"; }

std::string pickText(int v, int reference, const std::string& textIfDifferent, const std::string& textIfEqual) {
    return v == reference ? textIfEqual : textIfDifferent;
}

std::string twoDigits(int v) { return v < 10 ? "0" + std::to_string(v) : std::to_string(v); }

std::string threeDigits(int v) { return v >= 100 ? std::to_string(v) : "0" + twoDigits(v); }

std::string fitWidth(const std::string& text, int width) {
    if (width <= 0) return {};
    size_t w = static_cast<size_t>(width);
    if (text.size() >= w) return text.substr(0, w);
    return text + std::string(w - text.size(), ' ');
}

std::string numberOrUndefined(int v) { return v == 99999 ? "undefined" : std::to_string(v); }

std::string tenthsOrUndefined(int v) {
    if (v == 99999) return "undefined";
    long long n = v;
    bool negative = n < 0;
    if (negative) n = -n;
    std::string text = std::to_string(n / 10);
    if (n % 10 != 0) text += "." + std::to_string(n % 10);
    return negative ? "-" + text : text;
}

bool parseInteger(const std::string& text, int& value) {
    size_t i = 0, end = text.size();
    while (i < end && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    while (end > i && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
    if (i == end) return false;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') {
        negative = text[i] == '-';
        ++i;
    }
    if (i == end) return false;
    long long n = 0;
    for (; i < end; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
        n = n * 10 + (text[i] - '0');
        if (n > static_cast<long long>(INT_MAX) + 1) return false;
    }
    if (negative) n = -n;
    if (n < INT_MIN || n > INT_MAX) return false;
    value = static_cast<int>(n);
    return true;
}

std::string quotedExcerpt(const std::string& text) {
    constexpr size_t kShown = 60;
    std::string shown = text.substr(0, kShown);
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return "\"" + shown + (text.size() > kShown ? "...\"" : "\"");
}

std::string reportStamp(const std::string& renderedDateTime) {
    std::string stamp;
    for (char c : renderedDateTime) {
        if (c == '/' || c == '.' || c == '$' || c == ':') continue;
        stamp.push_back(c == ' ' ? '_' : c);
    }
    return stamp;
}

std::string iniFileNameFor(const std::string& executablePath) {
    std::string name = executablePath.substr(executablePath.find_last_of("/\\") + 1);
    auto dot = name.find_last_of('.');
    if (dot != std::string::npos && dot != 0) name.resize(dot);
    return name + ".INI";
}

namespace {

std::string padded(int v, int width) {
    std::string digits = std::to_string(v < 0 ? -v : v);
    if (static_cast<int>(digits.size()) < width) digits.insert(0, static_cast<size_t>(width) - digits.size(), '0');
    return v < 0 ? "-" + digits : digits;
}

}  // namespace

std::string formatDateTime(const std::string& pattern, const LocalDateTime& when, char dateSeparator,
                           char timeSeparator) {
    std::string out;
    bool afterHour = false;  // "m" right after an hour token means minutes
    size_t i = 0;
    auto run = [&](char c) {
        size_t n = 0;
        while (i + n < pattern.size() && std::tolower(static_cast<unsigned char>(pattern[i + n])) == c) ++n;
        return n;
    };
    while (i < pattern.size()) {
        char raw = pattern[i];
        char c = static_cast<char>(std::tolower(static_cast<unsigned char>(raw)));
        if (raw == '"' || raw == '\'') {
            size_t close = pattern.find(raw, i + 1);
            if (close == std::string::npos) close = pattern.size();
            out += pattern.substr(i + 1, close - i - 1);
            i = close + 1;
            continue;
        }
        size_t n = run(c);
        switch (c) {
        case 'y':
            out += n >= 3 ? padded(when.year, 4) : padded(when.year % 100, 2);
            afterHour = false;
            break;
        case 'm':
            if (afterHour)
                out += n >= 2 ? padded(when.minute, 2) : std::to_string(when.minute);
            else
                out += n >= 2 ? padded(when.month, 2) : std::to_string(when.month);
            afterHour = false;
            break;
        case 'd':
            out += n >= 2 ? padded(when.day, 2) : std::to_string(when.day);
            afterHour = false;
            break;
        case 'h':
            out += n >= 2 ? padded(when.hour, 2) : std::to_string(when.hour);
            afterHour = true;
            break;
        case 'n':
            out += n >= 2 ? padded(when.minute, 2) : std::to_string(when.minute);
            afterHour = false;
            break;
        case 's':
            out += n >= 2 ? padded(when.second, 2) : std::to_string(when.second);
            afterHour = false;
            break;
        case 'z': out += n >= 3 ? padded(when.millisecond, 3) : std::to_string(when.millisecond); break;
        case '/': out.append(n, dateSeparator); break;
        case ':': out.append(n, timeSeparator); break;
        default: out.append(n, raw); break;
        }
        i += n;
    }
    return out;
}
