#include "email/address_check.h"

#include <gtest/gtest.h>

#include <random>

using namespace email;

namespace {

using Opt = std::optional<QString>;

const Opt none = std::nullopt;

Opt text(const char* s)
{
    return QString::fromUtf8(s);
}

QString q(const char* s)
{
    return QString::fromUtf8(s);
}

std::string show(const Opt& v)
{
    return v ? '"' + v->toStdString() + '"' : std::string("Null");
}

// com, net and org are generic; uk, fr and tv are country codes; tv is in both.
DomainLists standardLists()
{
    return DomainLists({"com", "net", "org", "tv"},
                       {{"uk", "United Kingdom"}, {"fr", "France"}, {"tv", "Tuvalu"}});
}

class AddressCheck : public ::testing::Test {
protected:
    EmailCheck check(const QString& address, bool suggest = true, SearchProbe* probe = nullptr) const
    {
        return checkEmail(address, lists, specials, suggest, probe);
    }

    DomainLists lists = standardLists();
    QString specials = defaultSpecialChars();
};

} // namespace

TEST_F(AddressCheck, SplitsValidAddresses)
{
    struct Case { const char* address; const char* account; const char* sub; const char* domain; const char* country; };
    const Case cases[] = {
        // Generic domain: the top-level label is the domain, the rest the sub-domain.
        {"sales.desk@mail.example.com", "sales.desk", "mail.example", "com", ""},
        {"sales@example.com", "sales", "example", "com", ""},
        // Country code: the second-last label is the domain.
        {"sales@example.co.uk", "sales", "example", "co", "uk"},
        {"sales@example.uk", "sales", "", "example", "uk"},
        {"x@aa.bb.example.fr", "x", "aa.bb", "example", "fr"},
        // A label in both lists is taken as a country code.
        {"info@show.tv", "info", "", "show", "tv"},
        // Stored lower case; blanks inside the account go.
        {"Sales.Desk@Example.COM", "sales.desk", "example", "com", ""},
        {"s desk@example.com", "sdesk", "example", "com", ""},
        // Hyphens and digits are label characters; the account may hold anything narrow.
        {"a-b@x-y.9z.org", "a-b", "x-y.9z", "org", ""},
        {"\xc3\x84gr\xc3\xa9+tag#1@example.net", "\xc3\xa4gr\xc3\xa9+tag#1", "example", "net", ""},
        // Characters of the single-byte code page pass, whatever their Unicode
        // number: the right single quote (146), s and oe with their marks, the euro sign, the en dash.
        {"o\xe2\x80\x99" "brien@example.com", "o\xe2\x80\x99" "brien", "example", "com", ""},
        {"\xc5\xa1\xc5\x93\xe2\x82\xac\xe2\x80\x93x@example.com", "\xc5\xa1\xc5\x93\xe2\x82\xac\xe2\x80\x93x", "example", "com", ""},
    };
    for (const Case& c : cases) {
        const EmailCheck r = check(q(c.address));
        SCOPED_TRACE(c.address);
        EXPECT_TRUE(r.isValid);
        EXPECT_EQ(r.fault, Fault::None);
        EXPECT_EQ(show(r.account), show(text(c.account)));
        EXPECT_EQ(show(r.subDomain), show(text(c.sub)));
        EXPECT_EQ(show(r.domain), show(text(c.domain)));
        EXPECT_EQ(show(r.country), show(text(c.country)));
        EXPECT_EQ(r.suggestion, none);
    }
}

