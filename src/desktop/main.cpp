#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

#include "commands.h"
#include "console.h"

// The argument string as one text: the arguments after the program's name, joined by single
// spaces (quote it to keep other spacing).
static QString ArgumentString(int argc, char** argv) {
    QStringList parts;
    for (int i = 1; i < argc; ++i) parts.append(QString::fromLocal8Bit(argv[i]));
    return parts.join(u' ');
}

int main(int argc, char** argv) {
    // The batch test comes before anything else, and needs no display.
    const QString arguments = ArgumentString(argc, argv);
    if (cfg::IsBatchRequest(arguments)) {
        QCoreApplication app(argc, argv);
        return cfg::RunBatch(arguments.left(20), arguments.mid(20), stderr);
    }
    cfg::WriteLine(stderr,
                   QStringLiteral("Esta versión no tiene ventanas todavía: use cfgtarascope-cli, "
                                  "o el modo por lotes (conexión de 20 caracteres y fichero)."));
    return cfg::kExitUsage;
}
