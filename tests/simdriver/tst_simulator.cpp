// The simulated reader: its default card, its scenarios and the files it writes.

#include "basemessage.h"
#include "citizennumber.h"
#include "kestreldriver.h"
#include "simulator.h"

#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

struct IdRead {
    int32_t open = 0;
    int32_t result = 0;
    HolderFields holder;
    QString photoPath;
};

// One ID card read the way the window makes it.
IdRead readIdCard()
{
    IdRead read;
    read.open = ICC_Reader_Open("");
    if (read.open != 1)
        return read;
    char photoPath[PhotoPathBufferSize] = {};
    BaseMessageRecord record = {};
    read.result = ICC_ReadBaseMsgData(0, 0, photoPath, record);
    ICC_Reader_Close();
    read.holder = decodeBaseMessage(record);
    read.photoPath = textInRoom(photoPath, PhotoPathBufferSize);
    return read;
}

QPair<int64_t, QString> readSocialCard()
{
    char data[SocialDataBufferSize] = {};
    const int64_t result = iReadCardBas_noPasam(1, 100, data);
    return {result, textInRoom(data, SocialDataBufferSize - 1)};
}

// What the code under test writes to standard error while `run` runs.
template<typename Run>
QByteArray standardError(Run run)
{
    QTemporaryFile file;
    if (!file.open())
        qFatal("cannot make a temporary file");
    const int saved = dup(2);
    dup2(file.handle(), 2);
    run();
    dup2(saved, 2);
    close(saved);
    file.seek(0);
    return file.readAll();
}

}

class SimulatorTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        qunsetenv("KESTREL_SIM");
        qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
    }

    void citizenCheckCharacter_data();
    void citizenCheckCharacter();
    void defaultCard();
    void portraitInPrivateFolder();
    void sharedFolderIsRefused();
    void fingerprintIsDeterministic();
    void defaultSocialCard();
    void scenarios_data();
    void scenarios();
    void slowReaderBlocks_data();
    void slowReaderBlocks();
    void unknownScenarioFallsBack();
    void replay();
    void replayWithoutOptionalFiles();
    void replayRefusesWhatIsNoRegularFile_data();
    void replayRefusesWhatIsNoRegularFile();

private:
    QTemporaryDir runtimeDir;
};

void SimulatorTest::citizenCheckCharacter_data()
{
    QTest::addColumn<QString>("first17");
    QTest::addColumn<QChar>("check");
    QTest::newRow("X") << "11010519491231002" << QChar('X');
    QTest::newRow("4") << "44052418800101001" << QChar('4');
    QTest::newRow("3") << "11010119900307123" << QChar('3');
    QTest::newRow("all zero") << "00000000000000000" << QChar('1');
}

void SimulatorTest::citizenCheckCharacter()
{
    QFETCH(QString, first17);
    QFETCH(QChar, check);
    QCOMPARE(QChar(::citizenCheckCharacter(first17.toStdString())), check);
}

void SimulatorTest::defaultCard()
{
    const IdRead read = readIdCard();
    QCOMPARE(read.open, 1);
    QCOMPARE(read.result, 0);
    const HolderFields &holder = read.holder;
    QVERIFY(holder.name.size() == 2 || holder.name.size() == 3);
    QVERIFY(holder.sex == QString::fromUtf8("男") || holder.sex == QString::fromUtf8("女"));
    QCOMPARE(holder.nation, QString::fromUtf8("汉"));
    QVERIFY(QRegularExpression("^\\d{4}$").match(holder.birth.year).hasMatch());
    QCOMPARE(holder.birth.month.size(), 2);
    QCOMPARE(holder.birth.day.size(), 2);
    QVERIFY(!holder.address.isEmpty());
    QVERIFY(!holder.agency.isEmpty());
    QVERIFY(QRegularExpression("^\\d{4}\\.\\d\\d\\.\\d\\d-\\d{4}\\.\\d\\d\\.\\d\\d$").match(holder.validity).hasMatch());
    QCOMPARE(holder.idCode.size(), 18);
    QCOMPARE(QChar(::citizenCheckCharacter(holder.idCode.left(17).toStdString())), holder.idCode.at(17));
    QCOMPARE(holder.idCode.mid(6, 8), holder.birth.year + holder.birth.month + holder.birth.day);
    // The 17th digit is odd for men and even for women.
    QCOMPARE(holder.idCode.at(16).digitValue() % 2 == 1, holder.sex == QString::fromUtf8("男"));
}

