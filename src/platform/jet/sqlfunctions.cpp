// SQL functions and the text collation that make SQLite answer as the engine
// does. Every connection gets them at open (registerSqlFunctions).
//
// Text values pass through jetText(): numbers take the engine's number text and
// a value in the stored date shape ("yyyy-mm-dd hh:mm:ss") takes the engine's
// date text, so LIKE, CSTR, LEN and the string functions see dates and numbers
// as the engine shows them. The cost of that shape test is a length check for
// most values.
#include "platform/jet/sqlfunctions.h"

#include "platform/jet/connection.h"
#include "platform/jet/engine_text.h"
#include "platform/jet/error.h"
#include "platform/jet/format.h"
#include "platform/jet/translator.h"
#include "platform/jet/types.h"
#include "platform/jet/value.h"

#include <sqlite3.h>

#include <QDateTime>
#include <QStringDecoder>
#include <cmath>
#include <limits>
#include <memory>

namespace jet {
namespace {

QString argText(sqlite3_value* v)
{
    const unsigned char* p = sqlite3_value_text(v);
    return textFromUtf8(reinterpret_cast<const char*>(p), sqlite3_value_bytes(v));
}

/// The engine's text form of a stored value; isNull set for SQL NULL.
QString jetText(sqlite3_value* v, bool* isNull = nullptr)
{
    if (isNull)
        *isNull = false;
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
        if (isNull)
            *isNull = true;
        return QString();
    case SQLITE_INTEGER: return QString::number(sqlite3_value_int64(v));
    case SQLITE_FLOAT: return numberText(sqlite3_value_double(v));
    default: {
        QString s = argText(v);
        if (s.size() == 19) {
            if (auto d = parseStoredDate(s))
                return displayDate(*d);
        }
        return s;
    }
    }
}

void resultText(sqlite3_context* ctx, const QString& s)
{
    const QByteArray u = utf8OfText(s);
    sqlite3_result_text(ctx, u.constData(), u.size(), SQLITE_TRANSIENT);
}

// ---- Currency in expressions ---------------------------------------------------
//
// A Currency column stores its count of ten-thousandths. The translator
// hands a column's count to jet_cur, which gives the amount as the nearest
// double for comparisons and the functions that take numbers, or, where the
// value goes straight on to a function that keeps every digit (arithmetic,
// jet_put, CStr, &), to jet_cur_x, which gives the amount's text marked with
// a subtype: text, so that a lost mark still leaves the right digits. The
// functions registered with an "_x" twin give their amount the same way.

constexpr unsigned kCurrencySubtype = 'C';

/// The amount an argument marked by jet_cur_x holds; nullopt for any other.
std::optional<Currency> currencyArg(sqlite3_value* v)
{
    if (sqlite3_value_type(v) != SQLITE_TEXT || sqlite3_value_subtype(v) != kCurrencySubtype)
        return std::nullopt;
    const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return currencyOfDecimal(std::string_view(p, static_cast<size_t>(sqlite3_value_bytes(v))));
}

/// An amount as the function's value: marked text for the "_x" twins, the
/// nearest double for the others.
void resultCurrency(sqlite3_context* ctx, Currency c)
{
    if (!sqlite3_user_data(ctx))
        return sqlite3_result_double(ctx, currencyDouble(c));
    const QByteArray u = currencyText(c).toLatin1();
    sqlite3_result_text(ctx, u.constData(), u.size(), SQLITE_TRANSIENT);
    sqlite3_result_subtype(ctx, kCurrencySubtype);
}

// jet_cur(count): the amount of a stored count (an aggregate's too); any
// other value as it is.
void fnCur(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER)
        return resultCurrency(ctx, Currency{sqlite3_value_int64(argv[0])});
    sqlite3_result_value(ctx, argv[0]);
}

// jet_cur_out(count): a query's own Currency column, in the form the
// engine's reader knows as an amount (currencyBlob).
void fnCurOut(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) != SQLITE_INTEGER)
        return sqlite3_result_value(ctx, argv[0]);
    const QByteArray b = currencyBlob(Currency{sqlite3_value_int64(argv[0])});
    sqlite3_result_blob(ctx, b.constData(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
}

// jet_curavg(avg of counts): the mean amount, a double.
void fnCurAvg(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    sqlite3_result_double(ctx, sqlite3_value_double(argv[0]) / 10000.0);
}

bool anyNull(int argc, sqlite3_value** argv)
{
    for (int i = 0; i < argc; ++i)
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL)
            return true;
    return false;
}

// ---- collation ------------------------------------------------------------

int collateJetCi(void*, int na, const void* a, int nb, const void* b)
{
    return jetCompare(static_cast<const char*>(a), na, static_cast<const char*>(b), nb);
}

// ---- LIKE -----------------------------------------------------------------

struct Pattern {
    // A compiled pattern: case-folded, with tokens for the wildcards.
    enum Kind { Lit, Any, One, Digit, Set };
    struct Tok {
        Kind kind;
        QChar ch;
        QString set;   // folded members; ranges as a-b triples
        bool negate = false;
    };
    std::vector<Tok> toks;
};

