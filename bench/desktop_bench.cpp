// The main window reading a large simulated network (offscreen) against the headless read of
// the same network over the same kind of link, taking turns in one run.
//
//   QT_QPA_PLATFORM=offscreen build/bench/desktop_bench [SCALES ITEMS [ROUNDS [PAGE]]]
//   (default 60 400 3 50)
//
// The window's read is timed from "Recargar Datos" until its tree shows every node and the
// window is idle again; the headless read is the workbench's, as the command-line tool reads
// and records, on a LinkComponent.
// A read cancelled a third of the way is timed from "Cancelar" until the window is usable.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <algorithm>
#include <cstdio>

#include "benchsupport.h"
#include "core/model/configmodel.h"
#include "core/settings/clsconfig.h"
#include "core/workbench/workbench.h"
#include "gui/frmmain.h"
#include "gui/guiservices.h"
#include "transports/connectiontext.h"
#include "transports/linkcomponent.h"

namespace {

using namespace cfg;

class NoEnd : public ProgramControl {
  public:
    void EndProgram() override { ended = true; }
    bool ended = false;
};

class NoFiles : public FileChooser {
  public:
    std::optional<QString> ChooseSave(QWidget*, const QString&) override { return {}; }
    std::optional<QString> ChooseOpen(QWidget*, const QString&) override { return {}; }
};

// Runs `start` and processes events until the window's operation ends.
void RunOperation(FrmMain& main, const std::function<void()>& start) {
    QEventLoop loop;
    const auto c = QObject::connect(&main, &FrmMain::operationFinished, &loop, &QEventLoop::quit);
    start();
    if (main.Busy()) loop.exec();
    QObject::disconnect(c);
}

}  // namespace

int main(int argc, char** argv) {
    // Left to the scheduler: the window's thread and the worker that owns the link share the
    // cores as on a technician's computer.
    QApplication app(argc, argv);
    QStringList args = app.arguments();
    benchsupport::Goals goals(args);
    const int scales = args.size() > 2 ? args[1].toInt() : 60;
    const int items = args.size() > 2 ? args[2].toInt() : 400;
    const int rounds = args.size() > 3 ? args[3].toInt() : 3;
    const QString page = args.size() > 4 ? args[4] : QStringLiteral("50");

    benchsupport::SimProcess sim;
    if (!sim.Start(scales, items, page, "0")) {
        std::fprintf(stderr, "the simulator did not start\n");
        return 1;
    }

    QTemporaryDir dir;
    benchsupport::Quiet quiet;
    NoFiles files;
    NoEnd end;
    DesktopServices services{quiet, files, end, dir.path(), nullptr};
    ClsConfig config(dir.path());
    FrmMain main(services, config);
    main.show();
    int connected = -1;
    RunOperation(main, [&] {
        main.Connect(ScaleLink::Tcp, sim.address, [&](int result) { connected = result; });
    });
    if (connected != 0) {
        std::fprintf(stderr, "the window did not connect\n");
        return 1;
    }

    LinkComponent link;
    if (link.Connect(0, ScaleLink::Tcp, sim.address) != 0) return 1;
    // The headless side takes the same step as the command-line tool: the workbench's read,
    // recorded in a history of its own.
    Workbench bench(QDir(dir.path()).filePath(QStringLiteral("headless.db")));
    bench.SetConnection(NormalConnection(ScaleLink::Tcp, sim.address));
    const ConfigModel& model = bench.model();
    double window = 1e300, headless = 1e300;
    int shown = 0;
    for (int r = 0; r < rounds; ++r) {
        window = std::min(window, benchsupport::BestMs(1, [&] {
                              RunOperation(main, [&] { main.Lee_Datos(); });
                              // Every pending node applied to the view, then painted.
                              main.NodeItem(main.model().Nodes().back().key);
                              main.repaint();
                          }));
        headless = std::min(
            headless, benchsupport::BestMs(1, [&] { static_cast<void>(bench.Read(link, quiet)); }));
    }
    for (QTreeWidgetItemIterator it(main.findChild<QTreeWidget*>("Arbol")); *it; ++it) ++shown;
    if (end.ended || shown != int(main.model().Nodes().size()) ||
        main.model().Items().size() != model.Items().size()) {
        std::fprintf(stderr, "the window's read did not complete\n");
        return 1;
    }
    // A read cancelled midway: the time from "Cancelar" until the window is usable again, its
    // tree showing what was read.
    double cancel = 0;
    RunOperation(main, [&] {
        main.Lee_Datos();
        QTimer::singleShot(static_cast<int>(window / 3), &main, [&] {
            main.findChild<QPushButton*>("CmdCancelar")->click();
            QElapsedTimer timer;
            timer.start();
            QObject::connect(&main, &FrmMain::operationFinished, &main, [&, timer] {
                if (cancel == 0) cancel = static_cast<double>(timer.nsecsElapsed()) / 1e6;
            });
        });
    });
    const std::size_t partial = main.model().ReadFailures().size();
    RunOperation(main, [&] { main.Lee_Datos(); });

    // The filter, typed a character at a time, erased the same way and cleared: the slowest
    // keystroke, each applied and painted.
    auto* filter = main.findChild<QLineEdit*>("TxtFiltro");
    // Clicked into first, as a technician does: the texts are made ready then.
    main.activateWindow();
    const double focus = benchsupport::BestMs(1, [&] {
        filter->setFocus();
        QCoreApplication::processEvents();
    });
    const QString word =
        main.model().Items()[main.model().Items().size() / 2].text.section(u' ', 0, 0);
    const QString typed = word.left(6) + QStringLiteral(" 1");
    double slowest = 0;
    const auto key = [&](const QString& text) {
        slowest = std::max(slowest, benchsupport::BestMs(1, [&] {
                               filter->setText(text);
                               main.repaint();
                           }));
    };
    for (qsizetype n = 1; n <= typed.size(); ++n) key(typed.left(n));
    const QString found = main.findChild<QLabel*>("LblFiltro")->text();
    for (qsizetype n = typed.size() - 1; n >= 0; --n) key(typed.left(n));

    std::printf("network: %d scales, %zu items, %d nodes shown, %s per page\n", scales,
                model.Items().size(), shown, qPrintable(page));
    std::printf("window read   %9.1f ms\n", window);
    std::printf("headless read %9.1f ms\n", headless);
    std::printf("filter        %9.1f ms  (the slowest keystroke of \"%s\" typed and erased; %s)\n",
                slowest, qPrintable(typed), qPrintable(found));
    std::printf("filter focus  %9.1f ms  (the box taking the focus, every text made ready)\n",
                focus);
    std::printf(
        "cancel        %9.1f ms  (from Cancelar a third into a read until the window is "
        "usable; %zu owners left unread)\n",
        cancel, partial);
    goals.Ratio("window read / headless read", window / headless, 1.5);
    goals.Ms("cancel to usable ms", cancel, 250);
    goals.Ms("filter keystroke ms", slowest, 50);
    return goals.Status();
}
