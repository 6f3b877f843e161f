// Domain lists for address checking: hash sets over the generic domains and
// the country codes, and the readers of their two settings files.
//
// Look-ups take a QStringView and hash it in place (heterogeneous look-up), so
// checking a label allocates nothing. The settings readers follow the
// sequential-input rules the files were written for: an item is either a
// quoted text (commas inside it belong to it) or bare text up to the next
// comma; the end of a line ends an item. Lines that cannot be used are
// skipped rather than failing the whole list.
#include "email/domain_lists.h"

#include <QSet>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace email {

namespace {

struct ViewHash {
    using is_transparent = void;
    std::size_t operator()(std::u16string_view v) const noexcept
    {
        return std::hash<std::u16string_view>{}(v);
    }
};

std::u16string_view u16(QStringView v)
{
    return {v.utf16(), static_cast<std::size_t>(v.size())};
}

std::u16string u16string(const QString& s)
{
    return std::u16string(u16(s));
}

bool isItemBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

// The items of one line. A quoted item runs to its closing quote; anything
// between that quote and the next comma is ignored. A bare item is trimmed.
QStringList lineItems(QStringView line)
{
    QStringList items;
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (i < n) {
        while (i < n && isItemBlank(line[i]))
            ++i;
        if (i >= n)
            break;
        if (line[i] == u'"') {
            const qsizetype close = line.indexOf(u'"', i + 1);
            if (close < 0) {
                items.append(line.mid(i + 1).toString());
                break;
            }
            items.append(line.mid(i + 1, close - i - 1).toString());
            i = close + 1;
            while (i < n && line[i] != u',')
                ++i;
        } else {
            qsizetype end = line.indexOf(u',', i);
            if (end < 0)
                end = n;
            items.append(line.mid(i, end - i).trimmed().toString());
            i = end;
        }
        if (i < n && line[i] == u',')
            ++i;
    }
    return items;
}

// Splits on CR LF, a lone LF or a lone CR.
template <typename F>
void forEachLine(QStringView text, F&& f)
{
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (text[i] == u'\r' || text[i] == u'\n') {
            f(text.mid(start, i - start));
            if (text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        f(text.mid(start));
}

} // namespace

struct DomainLists::Data {
    std::unordered_set<std::u16string, ViewHash, std::equal_to<>> countryCodes;
    std::unordered_map<std::u16string, int, ViewHash, std::equal_to<>> genericRanks;
    QStringList generic;
    std::vector<CountryDomain> countries;
    int longestGeneric = 0;
};

DomainLists::DomainLists()
    : d_(std::make_shared<const Data>())
{
}

DomainLists::DomainLists(const QStringList& generic, const std::vector<CountryDomain>& countries)
{
    auto d = std::make_shared<Data>();
    for (const QString& g : generic) {
        if (g.isEmpty())
            continue;
        const int rank = static_cast<int>(d->generic.size());
        if (d->genericRanks.emplace(u16string(g), rank).second) {
            d->generic.append(g);
            d->longestGeneric = std::max(d->longestGeneric, static_cast<int>(g.size()));
        }
    }
    QSet<QString> tableKeys;
    for (const CountryDomain& c : countries) {
        if (c.code.isEmpty())
            continue;
        d->countryCodes.insert(u16string(c.code));
        const QString key = c.code.toLower();
        if (!tableKeys.contains(key)) {
            tableKeys.insert(key);
            d->countries.push_back(c);
        }
    }
    d_ = std::move(d);
}

bool DomainLists::isCountry(QStringView label) const
{
    return d_->countryCodes.find(u16(label)) != d_->countryCodes.end();
}

bool DomainLists::isGeneric(QStringView label) const
{
    return d_->genericRanks.find(u16(label)) != d_->genericRanks.end();
}

int DomainLists::genericRank(QStringView label) const
{
    const auto it = d_->genericRanks.find(u16(label));
    return it == d_->genericRanks.end() ? -1 : it->second;
}

int DomainLists::longestGeneric() const
{
    return d_->longestGeneric;
}

const QStringList& DomainLists::generic() const
{
    return d_->generic;
}

const std::vector<CountryDomain>& DomainLists::countries() const
{
    return d_->countries;
}

QStringList parseGenericDomains(QStringView fileText)
{
    QStringList out;
    QSet<QString> seen;
    forEachLine(fileText, [&](QStringView line) {
        for (QString& item : lineItems(line)) {
            if (item.isEmpty() || seen.contains(item))
                continue;
            seen.insert(item);
            out.append(std::move(item));
        }
    });
    return out;
}

std::vector<CountryDomain> parseCountryDomains(QStringView fileText, int* skippedLines)
{
    std::vector<CountryDomain> out;
    QSet<QString> seen;
    int skipped = 0;
    forEachLine(fileText, [&](QStringView line) {
        if (line.trimmed().isEmpty())
            return;
        QStringList items = lineItems(line);
        if (items.isEmpty() || items[0].isEmpty() || items[0].size() > 2 || seen.contains(items[0])) {
            ++skipped;
            return;
        }
        seen.insert(items[0]);
        out.push_back({items[0], items.size() > 1 ? items[1] : QString()});
    });
    if (skippedLines)
        *skippedLines = skipped;
    return out;
}

} // namespace email
