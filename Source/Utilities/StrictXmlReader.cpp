#include "Utilities/StrictXmlReader.h"

#include "Utilities/Utf8Check.h"

#include <cstring>
#include <string_view>
#include <utility>

namespace
{
// The character an entity's name between '&' and ';' stands for: one of the
// five standard names or a character reference. 0 for anything else.
juce::juce_wchar decodeEntity (std::string_view name)
{
    static const std::pair<std::string_view, char> standard[] = {
        { "lt", '<' }, { "gt", '>' }, { "amp", '&' }, { "quot", '"' }, { "apos", '\'' }
    };

    for (const auto& [text, character] : standard)
        if (name == text)
            return character;

    if (name.size() < 2 || name[0] != '#')
        return 0;

    const bool hex = name[1] == 'x' || name[1] == 'X';
    const auto digits = name.substr (hex ? 2 : 1);
    if (digits.empty())
        return 0;

    // At most ten bytes in all, so the value cannot overflow.
    int64_t code = 0;
    for (const char c : digits)
    {
        int digit = -1;
        if (c >= '0' && c <= '9')                  digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f')      digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')      digit = c - 'A' + 10;

        if (digit < 0)
            return 0;

        code = code * (hex ? 16 : 10) + digit;
    }

    if (code <= 0 || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff))
        return 0;

    return (juce::juce_wchar) code;
}

class Reader
{
public:
    Reader (const char* text, size_t size) : position (text), end (text + size) {}

    std::unique_ptr<juce::XmlElement> document()
    {
        skipWhitespace();

        if (startsWith ("<?xml"))
        {
            if (! skipPast ("?>"))
                return nullptr;
        }

        if (! skipMisc())
            return nullptr;

        auto root = element (0);
        if (root == nullptr || ! skipMisc())
            return nullptr;

        return position == end ? std::move (root) : nullptr;
    }

private:
    bool atEnd() const noexcept { return position >= end; }
    char peek (size_t offset = 0) const noexcept { return position + offset < end ? position[offset] : '\0'; }

    bool startsWith (const char* text) const noexcept
    {
        const auto length = std::strlen (text);
        return (size_t) (end - position) >= length && std::memcmp (position, text, length) == 0;
    }

    bool skipPast (const char* text)
    {
        const auto length = std::strlen (text);
        for (; (size_t) (end - position) >= length; ++position)
        {
            if (std::memcmp (position, text, length) == 0)
            {
                position += length;
                return true;
            }
        }

        position = end;
        return false;
    }

    static bool isWhitespace (char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

    void skipWhitespace()
    {
        while (! atEnd() && isWhitespace (*position))
            ++position;
    }

    // Whitespace and comments between elements.
    bool skipMisc()
    {
        for (;;)
        {
            skipWhitespace();

            if (! startsWith ("<!--"))
                return true;

            position += 4;
            if (! skipPast ("-->"))
                return false;
        }
    }

    static bool isNameStart (char c) noexcept
    {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':';
    }

    static bool isNameChar (char c) noexcept
    {
        return isNameStart (c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
    }

    juce::String name()
    {
        const auto* start = position;
        if (atEnd() || ! isNameStart (*position))
            return {};

        while (! atEnd() && isNameChar (*position))
            ++position;

        return juce::String (start, (size_t) (position - start));
    }

    // An attribute value between quotes, with the standard entities decoded.
    bool value (char quote, juce::String& result)
    {
        juce::MemoryOutputStream out;

        while (! atEnd() && *position != quote)
        {
            const char c = *position;

            if (c == '<')
                return false;

            if (c != '&')
            {
                out.writeByte (c);
                ++position;
                continue;
            }

            const auto* semicolon = static_cast<const char*> (std::memchr (position, ';', (size_t) juce::jmin<ptrdiff_t> (end - position, 12)));
            if (semicolon == nullptr)
                return false;

            // Decoded from the bytes themselves: an entity's name is outside text
            // that may hold any byte, and the framework takes a plain char* as ASCII.
            const std::string_view entity (position + 1, (size_t) (semicolon - position - 1));
            position = semicolon + 1;

            const auto character = decodeEntity (entity);
            if (character == 0)
                return false;

            out << juce::String::charToString (character);
        }

        if (atEnd())
            return false;

        ++position; // closing quote

        const auto* bytes = static_cast<const char*> (out.getData());
        if (! isStrictUtf8 (static_cast<const uint8_t*> (out.getData()), out.getDataSize()))
            return false;

        result = juce::String::fromUTF8 (bytes, (int) out.getDataSize());
        return true;
    }

    std::unique_ptr<juce::XmlElement> element (int depth)
    {
        if (depth >= StrictXmlReader::maximumDepth || ++elementCount > StrictXmlReader::maximumElements)
            return nullptr;

        if (peek() != '<')
            return nullptr;

        ++position;
        const auto tag = name();
        if (tag.isEmpty())
            return nullptr;

        auto result = std::make_unique<juce::XmlElement> (tag);

        for (;;)
        {
            const bool spaced = ! atEnd() && isWhitespace (*position);
            skipWhitespace();

            if (startsWith ("/>"))
            {
                position += 2;
                return result;
            }

            if (peek() == '>')
            {
                ++position;
                break;
            }

            if (! spaced)
                return nullptr;

            const auto attribute = name();
            if (attribute.isEmpty())
                return nullptr;

            skipWhitespace();
            if (peek() != '=')
                return nullptr;

            ++position;
            skipWhitespace();

            const char quote = peek();
            if (quote != '"' && quote != '\'')
                return nullptr;

            ++position;
            juce::String text;
            if (result->getNumAttributes() >= StrictXmlReader::maximumAttributes
                || ! value (quote, text) || result->hasAttribute (attribute))
                return nullptr;

            result->setAttribute (attribute, text);
        }

        // Content: child elements and comments only, then the closing tag.
        for (;;)
        {
            if (! skipMisc())
                return nullptr;

            if (startsWith ("</"))
            {
                position += 2;
                if (name() != tag)
                    return nullptr;

                skipWhitespace();
                if (peek() != '>')
                    return nullptr;

                ++position;
                return result;
            }

            auto child = element (depth + 1);
            if (child == nullptr)
                return nullptr;

            result->addChildElement (child.release());
        }
    }

    const char* position;
    const char* end;
    int elementCount = 0;
};
} // namespace

std::unique_ptr<juce::XmlElement> StrictXmlReader::parse (const char* utf8, size_t numBytes)
{
    if (utf8 == nullptr)
        return nullptr;

    // A text handed over with its terminating zero still reads.
    while (numBytes > 0 && utf8[numBytes - 1] == 0)
        --numBytes;

    return Reader (utf8, numBytes).document();
}

std::unique_ptr<juce::XmlElement> StrictXmlReader::parse (const juce::String& text)
{
    return parse (text.toRawUTF8(), text.getNumBytesAsUTF8());
}
