// Stand-in driver libraries that misbehave as vendors' libraries do on site, or as a hostile one might. STANDIN lists what
// goes wrong as PLACE=ACTION pairs separated by commas. PLACE is "load" (the card library's
// constructor), "load-se32" (the social security library's) or a function's name. Otherwise
// they read a card whose photo is the file STANDIN_PHOTO names.

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#define EXPORT extern "C" __attribute__((visibility("default")))

extern "C" int kestrelusb_ready();

namespace {

const char Name[] = "王小明";
const char Number[] = "110101199003071233";

std::string actionAt(const std::string &place)
{
    const char *setting = std::getenv("STANDIN");
    const std::string all = std::string(",") + (setting ? setting : "") + ",";
    const auto at = all.find("," + place + "=");
    if (at == std::string::npos)
        return {};
    const auto start = at + place.size() + 2;
    return all.substr(start, all.find(',', start) - start);
}

void hang()
{
    signal(SIGTERM, SIG_IGN);
    signal(SIGALRM, SIG_IGN);
    for (;;)
        pause();
}

void onSegvExitZero(int)
{
    _exit(0);
}

// What a library does wrong at a place; the action, for what the function itself does wrong.
std::string misbehave(const std::string &place)
{
    const std::string action = actionAt(place);
    volatile int *volatile nowhere = nullptr;
    if (action == "segv")
        *nowhere = 1;
    else if (action == "abort")
        std::abort();
    else if (action.rfind("exit:", 0) == 0)
        std::exit(std::atoi(action.c_str() + 5));
    else if (action == "hang")
        hang();
    else if (action.rfind("sleep:", 0) == 0)
        sleep(unsigned(std::atoi(action.c_str() + 6)));
    else if (action.rfind("close:", 0) == 0)
        close(std::atoi(action.c_str() + 6));
    else if (action == "own-segv-handler")
        signal(SIGSEGV, onSegvExitZero);
    else if (action == "print")
        std::printf("read %s %s\n\x1b[2Jdone", Name, Number);
    else if (action == "flood")
        for (int i = 0; i < 200000; ++i)
            std::fputs("flooding standard output with a line of forty bytes\n", stdout);
    else if (action == "garble")
        for (int fd = 3; fd < 256; ++fd) {
            // Most numbers are no descriptor; the write that counts is to the check's channel.
            const ssize_t written = write(fd, "\x03\xff\xff\xff\x7fgarbage", 12);
            static_cast<void>(written);
        }
    else if (action == "close-all")
        for (int fd = 3; fd < 256; ++fd)
            close(fd);
    else if (action == "leave-child" && fork() == 0)
        hang();
    return action;
}

void put(unsigned char *record, int offset, const char *text)
{
    std::memcpy(record + offset, text, std::strlen(text));
}

__attribute__((constructor)) void loading()
{
    misbehave(STANDIN_LOAD_PLACE);
}

}

EXPORT int32_t ICC_Reader_Open(const char *)
{
    if (misbehave("ICC_Reader_Open") == "eacces") {
        errno = EACCES;
        return -1;
    }
    return kestrelusb_ready();
}

EXPORT int32_t ICC_GetSAMIDToStr(intptr_t, char *)
{
    misbehave("ICC_GetSAMIDToStr");
    return 0;
}

EXPORT int32_t ICC_Reader_PowerOff(intptr_t, int32_t)
{
    misbehave("ICC_Reader_PowerOff");
    return 0;
}

EXPORT int32_t ICC_Reader_PowerOn(intptr_t, int32_t, unsigned char *)
{
    misbehave("ICC_Reader_PowerOn");
    return 0;
}

EXPORT int32_t ICC_Authenticate(intptr_t)
{
    misbehave("ICC_Authenticate");
    return 0;
}

EXPORT int32_t ICC_ReadBaseMsgData(intptr_t, int32_t, char *photoPath, unsigned char *record)
{
    const std::string action = misbehave("ICC_ReadBaseMsgData");
    const char *photo = std::getenv("STANDIN_PHOTO");
    if (action == "photo-gone")
        photo = "/nonexistent/standin/photo.bmp";
    else if (action == "photo-relative")
        photo = "standin-photo.bmp";
    std::snprintf(photoPath, 300, "%s", photo ? photo : "");
    put(record, 4, Name);
    put(record, 148, Number);
    return 0;
}

EXPORT int32_t ICC_Reader_Close()
{
    misbehave("ICC_Reader_Close");
    return 0;
}

EXPORT int64_t iReadCardBas_noPasam(int32_t, int32_t, char *data)
{
    misbehave("iReadCardBas_noPasam");
    std::snprintf(data, 1025, "社会保障卡|%s|%s", Number, Name);
    return 0;
}