Pattern compilePattern(const QString& raw)
{
    Pattern p;
    const QString s = raw.toCaseFolded();
    for (int i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c == QLatin1Char('*')) {
            if (p.toks.empty() || p.toks.back().kind != Pattern::Any)
                p.toks.push_back({Pattern::Any, c, {}, false});
        } else if (c == QLatin1Char('?')) {
            p.toks.push_back({Pattern::One, c, {}, false});
        } else if (c == QLatin1Char('#')) {
            p.toks.push_back({Pattern::Digit, c, {}, false});
        } else if (c == QLatin1Char('[')) {
            const int close = s.indexOf(QLatin1Char(']'), i + 1);
            if (close < 0) {
                // An unclosed bracket matches itself, character for character.
                p.toks.push_back({Pattern::Lit, c, {}, false});
                continue;
            }
            QString body = s.mid(i + 1, close - i - 1);
            bool neg = false;
            if (body.startsWith(QLatin1Char('!')) && body.size() > 1) {
                neg = true;
                body.remove(0, 1);
            }
            if (body.isEmpty()) {
                // "[]" matches the empty string: nothing to add.
                i = close;
                continue;
            }
            Pattern::Tok t{Pattern::Set, c, body, neg};
            if (body.size() == 1 && !neg)
                t = {Pattern::Lit, body[0], {}, false};   // [*] [?] [#] escape a wildcard
            p.toks.push_back(t);
            i = close;
        } else {
            p.toks.push_back({Pattern::Lit, c, {}, false});
        }
    }
    return p;
}

bool inSet(const Pattern::Tok& t, QChar c)
{
    const QString& s = t.set;
    bool hit = false;
    for (int i = 0; i < s.size() && !hit; ++i) {
        if (i + 2 < s.size() && s[i + 1] == QLatin1Char('-')) {
            hit = c >= s[i] && c <= s[i + 2];
            i += 2;
        } else {
            hit = s[i] == c;
        }
    }
    return hit != t.negate;
}

bool tokMatches(const Pattern::Tok& t, QChar c)
{
    switch (t.kind) {
    case Pattern::Lit: return c == t.ch;
    case Pattern::One: return true;
    case Pattern::Digit: return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    case Pattern::Set: return inSet(t, c);
    case Pattern::Any: break;
    }
    return false;
}

bool matchAt(const Pattern& p, size_t ti, const QString& s, int si)
{
    // The classic greedy match with one backtrack point: the last star seen.
    size_t starT = SIZE_MAX;
    int starS = 0;
    const size_t m = p.toks.size();
    while (si < s.size()) {
        if (ti < m && p.toks[ti].kind == Pattern::Any) {
            starT = ti++;
            starS = si;
        } else if (ti < m && tokMatches(p.toks[ti], s[si])) {
            ++ti;
            ++si;
        } else if (starT != SIZE_MAX) {
            ti = starT + 1;
            si = ++starS;
        } else {
            return false;
        }
    }
    while (ti < m && p.toks[ti].kind == Pattern::Any)
        ++ti;
    return ti == m;
}

void deletePattern(void* p) { delete static_cast<Pattern*>(p); }

void fnLike(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    // LIKE calls like(pattern, text[, escape]).
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    (void)argc;
    auto* pat = static_cast<Pattern*>(sqlite3_get_auxdata(ctx, 0));
    if (!pat) {
        pat = new Pattern(compilePattern(jetText(argv[0])));
        sqlite3_set_auxdata(ctx, 0, pat, deletePattern);
        pat = static_cast<Pattern*>(sqlite3_get_auxdata(ctx, 0));
        if (!pat) {
            // SQLite dropped it (not a constant): compile for this call only.
            Pattern once = compilePattern(jetText(argv[0]));
            sqlite3_result_int(ctx, matchAt(once, 0, jetText(argv[1]).toCaseFolded(), 0));
            return;
        }
    }
    sqlite3_result_int(ctx, matchAt(*pat, 0, jetText(argv[1]).toCaseFolded(), 0));
}

// ---- string functions -----------------------------------------------------

void fnLen(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    bool isNull = false;
    const QString s = jetText(argv[0], &isNull);
    if (isNull)
        sqlite3_result_null(ctx);
    else
        sqlite3_result_int64(ctx, s.size());
}

void fnLeft(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (anyNull(argc, argv))
        return sqlite3_result_null(ctx);
    const qint64 n = sqlite3_value_int64(argv[1]);
    if (n < 0)
        return sqlite3_result_error(ctx, "Invalid procedure call or argument.", -1);
    resultText(ctx, jetText(argv[0]).left(static_cast<int>(std::min<qint64>(n, INT32_MAX))));
}

void fnRight(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (anyNull(argc, argv))
        return sqlite3_result_null(ctx);
    const qint64 n = sqlite3_value_int64(argv[1]);
    if (n < 0)
        return sqlite3_result_error(ctx, "Invalid procedure call or argument.", -1);
    resultText(ctx, jetText(argv[0]).right(static_cast<int>(std::min<qint64>(n, INT32_MAX))));
}

void fnMid(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    const qint64 start = sqlite3_value_int64(argv[1]);
    if (start < 1)
        return sqlite3_result_error(ctx, "Invalid procedure call or argument.", -1);
    const QString s = jetText(argv[0]);
    if (argc == 3 && sqlite3_value_type(argv[2]) != SQLITE_NULL) {
        const qint64 len = sqlite3_value_int64(argv[2]);
        if (len < 0)
            return sqlite3_result_error(ctx, "Invalid procedure call or argument.", -1);
        resultText(ctx, s.mid(static_cast<int>(std::min<qint64>(start - 1, INT32_MAX)),
                              static_cast<int>(std::min<qint64>(len, INT32_MAX))));
    } else {
        resultText(ctx, s.mid(static_cast<int>(std::min<qint64>(start - 1, INT32_MAX))));
    }
}

template <QString (*F)(const QString&)>
void fnText1(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    bool isNull = false;
    const QString s = jetText(argv[0], &isNull);
    if (isNull)
        return sqlite3_result_null(ctx);
    resultText(ctx, F(s));
}

