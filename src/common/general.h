// The shared state of the program's windows and five small helpers for files,
// SQL text and tables. Every window reads and writes these variables directly;
// they start empty and live for the whole run (nothing here is saved).
#pragma once

#include "platform/jet/database.h"

#include <QString>
#include <array>

namespace general {

// The working database and the open list.
inline QString gstrWorkDBPath;      ///< program folder + "/sysfls.sys"
inline jet::Database gdbWork;       ///< opened by the Access/contact imports, export, sheet listing
inline jet::Database dbWork;        ///< the workbench's own database, open while a list is open
inline QString gstrFileName;        ///< path last chosen in Select Source or from a recent file
inline QString gstrSourceFile;      ///< source of the open list; the workbench caption
inline QString gstrMRUFile;         ///< the clicked recent-file entry
inline QString gstrAccessFile;      ///< the Access file being imported
inline QString gstrExcelFile;       ///< the workbook being imported
inline QString gstrImportType;      ///< "txt", "mdb", "xls" or "dbf"
inline int gintFileOpen = 0;        ///< 1 while a list is open in the workbench
inline bool gblnNewImport = false;  ///< a new import replaces the open list

// The grid's view of tblData.
inline QString gstrFieldList;                  ///< "[a], [b] " : tblData's columns without the key
inline std::array<QString, 256> gstrFieldNames; ///< grid field names from index 1
inline int gintFieldCount = 0;
inline QString gstrFilter;                     ///< the condition after WHERE, "" for none
inline QString gstrSortOrder;                  ///< the text after ORDER BY, "" for none
inline int gintCurCol = 0;
inline QString gstrCurColumn;
inline long glngCurRow = 0;                    ///< absolute position + 1
inline long glngTotalRecords = 0;

// Statistics.
inline int gintStatsReady = 0;
inline std::array<QString, 256> gstrStatColumns;
inline std::array<double, 256> gdblStatCounts{};
inline std::array<double, 256> gdblStatScores{};
inline QString gstrStatFilterColumn;
inline QString gstrStatFilterType;   ///< "Completed Column" or "Incomplete Column"

// Settings lists, loaded when the workbench opens and by their editors.
inline std::array<std::array<int, 3>, 33> gintSpecChars{};   ///< rows 1..32: (code, chosen)
inline std::array<QString, 1001> gstrPrefixes;               ///< from 1; "" ends the list
inline std::array<QString, 1001> gstrExceptions;
inline std::array<QString, 1001> gstrGTLDs;
inline std::array<std::array<QString, 2>, 1001> gstrCCTLDs;  ///< (code, country) from 1

// Dialog hand-overs and odds and ends.
inline QString gstrReplaceFind;
inline int gintTipsFromMenu = 0;
inline int gintHtmFile = 0;
inline bool gblnActUserValidated = false;
inline QString gstrActUserName;
inline QString gstrActPassword;

/// True when path names an existing file (not a folder); never throws.
bool FileExists(const QString& path);

/// Text with every double quote doubled, ready to stand between double quotes in SQL.
QString Double_Quotes(const QString& text);

/// Whether db holds a table named exactly name (case-sensitive).
bool TableExists(jet::Database& db, const QString& name);

/// Drops the table when it exists. True on any failure, false when dropped or absent.
bool DropTable(jet::Database& db, const QString& name);

/// Waits about seconds while letting pending events run.
void Wait(int seconds);

/// Closes gdbWork and dbWork (either may be closed already). The program
/// calls it before main returns, while everything they use still exists.
void closeDatabases();

/// Calls closeDatabases() when it goes: main makes one right after the
/// application object, so that every way out of main closes them first.
struct DatabasesClosedAtEnd {
    DatabasesClosedAtEnd() = default;
    DatabasesClosedAtEnd(const DatabasesClosedAtEnd&) = delete;
    DatabasesClosedAtEnd& operator=(const DatabasesClosedAtEnd&) = delete;
    ~DatabasesClosedAtEnd() { closeDatabases(); }
};

/// The program folder (where the working database, settings and help live).
QString programFolder();
/// Points the program folder elsewhere (tests).
void setProgramFolder(const QString& folder);

} // namespace general