void SimulatorTest::portraitInPrivateFolder()
{
    // A link planted at the temporary name is replaced, not written through.
    QTemporaryFile target;
    QVERIFY(target.open());
    readIdCard();
    QVERIFY(QFile::link(target.fileName(), QDir(runtimeDir.path()).filePath("kestrel-sim/photo.bmp.part")));
    const IdRead read = readIdCard();
    QCOMPARE(target.size(), qint64(0));
    QVERIFY(QDir::isAbsolutePath(read.photoPath));
    QCOMPARE(QFileInfo(read.photoPath).absolutePath(), QDir(runtimeDir.path()).filePath("kestrel-sim"));
    struct stat folder;
    QCOMPARE(stat(QDir(runtimeDir.path()).filePath("kestrel-sim").toLocal8Bit(), &folder), 0);
    QCOMPARE(folder.st_mode & 0777, mode_t(0700));
    struct stat photo;
    QCOMPARE(stat(QFile::encodeName(read.photoPath), &photo), 0);
    QCOMPARE(photo.st_mode & 0777, mode_t(0600));
    const QImage portrait(read.photoPath);
    QCOMPARE(portrait.size(), QSize(102, 126));
    QCOMPARE(portrait.pixelColor(2, 2), QColor(0x6f, 0xa8, 0xdc));
    QVERIFY(portrait.pixelColor(51, 52) != portrait.pixelColor(2, 2));
    QVERIFY(portrait.pixelColor(51, 120) != portrait.pixelColor(51, 52));
}

// A folder of ours that others can enter, or one that is not ours, gets no photo written.
void SimulatorTest::sharedFolderIsRefused()
{
    QTemporaryDir other;
    QVERIFY(QDir(other.path()).mkdir("kestrel-sim"));
    QVERIFY(QFile::setPermissions(QDir(other.path()).filePath("kestrel-sim"), QFileDevice::Permissions(0x7775)));
    qputenv("XDG_RUNTIME_DIR", other.path().toLocal8Bit());
    const IdRead read = readIdCard();
    QCOMPARE(read.result, 0);
    QCOMPARE(read.photoPath, QString());
    QVERIFY(!QFile::exists(QDir(other.path()).filePath("kestrel-sim/photo.bmp")));
}

void SimulatorTest::fingerprintIsDeterministic()
{
    const QByteArray first = readIdCard().holder.fingerprint;
    QCOMPARE(readIdCard().holder.fingerprint, first);
    QCOMPARE(first.size(), 1024);
    QVERIFY(first.left(512) != first.mid(512));
    QVERIFY(first.count('\0') < 100);
}

void SimulatorTest::defaultSocialCard()
{
    const auto [result, text] = readSocialCard();
    QCOMPARE(result, int64_t(0));
    QVERIFY(!text.isEmpty());
    QVERIFY(!text.contains('\n'));
}

void SimulatorTest::scenarios_data()
{
    QTest::addColumn<QByteArray>("scenario");
    QTest::addColumn<int>("open");
    QTest::addColumn<int>("baseMessage");
    QTest::addColumn<qint64>("social");
    QTest::newRow("card") << QByteArray("card") << 1 << 0 << qint64(0);
    QTest::newRow("no-reader") << QByteArray("no-reader") << kestrelsim::OpenFailed << 0 << qint64(kestrelsim::NoSocialCardFound);
    QTest::newRow("no-card") << QByteArray("no-card") << 1 << kestrelsim::NoCardFound << qint64(0);
    QTest::newRow("no-social-card") << QByteArray("no-social-card") << 1 << 0 << qint64(kestrelsim::NoSocialCardFound);
}

