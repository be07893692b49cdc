#pragma once

#include <QString>

namespace verola {

// The folder where bare-named settings files live: $VEROLA_SYSTEM_DIR when set,
// else the per-user configuration folder.
QString systemDirectory();

// A name without a folder resolves in the system directory; any other path is kept.
QString resolveSystemFile(const QString& name);

// Per-user folder for scratch and hand-over files; created on demand.
QString scratchDirectory();

// The folder of a program path, with its trailing separator.
QString programDirectoryOf(const QString& programPath);

// Removes one trailing separator ("/" or "\"), if any.
QString withoutTrailingSeparator(const QString& path);
// directory/name with one separator between them; the bare name for an empty directory.
QString fileInDirectory(const QString& directory, const QString& name);

// Where the path leads once every link on it is followed, the last one included even when what it
// names does not exist yet; an absolute path without "." or "..".
QString resolvedPath(const QString& path);
// Whether the path, once resolved, lies in the folder (or below it), the folder resolved too.
bool leadsIntoFolder(const QString& path, const QString& folder);

} // namespace verola
