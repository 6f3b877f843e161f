// Test fixtures: small but well-formed Access .mdb files, Jet 3 (2 KB pages)
// or Jet 4 (4 KB pages), written from the published description of the file
// format, because nothing on the build machines can make such files. Enough
// of the format for readers: the header page, one page of usage maps, the
// object catalogue (MSysObjects) and, per table, a definition page and data
// pages; long memos go onto chained long-value pages. No indexes, no
// properties, no relationships.
#pragma once

#include "platform/jet/value.h"

#include <QJsonArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace mdbfixture {

enum class Version { Jet3, Jet4 };

// Column type codes as the file stores them.
enum ColType : int {
    Bool = 0x01, Byte = 0x02, Int = 0x03, Long = 0x04, Money = 0x05,
    Single = 0x06, Double = 0x07, DateTime = 0x08, Text = 0x0a, Ole = 0x0b, Memo = 0x0c,
    Guid = 0x0f,   ///< a replication ID; its value is given as "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}"
};

struct Column {
    QString name;
    int type = Text;
    int size = 50;            ///< characters, for Text
    bool autoIncrement = false;
};

struct Table {
    QString name;
    std::vector<Column> columns;
    std::vector<std::vector<jet::Value>> rows;   ///< one value per column; Null for missing
    std::uint32_t flags = 0;                     ///< 0x80000002 marks a system table
    QString properties{};                        ///< the catalogue's property value (LvProp); empty: none
};

/// Where the catalogue's own rows go: after every table's pages (the
/// default), or before them, so that a file cut inside a table's pages keeps
/// the catalogue whole.
enum class CatalogueRows { Last, First };

/// Writes the database; false (and why) when a table does not fit the fixture's limits.
bool writeMdb(const QString& path, Version version, const std::vector<Table>& tables, QString* why = nullptr,
              CatalogueRows catalogue = CatalogueRows::Last);

/// Runs the npm package mdb-reader (an independent reader, installed into the
/// build tree on first use) over the files through read_mdb.mjs, in UTC: its
/// JSON report, one entry per file, or why it could not run. With `tables`,
/// only those tables are read.
QString mdbReader(const QStringList& files, QJsonArray& report, const QStringList& tables = {});

} // namespace mdbfixture
