// The program's own text import, without its window, for the benchmarks that
// take a CSV list: the lists they work on are typed as a user's import types
// them (numbers, dates, memos), not all as text.
#include "csvload.h"

#include "exchange/text_import.h"
#include "exchange/text_lines.h"
#include "platform/jet/error.h"
#include "workbench/opening.h"

namespace bench {

bool loadCsv(jet::Database& db, const QString& path, QString* error)
{
    exchange::TextChoices choices;
    choices.firstRowHasNames = true;
    const auto encoding = exchange::detectTextEncoding(path);
    if (!encoding) {
        *error = QStringLiteral("cannot read %1").arg(path);
        return false;
    }
    const exchange::TextPreview preview = exchange::buildTextPreview(path, *encoding, choices);
    if (!preview.error.isEmpty()) {
        *error = QStringLiteral("%1: %2").arg(path, preview.error);
        return false;
    }
    const exchange::TextImportRequest request{path, *encoding, choices, preview.names, preview.types};
    exchange::TextImportObserver quiet;
    const exchange::TextImportResult r = exchange::importTextFile(db, request, quiet);
    if (r.outcome != exchange::TextImportResult::Outcome::Done) {
        *error = QStringLiteral("%1: %2").arg(path, r.error);
        return false;
    }
    try {
        workbench::appendKey(db);
    } catch (const jet::JetError& e) {
        *error = QStringLiteral("%1: %2").arg(path, e.description());
        return false;
    }
    return true;
}

} // namespace bench
