#include "support/xls_fixture.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-utils.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <algorithm>
#include <cstring>
#include <map>

namespace xlsfixture {

std::uint16_t u16(const std::string& s, std::size_t at)
{
    return std::uint16_t(static_cast<unsigned char>(s[at]) | static_cast<unsigned char>(s[at + 1]) << 8);
}
std::uint32_t u32(const std::string& s, std::size_t at) { return u16(s, at) | std::uint32_t(u16(s, at + 2)) << 16; }
double f64(const std::string& s, std::size_t at)
{
    double d;
    std::memcpy(&d, s.data() + at, 8);
    return d;
}
std::string le16(unsigned v) { return {char(v & 0xFF), char((v >> 8) & 0xFF)}; }
std::string le32(std::uint32_t v) { return le16(v & 0xFFFF) + le16(v >> 16); }
std::string le64(double v)
{
    std::string s(8, '\0');
    std::memcpy(s.data(), &v, 8);
    return s;
}

std::string readStream(const QString& path, std::string* name)
{
    gsf_init();
    std::string out;
    GsfInput* in = gsf_input_stdio_new(QFile::encodeName(path).constData(), nullptr);
    if (!in)
        return out;
    if (GsfInfile* ole = gsf_infile_msole_new(in, nullptr)) {
        for (const char* n : {"Workbook", "Book"}) {
            if (GsfInput* s = gsf_infile_child_by_name(ole, n)) {
                out.resize(std::size_t(gsf_input_size(s)));
                if (!out.empty() && !gsf_input_read(s, out.size(), reinterpret_cast<guint8*>(out.data())))
                    out.clear();
                g_object_unref(s);
                if (name)
                    *name = n;
                break;
            }
        }
        g_object_unref(ole);
    }
    g_object_unref(in);
    return out;
}

std::vector<Record> parse(const std::string& stream)
{
    std::vector<Record> out;
    std::size_t at = 0;
    while (at + 4 <= stream.size()) {
        const std::size_t len = u16(stream, at + 2);
        if (at + 4 + len > stream.size())
            break;
        out.push_back({u16(stream, at), stream.substr(at + 4, len), static_cast<long long>(at)});
        at += 4 + len;
    }
    return out;
}

namespace {

bool writeStream(const QString& path, const std::string& name, const std::string& stream)
{
    GsfOutput* file = gsf_output_stdio_new(QFile::encodeName(path).constData(), nullptr);
    if (!file)
        return false;
    GsfOutfile* ole = gsf_outfile_msole_new(file);
    GsfOutput* child = gsf_outfile_new_child(ole, name.c_str(), FALSE);
    bool ok = gsf_output_write(child, stream.size(), reinterpret_cast<const guint8*>(stream.data()));
    ok = gsf_output_close(child) && ok;
    ok = gsf_output_close(GSF_OUTPUT(ole)) && ok;
    if (!gsf_output_is_closed(file))
        ok = gsf_output_close(file) && ok;
    g_object_unref(child);
    g_object_unref(ole);
    g_object_unref(file);
    return ok;
}

} // namespace

bool editRecords(const QString& path, const std::function<void(std::vector<Record>&, bool biff8)>& edit)
{
    std::string name;
    const std::string stream = readStream(path, &name);
    if (stream.empty())
        return false;
    std::vector<Record> recs = parse(stream);
    const bool biff8 = !recs.empty() && recs[0].body.size() >= 2 && u16(recs[0].body, 0) == 0x0600;
    edit(recs, biff8);
    std::string out;
    std::map<long long, std::uint32_t> moved;
    for (const Record& r : recs) {
        if (r.origin >= 0)
            moved[r.origin] = std::uint32_t(out.size());
        out += le16(r.id) + le16(unsigned(r.body.size())) + r.body;
    }
    // The sheets' places follow their BOF records.
    std::size_t at = 0;
    for (const Record& r : recs) {
        if (r.id == 0x0085 && r.body.size() >= 4) {
            const auto it = moved.find(u32(r.body, 0));
            if (it != moved.end())
                out.replace(at + 4, 4, le32(it->second));
        }
        at += 4 + r.body.size();
    }
    if (out.size() < 4096)
        out.append(4096 - out.size(), '\0');
    return writeStream(path, name, out);
}

bool putFormulas(const QString& path, const std::map<double, Result>& formulas)
{
    return editRecords(path, [&](std::vector<Record>& recs, bool biff8) {
        std::vector<Record> out;
        for (const Record& r : recs) {
            if (r.id != 0x0203 || r.body.size() < 14 || !formulas.count(f64(r.body, 6))) {
                out.push_back(r);
                continue;
            }
            const Result& f = formulas.at(f64(r.body, 6));
            std::string result;
            switch (f.kind) {
            case Result::Kind::Number:
                result = le64(f.number);
                break;
            case Result::Kind::Text:
                result = std::string("\x00\x00\x00\x00\x00\x00\xFF\xFF", 8);
                break;
            case Result::Kind::Boolean:
                result = std::string("\x01\x00", 2) + char(f.flag ? 1 : 0) + std::string("\x00\x00\x00\xFF\xFF", 5);
                break;
            case Result::Kind::Error:
                result = std::string("\x02\x00", 2) + char(f.code) + std::string("\x00\x00\x00\xFF\xFF", 5);
                break;
            case Result::Kind::EmptyText:
                // BIFF8 has a result kind of its own; BIFF5 stores an empty STRING.
                result = biff8 ? std::string("\x03\x00\x00\x00\x00\x00\xFF\xFF", 8)
                               : std::string("\x00\x00\x00\x00\x00\x00\xFF\xFF", 8);
                break;
            }
            // The formula itself: the whole number 1 (tInt), which readers of
            // the stored result never evaluate.
            const std::string tokens = std::string("\x1E", 1) + le16(1);
            Record formula{0x0006, r.body.substr(0, 6) + result + le16(0) + le32(0) + le16(unsigned(tokens.size())) + tokens, -1};
            out.push_back(formula);
            const bool text = f.kind == Result::Kind::Text || (f.kind == Result::Kind::EmptyText && !biff8);
            if (text) {
                std::string body = le16(unsigned(f.text.size()));
                if (biff8) {
                    body += '\x01';
                    for (QChar c : f.text)
                        body += le16(c.unicode());
                } else {
                    body += f.text.toLatin1().toStdString();
                }
                out.push_back({0x0207, body, -1});
            }
        }
        recs = std::move(out);
    });
}

std::vector<XlrdSheet> xlrdReadMany(const QStringList& paths, int sheet)
{
    // One line of JSON a file, after its number; xlrd's own warnings go
    // nowhere.
    static const char* kScript = R"PY(
import sys, json, os
sheet = int(sys.argv[1])
paths = sys.argv[2:]
try:
    import xlrd
except Exception as e:
    for k in range(len(paths)):
        print("%d\t%s" % (k, json.dumps({"error": "xlrd is not installed: %s" % e})))
    sys.exit(0)
quiet = open(os.devnull, "w")
for k, path in enumerate(paths):
    try:
        b = xlrd.open_workbook(path, logfile=quiet)
        s = b.sheet_by_index(sheet)
        rows = []
        for r in range(s.nrows):
            row = []
            for c in range(s.ncols):
                cell = s.cell(r, c)
                v = cell.value
                if cell.ctype == xlrd.XL_CELL_DATE:
                    v = xlrd.xldate_as_datetime(v, b.datemode).strftime("%Y-%m-%d %H:%M:%S")
                    row.append([cell.ctype, v, cell.value])
                else:
                    row.append([cell.ctype, v])
            rows.append(row)
        answer = {"sheets": b.sheet_names(), "rows": rows}
    except Exception as e:
        answer = {"error": "%s: %s" % (type(e).__name__, e)}
    print("%d\t%s" % (k, json.dumps(answer)))
    sys.stdout.flush()
)PY";
    std::vector<XlrdSheet> out(std::size_t(paths.size()));
    QProcess p;
    // The system's own interpreter, which holds Debian's xlrd.
    QStringList args = {QStringLiteral("-c"), QStringLiteral("command -p python3 - \"$@\""), QStringLiteral("sh"),
                        QString::number(sheet)};
    args << paths;
    p.start(QStringLiteral("/bin/sh"), args);
    if (!p.waitForStarted()) {
        for (XlrdSheet& x : out)
            x.error = QStringLiteral("python3 could not be started");
        return out;
    }
    p.write(kScript);
    p.closeWriteChannel();
    p.waitForFinished(int(std::min<qsizetype>(600000, 60000 + 2000 * paths.size())));
    std::map<qsizetype, QJsonObject> answers;
    for (const QByteArray& line : p.readAllStandardOutput().split('\n')) {
        const qsizetype tab = line.indexOf('\t');
        bool ok = false;
        const qsizetype k = tab > 0 ? line.left(tab).toLongLong(&ok) : -1;
        if (ok)
            answers[k] = QJsonDocument::fromJson(line.mid(tab + 1)).object();
    }
    const QString stderrText = QString::fromUtf8(p.readAllStandardError());
    for (qsizetype k = 0; k < paths.size(); ++k) {
        XlrdSheet& x = out[std::size_t(k)];
        const QJsonObject o = answers.count(k) ? answers[k] : QJsonObject();
        if (o.isEmpty()) {
            x.error = QStringLiteral("python3 gave no answer: ") + stderrText;
            continue;
        }
        x.error = o.value(QStringLiteral("error")).toString();
        for (const auto& n : o.value(QStringLiteral("sheets")).toArray())
            x.sheets << n.toString();
        x.rows = o.value(QStringLiteral("rows")).toArray();
    }
    return out;
}

XlrdSheet xlrdRead(const QString& path, int sheet)
{
    return xlrdReadMany({path}, sheet).front();
}

bool xlrdMissing(const XlrdSheet& x)
{
    return x.error.startsWith(QLatin1String("xlrd is not installed")) || x.error.startsWith(QLatin1String("python3"));
}

} // namespace xlsfixture
