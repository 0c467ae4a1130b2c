#pragma once

// What the ELF header and dynamic section of a file say, read within the file and within
// fixed bounds whatever it holds: a file found where a driver library should be may be
// anything.

#include <QByteArray>
#include <QString>

struct ElfFacts {
    bool elf = false;
    unsigned char elfClass = 0;  // ELFCLASS32 or ELFCLASS64
    unsigned char byteOrder = 0; // ELFDATA2LSB or ELFDATA2MSB
    quint16 machine = 0;         // EM_AARCH64, EM_X86_64, ...
    bool hasSoname = false;      // read only for a file of the running program's class and machine
    QByteArray soname;
};

ElfFacts inspectElf(const QString &path);

// The running program's own class, byte order and machine.
const ElfFacts &runningProgram();

bool sameMachine(const ElfFacts &file, const ElfFacts &program);

// The machine's name as Debian's architectures and file(1) know it, e.g. "AArch64 (arm64)".
QString machineName(quint16 machine);
