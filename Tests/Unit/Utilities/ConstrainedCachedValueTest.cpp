#include "Support/AssertionCounter.h"
#include "Utilities/ConstrainedCachedValue.h"

#include <gtest/gtest.h>

#include <memory>

namespace
{
class ConstrainedCachedValueTest : public ::testing::Test
{
protected:
    using Value = ConstrainedCachedValue<int>;

    // The value of "x", limited to 0..10 unless another constrainer is given; counts its changes.
    std::unique_ptr<Value> makeValue (int defaultValue, Value::Constrainer constrainer = RangeConstrainer<int, 0, 10>::constrain)
    {
        auto value = std::make_unique<Value> (tree, "x", nullptr, defaultValue, std::move (constrainer));
        value->onChange = [this] { ++changes; };
        return value;
    }

    juce::ValueTree tree { "T" };
    int changes = 0;
};
} // namespace

TEST_F (ConstrainedCachedValueTest, TheDefaultIsNotConstrainedAndOnlyEffectiveChangesAreHeard)
{
    const auto value = makeValue (50);
    EXPECT_EQ (value->get(), 50);
    EXPECT_EQ (tree.getNumProperties(), 0);

    value->setValue (20, nullptr);
    EXPECT_EQ (value->get(), 10);
    EXPECT_EQ (changes, 1);

    tree.setProperty ("x", 30, nullptr);
    EXPECT_EQ (changes, 1);
    tree.setProperty ("x", 3, nullptr);
    EXPECT_EQ (value->get(), 3);
    EXPECT_EQ (changes, 2);
}

TEST_F (ConstrainedCachedValueTest, WritesGoThroughTheGivenUndoManager)
{
    juce::UndoManager undoManager;
    const auto value = makeValue (5);
    undoManager.beginNewTransaction();
    value->setValue (7, &undoManager);

    ASSERT_TRUE (undoManager.undo());
    EXPECT_FALSE (tree.hasProperty ("x"));
    EXPECT_EQ (value->get(), 5);

    ASSERT_TRUE (undoManager.redo());
    EXPECT_EQ (value->get(), 7);
    EXPECT_EQ (changes, 3);
}

TEST_F (ConstrainedCachedValueTest, AnEmptyConstrainerIsReportedAndPassesValuesThrough)
{
    tree.setProperty ("x", 1234, nullptr);
    AssertionCounter assertions;
    const auto value = makeValue (5, {});
    EXPECT_GE (assertions.count, 1);
    EXPECT_EQ (value->get(), 1234);

    const auto afterConstruction = assertions.count;
    value->setValue (-3, nullptr);
    EXPECT_GT (assertions.count, afterConstruction);
    EXPECT_EQ (static_cast<int> (tree["x"]), -3);

    const auto afterWrite = assertions.count;
    tree.setProperty ("x", 77, nullptr);
    EXPECT_GT (assertions.count, afterWrite);
    EXPECT_EQ (value->get(), 77);
}

TEST_F (ConstrainedCachedValueTest, StopsListeningWhenDestroyed)
{
    auto value = makeValue (0);
    tree.setProperty ("x", 1, nullptr);
    value.reset();

    tree.setProperty ("x", 2, nullptr);
    tree.removeProperty ("x", nullptr);
    EXPECT_EQ (changes, 1);
}
