// The prefix and exception lists the program ships, read from the files
// themselves: under the rules of Proper Case (a prefix at the start of any
// word, an exception where it stands as a whole word) they must leave correctly
// written names, streets and cities as they are, and still mend the names
// they are there for. A later edit of a list that breaks a name fails here.
#include "cleaning/proper_case.h"

#include "workbench/opening.h"

#include <QString>
#include <QStringList>

#include <array>
#include <gtest/gtest.h>

namespace {

cleaning::ProperCase shippedLists()
{
    std::array<QString, 1001> prefixes;
    std::array<QString, 1001> exceptions;
    const QString folder = QStringLiteral(QB_SOURCE_DIR "/resources/program/Settings/");
    workbench::loadList(folder + QStringLiteral("PreFixes.txt"), prefixes);
    workbench::loadList(folder + QStringLiteral("Exceptions.txt"), exceptions);
    EXPECT_FALSE(prefixes[1].isEmpty());
    return cleaning::ProperCase::fromArrays(prefixes, exceptions);
}

TEST(ShippedLists, LeaveCorrectNamesStreetsAndCitiesAsTheyAre)
{
    const cleaning::ProperCase pc = shippedLists();
    const char* const correct[] = {
        "Jones", "Lee", "Dean", "Denise", "Dubois", "Vance", "Theodore", "Andrew", "Susan", "Olivia",
        "Catherine", "Macy", "Machado", "Portland", "Usage Road", "Jerusalem", "Newark",
        "Fitzgerald", "Delacroix", "Leonard", "Diana", "Dupont", "Ivan", "Hawaii", "Duke", "Sedona",
        "Poole", "Nelson", "Swanson", "Mackenzie", "Dominic", "Oscar", "Lauren", "Vanessa", "Uma",
        "Stanley", "Seattle", "Milwaukee", "Ukiah", "Iowa City", "Oakland", "Ohio", "Dorothy",
        "Andover", "Sandy", "Brandon", "Ofelia", "Sofia", "Lincoln", "Macon", "McAllen Avenue",
        "12 Old Mill Lane", "Theresa", "Nathan", "Heather", "Esther", "Cathedral Close",
        "Hillcrest", "Stillcreek Drive", "Tempo Boxing Club", "Hippo Boxes", "Hibma", "Llewellyn",
        "Tempo Box Storage", "Expo Box Inc", "Typo Box",
    };
    for (const char* text : correct) {
        const QString s = QString::fromUtf8(text);
        EXPECT_EQ(pc.convert(s), s) << text;
        EXPECT_EQ(pc.convert(s.toUpper()), s) << text << " in capitals";
    }
}

TEST(ShippedLists, StillMendTheNamesTheyAreFor)
{
    const cleaning::ProperCase pc = shippedLists();
    const struct { const char* in; const char* out; } cases[] = {
        {"MCDONALD", "McDonald"},
        {"o'brien", "O'Brien"},
        {"D'ANGELO", "D'Angelo"},
        {"ronald mcdonald", "Ronald McDonald"},
        {"acme llc", "Acme LLC"},
        {"john smith iii", "John Smith III"},
        {"bank of america", "Bank of America"},
        // A PO Box at the start of an address line, the commonest place, as
        // well as after a name or a street.
        {"PO Box 3", "PO Box 3"},
        {"PO BOX 9", "PO Box 9"},
        {"po box 7", "PO Box 7"},
        {"12 Main St, po box 7", "12 Main St, PO Box 7"},
        {"smith, po box 12", "Smith, PO Box 12"},
        {"12 hillcrest road, po box 7", "12 Hillcrest Road, PO Box 7"},
        {"smith & sons llc", "Smith & Sons LLC"},
        {"jane doe, phd", "Jane Doe, PhD"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pc.convert(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;
}

} // namespace
