#include "driverloader.h"

#include "text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <cstring>
#include <dlfcn.h>
#include <elf.h>
#include <link.h>
#include <vector>

namespace {

const char *const CardDriverSoname = "libKestrelCardDriver.so.1";
const char *const SocialDriverSoname = "libKestrelSE32.so.1";
// Exported by the project's simulated reader only; the vendor's libraries have no such symbol.
const char *const SimulatorMarker = "kestrel_simulator_marker";
// Not every supported C library's <elf.h> names it yet.
constexpr quint16 MachineLoongArch = 258;

// Bounds on what is read from a file found where a library should be: it may hold anything.
constexpr int MaxFilesPerFolder = 8;
constexpr quint64 MaxDynamicEntries = 4096;
constexpr quint64 MaxSonameBytes = 4096;
constexpr qint64 MaxConfigBytes = 1 << 20;
constexpr int MaxConfigDepth = 4;

struct Library {
    const char *soname;
    void *handle = nullptr;
    QString path;
};

// What a file's ELF header and dynamic section say.
struct ElfFacts {
    bool elf = false;
    unsigned char elfClass = ELFCLASSNONE;
    unsigned char byteOrder = ELFDATANONE;
    quint16 machine = EM_NONE;
    bool hasSoname = false;
    QByteArray soname;
};

template<typename T>
bool readAt(QFile &file, quint64 offset, T &value)
{
    return offset <= quint64(file.size()) && file.seek(qint64(offset))
        && file.read(reinterpret_cast<char *>(&value), sizeof value) == qint64(sizeof value);
}

// The file offset of a virtual address inside one of the loaded segments.
bool fileOffset(const std::vector<ElfW(Phdr)> &loads, quint64 address, quint64 &offset)
{
    for (const ElfW(Phdr) &load : loads) {
        if (address >= load.p_vaddr && address - load.p_vaddr < load.p_filesz) {
            offset = load.p_offset + (address - load.p_vaddr);
            return true;
        }
    }
    return false;
}

// The NUL-terminated string at `offset`, empty unless it ends within the file and the bound.
QByteArray stringAt(QFile &file, quint64 offset)
{
    if (offset > quint64(file.size()) || !file.seek(qint64(offset)))
        return {};
    const QByteArray bytes = file.read(MaxSonameBytes);
    const auto end = bytes.indexOf('\0');
    return end < 0 ? QByteArray() : bytes.left(end);
}

// Reads DT_SONAME of a library of this machine's own class and byte order.
void readSoname(QFile &file, ElfFacts &facts)
{
    ElfW(Ehdr) header;
    if (!readAt(file, 0, header) || header.e_phentsize != sizeof(ElfW(Phdr)))
        return;
    std::vector<ElfW(Phdr)> loads;
    ElfW(Phdr) dynamic{};
    for (quint64 i = 0; i < header.e_phnum; ++i) {
        ElfW(Phdr) segment;
        if (!readAt(file, header.e_phoff + i * sizeof segment, segment))
            return;
        if (segment.p_type == PT_LOAD)
            loads.push_back(segment);
        else if (segment.p_type == PT_DYNAMIC)
            dynamic = segment;
    }
    quint64 table = 0;
    quint64 soname = 0;
    const quint64 entries = std::min<quint64>(dynamic.p_filesz / sizeof(ElfW(Dyn)), MaxDynamicEntries);
    for (quint64 i = 0; i < entries; ++i) {
        ElfW(Dyn) entry;
        if (!readAt(file, dynamic.p_offset + i * sizeof entry, entry) || entry.d_tag == DT_NULL)
            break;
        if (entry.d_tag == DT_STRTAB)
            table = entry.d_un.d_ptr;
        if (entry.d_tag == DT_SONAME) {
            facts.hasSoname = true;
            soname = entry.d_un.d_val;
        }
    }
    quint64 tableOffset = 0;
    if (facts.hasSoname && fileOffset(loads, table, tableOffset))
        facts.soname = stringAt(file, tableOffset + soname);
}

// The running program's own class, byte order and machine, from its header in memory.
const ElfFacts &host()
{
    static const ElfFacts facts = [] {
        static const char anchor = 0;
        ElfFacts own;
        Dl_info info;
        if (dladdr(&anchor, &info) && info.dli_fbase) {
            const auto *header = static_cast<const ElfW(Ehdr) *>(info.dli_fbase);
            own.elf = true;
            own.elfClass = header->e_ident[EI_CLASS];
            own.byteOrder = header->e_ident[EI_DATA];
            own.machine = header->e_machine;
        }
        return own;
    }();
    return facts;
}

bool sameMachine(const ElfFacts &file)
{
    return file.machine == host().machine && file.byteOrder == host().byteOrder;
}

ElfFacts inspect(const QString &path)
{
    ElfFacts facts;
    QFile file(path);
    unsigned char start[EI_NIDENT + 4]; // the identification, e_type and e_machine
    if (!file.open(QIODevice::ReadOnly) || !readAt(file, 0, start) || std::memcmp(start, ELFMAG, SELFMAG) != 0)
        return facts;
    facts.elf = true;
    facts.elfClass = start[EI_CLASS];
    facts.byteOrder = start[EI_DATA];
    const unsigned first = start[EI_NIDENT + 2], second = start[EI_NIDENT + 3];
    facts.machine = quint16(facts.byteOrder == ELFDATA2MSB ? first << 8 | second : second << 8 | first);
    if (facts.elfClass == host().elfClass && sameMachine(facts))
        readSoname(file, facts);
    return facts;
}

QString machineName(quint16 machine)
{
    switch (machine) {
    case EM_386: return QStringLiteral("x86 (i386)");
    case EM_X86_64: return QStringLiteral("x86-64 (amd64)");
    case EM_ARM: return QStringLiteral("ARM (armhf)");
    case EM_AARCH64: return QStringLiteral("AArch64 (arm64)");
    case EM_RISCV: return QStringLiteral("RISC-V (riscv64)");
    case MachineLoongArch: return QStringLiteral("LoongArch (loong64)");
    case EM_MIPS: return QStringLiteral("MIPS");
    case EM_PPC64: return QStringLiteral("PowerPC64 (ppc64el)");
    case EM_S390: return QStringLiteral("S/390 (s390x)");
    default: return Check::tr("machine number %1").arg(machine);
    }
}

QString bits(const ElfFacts &facts)
{
    return facts.elfClass == ELFCLASS32 ? QStringLiteral("32") : QStringLiteral("64");
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
    const QString linkName = soname.left(soname.lastIndexOf(QStringLiteral(".so")) + 3);
    QStringList files;
    QSet<QString> seen;
    for (const QString &folder : folders) {
        const QDir dir(folder);
        QStringList names = dir.entryList({linkName + '*'}, QDir::Files, QDir::Name);
        if (names.contains(soname))
            names = QStringList{soname};
        for (const QString &name : names.mid(0, MaxFilesPerFolder)) {
            const QString path = dir.filePath(name);
            const QString real = QFileInfo(path).canonicalFilePath();
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
    if (!file.isReadable())
        return Check::tr("%1 cannot be read by this user: `ls -l %1` shows its owner and mode.").arg(path);
    const ElfFacts facts = inspect(path);
    if (!facts.elf)
        return Check::tr("%1 is not a shared library: `file %1` says what it is.").arg(path);
    if (facts.elfClass != host().elfClass)
        return Check::tr("%1 is a %2-bit library, but this machine's programs are %3-bit: ask the vendor for the "
                         "%3-bit %4 library. `file %1` shows this.")
            .arg(path, bits(facts), bits(host()), machineName(host().machine));
    if (!sameMachine(facts))
        return Check::tr("%1 is built for %2, but this machine is %3: ask the vendor for the %3 library. "
                         "`file %1` shows this.")
            .arg(path, machineName(facts.machine), machineName(host().machine));
    if (file.fileName() != soname)
        return namingCause(file, facts, soname);
    return loadingCause(file, soname, reason);
}

// The loader's reason, then what each file found under the library's names is.
QStringList explainMissing(const QString &soname, const QByteArray &reason)
{
    QStringList lines{Check::tr("%1 was not loaded: %2").arg(soname, QString::fromLocal8Bit(reason))};
    const QStringList files = candidates(soname, uniqueFolders());
    for (const QString &path : files) {
        const QString explanation = cause(path, soname, reason);
        if (!explanation.isEmpty())
            lines << QStringLiteral("  ") + explanation;
    }
    if (files.isEmpty())
        lines << QStringLiteral("  ") + Check::tr("No file whose name begins with %1 is in the folders below.")
                                            .arg(soname.left(soname.lastIndexOf(QStringLiteral(".so")) + 3));
    return lines;
}

bool isSimulator(void *handle, const QString &path)
{
    void *marker = dlsym(handle, SimulatorMarker);
    Dl_info info;
    return marker && dladdr(marker, &info) && QFile::decodeName(info.dli_fname) == path;
}

Library openLibrary(const char *soname, LoadedDriver &driver)
{
    Library library{soname, nullptr, {}};
    library.handle = dlopen(soname, RTLD_NOW | RTLD_GLOBAL);
    if (!library.handle) {
        driver.missingLibraries << explainMissing(QString::fromLatin1(soname), dlerror());
        return library;
    }
    link_map *map = nullptr;
    dlinfo(library.handle, RTLD_DI_LINKMAP, &map);
    library.path = map ? QFile::decodeName(map->l_name) : QString();
    driver.loaded << QStringLiteral("%1: %2").arg(soname, library.path);
    if (isSimulator(library.handle, library.path))
        driver.simulated << QString::fromLatin1(soname);
    return library;
}

template<typename Function>
void findFunction(const Library &library, const char *name, Function &function, LoadedDriver &driver)
{
    function = library.handle ? reinterpret_cast<Function>(dlsym(library.handle, name)) : nullptr;
    if (library.handle && !function)
        driver.missingFunctions << Check::tr("%1 has no function %2: it is another version of the driver than the "
                                             "one the program needs; ask the vendor for one that has it. "
                                             "`nm -D %3` lists the library's functions.")
                                       .arg(library.soname, name, library.path);
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

LoadedDriver loadDriver()
{
    LoadedDriver driver;
    const Library card = openLibrary(CardDriverSoname, driver);
    const Library social = openLibrary(SocialDriverSoname, driver);
    DriverFunctions &f = driver.functions;
    findFunction(card, "ICC_Reader_Open", f.open, driver);
    findFunction(card, "ICC_GetSAMIDToStr", f.getSamId, driver);
    findFunction(card, "ICC_Reader_PowerOff", f.powerOff, driver);
    findFunction(card, "ICC_Reader_PowerOn", f.powerOn, driver);
    findFunction(card, "ICC_Authenticate", f.authenticate, driver);
    findFunction(card, "ICC_ReadBaseMsgData", f.readBaseMessage, driver);
    findFunction(card, "ICC_Reader_Close", f.close, driver);
    findFunction(social, "iReadCardBas_noPasam", f.readSocial, driver);
    return driver;
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
