// Inserting into and walking the spider object list at crawl sizes: the crawl
// asks for the first undispatched object after every hand-out, so both must
// stay cheap with a million objects.

#include "engine/SpiderObjectList.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

std::vector<engine::TSpiderObject> MakeObjects(int Count) {
    std::vector<engine::TSpiderObject> objects(static_cast<std::size_t>(Count));
    web::TURL address;
    address.SetFullURL("http://site.test/");
    for (int i = 0; i < Count; ++i) {
        auto& object = objects[static_cast<std::size_t>(i)];
        object.Address = address;
        // Scattered keys, as links of a real site arrive in no particular order.
        const unsigned scrambled = static_cast<unsigned>(i) * 2654435761u;
        object.LocalFileName = "/dest/site.test/d" + std::to_string(scrambled % 1000) + "/page" +
                               std::to_string(scrambled) + ".html";
        object.Distance = 1;
    }
    return objects;
}

void InsertObjects(benchmark::State& State) {
    const int count = static_cast<int>(State.range(0));
    for (auto _ : State) {
        State.PauseTiming();
        auto objects = MakeObjects(count);
        engine::TSpiderObjectList list;
        State.ResumeTiming();
        for (auto& object : objects) list.AddIfNotPresent(std::move(object));
        benchmark::DoNotOptimize(list.Count());
    }
    State.SetItemsProcessed(State.iterations() * count);
}
BENCHMARK(InsertObjects)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);

// Hands out every object in key order, as one download cycle does.
void DispatchAll(benchmark::State& State) {
    const int count = static_cast<int>(State.range(0));
    for (auto _ : State) {
        State.PauseTiming();
        engine::TSpiderObjectList list;
        for (auto& object : MakeObjects(count)) list.AddIfNotPresent(std::move(object));
        State.ResumeTiming();
        while (auto* next = list.FirstUndispatched()) list.SetDispatched(*next, true);
    }
    State.SetItemsProcessed(State.iterations() * count);
}
BENCHMARK(DispatchAll)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
