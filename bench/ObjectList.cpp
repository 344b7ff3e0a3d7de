// Inserting into and walking the spider object list at crawl sizes: the crawl
// asks for the first undispatched object after every hand-out, so both must
// stay cheap with a million objects. InsertObjects also reports the heap the
// list holds per object.

#include "engine/SpiderObjectList.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// Scattered local names, as links of a real site arrive in no particular order.
std::vector<std::string> MakeNames(int Count) {
    std::vector<std::string> names(static_cast<std::size_t>(Count));
    for (int i = 0; i < Count; ++i) {
        const unsigned scrambled = static_cast<unsigned>(i) * 2654435761u;
        names[static_cast<std::size_t>(i)] = "/dest/site.test/d" + std::to_string(scrambled % 1000) + "/page" +
                                             std::to_string(scrambled) + ".html";
    }
    return names;
}

// Objects are made as the spider makes them, one per link, from its address.
void Fill(engine::TSpiderObjectList& List, std::vector<std::string>& Names) {
    web::TURL address;
    address.SetFullURL("http://site.test/");
    for (auto& name : Names) {
        engine::TSpiderObject next;
        next.Address = web::TPackedURL(address);
        next.Distance = 1;
        next.LocalFileName = std::move(name);
        List.AddIfNotPresent(std::move(next));
    }
}

// Large blocks are mapped apart from the heap proper: both count.
std::size_t HeapInUse() {
    const auto info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

void InsertObjects(benchmark::State& State) {
    const int count = static_cast<int>(State.range(0));
    double bytesPerObject = 0;
    for (auto _ : State) {
        State.PauseTiming();
        const std::size_t before = HeapInUse();
        auto names = MakeNames(count);
        auto list = std::make_unique<engine::TSpiderObjectList>();
        State.ResumeTiming();
        Fill(*list, names);
        benchmark::DoNotOptimize(list->Count());
        State.PauseTiming();
        // The names' texts moved into the list; the vector's own array is not the list's.
        const std::size_t array = names.capacity() * sizeof(std::string);
        bytesPerObject = static_cast<double>(HeapInUse() - before - array) / count;
        list.reset();
        State.ResumeTiming();
    }
    State.SetItemsProcessed(State.iterations() * count);
    State.counters["list_bytes_per_object"] = bytesPerObject;
}
BENCHMARK(InsertObjects)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);

// Hands out every object in key order, as one download cycle does.
void DispatchAll(benchmark::State& State) {
    const int count = static_cast<int>(State.range(0));
    for (auto _ : State) {
        State.PauseTiming();
        auto names = MakeNames(count);
        auto list = std::make_unique<engine::TSpiderObjectList>();
        Fill(*list, names);
        State.ResumeTiming();
        while (auto* next = list->FirstUndispatched()) list->SetDispatched(*next, true);
        State.PauseTiming();
        list.reset();
        State.ResumeTiming();
    }
    State.SetItemsProcessed(State.iterations() * count);
}
BENCHMARK(DispatchAll)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
