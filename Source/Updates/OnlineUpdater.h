#pragma once

#include <functional>
#include <memory>

// The processor's automatic version query: at most one per processor, kept until
// the processor goes so that the editor can read its result. How a query is made
// is replaceable, so that nothing here needs a network to be tested.
class OnlineUpdater
{
public:
    class Query
    {
    public:
        virtual ~Query() = default;
        virtual void launch() = 0;
    };

    using Factory = std::function<std::unique_ptr<Query>()>;

    // The process-wide way to make a query; none makes no query.
    static void setFactory (Factory factory);

    // Creates and launches the query once; later calls do nothing.
    void startQuery();

    Query* getQuery() const noexcept { return query.get(); }
    bool hasQuery() const noexcept { return query != nullptr; }

    // Deleting a running query stops its thread first.
    void reset() { query.reset(); }

private:
    std::unique_ptr<Query> query;
};
