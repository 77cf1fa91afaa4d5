// The start dialog and the two connection dialogs, up to the main window with the network read.
#include <QMessageBox>
#include <QScopeGuard>
#include <QTranslator>
#include <algorithm>

#include "guitestsupport.h"
#include "sim/ptyserver.h"

namespace cfgtest {
namespace {

// Qt's own buttons speak Spanish whatever the system's language, and numbers keep their point.
TEST(Spanish, QtsOwnTextsWhateverTheSystemSpeaks) {
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QTranslator* spanish = cfg::LoadQtSpanish(*QCoreApplication::instance());
    ASSERT_TRUE(spanish);
    QMessageBox box(QMessageBox::Question, "", "", QMessageBox::Yes | QMessageBox::No);
    box.setDetailedText("x");
    QStringList texts;
    for (QAbstractButton* button : box.buttons()) texts.append(button->text().remove(u'&'));
    texts.sort();
    EXPECT_EQ(texts, (QStringList{"Mostrar los detalles...", "No", "Sí"}));
    EXPECT_EQ(QLocale().decimalPoint(), ".");
    QCoreApplication::removeTranslator(spanish);
    QLocale::setDefault(before);
}

// Enter presses "Aceptar"; only the upper-cased text exactly passes. The connection type is
// saved by "Aceptar" only, and the next start shows it.
TEST_F(GuiTest, AccessCodeConnectionTypeThenTheTcpDialog) {
    auto* pass = Child<QLineEdit>(&Start(), "TxtPass");
    EXPECT_EQ(start->startDialog()->focusWidget(), pass);
    EXPECT_TRUE(DataIni().contains("<commode> 0 </commode>"));  // data.ini written anew
    for (const char* wrong : {"QWZTR", " QWZTR "}) {
        pass->setText(wrong);
        QTest::keyClick(pass, Qt::Key_Return);
        EXPECT_EQ(messages.TakeShown(), QStringList{"none: Clave erronea..."});
        EXPECT_TRUE(start->startDialog()->isVisible() && !start->tcpDialog());
    }
    Child<QComboBox>(start->startDialog(), "Combo1")->setCurrentIndex(1);
    QTest::keyClick(start->startDialog(), Qt::Key_Escape);  // "Cancelar"
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(DataIni().contains("<commode> 0 </commode>"));
    Start(" qwZtr", 1);
    EXPECT_TRUE(DataIni().contains("<commode> 1 </commode>"));
    EXPECT_TRUE(start->serialDialog() && start->serialDialog()->isVisible() &&
                !start->startDialog()->isVisible());
    EXPECT_EQ(Child<QComboBox>(&Start(), "Combo1")->currentIndex(), 1);

    // A bad address or port is refused before connecting, nothing saved; a failed connection
    // still leads to the main window, empty, and saves what was typed.
    Serve();
    const QString closed = QString::number(served->server.port());
    served.reset();
    Start(" qwztr");
    cfg::FrmConfiguracion* tcp = start->tcpDialog();
    EXPECT_EQ(Child<QLineEdit>(tcp, "Text2")->text(), "6000");
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"1a0..0.5", "6000", "IP incorrecta"},  // the box drops the letter
        {"127.0.0.1", "0", "Puerto no válido"},
        {"127.0.0.1", "65536", "Puerto no válido"}};
    for (const auto& [address, port, refusal] : cases) {
        Child<QLineEdit>(tcp, "Text1")->clear();
        QTest::keyClicks(Child<QLineEdit>(tcp, "Text1"), address);
        Child<QLineEdit>(tcp, "Text2")->setText(port);
        QTest::keyClick(Child<QLineEdit>(tcp, "Text1"), Qt::Key_Return);
        EXPECT_EQ(messages.TakeShown(), QStringList{QString("critical: ") + refusal});
        EXPECT_TRUE(tcp->isVisible() && tcp->isEnabled() && !start->mainWindow()->isVisible());
    }
    EXPECT_TRUE(DataIni().contains("<tcpport> 6000 </tcpport>"));
    Child<QLineEdit>(tcp, "Text2")->setText(closed);
    Child<QPushButton>(tcp, "Command1_0")->click();
    cfg::FrmMain* main = start->mainWindow();
    ASSERT_TRUE(WaitUntil([&] { return main->isVisible() && !main->Busy(); }));
    EXPECT_EQ(messages.TakeShown(), QStringList{"critical: Error al conectar con la balanza"});
    EXPECT_FALSE(tcp->isVisible());
    EXPECT_EQ(Child<QTreeWidget>(main, "Arbol")->topLevelItemCount(), 0);
    EXPECT_TRUE(DataIni().contains("<tcphost> 127.0.0.1 </tcphost>"));
    EXPECT_TRUE(DataIni().contains("<tcpport> " + closed + " </tcpport>"));
}

