#include "Utilities/StrictXmlReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
std::unique_ptr<juce::XmlElement> parseBytes (const std::string& bytes)
{
    return StrictXmlReader::parse (bytes.data(), bytes.size());
}

std::string nested (int depth)
{
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += "<e>";
    for (int i = 0; i < depth; ++i)
        text += "</e>";
    return text;
}

void expectRefused (const std::vector<std::string>& documents)
{
    for (const auto& document : documents)
    {
        SCOPED_TRACE (testing::PrintToString (document));
        EXPECT_TRUE (parseBytes (document) == nullptr);
    }
}
} // namespace

//==============================================================================
TEST (StrictXmlReaderAccepts, SettingsFileWithDeclarationAndCrLfLineEnds)
{
    const auto xml = parseBytes ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n<DEVICE a=\"1\"\r\n  b=\"2\"/>\r\n");

    ASSERT_NE (xml, nullptr);
    EXPECT_TRUE (xml->hasTagName ("DEVICE"));
    ASSERT_EQ (xml->getNumAttributes(), 2);
    EXPECT_EQ (xml->getAttributeName (0), "a");
    EXPECT_EQ (xml->getAttributeValue (0), "1");
    EXPECT_EQ (xml->getAttributeName (1), "b");
    EXPECT_EQ (xml->getAttributeValue (1), "2");
    EXPECT_EQ (xml->getNumChildElements(), 0);
}

TEST (StrictXmlReaderAccepts, NestedElementsAndComments)
{
    const auto xml = parseBytes ("<!-- before --><ROOT x=\"1\">\n  <!-- inside -->\n  <A><B y=\"2\"/></A>\n  <C></C>\n</ROOT>\n<!-- after -->\n");

    ASSERT_NE (xml, nullptr);
    EXPECT_TRUE (xml->hasTagName ("ROOT"));
    EXPECT_EQ (xml->getStringAttribute ("x"), "1");
    ASSERT_EQ (xml->getNumChildElements(), 2);

    auto* a = xml->getChildElement (0);
    EXPECT_TRUE (a->hasTagName ("A"));
    ASSERT_EQ (a->getNumChildElements(), 1);
    EXPECT_TRUE (a->getChildElement (0)->hasTagName ("B"));
    EXPECT_EQ (a->getChildElement (0)->getStringAttribute ("y"), "2");
    EXPECT_TRUE (xml->getChildElement (1)->hasTagName ("C"));
}

TEST (StrictXmlReaderAccepts, SingleQuotedValues)
{
    const auto xml = parseBytes ("<a b='say \"hi\"' c=\"it's\"/>");

    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getStringAttribute ("b"), "say \"hi\"");
    EXPECT_EQ (xml->getStringAttribute ("c"), "it's");
}

TEST (StrictXmlReaderAccepts, StandardAndNumericEntities)
{
    const auto xml = parseBytes ("<a v=\"&lt;&gt;&amp;&quot;&apos;\" n='&#65;&#x42;&#X43;' u=\"&#x20AC;\"/>");

    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getStringAttribute ("v"), "<>&\"'");
    EXPECT_EQ (xml->getStringAttribute ("n"), "ABC");
    EXPECT_EQ (xml->getStringAttribute ("u"), juce::String::charToString ((juce::juce_wchar) 0x20AC));
}

TEST (StrictXmlReaderAccepts, ValidMultiByteUtf8)
{
    const std::string value = "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"; // é € and an emoji
    const auto xml = parseBytes ("<a v=\"" + value + "\"/>");

    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getStringAttribute ("v"), juce::String::fromUTF8 (value.data(), (int) value.size()));
}

TEST (StrictXmlReaderAccepts, TrailingZeroByte)
{
    const char text[] = "<DEVICE a=\"1\"/>";

    const auto xml = StrictXmlReader::parse (text, sizeof (text)); // the terminator included
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getStringAttribute ("a"), "1");
}

TEST (StrictXmlReaderAccepts, StringOverload)
{
    const auto xml = StrictXmlReader::parse (juce::String ("<DEVICE a=\"1\"/>"));
    ASSERT_NE (xml, nullptr);
    EXPECT_TRUE (xml->hasTagName ("DEVICE"));
}

TEST (StrictXmlReaderAccepts, SixteenLevelsOfNesting)
{
    EXPECT_NE (parseBytes (nested (StrictXmlReader::maximumDepth)), nullptr);
}

//==============================================================================
TEST (StrictXmlReaderRefuses, TextContent)
{
    expectRefused ({ "<a>hello</a>",
                     "<a>x<b/></a>",
                     "<a><b/>tail</a>",
                     "<a>&amp;</a>" });
}

TEST (StrictXmlReaderRefuses, DocumentTypeDeclarations)
{
    expectRefused ({ "<!DOCTYPE a><a/>",
                     "<?xml version=\"1.0\"?>\n<!DOCTYPE a [<!ENTITY e \"x\">]>\n<a v=\"&e;\"/>",
                     "<a><!DOCTYPE b></a>" });
}

TEST (StrictXmlReaderRefuses, UnknownEntities)
{
    expectRefused ({ "<a v=\"&foo;\"/>",
                     "<a v=\"&;\"/>",
                     "<a v=\"&amp\"/>",
                     "<a v=\"& amp;\"/>",
                     "<a v=\"&#x;\"/>",
                     "<a v=\"&#12a;\"/>",
                     "<a v=\"&#xZZ;\"/>",
                     "<a v=\"&#xD800;\"/>",
                     "<a v=\"&#x110000;\"/>" });
}

