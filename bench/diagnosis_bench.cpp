// SPDX-License-Identifier: GPL-3.0-or-later
// The classifier of field errors over 100,000 results' worth of fields: each
// result a five-minute numeric run of 10 records of 25 fields, one field in
// twenty keyed with a slip (a swap, a drop, a double or a wrong key). And the
// sum of 100,000 results' diagnoses, as a view of many results adds them up.

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "scoring/diagnosis.h"

namespace {

constexpr int Results = 100000;
constexpr int FieldsPerResult = 250;

struct Field {
    std::string keyed;
    std::string source;
};

// One result's fields, drawn once; every result keys them alike.
std::vector<Field> resultFields()
{
    std::mt19937 random(7);
    std::vector<Field> fields;
    for (int at = 0; at < FieldsPerResult; ++at) {
        std::string source = std::to_string(std::uniform_int_distribution<int>(1000, 99999999)(random));
        std::string keyed = source;
        if (at % 20 == 0) {
            const std::size_t place = random() % (keyed.size() - 1);
            switch (at / 20 % 4) {
            case 0: std::swap(keyed[place], keyed[place + 1]); break;
            case 1: keyed.erase(place, 1); break;
            case 2: keyed.insert(place, 1, keyed[place]); break;
            default: keyed[place] = keyed[place] == '9' ? '0' : char(keyed[place] + 1);
            }
        }
        fields.push_back({keyed, source});
    }
    return fields;
}

void classifyResults(benchmark::State& state)
{
    const std::vector<Field> fields = resultFields();
    for (auto _ : state) {
        for (int result = 0; result < Results; ++result) {
            scoring::Diagnosis diagnosis;
            for (const Field& field : fields)
                diagnosis.addField(field.keyed, field.source, scoring::Keyboard::numericKeypad);
            benchmark::DoNotOptimize(diagnosis);
        }
    }
    state.counters["fields per second"] =
        benchmark::Counter(double(Results) * FieldsPerResult, benchmark::Counter::kIsIterationInvariantRate);
}

void sumResults(benchmark::State& state)
{
    scoring::Diagnosis one;
    for (const Field& field : resultFields())
        one.addField(field.keyed, field.source, scoring::Keyboard::numericKeypad);
    for (auto _ : state) {
        scoring::Diagnosis view;
        for (int result = 0; result < Results; ++result) view.add(one);
        benchmark::DoNotOptimize(view);
    }
}

}  // namespace

BENCHMARK(classifyResults)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(sumResults)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