void SimulatorTest::scenarios()
{
    QFETCH(QByteArray, scenario);
    QFETCH(int, open);
    QFETCH(int, baseMessage);
    QFETCH(qint64, social);
    qputenv("KESTREL_SIM", scenario);
    const IdRead read = readIdCard();
    QCOMPARE(read.open, open);
    QCOMPARE(read.result, baseMessage);
    QCOMPARE(read.holder.name.isEmpty(), open != 1 || baseMessage != 0);
    QCOMPARE(qint64(readSocialCard().first), social);
}

void SimulatorTest::slowReaderBlocks_data()
{
    QTest::addColumn<QByteArray>("scenario");
    QTest::addColumn<int>("atLeastMs");
    QTest::newRow("slow") << QByteArray("slow") << 1400;
    QTest::newRow("slow for a second") << QByteArray("slow:1") << 950;
}

void SimulatorTest::slowReaderBlocks()
{
    QFETCH(QByteArray, scenario);
    QFETCH(int, atLeastMs);
    qputenv("KESTREL_SIM", scenario);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(readIdCard().result, 0);
    QVERIFY(timer.elapsed() >= atLeastMs);
}

void SimulatorTest::unknownScenarioFallsBack()
{
    qputenv("KESTREL_SIM", "no-such-thing");
    IdRead read;
    const QByteArray said = standardError([&] {
        read = readIdCard();
        readSocialCard();
    });
    // The card library is asked twice and the social security library once; each says it once.
    QCOMPARE(said.count('\n'), 2);
    QVERIFY(said.contains("no-such-thing"));
    QVERIFY(said.contains("no-reader") && said.contains("replay:"));
    QCOMPARE(read.result, 0);
    QVERIFY(!read.holder.name.isEmpty());
}

// The folder's files come back byte for byte, bad bytes and all.
void SimulatorTest::replay()
{
    QTemporaryDir capture;
    QByteArray record(BaseMessageRecordSize, '\0');
    record.replace(RecordLayout::Name.offset, 6, "\xe6\x9d\x8e\xff\xfe\xfd");
    record.replace(RecordLayout::Sex.offset, 8, "12345678");
    QFile recordFile(QDir(capture.path()).filePath("record.bin"));
    QVERIFY(recordFile.open(QIODevice::WriteOnly) && recordFile.write(record) == record.size());
    recordFile.close();
    QImage photo(102, 126, QImage::Format_RGB32);
    photo.fill(Qt::magenta);
    QVERIFY(photo.save(QDir(capture.path()).filePath("photo.png")));
    QFile social(QDir(capture.path()).filePath("social.txt"));
    QVERIFY(social.open(QIODevice::WriteOnly));
    social.write(QByteArray(2000, 's'));
    social.close();

    qputenv("KESTREL_SIM", "replay:" + capture.path().toLocal8Bit());
    const IdRead read = readIdCard();
    QCOMPARE(read.result, 0);
    QCOMPARE(read.holder.name, QString::fromUtf8("李") + QString(3, QChar::ReplacementCharacter));
    QCOMPARE(read.holder.sex, QStringLiteral("12345678"));
    QCOMPARE(read.holder.fingerprint, QByteArray(1024, '\0'));
    QCOMPARE(readSocialCard(), qMakePair(int64_t(0), QString(1024, 's')));
    // The photo is reported as a copy in the simulator's own folder, which the replay folder's
    // owner cannot swap before the window opens it; a later replay's copy replaces it.
    const QString copies = runtimeDir.path() + "/kestrel-sim/replay/";
    QCOMPARE(read.photoPath, copies + "photo.png");
    QFile copy(read.photoPath);
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QFile original(capture.path() + "/photo.png");
    QVERIFY(original.open(QIODevice::ReadOnly));
    QCOMPARE(copy.readAll(), original.readAll());
    QVERIFY(original.rename(capture.path() + "/photo.jpg"));
    QCOMPARE(readIdCard().photoPath, copies + "photo.jpg");
    QCOMPARE(QDir(copies).entryList(QDir::Files), QStringList{"photo.jpg"});
}

