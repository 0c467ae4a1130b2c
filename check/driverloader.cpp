#include "driverloader.h"

#include "text.h"

#include <QDir>
#include <QFile>
#include <dlfcn.h>
#include <link.h>
#include <vector>

namespace {

const char *const CardDriverSoname = "libKestrelCardDriver.so.1";
const char *const SocialDriverSoname = "libKestrelSE32.so.1";

void *openLibrary(const char *soname, LoadedDriver &driver)
{
    void *handle = dlopen(soname, RTLD_NOW | RTLD_GLOBAL);
    if (!handle) {
        driver.problems << Check::tr("%1 was not loaded: %2").arg(soname, QString::fromLocal8Bit(dlerror()));
        return nullptr;
    }
    link_map *map = nullptr;
    dlinfo(handle, RTLD_DI_LINKMAP, &map);
    driver.loaded << QStringLiteral("%1: %2").arg(soname, map ? QFile::decodeName(map->l_name) : QString());
    return handle;
}

template<typename Function>
void findFunction(void *library, const char *soname, const char *name, Function &function, LoadedDriver &driver)
{
    function = library ? reinterpret_cast<Function>(dlsym(library, name)) : nullptr;
    if (library && !function)
        driver.problems << Check::tr("%1 has no function %2").arg(soname, name);
}

}

LoadedDriver loadDriver()
{
    LoadedDriver driver;
    void *card = openLibrary(CardDriverSoname, driver);
    void *social = openLibrary(SocialDriverSoname, driver);
    DriverFunctions &f = driver.functions;
    findFunction(card, CardDriverSoname, "ICC_Reader_Open", f.open, driver);
    findFunction(card, CardDriverSoname, "ICC_GetSAMIDToStr", f.getSamId, driver);
    findFunction(card, CardDriverSoname, "ICC_Reader_PowerOff", f.powerOff, driver);
    findFunction(card, CardDriverSoname, "ICC_Reader_PowerOn", f.powerOn, driver);
    findFunction(card, CardDriverSoname, "ICC_Authenticate", f.authenticate, driver);
    findFunction(card, CardDriverSoname, "ICC_ReadBaseMsgData", f.readBaseMessage, driver);
    findFunction(card, CardDriverSoname, "ICC_Reader_Close", f.close, driver);
    findFunction(social, SocialDriverSoname, "iReadCardBas_noPasam", f.readSocial, driver);
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
            folders << QFile::decodeName(info->dls_serpath[i].dls_name);
    }
    return folders;
}

QStringList ldconfigFolders()
{
    QStringList folders;
    const QDir confd("/etc/ld.so.conf.d");
    for (const QString &name : confd.entryList({"*.conf"}, QDir::Files, QDir::Name)) {
        QFile file(confd.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : file.readAll().split('\n')) {
            const QByteArray folder = line.trimmed();
            if (folder.startsWith('/'))
                folders << QFile::decodeName(folder);
        }
    }
    return folders;
}
