// Saving the settings into a file that holds many keys of other programs:
// each key is looked up once, so 100,000 keys take well under a second.
//
//   BUILD/bench/torvale-bench-settings [--benchmark_filter=Save]
#include "settings/settings.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

void BM_SaveWithKeysOfOthers(benchmark::State& state) {
    std::string text = "[General]\r\nYaBB=/srv/forum/YaBB.pl\r\n";
    // Half of them in [General] beside the program's own, half in sections
    // of their own, as several programs sharing one file would leave them.
    for (std::int64_t i = 0; i < state.range(0); ++i) {
        if (i == state.range(0) / 2)
            text += "[Other]\r\n";
        if (i > state.range(0) / 2 && i % 100 == 0)
            text += "[Section" + std::to_string(i) + "]\r\n";
        text += "Key" + std::to_string(i) + "=value " + std::to_string(i) + "\r\n";
    }
    torvale::TIniPlus previous;
    previous.Parse(text);
    torvale::Settings settings;
    settings.MRU = {"/m/a.mod", "/m/b.mod"};
    for (auto _ : state) {
        torvale::TIniPlus ini = previous;
        torvale::SaveSettings(ini, settings);
        benchmark::DoNotOptimize(ini.Sections().data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SaveWithKeysOfOthers)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
