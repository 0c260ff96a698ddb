// SPDX-License-Identifier: GPL-3.0-or-later
#include "testing/funcs.h"

#include <chrono>
#include <ctime>

namespace {

constexpr double SecondsPerDay = 24 * 60 * 60;

class LocalClock : public Clock {
public:
    double getseconds() override
    {
        using namespace std::chrono;
        const auto now = system_clock::now();
        const std::time_t whole = system_clock::to_time_t(now);
        std::tm local{};
        localtime_r(&whole, &local);
        const auto milliseconds = duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
        return secondsOfDay(local.tm_hour, local.tm_min, local.tm_sec, int(milliseconds));
    }
};

}  // namespace

Clock& systemClock()
{
    static LocalClock clock;
    return clock;
}

double getseconds()
{
    return systemClock().getseconds();
}

double secondsOfDay(int hours, int minutes, int seconds, int milliseconds)
{
    return hours * 3600 + minutes * 60 + seconds + milliseconds / 1000.0;
}

double secondsBetween(double earlier, double later)
{
    const double difference = later - earlier;
    return difference < 0 ? difference + SecondsPerDay : difference;
}
