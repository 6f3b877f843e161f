// The field splitter shared by the text wizard's preview and the text import.
// A small state machine over the line's characters writes the field texts one
// after the other into one buffer (a field never grows longer than its source,
// so the buffer never exceeds the line) and remembers where each field ends.
#include "exchange/line_split.h"

namespace exchange {

SplitOptions SplitOptions::fromTexts(const QString& delimiterText, const QString& qualifierText)
{
    SplitOptions o;
    if (delimiterText.size() == 1)
        o.delimiter = delimiterText.at(0);
    if (qualifierText.size() == 1)
        o.qualifier = qualifierText.at(0);
    return o;
}

const std::vector<QStringView>& LineSplitter::split(QStringView line)
{
    enum class State { Outside, Quoted, AfterQuote };

    const qsizetype n = line.size();
    buffer_.resize(n);
    QChar* out = buffer_.data();
    qsizetype o = 0;
    ends_.clear();

    // Sentinels that no QChar equals stand in for "none", keeping the loop free
    // of optional tests.
    const bool hasDelim = options_.delimiter.has_value();
    const bool hasQual = options_.qualifier.has_value();
    const char16_t delim = hasDelim ? options_.delimiter->unicode() : 0;
    const char16_t qual = hasQual ? options_.qualifier->unicode() : 0;

    State state = State::Outside;
    bool blankSoFar = true; // only blanks in the current field so far
    const QChar* in = line.data();
    for (qsizetype p = 0; p < n; ++p) {
        const char16_t c = in[p].unicode();
        switch (state) {
        case State::Outside:
            if (hasDelim && c == delim) {
                ends_.push_back(o);
                blankSoFar = true;
            } else if (hasQual && c == qual && blankSoFar) {
                state = State::Quoted;
            } else {
                out[o++] = QChar(c);
                if (c != u' ')
                    blankSoFar = false;
            }
            break;
        case State::Quoted:
            if (hasQual && c == qual)
                state = State::AfterQuote;
            else
                out[o++] = QChar(c);
            break;
        case State::AfterQuote:
            if (hasDelim && c == delim) {
                ends_.push_back(o);
                blankSoFar = true;
                state = State::Outside;
            } else if (c == qual) {
                out[o++] = QChar(c); // one of a doubled pair
                state = State::Quoted;
            } else {
                out[o++] = QChar(c);
                blankSoFar = false;
                state = State::Outside;
            }
            break;
        }
    }
    ends_.push_back(o);
    endedQuoted_ = state == State::Quoted;

    fields_.clear();
    fields_.reserve(ends_.size());
    qsizetype begin = 0;
    for (qsizetype end : ends_) {
        fields_.emplace_back(buffer_.constData() + begin, end - begin);
        begin = end;
    }
    return fields_;
}

bool LineSplitter::quotedTextGoesOn(QStringView more) const
{
    // split()'s rules without its output, starting inside the quoted text.
    enum class State { Outside, Quoted, AfterQuote };
    const bool hasDelim = options_.delimiter.has_value();
    const char16_t delim = hasDelim ? options_.delimiter->unicode() : 0;
    const char16_t qual = options_.qualifier ? options_.qualifier->unicode() : 0;
    State state = State::Quoted;
    bool blankSoFar = false;
    for (const QChar ch : more) {
        const char16_t c = ch.unicode();
        switch (state) {
        case State::Quoted:
            if (c == qual)
                state = State::AfterQuote;
            break;
        case State::AfterQuote:
            if (hasDelim && c == delim) {
                state = State::Outside;
                blankSoFar = true;
            } else if (c == qual) {
                state = State::Quoted;
            } else {
                state = State::Outside;
                blankSoFar = false;
            }
            break;
        case State::Outside:
            if (hasDelim && c == delim)
                blankSoFar = true;
            else if (c == qual && blankSoFar)
                state = State::Quoted;
            else if (c != u' ')
                blankSoFar = false;
            break;
        }
    }
    return state == State::Quoted;
}

QStringList splitLine(QStringView line, const SplitOptions& options)
{
    LineSplitter splitter(options);
    QStringList fields;
    for (QStringView f : splitter.split(line))
        fields.append(f.toString());
    return fields;
}

} // namespace exchange
