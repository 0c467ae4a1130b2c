#include "readerdevices.h"

#include "output.h"
#include "text.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// More than a reader machine has; a machine with many USB devices is not listed whole.
constexpr int MaxListedNodes = 32;

QString userName(uid_t uid)
{
    const passwd *user = getpwuid(uid);
    return user ? QString::fromLocal8Bit(user->pw_name) : QString::number(uid);
}

QString groupName(gid_t gid)
{
    const group *entry = getgrgid(gid);
    return entry ? QString::fromLocal8Bit(entry->gr_name) : QString::number(gid);
}

QStringList matching(const QString &folder, const QString &pattern)
{
    QStringList paths;
    const QDir dir(folder);
    for (const QString &name : dir.entryList({pattern}, QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name))
        paths << dir.filePath(name);
    return paths;
}

// The serial, HID and raw USB nodes a reader may be reached through.
QStringList readerNodes()
{
    QStringList nodes = matching(QStringLiteral("/dev"), QStringLiteral("ttyUSB*"))
                        + matching(QStringLiteral("/dev"), QStringLiteral("ttyACM*"))
                        + matching(QStringLiteral("/dev"), QStringLiteral("hidraw*"));
    const QDir usb(QStringLiteral("/dev/bus/usb"));
    for (const QString &bus : usb.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        nodes += matching(usb.filePath(bus), QStringLiteral("*"));
    return nodes;
}

// "crw-rw----", as ls shows it.
QString modeText(mode_t mode)
{
    QString text = S_ISCHR(mode) ? QStringLiteral("c") : S_ISBLK(mode) ? QStringLiteral("b") : QStringLiteral("-");
    const char letters[] = "rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit)
        text += (mode & (0400 >> bit)) ? QLatin1Char(letters[bit]) : QLatin1Char('-');
    return text;
}

void sayNode(const QString &path)
{
    struct stat info;
    if (stat(QFile::encodeName(path).constData(), &info) != 0)
        return;
    // Asked of the permissions, not by opening: opening a serial port can reset the device on it.
    const bool usable = faccessat(AT_FDCWD, QFile::encodeName(path).constData(), R_OK | W_OK, AT_EACCESS) == 0;
    say(Check::tr("    %1  %2 %3 %4: %5")
            .arg(path, modeText(info.st_mode), userName(info.st_uid), groupName(info.st_gid),
                 usable ? Check::tr("this user may open it for reading and writing")
                        : Check::tr("this user may not open it for reading and writing")));
}

void sayNodes()
{
    const QStringList nodes = readerNodes();
    if (nodes.isEmpty()) {
        say(Check::tr("  No device node a reader uses is there (/dev/ttyUSB*, /dev/ttyACM*, /dev/hidraw*, "
                      "/dev/bus/usb/*/*): is the reader plugged in? `lsusb` lists the USB devices."));
        return;
    }
    say(Check::tr("  Device nodes a reader may use:"));
    for (const QString &node : nodes.mid(0, MaxListedNodes))
        sayNode(node);
    if (nodes.size() > MaxListedNodes)
        say(Check::tr("    and %1 more").arg(nodes.size() - MaxListedNodes));
}

QStringList groupsOfThisUser()
{
    QStringList names;
    const int count = getgroups(0, nullptr);
    std::vector<gid_t> ids(size_t(qMax(count, 0)));
    if (count > 0 && getgroups(count, ids.data()) == count)
        for (gid_t id : ids)
            names << groupName(id);
    if (!names.contains(groupName(getegid())))
        names.prepend(groupName(getegid()));
    return names;
}

// Debian gives serial nodes to the group dialout, but leaves USB nodes writable by root alone
// and HID nodes to root alone: a group helps only with a udev rule that names it.
void sayPermissionAdvice(const QString &name)
{
    say(Check::tr("  A serial reader (ttyUSB, ttyACM) belongs to the group dialout: add the window's user to it "
                  "(`sudo usermod -aG dialout %1`, then log in again).").arg(name));
    say(Check::tr("  A USB reader (/dev/bus/usb) is writable by root alone and a HID reader (hidraw) open to root "
                  "alone, whatever groups the user is in, until a udev rule gives them to the user: install the "
                  "vendor's rule, or write /etc/udev/rules.d/70-idcard-reader.rules for the VID:PID that `lsusb` "
                  "shows (a template is under READER DEVICES in `man idcardshow-check`), run `sudo udevadm control "
                  "--reload` and `sudo udevadm trigger`, and unplug the reader and plug it in again."));
}

}

void sayOpenAdvice(int error)
{
    const uid_t uid = geteuid();
    const QString name = userName(uid);
    if (error == EACCES || error == EPERM)
        say(Check::tr("  The library was not allowed to open something, most likely the reader's device node (%1).")
                .arg(errnoText(error)));
    sayNodes();
    if (uid == 0) {
        say(Check::tr("  The check ran as root, so the device's permissions are not the cause: check the cable and "
                      "that the vendor's driver is installed as the vendor says."));
    } else {
        say(Check::tr("  The check ran as user %1 (uid %2). Run it as the user who runs the window, without sudo, then "
                      "once with sudo: if only root opens the reader, that user may not use the device (`id` shows the "
                      "user's groups, `ls -l` on the vendor's device node its owner and mode); if root cannot open it "
                      "either, check the cable and the vendor's driver.").arg(name).arg(uid));
        say(Check::tr("  This user's groups: %1.").arg(listed(groupsOfThisUser())));
        sayPermissionAdvice(name);
    }
    say(Check::tr("  A run with sudo may leave files owned by root in the vendor's photo folder, which the window's "
                  "user then cannot replace: look with `ls -l` afterwards and give them back with `sudo chown`."));
}
