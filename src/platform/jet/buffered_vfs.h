// Gathered writes for the engine's files.
//
// The engine writes a database or its rollback journal a page at a time (a
// journal record even in three pieces), one system call each. Bulk work on a
// large list rewrites tens of thousands of pages, and on a virtual machine the
// calls, not the bytes, are what it waits for. This file layer sits over the
// platform's own and gathers consecutive writes of the main database and its
// journal in memory, handing them over as one call.
//
// What reaches the disk, and in what order against each sync, is unchanged:
// the gathered bytes are written before any sync, any read, size query,
// truncation, lock release or memory map of the same file, and before any
// write that does not follow on from them. An error on that write is returned
// by the call that caused it (a sync at the latest, so the engine rolls back),
// and the bytes stay readable: the rollback reads the journal records it was
// told were written.
#pragma once

namespace jet {

/// Registers the layer as the engine's default file system, once per
/// process; later calls do nothing. Call before the first connection opens.
void installBufferedFiles();

/// The name the layer is registered under.
const char* bufferedFilesName();

} // namespace jet