TEST_F(AddressCheck, FailuresGiveTheFirstBrokenRule)
{
    struct Case { const char* address; Fault fault; Opt account; };
    const Case cases[] = {
        {"sales.example.com", Fault::NoAt, none},
        {"   ", Fault::NoAt, none},
        {"sales@@example.com", Fault::NotOneAt, none},
        {"sales@x@example.com", Fault::NotOneAt, none},
        {"@example.com", Fault::EmptyAccount, text("")},
        {"  @example.com", Fault::EmptyAccount, text("")},
        {"\xe5\x90\x8d@example.com", Fault::WideAccountChar, text("\xe5\x90\x8d")},
        // A Cyrillic e has no code in the code page, however Latin it looks.
        {"j\xd0\xb5" "ff@example.com", Fault::WideAccountChar, text("j\xd0\xb5" "ff")},
        // The account rule comes before the domain rules.
        {"n \xe5\x90\x8d@example", Fault::WideAccountChar, text("n\xe5\x90\x8d")},
        {"sales@example", Fault::NoDotInDomain, text("sales")},
        {"sales@exa mple", Fault::NoDotInDomain, text("sales")},
        {"sales@", Fault::NoDotInDomain, text("sales")},
        {"sales@example.c", Fault::BadLabel, text("sales")},
        {"sales@exa mple.com", Fault::BadLabel, text("sales")},
        {"sales@example..com", Fault::BadLabel, text("sales")},
        {"sales@.example.com", Fault::BadLabel, text("sales")},
        {"sales@example.com.", Fault::BadLabel, text("sales")},
        {"sales@ex\xc3\xa4mple.com", Fault::BadLabel, text("sales")},
        {"sales@example_x.com", Fault::BadLabel, text("sales")},
        {"sales@example.zz", Fault::UnknownTopLevel, text("sales")},
        {"Sales@Example.CO", Fault::UnknownTopLevel, text("sales")},
    };
    for (const Case& c : cases) {
        const EmailCheck r = check(q(c.address), false);
        SCOPED_TRACE(c.address);
        EXPECT_FALSE(r.isValid);
        EXPECT_EQ(r.fault, c.fault);
        EXPECT_EQ(show(r.account), show(c.account));
        EXPECT_EQ(r.subDomain, none);
        EXPECT_EQ(r.domain, none);
        EXPECT_EQ(r.country, none);
        EXPECT_EQ(r.suggestion, none);
    }
}

TEST(AddressCheckLists, UpperCaseEntriesNeverMatch)
{
    const DomainLists shouting({"COM"}, {{"UK", "United Kingdom"}});
    for (const char* address : {"a@example.com", "A@EXAMPLE.COM", "a@example.uk"}) {
        const EmailCheck r = checkEmail(q(address), shouting, defaultSpecialChars(), false);
        EXPECT_EQ(r.fault, Fault::UnknownTopLevel) << address;
    }
}

TEST_F(AddressCheck, SuggestsCorrections)
{
    struct Case { const char* address; Opt suggestion; };
    const Case cases[] = {
        // No "@": a role name at the front, then a special character as the "@".
        {"infoexample.com", text("info@example.com")},
        {"supportexample.com", text("support@example.com")},
        {"administratorexample.com", text("admin@istratorexample.com")},
        {"sales#example.com", text("sales@example.com")},
        {"sales!desk!example.com", text("sales!desk@example.com")},
        {"InfoExample.COM", text("info@example.com")},
        {"salesexample", none},
        {"sales example", none},
        // No dot in the domain part: a listed ending gets its dot back.
        {"sales@examplecom", text("sales@example.com")},
        {"sales@example_com", text("sales@example.com")},
        {"sales@example,com", text("sales@example.com")},
        {"sales@examplezz", none},
        {"sales@com", none},
        // Bad labels: stray wrapping, mistyped dots.
        {"(sales@example.com)", text("sales@example.com")},
        {"[sales@example.com]", text("sales@example.com")},
        {"{sales@example.com}", text("sales@example.com")},
        {"<sales@example.com>", text("sales@example.com")},
        {"'sales@example.com'", text("sales@example.com")},
        {"<sales@example.co.uk>", text("sales@example.co.uk")},
        {"sales@example.com.", text("sales@example.com")},
        {"sales@exa mple.com", text("sales@exa.mple.com")},
        {"sales@example;com", text("sales@example.com")},
        {"sales@mail_desk.example.com", text("sales@mail-desk.example.com")},
        {"sales@.example.com", text("sales@example.com")},
        {"sales@example...com", text("sales@example.com")},
        {"sales@exa#mple.com", none},
        // A suggestion found for a candidate becomes the address's suggestion.
        {"sales@example.com)))", text("sales@example.com")},
        {"sales@exa mple.com)", text("sales@exa.mple.com")},
        {"sales@example.con)", text("sales@example.com")},
        // Near misses of com.
        {"sales@example.con", text("sales@example.com")},
        {"sales@example.comm", text("sales@example.com")},
        {"sales@example.co", text("sales@example.com")},
        {"sales@example.zz", none},
        // Wide characters leave the account.
        {"sal\xe5\x90\x8d" "es@example.com", text("sales@example.com")},
        {"\xe5\x90\x8d@example.com", none},
        {"sal\xe5\x90\x8d" "es@example.zz", none},
        // The working text is lower case with the account's blanks removed.
        {"S ales@Example_Com", text("sales@example.com")},
        // No rules for these.
        {"sales@@example.com", none},
        {"@example.con", none},
    };
    for (const Case& c : cases) {
        const EmailCheck r = check(q(c.address));
        SCOPED_TRACE(c.address);
        EXPECT_FALSE(r.isValid);
        EXPECT_EQ(show(r.suggestion), show(c.suggestion));
        EXPECT_EQ(check(q(c.address), false).suggestion, none);
    }
}

