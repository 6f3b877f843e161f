// Header-click sorting of the value lists. Every row's text is read once into
// a key (a number, or a date as its sortable text), then one stable sort
// orders the indexes: n log n for the hundred thousand values a column can hold.
#include "cleaning/value_sort.h"

#include "cleaning/column_convert.h"
#include "platform/jet/error.h"
#include "platform/jet/types.h"

#include <QLocale>

#include <algorithm>
#include <numeric>

namespace cleaning {
namespace {

constexpr int kDecimal = 20;   // the engine's decimal type, which has no name of its own here

[[noreturn]] void typeMismatch()
{
    throw jet::JetError(jet::errTypeMismatch, QStringLiteral("Type mismatch"));
}

double numberOf(const QString& text)
{
    const QString t = text.trimmed();
    bool ok = false;
    const double d = QLocale::c().toDouble(t, &ok);
    if (ok)
        return d;
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return -1;
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return 0;
    typeMismatch();
}

/// "yyyy/mm/dd hh:nn:ss" from the "mm/dd/yyyy hh:nn:ss" literal text.
QString dateKey(const QString& text)
{
    const auto literal = dateLiteralText(text);
    if (!literal)
        typeMismatch();
    const QString& l = *literal;
    return l.mid(6, 4) + QLatin1Char('/') + l.left(2) + QLatin1Char('/') + l.mid(3, 2) + l.mid(10);
}

} // namespace

SortKind sortKindOfType(int fieldType)
{
    switch (fieldType) {
    case jet::dbBoolean: case jet::dbByte: case jet::dbInteger: case jet::dbLong: case jet::dbCurrency:
    case jet::dbSingle: case jet::dbDouble: case jet::dbGUID: case kDecimal:
        return SortKind::Numeric;
    case jet::dbDate:
        return SortKind::Date;
    case jet::dbText: case jet::dbMemo:
        return SortKind::Text;
    default:
        return SortKind::None;
    }
}

SortState clickedSort(SortState current, int column)
{
    if (current.column == column)
        return {column, !current.descending};
    return {column, false};
}

std::vector<int> sortedOrder(const QStringList& texts, SortKind kind, bool descending)
{
    std::vector<int> order(size_t(texts.size()));
    std::iota(order.begin(), order.end(), 0);
    if (kind == SortKind::None)
        return order;

    // The empty row sorts below every value, whatever the kind.
    auto byKey = [descending](const auto& keys, const std::vector<bool>& empty) {
        return [&keys, &empty, descending](int a, int b) {
            const auto ua = size_t(a), ub = size_t(b);
            if (empty[ua] != empty[ub])
                return descending ? empty[ub] : empty[ua];
            if (empty[ua])
                return false;
            return descending ? keys[ub] < keys[ua] : keys[ua] < keys[ub];
        };
    };
    std::vector<bool> empty(order.size());
    for (size_t i = 0; i < order.size(); ++i)
        empty[i] = texts[qsizetype(i)].isEmpty();

    if (kind == SortKind::Numeric) {
        std::vector<double> keys(order.size());
        for (size_t i = 0; i < keys.size(); ++i)
            if (!empty[i])
                keys[i] = numberOf(texts[qsizetype(i)]);
        std::stable_sort(order.begin(), order.end(), byKey(keys, empty));
    } else if (kind == SortKind::Date) {
        std::vector<QString> keys(order.size());
        for (size_t i = 0; i < keys.size(); ++i)
            if (!empty[i])
                keys[i] = dateKey(texts[qsizetype(i)]);
        std::stable_sort(order.begin(), order.end(), byKey(keys, empty));
    } else {
        std::stable_sort(order.begin(), order.end(), [&texts, descending](int a, int b) {
            const int c = QString::compare(texts[a], texts[b], Qt::CaseInsensitive);
            return descending ? c > 0 : c < 0;
        });
    }
    return order;
}

} // namespace cleaning
