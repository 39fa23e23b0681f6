#include "app/system.h"

#include <ctime>
#include <sys/time.h>

LocalDateTime localNow() {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    tm local{};
    time_t seconds = tv.tv_sec;
    localtime_r(&seconds, &local);
    return LocalDateTime{local.tm_year + 1900,
                         local.tm_mon + 1,
                         local.tm_mday,
                         local.tm_hour,
                         local.tm_min,
                         local.tm_sec,
                         static_cast<int>(tv.tv_usec / 1000)};
}

bool openDeviceManager(void*) { return false; }
