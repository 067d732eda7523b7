#include "Support/AssertionCounter.h"
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

// An element as "TAG name=value ... (children)", values decoded.
std::string describe (const juce::XmlElement& element)
{
    auto text = element.getTagName().toStdString();
    for (int i = 0; i < element.getNumAttributes(); ++i)
        text += " " + element.getAttributeName (i).toStdString() + "=" + element.getAttributeValue (i).toStdString();

    if (element.getNumChildElements() > 0)
    {
        text += " (";
        for (auto* child : element.getChildIterator())
            text += describe (*child) + (child->getNextElement() != nullptr ? " " : "");
        text += ")";
    }

    return text;
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

std::string withAttributes (int count)
{
    std::string text = "<a";
    for (int i = 0; i < count; ++i)
        text += " a" + std::to_string (i) + "=\"1\"";
    return text + "/>";
}
} // namespace

//==============================================================================
TEST (StrictXmlReader, ReadsTheDocumentsThisSystemStores)
{
    const struct { std::string document, expected; } cases[] = {
        { "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n<DEVICE a=\"1\"\r\n  b=\"2\"/>\r\n", "DEVICE a=1 b=2" },
        { "<!-- before --><ROOT x=\"1\">\n  <!-- inside -->\n  <A><B y=\"2\"/></A>\n  <C></C>\n</ROOT>\n<!-- after -->\n",
          "ROOT x=1 (A (B y=2) C)" },
        { "<a b='say \"hi\"' c=\"it's\"/>", "a b=say \"hi\" c=it's" },
        { "<a v=\"&lt;&gt;&amp;&quot;&apos;\" n='&#65;&#x42;&#X43;' u=\"&#x20AC;\"/>", "a v=<>&\"' n=ABC u=\xe2\x82\xac" },
        { "<a v=\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\"/>", "a v=\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80" },
        { std::string ("<DEVICE a=\"1\"/>\0", 16), "DEVICE a=1" },
        { nested (StrictXmlReader::maximumDepth), "" },
        { withAttributes (StrictXmlReader::maximumAttributes), "" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (testing::PrintToString (c.document.substr (0, 80)));
        const auto xml = parseBytes (c.document);
        ASSERT_NE (xml, nullptr);
        if (! c.expected.empty())
        {
            EXPECT_EQ (describe (*xml), c.expected);
        }
    }

    const auto fromString = StrictXmlReader::parse (juce::String ("<DEVICE a=\"1\"/>"));
    ASSERT_NE (fromString, nullptr);
    EXPECT_EQ (describe (*fromString), "DEVICE a=1");
}

// Anything a general parser needs more than linear work or trust for, and anything malformed.
TEST (StrictXmlReader, RefusesEverythingElse)
{
    std::string siblings = "<r>";
    for (int i = 0; i < StrictXmlReader::maximumElements; ++i)
        siblings += "<b/>";
    siblings += "</r>";

    const std::vector<std::pair<const char*, std::vector<std::string>>> cases {
        { "text content", { "<a>hello</a>", "<a>x<b/></a>", "<a><b/>tail</a>", "<a>&amp;</a>" } },
        { "document types", { "<!DOCTYPE a><a/>", "<?xml version=\"1.0\"?>\n<!DOCTYPE a [<!ENTITY e \"x\">]>\n<a v=\"&e;\"/>",
                              "<a><!DOCTYPE b></a>" } },
        { "unknown entities", { "<a v=\"&\xC3\xA9;\"/>", "<a v=\"&#\xEF\xBF\xBD;\"/>", "<a v=\"&a\xFF;\"/>",
                                "<a v=\"&#x\xC3\xA9;\"/>", "<a v=\"&foo;\"/>", "<a v=\"&;\"/>", "<a v=\"&amp\"/>", "<a v=\"& amp;\"/>", "<a v=\"&#x;\"/>",
                                "<a v=\"&#12a;\"/>", "<a v=\"&#xZZ;\"/>", "<a v=\"&#xD800;\"/>", "<a v=\"&#x110000;\"/>",
                                "<a v=\"&#0;\"/>" } },
        { "duplicate attributes", { "<a b=\"1\" b=\"2\"/>", "<a b='1' c='2' b='1'/>", "<r><a b=\"1\" b=\"1\"></a></r>" } },
        { "mismatched tags", { "<a></b>", "<a><b></a></b>", "<a></A>", "<a></ab>", "<ab></a>", "<a><b></b></a></a>" } },
        { "invalid UTF-8", { "<a v=\"\xFF\"/>", "<a v=\"\xFE\xFF\"/>", "<a v=\"\x80\"/>", "<a v=\"x\xC3\"/>", "<a v=\"\xE2\x82\"/>",
                             "<a v=\"\xC3\x28\"/>", "<a v='\xF0\x9F\x98'/>", std::string ("<a v=\"x\0\xFF\"/>", 12) } },
        { "overlong forms, surrogates, past U+10FFFF", { "<a v=\"\xC0\xAF\"/>", "<a v=\"\xC1\xBF\"/>", "<a v=\"\xE0\x80\xAF\"/>",
                                                         "<a v=\"\xF0\x80\x80\xAF\"/>", "<a v=\"\xED\xA0\x80\"/>",
                                                         "<a v=\"\xF4\x90\x80\x80\"/>", "<a v=\"\xF8\x88\x80\x80\x80\"/>" } },
        { "trailing content", { "<a/>x", "<a/><b/>", "<a/>\n<!-- c --> z", "<a/><!-- unterminated", std::string ("<a/>\0x", 6) } },
        { "no element", { "", "   \r\n", "<?xml version=\"1.0\"?>", "<!-- only a comment -->", std::string (4, '\0') } },
        { "beyond the caps", { nested (StrictXmlReader::maximumDepth + 1), siblings,
                               withAttributes (StrictXmlReader::maximumAttributes + 1) } },
    };

    // Refused before the framework sees the text: it takes a plain char* as ASCII, and asserts otherwise.
    AssertionCounter assertions;

    for (const auto& [what, documents] : cases)
        for (const auto& document : documents)
        {
            SCOPED_TRACE (std::string (what) + ": " + testing::PrintToString (document.substr (0, 80)));
            EXPECT_EQ (parseBytes (document), nullptr);
        }

    EXPECT_EQ (assertions.count, 0);

    EXPECT_EQ (StrictXmlReader::parse (nullptr, 10), nullptr);
}

TEST (StrictXmlReader, RefusesEveryUnterminatedPrefixOfAValidDocument)
{
    const std::string document = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                                 "<!-- c -->\r\n"
                                 "<DEVICE a=\"1\" b='&amp;&#65;'>\r\n"
                                 "  <CHILD x=\"\xC3\xA9\"/>\r\n"
                                 "  <OTHER></OTHER>\r\n"
                                 "</DEVICE>\r\n";
    const auto complete = document.rfind ('>') + 1;

    for (size_t length = 0; length <= document.size(); ++length)
    {
        SCOPED_TRACE (length);
        EXPECT_EQ (StrictXmlReader::parse (document.data(), length) != nullptr, length >= complete);
    }
}
