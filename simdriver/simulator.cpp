#include "simulator.h"

#include "citizennumber.h"
#include "kestreldriver.h"
#include "portrait.h"
#include "replay.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace kestrelsim {

namespace {

constexpr int SocialTextRoom = SocialDataBufferSize - 1;
// The fingerprint part holds two templates.
constexpr int FingerprintTemplateSize = RecordLayout::Fingerprint.room / 2;

void putText(unsigned char *record, RecordField field, const std::string &text)
{
    std::memcpy(record + field.offset, text.data(), std::min<size_t>(text.size(), size_t(field.room - 1)));
}

std::string citizenNumber()
{
    const std::string first17 = "11010119900307123";
    return first17 + citizenCheckCharacter(first17);
}

// Two deterministic 512-byte templates, each with a small header as real templates have.
void putFingerprints(unsigned char *record)
{
    uint32_t state = 0x2545F491u;
    for (int t = 0; t < 2; ++t) {
        unsigned char *tpl = record + RecordLayout::Fingerprint.offset + t * FingerprintTemplateSize;
        tpl[0] = 0x43;
        tpl[1] = 0x01;
        tpl[4] = static_cast<unsigned char>(t == 0 ? 11 : 12); // finger position
        for (int i = 8; i < FingerprintTemplateSize; ++i) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            tpl[i] = static_cast<unsigned char>(state);
        }
    }
}

void fillDefaultRecord(unsigned char *record)
{
    using namespace RecordLayout;
    putText(record, Name, "王小明");
    putText(record, Sex, "男");
    putText(record, Nation, "汉");
    putText(record, Birth, "19900307");
    putText(record, Address, "北京市东城区示例路88号");
    putText(record, IdCode, citizenNumber());
    putText(record, Agency, "北京市公安局东城分局");
    putText(record, ValidFrom, "2020.01.01");
    putText(record, ValidTo, "2040.01.01");
    putFingerprints(record);
}

void putPath(char *photoPath, const std::string &path)
{
    if (path.size() < size_t(PhotoPathBufferSize))
        std::memcpy(photoPath, path.c_str(), path.size() + 1);
}

int32_t replayBaseMessage(const std::string &folderPath, char *photoPath, unsigned char *record)
{
    const ReplayFolder folder(folderPath);
    if (folder.read("record.bin", record, BaseMessageRecordSize) < 0)
        return NoCardFound;
    putPath(photoPath, folder.copyPhoto());
    return 0;
}

int64_t replaySocialCard(const std::string &folderPath, char *data)
{
    return ReplayFolder(folderPath).read("social.txt", data, SocialTextRoom) < 0 ? NoSocialCardFound : 0;
}

// Blocks as long as a real reader takes for one read when the scenario asks for it.
void waitLikeReader(const Setting &setting)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(setting.readMilliseconds));
}

// The seconds of "slow:SECONDS", or 0 when they are not a whole number from 1 to 600.
int slowSeconds(const std::string &name)
{
    if (name.rfind("slow:", 0) != 0 || name.size() > 8 || name.find_first_not_of("0123456789", 5) != std::string::npos)
        return 0;
    const int seconds = std::atoi(name.c_str() + 5);
    return seconds >= 1 && seconds <= 600 ? seconds : 0;
}

Setting parseSetting(const char *value)
{
    const std::string name = value ? value : "";
    if (name.empty() || name == "card")
        return {Scenario::Card, {}};
    if (name == "no-reader")
        return {Scenario::NoReader, {}};
    if (name == "no-card")
        return {Scenario::NoCard, {}};
    if (name == "no-social-card")
        return {Scenario::NoSocialCard, {}};
    if (name == "slow")
        return {Scenario::Slow, {}, 1500};
    if (slowSeconds(name) > 0)
        return {Scenario::Slow, {}, slowSeconds(name) * 1000};
    if (name.rfind("replay:", 0) == 0 && name.size() > 7)
        return {Scenario::Replay, name.substr(7)};
    static bool reported = false;
    if (!reported) {
        reported = true;
        std::fprintf(stderr, "KESTREL_SIM=%s is not a scenario; valid: card, no-reader, no-card, "
                             "no-social-card, slow, slow:SECONDS, replay:FOLDER; using card\n", name.c_str());
    }
    return {Scenario::Card, {}};
}

}

Setting currentSetting()
{
    return parseSetting(std::getenv("KESTREL_SIM"));
}

int32_t readBaseMessage(char *photoPath, unsigned char *record)
{
    const Setting setting = currentSetting();
    waitLikeReader(setting);
    switch (setting.scenario) {
    case Scenario::NoReader:
    case Scenario::NoCard:
        return NoCardFound;
    case Scenario::Replay:
        return replayBaseMessage(setting.replayFolder, photoPath, record);
    default:
        fillDefaultRecord(record);
        putPath(photoPath, writePortrait());
        return 0;
    }
}

int64_t readSocialCard(char *data)
{
    const Setting setting = currentSetting();
    waitLikeReader(setting);
    switch (setting.scenario) {
    case Scenario::NoReader:
    case Scenario::NoSocialCard:
        return NoSocialCardFound;
    case Scenario::Replay:
        return replaySocialCard(setting.replayFolder, data);
    default: {
        const std::string text = "社会保障卡|" + citizenNumber() + "|王小明|男|汉|北京市|2020-01-01";
        std::memcpy(data, text.c_str(), text.size() + 1);
        return 0;
    }
    }
}

}
