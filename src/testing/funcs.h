// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The time of day the test run is timed by, behind a small clock interface
// so that tests can set the time.

// The local time of day as seconds since midnight with a millisecond
// fraction. The readings restart at 0 at midnight.
class Clock {
public:
    virtual ~Clock() = default;
    virtual double getseconds() = 0;
};

// The local clock of the machine.
Clock& systemClock();

// getseconds of the local clock.
double getseconds();

// hours × 3600 + minutes × 60 + seconds + milliseconds / 1000.
double secondsOfDay(int hours, int minutes, int seconds, int milliseconds);

// Seconds from one reading to a later one, right across midnight: a later
// reading below the earlier one was taken on the next day. Assumes the two
// are less than a day apart.
double secondsBetween(double earlier, double later);