TEST(AddressCheckLists, NearMissesOfComNeedComListed)
{
    const DomainLists withoutCom({"net"}, {{"uk", "United Kingdom"}});
    for (const char* address : {"sales@example.con", "sales@example.comm", "sales@example.co"}) {
        const EmailCheck r = checkEmail(q(address), withoutCom, defaultSpecialChars());
        EXPECT_EQ(r.fault, Fault::UnknownTopLevel) << address;
        EXPECT_EQ(r.suggestion, none) << address;
    }
    // With co as a country code the address is simply valid.
    const DomainLists withCo({"com"}, {{"co", "Colombia"}});
    EXPECT_TRUE(checkEmail(q("sales@example.co"), withCo, defaultSpecialChars()).isValid);
}

TEST(AddressCheckLists, SearchFollowsListAndTableOrder)
{
    // The generic list's order picks the ending when several fit.
    const DomainLists etFirst({"et", "net"}, {});
    const DomainLists netFirst({"net", "et"}, {});
    EXPECT_EQ(show(checkEmail(q("a@examplenet"), etFirst, defaultSpecialChars()).suggestion),
              "\"a@examplen.et\"");
    EXPECT_EQ(show(checkEmail(q("a@examplenet"), netFirst, defaultSpecialChars()).suggestion),
              "\"a@example.net\"");

    // The special-character table's order picks the "@" when several fit.
    const DomainLists com({"com"}, {});
    EXPECT_EQ(show(checkEmail(q("sales#my-example.com"), com, defaultSpecialChars()).suggestion),
              "\"sales@my-example.com\"");
    EXPECT_EQ(show(checkEmail(q("sales#my-example.com"), com, u"-#").suggestion),
              "\"sales#my@example.com\"");
    EXPECT_EQ(checkEmail(q("sales#example.com"), com, u"").suggestion, none);
}

TEST_F(AddressCheck, StrayCharactersCostLinearWork)
{
    struct Case { QString address; Opt suggestion; };
    const QString thirty = QString(30, u'#');
    const Case cases[] = {
        {"sales@example.zz" + thirty, none},
        {"sales@example.com" + thirty, text("sales@example.com")},
        {"sales@example.com" + QString(30, u')'), text("sales@example.com")},
        {QString(30, u'(') + "sales@example.com" + QString(30, u')'), text("sales@example.com")},
        {"sales@exa mple.zz" + QString(30, u'!'), none},
        {"sales@example" + QString(30, u'.'), none},
        {"sales@example.con" + QString(15, u'?') + QString(15, u'&'), text("sales@example.com")},
    };
    for (const Case& c : cases) {
        SearchProbe probe;
        const EmailCheck r = check(c.address, true, &probe);
        SCOPED_TRACE(c.address.toStdString());
        EXPECT_EQ(show(r.suggestion), show(c.suggestion));
        // Each stray character adds a handful of candidates, not a doubling.
        EXPECT_LE(probe.candidatesChecked, 10 * 30 + 20);
    }
}

