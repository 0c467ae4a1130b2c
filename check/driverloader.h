#pragma once

#include "cardreads.h"

#include <QString>
#include <QStringList>

// The driver libraries, loaded at run time by soname as the installed program's loader would
// find them, so that each missing library or function can be named with its cause.
struct LoadedDriver {
    DriverFunctions functions{};
    QStringList loaded;           // "soname: path" of each library found
    QStringList missingLibraries; // the loader's reason, then what the files found there are
    QStringList missingFunctions; // a library that loaded but lacks a function
    QStringList simulated;        // the loaded libraries that are the project's simulated reader
    bool complete() const { return missingLibraries.isEmpty() && missingFunctions.isEmpty(); }
};

LoadedDriver loadDriver();

// The folders the loader searches for a soname, in its order: LD_LIBRARY_PATH, the program's
// run path, the system folders. Before the system folders it asks ldconfig's cache.
QStringList librarySearchFolders();

// The folders that /etc/ld.so.conf names, directly or through the files it includes:
// ldconfig puts their libraries in its cache.
QStringList ldconfigFolders();
