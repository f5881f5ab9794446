// Without libFuzzer (any compiler): runs a target over saved inputs, each argument a file or a
// folder of them, so that the seeds and every input that once found a fault stay tests.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int *argc, char ***argv);

int main(int argc, char **argv)
{
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    int runs = 0;
    for (int i = 1; i < argc; ++i) {
        const QFileInfo arg(QString::fromLocal8Bit(argv[i]));
        QStringList files;
        if (arg.isDir()) {
            for (const QFileInfo &f : QDir(arg.filePath()).entryInfoList(QDir::Files | QDir::Hidden, QDir::Name))
                files << f.filePath();
        } else if (arg.exists()) {
            files << arg.filePath();
        }
        for (const QString &path : files) {
            QFile f(path);
            if (!f.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
                return 1;
            }
            const QByteArray data = f.readAll();
            std::fprintf(stderr, "replaying %s\n", qPrintable(path));
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(data.constData()), size_t(data.size()));
            ++runs;
        }
    }
    std::fprintf(stderr, "%d inputs replayed\n", runs);
    return 0;
}
