#pragma once

#include <string>
#include <vector>

// Ratios the benchmark program prints after its run: the time per sample of a
// subject over that of a baseline, both named as Google Benchmark reports them
// ("ResamplingRead/64"). A subject file registers its pairs at start-up:
//   static const bool registered = Comparisons::add ("Mine/64", "Theirs/64");
namespace Comparisons
{
struct Pair
{
    std::string subject, baseline;
};

bool add (std::string subject, std::string baseline);
const std::vector<Pair>& all();
} // namespace Comparisons