QString upper(const QString& s) { return s.toUpper(); }
QString lower(const QString& s) { return s.toLower(); }
QString trimSpaces(const QString& s)
{
    int a = 0, b = s.size();
    while (a < b && s[a] == QLatin1Char(' '))
        ++a;
    while (b > a && s[b - 1] == QLatin1Char(' '))
        --b;
    return s.mid(a, b - a);
}
QString ltrimSpaces(const QString& s)
{
    int a = 0;
    while (a < s.size() && s[a] == QLatin1Char(' '))
        ++a;
    return s.mid(a);
}
QString rtrimSpaces(const QString& s)
{
    int b = s.size();
    while (b > 0 && s[b - 1] == QLatin1Char(' '))
        --b;
    return s.left(b);
}
QString same(const QString& s) { return s; }

void fnInstr(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    // InStr([start,] text, sought[, compare]); compare 0 is binary, else text.
    int first = 0;
    qint64 start = 1;
    if (argc >= 3) {
        if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
            return sqlite3_result_null(ctx);
        start = sqlite3_value_int64(argv[0]);
        first = 1;
    }
    if (sqlite3_value_type(argv[first]) == SQLITE_NULL || sqlite3_value_type(argv[first + 1]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    if (start < 1)
        return sqlite3_result_error(ctx, "Invalid procedure call or argument.", -1);
    Qt::CaseSensitivity cs = Qt::CaseInsensitive;
    if (argc == 4 && sqlite3_value_int(argv[3]) == 0)
        cs = Qt::CaseSensitive;
    const QString hay = jetText(argv[first]);
    const QString needle = jetText(argv[first + 1]);
    if (start > hay.size() + 1)
        return sqlite3_result_int(ctx, 0);
    if (needle.isEmpty())
        return sqlite3_result_int64(ctx, start);
    sqlite3_result_int64(ctx, hay.indexOf(needle, static_cast<int>(start - 1), cs) + 1);
}

void fnCStr(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_error(ctx, "Invalid use of Null", -1);
    resultText(ctx, jetText(argv[0]));
}

// The value's text with every digit of a number kept: what a number literal of
// the value is, and what CDBL reads back as the same double. Null stays Null.
void fnExactText(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    if (sqlite3_value_type(argv[0]) == SQLITE_FLOAT) {
        const double d = sqlite3_value_double(argv[0]);
        if (std::isfinite(d))
            return resultText(ctx, sqlNumber(d));
    }
    resultText(ctx, jetText(argv[0]));
}

enum class Num { Ok, Mismatch, Overflow };

/// A value as a number, as the conversion functions read it: text as a
/// number (thousands separators allowed), "True" and "False", or a stored
/// date as its serial. "nan", "inf" and other text are a mismatch; a number
/// beyond the double range (1e999) overflows.
Num readNumberArg(sqlite3_value* v, double& out)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: out = static_cast<double>(sqlite3_value_int64(v)); return Num::Ok;
    case SQLITE_FLOAT:
        out = sqlite3_value_double(v);
        if (std::isnan(out))
            return Num::Mismatch;
        return std::isfinite(out) ? Num::Ok : Num::Overflow;
    case SQLITE_TEXT: {
        const QString s = argText(v).trimmed();
        if (auto d = parseStoredDate(s)) {
            out = d->serial;
            return Num::Ok;
        }
        if (s.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) { out = -1; return Num::Ok; }
        if (s.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) { out = 0; return Num::Ok; }
        QString t = s;
        t.remove(QLatin1Char(','));
        switch (readNumberText(t, out)) {
        case NumberRead::Number: return Num::Ok;
        case NumberRead::TooLarge: return Num::Overflow;
        case NumberRead::NotNumber: return Num::Mismatch;
        }
        return Num::Mismatch;
    }
    default: return Num::Mismatch;
    }
}

const char* const kMismatch = "Data type mismatch in criteria expression.";

/// The argument as a number, or the error the function reports; false when an
/// error was set. Null is an error ("Invalid use of Null").
bool numberArgument(sqlite3_context* ctx, sqlite3_value* v, double& d)
{
    if (sqlite3_value_type(v) == SQLITE_NULL) {
        sqlite3_result_error(ctx, "Invalid use of Null", -1);
        return false;
    }
    switch (readNumberArg(v, d)) {
    case Num::Ok: return true;
    case Num::Mismatch: sqlite3_result_error(ctx, kMismatch, -1); return false;
    case Num::Overflow: sqlite3_result_error(ctx, "Overflow", -1); return false;
    }
    return false;
}

/// A whole-number cast: rounded half to even, as the engine rounds, and
/// within [lo, hi].
void wholeCast(sqlite3_context* ctx, sqlite3_value* v, double lo, double hi)
{
    double d = 0;
    if (!numberArgument(ctx, v, d))
        return;
    d = std::nearbyint(d);
    if (!(d >= lo && d <= hi))
        return sqlite3_result_error(ctx, "Overflow", -1);
    sqlite3_result_int64(ctx, static_cast<qint64>(d));
}

void fnCLng(sqlite3_context* ctx, int, sqlite3_value** argv) { wholeCast(ctx, argv[0], -2147483648.0, 2147483647.0); }

void fnCInt(sqlite3_context* ctx, int, sqlite3_value** argv) { wholeCast(ctx, argv[0], -32768.0, 32767.0); }

// The two operands of \ and Mod, each rounded half to even to a whole
// number; false when the result is set already (Null, or the error of an
// operand that is no number).
bool roundedOperands(sqlite3_context* ctx, sqlite3_value** argv, double& a, double& b)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return false;
    }
    if (!numberArgument(ctx, argv[0], a) || !numberArgument(ctx, argv[1], b))
        return false;
    a = std::nearbyint(a);
    b = std::nearbyint(b);
    return true;
}