void SimulatorTest::replayWithoutOptionalFiles()
{
    QTemporaryDir capture;
    qputenv("KESTREL_SIM", "replay:" + capture.path().toLocal8Bit());
    QCOMPARE(readIdCard().result, kestrelsim::NoCardFound);
    QFile recordFile(QDir(capture.path()).filePath("record.bin"));
    QVERIFY(recordFile.open(QIODevice::WriteOnly));
    recordFile.write(QByteArray(10, 'a'));
    recordFile.close();
    const IdRead read = readIdCard();
    QCOMPARE(read.result, 0);
    QCOMPARE(read.photoPath, QString());
    QCOMPARE(read.holder.name, QString(6, 'a'));
    QCOMPARE(readSocialCard().first, kestrelsim::NoSocialCardFound);
}

void SimulatorTest::replayRefusesWhatIsNoRegularFile_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("kind");
    QTest::addColumn<QByteArray>("said");
    for (const QByteArray name : {"record.bin", "social.txt", "photo.bmp"}) {
        for (const QByteArray kind : {"FIFO", "link", "folder", "device"})
            QTest::newRow((name + ", " + kind).constData()) << name << kind << name + " not read: it is a " + kind;
    }
    QTest::newRow("escapes in the name") << QByteArray("photo.\x1b]0;\\\xe2\x80\xae") << QByteArray("FIFO")
                                         << QByteArray("photo.\\x1b]0;\\\\\\xe2\\x80\\xae not read");
}

// Whatever stands in a file's place, the read that needs it returns at once without it, no
// photo is reported, and standard error names the file, printably, and says why.
void SimulatorTest::replayRefusesWhatIsNoRegularFile()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, kind);
    QFETCH(QByteArray, said);
    QTemporaryDir capture;
    const QByteArray path = QFile::encodeName(capture.path()) + '/' + name;
    QTemporaryFile outside;
    QVERIFY(outside.open() && outside.write(QByteArray(BaseMessageRecordSize, 'a')) > 0 && outside.flush());
    if (name != "record.bin")
        QVERIFY(QFile(capture.path() + "/record.bin").open(QIODevice::WriteOnly));
    if (kind == "FIFO")
        QCOMPARE(mkfifo(path.constData(), 0600), 0);
    else if (kind == "link")
        QCOMPARE(symlink(QFile::encodeName(outside.fileName()).constData(), path.constData()), 0);
    else if (kind == "folder")
        QCOMPARE(mkdir(path.constData(), 0700), 0);
    else if (mknod(path.constData(), S_IFCHR | 0600, makedev(1, 5)) != 0)
        QSKIP("making a device node needs root");

    qputenv("KESTREL_SIM", "replay:" + QFile::encodeName(capture.path()));
    IdRead read;
    int64_t social = 0;
    const QByteArray stderrText = standardError([&] {
        read = readIdCard();
        social = readSocialCard().first;
    });
    QCOMPARE(read.result, name == "record.bin" ? kestrelsim::NoCardFound : 0);
    QCOMPARE(read.photoPath, QString());
    QCOMPARE(social, kestrelsim::NoSocialCardFound);
    QVERIFY2(stderrText.contains(said), stderrText.constData());
    QVERIFY(!stderrText.contains('\x1b'));
}

QTEST_APPLESS_MAIN(SimulatorTest)
#include "tst_simulator.moc"
