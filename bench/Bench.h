#pragma once

#include <QFont>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

// quillmark-bench: each group measures the program's own code against a baseline taken in the same
// run and prints one "name: value" line per figure. A group returns false when a measurement could
// not be made.
namespace bench {

struct Group {
    QString name;
    std::function<bool()> run;
};

std::vector<Group>& groups();

struct Register {
    Register(const QString& name, std::function<bool()> run) { groups().push_back({name, std::move(run)}); }
};

// Prints "name: value" (value with up to three decimals).
void figure(const QString& name, double value);

// Prints "name: text", for what a figure depends on rather than a figure.
void note(const QString& name, const QString& text);

// The family of the face that text in `font` is laid out with, as fontconfig resolved it.
QString fontFamily(const QFont& font);

// A fresh folder for one group's files, removed at exit.
QString scratchFolder(const QString& group);

// A measurement made in a process of its own, so that its peak memory is that of the measured work
// alone: `quillmark-bench --child NAME ARGS...` runs it and exits with its result (0 for success).
struct ChildRegister {
    ChildRegister(const QString& name, std::function<int(const QStringList&)> run);
};
std::function<int(const QStringList&)> child(const QString& name);

// Runs the child measurement `name` and returns what it printed; empty when it failed.
QString runChild(const QString& name, const QStringList& args);

// The peak resident memory of this process so far, in megabytes (VmHWM).
double peakRssMb();

} // namespace bench