TEST (StrictXmlReaderRefuses, DuplicateAttributes)
{
    expectRefused ({ "<a b=\"1\" b=\"2\"/>",
                     "<a b='1' c='2' b='1'/>",
                     "<r><a b=\"1\" b=\"1\"></a></r>" });
}

TEST (StrictXmlReaderRefuses, MismatchedClosingTags)
{
    expectRefused ({ "<a></b>",
                     "<a><b></a></b>",
                     "<a></A>",
                     "<a></ab>",
                     "<ab></a>",
                     "<a><b></b></a></a>" });
}

TEST (StrictXmlReaderRefuses, NestingDeeperThanSixteen)
{
    EXPECT_EQ (parseBytes (nested (StrictXmlReader::maximumDepth + 1)), nullptr);
    EXPECT_EQ (parseBytes (nested (100)), nullptr);
}

TEST (StrictXmlReaderRefuses, InvalidUtf8InValues)
{
    expectRefused ({ "<a v=\"\xFF\"/>",
                     "<a v=\"\xFE\xFF\"/>",
                     "<a v=\"\x80\"/>",          // lone continuation byte
                     "<a v=\"x\xC3\"/>",         // truncated two-byte sequence
                     "<a v=\"\xE2\x82\"/>",      // truncated three-byte sequence
                     "<a v=\"\xC3\x28\"/>",      // lead byte without continuation
                     "<a v='\xF0\x9F\x98'/>" });
}

// RFC 3629: overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
TEST (StrictXmlReaderRefuses, NonShortestFormsSurrogatesAndOutOfRangeUtf8InValues)
{
    expectRefused ({ "<a v=\"\xC0\xAF\"/>",
                     "<a v=\"\xC1\xBF\"/>",
                     "<a v=\"\xE0\x80\xAF\"/>",
                     "<a v=\"\xF0\x80\x80\xAF\"/>",
                     "<a v=\"\xED\xA0\x80\"/>",
                     "<a v=\"\xF4\x90\x80\x80\"/>",
                     "<a v=\"\xF8\x88\x80\x80\x80\"/>" });
}

TEST (StrictXmlReaderRefuses, InvalidUtf8AfterAZeroByteInAValue)
{
    static const char text[] = "<a v=\"x\0\xFF\"/>";
    expectRefused ({ std::string (text, sizeof (text) - 1) });
}

TEST (StrictXmlReaderRefuses, TrailingGarbage)
{
    expectRefused ({ "<a/>x",
                     "<a/><b/>",
                     "<a/>\n<!-- c --> z",
                     "<a/><!-- unterminated",
                     std::string ("<a/>\0x", 6) });
}

TEST (StrictXmlReaderRefuses, EmptyAndMissingInput)
{
    EXPECT_EQ (StrictXmlReader::parse (nullptr, 10), nullptr);
    expectRefused ({ "", "   \r\n", "<?xml version=\"1.0\"?>", "<!-- only a comment -->", std::string (4, '\0') });
}

TEST (StrictXmlReaderRefuses, EveryUnterminatedPrefixOfAValidDocument)
{
    const std::string document = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                                 "<!-- c -->\r\n"
                                 "<DEVICE a=\"1\" b='&amp;&#65;'>\r\n"
                                 "  <CHILD x=\"\xC3\xA9\"/>\r\n"
                                 "  <OTHER></OTHER>\r\n"
                                 "</DEVICE>\r\n";
    ASSERT_NE (parseBytes (document), nullptr);

    const auto complete = document.rfind ('>') + 1;

    for (size_t length = 0; length < complete; ++length)
    {
        SCOPED_TRACE (length);
        EXPECT_EQ (StrictXmlReader::parse (document.data(), length), nullptr);
    }

    for (auto length = complete; length <= document.size(); ++length)
    {
        SCOPED_TRACE (length);
        EXPECT_NE (StrictXmlReader::parse (document.data(), length), nullptr);
    }
}

// These only have to finish; a reader that backtracks or recurses without bound would not.
TEST (StrictXmlReaderRefuses, PathologicalInputsFinish)
{
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    EXPECT_EQ (parseBytes (deep), nullptr);

    EXPECT_EQ (parseBytes ("<a v=\"" + std::string (1000000, '&') + "\"/>"), nullptr);
    EXPECT_EQ (parseBytes (std::string (1000000, '&')), nullptr);
    EXPECT_EQ (parseBytes ("<a v=\"" + std::string (1000000, 'x')), nullptr);
    EXPECT_EQ (parseBytes ("<!--" + std::string (1000000, '-')), nullptr);
    EXPECT_EQ (parseBytes ("<?xml" + std::string (1000000, '?')), nullptr);

    std::string siblings = "<r>";
    for (int i = 0; i < 100000; ++i)
        siblings += "<b/>";
    siblings += "</r>";
    EXPECT_EQ (parseBytes (siblings), nullptr); // more elements than the reader takes
}

TEST (StrictXmlReaderRefuses, MoreAttributesThanAnyStoredDocumentHas)
{
    std::string within = "<a";
    for (int i = 0; i < StrictXmlReader::maximumAttributes; ++i)
        within += " a" + std::to_string (i) + "=\"1\"";

    EXPECT_NE (parseBytes (within + "/>"), nullptr);
    expectRefused ({ within + " extra=\"1\"/>" });
}
