#include "bench/Bench.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <map>
#include <memory>

namespace bench {

std::vector<Group>& groups() {
    static std::vector<Group> all;
    return all;
}

void figure(const QString& name, double value) {
    std::printf("%s: %.3f\n", qPrintable(name), value);
    std::fflush(stdout);
}

void note(const QString& name, const QString& text) {
    std::printf("%s: %s\n", qPrintable(name), qPrintable(text));
    std::fflush(stdout);
}

QString fontFamily(const QFont& font) {
    return QFontInfo(font).family();
}

QString scratchFolder(const QString& group) {
    static std::map<QString, std::unique_ptr<QTemporaryDir>> folders;
    auto& dir = folders[group];
    if (!dir)
        dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/quillmark-bench-") + group +
                                              QStringLiteral("-XXXXXX"));
    return dir->path();
}

namespace {
std::map<QString, std::function<int(const QStringList&)>>& children() {
    static std::map<QString, std::function<int(const QStringList&)>> all;
    return all;
}
} // namespace

ChildRegister::ChildRegister(const QString& name, std::function<int(const QStringList&)> run) {
    children()[name] = std::move(run);
}

std::function<int(const QStringList&)> child(const QString& name) {
    const auto found = children().find(name);
    return found == children().end() ? nullptr : found->second;
}

QString runChild(const QString& name, const QStringList& args) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QCoreApplication::applicationFilePath(),
                  QStringList{QStringLiteral("--child"), name} + args);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        std::fprintf(stderr, "quillmark-bench: the child measurement %s failed\n", qPrintable(name));
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

double peakRssMb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    // A file of /proc has no size, so it is read whole rather than up to its end.
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

} // namespace bench

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList wanted = app.arguments().mid(1);
    if (wanted.size() >= 2 && wanted[0] == QLatin1String("--child")) {
        const auto run = bench::child(wanted[1]);
        if (!run) {
            std::fprintf(stderr, "quillmark-bench: no child measurement named %s\n", qPrintable(wanted[1]));
            return 2;
        }
        return run(wanted.mid(2));
    }
    bool ok = true;
    for (const QString& name : wanted) {
        bool known = false;
        for (const auto& g : bench::groups())
            known = known || g.name == name;
        if (!known) {
            std::fprintf(stderr, "quillmark-bench: no group named %s\n", qPrintable(name));
            ok = false;
        }
    }
    for (const auto& g : bench::groups()) {
        if (!wanted.isEmpty() && !wanted.contains(g.name))
            continue;
        std::printf("# %s\n", qPrintable(g.name));
        std::fflush(stdout);
        if (!g.run()) {
            std::fprintf(stderr, "quillmark-bench: group %s could not be measured\n", qPrintable(g.name));
            ok = false;
        }
    }
    return ok ? 0 : 1;
}
