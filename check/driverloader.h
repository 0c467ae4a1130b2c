#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Why the loader found no driver library, or found one only where a window started from the
// desktop menu would not look. The libraries themselves load in the child process
// (driverchild.h); these look only at files and at the loader's configuration.

// The loader's reason, then what each file found under the library's names is and what stops it.
QStringList explainMissing(const QString &soname, const QByteArray &reason);

// A library that loaded but lacks a function the reads call.
QString missingFunctionText(const QString &soname, const QString &function, const QString &path);

// The loaded files whose folder only LD_LIBRARY_PATH names: no file of their name is in
// ldconfig's folders or the system's, where the loader of a program without LD_LIBRARY_PATH
// looks.
QStringList foundOnlyThroughLibraryPath(const QStringList &paths);

// The folders the loader searches for a soname, in its order: LD_LIBRARY_PATH, the program's
// run path, the system folders. Before the system folders it asks ldconfig's cache.
QStringList librarySearchFolders();

// The folders that /etc/ld.so.conf names, directly or through the files it includes:
// ldconfig puts their libraries in its cache.
QStringList ldconfigFolders();