TEST_F(GuiTest, FromStartDialogToFilledTreeAndReloaded) {
    Serve(cfg::sim::DefaultNetwork(),
          {.latencyMs = 15, .refusedIds = {}});  // slow: the window blinks while it reads
    Start(" qwztr");
    ConnectTcp();
    cfg::FrmMain* main = start->mainWindow();
    auto* busy = Child<QLabel>(main, "Label1_2");
    ASSERT_TRUE(WaitUntil([&] { return main->Busy() && busy->isVisible(); }));
    EXPECT_FALSE(Child<QTreeWidget>(main, "Arbol")->isEnabled());
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
    EXPECT_TRUE(!busy->isVisible() && Child<QTreeWidget>(main, "Arbol")->isEnabled() &&
                messages.shown.empty());
    EXPECT_EQ(main->windowTitle(), "Configuración Sistemas Tarascope 3.3.6");
    auto* tree = Child<QTreeWidget>(main, "Arbol");
    QTreeWidgetItem* root = tree->topLevelItem(0);
    EXPECT_TRUE(root->isExpanded() && root->child(0)->isExpanded() && root->child(1)->isExpanded());
    EXPECT_EQ(root->child(0)->childCount(), 4);
    ExpectMirrored(*main);

    // "Recargar Datos" rebuilds the same tree with new item keys, and what the scales hold now.
    const QString firstKey = main->model().Items().back().key;
    cfg::sim::Network renamed = cfg::sim::DefaultNetwork();
    renamed.scales[0].values[104].bytes = cfg::sim::ScaleText("Quesería");
    Serve(renamed, {.latencyMs = 15, .refusedIds = {}});
    Press("Command3");
    EXPECT_NE(main->model().Items().back().key, firstKey);
    EXPECT_EQ(main->NodeItem(firstKey), nullptr);
    ExpectMirrored(*main);
    EXPECT_TRUE(tree->findItems("Nombre balanza = Quesería", Qt::MatchRecursive).size() == 1);

    // Read again, the tree shows the read alone: nothing filtered, marked or opened by hand
    // stays. A network whose items hang otherwise is shown as it now is.
    const auto leftOver = [&] {
        QStringList left;
        for (QTreeWidgetItemIterator it(tree); *it; ++it) {
            const cfg::TreeNode& node = main->model().Node((*it)->data(0, Qt::UserRole).toInt());
            if ((*it)->isHidden() || (*it)->data(0, Qt::ForegroundRole).isValid() ||
                (*it)->isExpanded() != node.expanded)
                left.append((*it)->text(0));
        }
        return left;
    };
    const QString changed = Find(cfg::kNumber, true);
    Edit([&](cfg::ConfigModel& model) {
        cfg::ItemRow& row = model.Item(model.FindItemByKey(changed));
        row.value = row.readValue == "1" ? "2" : "1";
    });
    main->NodeItem(Row(changed).menuKey)->setExpanded(true);
    Child<QLineEdit>(main, "TxtFiltro")->setText(Row(changed).text);
    Press("Command3");
    EXPECT_EQ(messages.TakeAsked().size(), 1);  // the change let go
    EXPECT_EQ(leftOver(), QStringList());
    cfg::sim::Network moved = cfg::sim::DefaultNetwork();
    const auto hardware =
        std::find_if(moved.shared.begin(), moved.shared.end(),
                     [](const cfg::sim::Record& r) { return r.IsMenu() && r.id == 3; });
    std::iter_swap(hardware - 1, hardware);  // the last item of "Etiqueta" under "Hardware"
    Serve(moved);
    Press("Command3");
    ExpectMirrored(*main);
    EXPECT_EQ(leftOver(), QStringList());
}

