// Commands that act on the detector: restart, reset, tests, relays, the
// extended command and the air density test built on the transit counter.
#include "device/qob.h"
#include "link/frame.h"
#include "link/status.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// Common precondition of the action commands.
bool actionRefused(QOB& q) {
    if (!q.connected) {
        q.status = StatusCode::NotConnected;
        return true;
    }
    if (q.wrongConfig != 0 || q.flagEepromRead == 0) {
        q.status = StatusCode::NotPossibleInState;
        return true;
    }
    return false;
}

// One parameterless-answer command; status 0 before it, the link's status after.
int simpleCommand(QOB& q, uint8_t code, uint8_t p1 = 0, uint8_t p2 = 0) {
    uint8_t p[frame::kParamCount] = {p1, p2};
    return q.transact(code, 0, 0, p, nullptr);
}

constexpr uint8_t kUnchangedFan = 11;
constexpr int kAdWindow = 30;
constexpr int kAdNoisyStep = 15;      // neighbouring warm-up samples further apart are noisy
constexpr int kAdMaxNoisyPairs = 15;  // half the window
constexpr int kAdOutlierDistance = 40;
constexpr int kAdDriftCount = 10;    // a third of the window
constexpr int kAdOutlierCount = 20;  // two thirds of the window

}  // namespace

int QOB::restart(int mode) {
    if (actionRefused(*this)) return 0;
    return simpleCommand(*this, cmd::Restart, static_cast<uint8_t>(mode));
}

int QOB::resetDevice() {
    if (actionRefused(*this)) return 0;
    return simpleCommand(*this, cmd::Action, 3);
}

int QOB::testChannel(int which) {
    if (actionRefused(*this)) return 0;
    if (which < 0 || which > 2) return fail(StatusCode::BadCall);
    return simpleCommand(*this, cmd::Action, static_cast<uint8_t>(which));
}

int QOB::soundersOff(int which) {
    if (actionRefused(*this)) return 0;
    if (which < 0 || which > 2) return fail(StatusCode::BadCall);
    return simpleCommand(*this, cmd::Action, static_cast<uint8_t>(which + 4));
}

int QOB::testFan(int fan, int speed) {
    if (actionRefused(*this)) return 0;
    if (speed < 0 || speed > 10 || fan < 0 || fan > 2) return fail(StatusCode::BadCall);
    const uint8_t s = static_cast<uint8_t>(speed);
    return simpleCommand(*this, cmd::FanTest, fan == 0 ? s : kUnchangedFan, fan == 1 ? s : kUnchangedFan);
}

int QOB::setRelay(int relay, int on) {
    if (actionRefused(*this)) return 0;
    if (on != 0 && on != 1) return fail(StatusCode::BadCall);
    // Relays are numbered 1..8; anything else would drive an unknown output.
    if (relay < 1 || relay > 8) return fail(StatusCode::BadCall);
    // Prealarm relays exist on the stand-alone variant only.
    if ((relay == 6 || relay == 7) && idVariant != 1) return fail(StatusCode::BadCall);
    return simpleCommand(*this, cmd::Relay, static_cast<uint8_t>(relay), static_cast<uint8_t>(on));
}

int QOB::clearOperatingHours() {
    if (actionRefused(*this)) return 0;
    return simpleCommand(*this, cmd::ClearOperatingHours);
}

int QOB::extendedCommand(const int params[12], const int data[1024], int result[1024]) {
    if (!connected) return fail(StatusCode::NotConnected);
    uint8_t p[12] = {};
    if (params)
        for (int i = 0; i < 12; ++i) p[i] = static_cast<uint8_t>(params[i] & 0xFF);
    for (int i = 0; i < 1024; ++i) payload[i] = data ? static_cast<uint8_t>(data[i] & 0xFF) : 0;
    if (!transact(cmd::Extended, 1024, 1024, p, payload, StatusCode::Unknown)) return 0;
    if (result)
        for (int i = 0; i < 1024; ++i) result[i] = answer[1 + i];
    return 1;
}

int QOB::airDensityStep(int channel, int tick) {
    if (actionRefused(*this)) return 0;
    if (channel < 1 || channel > 2) return fail(StatusCode::BadCall);

    if (tick == -1) {
        const int params[12] = {1};
        int info[1024];
        if (!extendedCommand(params, nullptr, info)) return 0;
        if (info[17 + channel] != 0) return 3;  // the device marks the channel as not testable
        adPosition = -kAdWindow;
        adWindowSize = kAdWindow;
        std::fill(std::begin(adWindow), std::end(adWindow), 0);
        adMean = 0;
        adFastMean = adSlowMean = 0.0;
        adCounter = 0;
        adResult = 0;
        return 1;
    }

    if (adWindowSize == 0) return fail(StatusCode::BadCall);
    if (adCounter == -1) return adResult;
    if (adCounter == -2) return 2;
    if (adPosition >= adWindowSize) adPosition = 0;

    uint8_t p[frame::kParamCount] = {static_cast<uint8_t>(2 * channel - 2)};
    if (!transact(cmd::TransitCounter, 0, 2, p, nullptr)) return 0;
    const int v = answer[1] + 256 * answer[2];

    if (adPosition < 0) {
        adWindow[adPosition + kAdWindow] = v;
        if (adPosition == -1) {
            int noisy = 0, good = 0, sum = 0;
            for (int i = 0; i + 1 < kAdWindow; ++i) {
                if (std::abs(adWindow[i] - adWindow[i + 1]) > kAdNoisyStep) {
                    ++noisy;
                } else {
                    ++good;
                    sum += adWindow[i + 1];
                }
            }
            if (good == 0 || noisy > kAdMaxNoisyPairs) {
                adCounter = -2;
                return 2;
            }
            adMean = sum / good;
            adFastMean = adSlowMean = adMean;
            std::fill(std::begin(adWindow), std::end(adWindow), adMean);
        }
        ++adPosition;
        return 4;
    }

    adWindow[adPosition] = v;
    ++adPosition;
    const double x = v;
    if (static_cast<int>(std::fabs(x - adFastMean)) <= kAdOutlierDistance) {
        adFastMean += 0.2 * (x - adFastMean);
        adSlowMean += 0.01 * (x - adSlowMean);
    }
    const double d = adFastMean - adSlowMean;
    if (d < 1.0) adResult = tick;
    int outliers = 0;
    for (int w : adWindow)
        if (static_cast<int>(std::fabs(w - adSlowMean)) > kAdOutlierDistance) ++outliers;
    if (d >= 5.0) ++adCounter;
    if (adCounter >= kAdDriftCount) {
        adResult = std::max(adResult, 10);
        adCounter = -1;
        return adResult;
    }
    if (outliers >= kAdOutlierCount) {
        adResult = std::max(tick - 20, 10);
        adCounter = -1;
        return adResult;
    }
    return 1;
}
