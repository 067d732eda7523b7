// A host's listeners of one instance: adding a list of them and removing it
// again, first added first removed, at 100 and 10,000 listeners. The time per
// listener should not grow with the list; the ratio shows whether it does.

#include "Blocks.h"
#include "Comparisons.h"

#include "HostListenerList.h"

#include <benchmark/benchmark.h>
#include <vector>

namespace
{
void ignoreEvent (void*, int32_t, int32_t, float) {}

void AddAndRemoveListeners (benchmark::State& state)
{
    const auto count = (size_t) state.range (0);
    std::vector<char> owners (count);

    for (auto _ : state)
    {
        HostListenerList list;

        for (auto& owner : owners)
            list.add (&ignoreEvent, &owner);

        for (auto& owner : owners)
            benchmark::DoNotOptimize (list.remove (&ignoreEvent, &owner));
    }

    // One add and one remove per listener.
    Blocks::reportPerSample (state, (int) count);
}
} // namespace

BENCHMARK (AddAndRemoveListeners)->Arg (100)->Arg (10000)->Unit (benchmark::kMillisecond);

[[maybe_unused]] static const bool registered = Comparisons::add ("AddAndRemoveListeners/10000", "AddAndRemoveListeners/100");
