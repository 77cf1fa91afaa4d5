#include <QApplication>
#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

#include "core/common/commandline.h"
#include "gui/desktop.h"
#include "gui/instance.h"
#include "headless/console.h"
#include "headless/memory.h"
#include "headless/session.h"

static const char* const kUsage =
    "usage: cfgtarascope                 the desktop program (one instance per user)\n"
    "       cfgtarascope CONNECTIONFILE  batch mode: characters 1 to 20 are the TCP/IP\n"
    "                                    connection text (padded with spaces), the rest the\n"
    "                                    configuration file to load and send; no display needed\n"
    "       cfgtarascope --help | --version\n";

// The argument string as one text: the arguments after the program's name, joined by single
// spaces (quote it to keep other spacing).
static QString ArgumentString(int argc, char** argv) {
    QStringList parts;
    for (int i = 1; i < argc; ++i) parts.append(QString::fromLocal8Bit(argv[i]));
    return parts.join(u' ');
}

int main(int argc, char** argv) {
    cfg::UseLargeHeapPages();
    // The batch test comes before anything else, and needs no display.
    const QString arguments = ArgumentString(argc, argv);
    // Only as the whole argument string: anything else is the batch mode's text, or Qt's own
    // options (-platform, -style) for the windows.
    if (arguments == u"--help" || arguments == u"-h" || arguments == u"--version")
        return cfg::AnswerRequest(
            arguments == u"--version" ? cfg::Request::Version : cfg::Request::Help, "cfgtarascope",
            QLatin1String(kUsage), {}, stdout, stderr);
    if (cfg::IsBatchRequest(arguments)) {
        QCoreApplication app(argc, argv);
        return cfg::RunBatch(arguments.left(20), arguments.mid(20), stderr);
    }

    QApplication app(argc, argv);
    // One interactive instance per user. A second start says so, and asks the first to come
    // forward (which the platform may or may not allow).
    cfg::SingleInstance instance;
    if (!instance.Acquire()) {
        instance.AskFirstForward();
        cfg::WriteLine(stderr, cfg::SingleInstance::AlreadyOpen());
        cfg::LoadQtSpanish(app);
        cfg::BoxMessages().Show(cfg::SingleInstance::AlreadyOpen(), cfg::Icon::Information);
        return 0;
    }
    return cfg::RunDesktop(app, instance);
}
