// Replacing a set of files of one folder in a single step that a kill or a
// power cut cannot split.
//
// The new files are written beside the old ones (their names end in
// ".qbnew") and flushed to the disk. Then a small commit record naming them,
// with the size and SHA-256 of each, is written under a temporary name,
// flushed, and renamed to QBSWITCH.LST: that rename is the moment the switch
// happens. Only then are the new files renamed over the old ones, and the
// record removed; the folder is flushed between the steps. A flush that
// fails before the record is on the disk fails the switch (the old files
// stay); one that fails after it leaves the record for the next recovery.
//
// recoverSwitch() runs before the files are read: a record in place means
// the switch happened, and the renames it names that are not done yet are
// done now (each new file checked against its size and hash first); without
// a record the switch never happened, and every new file and half-written
// record left behind is removed.
#pragma once

#include <QString>

#include <functional>
#include <vector>

namespace contacts {

/// A new file, written and flushed, and the file of the same folder it replaces.
struct FileSwap {
    QString staged;
    QString target;
};

/// The suffix of new files and of the record under its temporary name.
inline constexpr const char* kStagedSuffix = ".qbnew";
/// The commit record's file name.
inline constexpr const char* kSwitchRecord = "QBSWITCH.LST";

/// Replaces every target by its staged file, all or none. Throws ContactError
/// when the switch did not happen (the old files are untouched and the staged
/// ones removed). Once it has happened the result is "" when every rename is
/// done, otherwise why not: the record stays, and the next recoverSwitch()
/// finishes the renames.
QString switchFiles(const QString& folder, const std::vector<FileSwap>& swaps);

/// Finishes a switch that was interrupted after it happened, or clears away
/// what one left before it happened. Throws ContactError when a record in
/// place is damaged or a file it names is neither the old nor the new one
/// (nothing is renamed then), or when a rename fails.
void recoverSwitch(const QString& folder);

/// Test seam: called before each rename of a switch or a recovery (and before
/// the record is removed, with to empty). 0 lets the step go on; an errno
/// value fails it as if the system had refused. nullptr for none.
using RenameHook = std::function<int(const QString& from, const QString& to)>;
void setRenameHook(RenameHook hook);

/// Test seam: called before each flush of the folder's entries by a switch
/// or a recovery. 0 lets the flush go on; an errno value fails it as if the
/// system had refused. nullptr for none.
using SyncHook = std::function<int(const QString& folder)>;
void setSyncHook(SyncHook hook);

} // namespace contacts
