// Connects the game database's file-location tables to the virtual file
// system: the source types that the start-up registers, and the hooks
// through which setting a Root or RootVirtualDirs row adds a source or a
// virtual directory.
#pragma once

// Registers the source types "file" (folders on disk) and "pkq" (packed
// archives).
void RegisterStandardSourceTypes();

// Installs the database's hooks so that its file-location rows reach the
// virtual file system.
void InstallFileLocationHooks();
