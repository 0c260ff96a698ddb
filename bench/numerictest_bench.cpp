// SPDX-License-Identifier: GPL-3.0-or-later
// One keystroke in the numeric test window, as the testee makes it: key
// down, the character, key up, with auto-advance on, the window repainting
// after each. Over 10,000 keys (80 records of 25 five-digit values, every
// 125th key moving to the next record) it reports the median and the worst
// keystroke in milliseconds, by the wall clock and by the processor time of
// the thread (which leaves out the time other programs on a shared machine
// took the processor away). The worst keystroke is the one that moves to the
// next record.

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QTest>

#include <benchmark/benchmark.h>

#include "config/programstate.h"
#include "support/numerictable.h"
#include "support/recordingmessages.h"
#include "testing/runstate.h"
#include "testing/unumtest.h"

namespace {

constexpr int Keys = 10000;

double threadMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1000 + double(now.tv_nsec) / 1e6;
}

struct Figures {
    double median;
    double worst;
};

Figures figuresOf(std::vector<double> milliseconds)
{
    std::sort(milliseconds.begin(), milliseconds.end());
    return {milliseconds[milliseconds.size() / 2], milliseconds.back()};
}

int sourceValue(int row, int field)
{
    return 10000 + row * 100 + field;
}

void Keystroke(benchmark::State& state)
{
    testing_support::RecordingMessages recorder;
    testing_support::NumericTable table(200, sourceValue);
    Settings = SettingsRecord();
    Settings.realtime = 60;
    Settings.autoadvance = true;
    RealMode = true;
    std::vector<double> wall, processor;
    wall.reserve(Keys);
    processor.reserve(Keys);

    for (auto _ : state) {
        Tnumerictestform window([] { return true; });
        window.show();
        if (!QTest::qWaitForWindowActive(&window)) {
            state.SkipWithError("the window did not become active");
            return;
        }
        const RunState& run = runState(TestKind::numeric);
        for (int key = 0; key < Keys; ++key) {
            const int field = key / 5 % 25 + 1;
            const char digit = std::to_string(sourceValue(run.RecordNumber, field))[std::size_t(key % 5)];
            QWidget* target = QApplication::focusWidget();
            const auto start = std::chrono::steady_clock::now();
            const double startProcessor = threadMilliseconds();
            QTest::keyClick(target, digit);
            QCoreApplication::processEvents();
            processor.push_back(threadMilliseconds() - startProcessor);
            wall.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
        if (run.RecordNumber != Keys / 125 + 1) state.SkipWithError("the keys did not reach the expected record");
        window.done(QDialog::Rejected);
    }

    if (wall.empty()) return;
    const Figures byWall = figuresOf(wall);
    const Figures byProcessor = figuresOf(processor);
    state.counters["median_ms"] = byWall.median;
    state.counters["worst_ms"] = byWall.worst;
    state.counters["cpu_median_ms"] = byProcessor.median;
    state.counters["cpu_worst_ms"] = byProcessor.worst;
    std::printf("numeric window keystroke over %d keys: median %.4f ms, worst %.4f ms "
                "(processor time: median %.4f ms, worst %.4f ms)\n",
                Keys, byWall.median, byWall.worst, byProcessor.median, byProcessor.worst);
}

}  // namespace

BENCHMARK(Keystroke)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
