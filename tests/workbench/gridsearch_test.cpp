#include "workbench/gridsearch.h"

#include "platform/jet/types.h"

#include <gtest/gtest.h>

using namespace workbench;

TEST(Soundex, CodesFollowTheHouseRules)
{
    const struct { const char* word; const char* code; } cases[] = {
        {"", "0000"},
        {"Lee", "L000"},
        {"Robert", "R163"},
        {"Rupert", "R163"},
        {"Pfister", "P236"},   // the first letter's own code counts before the second
        {"Tymczak", "T522"},
        {"Ashcraft", "A226"},  // H separates S and C, so both count
        {"123", "1000"},
        {"smith", "S530"},
        {"Schmidt", "S530"},
        {" ab", " 100"},       // the first character is copied as it is
        {"Jackson", "J250"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Soundex(QString::fromUtf8(c.word)), QString::fromLatin1(c.code)) << c.word;
}

TEST(FilterCondition, ChosenByTheColumnType)
{
    const struct { int type; const char* text; const char* condition; } cases[] = {
        {jet::dbText, "", "[F] IS NULL OR [F]=\"\" "},
        {jet::dbMemo, "Sm*", "[F] LIKE \"Sm*\" "},
        {jet::dbText, "O\"Brien", "[F] LIKE \"O\"\"Brien\" "},
        {jet::dbDouble, "42", "[F]=42 "},
        {jet::dbLong, "", "[F] IS NULL "},
        {jet::dbLong, "4*", "[F] LIKE \"4*\" "},
        {jet::dbBoolean, "-1", "[F]=-1 "},
        {20, "1.5", "[F]=1.5 "},
        {jet::dbDate, "", "[F] IS NULL "},
        {jet::dbDate, "1/5/2020", "[F]=#01/05/2020 00:00:00# "},
        {jet::dbDate, "2020-01-05 13:04:05", "[F]=#01/05/2020 13:04:05# "},
        {jet::dbDate, "2", "[F] LIKE \"01/01/1900 00:00:00\" "},   // a number is a count of days
        {jet::dbDate, "Jan*", "[F] LIKE \"Jan*\" "},
    };
    for (const auto& c : cases) {
        bool unknown = true;
        EXPECT_EQ(filterCondition(QStringLiteral("F"), c.type, QString::fromUtf8(c.text), unknown),
                  QString::fromUtf8(c.condition))
            << c.type << " " << c.text;
        EXPECT_FALSE(unknown);
    }
}

TEST(FilterCondition, OtherTypesAreRefused)
{
    for (int type : {jet::dbBinary, jet::dbLongBinary, jet::dbGUID}) {
        bool unknown = false;
        EXPECT_TRUE(filterCondition(QStringLiteral("F"), type, QStringLiteral("x"), unknown).isEmpty());
        EXPECT_TRUE(unknown) << type;
    }
}

TEST(FindCondition, PatternsKeepTheTextsWildcards)
{
    const struct { FindMode mode; const char* text; const char* condition; } cases[] = {
        {FindMode::Exact, "son", "[Last Name] LIKE \"son\" "},
        {FindMode::AnyPart, "son", "[Last Name] LIKE \"*son*\" "},
        {FindMode::StartOf, "s?n", "[Last Name] LIKE \"s?n*\" "},
        {FindMode::AnyPart, "", "[Last Name] LIKE \"**\" "},
        {FindMode::Exact, "a\"b", "[Last Name] LIKE \"a\"\"b\" "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(findCondition(c.mode, QStringLiteral("Last Name"), QString::fromUtf8(c.text)),
                  QString::fromUtf8(c.condition));
}

TEST(ReplaceIgnoringCase, EveryOccurrenceAnyCase)
{
    const struct { const char* text; const char* find; const char* with; const char* result; } cases[] = {
        {"First Street", "st", "ST", "FirST STreet"},
        {"abc", "abcd", "x", "abc"},
        {"banana", "AN", "", "ba"},
        {"aaa", "aa", "b", "ba"},        // occurrences do not overlap
        {"same", "", "x", "same"},       // an empty search changes nothing
    };
    for (const auto& c : cases)
        EXPECT_EQ(replaceIgnoringCase(QString::fromUtf8(c.text), QString::fromUtf8(c.find), QString::fromUtf8(c.with)),
                  QString::fromUtf8(c.result))
            << c.text;
}
