#include "email/domain_lists.h"

#include <gtest/gtest.h>

using namespace email;

namespace {

QStringList strings(std::initializer_list<const char*> items)
{
    QStringList out;
    for (const char* s : items)
        out.append(QString::fromUtf8(s));
    return out;
}

} // namespace

TEST(GenericDomainFile, ReadsItemsSkippingEmptiesAndRepeats)
{
    struct Case { const char* text; QStringList expected; };
    const Case cases[] = {
        {"\"com\"\r\n\"net\"\r\n", strings({"com", "net"})},
        // An empty entry line and a repeat leave no trace; order is kept.
        {"\"com\"\r\n\"\"\r\n\"org\"\r\n\"com\"\r\n", strings({"com", "org"})},
        // Commas inside quotes belong to the item; bare items are trimmed.
        {"\"co,uk\"\n  org  \r\n", strings({"co,uk", "org"})},
        // Two items on one line are two entries; a lone CR ends a line too.
        {"\"a\",\"b\"\r\"c\"", strings({"a", "b", "c"})},
        // A quote left open runs to the end of the line.
        {"\"info\n\"biz\"", strings({"info", "biz"})},
        // Case is kept as written: an upper-case entry is a different entry.
        {"\"com\"\r\n\"COM\"\r\n", strings({"com", "COM"})},
        {"", QStringList()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseGenericDomains(QString::fromUtf8(c.text)), c.expected) << c.text;
}

TEST(CountryDomainFile, SkipsUnusableLinesWithoutStopping)
{
    const QString text = QString::fromUtf8(
        "\"uk\",\"United Kingdom\"\r\n"
        "\"\",\"\"\r\n"                      // empty slot
        "\"kr\",\"Korea, Republic of\"\r\n"  // comma inside the name
        "\"uk\",\"Britain again\"\r\n"       // repeated code
        "\"usa\",\"United States\"\r\n"      // too long for a country code
        "\r\n"                               // blank line: nothing to skip
        "\"ci\",\"C\xc3\xb4te d'Ivoire\"\n"
        "\"tv\"\r\n"                         // no name
        "\"UK\",\"Upper case\"");            // not the same code as uk
    int skipped = -1;
    const std::vector<CountryDomain> got = parseCountryDomains(text, &skipped);
    const std::vector<CountryDomain> expected = {
        {"uk", "United Kingdom"},
        {"kr", "Korea, Republic of"},
        {"ci", QString::fromUtf8("C\xc3\xb4te d'Ivoire")},
        {"tv", ""},
        {"UK", "Upper case"},
    };
    EXPECT_EQ(got, expected);
    EXPECT_EQ(skipped, 3);
}

TEST(DomainLists, LooksUpExactlyAndKeepsListOrder)
{
    const DomainLists lists(strings({"com", "", "net", "com", "NET", "museum"}),
                            {{"uk", "United Kingdom"}, {"", "nothing"}, {"UK", "Shouting"}, {"fr", "France"}});

    EXPECT_TRUE(lists.isGeneric(u"com"));
    EXPECT_TRUE(lists.isGeneric(u"NET"));
    EXPECT_FALSE(lists.isGeneric(u"Com"));
    EXPECT_FALSE(lists.isGeneric(u""));
    EXPECT_TRUE(lists.isCountry(u"uk"));
    EXPECT_TRUE(lists.isCountry(u"UK"));
    EXPECT_FALSE(lists.isCountry(u"Uk"));
    EXPECT_FALSE(lists.isCountry(u""));

    // Ranks count each domain once, at its first listing.
    EXPECT_EQ(lists.genericRank(u"com"), 0);
    EXPECT_EQ(lists.genericRank(u"net"), 1);
    EXPECT_EQ(lists.genericRank(u"museum"), 3);
    EXPECT_EQ(lists.genericRank(u"org"), -1);
    EXPECT_EQ(lists.generic(), strings({"com", "net", "NET", "museum"}));
    EXPECT_EQ(lists.longestGeneric(), 6);

    // The country table's key ignores case: one row per code, first spelling.
    const std::vector<CountryDomain> table = {{"uk", "United Kingdom"}, {"fr", "France"}};
    EXPECT_EQ(lists.countries(), table);
}

TEST(DomainLists, EmptyListsKnowNothing)
{
    const DomainLists none;
    EXPECT_FALSE(none.isGeneric(u"com"));
    EXPECT_FALSE(none.isCountry(u"uk"));
    EXPECT_EQ(none.genericRank(u"com"), -1);
    EXPECT_EQ(none.longestGeneric(), 0);
    EXPECT_TRUE(none.countries().empty());
}
