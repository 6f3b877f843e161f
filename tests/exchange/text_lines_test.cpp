#include "exchange/text_lines.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace exchange;

namespace {

std::vector<QString> readAll(QByteArray bytes, TextEncoding enc, qint64* consumed = nullptr)
{
    QBuffer buf(&bytes);
    buf.open(QIODevice::ReadOnly);
    TextLineReader reader(buf, enc);
    std::vector<QString> lines;
    QString line;
    while (reader.readLine(line))
        lines.push_back(line);
    EXPECT_FALSE(reader.hasError());
    if (consumed)
        *consumed = reader.bytesConsumed();
    return lines;
}

TextEncoding detect(QByteArray bytes)
{
    QBuffer buf(&bytes);
    buf.open(QIODevice::ReadOnly);
    return detectTextEncoding(buf);
}

} // namespace

TEST(TextLines, LineEnds)
{
    struct Case { QByteArray bytes; std::vector<QString> want; };
    const Case cases[] = {
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},
        {"a\rb\r", {"a", "b"}},
        {"a\r\rb", {"a", "", "b"}},
        {"a\n\r\nb", {"a", "", "b"}},
        {"\n", {""}},
        {"", {}},
        {"\xEF\xBB\xBFName\r\n", {"Name"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(readAll(c.bytes, TextEncoding::Utf8), c.want) << c.bytes.toStdString();
}

TEST(TextLines, Decoding)
{
    const QByteArray utf8 = QStringLiteral("Zoë,Łódź,€").toUtf8();
    EXPECT_EQ(detect(utf8), TextEncoding::Utf8);
    EXPECT_EQ(readAll(utf8, TextEncoding::Utf8), std::vector<QString>{QStringLiteral("Zoë,Łódź,€")});

    const QByteArray cp1252("Zo\xEB,\x80,\x93quoted\x94");
    EXPECT_EQ(detect(cp1252), TextEncoding::Windows1252);
    EXPECT_EQ(readAll(cp1252, TextEncoding::Windows1252),
              std::vector<QString>{QString::fromUtf8("Zoë,€,“quoted”")});

    // malformed UTF-8 of every kind makes the file Windows-1252
    const QByteArray bad[] = {
        "\xC0\xAF",         // overlong
        "\xED\xA0\x80",     // surrogate
        "\xF4\x90\x80\x80", // above U+10FFFF
        "abc\xC3",          // cut off at the end
        "\xA9",             // stray continuation byte
    };
    for (const QByteArray& b : bad)
        EXPECT_EQ(detect(b), TextEncoding::Windows1252) << b.toHex().toStdString();
}

TEST(TextLines, LinesAcrossReadBlocks)
{
    // Lines that straddle the reader's block boundary, a CR LF split between two
    // blocks, a non-ASCII character split between blocks and one line longer
    // than a block, with the byte count matching the file.
    QByteArray bytes;
    std::vector<QString> want;
    for (int len : {262143, 1, 262142, 600000, 5}) {
        QString line(len, u'x');
        if (len > 2)
            line[len / 2] = u'é';
        want.push_back(line);
        bytes += line.toUtf8() + "\r\n";
    }
    qint64 consumed = 0;
    EXPECT_EQ(detect(bytes), TextEncoding::Utf8);
    const auto got = readAll(bytes, TextEncoding::Utf8, &consumed);
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ(got[i], want[i]) << i;
    EXPECT_EQ(consumed, bytes.size());
}

TEST(TextLines, FileDetectionAndTrim)
{
    EXPECT_FALSE(detectTextEncoding(QStringLiteral("/nonexistent/dir/x.csv")));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.csv"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("plain ascii\r\n");
    f.close();
    EXPECT_EQ(detectTextEncoding(path), TextEncoding::Utf8);

    EXPECT_EQ(trimSpaces(u"  a b  "), u"a b");
    EXPECT_EQ(trimSpaces(u"\ta\t "), u"\ta\t");
    EXPECT_TRUE(trimSpaces(u"   ").isEmpty());
}

// A file with a UTF-16 or UTF-32 byte-order mark is read in that encoding, line
// ends of every kind and a line longer than one read block included; marks
// repeated after the file's own are dropped, so the first name comes out clean.
TEST(TextLines, ByteOrderMarksChooseTheEncoding)
{
    const QString text = QStringLiteral("Zoë,Ελλάδα,Łódź\r\n😀x\nlast\r") + QString(300000, QChar(u'ą')) + QStringLiteral("\r\nend");
    const std::vector<QString> want{QStringLiteral("Zoë,Ελλάδα,Łódź"), QStringLiteral("😀x"), QStringLiteral("last"),
                                    QString(300000, QChar(u'ą')), QStringLiteral("end")};
    struct Case { QStringConverter::Encoding codec; TextEncoding enc; };
    const Case cases[] = {
        {QStringConverter::Utf16LE, TextEncoding::Utf16LE},
        {QStringConverter::Utf16BE, TextEncoding::Utf16BE},
        {QStringConverter::Utf32LE, TextEncoding::Utf32LE},
        {QStringConverter::Utf32BE, TextEncoding::Utf32BE},
        {QStringConverter::Utf8, TextEncoding::Utf8},
    };
    for (const Case& c : cases) {
        for (const int marks : {1, 2}) {
            QStringEncoder enc(c.codec, QStringConverter::Flag::WriteBom);
            QByteArray bytes = enc.encode(QString(marks - 1, QChar(0xFEFF)) + text);
            SCOPED_TRACE(QStringConverter::nameForEncoding(c.codec) + std::to_string(marks));
            EXPECT_EQ(detect(bytes), c.enc);
            qint64 consumed = 0;
            EXPECT_EQ(readAll(bytes, c.enc, &consumed), want);
            EXPECT_EQ(consumed, bytes.size());
        }
    }
}

TEST(TextLines, NulCharactersAreDroppedAndCounted)
{
    struct Case { QByteArray bytes; TextEncoding enc; std::vector<QString> want; qint64 nuls; };
    const Case cases[] = {
        {QByteArray("Ann\0,B\0\0ob\r\n\0\r\nx", 16), TextEncoding::Utf8, {"Ann,Bob", "", "x"}, 4},
        {QByteArray("Zo\xEB\0,x\r\n", 8), TextEncoding::Windows1252, {QStringLiteral("Zoë,x")}, 1},
        {QByteArray("\xFF\xFE" "A\0\0\0B\0", 8), TextEncoding::Utf16LE, {"AB"}, 1},
    };
    for (const Case& c : cases) {
        QByteArray bytes = c.bytes;
        QBuffer buf(&bytes);
        buf.open(QIODevice::ReadOnly);
        TextLineReader reader(buf, c.enc);
        std::vector<QString> lines;
        QString line;
        while (reader.readLine(line))
            lines.push_back(line);
        EXPECT_EQ(lines, c.want) << c.bytes.toHex().toStdString();
        EXPECT_EQ(reader.nulsDropped(), c.nuls) << c.bytes.toHex().toStdString();
    }
}
