#pragma once

#include "Utilities/SafeNumbers.h"

#include <juce_data_structures/juce_data_structures.h>

#include <cmath>
#include <functional>
#include <limits>
#include <type_traits>
#include <utility>

namespace ConstrainedValueDetail
{
template <typename Type>
Type fromVar (const juce::var& v)
{
    if constexpr (std::is_same_v<Type, int>)
        return SafeNumbers::varToInt (v);
    else
        return juce::VariantConverter<Type>::fromVar (v);
}
} // namespace ConstrainedValueDetail

// A cached view of one value-tree property that only ever holds values the
// constrainer accepts. The tree keeps whatever arrived, so a file written by a
// newer version survives a round trip through this one.
template <typename Type>
class ConstrainedCachedValue : private juce::ValueTree::Listener
{
public:
    using Constrainer = std::function<Type (const Type&)>;

    ConstrainedCachedValue (juce::ValueTree& treeToUse,
                            const juce::Identifier& propertyID,
                            juce::UndoManager* undoManagerToUse,
                            const Type& defaultToUse,
                            Constrainer constrainerToUse)
        : tree (treeToUse),
          property (propertyID),
          undoManager (undoManagerToUse),
          constrainer (std::move (constrainerToUse)),
          defaultValue (defaultToUse),
          cachedValue (defaultToUse)
    {
        jassert (constrainer != nullptr);

        if (tree.hasProperty (property))
            cachedValue = constrain (ConstrainedValueDetail::fromVar<Type> (tree[property]));

        tree.addListener (this);
    }

    ~ConstrainedCachedValue() override { tree.removeListener (this); }

    // Called after every change of the cached value.
    std::function<void()> onChange;

    const Type& get() const noexcept { return cachedValue; }
    operator Type() const noexcept { return cachedValue; }

    void setValue (const Type& newValue, juce::UndoManager* undoManagerToUse)
    {
        jassert (constrainer != nullptr);
        const auto constrained = constrain (newValue);

        // A missing property is still written, so the tree records the choice.
        if (constrained == cachedValue && tree.hasProperty (property))
            return;

        cachedValue = constrained;
        tree.setProperty (property, juce::VariantConverter<Type>::toVar (constrained), undoManagerToUse);
        notify();
    }

    juce::UndoManager* getUndoManager() const noexcept { return undoManager; }

private:
    void valueTreePropertyChanged (juce::ValueTree& changedTree, const juce::Identifier& changedProperty) override
    {
        if (changedProperty != property || changedTree != tree)
            return;

        jassert (constrainer != nullptr);

        if (tree.hasProperty (property))
        {
            const auto constrained = constrain (ConstrainedValueDetail::fromVar<Type> (tree[property]));

            if (constrained != cachedValue)
            {
                cachedValue = constrained;
                notify();
            }
        }
        else if (defaultValue != cachedValue)
        {
            cachedValue = defaultValue;
            notify();
        }
    }

    // An empty constrainer has already been reported; passing values through keeps us running.
    Type constrain (const Type& value) const { return constrainer != nullptr ? constrainer (value) : value; }

    void notify()
    {
        if (onChange != nullptr)
            onChange();
    }

    juce::ValueTree tree;
    juce::Identifier property;
    juce::UndoManager* undoManager;
    Constrainer constrainer;
    Type defaultValue;
    Type cachedValue;

    JUCE_DECLARE_NON_COPYABLE (ConstrainedCachedValue)
};

// Accepts only the table's listed values; anything else falls back to the first.
template <typename Table>
struct AllowedValueConstrainer
{
    static int constrain (const int& value)
    {
        const auto& allowed = Table::allowedValues();

        for (const auto v : allowed)
            if (v == value)
                return v;

        return allowed.isEmpty() ? 0 : allowed.getFirst();
    }

    static juce::StringArray options()
    {
        juce::StringArray labels;
        for (const auto v : Table::allowedValues())
            labels.add (Table::label (v));
        return labels;
    }
};

template <typename Type, int Min, int Max>
struct RangeConstrainer
{
    static_assert (Min <= Max, "empty range");

    static Type constrain (const Type& value)
    {
        return juce::jlimit (static_cast<Type> (Min), static_cast<Type> (Max), value);
    }
};
