#include <QCoreApplication>
#include <cstdio>

#include "cli/commands.h"
#include "headless/interrupt.h"
#include "headless/memory.h"

int main(int argc, char** argv) {
    cfg::UseLargeHeapPages();
    cfg::CatchInterrupts();
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return cfg::RunCommandLine(args, stdout, stderr);
}
