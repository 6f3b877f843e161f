// Proper case for the Case Converter: words given a capital first letter,
// word beginnings from the prefix list written as listed ("Mc", "O'"), and
// the texts of the exception list ("USA", "PO Box") written as listed where
// they stand as whole words: never inside a longer word ("usability",
// "Tempo Box").
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <memory>

namespace cleaning {

/// The word in proper case: the first character, and every character after
/// NUL, tab, line feed, vertical tab, form feed, carriage return or space, in
/// upper case, every other letter in lower case. Characters without case
/// (digits, the apostrophe) stay; the length never changes.
QString properWord(QStringView word);

/// The prefix and exception lists prepared for many values. Built once per
/// run, then only read.
class ProperCase {
public:
    /// prefixes are taken up to the first empty entry; empty exceptions are
    /// skipped and every later one still counts.
    ProperCase(const QStringList& prefixes, const QStringList& exceptions);
    /// Entries 1 to 1000 of the shared arrays (index 0 is not used).
    static ProperCase fromArrays(const std::array<QString, 1001>& prefixes,
                                 const std::array<QString, 1001>& exceptions);
    ~ProperCase();
    ProperCase(ProperCase&&) noexcept;
    ProperCase& operator=(ProperCase&&) noexcept;

    /// The whole value: split into words at the 24 separators (space & " , . :
    /// ; _ * + - / \ ^ < > = ~ ( ) [ ] { }), each word through word(), the
    /// separators copied as they are, then the exceptions over the result.
    QString convert(const QString& value) const;

    /// One word: the first listed prefix the word begins with (letter case
    /// ignored) as listed, then properWord of the rest; without a prefix,
    /// properWord of the whole word.
    QString word(QStringView w) const;

    /// Every exception in list order, each over what the earlier ones left:
    /// its whole-word occurrences, found left to right without regard to
    /// letter case and not overlapping, replaced by the entry as listed. An
    /// occurrence is whole when it starts at the text's start or after a
    /// character that is not a letter or digit, and ends at the text's end or
    /// before such a character; an entry whose first (last) character is not
    /// a letter or digit itself, such as the blank of " of ", makes its own
    /// boundary on that side.
    QString applyExceptions(const QString& text) const;

private:
    struct Data;
    std::unique_ptr<Data> d_;
};

} // namespace cleaning
