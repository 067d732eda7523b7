#pragma once

#include "Utilities/InputLimits.h"

#include <juce_core/juce_core.h>
#include <memory>

// Reads the small XML documents this system stores and receives (settings files,
// host state chunks): elements with attributes, nested elements, comments and an
// XML declaration, nothing else. Text content, DTDs, custom entities, invalid
// UTF-8, deep nesting and oversized input are refused. Unlike a general parser
// it always finishes in time proportional to its input, whatever that input is.
class StrictXmlReader
{
public:
    static constexpr int maximumDepth = InputLimits::xmlDepth;
    static constexpr int maximumElements = InputLimits::xmlElements;
    static constexpr int maximumAttributes = InputLimits::xmlAttributesPerElement;

    // Null when the text is not such a document.
    static std::unique_ptr<juce::XmlElement> parse (const char* utf8, size_t numBytes);
    static std::unique_ptr<juce::XmlElement> parse (const juce::String& text);
};