// a \ b: both operands rounded to whole numbers (as CLng rounds), the quotient
// cut towards zero; Null when either operand is Null.
void fnIntDiv(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    double a = 0, b = 0;
    if (!roundedOperands(ctx, argv, a, b))
        return;
    if (!(std::fabs(a) <= 2147483648.0 && std::fabs(b) <= 2147483648.0))
        return sqlite3_result_error(ctx, "Overflow", -1);
    if (b == 0)
        return sqlite3_result_error(ctx, "Division by zero", -1);
    sqlite3_result_int64(ctx, static_cast<qint64>(a) / static_cast<qint64>(b));
}

void fnCDbl(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    double d = 0;
    if (numberArgument(ctx, argv[0], d))
        sqlite3_result_double(ctx, d);
}

// The other conversion functions, with the dialect's rules: Null is an error
// ("Invalid use of Null") for all but CVAR, which passes it on; text that
// does not read as the type is a type mismatch; a number out of the type's
// range overflows. Whole numbers round half to even, as CINT and CLNG do.
// Each gives the value as a column of its type keeps it, so that a cast of
// a value's text finds the value again.

void fnCBool(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    // The Yes/No words a Yes/No field takes read here too.
    if (sqlite3_value_type(argv[0]) == SQLITE_TEXT)
        if (const auto word = readYesNoWord(argText(argv[0])))
            return sqlite3_result_int(ctx, *word ? -1 : 0);
    double d = 0;
    if (numberArgument(ctx, argv[0], d))
        sqlite3_result_int(ctx, d != 0 ? -1 : 0);
}

void fnCByte(sqlite3_context* ctx, int, sqlite3_value** argv) { wholeCast(ctx, argv[0], 0.0, 255.0); }

void fnCCur(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (const auto c = currencyArg(argv[0]))
        return resultCurrency(ctx, *c);
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER) {
        if (const auto c = currencyOfWhole(sqlite3_value_int64(argv[0])))
            return resultCurrency(ctx, *c);
        return sqlite3_result_error(ctx, "Overflow", -1);
    }
    double d = 0;
    if (!numberArgument(ctx, argv[0], d))
        return;
    // Four decimals, the currency type's scale, rounded on the decimal
    // digits of a number typed as text (else of the double's shortest form).
    std::optional<Currency> c;
    if (sqlite3_value_type(argv[0]) == SQLITE_TEXT) {
        QByteArray typed = argText(argv[0]).trimmed().toLatin1();
        typed.replace(',', "");
        double check = 0;
        if (readNumberText(QString::fromLatin1(typed), check) == NumberRead::Number)
            c = currencyOfDecimal(std::string_view(typed.constData(), static_cast<size_t>(typed.size())));
        else
            c = currencyOf(d);
    } else {
        c = currencyOf(d);
    }
    if (!c)
        return sqlite3_result_error(ctx, "Overflow", -1);
    resultCurrency(ctx, *c);
}

void fnCSng(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    double d = 0;
    if (!numberArgument(ctx, argv[0], d))
        return;
    if (!(std::fabs(d) < kSingleLimit))
        return sqlite3_result_error(ctx, "Overflow", -1);
    sqlite3_result_double(ctx, singleValue(d));
}

// The engine keeps Decimal values as doubles.
void fnCDec(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    double d = 0;
    if (!numberArgument(ctx, argv[0], d))
        return;
    // The Decimal type's range: 28 digits, 79,228,162,514,264,337,593,543,950,335 at most.
    if (!(std::fabs(d) <= 79228162514264337593543950335.0))
        return sqlite3_result_error(ctx, "Overflow", -1);
    sqlite3_result_double(ctx, d);
}

void fnCVar(sqlite3_context* ctx, int, sqlite3_value** argv) { sqlite3_result_value(ctx, argv[0]); }

void fnCDate(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    sqlite3_value* v = argv[0];
    if (sqlite3_value_type(v) == SQLITE_NULL)
        return sqlite3_result_error(ctx, "Invalid use of Null", -1);
    if (sqlite3_value_type(v) == SQLITE_TEXT) {
        const QString s = argText(v).trimmed();
        if (parseStoredDate(s))
            return resultText(ctx, s);
        // The engine's date texts, as CSTR writes them and # literals read.
        if (const auto typed = readDateText(s))
            return resultText(ctx, storedDate(*typed));
    }
    double d = 0;
    if (!numberArgument(ctx, v, d))
        return;
    // Days from 30 December 1899: 1 January 100 to 31 December 9999, once
    // rounded to the second as dates are kept.
    if (!dateInRange(DateTime{d}))
        return sqlite3_result_error(ctx, "Overflow", -1);
    resultText(ctx, storedDate(DateTime{d}));
}

void fnVal(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    // Val reads the leading number of a text, ignoring blanks.
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_error(ctx, "Invalid use of Null", -1);
    QString s = jetText(argv[0]);
    s.remove(QLatin1Char(' '));
    int i = 0;
    if (i < s.size() && (s[i] == QLatin1Char('-') || s[i] == QLatin1Char('+')))
        ++i;
    while (i < s.size() && (s[i].isDigit() || s[i] == QLatin1Char('.')))
        ++i;
    sqlite3_result_double(ctx, s.left(i).toDouble());
}

void fnIsNull(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    sqlite3_result_int(ctx, sqlite3_value_type(argv[0]) == SQLITE_NULL ? -1 : 0);
}

// A value on its way into a table: a whole REAL goes as an INTEGER, so that a
// text column receives "24" as the engine writes the number, not SQLite's "24.0";
// number columns store it as before.
void fnStore(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_FLOAT) {
        const double d = sqlite3_value_double(argv[0]);
        if (d == std::floor(d) && std::fabs(d) < 9.0e15)
            return sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(d));
    }
    sqlite3_result_value(ctx, argv[0]);
}

