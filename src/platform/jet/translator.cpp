// The dialect translator. See translator.h for what it mends. The tokens are
// kept with their kind, so a "*" inside a quoted literal or a bracketed name is
// never mistaken for an operator, and a rewrite works on whole operands.
#include "platform/jet/translator.h"

#include "platform/jet/error.h"
#include "platform/jet/schema.h"
#include "platform/jet/value.h"

#include <QHash>
#include <QSet>
#include <algorithm>

namespace jet {
namespace {

enum class T { Word, Name, Str, Date, Num, Op, LParen, RParen, Comma, Dot, Semi };

struct Tok {
    T t;
    QString text;   // Word: as written; Name: inside brackets; Str: value; Date: stored form
    int pos = 0;
    bool is(const char* w) const { return t == T::Word && text.compare(QLatin1String(w), Qt::CaseInsensitive) == 0; }
    bool op(const char* o) const { return t == T::Op && text == QLatin1String(o); }
};

using Toks = std::vector<Tok>;

[[noreturn]] void fail(const QString& what, const QString& sql)
{
    throw JetError(errSyntax, what + QStringLiteral(" in statement: ") + sql.simplified());
}

Toks tokenize(const QString& s)
{
    Toks out;
    const int n = s.size();
    int i = 0;
    while (i < n) {
        const QChar c = s[i];
        if (c.isSpace()) {
            ++i;
            continue;
        }
        const int start = i;
        if (c == QLatin1Char('[')) {
            const int close = s.indexOf(QLatin1Char(']'), i + 1);
            if (close < 0)
                fail(QStringLiteral("Missing ] in name"), s);
            out.push_back({T::Name, s.mid(i + 1, close - i - 1), start});
            i = close + 1;
        } else if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            QString v;
            ++i;
            bool closed = false;
            while (i < n) {
                if (s[i] == c) {
                    if (i + 1 < n && s[i + 1] == c) {
                        v += c;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                v += s[i++];
            }
            if (!closed)
                fail(QStringLiteral("Missing closing quote"), s);
            out.push_back({T::Str, v, start});
        } else if (c == QLatin1Char('#')) {
            const int close = s.indexOf(QLatin1Char('#'), i + 1);
            if (close < 0)
                fail(QStringLiteral("Missing # after date"), s);
            const QString stored = dateLiteralToStored(s.mid(i + 1, close - i - 1));
            if (stored.isEmpty())
                fail(QStringLiteral("Invalid date '") + s.mid(i, close - i + 1) + QLatin1Char('\''), s);
            out.push_back({T::Date, stored, start});
            i = close + 1;
        } else if (c.isDigit() || (c == QLatin1Char('.') && i + 1 < n && s[i + 1].isDigit()
                                   && (out.empty() || (out.back().t != T::Name && out.back().t != T::Word
                                                       && out.back().t != T::RParen)))) {
            while (i < n && (s[i].isDigit() || s[i] == QLatin1Char('.')))
                ++i;
            if (i < n && (s[i] == QLatin1Char('e') || s[i] == QLatin1Char('E'))) {
                int j = i + 1;
                if (j < n && (s[j] == QLatin1Char('+') || s[j] == QLatin1Char('-')))
                    ++j;
                if (j < n && s[j].isDigit()) {
                    i = j;
                    while (i < n && s[i].isDigit())
                        ++i;
                }
            }
            out.push_back({T::Num, s.mid(start, i - start), start});
        } else if (c.isLetter() || c == QLatin1Char('_')) {
            while (i < n && (s[i].isLetterOrNumber() || s[i] == QLatin1Char('_') || s[i] == QLatin1Char('$')))
                ++i;
            out.push_back({T::Word, s.mid(start, i - start), start});
        } else if (c == QLatin1Char('(')) {
            out.push_back({T::LParen, QStringLiteral("("), start});
            ++i;
        } else if (c == QLatin1Char(')')) {
            out.push_back({T::RParen, QStringLiteral(")"), start});
            ++i;
        } else if (c == QLatin1Char(',')) {
            out.push_back({T::Comma, QStringLiteral(","), start});
            ++i;
        } else if (c == QLatin1Char('.')) {
            out.push_back({T::Dot, QStringLiteral("."), start});
            ++i;
        } else if (c == QLatin1Char(';')) {
            out.push_back({T::Semi, QStringLiteral(";"), start});
            ++i;
        } else {
            static const char* two[] = {"<>", "<=", ">=", "!="};
            QString o(c);
            for (const char* t : two)
                if (s.mid(i, 2) == QLatin1String(t))
                    o = QLatin1String(t);
            if (QStringLiteral("=<>+-*/&\\^!%").contains(o[0]) || o.size() == 2) {
                out.push_back({T::Op, o, start});
                i += o.size();
            } else {
                fail(QStringLiteral("Unexpected character '") + c + QLatin1Char('\''), s);
            }
        }
    }
    return out;
}

// Functions with the engine's meaning, written as jet_* in SQLite.
const QHash<QString, QString>& functionMap()
{
    static const QHash<QString, QString> m = {
        {QStringLiteral("LEN"), QStringLiteral("jet_len")},
        {QStringLiteral("LEFT"), QStringLiteral("jet_left")},
        {QStringLiteral("RIGHT"), QStringLiteral("jet_right")},
        {QStringLiteral("MID"), QStringLiteral("jet_mid")},
        {QStringLiteral("UCASE"), QStringLiteral("jet_ucase")},
        {QStringLiteral("LCASE"), QStringLiteral("jet_lcase")},
        {QStringLiteral("TRIM"), QStringLiteral("jet_trim")},
        {QStringLiteral("LTRIM"), QStringLiteral("jet_ltrim")},
        {QStringLiteral("RTRIM"), QStringLiteral("jet_rtrim")},
        {QStringLiteral("INSTR"), QStringLiteral("jet_instr")},
        {QStringLiteral("CSTR"), QStringLiteral("jet_cstr")},
        {QStringLiteral("CLNG"), QStringLiteral("jet_clng")},
        {QStringLiteral("CINT"), QStringLiteral("jet_cint")},
        {QStringLiteral("CDBL"), QStringLiteral("jet_cdbl")},
        {QStringLiteral("CBOOL"), QStringLiteral("jet_cbool")},
        {QStringLiteral("CBYTE"), QStringLiteral("jet_cbyte")},
        {QStringLiteral("CCUR"), QStringLiteral("jet_ccur")},
        {QStringLiteral("CSNG"), QStringLiteral("jet_csng")},
        {QStringLiteral("CDEC"), QStringLiteral("jet_cdec")},
        {QStringLiteral("CVAR"), QStringLiteral("jet_cvar")},
        {QStringLiteral("CDATE"), QStringLiteral("jet_cdate")},
        {QStringLiteral("VAL"), QStringLiteral("jet_val")},
        {QStringLiteral("ISNULL"), QStringLiteral("jet_isnull")},
        {QStringLiteral("NZ"), QStringLiteral("jet_nz")},
        {QStringLiteral("ASC"), QStringLiteral("jet_asc")},
        {QStringLiteral("CHR"), QStringLiteral("jet_chr")},
        {QStringLiteral("CHR$"), QStringLiteral("jet_chr")},
        // The $ forms of the text functions, which give text as the plain ones do.
        {QStringLiteral("LEFT$"), QStringLiteral("jet_left")},
        {QStringLiteral("RIGHT$"), QStringLiteral("jet_right")},
        {QStringLiteral("MID$"), QStringLiteral("jet_mid")},
        {QStringLiteral("UCASE$"), QStringLiteral("jet_ucase")},
        {QStringLiteral("LCASE$"), QStringLiteral("jet_lcase")},
        {QStringLiteral("TRIM$"), QStringLiteral("jet_trim")},
        {QStringLiteral("LTRIM$"), QStringLiteral("jet_ltrim")},
        {QStringLiteral("RTRIM$"), QStringLiteral("jet_rtrim")},
        {QStringLiteral("SPACE$"), QStringLiteral("jet_space")},
        {QStringLiteral("SPACE"), QStringLiteral("jet_space")},
        {QStringLiteral("NOW"), QStringLiteral("jet_now")},
        {QStringLiteral("DATE"), QStringLiteral("jet_date")},
        {QStringLiteral("ROUND"), QStringLiteral("jet_round")},
        {QStringLiteral("FORMAT"), QStringLiteral("jet_format")},
        {QStringLiteral("FIRST"), QStringLiteral("jet_first")},
        {QStringLiteral("LAST"), QStringLiteral("jet_last")},
        {QStringLiteral("IIF"), QStringLiteral("iif")},
        {QStringLiteral("ABS"), QStringLiteral("abs")},
        {QStringLiteral("COUNT"), QStringLiteral("count")},
        {QStringLiteral("MIN"), QStringLiteral("min")},
        {QStringLiteral("MAX"), QStringLiteral("max")},
        {QStringLiteral("SUM"), QStringLiteral("sum")},
        {QStringLiteral("AVG"), QStringLiteral("avg")},
    };
    return m;
}

// Only the dialect's own functions are known: a call of any other name is
// refused as the engine refuses it, before SQLite could answer it with a
// function of its own that happens to share the name (round, format,
// replace, ...). Runs on the statement as written, so the functions the
// translator itself writes are never in question; the program's own run
// functions (qb_*, see ScopedFunction) pass.
bool isBoundaryWord(const Tok& t);

void refuseUnknownFunctions(const Toks& v)
{
    static const QSet<QString> notCalls = {
        QStringLiteral("EXISTS"), QStringLiteral("ANY"), QStringLiteral("SOME"), QStringLiteral("ALL"),
        QStringLiteral("MOD"),    QStringLiteral("VALUES"), QStringLiteral("IMP"), QStringLiteral("DISTINCTROW"),
    };
    for (size_t i = 0; i + 1 < v.size(); ++i) {
        const Tok& t = v[i];
        if (t.t != T::Word || v[i + 1].t != T::LParen)
            continue;
        const QString up = t.text.toUpper();
        if (functionMap().contains(up) || up.startsWith(QLatin1String("QB_")))
            continue;   // the dialect's, or one a run of the program registers for its statement
        if (isBoundaryWord(t) || notCalls.contains(up))
            continue;   // IN (...), AND (...), EXISTS (...): no call
        if (i > 0 && (v[i - 1].t == T::Dot || v[i - 1].is("INTO") || v[i - 1].is("FROM") || v[i - 1].is("JOIN")
                      || v[i - 1].is("UPDATE") || v[i - 1].is("TABLE")))
            continue;   // INSERT INTO t (columns), a table name
        throw JetError(errUndefinedFunction, QStringLiteral("Undefined function '%1' in expression.").arg(t.text));
    }
}

bool isBoundaryWord(const Tok& t)
{
    static const QSet<QString> words = {
        QStringLiteral("AND"), QStringLiteral("OR"), QStringLiteral("NOT"), QStringLiteral("LIKE"),
        QStringLiteral("IS"), QStringLiteral("IN"), QStringLiteral("BETWEEN"), QStringLiteral("AS"),
        QStringLiteral("FROM"), QStringLiteral("WHERE"), QStringLiteral("SET"), QStringLiteral("ON"),
        QStringLiteral("THEN"), QStringLiteral("ELSE"), QStringLiteral("WHEN"), QStringLiteral("END"),
        QStringLiteral("CASE"), QStringLiteral("SELECT"), QStringLiteral("ORDER"), QStringLiteral("GROUP"),
        QStringLiteral("HAVING"), QStringLiteral("BY"), QStringLiteral("ASC"), QStringLiteral("DESC"),
        QStringLiteral("INTO"), QStringLiteral("VALUES"), QStringLiteral("JOIN"), QStringLiteral("INNER"),
        QStringLiteral("LEFT"), QStringLiteral("RIGHT"), QStringLiteral("UNION"), QStringLiteral("DISTINCT"),
        QStringLiteral("TOP"), QStringLiteral("XOR"), QStringLiteral("EQV"),
    };
    return t.t == T::Word && words.contains(t.text.toUpper());
}

bool isComparison(const Tok& t)
{
    return t.t == T::Op && (t.text == QLatin1String("=") || t.text == QLatin1String("<>") || t.text == QLatin1String("<")
                            || t.text == QLatin1String(">") || t.text == QLatin1String("<=")
                            || t.text == QLatin1String(">=") || t.text == QLatin1String("!="));
}

bool isBoundary(const Toks& v, size_t i)
{
    const Tok& t = v[i];
    if (t.t == T::Comma || t.t == T::Semi || isComparison(t))
        return true;
    if (isBoundaryWord(t)) {
        // LEFT( and RIGHT( are functions, not joins.
        if (i + 1 < v.size() && v[i + 1].t == T::LParen && functionMap().contains(t.text.toUpper()))
            return false;
        return true;
    }
    return false;
}

// a & b & c -> jet_concat(a, b, c): the operands of & reach, at the same
// parenthesis depth, to the nearest comparison, logical word, comma or clause.
void rewriteConcat(Toks& v)
{
    for (size_t k = 0; k < v.size(); ++k) {
        if (!v[k].op("&"))
            continue;
        // find the left end of the first operand
        long i = static_cast<long>(k) - 1;
        int depth = 0;
        for (; i >= 0; --i) {
            if (v[i].t == T::RParen) {
                ++depth;
                continue;
            }
            if (v[i].t == T::LParen) {
                if (depth == 0)
                    break;
                --depth;
                continue;
            }
            if (depth == 0 && isBoundary(v, static_cast<size_t>(i)))
                break;
        }
        const size_t begin = static_cast<size_t>(i + 1);
        // walk right over the chain, splitting at & of this depth
        std::vector<Toks> operands(1);
        for (size_t j = begin; j < k; ++j)
            operands.back().push_back(v[j]);
        size_t j = k;
        depth = 0;
        for (; j < v.size(); ++j) {
            const Tok& t = v[j];
            if (t.t == T::LParen)
                ++depth;
            else if (t.t == T::RParen) {
                if (depth == 0)
                    break;
                --depth;
            } else if (depth == 0 && t.op("&")) {
                operands.emplace_back();
                continue;
            } else if (depth == 0 && isBoundary(v, j)) {
                break;
            }
            operands.back().push_back(t);
        }
        Toks repl;
        repl.push_back({T::Word, QStringLiteral("jet_concat"), v[k].pos});
        repl.push_back({T::LParen, QStringLiteral("("), v[k].pos});
        for (size_t o = 0; o < operands.size(); ++o) {
            if (o)
                repl.push_back({T::Comma, QStringLiteral(","), v[k].pos});
            if (operands[o].empty())
                throw JetError(errSyntax, QStringLiteral("Syntax error (missing operand) in query expression."));
            repl.push_back({T::LParen, QStringLiteral("("), v[k].pos});
            repl.insert(repl.end(), operands[o].begin(), operands[o].end());
            repl.push_back({T::RParen, QStringLiteral(")"), v[k].pos});
        }
        repl.push_back({T::RParen, QStringLiteral(")"), v[k].pos});
        v.erase(v.begin() + static_cast<long>(begin), v.begin() + static_cast<long>(j));
        v.insert(v.begin() + static_cast<long>(begin), repl.begin(), repl.end());
        k = begin;   // rescan from the rewritten chain (inner & are inside parentheses)
    }
}

// Whole-number division binds less tightly than "*" and "/" and more tightly
// than MOD, "+" and "-"; its operands reach over "*", "/", "^" and signs.
bool bindsWithinDivision(const Toks& v, size_t i)
{
    const Tok& t = v[i];
    return t.op("*") || t.op("/") || t.op("^");
}

/// A "+" or "-" at i that is a sign rather than an operator.
bool isSign(const Toks& v, size_t i)
{
    if (!v[i].op("+") && !v[i].op("-"))
        return false;
    if (i == 0)
        return true;
    const Tok& p = v[i - 1];
    return p.t == T::Op || p.t == T::LParen || p.t == T::Comma || p.is("MOD") || isBoundaryWord(p);
}

/// The tokens at parenthesis depth 0 that end an operand of "\".
bool endsDivisionOperand(const Toks& v, size_t i)
{
    const Tok& t = v[i];
    if (t.t == T::Op)
        return !bindsWithinDivision(v, i) && !isSign(v, i);
    return t.is("MOD") || isBoundary(v, i);
}

using OperandStop = bool (*)(const Toks&, size_t);

// The operand that ends just before v[k] starts here: at the same parenthesis
// depth, after the nearest token that stops it (by default a comparison,
// logical word, comma or clause).
size_t operandStart(const Toks& v, size_t k, OperandStop stops = isBoundary)
{
    long i = static_cast<long>(k) - 1;
    int depth = 0;
    for (; i >= 0; --i) {
        if (v[i].t == T::RParen) {
            ++depth;
        } else if (v[i].t == T::LParen) {
            if (depth == 0)
                break;
            --depth;
        } else if (depth == 0 && stops(v, static_cast<size_t>(i))) {
            break;
        }
    }
    return static_cast<size_t>(i + 1);
}

/// One past the end of the operand that starts just after v[k].
size_t operandEnd(const Toks& v, size_t k, OperandStop stops = isBoundary)
{
    size_t j = k + 1;
    int depth = 0;
    for (; j < v.size(); ++j) {
        if (v[j].t == T::LParen) {
            ++depth;
        } else if (v[j].t == T::RParen) {
            if (depth == 0)
                break;
            --depth;
        } else if (depth == 0 && stops(v, j)) {
            break;
        }
    }
    return j;
}

/// Replaces the operands v[begin, k) and v[k + 1, j) of the operator at k
/// by the call fn((left), (right)).
void callInPlace(Toks& v, size_t begin, size_t k, size_t j, const QString& fn)
{
    const int pos = v[k].pos;
    Toks repl;
    repl.push_back({T::Word, fn, pos});
    repl.push_back({T::LParen, QStringLiteral("("), pos});
    repl.push_back({T::LParen, QStringLiteral("("), pos});
    repl.insert(repl.end(), v.begin() + static_cast<long>(begin), v.begin() + static_cast<long>(k));
    repl.push_back({T::RParen, QStringLiteral(")"), pos});
    repl.push_back({T::Comma, QStringLiteral(","), pos});
    repl.push_back({T::LParen, QStringLiteral("("), pos});
    repl.insert(repl.end(), v.begin() + static_cast<long>(k + 1), v.begin() + static_cast<long>(j));
    repl.push_back({T::RParen, QStringLiteral(")"), pos});
    repl.push_back({T::RParen, QStringLiteral(")"), pos});
    v.erase(v.begin() + static_cast<long>(begin), v.begin() + static_cast<long>(j));
    v.insert(v.begin() + static_cast<long>(begin), repl.begin(), repl.end());
}

// a \ b -> jet_idiv((a), (b)): the engine rounds both operands to whole
// numbers and cuts the quotient towards zero, where SQLite's "/" would keep a
// fraction of real operands and mix up the precedence of "*" and "/".
void rewriteWholeDivision(Toks& v)
{
    for (size_t k = 0; k < v.size(); ++k) {
        if (!v[k].op("\\"))
            continue;
        const size_t begin = operandStart(v, k, endsDivisionOperand);
        const size_t j = operandEnd(v, k, endsDivisionOperand);
        if (begin == k || j == k + 1)
            throw JetError(errSyntax, QStringLiteral("Syntax error (missing operand) in query expression."));
        callInPlace(v, begin, k, j, QStringLiteral("jet_idiv"));
        k = begin;   // a chain a \ b \ c goes on from the rewritten call
    }
}

/// The tokens at parenthesis depth 0 that end the divisor of "/": it reaches
/// over "^" and signs only.
bool endsDivisor(const Toks& v, size_t i)
{
    const Tok& t = v[i];
    if (t.t == T::Op)
        return !t.op("^") && !isSign(v, i);
    return t.is("MOD") || isBoundary(v, i);
}

// a / b -> jet_div((a), (b)): the engine's quotient is a double, and a
// division by zero is an error where SQLite's gives Null. The dividend
// reaches back over "*" and "/" (they bind alike, from the left), the
// divisor only over "^" and signs.
void rewriteDivision(Toks& v)
{
    for (size_t k = 0; k < v.size(); ++k) {
        if (!v[k].op("/"))
            continue;
        size_t begin = operandStart(v, k, endsDivisionOperand);
        if (begin > 0 && begin < k && v[begin - 1].is("TOP") && v[begin].t == T::Num)
            ++begin;   // SELECT TOP n a / b: the count is not part of the dividend
        const size_t j = operandEnd(v, k, endsDivisor);
        if (begin == k || j == k + 1)
            throw JetError(errSyntax, QStringLiteral("Syntax error (missing operand) in query expression."));
        callInPlace(v, begin, k, j, QStringLiteral("jet_div"));
        k = begin;   // a chain a / b / c goes on from the rewritten call
    }
}

// ---- arithmetic ---------------------------------------------------------------

/// The columns of the tables a statement names (after FROM, JOIN, UPDATE
/// and INTO), to tell a column's type by its name.
struct StatementColumns {
    std::vector<ColumnList> tables;

    /// The field type of the column, 0 when no table or two tables with
    /// different types hold a column of that name.
    int typeOf(const QString& column) const
    {
        int found = 0;
        for (const ColumnList& t : tables)
            for (const ColumnInfo& c : t)
                if (c.name.compare(column, Qt::CaseInsensitive) == 0) {
                    if (found && found != c.type)
                        return 0;
                    found = c.type;
                }
        return found;
    }
};

StatementColumns statementColumns(const Toks& v, const ColumnsOf& columnsOf)
{
    StatementColumns s;
    if (!columnsOf)
        return s;
    QSet<QString> seen;
    for (size_t i = 0; i + 1 < v.size(); ++i) {
        if (!(v[i].is("FROM") || v[i].is("JOIN") || v[i].is("UPDATE") || v[i].is("INTO")))
            continue;
        const Tok& t = v[i + 1];
        if ((t.t != T::Name && t.t != T::Word) || t.is("SELECT") || (t.t == T::Name && isExternalSpec(t.text)))
            continue;
        if (i + 2 < v.size() && v[i + 2].t == T::Dot)
            continue;   // [other database].[table]
        const QString key = t.text.toLower();
        if (seen.contains(key))
            continue;
        seen.insert(key);
        ColumnList cols = columnsOf(t.text);
        if (!cols.empty())
            s.tables.push_back(std::move(cols));
    }
    return s;
}

bool isWholeType(int type)
{
    switch (type) {
    case dbBoolean: case dbByte: case dbInteger: case dbLong:
        return true;
    default: return false;
    }
}

/// One past the parenthesis that closes the one at v[open] (v.size() when none does).
size_t pastClose(const Toks& v, size_t open)
{
    int depth = 0;
    for (size_t i = open; i < v.size(); ++i) {
        if (v[i].t == T::LParen)
            ++depth;
        else if (v[i].t == T::RParen && --depth == 0)
            return i + 1;
    }
    return v.size();
}

/// Functions whose value is always a whole number (or Null).
bool wholeFunction(const Tok& t)
{
    static const QSet<QString> names = {
        QStringLiteral("LEN"),   QStringLiteral("CLNG"),   QStringLiteral("CINT"),     QStringLiteral("CBYTE"),
        QStringLiteral("CBOOL"), QStringLiteral("INSTR"),  QStringLiteral("ASC"),      QStringLiteral("COUNT"),
        QStringLiteral("ISNULL"), QStringLiteral("JET_IDIV"), QStringLiteral("JET_MOD"),
    };
    return t.t == T::Word && names.contains(t.text.toUpper());
}

/// v[a, b) is sure to give a whole number (or Null): whole literals, columns
/// of a whole-number type, whole-number functions, and + - * between them.
/// SQLite's arithmetic of such numbers is the engine's, without a date to
/// misread or a double to run past its range.
bool surelyWhole(const Toks& v, size_t a, size_t b, const StatementColumns& cols)
{
    if (a >= b)
        return false;
    for (size_t i = a; i < b;) {
        const Tok& t = v[i];
        const bool wholeLiteral = t.t == T::Num && std::all_of(t.text.begin(), t.text.end(), [](QChar c) { return c.isDigit(); })
                                  && t.text.size() < 10;
        if (wholeLiteral || t.op("+") || t.op("-") || t.op("*") || t.is("TRUE") || t.is("FALSE") || t.is("NULL")) {
            ++i;
        } else if (t.t == T::LParen) {
            const size_t e = std::min(pastClose(v, i), b);
            if (e < i + 2 || !surelyWhole(v, i + 1, e - 1, cols))
                return false;
            i = e;
        } else if (i + 1 < b && v[i + 1].t == T::LParen) {
            if (!wholeFunction(t))
                return false;
            i = std::min(pastClose(v, i + 1), b);
        } else if (t.t == T::Name || (t.t == T::Word && !isBoundaryWord(t))) {
            size_t j = i;
            while (j + 2 < b && v[j + 1].t == T::Dot)
                j += 2;
            if (!isWholeType(cols.typeOf(v[j].text)))
                return false;
            i = j + 1;
        } else {
            return false;
        }
    }
    return true;
}

/// v[i] is the operator op between two operands (not a sign, not the * of
/// SELECT * or COUNT(*)).
bool isBinary(const Toks& v, size_t i, const char* op)
{
    if (i == 0 || !v[i].op(op) || isSign(v, i) || i + 1 >= v.size())
        return false;
    const Tok& p = v[i - 1];
    const bool leftEnds = p.t == T::Num || p.t == T::Str || p.t == T::Date || p.t == T::Name || p.t == T::RParen
                          || (p.t == T::Word && !isBoundaryWord(p));
    const Tok& n = v[i + 1];
    const bool rightStarts = n.t != T::Comma && n.t != T::RParen && n.t != T::Semi && n.t != T::Dot
                             && !(isBoundaryWord(n) && !n.is("NOT"));
    return leftEnds && rightStarts;
}

/// The operands of Mod reach over "*", "^" and signs (the divisions are calls by now).
bool endsModOperand(const Toks& v, size_t i)
{
    const Tok& t = v[i];
    if (t.t == T::Op)
        return !t.op("*") && !t.op("^") && !isSign(v, i);
    return t.is("MOD") || isBoundary(v, i);
}

// a Mod b -> jet_mod((a), (b)): the engine rounds both operands half to even
// and stops at a zero divisor, where SQLite's "%" cuts them and gives Null.
void rewriteMod(Toks& v)
{
    for (size_t k = 0; k < v.size(); ++k) {
        if (!v[k].is("MOD"))
            continue;
        const size_t begin = operandStart(v, k, endsModOperand);
        const size_t j = operandEnd(v, k, endsModOperand);
        if (begin == k || j == k + 1)
            throw JetError(errSyntax, QStringLiteral("Syntax error (missing operand) in query expression."));
        callInPlace(v, begin, k, j, QStringLiteral("jet_mod"));
        k = begin;
    }
}

/// The left operand of "*" reaches back over the products before it.
bool endsProductLeft(const Toks& v, size_t i)
{
    const Tok& t = v[i];
    if (t.t == T::Op)
        return !t.op("*") && !t.op("^") && !isSign(v, i);
    return isBoundary(v, i);
}

/// The right operand of "*" reaches over "^" and signs only.
bool endsProductRight(const Toks& v, size_t i)
{
    const Tok& t = v[i];
    if (t.t == T::Op)
        return !t.op("^") && !isSign(v, i);
    return isBoundary(v, i);
}

/// The left operand of "+" or "-" reaches back over everything before it
/// down to a comparison or a clause.
bool endsSumLeft(const Toks& v, size_t i)
{
    const Tok& t = v[i];
    if (t.t == T::Op)
        return !t.op("+") && !t.op("-") && !t.op("*") && !t.op("^");
    return isBoundary(v, i);
}

/// The right operand of "+" or "-" reaches over "*", "^" and signs.
bool endsSumRight(const Toks& v, size_t i)
{
    const Tok& t = v[i];
    if (t.t == T::Op)
        return !t.op("*") && !t.op("^") && !isSign(v, i);
    return isBoundary(v, i);
}

/// Rewrites each binary op (one of ops) whose operands are not both sure to
/// be numbers into a call of the function that gives the engine's value.
void rewriteArithmetic(Toks& v, const StatementColumns& cols, std::initializer_list<std::pair<const char*, const char*>> ops,
                       OperandStop leftStop, OperandStop rightStop)
{
    for (size_t k = 0; k < v.size(); ++k) {
        const char* fn = nullptr;
        for (const auto& [op, name] : ops)
            if (isBinary(v, k, op))
                fn = name;
        if (!fn)
            continue;
        size_t begin = operandStart(v, k, leftStop);
        if (begin > 0 && begin < k && v[begin - 1].is("TOP") && v[begin].t == T::Num)
            ++begin;   // SELECT TOP n a - b: the count is not part of the operand
        const size_t j = operandEnd(v, k, rightStop);
        if (begin == k || j == k + 1)
            throw JetError(errSyntax, QStringLiteral("Syntax error (missing operand) in query expression."));
        if (surelyWhole(v, begin, k, cols) && surelyWhole(v, k + 1, j, cols))
            continue;   // whole numbers: SQLite's own arithmetic gives the same
        callInPlace(v, begin, k, j, QString::fromLatin1(fn));
        k = begin;
    }
}

// The engine's arithmetic where SQLite's differs: a date plus or minus a
// number is a date, a date minus a date the days between them, text plus
// text joins them, text that is no number is a type mismatch, and a result
// beyond the double range an overflow (SQLite would read the year out of a
// stored date, or give 0 or Inf). Sums and products of whole numbers stay
// SQLite's.
/// The operand of a sign reaches over "^" only.
bool endsNegated(const Toks& v, size_t i)
{
    const Tok& t = v[i];
    if (t.t == T::Op)
        return !t.op("^");
    return isBoundary(v, i);
}

// -x -> jet_sub((0), (x)) where x may be other than a whole number: the
// negative of a date is a date, of text that is no number a type mismatch.
void rewriteNegation(Toks& v, const StatementColumns& cols)
{
    for (size_t k = 0; k + 1 < v.size(); ++k) {
        if (!v[k].op("-") || !isSign(v, k) || v[k + 1].t == T::Op)
            continue;
        const size_t j = operandEnd(v, k, endsNegated);
        if (j == k + 1 || (j == k + 2 && v[k + 1].t == T::Num) || surelyWhole(v, k + 1, j, cols))
            continue;
        v.insert(v.begin() + static_cast<long>(k), Tok{T::Num, QStringLiteral("0"), v[k].pos});
        callInPlace(v, k, k + 1, j + 1, QStringLiteral("jet_sub"));
    }
}

bool isColumnRef(const Toks& v, size_t a, size_t b);

// SUM and AVG of a date column would add up the stored texts' years: the
// form is not built and is refused with the dialect's words.
void refuseDateSums(const Toks& v, const StatementColumns& cols)
{
    for (size_t k = 0; k + 3 < v.size(); ++k) {
        if (!(v[k].is("SUM") || v[k].is("AVG")) || v[k + 1].t != T::LParen)
            continue;
        const size_t e = pastClose(v, k + 1);
        size_t a = k + 2;
        if (a < e && v[a].is("DISTINCT"))
            ++a;
        if (e >= a + 2 && isColumnRef(v, a, e - 1) && cols.typeOf(v[e - 2].text) == dbDate)
            throw JetError(errTypeMismatch, QStringLiteral("Data type mismatch in criteria expression."));
    }
}

void rewriteOperators(Toks& v, const StatementColumns& cols)
{
    refuseDateSums(v, cols);
    rewriteNegation(v, cols);
    rewriteMod(v);
    rewriteArithmetic(v, cols, {{"*", "jet_mul"}}, endsProductLeft, endsProductRight);
    rewriteArithmetic(v, cols, {{"+", "jet_add"}, {"-", "jet_sub"}}, endsSumLeft, endsSumRight);
}

/// v[a, b) gives text (or Null) as it is: a text literal, a text column, a
/// text function, or a function of the program's own.
bool givesText(const Toks& v, size_t a, size_t b, const StatementColumns& cols)
{
    if (a >= b)
        return false;
    const Tok& t = v[a];
    if (b == a + 1) {
        if (t.t == T::Str || t.is("NULL"))
            return true;
    }
    if (isColumnRef(v, a, b)) {
        const int type = cols.typeOf(v[b - 1].text);
        return type == dbText || type == dbMemo;
    }
    if (t.t == T::Word && a + 1 < b && v[a + 1].t == T::LParen) {
        const size_t e = pastClose(v, a + 1);
        const QString up = t.text.toUpper();
        if (up == QLatin1String("JET_STORE")) {
            // jet_store(x) COLLATE JETCI of an INSERT ... SELECT
            if (e == b || (e + 2 == b && v[e].is("COLLATE")))
                return givesText(v, a + 2, e - 1, cols);
            return false;
        }
        if (e != b)
            return false;
        static const QSet<QString> text = {
            QStringLiteral("UCASE"), QStringLiteral("LCASE"), QStringLiteral("TRIM"),  QStringLiteral("LTRIM"),
            QStringLiteral("RTRIM"), QStringLiteral("MID"),   QStringLiteral("LEFT"),  QStringLiteral("RIGHT"),
            QStringLiteral("CSTR"),  QStringLiteral("CHR"),   QStringLiteral("CHR$"),  QStringLiteral("SPACE"),
            QStringLiteral("JET_CONCAT"), QStringLiteral("FORMAT"), QStringLiteral("LEFT$"), QStringLiteral("RIGHT$"),
            QStringLiteral("MID$"), QStringLiteral("UCASE$"), QStringLiteral("LCASE$"), QStringLiteral("TRIM$"),
            QStringLiteral("LTRIM$"), QStringLiteral("RTRIM$"), QStringLiteral("SPACE$"),
        };
        if (text.contains(up))
            return true;
        return !functionMap().contains(up) && !up.startsWith(QLatin1String("JET_"));
    }
    return false;
}

/// Field types whose values a write converts (every type but text and the
/// binary ones, which take what they are given).
bool convertsOnWrite(int type)
{
    switch (type) {
    case dbBoolean: case dbByte: case dbInteger: case dbLong: case dbCurrency:
    case dbSingle: case dbDouble: case dbDate:
        return true;
    default: return false;
    }
}

/// The tokens of jet_put((expression), type) around v[a, b).
void wrapPut(Toks& v, size_t a, size_t b, int type)
{
    const int pos = a < v.size() ? v[a].pos : 0;
    v.insert(v.begin() + static_cast<long>(b),
             {Tok{T::RParen, QStringLiteral(")"), pos}, Tok{T::Comma, QStringLiteral(","), pos},
              Tok{T::Num, QString::number(type), pos}, Tok{T::RParen, QStringLiteral(")"), pos}});
    v.insert(v.begin() + static_cast<long>(a), {Tok{T::Word, QStringLiteral("jet_put"), pos},
                                                Tok{T::LParen, QStringLiteral("("), pos},
                                                Tok{T::LParen, QStringLiteral("("), pos}});
}

/// A value written into a column of the type passes through jet_put: into
/// every type the engine converts, and into text where the value may be a
/// number or a date (which take the engine's text of them).
bool needsPut(int type, const Toks& v, size_t a, size_t b, const StatementColumns& cols)
{
    if (convertsOnWrite(type))
        return true;
    return (type == dbText || type == dbMemo) && !givesText(v, a, b, cols);
}

/// v[a, b) is a column reference: name or alias.name.
bool isColumnRef(const Toks& v, size_t a, size_t b)
{
    if (a >= b || (b - a) % 2 == 0)
        return false;
    for (size_t i = a; i < b; ++i) {
        if ((i - a) % 2 == 1) {
            if (v[i].t != T::Dot)
                return false;
        } else if (v[i].t == T::Word) {
            if (v[i].is("TRUE") || v[i].is("FALSE") || v[i].is("YES") || v[i].is("NO") || v[i].is("NULL"))
                return false;
        } else if (v[i].t != T::Name) {
            return false;
        }
    }
    return true;
}

/// v[a, b) is one literal that case cannot change: a number or a text without letters.
bool caseBlindLiteral(const Toks& v, size_t a, size_t b)
{
    if (b != a + 1)
        return false;
    if (v[a].t == T::Num)
        return true;
    if (v[a].t != T::Str)
        return false;
    return std::none_of(v[a].text.begin(), v[a].text.end(), [](QChar c) { return c.isLetter(); });
}

// The engine compares text without case everywhere. SQLite does so here only
// when an operand is a column (its JETCI collation then applies); a comparison
// of two expressions, IIF(ISNULL(x),"",x)="Ann" or CSTR(a)=CSTR(b), would fall
// back to binary. Such comparisons get the collation written out. Numbers
// ignore a collation; comparisons with a column keep theirs, so its index still
// serves.
void collateComparisons(Toks& v)
{
    for (size_t k = 0; k < v.size(); ++k) {
        if (!isComparison(v[k]))
            continue;
        const size_t la = operandStart(v, k);
        const size_t ra = k + 1;
        size_t rb = operandEnd(v, k);
        if (la == k || ra == rb || isColumnRef(v, la, k) || isColumnRef(v, ra, rb))
            continue;
        const bool equality = v[k].text == QLatin1String("=") || v[k].text == QLatin1String("<>")
                              || v[k].text == QLatin1String("!=");
        if (caseBlindLiteral(v, la, k) || caseBlindLiteral(v, ra, rb)) {
            if (equality || v[la].t == T::Num || v[ra].t == T::Num)
                continue;
        }
        const int pos = v[k].pos;
        if (rb - ra > 1) {
            v.insert(v.begin() + static_cast<long>(rb), Tok{T::RParen, QStringLiteral(")"), pos});
            v.insert(v.begin() + static_cast<long>(ra), Tok{T::LParen, QStringLiteral("("), pos});
            rb += 2;
        }
        v.insert(v.begin() + static_cast<long>(rb),
                 {Tok{T::Word, QStringLiteral("COLLATE"), pos}, Tok{T::Word, QStringLiteral("JETCI"), pos}});
        k = rb + 1;
    }
}

/// v[a, b) is a number: a whole-number expression or a number literal with its sign.
bool numberOperand(const Toks& v, size_t a, size_t b, const StatementColumns& cols)
{
    if (b == a + 1 && v[a].t == T::Num)
        return true;
    if (b == a + 2 && (v[a].op("-") || v[a].op("+")) && v[a + 1].t == T::Num)
        return true;
    return surelyWhole(v, a, b, cols) && !(b == a + 1 && v[a].is("NULL"));
}

/// The field types that hold numbers.
bool isNumberType(int type)
{
    switch (type) {
    case dbByte: case dbInteger: case dbLong: case dbCurrency: case dbSingle: case dbDouble:
        return true;
    default: return false;
    }
}

/// v[a, b) is a number literal with its sign; its value in d.
bool numberLiteral(const Toks& v, size_t a, size_t b, double& d)
{
    size_t i = a;
    bool negative = false;
    if (b == a + 2 && (v[a].op("-") || v[a].op("+"))) {
        negative = v[a].op("-");
        ++i;
    }
    if (b != i + 1 || v[i].t != T::Num)
        return false;
    bool ok = false;
    d = v[i].text.toDouble(&ok);
    if (negative)
        d = -d;
    return ok;
}

// A date compared with a number compares its serial with the number, as the
// engine compares them (SQLite would compare the stored text with the
// number, and a number is always less than text). The date side is a date
// literal, a Date column, or an expression that may give a date (date
// arithmetic, Date(), Now(), CDATE); the number side a number literal, a
// whole-number expression or a number column. A Date column against a number
// literal within the date range compares with the date of that serial,
// [dt] > jet_cdate((37623)), so that an index on the column still serves;
// every other pair compares jet_serial(date side) with the number. The
// operands of BETWEEN count as compared with its test value.
QString clauseOf(const Toks& v, size_t k);

void datesComparedWithNumbers(Toks& v, const StatementColumns& cols)
{
    auto isDateColumn = [&](size_t a, size_t b) {
        return isColumnRef(v, a, b) && cols.typeOf(v[b - 1].text) == dbDate;
    };
    // An expression that may give a date.
    auto mayGiveDate = [&](size_t a, size_t b) {
        if (b == a + 1 && v[a].t == T::Date)
            return true;
        if (isColumnRef(v, a, b))
            return isDateColumn(a, b);
        for (size_t i = a; i + 1 < b; ++i)
            if (v[i].t == T::Word && v[i + 1].t == T::LParen
                && (v[i].is("jet_add") || v[i].is("jet_sub") || v[i].is("jet_mul") || v[i].is("jet_date")
                    || v[i].is("jet_now") || v[i].is("jet_cdate") || v[i].is("DATE") || v[i].is("NOW")
                    || v[i].is("CDATE")))
                return true;
        return false;
    };
    auto isNumber = [&](size_t a, size_t b) {
        if (a >= b)
            return false;
        if (numberOperand(v, a, b, cols))
            return true;
        return isColumnRef(v, a, b) && isNumberType(cols.typeOf(v[b - 1].text));
    };
    /// Rewrites the date side [a, b) compared with the number side [na, nb);
    /// the number of tokens added.
    auto rewrite = [&](size_t a, size_t b, size_t na, size_t nb, int pos, bool byDate = true) -> size_t {
        double n = 0;
        if (byDate && isDateColumn(a, b) && numberLiteral(v, na, nb, n) && dateInRange(DateTime{n})) {
            v.insert(v.begin() + static_cast<long>(nb), {Tok{T::RParen, QStringLiteral(")"), pos}, Tok{T::RParen, QStringLiteral(")"), pos}});
            v.insert(v.begin() + static_cast<long>(na), {Tok{T::Word, QStringLiteral("jet_cdate"), pos}, Tok{T::LParen, QStringLiteral("("), pos},
                                                         Tok{T::LParen, QStringLiteral("("), pos}});
            return 5;
        }
        v.insert(v.begin() + static_cast<long>(b), {Tok{T::RParen, QStringLiteral(")"), pos}});
        v.insert(v.begin() + static_cast<long>(a),
                 {Tok{T::Word, QStringLiteral("jet_serial"), pos}, Tok{T::LParen, QStringLiteral("("), pos}});
        return 3;
    };
    for (size_t k = 0; k < v.size(); ++k) {
        if (v[k].is("BETWEEN")) {
            // x BETWEEN lo AND hi: each bound against x, and x against each bound.
            const size_t la = operandStart(v, k);
            size_t and1 = operandEnd(v, k);
            if (la == k || and1 >= v.size() || !v[and1].is("AND"))
                continue;
            const size_t hb = operandEnd(v, and1);
            const bool xDate = mayGiveDate(la, k), xNumber = isNumber(la, k);
            const bool loDate = mayGiveDate(k + 1, and1), loNumber = isNumber(k + 1, and1);
            const bool hiDate = mayGiveDate(and1 + 1, hb), hiNumber = isNumber(and1 + 1, hb);
            const int pos = v[k].pos;
            if (xNumber && (loDate || hiDate)) {
                if (hiDate)
                    rewrite(and1 + 1, hb, la, k, pos, false);
                if (loDate)
                    rewrite(k + 1, and1, la, k, pos, false);
            } else if (xDate && loNumber && hiNumber) {
                // Every side to serials: the bounds are numbers, the test value its serial.
                rewrite(la, k, la, la, pos, false);
                k += 3;
            }
            continue;
        }
        if (!isComparison(v[k]))
            continue;
        const size_t la = operandStart(v, k);
        const size_t rb = operandEnd(v, k);
        if (la == k || rb == k + 1)
            continue;
        // SET x = value writes the value, as the column's conversion takes it:
        // no comparison.
        if (v[k].op("=") && la > 0 && (v[la - 1].is("SET") || v[la - 1].t == T::Comma)
            && clauseOf(v, la) == QLatin1String("SET"))
            continue;
        const int pos = v[k].pos;
        if (mayGiveDate(la, k) && isNumber(k + 1, rb) && !mayGiveDate(k + 1, rb)) {
            k += rewrite(la, k, k + 1, rb, pos);
        } else if (mayGiveDate(k + 1, rb) && isNumber(la, k) && !mayGiveDate(la, k)) {
            if (rewrite(k + 1, rb, la, k, pos) == 5)
                k += 5;   // the number on the left was wrapped
        }
    }
}

// ---- comparisons as values ----------------------------------------------------
//
// The dialect's True is -1: a comparison, LIKE, IS, IN, BETWEEN or a
// combination of them by AND, OR and NOT that stands where a value is wanted
// (a select item, an operand of arithmetic or of another comparison, a
// function's argument, a value written by SET or VALUES) is written
// (-(condition)), -1 or 0 where SQLite gives 1 or 0. A condition that stands
// as a condition (WHERE, ON, HAVING, and each side of their AND and OR) is
// left as SQLite's own comparison, so an index on its column still serves.

bool isLogicalWord(const Tok& t)
{
    return t.is("AND") || t.is("OR") || t.is("NOT") || t.is("XOR") || t.is("EQV") || t.is("IMP");
}

bool isPredicate(const Tok& t)
{
    return isComparison(t) || t.is("LIKE") || t.is("IS") || t.is("IN") || t.is("BETWEEN");
}

struct Span {
    size_t a, b;
};

class ConditionValues {
public:
    ConditionValues(const Toks& v, const StatementColumns& cols) : v_(v), cols_(cols) {}

    /// The spans of condition values, outermost and innermost alike.
    std::vector<Span> statement()
    {
        walkStatement(0, v_.size());
        return wraps_;
    }
    std::vector<Span> condition()
    {
        expr(0, v_.size(), true);
        return wraps_;
    }

private:
    const Toks& v_;
    const StatementColumns& cols_;
    std::vector<Span> wraps_;

    /// [a, b) may be a Yes/No value: a condition, True, False, Null, a Yes/No
    /// column (or one of a type not known here), or a function that may give
    /// one. The engine's AND, OR and NOT of numbers work bit by bit (5 AND 3
    /// is 1), which SQLite's do not: such an operand is refused.
    bool mayBeYesNo(size_t a, size_t b) const
    {
        if (a >= b)
            return true;
        if (v_[a].t == T::LParen && closeOf(a, b) == b) {
            for (size_t i = a + 1; i + 1 < b; ++i) {
                if (v_[i].t == T::LParen)
                    i = closeOf(i, b - 1) - 1;
                else if (isPredicate(v_[i]) || isLogicalWord(v_[i]))
                    return true;
            }
            return mayBeYesNo(a + 1, b - 1);
        }
        if (b == a + 1 && (v_[a].is("TRUE") || v_[a].is("FALSE") || v_[a].is("YES") || v_[a].is("NO") || v_[a].is("NULL")))
            return true;
        if (isColumnRef(v_, a, b)) {
            const int type = cols_.typeOf(v_[b - 1].text);
            return type == 0 || type == dbBoolean;
        }
        if (v_[a].t == T::Word && a + 1 < b && v_[a + 1].t == T::LParen && pastClose(v_, a + 1) == b) {
            static const QSet<QString> maybe = {
                QStringLiteral("ISNULL"), QStringLiteral("CBOOL"), QStringLiteral("IIF"), QStringLiteral("NZ"),
                QStringLiteral("CVAR"),   QStringLiteral("FIRST"), QStringLiteral("LAST"), QStringLiteral("MIN"),
                QStringLiteral("MAX"),
            };
            return maybe.contains(v_[a].text.toUpper());
        }
        return false;
    }

    /// One past the parenthesis closing the one at i (limited to b).
    size_t closeOf(size_t i, size_t b) const { return std::min(pastClose(v_, i), b); }

    /// The depth-0 comma-separated parts of [a, b).
    std::vector<Span> commaParts(size_t a, size_t b) const
    {
        std::vector<Span> out;
        size_t start = a;
        for (size_t i = a; i < b; ++i) {
            if (v_[i].t == T::LParen) {
                i = closeOf(i, b) - 1;
            } else if (v_[i].t == T::Comma) {
                out.push_back({start, i});
                start = i + 1;
            }
        }
        out.push_back({start, b});
        return out;
    }

    enum class Mode { Other, List, Condition, Set, Values, Terms };

    bool startsClause(size_t i) const
    {
        const Tok& t = v_[i];
        if ((t.is("LEFT") || t.is("RIGHT")) && i + 1 < v_.size() && v_[i + 1].t == T::LParen)
            return false;   // the functions
        return t.is("SELECT") || t.is("FROM") || t.is("WHERE") || t.is("HAVING") || t.is("ON") || t.is("JOIN")
               || t.is("INNER") || t.is("LEFT") || t.is("RIGHT") || t.is("OUTER") || t.is("GROUP") || t.is("ORDER")
               || t.is("SET") || t.is("VALUES") || t.is("INTO") || t.is("UNION") || t.is("UPDATE") || t.is("DELETE")
               || t.is("INSERT");
    }

    void walkStatement(size_t a, size_t b)
    {
        Mode mode = Mode::Other;
        size_t start = a;
        for (size_t i = a; i <= b; ++i) {
            if (i < b && v_[i].t == T::LParen) {
                i = closeOf(i, b) - 1;
                continue;
            }
            if (i < b && !startsClause(i))
                continue;
            segment(mode, start, i);
            if (i == b)
                break;
            const Tok& t = v_[i];
            start = i + 1;
            if (t.is("SELECT")) {
                mode = Mode::List;
                while (start < b && (v_[start].is("DISTINCT") || v_[start].is("DISTINCTROW") || v_[start].is("ALL")))
                    ++start;
                if (start + 1 < b && v_[start].is("TOP"))
                    start += 2;
                if (start < b && v_[start].is("PERCENT"))
                    ++start;
            } else if (t.is("WHERE") || t.is("HAVING") || t.is("ON")) {
                mode = Mode::Condition;
            } else if (t.is("GROUP") || t.is("ORDER")) {
                mode = Mode::Terms;
                if (start < b && v_[start].is("BY"))
                    ++start;
            } else if (t.is("SET")) {
                mode = Mode::Set;
            } else if (t.is("VALUES")) {
                mode = Mode::Values;
            } else {
                mode = Mode::Other;
            }
            i = start - 1;
        }
    }

    void segment(Mode mode, size_t a, size_t b)
    {
        if (a >= b)
            return;
        switch (mode) {
        case Mode::List:
        case Mode::Terms:
            for (Span p : commaParts(a, b)) {
                // item AS name, term ASC / DESC
                for (size_t i = p.a; i < p.b; ++i) {
                    if (v_[i].t == T::LParen)
                        i = closeOf(i, p.b) - 1;
                    else if (v_[i].is("AS") || v_[i].is("ASC") || v_[i].is("DESC"))
                        p.b = i;
                }
                expr(p.a, p.b, false);
            }
            break;
        case Mode::Condition: expr(a, b, true); break;
        case Mode::Set:
            for (const Span& p : commaParts(a, b))
                for (size_t i = p.a; i < p.b; ++i)
                    if (v_[i].op("=")) {
                        expr(i + 1, p.b, false);
                        break;
                    }
            break;
        case Mode::Values:
            for (size_t i = a; i < b; ++i)
                if (v_[i].t == T::LParen) {
                    const size_t e = closeOf(i, b);
                    for (const Span& p : commaParts(i + 1, e - 1))
                        expr(p.a, p.b, false);
                    i = e - 1;
                }
            break;
        case Mode::Other:
            // Table names, joined tables in parentheses, subqueries.
            for (size_t i = a; i < b; ++i)
                if (v_[i].t == T::LParen) {
                    const size_t e = closeOf(i, b);
                    walkStatement(i + 1, e - 1);
                    i = e - 1;
                }
            break;
        }
    }

    /// The expression [a, b), standing as a condition or as a value.
    void expr(size_t a, size_t b, bool asCondition)
    {
        if (a >= b)
            return;
        if (v_[a].is("SELECT")) {
            walkStatement(a, b);
            return;
        }
        if (v_[a].t == T::LParen && closeOf(a, b) == b) {
            expr(a + 1, b - 1, asCondition);
            return;
        }
        bool logic = false;
        for (size_t i = a; i < b && !logic; ++i) {
            if (v_[i].t == T::LParen)
                i = closeOf(i, b) - 1;
            else
                logic = isPredicate(v_[i]) || isLogicalWord(v_[i]);
        }
        if (!logic) {
            nested(a, b);
            return;
        }
        if (!asCondition)
            wraps_.push_back({a, b});
        // The sides of AND, OR, XOR, EQV and IMP, each without its leading NOTs
        // (the AND of BETWEEN x AND y belongs to BETWEEN).
        size_t start = a;
        bool between = false;
        for (size_t i = a; i <= b; ++i) {
            if (i < b && v_[i].t == T::LParen) {
                i = closeOf(i, b) - 1;
                continue;
            }
            if (i < b && v_[i].is("BETWEEN")) {
                between = true;
                continue;
            }
            if (i < b && v_[i].is("AND") && between) {
                between = false;
                continue;
            }
            const bool joins = i < b && isLogicalWord(v_[i]) && !v_[i].is("NOT");
            if (i < b && !joins)
                continue;
            size_t pa = start;
            while (pa < i && v_[pa].is("NOT"))
                ++pa;
            bool predicate = false;
            for (size_t j = pa; j < i && !predicate; ++j) {
                if (v_[j].t == T::LParen)
                    j = closeOf(j, i) - 1;
                else
                    predicate = isPredicate(v_[j]);
            }
            if (!predicate && !mayBeYesNo(pa, i))
                throw JetError(errTypeMismatch, QStringLiteral("AND, OR and NOT of numbers or text are not supported; "
                                                               "compare the values instead."));
            side(pa, i);
            start = i + 1;
        }
    }

    /// One side of the logical words: a predicate, whose operands are values,
    /// or a condition of its own.
    void side(size_t a, size_t b)
    {
        if (a >= b)
            return;
        bool predicate = false;
        for (size_t i = a; i < b && !predicate; ++i) {
            if (v_[i].t == T::LParen)
                i = closeOf(i, b) - 1;
            else
                predicate = isPredicate(v_[i]);
        }
        if (!predicate) {
            expr(a, b, true);
            return;
        }
        size_t start = a;
        for (size_t i = a; i <= b; ++i) {
            if (i < b && v_[i].t == T::LParen) {
                i = closeOf(i, b) - 1;
                continue;
            }
            if (i < b && !isPredicate(v_[i]) && !v_[i].is("AND") && !v_[i].is("NOT"))
                continue;
            expr(start, i, false);
            start = i + 1;
        }
    }

    /// The parentheses inside an expression without logic of its own: the
    /// arguments of calls (IIF's first one a condition), subqueries, groups.
    void nested(size_t a, size_t b)
    {
        for (size_t i = a; i < b; ++i) {
            if (v_[i].t != T::LParen)
                continue;
            const size_t e = closeOf(i, b);
            if (i > a && v_[i - 1].t == T::Word && !isBoundaryWord(v_[i - 1])) {
                const bool iif = v_[i - 1].is("IIF");
                bool first = true;
                for (const Span& p : commaParts(i + 1, e - 1)) {
                    expr(p.a, p.b, iif && first);
                    first = false;
                }
            } else {
                expr(i + 1, e - 1, false);
            }
            i = e - 1;
        }
    }
};

/// Writes each span of spans as (-(span)).
void wrapSpans(Toks& v, std::vector<Span> spans)
{
    // Insertion points from the last back, so the earlier ones stay valid; at
    // one point the closing tokens of an inner span go before the opening
    // ones of a following span.
    struct Insert {
        size_t at;
        bool open;
    };
    std::vector<Insert> points;
    for (const Span& s : spans) {
        points.push_back({s.a, true});
        points.push_back({s.b, false});
    }
    std::stable_sort(points.begin(), points.end(), [](const Insert& x, const Insert& y) {
        if (x.at != y.at)
            return x.at > y.at;
        return x.open && !y.open;   // at the same place: the opening inserted first ends up after
    });
    for (const Insert& p : points) {
        const int pos = p.at < v.size() ? v[p.at].pos : (v.empty() ? 0 : v.back().pos);
        if (p.open)
            v.insert(v.begin() + static_cast<long>(p.at), {Tok{T::LParen, QStringLiteral("("), pos}, Tok{T::Op, QStringLiteral("-"), pos},
                                                           Tok{T::LParen, QStringLiteral("("), pos}});
        else
            v.insert(v.begin() + static_cast<long>(p.at), {Tok{T::RParen, QStringLiteral(")"), pos}, Tok{T::RParen, QStringLiteral(")"), pos}});
    }
}

QString quoteStr(const QString& s)
{
    QString q = s;
    q.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

struct Emitter {
    std::vector<ExternalRef>* externals = nullptr;
    QString sql;   // the whole statement, for messages

    QString render(const Toks& v) const
    {
        QString out;
        struct Level {
            int depth;
            QString limit;
        };
        std::vector<Level> selects;
        int depth = 0;
        // ORDER BY / GROUP BY term tracking
        int termDepth = -1;
        int termLen = 0;
        bool termInt = false;
        auto closeTerm = [&]() {
            if (termDepth >= 0 && termLen > 0 && !termInt)
                out += QLatin1String(" COLLATE JETCI");
            termLen = 0;
            termInt = false;
        };
        auto closeSelects = [&](int d) {
            while (!selects.empty() && selects.back().depth >= d) {
                if (termDepth >= selects.back().depth) {
                    closeTerm();
                    termDepth = -1;
                }
                if (!selects.back().limit.isEmpty())
                    out += QLatin1String(" LIMIT ") + selects.back().limit;
                selects.pop_back();
            }
        };
        auto put = [&](const QString& s) {
            if (!out.isEmpty() && !out.endsWith(QLatin1Char('(')) && !out.endsWith(QLatin1Char('.'))
                && s != QLatin1String(")") && s != QLatin1String(",") && s != QLatin1String("."))
                out += QLatin1Char(' ');
            out += s;
        };
        for (size_t i = 0; i < v.size(); ++i) {
            const Tok& t = v[i];
            const bool inTerm = termDepth >= 0 && depth == termDepth;
            if (inTerm) {
                if (t.t == T::Comma) {
                    closeTerm();
                    put(QStringLiteral(","));
                    continue;
                }
                if (t.is("ASC") || t.is("DESC")) {
                    closeTerm();
                    put(t.text.toUpper());
                    termInt = true;   // nothing more to add until the next comma
                    termLen = 0;
                    continue;
                }
                if (t.is("HAVING") || t.is("ORDER") || t.is("UNION") || t.is("LIMIT")) {
                    closeTerm();
                    termDepth = -1;
                }
            }
            if (termDepth >= 0 && depth == termDepth && t.t != T::Comma) {
                termInt = termLen == 0 && t.t == T::Num && !(i + 1 < v.size() && v[i + 1].t != T::Comma
                                                             && !v[i + 1].is("ASC") && !v[i + 1].is("DESC")
                                                             && v[i + 1].t != T::RParen);
                ++termLen;
            }
            switch (t.t) {
            case T::LParen:
                ++depth;
                if (i > 0 && v[i - 1].t == T::Word && !isBoundaryWord(v[i - 1]))
                    out += QLatin1Char('(');   // a function call: name(args)
                else if (i > 0 && v[i - 1].t == T::Word && functionMap().contains(v[i - 1].text.toUpper()))
                    out += QLatin1Char('(');
                else
                    put(QStringLiteral("("));
                break;
            case T::RParen:
                if (termDepth >= 0 && depth == termDepth) {
                    closeTerm();
                    termDepth = -1;
                }
                closeSelects(depth);
                --depth;
                put(QStringLiteral(")"));
                break;
            case T::Comma: put(QStringLiteral(",")); break;
            case T::Dot: out += QLatin1Char('.'); break;
            case T::Semi: fail(QStringLiteral("Characters found after end of SQL statement"), sql);
            case T::Str: put(quoteStr(t.text)); break;
            case T::Date: put(quoteStr(t.text)); break;
            case T::Num: put(t.text); break;
            case T::Op:
                if (t.text == QLatin1String("!="))
                    put(QStringLiteral("<>"));
                else if (t.text == QLatin1String("/"))
                    put(QStringLiteral("* 1.0 /"));   // the engine's "/" keeps the fraction of whole numbers
                else if (t.text == QLatin1String("&"))
                    fail(QStringLiteral("Misplaced &"), sql);
                else
                    put(t.text);
                break;
            case T::Name: {
                // [specifier].[table]: a table of another database
                if (externals && isExternalSpec(t.text) && i + 2 < v.size() && v[i + 1].t == T::Dot
                    && (v[i + 2].t == T::Name || v[i + 2].t == T::Word)) {
                    ExternalRef r;
                    r.spec = t.text;
                    r.name = v[i + 2].text;
                    r.placeholder = QStringLiteral("qb_ext_%1").arg(externals->size() + 1);
                    externals->push_back(r);
                    put(quoteName(r.placeholder));
                    i += 2;
                } else {
                    put(quoteName(t.text));
                }
                break;
            }
            case T::Word: {
                const QString up = t.text.toUpper();
                const bool call = i + 1 < v.size() && v[i + 1].t == T::LParen;
                const bool qualified = i > 0 && v[i - 1].t == T::Dot;
                if (qualified) {
                    put(quoteName(t.text));
                    break;
                }
                if (call && functionMap().contains(up)) {
                    put(functionMap().value(up));
                    break;
                }
                if (call && t.text == QLatin1String("jet_concat")) {
                    put(t.text);
                    break;
                }
                if (up == QLatin1String("TRUE") || up == QLatin1String("YES") ) {
                    put(QStringLiteral("-1"));
                    break;
                }
                if (up == QLatin1String("FALSE") || up == QLatin1String("NO")) {
                    put(QStringLiteral("0"));
                    break;
                }
                if (up == QLatin1String("SELECT")) {
                    put(QStringLiteral("SELECT"));
                    Level lv{depth, QString()};
                    size_t j = i + 1;
                    if (j < v.size() && (v[j].is("DISTINCT") || v[j].is("DISTINCTROW"))) {
                        put(QStringLiteral("DISTINCT"));
                        ++j;
                    } else if (j < v.size() && v[j].is("ALL")) {
                        ++j;
                    }
                    if (j < v.size() && v[j].is("TOP")) {
                        if (j + 1 >= v.size() || v[j + 1].t != T::Num)
                            fail(QStringLiteral("TOP needs a number"), sql);
                        lv.limit = v[j + 1].text;
                        j += 2;
                        if (j < v.size() && v[j].is("PERCENT"))
                            fail(QStringLiteral("TOP n PERCENT is not supported"), sql);
                    }
                    selects.push_back(lv);
                    i = j - 1;
                    break;
                }
                if ((up == QLatin1String("ORDER") || up == QLatin1String("GROUP")) && i + 1 < v.size()
                    && v[i + 1].is("BY")) {
                    put(up + QLatin1String(" BY"));
                    ++i;
                    termDepth = depth;
                    termLen = 0;
                    termInt = false;
                    break;
                }
                if (up == QLatin1String("AS") && i + 1 < v.size() && v[i + 1].t == T::Word) {
                    put(QStringLiteral("AS"));
                    put(quoteName(v[i + 1].text));
                    ++i;
                    break;
                }
                if (up == QLatin1String("MOD")) {
                    put(QStringLiteral("%"));
                    break;
                }
                if (up == QLatin1String("DISTINCTROW")) {
                    put(QStringLiteral("DISTINCT"));
                    break;
                }
                if (up == QLatin1String("ISNULL") && !call)
                    fail(QStringLiteral("ISNULL needs an argument"), sql);
                put(t.text);
                break;
            }
            }
        }
        if (termDepth >= 0 && depth == termDepth)
            closeTerm();
        closeSelects(0);
        return out;
    }
};

// ---- Currency -------------------------------------------------------------------
//
// A Currency column stores its amount as a count of ten-thousandths. A
// reference to one keeps the count where the count serves as it is: a select
// list's own column (the reader knows the column's type), ORDER BY and GROUP
// BY, IS NULL, and a comparison with a number literal, whose number is then
// written as a count itself ([c] = 0.1 -> "c" = 1000), exact and served by
// the column's index. SUM, MIN and MAX of the column add and pick the counts
// (SUM stops past 64 bits: an overflow). Anywhere else the count goes
// through jet_cur, which gives the amount as a double, or jet_cur_x where the
// value is an operand of arithmetic, of CStr, of &, of CCur or the value
// written into a column: there the amount goes on with every digit, and
// the arithmetic and CCur around it are the "_x" twins that pass it on the
// same way.

bool anyCurrency(const StatementColumns& cols)
{
    for (const ColumnList& t : cols.tables)
        for (const ColumnInfo& c : t)
            if (c.type == dbCurrency)
                return true;
    return false;
}

/// A number literal's text times 10000, exactly, as a decimal literal.
QString unitsLiteral(const QString& num)
{
    QString digits;
    int point = -1;
    int i = 0;
    for (; i < num.size() && (num[i].isDigit() || num[i] == QLatin1Char('.')); ++i) {
        if (num[i] == QLatin1Char('.'))
            point = static_cast<int>(digits.size());
        else
            digits += num[i];
    }
    if (point < 0)
        point = static_cast<int>(digits.size());
    long exponent = 0;
    if (i < num.size()) {
        bool ok = false;
        exponent = num.mid(i + 1).toLong(&ok);
        if (!ok || exponent > 400 || exponent < -400)
            return QString();
    }
    const long at = point + exponent + 4;   // the point's place in digits
    QString out;
    if (at <= 0)
        out = QLatin1String("0.") + QString(static_cast<int>(-at), QLatin1Char('0')) + digits;
    else if (at >= digits.size())
        out = digits + QString(static_cast<int>(at - digits.size()), QLatin1Char('0'));
    else
        out = digits.left(static_cast<int>(at)) + QLatin1Char('.') + digits.mid(static_cast<int>(at));
    while (out.size() > 1 && out[0] == QLatin1Char('0') && out[1] != QLatin1Char('.'))
        out.remove(0, 1);
    return out;
}

/// v[a, b) is a number literal, with or without a sign: the index of the Num.
std::optional<size_t> literalAt(const Toks& v, size_t a, size_t b)
{
    if (b == a + 1 && v[a].t == T::Num)
        return a;
    if (b == a + 2 && (v[a].op("-") || v[a].op("+")) && v[a + 1].t == T::Num)
        return a + 1;
    return std::nullopt;
}

/// The clause word that v[k] stands in at its depth (SELECT for a select
/// list, BY for ORDER BY and GROUP BY, SET, WHERE, ...), "" inside parentheses
/// that are not a subquery's.
QString clauseOf(const Toks& v, size_t k)
{
    int depth = 0;
    for (long i = static_cast<long>(k) - 1; i >= 0; --i) {
        const Tok& t = v[size_t(i)];
        if (t.t == T::RParen) {
            ++depth;
        } else if (t.t == T::LParen) {
            if (depth == 0)
                return QString();
            --depth;
        } else if (depth == 0 && t.t == T::Word) {
            for (const char* w : {"SELECT", "BY", "SET", "WHERE", "FROM", "HAVING", "ON", "VALUES", "INTO", "JOIN"})
                if (t.is(w))
                    return QString::fromLatin1(w);
        }
    }
    return QString();
}

/// The function whose whole argument v[a, b) is (its name token), when the
/// tokens around it are "name(" or "," before and "," or ")" after.
std::optional<size_t> callOf(const Toks& v, size_t a, size_t b)
{
    if (a == 0 || b >= v.size() || (v[b].t != T::Comma && v[b].t != T::RParen))
        return std::nullopt;
    long i = static_cast<long>(a) - 1;
    int depth = 0;
    for (; i >= 0; --i) {
        if (v[size_t(i)].t == T::RParen)
            ++depth;
        else if (v[size_t(i)].t == T::LParen && depth-- == 0)
            break;
        else if (depth == 0 && v[size_t(i)].t != T::Comma && size_t(i) == a - 1)
            return std::nullopt;   // something other than "(" or "," just before
    }
    if (i <= 0 || v[size_t(i) - 1].t != T::Word)
        return std::nullopt;
    return size_t(i) - 1;
}

bool keepsEveryDigit(const Tok& fn)
{
    if (fn.text.startsWith(QLatin1String("qb_"), Qt::CaseInsensitive))
        return true;   // the program's own functions take the amount's digits
    for (const char* w : {"jet_add", "jet_sub", "jet_mul", "jet_add_x", "jet_sub_x", "jet_mul_x", "jet_put",
                          "jet_concat", "jet_store", "jet_exacttext", "CSTR", "CCUR", "jet_ccur_x"})
        if (fn.is(w))
            return true;
    return false;
}

/// The value v[a, b) (its parentheses taken off) is passed on whole where
/// every digit of an amount is kept: an argument of such a function, an
/// UPDATE's new value, or an INSERT's.
bool exactPlace(const Toks& v, size_t a, size_t b)
{
    while (a > 0 && b < v.size() && v[a - 1].t == T::LParen && v[b].t == T::RParen
           && !(a >= 2 && v[a - 2].t == T::Word && !isBoundaryWord(v[a - 2]))) {
        --a;
        ++b;
    }
    if (const auto fn = callOf(v, a, b))
        return keepsEveryDigit(v[*fn]);
    // x LIKE pattern: the pattern is matched against the amount's every digit.
    if (b < v.size() && (v[b].is("LIKE") || (v[b].is("NOT") && b + 1 < v.size() && v[b + 1].is("LIKE"))))
        return true;
    // SET x = value
    if (a >= 2 && v[a - 1].op("=") && clauseOf(v, a) == QLatin1String("SET")
        && (b == v.size() || v[b].t == T::Comma || v[b].is("WHERE")))
        return true;
    return false;
}

/// Wraps v[a, b) as fn(v[a, b)).
void wrapCall(Toks& v, size_t a, size_t b, const char* fn)
{
    const int pos = v[a].pos;
    v.insert(v.begin() + static_cast<long>(b), Tok{T::RParen, QStringLiteral(")"), pos});
    v.insert(v.begin() + static_cast<long>(a),
             {Tok{T::Word, QString::fromLatin1(fn), pos}, Tok{T::LParen, QStringLiteral("("), pos}});
}

/// Compared with number literals: the literals become counts; false when
/// v[a, b) is compared with something else.
bool comparedWithCounts(Toks& v, size_t a, size_t b)
{
    if (b < v.size() && v[b].is("BETWEEN")) {
        size_t andAt = b + 1;
        for (int depth = 0; andAt < v.size() && !(depth == 0 && v[andAt].is("AND")); ++andAt) {
            if (v[andAt].t == T::LParen)
                ++depth;
            else if (v[andAt].t == T::RParen && --depth < 0)
                return false;
        }
        if (andAt == v.size())
            return false;
        const auto lo = literalAt(v, b + 1, andAt);
        const auto hi = literalAt(v, andAt + 1, operandEnd(v, andAt));
        if (!lo || !hi)
            return false;
        const QString l = unitsLiteral(v[*lo].text), h = unitsLiteral(v[*hi].text);
        if (l.isEmpty() || h.isEmpty())
            return false;
        v[*lo].text = l;
        v[*hi].text = h;
        return true;
    }
    std::optional<size_t> lit;
    if (b < v.size() && isComparison(v[b]))
        lit = literalAt(v, b + 1, operandEnd(v, b));
    else if (a > 0 && isComparison(v[a - 1]))
        lit = literalAt(v, operandStart(v, a - 1), a - 1);
    if (!lit)
        return false;
    const QString units = unitsLiteral(v[*lit].text);
    if (units.isEmpty())
        return false;
    v[*lit].text = units;
    return true;
}

void currencyValues(Toks& v, const StatementColumns& cols, bool insert)
{
    if (!anyCurrency(cols))
        return;
    // A number literal written into a Currency column goes as its text, which
    // the conversion reads digit for digit (SQLite would read the literal
    // as a double first): SET c = 12345678901234.5678, and INSERT's values.
    auto literalAsText = [&](size_t a, size_t b) {
        if (const auto lit = literalAt(v, a, b)) {
            v[*lit].t = T::Str;
            if (*lit > a && v[a].op("-"))
                v[*lit].text.prepend(QLatin1Char('-'));
            v.erase(v.begin() + static_cast<long>(a), v.begin() + static_cast<long>(*lit));
        }
    };
    for (size_t k = v.size(); k-- > 0;) {
        if (insert && v[k].is("jet_put") && k + 3 < v.size() && v[k + 1].t == T::LParen && v[k + 2].t == T::LParen) {
            const size_t close = pastClose(v, k + 2);
            if (close + 2 < v.size() && v[close].t == T::Comma && v[close + 1].text == QString::number(dbCurrency)
                && v[close + 2].t == T::RParen)
                literalAsText(k + 3, close - 1);
        }
    }
    // The references, from the last back, so that the earlier stay in place.
    std::vector<std::pair<size_t, size_t>> refs;
    // INSERT INTO t (a, b): the columns written.
    const size_t listEnd = insert && v.size() > 3 && v[3].t == T::LParen ? pastClose(v, 3) : 0;
    for (size_t i = listEnd; i < v.size(); ++i) {
        auto nameTok = [&](size_t k) { return v[k].t == T::Name || v[k].t == T::Word; };
        if (!nameTok(i) || (i > 0 && v[i - 1].t == T::Dot))
            continue;
        size_t j = i + 1;
        while (j + 1 < v.size() && v[j].t == T::Dot && nameTok(j + 1))
            j += 2;
        const bool named = i > 0 && (v[i - 1].is("FROM") || v[i - 1].is("JOIN") || v[i - 1].is("UPDATE")
                                     || v[i - 1].is("INTO") || v[i - 1].is("AS") || v[i - 1].is("TABLE"));
        if (!named && (j >= v.size() || v[j].t != T::LParen) && isColumnRef(v, i, j)
            && cols.typeOf(v[j - 1].text) == dbCurrency)
            refs.emplace_back(i, j);
        i = j - 1;
    }
    for (auto r = refs.rbegin(); r != refs.rend(); ++r) {
        size_t a = r->first, b = r->second;
        // SET c = ...: the column written.
        if (b < v.size() && v[b].op("=") && a > 0 && (v[a - 1].is("SET") || v[a - 1].t == T::Comma)
            && clauseOf(v, a) == QLatin1String("SET")) {
            literalAsText(b + 1, operandEnd(v, b));
            continue;
        }
        const char* aggregate = nullptr;
        if (a >= 2 && b < v.size() && v[a - 1].t == T::LParen && v[b].t == T::RParen) {
            for (const char* w : {"SUM", "MIN", "MAX", "AVG", "FIRST", "LAST", "COUNT"})
                if (v[a - 2].is(w))
                    aggregate = w;
        }
        if (aggregate && QLatin1String(aggregate) == QLatin1String("COUNT"))
            continue;
        if (aggregate) {
            a -= 2;
            ++b;
        }
        if (b < v.size() && v[b].is("IS"))
            continue;   // IS NULL
        const bool avg = aggregate && QLatin1String(aggregate) == QLatin1String("AVG");
        if (!avg && comparedWithCounts(v, a, b))
            continue;
        const QString clause = clauseOf(v, a);
        if (!aggregate && !insert) {
            const bool ownItem = (v[a - 1].t == T::Comma || v[a - 1].is("SELECT") || v[a - 1].is("DISTINCT")
                                  || v[a - 1].is("DISTINCTROW") || v[a - 1].t == T::Num)
                                 && (b == v.size() || v[b].t == T::Comma || v[b].is("FROM") || v[b].is("AS")
                                     || v[b].is("INTO") || v[b].t == T::RParen || v[b].is("UNION"));
            if (clause == QLatin1String("SELECT") && ownItem)
                continue;
            if (clause == QLatin1String("BY"))
                continue;
        }
        // The outermost select list's own SUM, MIN or MAX: an amount the
        // reader takes as one, every digit kept.
        const bool outerItem = aggregate && !insert && clause == QLatin1String("SELECT")
                               && (v[a - 1].t == T::Comma || v[a - 1].is("SELECT") || v[a - 1].is("DISTINCT")
                                   || v[a - 1].t == T::Num)
                               && (b == v.size() || v[b].t == T::Comma || v[b].is("FROM") || v[b].is("AS")
                                   || v[b].is("INTO"))
                               && std::count_if(v.begin(), v.begin() + static_cast<long>(a),
                                                [](const Tok& t) { return t.t == T::LParen; })
                                      == std::count_if(v.begin(), v.begin() + static_cast<long>(a),
                                                       [](const Tok& t) { return t.t == T::RParen; });
        if (avg)
            wrapCall(v, a, b, "jet_curavg");
        else if (outerItem)
            wrapCall(v, a, b, "jet_cur_out");
        else
            wrapCall(v, a, b, exactPlace(v, a, b) ? "jet_cur_x" : "jet_cur");
    }
    // Arithmetic and CCur whose value is passed on whole keep every digit too.
    for (size_t k = 0; k + 1 < v.size(); ++k) {
        if (v[k].t != T::Word || v[k + 1].t != T::LParen)
            continue;
        const bool arith = v[k].is("jet_add") || v[k].is("jet_sub") || v[k].is("jet_mul");
        if (!arith && !v[k].is("CCUR"))
            continue;
        if (exactPlace(v, k, pastClose(v, k + 1)))
            v[k].text = arith ? v[k].text.toLower() + QLatin1String("_x") : QStringLiteral("jet_ccur_x");
    }
}

// ---- statement shapes -------------------------------------------------------

size_t findWord(const Toks& v, const char* w, size_t from = 0, int atDepth = 0)
{
    int depth = 0;
    for (size_t i = 0; i < v.size(); ++i) {
        if (v[i].t == T::LParen)
            ++depth;
        else if (v[i].t == T::RParen)
            --depth;
        else if (i >= from && depth == atDepth && v[i].is(w))
            return i;
    }
    return SIZE_MAX;
}

Toks slice(const Toks& v, size_t a, size_t b)
{
    a = std::min(a, v.size());
    b = std::min(b, v.size());
    return a < b ? Toks(v.begin() + static_cast<long>(a), v.begin() + static_cast<long>(b)) : Toks();
}

bool isNameTok(const Tok& t) { return t.t == T::Name || t.t == T::Word; }

/// Splits at depth-0 commas.
std::vector<Toks> splitCommas(const Toks& v)
{
    std::vector<Toks> parts(1);
    int depth = 0;
    for (const Tok& t : v) {
        if (t.t == T::LParen)
            ++depth;
        else if (t.t == T::RParen)
            --depth;
        if (depth == 0 && t.t == T::Comma) {
            parts.emplace_back();
            continue;
        }
        parts.back().push_back(t);
    }
    if (parts.size() == 1 && parts[0].empty())
        parts.clear();
    return parts;
}

QStringList nameList(const Toks& inParens, const QString& sql)
{
    QStringList names;
    for (const Toks& p : splitCommas(inParens)) {
        if (p.size() != 1 || !isNameTok(p[0]))
            fail(QStringLiteral("Expected a column name"), sql);
        names << p[0].text;
    }
    return names;
}

/// The tokens between the parentheses starting at v[open].
size_t matchParen(const Toks& v, size_t open, const QString& sql)
{
    int depth = 0;
    for (size_t i = open; i < v.size(); ++i) {
        if (v[i].t == T::LParen)
            ++depth;
        else if (v[i].t == T::RParen && --depth == 0)
            return i;
    }
    fail(QStringLiteral("Missing )"), sql);
}

/// Type words at v[i..]: "TEXT", "TEXT (255)", "COUNTER"; advances i.
ColumnInfo parseColumnType(const Toks& v, size_t& i, const QString& sql)
{
    if (i >= v.size() || v[i].t != T::Word)
        fail(QStringLiteral("Expected a column type"), sql);
    QString word = v[i].text;
    ++i;
    int size = -1;
    if (i < v.size() && v[i].t == T::LParen) {
        const size_t close = matchParen(v, i, sql);
        if (close == i + 2 && v[i + 1].t == T::Num)
            size = v[i + 1].text.toInt();
        i = close + 1;
    }
    auto c = parseTypeName(word, size);
    if (!c)
        fail(QStringLiteral("Unknown field type '") + word + QLatin1Char('\''), sql);
    return *c;
}

Translated translateCreateTable(const Toks& v, const QString& sql)
{
    // CREATE TABLE name ( col type [NOT NULL] [PRIMARY KEY], ..., CONSTRAINT n PRIMARY KEY (a, b) )
    Translated r;
    r.kind = StatementKind::CreateTable;
    if (v.size() < 5 || !isNameTok(v[2]) || v[3].t != T::LParen)
        fail(QStringLiteral("Syntax error in CREATE TABLE statement"), sql);
    r.table = v[2].text;
    const size_t close = matchParen(v, 3, sql);
    if (close + 1 != v.size())
        fail(QStringLiteral("Syntax error in CREATE TABLE statement"), sql);
    QStringList pk;
    QSet<QString> notNull;
    std::vector<QStringList> uniques;
    bool autoKeySeen = false;
    for (const Toks& item : splitCommas(slice(v, 4, close))) {
        if (item.empty())
            fail(QStringLiteral("Syntax error in field definition"), sql);
        size_t i = 0;
        if (item[0].is("CONSTRAINT") || item[0].is("PRIMARY") || item[0].is("UNIQUE")) {
            if (item[0].is("CONSTRAINT")) {
                if (item.size() < 2)
                    fail(QStringLiteral("Syntax error in CONSTRAINT clause"), sql);
                r.constraintName = item[1].text;
                i = 2;
            }
            bool isPk = false;
            if (i + 1 < item.size() && item[i].is("PRIMARY") && item[i + 1].is("KEY")) {
                isPk = true;
                i += 2;
            } else if (i < item.size() && item[i].is("UNIQUE")) {
                ++i;
            } else {
                fail(QStringLiteral("Syntax error in CONSTRAINT clause"), sql);
            }
            if (i >= item.size() || item[i].t != T::LParen)
                fail(QStringLiteral("Syntax error in CONSTRAINT clause"), sql);
            const size_t cl = matchParen(item, i, sql);
            const QStringList cols = nameList(slice(item, i + 1, cl), sql);
            if (isPk) {
                if (!pk.isEmpty())
                    fail(QStringLiteral("Primary key already exists"), sql);
                pk = cols;
            } else {
                uniques.push_back(cols);
            }
            continue;
        }
        if (!isNameTok(item[0]))
            fail(QStringLiteral("Syntax error in field definition"), sql);
        i = 1;
        ColumnInfo c = parseColumnType(item, i, sql);
        c.name = item[0].text;
        for (const ColumnInfo& other : r.columns)
            if (other.name.compare(c.name, Qt::CaseInsensitive) == 0)
                throw JetError(errSyntax, QStringLiteral("Field '%1' already exists in table '%2'.").arg(c.name, r.table));
        while (i < item.size()) {
            if (item[i].is("NOT") && i + 1 < item.size() && item[i + 1].is("NULL")) {
                notNull.insert(c.name.toLower());
                i += 2;
            } else if (item[i].is("NULL")) {
                ++i;
            } else if (item[i].is("CONSTRAINT") && i + 1 < item.size()) {
                r.constraintName = item[i + 1].text;
                i += 2;
            } else if (item[i].is("PRIMARY") && i + 1 < item.size() && item[i + 1].is("KEY")) {
                pk = QStringList{c.name};
                i += 2;
            } else if (item[i].is("UNIQUE")) {
                uniques.push_back(QStringList{c.name});
                ++i;
            } else {
                fail(QStringLiteral("Syntax error in field definition"), sql);
            }
        }
        if (c.attributes & dbAutoIncrField) {
            if (autoKeySeen)
                fail(QStringLiteral("Only one auto-increment field is allowed"), sql);
            autoKeySeen = true;
        }
        r.columns.push_back(c);
    }
    if (r.columns.empty())
        fail(QStringLiteral("A table needs at least one field"), sql);
    for (const QString& k : pk) {
        bool found = false;
        for (const ColumnInfo& c : r.columns)
            found = found || c.name.compare(k, Qt::CaseInsensitive) == 0;
        if (!found)
            fail(QStringLiteral("Key field '") + k + QStringLiteral("' is not in the table"), sql);
    }
    // Build the SQLite statement.
    QStringList defs;
    bool pkDone = false;
    for (const ColumnInfo& c : r.columns) {
        const bool inPk = pk.contains(c.name, Qt::CaseInsensitive);
        const bool autoKey = (c.attributes & dbAutoIncrField)
                             && (pk.isEmpty() || (pk.size() == 1 && inPk));
        if (autoKey)
            pkDone = true;
        // A whole-number key of its own is the table's row number: rows are
        // stored in key order and found by it, with no separate index to
        // keep beside them.
        if (!autoKey && c.type == dbLong && pk.size() == 1 && inPk) {
            pkDone = true;
            defs << quoteName(c.name) + QStringLiteral(" INTEGER PRIMARY KEY NOT NULL");
            continue;
        }
        defs << columnDefinition(c, inPk || notNull.contains(c.name.toLower()), autoKey);
    }
    if (!pk.isEmpty() && !pkDone) {
        QStringList q;
        for (const QString& k : pk)
            q << quoteName(k);
        defs << QStringLiteral("PRIMARY KEY (%1)").arg(q.join(QLatin1String(", ")));
    }
    for (const QStringList& u : uniques) {
        QStringList q;
        for (const QString& k : u)
            q << quoteName(k);
        defs << QStringLiteral("UNIQUE (%1)").arg(q.join(QLatin1String(", ")));
    }
    r.keyColumns = pk;
    r.sql = QStringLiteral("CREATE TABLE %1 (%2)").arg(quoteName(r.table), defs.join(QLatin1String(", ")));
    return r;
}

Translated translateAlter(const Toks& v, const QString& sql)
{
    Translated r;
    if (v.size() < 5 || !isNameTok(v[2]))
        fail(QStringLiteral("Syntax error in ALTER TABLE statement"), sql);
    r.table = v[2].text;
    size_t i = 3;
    if (v[i].is("ADD")) {
        ++i;
        if (v[i].is("COLUMN"))
            ++i;
        if (v[i].is("CONSTRAINT") || v[i].is("PRIMARY") || v[i].is("UNIQUE")) {
            if (v[i].is("CONSTRAINT")) {
                if (i + 1 >= v.size())
                    fail(QStringLiteral("Syntax error in CONSTRAINT clause"), sql);
                r.constraintName = v[i + 1].text;
                i += 2;
            }
            if (i + 1 < v.size() && v[i].is("PRIMARY") && v[i + 1].is("KEY")) {
                r.kind = StatementKind::AddPrimaryKey;
                i += 2;
            } else if (i < v.size() && v[i].is("UNIQUE")) {
                r.kind = StatementKind::AddUnique;
                ++i;
            } else {
                fail(QStringLiteral("Syntax error in CONSTRAINT clause"), sql);
            }
            if (i >= v.size() || v[i].t != T::LParen)
                fail(QStringLiteral("Syntax error in CONSTRAINT clause"), sql);
            const size_t cl = matchParen(v, i, sql);
            if (cl + 1 != v.size())
                fail(QStringLiteral("Syntax error in CONSTRAINT clause"), sql);
            r.keyColumns = nameList(slice(v, i + 1, cl), sql);
            return r;
        }
        r.kind = StatementKind::AddColumn;
        if (!isNameTok(v[i]))
            fail(QStringLiteral("Syntax error in field definition"), sql);
        ColumnInfo c;
        const QString name = v[i].text;
        ++i;
        c = parseColumnType(v, i, sql);
        c.name = name;
        while (i < v.size()) {
            if (v[i].is("NULL") || v[i].is("NOT"))
                ++i;   // NOT NULL on an added column cannot hold for existing rows; the engine ignores it too
            else
                fail(QStringLiteral("Syntax error in field definition"), sql);
        }
        r.columns.push_back(c);
        return r;
    }
    if (v[i].is("DROP")) {
        ++i;
        if (i < v.size() && v[i].is("COLUMN")) {
            ++i;
            if (i + 1 != v.size() || !isNameTok(v[i]))
                fail(QStringLiteral("Syntax error in ALTER TABLE statement"), sql);
            r.kind = StatementKind::DropColumn;
            r.column = v[i].text;
            return r;
        }
        if (i < v.size() && v[i].is("CONSTRAINT")) {
            if (i + 2 != v.size())
                fail(QStringLiteral("Syntax error in ALTER TABLE statement"), sql);
            r.kind = StatementKind::DropConstraint;
            r.constraintName = v[i + 1].text;
            return r;
        }
        if (i + 1 == v.size() && isNameTok(v[i])) {
            r.kind = StatementKind::DropColumn;
            r.column = v[i].text;
            return r;
        }
    }
    fail(QStringLiteral("Syntax error in ALTER TABLE statement"), sql);
}

/// Analyses a translated-ready SELECT for a single updatable table.
void analyseSelect(const Toks& v, const Emitter& em, Translated& r)
{
    // SELECT [list] FROM name [alias] [WHERE ...] [ORDER BY ...]
    if (v.empty() || !v[0].is("SELECT"))
        return;
    const size_t from = findWord(v, "FROM");
    if (from == SIZE_MAX || from + 1 >= v.size())
        return;
    // TOP n keeps the table's own rows (SELECT TOP 1 * reads a table's field definitions).
    size_t first = 1;
    if (v.size() > 3 && v[1].is("TOP") && v[2].t == T::Num) {
        r.topRows = v[2].text;
        first = 3;
    }
    for (size_t i = first; i < from; ++i) {
        const Tok& t = v[i];
        // column AS name: still the table's column, written through under its new name
        if (t.is("AS") && isNameTok(v[i - 1]) && i + 1 < from && isNameTok(v[i + 1])) {
            ++i;
            continue;
        }
        if (t.is("DISTINCT") || t.is("DISTINCTROW") || t.is("TOP") || t.t == T::LParen || t.t == T::Op
            || t.is("AS") || t.t == T::Str || t.t == T::Num || t.t == T::Date) {
            if (!(t.op("*")))
                return;
        }
    }
    if (!isNameTok(v[from + 1]) || (v[from + 1].t == T::Name && isExternalSpec(v[from + 1].text)))
        return;
    size_t i = from + 2;
    if (i < v.size() && v[i].t == T::Word && !v[i].is("WHERE") && !v[i].is("ORDER"))
        return;   // an alias or a join: leave it to the general road
    const size_t where = findWord(v, "WHERE", from);
    const size_t order = findWord(v, "ORDER", from);
    if (findWord(v, "GROUP", from) != SIZE_MAX || findWord(v, "HAVING", from) != SIZE_MAX
        || findWord(v, "UNION", from) != SIZE_MAX)
        return;
    if (i < v.size() && i != where && i != order)
        return;
    r.singleTable = true;
    r.baseTable = v[from + 1].text;
    r.selectList = em.render(slice(v, first, from));
    if (where != SIZE_MAX)
        r.whereClause = em.render(slice(v, where + 1, order == SIZE_MAX ? v.size() : order));
    if (order != SIZE_MAX)
        r.orderClause = em.render(slice(v, order, v.size())).mid(QStringLiteral("ORDER BY ").size());
}

/// One table of a FROM clause: a name with an optional [AS] alias.
bool isPlainTable(const Toks& part)
{
    if (part.empty() || part.size() > 3 || !isNameTok(part[0]) || part[0].is("SELECT")
        || (part[0].t == T::Name && isExternalSpec(part[0].text)))
        return false;
    if (part.size() == 2)
        return isNameTok(part[1]) && !part[1].is("AS");
    if (part.size() == 3)
        return part[1].is("AS") && isNameTok(part[2]);
    return true;
}

/// "A RIGHT JOIN B ON c" of two plain tables becomes "B LEFT JOIN A ON c":
/// the same rows, but SQLite runs a RIGHT JOIN with A as its outer loop and
/// scans B once for every row of A when B has no index on the join columns,
/// where the LEFT JOIN looks A up by its key for each row of B. Left as it is
/// when the select list has a bare * (its column order would change) or
/// the FROM clause joins more than two tables.
void swapRightJoin(Toks& v)
{
    const size_t from = findWord(v, "FROM");
    const size_t join = from == SIZE_MAX ? SIZE_MAX : findWord(v, "JOIN", from);
    if (join == SIZE_MAX || join < from + 3 || findWord(v, "JOIN", join + 1) != SIZE_MAX)
        return;
    size_t right = join - 1;
    if (v[right].is("OUTER"))
        --right;
    if (!v[right].is("RIGHT"))
        return;
    const size_t on = findWord(v, "ON", join);
    if (on == SIZE_MAX)
        return;
    int depth = 0;
    for (size_t k = 0; k < from; ++k) {
        if (v[k].t == T::LParen)
            ++depth;
        else if (v[k].t == T::RParen)
            --depth;
        else if (depth == 0 && v[k].op("*"))
            return;
    }
    const Toks a = slice(v, from + 1, right);
    const Toks b = slice(v, join + 1, on);
    if (!isPlainTable(a) || !isPlainTable(b))
        return;
    Toks out = slice(v, 0, from + 1);
    out.insert(out.end(), b.begin(), b.end());
    out.push_back(Tok{T::Word, QStringLiteral("LEFT"), v[right].pos});
    out.push_back(v[join]);
    out.insert(out.end(), a.begin(), a.end());
    out.insert(out.end(), v.begin() + static_cast<long>(on), v.end());
    v = std::move(out);
}

Translated translateSelect(Toks v, const QString& sql)
{
    swapRightJoin(v);
    Translated r;
    r.kind = StatementKind::Select;
    const size_t into = findWord(v, "INTO");
    const size_t from = findWord(v, "FROM");
    if (into != SIZE_MAX && (from == SIZE_MAX || into < from)) {
        r.kind = StatementKind::SelectInto;
        size_t i = into + 1;
        if (i >= v.size() || !isNameTok(v[i]))
            fail(QStringLiteral("Expected a table name after INTO"), sql);
        if (i + 2 < v.size() && v[i + 1].t == T::Dot && isNameTok(v[i + 2])) {
            r.intoSpec = v[i].text;
            r.intoName = v[i + 2].text;
            i += 3;
        } else {
            r.intoName = v[i].text;
            i += 1;
        }
        v.erase(v.begin() + static_cast<long>(into), v.begin() + static_cast<long>(i));
    }
    Emitter em{&r.externals, sql};
    r.sql = em.render(v);
    if (r.kind == StatementKind::Select && r.externals.empty()) {
        Emitter plain{nullptr, sql};
        analyseSelect(v, plain, r);
    }
    return r;
}

Translated translateUpdate(const Toks& v, const QString& sql, const ColumnsOf& columnsOf, const StatementColumns& cols)
{
    Translated r;
    r.kind = StatementKind::Update;
    const size_t set = findWord(v, "SET");
    if (set == SIZE_MAX || set < 2)
        fail(QStringLiteral("Syntax error in UPDATE statement"), sql);
    const size_t where = findWord(v, "WHERE", set);
    const Toks target = slice(v, 1, set);
    Emitter em{&r.externals, sql};

    // The target is the statement's first table, joined or not.
    ColumnList targetColumns;
    if (columnsOf && !target.empty() && isNameTok(target[0]))
        targetColumns = columnsOf(target[0].text);
    auto typeOf = [&](const QString& column) {
        for (const ColumnInfo& c : targetColumns)
            if (c.name.compare(column, Qt::CaseInsensitive) == 0)
                return c.type;
        return 0;
    };

    // SET a.x = e, y = f: the target's columns stand unqualified in SQLite.
    QStringList assigns;
    for (Toks a : splitCommas(slice(v, set + 1, where))) {
        size_t eq = SIZE_MAX;
        for (size_t k = 0; k < a.size(); ++k)
            if (a[k].op("=")) {
                eq = k;
                break;
            }
        if (eq == SIZE_MAX || eq == 0)
            fail(QStringLiteral("Syntax error in UPDATE statement"), sql);
        Toks lhs = slice(a, 0, eq);
        if (lhs.size() == 3 && lhs[1].t == T::Dot)
            lhs = slice(lhs, 2, 3);
        if (lhs.size() != 1 || !isNameTok(lhs[0]))
            fail(QStringLiteral("Syntax error in UPDATE statement"), sql);
        Toks value = slice(a, eq + 1, a.size());
        if (const int type = typeOf(lhs[0].text); !value.empty() && needsPut(type, value, 0, value.size(), cols))
            wrapPut(value, 0, value.size(), type);
        assigns << quoteName(lhs[0].text) + QLatin1String(" = ") + em.render(value);
    }
    const QString whereText = where == SIZE_MAX ? QString() : em.render(slice(v, where + 1, v.size()));

    size_t join = SIZE_MAX;
    for (size_t k = 0; k < target.size(); ++k)
        if (target[k].is("JOIN")) {
            join = k;
            break;
        }
    auto tableAndAlias = [&](const Toks& part, QString& table, QString& alias) {
        if (part.empty() || !isNameTok(part[0]))
            fail(QStringLiteral("Syntax error in UPDATE statement"), sql);
        table = part[0].text;
        size_t k = 1;
        if (k < part.size() && part[k].is("AS"))
            ++k;
        if (k < part.size()) {
            if (k + 1 != part.size() || !isNameTok(part[k]))
                fail(QStringLiteral("Syntax error in UPDATE statement"), sql);
            alias = part[k].text;
        }
    };
    QString table, alias;
    if (join == SIZE_MAX) {
        tableAndAlias(target, table, alias);
        r.table = table;
        r.sql = QStringLiteral("UPDATE ") + quoteName(table)
                + (alias.isEmpty() ? QString() : QLatin1String(" AS ") + quoteName(alias))
                + QLatin1String(" SET ") + assigns.join(QLatin1String(", "))
                + (whereText.isEmpty() ? QString() : QLatin1String(" WHERE ") + whereText);
        return r;
    }
    size_t joinStart = join;
    if (joinStart > 0 && target[joinStart - 1].is("INNER"))
        --joinStart;
    else if (joinStart > 0 && (target[joinStart - 1].is("LEFT") || target[joinStart - 1].is("RIGHT")))
        fail(QStringLiteral("Only INNER JOIN is supported in UPDATE"), sql);
    tableAndAlias(slice(target, 0, joinStart), table, alias);
    size_t on = SIZE_MAX;
    for (size_t k = join; k < target.size(); ++k)
        if (target[k].is("ON")) {
            on = k;
            break;
        }
    if (on == SIZE_MAX)
        fail(QStringLiteral("JOIN without ON"), sql);
    QString table2, alias2;
    tableAndAlias(slice(target, join + 1, on), table2, alias2);
    const QString cond = em.render(slice(target, on + 1, target.size()));
    r.table = table;
    r.sql = QStringLiteral("UPDATE ") + quoteName(table)
            + (alias.isEmpty() ? QString() : QLatin1String(" AS ") + quoteName(alias))
            + QLatin1String(" SET ") + assigns.join(QLatin1String(", ")) + QLatin1String(" FROM ")
            + quoteName(table2) + (alias2.isEmpty() ? QString() : QLatin1String(" AS ") + quoteName(alias2))
            + QLatin1String(" WHERE (") + cond + QLatin1Char(')')
            + (whereText.isEmpty() ? QString() : QLatin1String(" AND (") + whereText + QLatin1Char(')'));
    return r;
}

Translated translateDelete(const Toks& v, const QString& sql)
{
    // DELETE [*|t.*] FROM t [INNER JOIN ...] [WHERE ...]
    Translated r;
    r.kind = StatementKind::Delete;
    const size_t from = findWord(v, "FROM");
    if (from == SIZE_MAX || from + 1 >= v.size() || !isNameTok(v[from + 1]))
        fail(QStringLiteral("Syntax error in DELETE statement"), sql);
    Emitter em{&r.externals, sql};
    const Toks rest = slice(v, from + 1, v.size());
    bool joined = false;
    for (const Tok& t : rest)
        joined = joined || t.is("JOIN");
    if (!joined) {
        const size_t where = findWord(rest, "WHERE");
        size_t k = 1;
        if (k < rest.size() && k != where)
            fail(QStringLiteral("Syntax error in DELETE statement"), sql);
        r.table = rest[0].text;
        r.sql = QStringLiteral("DELETE FROM ") + quoteName(r.table)
                + (where == SIZE_MAX ? QString() : QLatin1String(" WHERE ") + em.render(slice(rest, where + 1, rest.size())));
        return r;
    }
    // DELETE t.* FROM t INNER JOIN u ON ...: delete the rows of the named table.
    QString target;
    if (from >= 3 && v[from - 1].op("*") && v[from - 2].t == T::Dot)
        target = v[from - 3].text;
    if (target.isEmpty())
        fail(QStringLiteral("Specify the table containing the records you want to delete"), sql);
    QString table = rest[0].text;
    QString alias;
    if (rest.size() > 1 && isNameTok(rest[1]) && !rest[1].is("INNER") && !rest[1].is("LEFT") && !rest[1].is("AS"))
        alias = rest[1].text;
    else if (rest.size() > 2 && rest[1].is("AS"))
        alias = rest[2].text;
    if (target.compare(table, Qt::CaseInsensitive) != 0 && target.compare(alias, Qt::CaseInsensitive) != 0)
        fail(QStringLiteral("Only the first table of a join can be deleted from"), sql);
    r.table = table;
    r.sql = QStringLiteral("DELETE FROM %1 WHERE rowid IN (SELECT %2.rowid FROM %3)")
                .arg(quoteName(table), quoteName(alias.isEmpty() ? table : alias), em.render(rest));
    return r;
}

/// The items of the select list of the SELECT at v[sel], as [begin, end) ranges.
std::vector<std::pair<size_t, size_t>> selectItems(const Toks& v, size_t sel)
{
    size_t j = sel + 1;
    if (j < v.size() && (v[j].is("DISTINCT") || v[j].is("DISTINCTROW") || v[j].is("ALL")))
        ++j;
    if (j + 1 < v.size() && v[j].is("TOP"))
        j += 2;
    std::vector<std::pair<size_t, size_t>> items;
    size_t begin = j;
    int depth = 0;
    for (; j < v.size(); ++j) {
        if (v[j].t == T::LParen) {
            ++depth;
        } else if (v[j].t == T::RParen) {
            --depth;
        } else if (depth == 0 && v[j].t == T::Comma) {
            items.emplace_back(begin, j);
            begin = j + 1;
        } else if (depth == 0 && (v[j].is("FROM") || v[j].is("INTO"))) {
            break;
        }
    }
    items.emplace_back(begin, j);
    return items;
}

// INSERT INTO t SELECT ...: the engine fills the columns of t named like the
// select list's columns (an alias, or the column itself), not by position, so
// the column list is written out for SQLite. Each value is also passed through
// jet_store, so that a whole number reaching a text column is written "24" as
// the engine writes it; the explicit JETCI keeps DISTINCT and GROUP BY over the
// wrapped values without case.
void insertSelectByName(Toks& v, const QString& sql)
{
    size_t sel = 3;
    if (sel < v.size() && v[sel].t == T::LParen)
        sel = matchParen(v, sel, sql) + 1;
    if (sel >= v.size() || !v[sel].is("SELECT"))
        return;
    auto items = selectItems(v, sel);
    bool star = false;
    QStringList names;
    for (const auto& [a, b] : items) {
        if (a < b && v[b - 1].op("*")) {
            star = true;
            continue;
        }
        if (b >= a + 2 && v[b - 2].is("AS") && isNameTok(v[b - 1]))
            names << v[b - 1].text;
        else if (a < b && isNameTok(v[b - 1]) && (b == a + 1 || v[b - 2].t == T::Dot))
            names << v[b - 1].text;
        else
            names << QString();
    }
    // Wrap from the last item back, so the earlier positions stay valid.
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        const auto [a, b] = *it;
        if (a >= b || v[b - 1].op("*"))
            continue;
        const size_t end = (b >= a + 2 && v[b - 2].is("AS")) ? b - 2 : b;
        const int pos = v[a].pos;
        v.insert(v.begin() + static_cast<long>(end),
                 {Tok{T::RParen, QStringLiteral(")"), pos}, Tok{T::Word, QStringLiteral("COLLATE"), pos},
                  Tok{T::Word, QStringLiteral("JETCI"), pos}});
        v.insert(v.begin() + static_cast<long>(a),
                 {Tok{T::Word, QStringLiteral("jet_store"), pos}, Tok{T::LParen, QStringLiteral("("), pos}});
    }
    if (sel != 3 || star || names.contains(QString()))
        return;
    Toks list{Tok{T::LParen, QStringLiteral("("), v[2].pos}};
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (i)
            list.push_back(Tok{T::Comma, QStringLiteral(","), v[2].pos});
        list.push_back(Tok{T::Name, names[i], v[2].pos});
    }
    list.push_back(Tok{T::RParen, QStringLiteral(")"), v[2].pos});
    v.insert(v.begin() + 3, list.begin(), list.end());
}

/// The comma-separated items inside the parentheses at v[open], as [begin, end) ranges.
std::vector<std::pair<size_t, size_t>> parenItems(const Toks& v, size_t open, size_t close)
{
    std::vector<std::pair<size_t, size_t>> items;
    size_t begin = open + 1;
    int depth = 0;
    for (size_t j = open + 1; j < close; ++j) {
        if (v[j].t == T::LParen)
            ++depth;
        else if (v[j].t == T::RParen)
            --depth;
        else if (depth == 0 && v[j].t == T::Comma) {
            items.emplace_back(begin, j);
            begin = j + 1;
        }
    }
    items.emplace_back(begin, close);
    return items;
}

// INSERT INTO t [(columns)] VALUES (...)[, (...)] or SELECT ...: each value
// bound for a column that is not text passes through jet_put. The columns are
// those listed, else the table's in order; a select list with * is left to
// the table's own checks.
void convertInsertValues(Toks& v, const ColumnList& table, const QString& sql, const StatementColumns& cols)
{
    if (table.empty())
        return;
    std::vector<int> types;
    size_t at = 3;
    if (at < v.size() && v[at].t == T::LParen) {
        const size_t close = matchParen(v, at, sql);
        for (const auto& [a, b] : parenItems(v, at, close)) {
            int type = 0;
            if (b == a + 1 && isNameTok(v[a]))
                for (const ColumnInfo& c : table)
                    if (c.name.compare(v[a].text, Qt::CaseInsensitive) == 0)
                        type = c.type;
            types.push_back(type);
        }
        at = close + 1;
    } else {
        for (const ColumnInfo& c : table)
            types.push_back(c.type);
    }
    if (at >= v.size())
        return;
    std::vector<std::pair<size_t, size_t>> values;   // every value, with its position among the columns
    std::vector<int> valueTypes;
    if (v[at].is("VALUES")) {
        for (size_t j = at + 1; j < v.size();) {
            if (v[j].t != T::LParen)
                return;
            const size_t close = matchParen(v, j, sql);
            const auto items = parenItems(v, j, close);
            for (size_t i = 0; i < items.size() && i < types.size(); ++i) {
                values.push_back(items[i]);
                valueTypes.push_back(types[i]);
            }
            j = close + 1;
            if (j < v.size() && v[j].t == T::Comma)
                ++j;
        }
    } else if (v[at].is("SELECT")) {
        if (findWord(v, "UNION", at) != SIZE_MAX)
            return;
        const auto items = selectItems(v, at);
        for (size_t i = 0; i < items.size(); ++i) {
            auto [a, b] = items[i];
            if (a >= b || v[b - 1].op("*"))
                return;
            if (b >= a + 2 && v[b - 2].is("AS"))
                b -= 2;
            if (i < types.size()) {
                values.emplace_back(a, b);
                valueTypes.push_back(types[i]);
            }
        }
    } else {
        return;
    }
    // From the last value back, so that the earlier positions stay valid.
    for (size_t i = values.size(); i-- > 0;)
        if (values[i].first < values[i].second && needsPut(valueTypes[i], v, values[i].first, values[i].second, cols))
            wrapPut(v, values[i].first, values[i].second, valueTypes[i]);
}

} // namespace

bool isExternalSpec(const QString& t)
{
    if (t.contains(QLatin1Char(';')) || t.contains(QLatin1Char('=')) || t.contains(QLatin1Char('\\'))
        || t.contains(QLatin1Char('/')))
        return true;
    const QString l = t.toLower();
    return l.endsWith(QLatin1String(".mdb")) || l.endsWith(QLatin1String(".sys")) || l.endsWith(QLatin1String(".xls"))
           || l.endsWith(QLatin1String(".accdb")) || l.endsWith(QLatin1String(".db"));
}

QString dateLiteralToStored(const QString& inner)
{
    const auto d = readDateText(inner);
    return d ? storedDate(*d) : QString();
}

Translated translate(const QString& sql, const ColumnsOf& columnsOf)
{
    Toks v = tokenize(sql);
    while (!v.empty() && v.back().t == T::Semi)
        v.pop_back();
    if (v.empty())
        fail(QStringLiteral("Empty statement"), sql);
    for (const Tok& t : v)
        if (t.t == T::Semi)
            fail(QStringLiteral("Characters found after end of SQL statement"), sql);
    if (v[0].is("SELECT") || v[0].is("UPDATE") || v[0].is("DELETE") || v[0].is("INSERT"))
        refuseUnknownFunctions(v);
    rewriteConcat(v);
    rewriteWholeDivision(v);
    rewriteDivision(v);
    const bool writes = v[0].is("UPDATE") || v[0].is("INSERT");
    const bool arithmetic = std::any_of(v.begin(), v.end(), [](const Tok& t) {
        return t.op("+") || t.op("-") || t.op("*");
    });
    // Comparisons need the types too: a date compares with a number by its
    // serial; and AND, OR and NOT take Yes/No values only.
    bool numberCompared = false;
    for (size_t k = 0; k < v.size() && !numberCompared; ++k)
        numberCompared = isComparison(v[k]) || v[k].is("BETWEEN") || v[k].is("SUM") || v[k].is("AVG")
                         || v[k].is("AND") || v[k].is("OR") || v[k].is("NOT");
    const StatementColumns cols = writes || arithmetic || numberCompared ? statementColumns(v, columnsOf) : StatementColumns();
    rewriteOperators(v, cols);
    datesComparedWithNumbers(v, cols);
    // Currency columns are told by their type wherever they stand.
    const StatementColumns amounts = cols.tables.empty() ? statementColumns(v, columnsOf) : cols;
    if (!v[0].is("INSERT"))
        currencyValues(v, amounts, false);
    if (v[0].is("SELECT") || v[0].is("UPDATE") || v[0].is("DELETE") || v[0].is("INSERT")) {
        collateComparisons(v);
        wrapSpans(v, ConditionValues(v, cols).statement());
    }
    const Tok& head = v[0];
    if (head.is("SELECT"))
        return translateSelect(v, sql);
    if (head.is("UPDATE"))
        return translateUpdate(v, sql, columnsOf, cols);
    if (head.is("DELETE"))
        return translateDelete(v, sql);
    if (head.is("INSERT")) {
        if (v.size() < 3 || !v[1].is("INTO") || !isNameTok(v[2]))
            fail(QStringLiteral("Syntax error in INSERT INTO statement"), sql);
        Translated r;
        r.kind = StatementKind::Insert;
        r.table = v[2].text;
        insertSelectByName(v, sql);
        if (columnsOf)
            convertInsertValues(v, columnsOf(r.table), sql, cols);
        currencyValues(v, amounts, true);
        Emitter em{&r.externals, sql};
        r.sql = em.render(v);
        return r;
    }
    if (head.is("CREATE") && v.size() > 1 && v[1].is("TABLE"))
        return translateCreateTable(v, sql);
    if (head.is("CREATE") && v.size() > 2 && (v[1].is("INDEX") || (v[1].is("UNIQUE") && v[2].is("INDEX")))) {
        Translated r;
        r.kind = StatementKind::CreateIndex;
        size_t i = 1;
        if (v[i].is("UNIQUE")) {
            r.unique = true;
            ++i;
        }
        ++i;
        if (i + 3 >= v.size() || !isNameTok(v[i]) || !v[i + 1].is("ON") || !isNameTok(v[i + 2]) || v[i + 3].t != T::LParen)
            fail(QStringLiteral("Syntax error in CREATE INDEX statement"), sql);
        r.constraintName = v[i].text;
        r.table = v[i + 2].text;
        const size_t cl = matchParen(v, i + 3, sql);
        Toks cols;
        for (const Tok& t : slice(v, i + 4, cl))
            if (!t.is("ASC") && !t.is("DESC"))
                cols.push_back(t);
        r.keyColumns = nameList(cols, sql);
        return r;
    }
    if (head.is("ALTER") && v.size() > 1 && v[1].is("TABLE"))
        return translateAlter(v, sql);
    if (head.is("DROP") && v.size() == 3 && v[1].is("TABLE") && isNameTok(v[2])) {
        Translated r;
        r.kind = StatementKind::DropTable;
        r.table = v[2].text;
        r.sql = QStringLiteral("DROP TABLE ") + quoteName(r.table);
        return r;
    }
    if (head.is("DROP") && v.size() == 5 && v[1].is("INDEX") && v[3].is("ON")) {
        Translated r;
        r.kind = StatementKind::DropIndex;
        r.constraintName = v[2].text;
        r.table = v[4].text;
        return r;
    }
    fail(QStringLiteral("Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'"), sql);
}

QString translateExpression(const QString& expr, const ColumnList& columns)
{
    Toks v = tokenize(expr);
    refuseUnknownFunctions(v);
    rewriteConcat(v);
    rewriteWholeDivision(v);
    rewriteDivision(v);
    StatementColumns cols;
    if (!columns.empty())
        cols.tables.push_back(columns);
    rewriteOperators(v, cols);
    datesComparedWithNumbers(v, cols);
    currencyValues(v, cols, false);
    collateComparisons(v);
    wrapSpans(v, ConditionValues(v, cols).condition());
    Emitter em{nullptr, expr};
    return em.render(v);
}

} // namespace jet
