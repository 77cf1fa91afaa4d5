#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <array>

#include "guitestsupport.h"
#include "sim/ptyserver.h"

namespace cfgtest {
namespace {

using cfg::Icon;

TEST_F(GuiTest, AccessCodeIsTheUpperCasedTextExactly) {
    struct Case {
        const char* typed;
        bool accepted;
    };
    for (const Case& c : {Case{" QWZTR", true}, Case{" qwZtr", true}, Case{"QWZTR", false},
                          Case{" QWZTR ", false}, Case{"", false}, Case{" QWZT", false}}) {
        SCOPED_TRACE(c.typed);
        messages.shown.clear();
        cfg::FrmSelectCOM& dialog = Start();
        auto* pass = Child<QLineEdit>(&dialog, "TxtPass");
        EXPECT_TRUE(pass->hasFocus() || QApplication::focusWidget() == pass ||
                    dialog.focusWidget() == pass);
        QTest::keyClicks(pass, c.typed);
        // Enter presses the default button, "Aceptar".
        QTest::keyClick(pass, Qt::Key_Return);
        if (c.accepted) {
            EXPECT_TRUE(messages.shown.empty());
            EXPECT_FALSE(dialog.isVisible());
            ASSERT_NE(dialog.tcpDialog(), nullptr);
            EXPECT_TRUE(dialog.tcpDialog()->isVisible());
        } else {
            ASSERT_EQ(messages.shown.size(), 1u);
            EXPECT_EQ(messages.shown[0].text, "Clave erronea...");
            EXPECT_EQ(messages.shown[0].icon, Icon::None);
            EXPECT_TRUE(dialog.isVisible());
            EXPECT_EQ(pass->text(), QString::fromLatin1(c.typed));
            EXPECT_EQ(dialog.tcpDialog(), nullptr);
        }
        start.reset();
    }
    EXPECT_EQ(end.ended, 0);
}

TEST_F(GuiTest, ConnectionTypeIsSavedOnlyByAceptar) {
    cfg::FrmSelectCOM& first = Start();
    // No data.ini yet: written with the defaults, TCP/IP first.
    EXPECT_TRUE(DataIni().contains("<commode> 0 </commode>"));
    auto* combo = Child<QComboBox>(&first, "Combo1");
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(combo->itemText(0), "TCP/IP");
    EXPECT_EQ(combo->itemText(1), "RS-232");
    combo->setCurrentIndex(1);
    QTest::keyClick(combo, Qt::Key_Escape);  // Esc is "Cancelar"
    EXPECT_EQ(end.ended, 1);
    EXPECT_TRUE(DataIni().contains("<commode> 0 </commode>"));

    cfg::FrmSelectCOM& second = Start();
    combo = Child<QComboBox>(&second, "Combo1");
    EXPECT_EQ(combo->currentIndex(), 0);
    combo->setCurrentIndex(1);
    QTest::keyClicks(Child<QLineEdit>(&second, "TxtPass"), " QWZTR");
    Child<QPushButton>(&second, "Command1_0")->click();
    EXPECT_TRUE(DataIni().contains("<commode> 1 </commode>"));
    ASSERT_NE(second.serialDialog(), nullptr);
    EXPECT_TRUE(second.serialDialog()->isVisible());
    EXPECT_EQ(second.tcpDialog(), nullptr);

    // The next run starts on the saved type.
    start.reset();
    EXPECT_EQ(Child<QComboBox>(&Start(), "Combo1")->currentIndex(), 1);
}

TEST_F(GuiTest, AddressAndPortAreCheckedBeforeConnecting) {
    struct Case {
        const char* address;
        const char* port;
        const char* message;  // nullptr: accepted
    };
    const Case cases[] = {
        {"10.0.5", "6000", "IP incorrecta"},        {"10.0.0.256", "6000", "IP incorrecta"},
        {"10..0.5", "6000", "IP incorrecta"},       {"1.2.3.x", "6000", "IP incorrecta"},
        {"1.2.3:4", "6000", "IP incorrecta"},       {"127.0.0.1", "0", "Puerto no válido"},
        {"127.0.0.1", "65536", "Puerto no válido"}, {"127.0.0.1", "", "Puerto no válido"},
    };
    cfg::FrmConfiguracion* tcp = PassStart();
    ASSERT_NE(tcp, nullptr);
    auto* address = Child<QLineEdit>(tcp, "Text1");
    auto* port = Child<QLineEdit>(tcp, "Text2");
    EXPECT_EQ(port->text(), "6000");  // the default setting
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.address) + " port " + c.port);
        messages.shown.clear();
        address->setText(c.address);
        port->setText(c.port);
        QTest::keyClick(address, Qt::Key_Return);
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, QString::fromUtf8(c.message));
        EXPECT_EQ(messages.shown[0].icon, Icon::Critical);
        EXPECT_TRUE(tcp->isVisible());
        EXPECT_TRUE(tcp->isEnabled());
        EXPECT_FALSE(start->mainWindow()->isVisible());
    }
    // Nothing was saved by a refused attempt.
    EXPECT_TRUE(DataIni().contains("<tcpport> 6000 </tcpport>"));

    // The boxes take digits, ':', ';' and '.', nothing else.
    address->clear();
    QTest::keyClicks(address, "1a2:;.-b,3 ");
    EXPECT_EQ(address->text(), "12:;.3");
}