// jet_put(value, type): a value on its way into a column of that field type,
// converted as every write converts it (coerce): a statement's SET and
// VALUES pass through here, so SQL stores and refuses what the grid does.
// Numbers that already fit go through untouched.
void fnPut(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    sqlite3_value* v = argv[0];
    const int type = sqlite3_value_int(argv[1]);
    const int st = sqlite3_value_type(v);
    if (st == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    if (type == dbText || type == dbMemo) {
        // A number or a date takes the engine's text of it.
        if (st == SQLITE_FLOAT) {
            const double d = sqlite3_value_double(v);
            if (!std::isfinite(d))
                return sqlite3_result_error(ctx, kOverflowText, -1);
            return resultText(ctx, numberText(d));
        }
        if (st == SQLITE_TEXT && sqlite3_value_bytes(v) == 19)
            if (const auto d = parseStoredDate(argText(v)))
                return resultText(ctx, displayDate(*d));
        return sqlite3_result_value(ctx, v);
    }
    if (st == SQLITE_INTEGER) {
        const sqlite3_int64 i = sqlite3_value_int64(v);
        const bool fits = (type == dbLong && i >= -2147483648LL && i <= 2147483647LL)
            || (type == dbInteger && i >= -32768 && i <= 32767) || (type == dbByte && i >= 0 && i <= 255)
            || (type == dbBoolean && (i == 0 || i == -1)) || type == dbDouble;
        if (fits)
            return sqlite3_result_value(ctx, v);
    } else if (st == SQLITE_FLOAT && type == dbDouble && std::isfinite(sqlite3_value_double(v))) {
        return sqlite3_result_value(ctx, v);
    }
    Value in;
    if (const auto c = currencyArg(v))
        in = Value(*c);
    else switch (st) {
    case SQLITE_INTEGER: in = Value(static_cast<long long>(sqlite3_value_int64(v))); break;
    case SQLITE_FLOAT: in = Value(sqlite3_value_double(v)); break;
    default: {
        QString text = argText(v);
        if (const auto d = parseStoredDate(text))
            in = Value(*d);
        else
            in = Value(std::move(text));
        break;
    }
    }
    try {
        const Value out = coerce(in, type);
        switch (out.kind()) {
        case Kind::Null: return sqlite3_result_null(ctx);
        case Kind::Bool: return sqlite3_result_int(ctx, out.toBool() ? -1 : 0);
        case Kind::Long: return sqlite3_result_int64(ctx, out.toLong());
        case Kind::Double: return sqlite3_result_double(ctx, out.toDouble());
        case Kind::Currency: return sqlite3_result_int64(ctx, out.currency().units);   // the stored count
        case Kind::Date: return resultText(ctx, storedDate(out.toDate()));
        case Kind::Text: return resultText(ctx, *out.textPtr());
        }
    } catch (const JetError& e) {
        const QByteArray u = e.description().toUtf8();
        sqlite3_result_error(ctx, u.constData(), u.size());
    }
}

// a / b: a double, Null when either is Null; the engine stops at a division
// by zero where SQLite would give Null.
void fnDiv(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    double a = 0, b = 0;
    if (!numberArgument(ctx, argv[0], a) || !numberArgument(ctx, argv[1], b))
        return;
    if (b == 0)
        return sqlite3_result_error(ctx, "Division by zero", -1);
    const double q = a / b;
    if (!std::isfinite(q))
        return sqlite3_result_error(ctx, "Overflow", -1);
    sqlite3_result_double(ctx, q);
}

// ---- arithmetic ---------------------------------------------------------------
//
// The operators the translator hands over when an operand may be other than
// a plain number (jet_add, jet_sub, jet_mul) and Mod always (jet_mod). Null
// gives Null; a stored date counts as its serial, and a date plus or minus
// a number stays a date; text joins text under "+" and otherwise has to
// read as a number.

struct Operand {
    enum Kind { Null, Whole, Real, Date, Text, Amount } kind = Null;
    sqlite3_int64 whole = 0;   // Whole: the number; Amount: its count of ten-thousandths
    double real = 0;   // Real: the number; Date: the serial
};

Operand operand(sqlite3_value* v)
{
    Operand o;
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL: break;
    case SQLITE_INTEGER:
        o.kind = Operand::Whole;
        o.whole = sqlite3_value_int64(v);
        break;
    case SQLITE_FLOAT:
        o.kind = Operand::Real;
        o.real = sqlite3_value_double(v);
        break;
    default:
        if (const auto c = currencyArg(v)) {
            o.kind = Operand::Amount;
            o.whole = c->units;
            o.real = currencyDouble(*c);
            break;
        }
        o.kind = Operand::Text;
        if (sqlite3_value_bytes(v) == 19)
            if (const auto d = parseStoredDate(argText(v))) {
                o.kind = Operand::Date;
                o.real = d->serial;
            }
        break;
    }
    return o;
}

/// The operand as a number; text that is no number sets the dialect's error.
bool operandNumber(sqlite3_context* ctx, sqlite3_value* v, const Operand& o, double& d)
{
    switch (o.kind) {
    case Operand::Whole: d = static_cast<double>(o.whole); return true;
    case Operand::Real:
    case Operand::Amount:
    case Operand::Date: d = o.real; return true;
    default: return numberArgument(ctx, v, d);
    }
}

void resultNumber(sqlite3_context* ctx, double d)
{
    if (!std::isfinite(d))
        return sqlite3_result_error(ctx, "Overflow", -1);
    sqlite3_result_double(ctx, d);
}

void resultDate(sqlite3_context* ctx, double serial)
{
    if (!dateInRange(DateTime{serial}))
        return sqlite3_result_error(ctx, "Overflow", -1);
    resultText(ctx, storedDate(DateTime{serial}));
}

