// Pictures of the windows for the documentation: the start dialog, the TCP/IP dialog, the main
// window with the network read and an editor open, the save window and the open window with
// its log. The windows run against the simulator's built-in network, in-process.
//
//   cfgtarascope-screenshots OUTPUT_FOLDER      (QT_QPA_PLATFORM=offscreen needs no display)
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTreeWidget>
#include <cstdio>
#include <functional>

#include "core/files/configsave.h"
#include "core/link/scalelink.h"
#include "core/model/configmodel.h"
#include "gui/frmabrir.h"
#include "gui/frmconexion.h"
#include "gui/frmguardar.h"
#include "gui/frmhistorial.h"
#include "gui/frmmain.h"
#include "gui/frmselectcom.h"
#include "gui/guiservices.h"
#include "sim/engine.h"
#include "sim/simnetwork.h"
#include "sim/tcpserver.h"

namespace {

using namespace cfg;

class NoFiles : public FileChooser {
  public:
    std::optional<QString> ChooseSave(QWidget*, const QString&) override { return {}; }
    std::optional<QString> ChooseOpen(QWidget*, const QString&) override { return {}; }
};

class NoEnd : public ProgramControl {
  public:
    void EndProgram() override {}
};

bool WaitUntil(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > 60000) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

bool Shoot(QWidget* window, const QString& folder, const char* name) {
    QCoreApplication::processEvents();
    const QString path = QDir(folder).filePath(QString::fromLatin1(name) + ".png");
    if (!window->grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

template <typename T>
T* Child(QObject* parent, const char* name) {
    return parent->findChild<T*>(QString::fromLatin1(name));
}

template <typename T>
T* TopLevel() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<T*>(w); window && window->isVisible()) return window;
    return nullptr;
}

int Run(const QString& folder) {
    QTemporaryDir programFolder;
    sim::Engine engine(sim::DefaultNetwork());
    sim::TcpServer server(engine);
    if (!programFolder.isValid() || !server.Start()) {
        std::fprintf(stderr, "cannot start the simulated network\n");
        return 1;
    }
    // No message boxes in pictures: every question is answered as the user would go on.
    Operation messages;
    NoFiles files;
    NoEnd end;
    DesktopServices services{messages, files, end, programFolder.path(), nullptr};

    FrmSelectCOM start(services);
    if (!start.Load()) return 1;
    start.show();
    Child<QLineEdit>(&start, "TxtPass")->setText(QStringLiteral(" QWZTR"));
    if (!Shoot(&start, folder, "start-dialog")) return 1;
    Child<QPushButton>(&start, "Command1_0")->click();

    FrmConfiguracion* tcp = start.tcpDialog();
    Child<QLineEdit>(tcp, "Text1")->setText(QStringLiteral("127.0.0.1"));
    Child<QLineEdit>(tcp, "Text2")->setText(QString::number(server.port()));
    if (!Shoot(tcp, folder, "tcp-dialog")) return 1;
    Child<QPushButton>(tcp, "Command1_0")->click();

    FrmMain* main = start.mainWindow();
    if (!WaitUntil([&] { return main->isVisible() && !main->Busy(); })) return 1;
    // Scale 1 opened at its first menu, with a number item selected.
    const ConfigModel& model = main->model();
    const ItemRow* shown = nullptr;
    for (const ItemRow& row : model.Items())
        if (row.owner == 1 && row.type == kNumber && row.order < 100) {
            shown = &row;
            break;
        }
    if (shown) {
        QTreeWidgetItem* item = main->NodeItem(shown->key);
        for (QTreeWidgetItem* up = item->parent(); up; up = up->parent()) up->setExpanded(true);
        auto* tree = Child<QTreeWidget>(main, "Arbol");
        tree->setCurrentItem(item);
        tree->scrollToItem(item);
        emit tree->itemClicked(item, 0);
    }
    if (!Shoot(main, folder, "main-window")) return 1;

    const QString file = programFolder.filePath(QStringLiteral("red.xml"));
    Child<QPushButton>(main, "Command1_1")->click();
    auto* save = TopLevel<FrmGuardar>();
    Child<QLineEdit>(save, "TxtRuta")->setText(file);
    if (!Shoot(save, folder, "save-window")) return 1;
    Child<QPushButton>(save, "Command1_1")->click();
    if (!WaitUntil([&] { return main->isEnabled(); })) return 1;

    Child<QPushButton>(main, "Command1_2")->click();
    auto* open = TopLevel<FrmAbrir>();
    Child<QLineEdit>(open, "TxtRuta")->setText(file);
    Child<QPushButton>(open, "Command1_1")->click();
    if (!WaitUntil([&] { return Child<QPushButton>(open, "Command1_1")->isEnabled(); })) return 1;
    if (!Shoot(open, folder, "open-window")) return 1;
    open->close();
    WaitUntil([&] { return main->isEnabled(); });

    // One value programmed, then the history comparing the read with it.
    if (shown) {
        Child<QLineEdit>(main, "TxtNumero")->setText(QStringLiteral("42"));
        Child<QPushButton>(main, "CmbValor")->click();
        if (!WaitUntil([&] { return !main->Busy(); })) return 1;
    }
    Child<QPushButton>(main, "CmdHistorial")->click();
    auto* history = TopLevel<FrmHistorial>();
    if (!history || !WaitUntil([&] { return history->isEnabled(); })) return 1;
    auto* snapshots = Child<QTreeWidget>(history, "Lista");
    snapshots->selectAll();
    Child<QPushButton>(history, "CmdComparar")->click();
    if (!WaitUntil([&] { return history->isEnabled(); })) return 1;
    if (!Shoot(history, folder, "history-window")) return 1;
    history->close();
    WaitUntil([&] { return main->isEnabled(); });

    // A network whose scale 2 drops the line while its values are read.
    sim::EngineOptions dropping;
    dropping.faults.dropAfter = 19;
    sim::Engine partial(sim::DefaultNetwork(), dropping);
    sim::TcpServer partialServer(partial);
    if (!partialServer.Start()) return 1;
    bool connected = false;
    main->Connect(ScaleLink::Tcp, QStringLiteral("127.0.0.1:%1").arg(partialServer.port()),
                  [&](int result) { connected = result == 0; });
    if (!WaitUntil([&] { return connected && !main->Busy(); })) return 1;
    main->Lee_Datos();
    if (!WaitUntil([&] { return !main->Busy(); })) return 1;
    // Scale 2's first menu open: its items, without values.
    if (QTreeWidgetItem* menu = main->NodeItem(keys::ScaleMenu(2, 1))) {
        for (QTreeWidgetItem* up = menu; up; up = up->parent()) up->setExpanded(true);
        Child<QTreeWidget>(main, "Arbol")->scrollToItem(menu);
    }
    if (!Shoot(main, folder, "partial-read")) return 1;
    Child<QPushButton>(main, "Command1_1")->click();
    save = TopLevel<FrmGuardar>();
    Child<QLineEdit>(save, "TxtRuta")->setText(file);
    if (!Shoot(save, folder, "partial-save")) return 1;
    save->close();
    WaitUntil([&] { return main->isEnabled(); });
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: cfgtarascope-screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    return Run(folder);
}