// A read that fails is said, then offered again over the same connection: Yes reads the scale
// put right meanwhile; No ends the program.
TEST_F(GuiTest, FailedNetworkReadIsOfferedAgain) {
    Serve(cfg::sim::DefaultNetwork(), {.shortReplies = true, .refusedIds = {}});
    messages.beforeAnswer = [&] { Serve(); };
    Start(" qwztr");
    ConnectTcp();
    cfg::FrmMain* main = start->mainWindow();
    ASSERT_TRUE(WaitUntil([&] { return !messages.asked.empty() && !main->Busy(); }));
    EXPECT_EQ(messages.TakeAsked(), QStringList{"question: ¿Reintentar la lectura?"});
    EXPECT_EQ(main->model().Scales().size(), 4u);
    Serve(cfg::sim::DefaultNetwork(), {.shortReplies = true, .refusedIds = {}});
    messages.answer = false;
    Child<QPushButton>(main, "Command3")->click();
    ASSERT_TRUE(WaitUntil([&] { return ended > 0; }));
    EXPECT_EQ(messages.TakeShown(), QStringList(2, "critical: Error de comunicaciones"));
    EXPECT_EQ(ended, 1);
}

// The boxes make the connection text (COM1 is the first entry); a failed connection says so and
// leaves the dialog as it was. The devices present follow COM1 to COM9, looked up as the list
// opens; the one connected to by its path is kept and chosen at the next start.
TEST_F(GuiTest, SerialDialogStaysAfterAFailureAndKeepsTheDeviceUsed) {
    qputenv("CFGTARASCOPE_COM2", dir.filePath("no-such-port").toLocal8Bit());
    const auto unset = qScopeGuard([] { qunsetenv("CFGTARASCOPE_COM2"); });
    cfg::sim::Engine engine(cfg::sim::DefaultNetwork());
    cfg::sim::PtyServer pty(engine, {});
    QString error;
    ASSERT_TRUE(pty.Open({}, &error)) << error.toStdString();
    std::vector<cfg::SerialPortEntry> present;
    services.ports = [&] { return present; };
    Start(" QWZTR", 1);
    cfg::FrmConf232* serial = start->serialDialog();
    auto* ports = Child<QComboBox>(serial, "CmbPuerto");
    const auto choose = [&](std::array<int, 4> indexes) {
        const char* boxes[] = {"CmbPuerto", "CmbSpeed", "CmbParidad", "CmbBits"};
        for (int i = 0; i < 4; ++i) Child<QComboBox>(serial, boxes[i])->setCurrentIndex(indexes[i]);
        return serial->ConnectionText();
    };
    EXPECT_EQ(serial->ConnectionText(), "19200,E,8,1");
    EXPECT_EQ(choose({2, 1, 0, 0}), "14400,E,8,3");
    EXPECT_EQ(choose({1, 2, 2, 1}), "9600,N,7,2");
    Child<QPushButton>(serial, "Command1_0")->click();
    ASSERT_TRUE(WaitUntil([&] { return !messages.shown.empty(); }));
    EXPECT_EQ(messages.TakeShown(), QStringList{"critical: Error al conectar con la balanza\n" +
                                                dir.filePath("no-such-port") + ": no existe"});
    EXPECT_TRUE(serial->isVisible() && serial->isEnabled() && !start->mainWindow()->isVisible());

    EXPECT_EQ(ports->count(), 9);
    present = {{pty.slavePath(), "Adaptador USB", true}};
    ports->showPopup();
    ports->hidePopup();
    ASSERT_EQ(ports->count(), 10);
    EXPECT_EQ(ports->itemText(9), pty.slavePath() + " (Adaptador USB)");
    EXPECT_EQ(choose({9, 0, 0, 0}), "19200,E,8," + pty.slavePath());
    Child<QPushButton>(serial, "Command1_0")->click();
    cfg::FrmMain* main = start->mainWindow();
    ASSERT_TRUE(WaitUntil([&] { return main->isVisible() && !main->Busy(); }));
    EXPECT_EQ(main->model().Scales().size(), 4u);  // read over the device
    EXPECT_TRUE(DataIni().contains("<serialdevice> " + pty.slavePath() + " </serialdevice>"));
    Start(" QWZTR", 1);
    EXPECT_EQ(Child<QComboBox>(start->serialDialog(), "CmbPuerto")->currentText(),
              pty.slavePath() + " (Adaptador USB)");
}

}  // namespace
}  // namespace cfgtest