/// A value compared with a number: a stored date as its serial, anything
/// else as it is.
void fnSerial(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    const Operand o = operand(argv[0]);
    if (o.kind == Operand::Date)
        return sqlite3_result_double(ctx, o.real);
    sqlite3_result_value(ctx, argv[0]);
}

enum class Arith { Add, Sub, Mul };

template <Arith op>
void fnArith(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    const Operand a = operand(argv[0]), b = operand(argv[1]);
    if (a.kind == Operand::Null || b.kind == Operand::Null)
        return sqlite3_result_null(ctx);
    if (op == Arith::Add && a.kind == Operand::Text && b.kind == Operand::Text)
        return resultText(ctx, argText(argv[0]) + argText(argv[1]));
    if (a.kind == Operand::Whole && b.kind == Operand::Whole) {
        sqlite3_int64 r = 0;
        const bool over = op == Arith::Add   ? __builtin_add_overflow(a.whole, b.whole, &r)
                          : op == Arith::Sub ? __builtin_sub_overflow(a.whole, b.whole, &r)
                                             : __builtin_mul_overflow(a.whole, b.whole, &r);
        if (!over)
            return sqlite3_result_int64(ctx, r);
    }
    // An amount with an amount or a whole number stays an exact amount; with
    // a double, a date or text it is a double like any other number.
    const bool amountA = a.kind == Operand::Amount, amountB = b.kind == Operand::Amount;
    if ((amountA || amountB) && (amountA || a.kind == Operand::Whole) && (amountB || b.kind == Operand::Whole)) {
        std::optional<Currency> r;
        if (op == Arith::Mul && (!amountA || !amountB)) {
            // An amount times a whole number: the count times the number.
            const __int128 p = static_cast<__int128>(amountA ? a.whole : b.whole) * (amountA ? b.whole : a.whole);
            if (p >= -static_cast<__int128>(kCurrencyMaxUnits) && p <= kCurrencyMaxUnits)
                r = Currency{static_cast<std::int64_t>(p)};
        } else {
            const auto x = amountA ? std::optional<Currency>(Currency{a.whole}) : currencyOfWhole(a.whole);
            const auto y = amountB ? std::optional<Currency>(Currency{b.whole}) : currencyOfWhole(b.whole);
            if (x && y)
                r = op == Arith::Add ? currencySum(*x, *y) : op == Arith::Sub ? currencyDifference(*x, *y) : currencyProduct(*x, *y);
        }
        if (!r)
            return sqlite3_result_error(ctx, kOverflowText, -1);
        return resultCurrency(ctx, *r);
    }
    double x = 0, y = 0;
    if (!operandNumber(ctx, argv[0], a, x) || !operandNumber(ctx, argv[1], b, y))
        return;
    const bool dateA = a.kind == Operand::Date, dateB = b.kind == Operand::Date;
    switch (op) {
    case Arith::Add:
        // A date plus a number, or a date plus a time: a date.
        if (dateA || dateB)
            return resultDate(ctx, x + y);
        return resultNumber(ctx, x + y);
    case Arith::Sub:
        // Two dates: the days between them; a date and a number: a date.
        if (dateA && dateB)
            return resultNumber(ctx, x - y);
        if (dateA || dateB)
            return resultDate(ctx, x - y);
        return resultNumber(ctx, x - y);
    case Arith::Mul: return resultNumber(ctx, x * y);
    }
}

// a Mod b: both operands rounded half to even to whole numbers of the Long
// range, the remainder taking the dividend's sign.
void fnMod(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    double a = 0, b = 0;
    if (!roundedOperands(ctx, argv, a, b))
        return;
    const auto inLong = [](double d) { return d >= -2147483648.0 && d <= 2147483647.0; };
    if (!inLong(a) || !inLong(b))
        return sqlite3_result_error(ctx, "Overflow", -1);
    if (b == 0)
        return sqlite3_result_error(ctx, "Division by zero", -1);
    sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(a) % static_cast<sqlite3_int64>(b));
}

/// A stored value as the engine's Value: numbers as they are, text in the
/// stored date shape as its date, other text as text.
Value valueOf(sqlite3_value* v)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL: return Value();
    case SQLITE_INTEGER: return Value(static_cast<long long>(sqlite3_value_int64(v)));
    case SQLITE_FLOAT: return Value(sqlite3_value_double(v));
    default: {
        QString text = argText(v);
        if (const auto d = parseStoredDate(text))
            return Value(*d);
        return Value(std::move(text));
    }
    }
}

// Round(x[, n]): half to even on the decimal digits, n decimals (0 when not
// given); Null gives Null. A date is refused rather than given as a number.
void fnRound(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    qint64 decimals = 0;
    if (argc > 1) {
        double n = 0;
        if (!numberArgument(ctx, argv[1], n))
            return;
        n = std::nearbyint(n);
        if (n < 0 || n > 2147483647.0)
            return sqlite3_result_error(ctx, "Invalid procedure call or argument.", -1);
        decimals = static_cast<qint64>(n);
    }
    if (operand(argv[0]).kind == Operand::Date)
        return sqlite3_result_error(ctx, kMismatch, -1);
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER)
        return sqlite3_result_value(ctx, argv[0]);
    double d = 0;
    if (!numberArgument(ctx, argv[0], d))
        return;
    sqlite3_result_double(ctx, roundHalfEven(d, static_cast<int>(std::min<qint64>(decimals, 400))));
}

