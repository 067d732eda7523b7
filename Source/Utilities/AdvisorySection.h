#pragma once

// Raises a counter for the lifetime of the scope, so that code further down the
// call chain can tell that a bulk or pedal-driven update is under way.
template <typename Counter>
class AdvisorySection
{
public:
    explicit AdvisorySection (Counter& c) : counter (c) { ++counter; }
    ~AdvisorySection() { --counter; }

    AdvisorySection (const AdvisorySection&) = delete;
    AdvisorySection& operator= (const AdvisorySection&) = delete;

private:
    Counter& counter;
};
