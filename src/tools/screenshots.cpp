// Pictures of the windows for the documentation: the start dialog, the TCP/IP dialog, the main
// window with the network read and an editor open, the save window and the open window with
// its log, the history, the filter, a clone's preview, the send question and the send report. The
// windows run against the simulator's built-in network, in-process.
//
//   cfgtarascope-screenshots OUTPUT_FOLDER      (QT_QPA_PLATFORM=offscreen needs no display)
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <functional>

#include "core/editing/clone.h"
#include "core/files/configsave.h"
#include "core/link/scalelink.h"
#include "core/model/configmodel.h"
#include "gui/desktop.h"
#include "gui/frmabrir.h"
#include "gui/frmconexion.h"
#include "gui/frmcopiar.h"
#include "gui/frmguardar.h"
#include "gui/frmhistorial.h"
#include "gui/frminforme.h"
#include "gui/frmmain.h"
#include "gui/frmselectcom.h"
#include "gui/guiservices.h"
#include "sim/engine.h"
#include "sim/ptyserver.h"
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

    Desktop desktop(services);
    if (!desktop.Start()) return 1;
    FrmSelectCOM& start = *desktop.startDialog();
    Child<QLineEdit>(&start, "TxtPass")->setText(QStringLiteral(" QWZTR"));
    if (!Shoot(&start, folder, "start-dialog")) return 1;
    Child<QPushButton>(&start, "Command1_0")->click();

    FrmConfiguracion* tcp = desktop.tcpDialog();
    Child<QLineEdit>(tcp, "Text1")->setText(QStringLiteral("127.0.0.1"));
    Child<QLineEdit>(tcp, "Text2")->setText(QString::number(server.port()));
    if (!Shoot(tcp, folder, "tcp-dialog")) return 1;
    Child<QPushButton>(tcp, "Command1_0")->click();

    FrmMain* main = desktop.mainWindow();
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

    // The tree filtered by the first word of the item shown.
    auto* filter = Child<QLineEdit>(main, "TxtFiltro");
    filter->setText(shown ? shown->text.section(u' ', 0, 0) : QStringLiteral("Balanza"));
    if (!Shoot(main, folder, "filter")) return 1;
    filter->clear();

    // Scale 1's values previewed on scale 2, but one.
    auto* tree = Child<QTreeWidget>(main, "Arbol");
    emit tree->itemClicked(main->NodeItem(keys::Scale(1)), 0);
    Child<QPushButton>(main, "CmdCopiar")->click();
    auto* copy = TopLevel<FrmCopiar>();
    if (!copy) return 1;
    Child<QListWidget>(copy, "ListaBal")->item(0)->setCheckState(Qt::Checked);
    // The first menu open, its first item left out.
    auto* menus = Child<QTreeWidget>(copy, "Menus");
    menus->expandItem(menus->topLevelItem(0));
    menus->topLevelItem(0)->child(0)->setCheckState(0, Qt::Unchecked);
    Child<QPushButton>(copy, "CmdVista")->click();
    if (!WaitUntil([&] { return copy->isEnabled(); })) return 1;
    if (!Shoot(copy, folder, "clone-preview")) return 1;

    // The send question with what changed: the clone made in a copy of the model, asked as
    // "Enviar Todo a Balanzas" asks, its details open, then answered No.
    ConfigModel cloned = main->model();
    CloneScale(cloned, 1, {2});
    copy->close();
    WaitUntil([&] { return main->isEnabled(); });
    bool shot = false;
    QTimer::singleShot(200, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        for (QAbstractButton* b : box->buttons())
            if (box->buttonRole(b) == QMessageBox::ActionRole) b->click();  // "Show Details..."
        QCoreApplication::processEvents();
        shot = Shoot(box, folder, "send-question");
        box->reject();
    });
    BoxMessages().AskSend(QStringLiteral("Se enviarán todas las configuraciones a balanzas.¿Está "
                                         "seguro?"),
                          WithOptionTexts(cloned, ChangedItems(cloned)), SendScope::All);
    if (!shot) return 1;

    // A network whose scale 2 cannot have its values read.
    sim::EngineOptions dropping;
    dropping.faults.unreadableScales = {2};
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

    // A clone sent to a network whose scales refuse two of the items it changes: the report.
    ConfigModel scales = main->model();
    std::vector<ValueChange> changes = CloneScale(scales, 1, {3});
    sim::EngineOptions refusing;
    for (std::size_t i = 0; i < std::min<std::size_t>(2, changes.size()); ++i)
        refusing.faults.refusedIds.insert(changes[i].id);
    sim::Engine strict(sim::DefaultNetwork(), refusing);
    sim::TcpServer strictServer(strict);
    if (!strictServer.Start()) return 1;
    connected = false;
    main->Connect(ScaleLink::Tcp, QStringLiteral("127.0.0.1:%1").arg(strictServer.port()),
                  [&](int result) { connected = result == 0; });
    if (!WaitUntil([&] { return connected && !main->Busy(); })) return 1;
    main->Lee_Datos();
    if (!WaitUntil([&] { return !main->Busy(); })) return 1;
    main->CloneSend(1, {3}, {});
    if (!WaitUntil([&] { return !main->Busy(); })) return 1;
    auto* report = TopLevel<FrmInforme>();
    if (!report || !Shoot(report, folder, "send-report")) return 1;
    report->close();

    // The refused items stay marked in the tree, counted beside the buttons (the menu current, so
    // that no highlight covers a mark).
    for (qsizetype i = 0; i < refusing.faults.refusedIds.size(); ++i) {
        const int row = main->model().FindItem(3, changes[std::size_t(i)].id);
        QTreeWidgetItem* item = row >= 0 ? main->NodeItem(main->model().Items()[row].key) : nullptr;
        if (!item) continue;
        for (QTreeWidgetItem* up = item->parent(); up; up = up->parent()) up->setExpanded(true);
        if (i == 0) tree->setCurrentItem(item->parent());
    }
    tree->scrollToItem(tree->currentItem(), QAbstractItemView::PositionAtCenter);
    if (!Shoot(main, folder, "pending-changes")) return 1;

    // The RS-232 dialog's port list: COM1 to COM9, then the devices present (a pseudo-terminal
    // served by the simulator here).
    sim::PtyServer pty(engine, {});
    QString error;
    if (!pty.Open({}, &error)) return 1;
    services.ports = [&] {
        return std::vector<SerialPortEntry>{
            {pty.slavePath(), QStringLiteral("Simulador de balanzas"), false}};
    };
    FrmConf232 serial(services, desktop.config(), *main);
    serial.show();
    auto* ports = Child<QComboBox>(&serial, "CmbPuerto");
    ports->showPopup();
    QCoreApplication::processEvents();
    if (!Shoot(ports->view()->window(), folder, "serial-ports")) return 1;
    ports->hidePopup();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    LoadQtSpanish(app);
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
