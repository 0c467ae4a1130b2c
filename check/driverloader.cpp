#include "driverloader.h"

#include "elffile.h"
#include "localeencoding.h"
#include "text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <dlfcn.h>
#include <elf.h>
#include <vector>

namespace {

// Bounds on the files looked at and on the ldconfig configuration read: either may hold anything.
constexpr int MaxFilesPerFolder = 8;
constexpr qint64 MaxConfigBytes = 1 << 20;
constexpr int MaxConfigDepth = 4;

QString bits(const ElfFacts &facts)
{
    return facts.elfClass == ELFCLASS32 ? QStringLiteral("32") : QStringLiteral("64");
}

// "libX.so" for "libX.so.1": the name the vendor's files of every version begin with.
QString linkName(const QString &soname)
{
    return soname.left(soname.lastIndexOf(QStringLiteral(".so")) + 3);
}

QStringList uniqueFolders()
{
    QStringList folders = librarySearchFolders() + ldconfigFolders();
    folders.removeDuplicates();
    return folders;
}

// The files that may be the library: its soname, its link name, other versions; one path
// for each file however many names and folders lead to it.
QStringList candidates(const QString &soname, const QStringList &folders)
{
    QStringList files;
    QSet<QString> seen;
    for (const QString &folder : folders) {
        const QDir dir(folder);
        // System and Dirs too: a dangling link or a folder under the library's name is a cause.
        const auto kinds = QDir::Files | QDir::System | QDir::Dirs | QDir::NoDotAndDotDot;
        QStringList names = dir.entryList({linkName(soname) + '*'}, kinds, QDir::Name);
        if (names.contains(soname))
            names = QStringList{soname};
        for (const QString &name : names.mid(0, MaxFilesPerFolder)) {
            const QString path = dir.filePath(name);
            const QString canonical = QFileInfo(path).canonicalFilePath();
            const QString real = canonical.isEmpty() ? path : canonical;
            if (!seen.contains(real)) {
                seen.insert(real);
                files << path;
            }
        }
    }
    return files;
}

// Why a file of the right machine but another name is not found by the soname.
QString namingCause(const QFileInfo &file, const ElfFacts &facts, const QString &soname)
{
    const QString link = QDir(file.path()).filePath(soname);
    if (!facts.hasSoname)
        return Check::tr("%1 has no SONAME, and the loader looks only for %2: ask the vendor for a library whose "
                         "SONAME is %2, or give it that name with `sudo ln -s %3 %4`. `readelf -d %1` shows the SONAME.")
            .arg(file.filePath(), soname, file.fileName(), link);
    if (facts.soname == soname.toUtf8())
        return Check::tr("%1 has the SONAME %2, but no file %2 is beside it: `sudo ldconfig` makes that link in "
                         "the folders ldconfig knows, or `sudo ln -s %3 %4` makes it here.")
            .arg(file.filePath(), soname, file.fileName(), link);
    return Check::tr("%1 has the SONAME %2, but the program needs %3: it is another version of the library; "
                     "ask the vendor for %3.")
        .arg(file.filePath(), QFile::decodeName(facts.soname), soname);
}

// Why a readable library of the right machine and name did not load, when more can be said
// than the loader's reason.
QString loadingCause(const QFileInfo &file, const QString &soname, const QByteArray &reason)
{
    const auto colon = reason.indexOf(':');
    const QByteArray named = colon < 0 ? QByteArray() : reason.left(colon);
    if (!named.isEmpty() && !named.contains('/') && named != soname.toUtf8())
        return Check::tr("%1 needs %2, which the loader did not find: install it as the vendor says. "
                         "`ldd %1` lists what the library needs and marks what is missing \"not found\".")
            .arg(file.filePath(), QFile::decodeName(named));
    if (named == soname.toUtf8() && !librarySearchFolders().contains(file.path()))
        return Check::tr("%1 is in a folder named in ldconfig's configuration, but ldconfig's cache does not "
                         "list it: run `sudo ldconfig`. `/sbin/ldconfig -p | grep %2` shows the cache.")
            .arg(file.filePath(), soname);
    return {};
}

QString cause(const QString &path, const QString &soname, const QByteArray &reason)
{
    const QFileInfo file(path);
    if (file.isSymLink() && !file.exists())
        return Check::tr("%1 is a link to %2, which does not exist: copy the vendor's library there, or make the "
                         "link again. `ls -l %1` shows where it points.")
            .arg(path, file.symLinkTarget());
    if (file.isDir())
        return Check::tr("%1 is a folder, not a library: the vendor's library file belongs in its place.").arg(path);
    if (!file.isFile())
        return Check::tr("%1 is not a shared library: `file %1` says what it is.").arg(path);
    if (!file.isReadable())
        return Check::tr("%1 cannot be read by this user: `ls -l %1` shows its owner and mode.").arg(path);
    const ElfFacts facts = inspectElf(path);
    const bool validClass = facts.elfClass == ELFCLASS32 || facts.elfClass == ELFCLASS64;
    if (!facts.elf || !validClass || facts.machine == EM_NONE)
        return Check::tr("%1 is not a shared library: `file %1` says what it is.").arg(path);
    if (facts.elfClass != runningProgram().elfClass)
        return Check::tr("%1 is a %2-bit library, but this machine's programs are %3-bit: ask the vendor for the "
                         "%3-bit %4 library. `file %1` shows this.")
            .arg(path, bits(facts), bits(runningProgram()), machineName(runningProgram().machine));
    if (!sameMachine(facts, runningProgram()))
        return Check::tr("%1 is built for %2, but this machine is %3: ask the vendor for the %3 library. "
                         "`file %1` shows this.")
            .arg(path, machineName(facts.machine), machineName(runningProgram().machine));
    if (file.fileName() != soname)
        return namingCause(file, facts, soname);
    return loadingCause(file, soname, reason);
}

// The folders LD_LIBRARY_PATH names, as the loader reads it: none when it is unset or empty,
// else separated by colons or semicolons, an empty one being the working folder, $ORIGIN the
// program's folder.
QStringList libraryPathFolders()
{
    const QString origin = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    QStringList folders;
    const QString variable = QString::fromLocal8Bit(qgetenv("LD_LIBRARY_PATH")).replace(QLatin1Char(';'), QLatin1Char(':'));
    if (variable.isEmpty())
        return folders;
    for (QString folder : variable.split(QLatin1Char(':'))) {
        folder.replace(QStringLiteral("${ORIGIN}"), origin).replace(QStringLiteral("$ORIGIN"), origin);
        folders << QDir::cleanPath(QDir::current().absoluteFilePath(folder.isEmpty() ? QStringLiteral(".") : folder));
    }
    return folders;
}

// An ldconfig configuration file's folders, and those of the files its include lines name.
void readLdconfigFile(const QString &path, int depth, QStringList &folders)
{
    QFile file(path);
    if (depth > MaxConfigDepth || !QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return;
    for (QByteArray line : file.read(MaxConfigBytes).split('\n')) {
        if (line.contains('#'))
            line.truncate(line.indexOf('#'));
        line = line.simplified();
        if (line.startsWith("include ")) {
            const QFileInfo pattern(QDir(QFileInfo(path).path()).filePath(QFile::decodeName(line.mid(8))));
            const QDir dir = pattern.dir();
            for (const QString &name : dir.entryList({pattern.fileName()}, QDir::Files, QDir::Name))
                readLdconfigFile(dir.filePath(name), depth + 1, folders);
        } else if (line.startsWith('/')) {
            folders << QDir::cleanPath(QFile::decodeName(line));
        }
    }
}

}

QStringList explainMissing(const QString &soname, const QByteArray &reason)
{
    QStringList lines{Check::tr("%1 was not loaded: %2").arg(soname, fromLocaleEncoding(reason))};
    const QStringList files = candidates(soname, uniqueFolders());
    for (const QString &path : files) {
        const QString explanation = cause(path, soname, reason);
        if (!explanation.isEmpty())
            lines << QStringLiteral("  ") + explanation;
    }
    if (files.isEmpty())
        lines << QStringLiteral("  ")
                + Check::tr("No file whose name begins with %1 is in the folders below.").arg(linkName(soname));
    return lines;
}

QString missingFunctionText(const QString &soname, const QString &function, const QString &path)
{
    return Check::tr("%1 has no function %2: it is another version of the driver than the one the program needs; "
                     "ask the vendor for one that has it. `nm -D %3` lists the library's functions.")
        .arg(soname, function, path);
}

QStringList foundOnlyThroughLibraryPath(const QStringList &paths)
{
    const QStringList libraryPath = libraryPathFolders();
    QStringList elsewhere = ldconfigFolders();
    for (const QString &folder : librarySearchFolders())
        if (!libraryPath.contains(folder))
            elsewhere << folder;
    QStringList found;
    for (const QString &path : paths) {
        const QFileInfo file(path);
        const auto there = [&file](const QString &folder) { return QFileInfo::exists(QDir(folder).filePath(file.fileName())); };
        if (libraryPath.contains(QDir::cleanPath(file.absolutePath())) && std::none_of(elsewhere.begin(), elsewhere.end(), there))
            found << path;
    }
    return found;
}

QStringList librarySearchFolders()
{
    void *self = dlopen(nullptr, RTLD_NOW);
    Dl_serinfo size;
    QStringList folders;
    if (self && dlinfo(self, RTLD_DI_SERINFOSIZE, &size) == 0) {
        std::vector<Dl_serinfo> buffer(size.dls_size / sizeof(Dl_serinfo) + 1);
        Dl_serinfo *info = buffer.data();
        dlinfo(self, RTLD_DI_SERINFOSIZE, info);
        dlinfo(self, RTLD_DI_SERINFO, info);
        for (unsigned i = 0; i < info->dls_cnt; ++i)
            folders << QDir::cleanPath(QFile::decodeName(info->dls_serpath[i].dls_name));
    }
    return folders;
}

QStringList ldconfigFolders()
{
    QStringList folders;
    readLdconfigFile(QStringLiteral("/etc/ld.so.conf"), 0, folders);
    return folders;
}