TEST_F(GuiTest, FailedTcpConnectionStillLeadsToTheMainWindowAndSaves) {
    // A port nobody listens on: a server started and stopped.
    Serve();
    const quint16 closed = server->port();
    server.reset();
    cfg::FrmConfiguracion* tcp = PassStart();
    ConnectTcp(QString::number(closed) + ".5");
    cfg::FrmMain* main = start->mainWindow();
    ASSERT_TRUE(WaitUntil([&] { return main->isVisible() && !main->Busy(); }));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Error al conectar con la balanza");
    EXPECT_EQ(messages.shown[0].icon, Icon::Critical);
    EXPECT_FALSE(tcp->isVisible());
    EXPECT_EQ(Child<QTreeWidget>(main, "Arbol")->topLevelItemCount(), 0);
    EXPECT_TRUE(DataIni().contains("<tcphost> 127.0.0.1 </tcphost>"));
    // 12345.5 is made whole, a half going to the even neighbour.
    const int whole = closed % 2 == 0 ? closed : closed + 1;
    EXPECT_TRUE(DataIni().contains(QString("<tcpport> %1 </tcpport>").arg(whole)))
        << DataIni().toStdString();
}

// Every node of the model is in the view, under the same parent, with the same text and an
// image; and nothing else is.
void ExpectMirrored(cfg::FrmMain& main) {
    const cfg::ConfigModel& model = main.model();
    int viewItems = 0;
    for (QTreeWidgetItemIterator it(main.findChild<QTreeWidget*>("Arbol")); *it; ++it) ++viewItems;
    EXPECT_EQ(viewItems, static_cast<int>(model.Nodes().size()));
    for (const cfg::TreeNode& node : model.Nodes()) {
        QTreeWidgetItem* item = main.NodeItem(node.key);
        ASSERT_NE(item, nullptr) << node.key.toStdString();
        EXPECT_EQ(item->text(0), node.text);
        EXPECT_FALSE(item->icon(0).isNull()) << node.image.toStdString();
        const QString parent =
            item->parent() ? item->parent()->data(0, Qt::UserRole).toString() : QString();
        EXPECT_EQ(parent, node.parent >= 0 ? model.Node(node.parent).key : QString());
    }
}

