// What the column runs of the cleaning tools (case conversion, text cleaning)
// share: the error text to show, the Text-column test and a quiet rollback.
#pragma once

#include "platform/jet/connection.h"
#include "platform/jet/database.h"
#include "platform/jet/error.h"

#include <QString>
#include <exception>

namespace cleaning::runsupport {

inline QString describe(const std::exception& e)
{
    if (const auto* je = dynamic_cast<const jet::JetError*>(&e))
        return je->description();
    return QString::fromUtf8(e.what());
}

/// True when column names a Text field of the table other than its last
/// field (the key), compared with letter case.
inline bool isTextColumn(jet::Connection& c, const QString& table, const QString& column)
{
    const jet::ColumnList cols = c.columns(table);
    for (size_t i = 0; i + 1 < cols.size(); ++i)
        if (cols[i].name == column && cols[i].type == jet::dbText)
            return true;
    return false;
}

/// A rollback that fails leaves nothing more to do than report the first error.
inline void rollbackQuietly()
{
    try {
        jet::Workspace::rollback();
    } catch (...) {
    }
}

} // namespace cleaning::runsupport
