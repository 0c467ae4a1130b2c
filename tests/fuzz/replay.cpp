// Runs a fuzz target over every file of the given folders or files, without libFuzzer, so
// that the corpus is replayed by the ordinary test suite (under the sanitizers when built so).

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

static void replay(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    const QByteArray bytes = file.readAll();
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size()));
}

int main(int argc, char **argv)
{
    int count = 0;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QFile::decodeName(argv[i]);
        QStringList files{argument};
        if (QFileInfo(argument).isDir()) {
            files.clear();
            for (const QString &name : QDir(argument).entryList(QDir::Files))
                files << QDir(argument).filePath(name);
        }
        for (const QString &file : files) {
            std::fprintf(stderr, "%s\n", qPrintable(file)); // the input an oracle aborts on
            replay(file);
            ++count;
        }
    }
    std::printf("replayed %d inputs\n", count);
    return count > 0 ? 0 : 1;
}
