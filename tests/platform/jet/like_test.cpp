#include "platform/jet/sqlfunctions.h"

#include <gtest/gtest.h>

TEST(JetLike, Wildcards)
{
    struct Case { const char* text; const char* pattern; bool match; };
    const Case cases[] = {
        {"Boston", "bos*", true},     {"Boston", "*TON", true},      {"Boston", "B?ston", true},
        {"Boston", "B?ton", false},   {"A1", "A#", true},            {"AB", "A#", false},
        {"cat", "[bc]at", true},      {"rat", "[!bc]at", true},      {"bat", "[!bc]at", false},
        {"m", "[a-z]", true},         {"5*", "5[*]", true},          {"55", "5[*]", false},
        {"José", "JOSÉ", true},       {"", "*", true},               {"abc", "a*c*", true},
        {"abc", "*b", false},         {"aXbXc", "a*b*c", true},      {"Väänänen", "v*nen", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(jet::jetLike(QString::fromUtf8(c.text), QString::fromUtf8(c.pattern)), c.match)
            << c.text << " LIKE " << c.pattern;
}

TEST(JetCollation, CaseInsensitiveOrder)
{
    auto cmp = [](const char* a, const char* b) {
        return jet::jetCompare(a, static_cast<int>(strlen(a)), b, static_cast<int>(strlen(b)));
    };
    EXPECT_EQ(cmp("Boston", "BOSTON"), 0);
    EXPECT_LT(cmp("apple", "Banana"), 0);
    EXPECT_EQ(cmp("MÜLLER", "müller"), 0);
    EXPECT_LT(cmp("Bos", "boston"), 0);
}
