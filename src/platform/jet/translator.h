// From the engine's SQL dialect to SQLite's. A tokenizer reads the statement
// (bracketed names, "..." and '...' literals with doubled quotes, #date#
// literals, numbers, operators); the statement's shape is recognised from its
// first words; the tokens are written out again as SQLite text with the
// dialect's differences mended:
//   [name] -> "name", "text" -> 'text', #m/d/yyyy# -> 'yyyy-mm-dd hh:mm:ss',
//   True/False -> -1/0, a & b -> jet_concat(a, b), SELECT TOP n -> LIMIT n,
//   DELETE * FROM -> DELETE FROM, UPDATE a INNER JOIN b ON c SET -> UPDATE .. FROM,
//   functions -> jet_* functions, ORDER BY / GROUP BY terms -> COLLATE JETCI,
//   a / b -> jet_div(a, b) (a double; a division by zero is an error).
// SELECT ... INTO and references to external databases ([specifier].[table]) are
// returned apart for the database to carry out. Anything unrecognised is an
// error that names the statement, never a guess.
#pragma once

#include "platform/jet/types.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace jet {

enum class StatementKind {
    Select,
    SelectInto,
    Insert,
    Update,
    Delete,
    CreateTable,
    AddColumn,
    DropColumn,
    AddPrimaryKey,
    AddUnique,
    DropConstraint,
    DropTable,
    CreateIndex,
    DropIndex,
};

/// A table of another database named in FROM or INTO: "[Excel 8.0;Database=F].[Sheet1$]".
struct ExternalRef {
    QString spec;         ///< the text inside the first brackets
    QString name;         ///< the table name
    QString placeholder;  ///< the name the translated SQL uses for it (a temporary table)
};

struct Translated {
    StatementKind kind = StatementKind::Select;
    QString sql;                        ///< SQLite text to run (for SelectInto: the SELECT)
    std::vector<ExternalRef> externals; ///< external tables read by sql
    // SELECT ... INTO
    QString intoSpec;                   ///< "" for a table of this database
    QString intoName;
    // DDL
    QString table;
    ColumnList columns;                 ///< CreateTable / AddColumn
    QStringList keyColumns;             ///< AddPrimaryKey / AddUnique / CreateIndex
    QString constraintName;             ///< AddPrimaryKey / AddUnique / DropConstraint / index name
    bool unique = false;                ///< CreateIndex
    QString column;                     ///< DropColumn
    // simple-select analysis, for updatable recordsets
    bool singleTable = false;           ///< SELECT cols FROM one table [WHERE] [ORDER BY], no aggregates
    QString baseTable;                  ///< that table
    QString selectList;                 ///< translated select list ("*" or columns)
    QString whereClause;                ///< translated WHERE condition, "" when none
    QString orderClause;                ///< translated ORDER BY terms, "" when none
    QString topRows;                    ///< n of SELECT TOP n, "" when none
};

/// The columns of a table of the database a statement runs on, in order;
/// empty when there is no such table.
using ColumnsOf = std::function<ColumnList(const QString& table)>;

/// Translates one statement. Throws JetError on a syntax it does not know.
/// With columnsOf, every value an UPDATE or INSERT writes into a column that
/// is not text is passed through jet_put, the engine's conversion of a value
/// written into a column (coerce): the statement then stores what the grid
/// would store and refuses what it refuses.
Translated translate(const QString& jetSql, const ColumnsOf& columnsOf = {});

/// Translates an expression (a WHERE condition or a find criterion). With the
/// columns of the table it is tested on, the operators and comparisons that
/// depend on a column's type take the type into account: a date against a
/// number, and a Currency column (whose stored counts need their amounts).
QString translateExpression(const QString& jetExpr, const ColumnList& columns = {});

/// True when the bracketed text names another database rather than a table.
bool isExternalSpec(const QString& bracketText);

/// Parses the text between #...# into the stored date form; "" when invalid.
QString dateLiteralToStored(const QString& inner);

} // namespace jet