TEST_F(GuiTest, FromStartDialogToFilledTree) {
    // A slow server scale: the window stays live and blinks while it reads.
    cfg::sim::EngineOptions slow;
    slow.faults.latencyMs = 15;
    Serve(cfg::sim::DefaultNetwork(), slow);
    PassStart();
    ConnectTcp();
    cfg::FrmMain* main = start->mainWindow();
    auto* busy = Child<QLabel>(main, "Label1_2");
    ASSERT_TRUE(WaitUntil([&] { return main->isVisible() && main->Busy(); }));
    EXPECT_FALSE(main->isEnabled());
    ASSERT_TRUE(WaitUntil([&] { return busy->isVisible(); }));
    QSet<QRgb> colours;
    QStringList captions;
    WaitUntil(
        [&] {
            colours.insert(busy->palette().color(QPalette::Window).rgb());
            if (captions.isEmpty() || captions.back() != busy->text())
                captions.append(busy->text());
            return !main->Busy();
        },
        60000);
    EXPECT_TRUE(colours.contains(qRgb(255, 0, 0)));
    EXPECT_TRUE(colours.contains(qRgb(0, 0, 255)));
    EXPECT_TRUE(captions.contains("Leyendo Datos Generales"));
    EXPECT_TRUE(captions.contains("Leyendo Datos Equipo 7"));
    EXPECT_FALSE(busy->isVisible());
    EXPECT_TRUE(main->isEnabled());
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(main->windowTitle(), "Configuración Sistemas Tarascope 3.3.6");

    QTreeWidget* tree = Child<QTreeWidget>(main, "Arbol");
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* root = tree->topLevelItem(0);
    EXPECT_EQ(root->text(0), "Red");
    ASSERT_EQ(root->childCount(), 2);
    EXPECT_EQ(root->child(0)->text(0), "Operativa Balanzas");
    EXPECT_EQ(root->child(1)->text(0), "Datos Comunes");
    EXPECT_TRUE(root->isExpanded() && root->child(0)->isExpanded() && root->child(1)->isExpanded());
    EXPECT_EQ(root->child(0)->childCount(), 4);
    EXPECT_TRUE(root->child(0)->child(3)->text(0).startsWith("Balanza 7.Mostrador : "));
    ExpectMirrored(*main);

    // "Recargar Datos" rebuilds the same tree with new item keys.
    const QString firstItemKey = main->model().Items().back().key;
    Child<QPushButton>(main, "Command3")->click();
    WaitIdle();
    EXPECT_NE(main->model().Items().back().key, firstItemKey);
    ExpectMirrored(*main);
    EXPECT_EQ(main->NodeItem(firstItemKey), nullptr);
}

TEST_F(GuiTest, FailedNetworkReadEndsTheProgram) {
    cfg::sim::EngineOptions cut;
    cut.faults.shortReplies = true;
    Serve(cfg::sim::DefaultNetwork(), cut);
    PassStart();
    ConnectTcp();
    ASSERT_TRUE(WaitUntil([&] { return end.ended > 0; }));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Error de comunicaciones");
    EXPECT_EQ(messages.shown[0].icon, Icon::Critical);
    EXPECT_EQ(end.ended, 1);
}

TEST_F(GuiTest, SerialDialogStaysAfterAFailedConnectionAndGoesOnAfterAGoodOne) {
    Serve();
    cfg::sim::PtyServer pty(*engine, {});
    QString error;
    ASSERT_TRUE(pty.Open({}, &error)) << error.toStdString();
    qputenv("CFGTARASCOPE_COM2", dir.filePath("no-such-port").toLocal8Bit());
    qputenv("CFGTARASCOPE_COM3", pty.slavePath().toLocal8Bit());
    // Unset however the test ends, so that no later test opens these ports.
    const auto unset = qScopeGuard([] {
        qunsetenv("CFGTARASCOPE_COM2");
        qunsetenv("CFGTARASCOPE_COM3");
    });

    Start();
    Child<QComboBox>(start.get(), "Combo1")->setCurrentIndex(1);
    QTest::keyClicks(Child<QLineEdit>(start.get(), "TxtPass"), " QWZTR");
    Child<QPushButton>(start.get(), "Command1_0")->click();
    cfg::FrmConf232* serial = start->serialDialog();
    ASSERT_NE(serial, nullptr);
    const auto choose = [&](std::array<int, 4> indexes) {
        const char* boxes[] = {"CmbPuerto", "CmbSpeed", "CmbParidad", "CmbBits"};
        for (int i = 0; i < 4; ++i) Child<QComboBox>(serial, boxes[i])->setCurrentIndex(indexes[i]);
    };
    EXPECT_EQ(serial->ConnectionText(), "19200,E,8,1");
    choose({1, 2, 2, 1});
    EXPECT_EQ(serial->ConnectionText(), "9600,N,7,2");
    Child<QPushButton>(serial, "Command1_0")->click();
    cfg::FrmMain* main = start->mainWindow();
    ASSERT_TRUE(WaitUntil([&] { return !messages.shown.empty(); }));
    EXPECT_EQ(messages.shown[0].text, "Error al conectar con la balanza");
    EXPECT_TRUE(serial->isVisible());
    EXPECT_TRUE(serial->isEnabled());
    EXPECT_FALSE(main->isVisible());

    choose({2, 0, 0, 0});
    Child<QPushButton>(serial, "Command1_0")->click();
    ASSERT_TRUE(WaitUntil([&] { return main->isVisible() && !main->Busy(); }, 60000));
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_FALSE(serial->isVisible());
    EXPECT_FALSE(main->model().Items().empty());
    ExpectMirrored(*main);
    start.reset();  // the link closes the port before the simulator goes
}

}  // namespace
}  // namespace cfgtest
