#include "bench/Bench.h"

#include <QApplication>
#include <QDir>
#include <QFontInfo>
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

} // namespace bench

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList wanted = app.arguments().mid(1);
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
