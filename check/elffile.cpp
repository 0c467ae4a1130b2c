#include "elffile.h"

#include "text.h"

#include <QFile>
#include <algorithm>
#include <cstring>
#include <dlfcn.h>
#include <elf.h>
#include <link.h>
#include <vector>

namespace {

// Not every supported C library's <elf.h> names it yet.
constexpr quint16 MachineLoongArch = 258;
constexpr quint64 MaxDynamicEntries = 4096;
constexpr qint64 MaxSonameBytes = 4096;

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

// The NUL-terminated string at `offset`; empty unless it ends within the file and the bound.
QByteArray stringAt(QFile &file, quint64 offset)
{
    if (offset > quint64(file.size()) || !file.seek(qint64(offset)))
        return {};
    const QByteArray bytes = file.read(MaxSonameBytes);
    const auto end = bytes.indexOf('\0');
    return end < 0 ? QByteArray() : bytes.left(end);
}

// Reads DT_SONAME of a library of the running program's own class and byte order.
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

}

ElfFacts inspectElf(const QString &path)
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
    if (facts.elfClass == runningProgram().elfClass && sameMachine(facts, runningProgram()))
        readSoname(file, facts);
    return facts;
}

// Read from the program's own header, mapped in memory where the loader put the program.
const ElfFacts &runningProgram()
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

bool sameMachine(const ElfFacts &file, const ElfFacts &program)
{
    return file.machine == program.machine && file.byteOrder == program.byteOrder;
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
