#include <QCoreApplication>
#include <cstdio>

#include "cli/commands.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return cfg::RunCommandLine(args, stdout, stderr);
}
