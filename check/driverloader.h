#pragma once

#include "cardreads.h"

#include <QString>
#include <QStringList>

// The driver libraries, loaded at run time by soname as the program's loader would find them,
// so that each missing library or function can be named.
struct LoadedDriver {
    DriverFunctions functions{};
    QStringList loaded;   // "soname: path" of each library found
    QStringList problems; // a library not found (with the loader's reason) or a function missing
    bool complete() const { return problems.isEmpty(); }
};

LoadedDriver loadDriver();

// The folders the loader searches for a soname, in its order: LD_LIBRARY_PATH, the program's
// run path, the system folders. Before the system folders it asks ldconfig's cache.
QStringList librarySearchFolders();

// The folders that files in /etc/ld.so.conf.d name: ldconfig puts their libraries in its cache.
QStringList ldconfigFolders();
