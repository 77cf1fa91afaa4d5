#include <QCoreApplication>
#include <cstdio>

#include "cli/commands.h"
#include "headless/interrupt.h"

int main(int argc, char** argv) {
    cfg::CatchInterrupts();
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return cfg::RunCommandLine(args, stdout, stderr);
}