// Format(x[, format]): the dialect's text of the value, or the format's refusal.
void fnFormat(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    QString format;
    if (argc > 1) {
        if (sqlite3_value_type(argv[1]) == SQLITE_NULL)
            return sqlite3_result_error(ctx, "Invalid use of Null", -1);
        format = argText(argv[1]);
    }
    const Formatted f = formatValue(valueOf(argv[0]), format);
    if (!f.refusal.isEmpty()) {
        const QByteArray u = f.refusal.toUtf8();
        return sqlite3_result_error(ctx, u.constData(), u.size());
    }
    if (!f.text)
        return sqlite3_result_null(ctx);
    resultText(ctx, *f.text);
}

void fnNz(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) != SQLITE_NULL)
        return sqlite3_result_value(ctx, argv[0]);
    if (argc > 1)
        return sqlite3_result_value(ctx, argv[1]);
    sqlite3_result_text(ctx, "", 0, SQLITE_STATIC);
}

void fnAsc(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_error(ctx, "Invalid use of Null", -1);
    const QString s = jetText(argv[0]);
    if (s.isEmpty())
        return sqlite3_result_error(ctx, "Invalid procedure call or argument.", -1);
    sqlite3_result_int(ctx, s[0].unicode());
}

void fnChr(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_error(ctx, "Invalid use of Null", -1);
    const qint64 c = sqlite3_value_int64(argv[0]);
    if (c < 0 || c > 65535)
        return sqlite3_result_error(ctx, "Invalid procedure call or argument.", -1);
    resultText(ctx, QString(QChar(static_cast<char16_t>(c))));
}

void fnSpace(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL)
        return sqlite3_result_null(ctx);
    const qint64 n = sqlite3_value_int64(argv[0]);
    if (n < 0)
        return sqlite3_result_error(ctx, "Invalid procedure call or argument.", -1);
    resultText(ctx, QString(static_cast<int>(std::min<qint64>(n, 1 << 20)), QLatin1Char(' ')));
}

void fnConcat(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    // a & b: Null counts as "", the result is Null only when both are Null.
    QString out;
    bool allNull = true;
    for (int i = 0; i < argc; ++i) {
        bool isNull = false;
        out += jetText(argv[i], &isNull);
        allNull = allNull && isNull;
    }
    if (allNull)
        return sqlite3_result_null(ctx);
    resultText(ctx, out);
}

void fnNow(sqlite3_context* ctx, int, sqlite3_value**)
{
    const QDateTime now = QDateTime::currentDateTime();
    const DateParts p{now.date().year(), now.date().month(), now.date().day(),
                      now.time().hour(), now.time().minute(), now.time().second()};
    resultText(ctx, storedDate(toDateTime(p)));
}

void fnDate(sqlite3_context* ctx, int, sqlite3_value**)
{
    const QDate d = QDate::currentDate();
    resultText(ctx, storedDate(toDateTime({d.year(), d.month(), d.day(), 0, 0, 0})));
}

void fnUcaseText(sqlite3_context* ctx, int argc, sqlite3_value** argv) { fnText1<upper>(ctx, argc, argv); }

// ---- FIRST / LAST aggregates ------------------------------------------------

struct Held {
    sqlite3_value* v = nullptr;
};

void firstStep(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    auto* h = static_cast<Held*>(sqlite3_aggregate_context(ctx, sizeof(Held)));
    if (h && !h->v)
        h->v = sqlite3_value_dup(argv[0]);
}

void lastStep(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    auto* h = static_cast<Held*>(sqlite3_aggregate_context(ctx, sizeof(Held)));
    if (!h)
        return;
    sqlite3_value_free(h->v);
    h->v = sqlite3_value_dup(argv[0]);
}

void heldFinal(sqlite3_context* ctx)
{
    auto* h = static_cast<Held*>(sqlite3_aggregate_context(ctx, 0));
    if (h && h->v) {
        sqlite3_result_value(ctx, h->v);
        sqlite3_value_free(h->v);
        h->v = nullptr;
    } else {
        sqlite3_result_null(ctx);
    }
}

void add(sqlite3* db, const char* name, int nargs, void (*fn)(sqlite3_context*, int, sqlite3_value**),
         bool deterministic = true)
{
    const int flags = SQLITE_UTF8 | (deterministic ? SQLITE_DETERMINISTIC : 0);
    sqlite3_create_function(db, name, nargs, flags, nullptr, fn, nullptr, nullptr);
}

/// A function that may give an amount, and its "_x" twin that gives it as
/// marked text (see jet_cur). Both read the mark on their arguments.
void addAmount(sqlite3* db, const char* name, int nargs, void (*fn)(sqlite3_context*, int, sqlite3_value**))
{
    int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
#ifdef SQLITE_SUBTYPE
    flags |= SQLITE_SUBTYPE;
#endif
#ifdef SQLITE_RESULT_SUBTYPE
    flags |= SQLITE_RESULT_SUBTYPE;
#endif
    static char exact = 1;
    sqlite3_create_function(db, name, nargs, flags, nullptr, fn, nullptr, nullptr);
    const QByteArray twin = QByteArray(name) + "_x";
    sqlite3_create_function(db, twin.constData(), nargs, flags, &exact, fn, nullptr, nullptr);
}

} // namespace

ScopedFunction::ScopedFunction(sqlite3* db, const char* name, int args, void* data, Fn fn)
    : db_(db), name_(name), args_(args)
{
    sqlite3_create_function(db_, name_, args_, SQLITE_UTF8, data, fn, nullptr, nullptr);
}

ScopedFunction::~ScopedFunction()
{
    sqlite3_create_function(db_, name_, args_, SQLITE_UTF8, nullptr, nullptr, nullptr, nullptr);
}

