#include "Comparisons.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace Comparisons
{
static std::vector<Pair>& registry()
{
    static std::vector<Pair> pairs;
    return pairs;
}

bool add (std::string subject, std::string baseline)
{
    registry().push_back ({ std::move (subject), std::move (baseline) });
    return true;
}

const std::vector<Pair>& all() { return registry(); }
} // namespace Comparisons

namespace
{
// The console table as usual, keeping each benchmark's median time per sample
// (its "per_sample" counter, else its time per iteration) over the repeated
// runs for the ratios. A single run is no figure to divide by.
class ComparingReporter : public benchmark::ConsoleReporter
{
public:
    ComparingReporter() : ConsoleReporter (OO_Tabular) {}

    void ReportRuns (const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns (runs);

        for (const auto& run : runs)
        {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.error_occurred || ! median)
                continue;

            const auto counter = run.counters.find ("per_sample");
            times[run.run_name.str()] = counter != run.counters.end() ? counter->second.value
                                                                      : run.GetAdjustedRealTime();
        }
    }

    void printComparisons() const
    {
        if (times.empty())
        {
            std::printf ("\nNo ratios: they are taken from the medians of repeated runs (--benchmark_repetitions above 1).\n");
            return;
        }

        bool first = true;

        for (const auto& pair : Comparisons::all())
        {
            const auto subject = times.find (pair.subject), baseline = times.find (pair.baseline);
            if (subject == times.end() || baseline == times.end() || baseline->second <= 0.0)
                continue;

            if (std::exchange (first, false))
                std::printf ("\nMedian time per sample, subject / baseline:\n");

            std::printf ("  %-28s / %-28s %8.2f\n", pair.subject.c_str(), pair.baseline.c_str(),
                         subject->second / baseline->second);
        }
    }

private:
    std::map<std::string, double> times;
};
} // namespace

int main (int argc, char** argv)
{
    // Repeated runs unless asked otherwise: the ratios come from their medians.
    std::vector<char*> arguments (argv, argv + argc);
    std::string repetitions = "--benchmark_repetitions=5";
    const bool repetitionsGiven = std::any_of (arguments.begin(), arguments.end(), [] (const char* a)
                                               { return std::string (a).rfind ("--benchmark_repetitions", 0) == 0; });
    if (! repetitionsGiven)
        arguments.push_back (repetitions.data());

    argc = (int) arguments.size();
    arguments.push_back (nullptr);
    argv = arguments.data();

    benchmark::Initialize (&argc, argv);
    if (benchmark::ReportUnrecognizedArguments (argc, argv))
        return 1;

    ComparingReporter reporter;
    benchmark::RunSpecifiedBenchmarks (&reporter);
    reporter.printComparisons();
    benchmark::Shutdown();
    return 0;
}
