#include "portrait.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrelsim {

namespace {

bool insideEllipse(int x, int y, double cx, double cy, double rx, double ry)
{
    const double dx = (x - cx) / rx;
    const double dy = (y - cy) / ry;
    return dx * dx + dy * dy <= 1.0;
}

// A head over shoulders on a plain background: clearly a placeholder, never a person.
Rgb portraitPixel(int x, int y)
{
    if (insideEllipse(x, y, 51, 128, 46, 42))
        return PortraitClothes;
    if (insideEllipse(x, y, 51, 52, 22, 28))
        return PortraitFace;
    return PortraitBackground;
}

// At most four bytes: the value is 32 bits wide.
void putLittleEndian(std::vector<uint8_t> &out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(uint8_t(value >> (8 * i)));
}

bool isPrivateFolder(const std::string &path)
{
    struct stat info;
    return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid()
        && (info.st_mode & 077) == 0;
}

}

std::vector<uint8_t> portraitBmp()
{
    const int rowSize = (PortraitWidth * 3 + 3) / 4 * 4;
    const uint32_t pixelBytes = uint32_t(rowSize * PortraitHeight);
    std::vector<uint8_t> bmp{'B', 'M'};
    putLittleEndian(bmp, 54 + pixelBytes, 4);
    putLittleEndian(bmp, 0, 4);
    putLittleEndian(bmp, 54, 4);
    putLittleEndian(bmp, 40, 4);
    putLittleEndian(bmp, PortraitWidth, 4);
    putLittleEndian(bmp, PortraitHeight, 4);
    putLittleEndian(bmp, 1, 2);
    putLittleEndian(bmp, 24, 2);
    putLittleEndian(bmp, 0, 4);
    putLittleEndian(bmp, pixelBytes, 4);
    putLittleEndian(bmp, 2835, 4);
    putLittleEndian(bmp, 2835, 4);
    putLittleEndian(bmp, 0, 4); // palette colours
    putLittleEndian(bmp, 0, 4); // important colours
    // BMP rows run bottom to top, pixels as blue, green, red.
    for (int y = PortraitHeight - 1; y >= 0; --y) {
        for (int x = 0; x < PortraitWidth; ++x) {
            const Rgb pixel = portraitPixel(x, y);
            bmp.insert(bmp.end(), {pixel.b, pixel.g, pixel.r});
        }
        bmp.resize(bmp.size() + size_t(rowSize - PortraitWidth * 3), 0);
    }
    return bmp;
}

std::string privateFolder()
{
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    const char *tmp = std::getenv("TMPDIR");
    const std::string folder = runtime && runtime[0] == '/'
        ? std::string(runtime) + "/kestrel-sim"
        : std::string(tmp && tmp[0] == '/' ? tmp : "/tmp") + "/kestrel-sim-" + std::to_string(geteuid());
    mkdir(folder.c_str(), 0700);
    return isPrivateFolder(folder) ? folder : std::string();
}

std::string writePortrait()
{
    const std::string folder = privateFolder();
    if (folder.empty())
        return {};
    // Written under a temporary name and renamed, so a reader never sees half a file; created
    // anew for our user alone, never through a link someone else put there.
    const std::string path = folder + "/photo.bmp";
    const std::string partial = path + ".part";
    unlink(partial.c_str());
    const int fd = open(partial.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return {};
    const std::vector<uint8_t> bmp = portraitBmp();
    const bool written = write(fd, bmp.data(), bmp.size()) == ssize_t(bmp.size());
    if (close(fd) != 0 || !written || std::rename(partial.c_str(), path.c_str()) != 0)
        return {};
    return path;
}

}
