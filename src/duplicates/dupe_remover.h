// Records of tblData that are identical on all or on chosen columns: their
// counts, the groups (in tblDupes_AllX), and their removal, which keeps the
// record with the lowest key of every group. No windows here: the Dupe
// Remover page calls these and shows what they return.
//
// Identity: a Text or Memo column compares with Null taken as "" and without
// regard to letter case; any other column compares by value, all its Nulls
// being one value. The key LumacorPrimK is never compared.
#pragma once

#include "common/progress.h"
#include "platform/jet/database.h"
#include "platform/jet/value.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

namespace dupes {

enum class Scope {
    All,      ///< every column of tblData but the key
    Selected, ///< the columns the user chose, in their order
};

struct Column {
    QString name;
    int type = jet::dbText;   ///< the engine's field type code
};

/// The compared columns: for All, every column of tblData but the key, in
/// table order; for Selected, the named columns in the given order, each with
/// its type from tblData. Throws jet::JetError (errNoField) for a name that is
/// no column of tblData, and when tblData is missing.
std::vector<Column> comparedColumns(jet::Database& db, Scope scope, const QStringList& selected = {});

// The statements in the engine's SQL, as the page has always written them.
// The search and removal below give the same results by a quicker route;
// these stay for anyone who runs the statements themselves, and the tests
// hold the two to each other.

/// The grouping list of a search (G).
QString searchGroupList(const std::vector<Column>& columns, Scope scope);
/// The select list of the result table of a search (T).
QString searchSelectList(const std::vector<Column>& columns, Scope scope);
/// The grouping list of a removal.
QString removalGroupList(const std::vector<Column>& columns);
/// Counting the groups: one row per group, field Count.
QString distinctCountSql(const QString& groupList);
/// Counting the groups of two or more.
QString duplicateCountSql(const QString& groupList);
/// Making tblDupes_AllX (after it has been dropped).
QString resultTableSql(const QString& selectList, const QString& groupList);
/// The five statements of a removal, in order.
QStringList removalSql(const QString& groupList);

/// What a search found, and what a removal needs to trust it.
struct SearchResult {
    bool ok = false;
    QString error;            ///< the reason when !ok
    Scope scope = Scope::All;
    std::vector<Column> columns;
    qint64 distinct = 0;      ///< groups, single records included
    qint64 duplicate = 0;     ///< records a removal would delete
    quint64 generation = 0;   ///< the connection's change count as the search ended
    /// The keys of the records after the first of their group, ascending:
    /// what a removal deletes while the list is as the search left it.
    std::shared_ptr<const std::vector<qint64>> surplus;
    /// The lowest key of every group, single records included, ascending:
    /// what a removal leaves of the list.
    std::shared_ptr<const std::vector<qint64>> firsts;
    /// The database's own count of written rows and its data version as the
    /// search ended: they move with any change, made through the engine or not.
    qint64 writtenRows = 0;
    qint64 dataVersion = 0;

    bool canRemove() const { return ok && duplicate > 0; }
};

/// Counts the groups and makes tblDupes_AllX afresh (Count, then one field per
/// compared column under its own name; one row per group of two or more).
/// Never throws: a failure is returned in the result. When tblDupes_AllX
/// cannot be dropped the error is "Could not delete table tblDupes".
SearchResult searchDuplicates(jet::Database& db, Scope scope, const std::vector<Column>& columns,
                              common::Progress& progress = common::noProgress());

/// One row of tblDupes_AllX: the group's size and its values in column order.
struct Group {
    qint64 count = 0;
    std::vector<jet::Value> values;
};

/// The field names of tblDupes_AllX ("Count" first) and its rows, for the
/// page's grid. Empty when the table does not exist.
struct GroupTable {
    QStringList fields;
    std::vector<Group> rows;
};
GroupTable readGroupTable(jet::Database& db);

/// Every group of two or more identical records with its keys, ascending,
/// the groups ordered by their lowest key.
struct GroupKeys {
    std::vector<jet::Value> values;
    std::vector<qint64> keys;
};
std::vector<GroupKeys> groupsWithKeys(jet::Database& db, const std::vector<Column>& columns);

struct RemovalResult {
    bool ok = false;
    QString message;     ///< "Operation successful." or why nothing was removed
    qint64 removed = 0;  ///< records deleted from tblData
};

struct RemovalOptions {
    common::Progress* progress = nullptr;
    /// Called before each step of the removal with its number (1 to 5); a
    /// test throws from it to prove that a failure removes nothing.
    std::function<void(int step)> beforeStep;
};

inline const char* kRemovalSucceeded = "Operation successful.";

/// Deletes every record of a group but the one with the lowest key, on the
/// columns of search, in one transaction: everything, or nothing with the
/// reason. tblDupes_Min receives the lowest key of every group (single
/// records included) and tblDupes_Del the deleted keys. The records are
/// grouped again inside the transaction, so a change since the search is
/// never missed; the search's columns decide the grouping. Only when no row
/// of the database was written since the search, through the engine or
/// behind it, are the search's groups taken as they are.
RemovalResult removeDuplicates(jet::Database& db, const SearchResult& search, const RemovalOptions& options = {});

} // namespace dupes