int jetCompare(const char* a, int na, const char* b, int nb)
{
    const int n = std::min(na, nb);
    int i = 0;
    for (; i < n; ++i) {
        unsigned char ca = static_cast<unsigned char>(a[i]);
        unsigned char cb = static_cast<unsigned char>(b[i]);
        if ((ca | cb) & 0x80)
            break;   // non-ASCII from here on: compare the rest as Unicode
        if (ca >= 'A' && ca <= 'Z')
            ca += 32;
        if (cb >= 'A' && cb <= 'Z')
            cb += 32;
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (i == n)
        return na == nb ? 0 : (na < nb ? -1 : 1);
    // Back up to the start of the UTF-8 sequence.
    while (i > 0 && (static_cast<unsigned char>(a[i]) & 0xC0) == 0x80)
        --i;
    // The rests as UTF-16: on the stack when short (the usual case in a
    // sort's millions of compares), in strings when long.
    constexpr int kMax = 1024;
    int c = 0;
    if (na - i > kMax || nb - i > kMax) {
        const QString qa = textFromUtf8(a + i, na - i);
        const QString qb = textFromUtf8(b + i, nb - i);
        c = QString::compare(qa, qb, Qt::CaseInsensitive);
    } else {
        char16_t ua[kMax], ub[kMax];   // left as they are: QChar arrays would be zeroed first
        QStringDecoder da(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        QStringDecoder db(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        const QChar* ea = da.appendToBuffer(reinterpret_cast<QChar*>(ua), QByteArrayView(a + i, na - i));
        const QChar* eb = db.appendToBuffer(reinterpret_cast<QChar*>(ub), QByteArrayView(b + i, nb - i));
        const auto la = ea - reinterpret_cast<const QChar*>(ua), lb = eb - reinterpret_cast<const QChar*>(ub);
        c = QStringView(ua, la).compare(QStringView(ub, lb), Qt::CaseInsensitive);
    }
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

QString exactTextSql(const QString& ref, int fieldType)
{
    if (fieldType == dbCurrency)
        return QStringLiteral("jet_exacttext(jet_cur_x(%1))").arg(ref);
    return QStringLiteral("jet_exacttext(%1)").arg(ref);
}

bool jetLike(const QString& text, const QString& pattern)
{
    return matchAt(compilePattern(pattern), 0, text.toCaseFolded(), 0);
}

void registerSqlFunctions(sqlite3* db)
{
    sqlite3_create_collation(db, "JETCI", SQLITE_UTF8, nullptr, collateJetCi);
    add(db, "like", 2, fnLike);
    add(db, "like", 3, fnLike);
    add(db, "jet_len", 1, fnLen);
    add(db, "jet_left", 2, fnLeft);
    add(db, "jet_right", 2, fnRight);
    add(db, "jet_mid", 2, fnMid);
    add(db, "jet_mid", 3, fnMid);
    add(db, "jet_ucase", 1, fnUcaseText);
    add(db, "jet_lcase", 1, fnText1<lower>);
    add(db, "jet_trim", 1, fnText1<trimSpaces>);
    add(db, "jet_ltrim", 1, fnText1<ltrimSpaces>);
    add(db, "jet_rtrim", 1, fnText1<rtrimSpaces>);
    add(db, "jet_text", 1, fnText1<same>);
    add(db, "jet_instr", 2, fnInstr);
    add(db, "jet_instr", 3, fnInstr);
    add(db, "jet_instr", 4, fnInstr);
    add(db, "jet_cstr", 1, fnCStr);
    add(db, "jet_exacttext", 1, fnExactText);
    add(db, "jet_clng", 1, fnCLng);
    add(db, "jet_cint", 1, fnCInt);
    add(db, "jet_cdbl", 1, fnCDbl);
    add(db, "jet_cbool", 1, fnCBool);
    add(db, "jet_cbyte", 1, fnCByte);
    addAmount(db, "jet_ccur", 1, fnCCur);
    addAmount(db, "jet_cur", 1, fnCur);
    add(db, "jet_curavg", 1, fnCurAvg);
    add(db, "jet_cur_out", 1, fnCurOut);
    add(db, "jet_csng", 1, fnCSng);
    add(db, "jet_cdec", 1, fnCDec);
    add(db, "jet_cvar", 1, fnCVar);
    add(db, "jet_cdate", 1, fnCDate);
    add(db, "jet_idiv", 2, fnIntDiv);
    add(db, "jet_val", 1, fnVal);
    add(db, "jet_isnull", 1, fnIsNull);
    add(db, "jet_store", 1, fnStore);
    addAmount(db, "jet_put", 2, fnPut);
    add(db, "jet_div", 2, fnDiv);
    add(db, "jet_serial", 1, fnSerial);
    addAmount(db, "jet_add", 2, fnArith<Arith::Add>);
    addAmount(db, "jet_sub", 2, fnArith<Arith::Sub>);
    addAmount(db, "jet_mul", 2, fnArith<Arith::Mul>);
    add(db, "jet_mod", 2, fnMod);
    add(db, "jet_round", 1, fnRound);
    add(db, "jet_round", 2, fnRound);
    add(db, "jet_format", 1, fnFormat);
    add(db, "jet_format", 2, fnFormat);
    add(db, "jet_nz", 1, fnNz);
    add(db, "jet_nz", 2, fnNz);
    add(db, "jet_asc", 1, fnAsc);
    add(db, "jet_chr", 1, fnChr);
    add(db, "jet_space", 1, fnSpace);
    add(db, "jet_concat", -1, fnConcat);
    add(db, "jet_now", 0, fnNow, false);
    add(db, "jet_date", 0, fnDate, false);
    sqlite3_create_function(db, "jet_first", 1, SQLITE_UTF8, nullptr, nullptr, firstStep, heldFinal);
    sqlite3_create_function(db, "jet_last", 1, SQLITE_UTF8, nullptr, nullptr, lastStep, heldFinal);
}

} // namespace jet
