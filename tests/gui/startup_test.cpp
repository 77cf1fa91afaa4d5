// The start dialog and the two connection dialogs, up to the main window with the network read.
#include <QScopeGuard>

#include "core/settings/clsconfig.h"
#include "guitestsupport.h"
#include "sim/ptyserver.h"

namespace cfgtest {
namespace {

using cfg::Icon;

class AccessCode : public GuiTest,
                   public ::testing::WithParamInterface<std::pair<const char*, bool>> {};

// Enter presses "Aceptar"; a wrong code says so and leaves the dialog as it was.
TEST_P(AccessCode, IsTheUpperCasedTextExactly) {
    const auto& [typed, accepted] = GetParam();
    cfg::FrmSelectCOM& dialog = Start();
    auto* pass = Child<QLineEdit>(&dialog, "TxtPass");
    EXPECT_EQ(dialog.focusWidget(), pass);
    QTest::keyClicks(pass, typed);
    QTest::keyClick(pass, Qt::Key_Return);
    EXPECT_EQ(Shown(),
              accepted ? QStringList() : QStringList{Shown(Icon::None, "Clave erronea...")});
    EXPECT_EQ(dialog.isVisible(), !accepted);
    EXPECT_EQ(dialog.tcpDialog() && dialog.tcpDialog()->isVisible(), accepted);
    EXPECT_EQ(pass->text(), typed);
    EXPECT_EQ(ended, 0);
}

INSTANTIATE_TEST_SUITE_P(Codes, AccessCode,
                         ::testing::Values(std::pair{" QWZTR", true}, std::pair{" qwZtr", true},
                                           std::pair{"QWZTR", false}, std::pair{" QWZTR ", false},
                                           std::pair{"", false}, std::pair{" QWZT", false}));

TEST_F(GuiTest, ConnectionTypeIsSavedOnlyByAceptar) {
    EXPECT_EQ(Child<QComboBox>(&Start(), "Combo1")->currentIndex(), 0);  // data.ini written anew
    EXPECT_TRUE(DataIni().contains("<commode> 0 </commode>"));
    Child<QComboBox>(start.get(), "Combo1")->setCurrentIndex(1);
    QTest::keyClick(start.get(), Qt::Key_Escape);  // "Cancelar"
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(DataIni().contains("<commode> 0 </commode>"));
    Start(" QWZTR", 1);
    EXPECT_TRUE(DataIni().contains("<commode> 1 </commode>"));
    EXPECT_TRUE(start->serialDialog() && start->serialDialog()->isVisible() && !start->tcpDialog());
    EXPECT_EQ(Child<QComboBox>(&Start(), "Combo1")->currentIndex(), 1);
}

class SerialSpeed : public GuiTest, public ::testing::WithParamInterface<std::pair<int, bool>> {};

// data.ini's speed is kept when it is one the scales take, else it is the default, said once.
TEST_P(SerialSpeed, FromDataIniIsKeptOnlyWhenAllowed) {
    const auto& [speed, allowed] = GetParam();
    WriteAll(dir.filePath("data.ini"),
             QStringLiteral(
                 "<cfgtarascope><RS232><serialspeed> %1 </serialspeed></RS232></cfgtarascope>")
                 .arg(speed)
                 .toLatin1());
    Start(" QWZTR", 1);
    EXPECT_EQ(start->config().SerialSpeed, allowed ? speed : 19200);
    EXPECT_EQ(messages.shown.size(), allowed ? 0u : 1u);
    EXPECT_TRUE(DataIni().contains(
        QStringLiteral("<serialspeed> %1 </serialspeed>").arg(allowed ? speed : 19200)));
}

INSTANTIATE_TEST_SUITE_P(Speeds, SerialSpeed,
                         ::testing::Values(std::pair{19200, true}, std::pair{14400, true},
                                           std::pair{9600, true}, std::pair{2400, true},
                                           std::pair{1200, true}, std::pair{4800, false},
                                           std::pair{115200, false}));

class TcpAddress : public GuiTest,
                   public ::testing::WithParamInterface<std::pair<const char*, const char*>> {};

// Refused before connecting, nothing saved; the boxes take digits, ':', ';' and '.' only.
TEST_P(TcpAddress, IsCheckedBeforeConnecting) {
    const auto& [address, port] = GetParam();
    Start(" qwztr");
    cfg::FrmConfiguracion* tcp = start->tcpDialog();
    EXPECT_EQ(Child<QLineEdit>(tcp, "Text2")->text(), "6000");
    QTest::keyClicks(Child<QLineEdit>(tcp, "Text1"), address);
    Child<QLineEdit>(tcp, "Text2")->setText(port);
    QTest::keyClick(Child<QLineEdit>(tcp, "Text1"), Qt::Key_Return);
    const bool badIp = QString(port) == "6000";
    EXPECT_EQ(Shown(),
              QStringList{Shown(Icon::Critical, badIp ? "IP incorrecta" : "Puerto no válido")});
    EXPECT_TRUE(tcp->isVisible() && tcp->isEnabled() && !start->mainWindow()->isVisible());
    EXPECT_TRUE(DataIni().contains("<tcpport> 6000 </tcpport>"));
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, TcpAddress,
    ::testing::Values(std::pair{"10.0.5", "6000"}, std::pair{"10.0.0.256", "6000"},
                      std::pair{"1a0..0.5", "6000"}, std::pair{"1.2.3:4", "6000"},
                      std::pair{"127.0.0.1", "0"}, std::pair{"127.0.0.1", "65536"},
                      std::pair{"127.0.0.1", ""}));

TEST_F(GuiTest, FailedTcpConnectionStillLeadsToTheMainWindowAndSaves) {
    Serve();
    const quint16 closed = server->port();
    server.reset();
    Start(" qwztr");
    ConnectTcp(QString::number(closed));
    cfg::FrmMain* main = start->mainWindow();
    ASSERT_TRUE(WaitUntil([&] { return main->isVisible() && !main->Busy(); }));
    EXPECT_EQ(Shown(), QStringList{Shown(Icon::Critical, "Error al conectar con la balanza")});
    EXPECT_FALSE(start->tcpDialog()->isVisible());
    EXPECT_EQ(Child<QTreeWidget>(main, "Arbol")->topLevelItemCount(), 0);
    EXPECT_TRUE(DataIni().contains("<tcphost> 127.0.0.1 </tcphost>"));
    EXPECT_TRUE(DataIni().contains(QString("<tcpport> %1 </tcpport>").arg(closed)));
}

TEST_F(GuiTest, FromStartDialogToFilledTreeAndReloaded) {
    Serve(cfg::sim::DefaultNetwork(),
          {.latencyMs = 15, .refusedIds = {}});  // slow: the window blinks while it reads
    Start(" qwztr");
    ConnectTcp();
    cfg::FrmMain* main = start->mainWindow();
    auto* busy = Child<QLabel>(main, "Label1_2");
    ASSERT_TRUE(WaitUntil([&] { return main->Busy() && busy->isVisible(); }));
    EXPECT_FALSE(main->isEnabled());
    QSet<QRgb> colours;
    QStringList captions;
    WaitUntil([&] {
        colours.insert(busy->palette().color(QPalette::Window).rgb());
        if (!captions.contains(busy->text())) captions.append(busy->text());
        return !main->Busy();
    });
    EXPECT_TRUE(colours.contains(qRgb(255, 0, 0)) && colours.contains(qRgb(0, 0, 255)));
    EXPECT_TRUE(captions.contains("Leyendo Datos Generales") &&
                captions.contains("Leyendo Datos Equipo 7"));
    EXPECT_TRUE(!busy->isVisible() && main->isEnabled() && messages.shown.empty());
    EXPECT_EQ(main->windowTitle(), "Configuración Sistemas Tarascope 3.3.6");
    QTreeWidgetItem* root = Child<QTreeWidget>(main, "Arbol")->topLevelItem(0);
    EXPECT_TRUE(root->isExpanded() && root->child(0)->isExpanded() && root->child(1)->isExpanded());
    EXPECT_EQ(root->child(0)->childCount(), 4);
    ExpectMirrored(*main);

    // "Recargar Datos" rebuilds the same tree with new item keys.
    const QString firstKey = main->model().Items().back().key;
    Child<QPushButton>(main, "Command3")->click();
    WaitIdle();
    EXPECT_NE(main->model().Items().back().key, firstKey);
    EXPECT_EQ(main->NodeItem(firstKey), nullptr);
    ExpectMirrored(*main);
}

TEST_F(GuiTest, FailedNetworkReadEndsTheProgram) {
    Serve(cfg::sim::DefaultNetwork(), {.shortReplies = true, .refusedIds = {}});
    Start(" qwztr");
    ConnectTcp();
    ASSERT_TRUE(WaitUntil([&] { return ended > 0; }));
    EXPECT_EQ(Shown(), QStringList{Shown(Icon::Critical, "Error de comunicaciones")});
    EXPECT_EQ(ended, 1);
}

TEST_F(GuiTest, SerialDialogStaysAfterAFailedConnectionAndGoesOnAfterAGoodOne) {
    Serve();
    cfg::sim::PtyServer pty(*engine, {});
    QString error;
    ASSERT_TRUE(pty.Open({}, &error)) << error.toStdString();
    qputenv("CFGTARASCOPE_COM2", dir.filePath("no-such-port").toLocal8Bit());
    qputenv("CFGTARASCOPE_COM3", pty.slavePath().toLocal8Bit());
    const auto unset =
        qScopeGuard([] { qunsetenv("CFGTARASCOPE_COM2"), qunsetenv("CFGTARASCOPE_COM3"); });
    Start(" QWZTR", 1);
    cfg::FrmConf232* serial = start->serialDialog();
    const auto choose = [&](std::array<int, 4> indexes) {
        const char* boxes[] = {"CmbPuerto", "CmbSpeed", "CmbParidad", "CmbBits"};
        for (int i = 0; i < 4; ++i) Child<QComboBox>(serial, boxes[i])->setCurrentIndex(indexes[i]);
        Child<QPushButton>(serial, "Command1_0")->click();
    };
    EXPECT_EQ(serial->ConnectionText(), "19200,E,8,1");
    choose({1, 2, 2, 1});
    EXPECT_EQ(serial->ConnectionText(), "9600,N,7,2");
    ASSERT_TRUE(WaitUntil([&] { return !messages.shown.empty(); }));
    EXPECT_EQ(Shown(), QStringList{Shown(Icon::Critical, "Error al conectar con la balanza")});
    EXPECT_TRUE(serial->isVisible() && serial->isEnabled() && !start->mainWindow()->isVisible());
    choose({2, 1, 0, 0});
    EXPECT_EQ(serial->ConnectionText(), "14400,E,8,3");
    ASSERT_TRUE(WaitUntil(
        [&] { return start->mainWindow()->isVisible() && !start->mainWindow()->Busy(); }, 60000));
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_FALSE(serial->isVisible());
    ExpectMirrored(*start->mainWindow());
    start.reset();  // the link closes the port before the simulator goes
}

}  // namespace
}  // namespace cfgtest