TEST_F(AddressCheck, LongCellEndsWithBoundedWork)
{
    // A note picked as the e-mail column: one level of search per trailing
    // character would exhaust the stack and hold a copy of the cell per level.
    for (QChar tail : {QChar(u')'), QChar(u'#'), QChar(u' ')}) {
        SearchProbe probe;
        const EmailCheck r = check("sales@example.com" + QString(100000, tail), true, &probe);
        EXPECT_FALSE(r.isValid);
        EXPECT_LE(probe.candidatesChecked, 1000) << int(tail.unicode());
    }
}

TEST_F(AddressCheck, MemoChangesNoSuggestion)
{
    // Near-valid addresses with random damage that trips every rule; the
    // plain search (no memo) is the reference.
    const char* bases[] = {"sales@example.com", "info.desk@mail.example.co.uk", "a@bb.tv",
                           "supportexample.com", "x@example.con"};
    const char* pieces[] = {"@", ".", " ", "_", "#", ")", "(", ">", "<", ",", "'", "!", ";",
                            "-", "..", "co", "m", "com", "\xc3\xa9", "\xe5\x90\x8d"};
    std::mt19937 rng(20240611);
    auto below = [&](qsizetype n) { return static_cast<qsizetype>(rng() % static_cast<unsigned>(n)); };
    int withSuggestion = 0;
    for (int i = 0; i < 5000; ++i) {
        QString address = q(bases[below(std::size(bases))]);
        for (int edits = 1 + below(5); edits > 0; --edits) {
            const qsizetype at = below(address.size() + 1);
            switch (below(3)) {
            case 0: address.insert(at, q(pieces[below(std::size(pieces))])); break;
            case 1: if (at < address.size()) address.remove(at, 1); break;
            default: address.append(q(pieces[below(std::size(pieces))])); break;
            }
        }
        SearchProbe memo;
        SearchProbe plain;
        plain.memoise = false;
        const EmailCheck a = check(address, true, &memo);
        const EmailCheck b = check(address, true, &plain);
        ASSERT_EQ(show(a.suggestion), show(b.suggestion)) << address.toStdString();
        EXPECT_LE(memo.candidatesChecked, plain.candidatesChecked);
        withSuggestion += a.suggestion.has_value();
    }
    // The corpus must actually reach the search's success paths.
    EXPECT_GT(withSuggestion, 500);
}

TEST(AddressCheckHelpers, TrimAndSpecialCharacters)
{
    struct Case { const char* in; const char* out; };
    const Case trims[] = {
        {"  a b  ", "a b"}, {"\ta ", "\ta"}, {"   ", ""}, {"", ""}, {"x", "x"},
    };
    for (const Case& c : trims)
        EXPECT_EQ(trimBlanks(q(c.in)).toString(), q(c.out)) << c.in;

    const int codes[] = {33, 128, 0, 300, 163, 64};
    EXPECT_EQ(specialCharsFromCodes(codes), q("!\xe2\x82\xac\xc2\xa3@"));

    const QString defaults = defaultSpecialChars();
    ASSERT_EQ(defaults.size(), 32);
    EXPECT_EQ(defaults.front(), u'!');
    EXPECT_EQ(defaults.back(), u'~');
    for (qsizetype i = 0; i < defaults.size(); ++i) {
        EXPECT_FALSE(defaults[i].isLetterOrNumber()) << i;
        if (i > 0) {
            EXPECT_LT(defaults[i - 1], defaults[i]);
        }
    }
}
