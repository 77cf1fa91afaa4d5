#include "guitestsupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QThread>

namespace cfgtest {

bool WaitUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    QCoreApplication::processEvents();
    return true;
}

void GuiTest::SetUp() {
    ASSERT_TRUE(dir.isValid());
    services = std::make_unique<cfg::DesktopServices>(
        cfg::DesktopServices{messages, files, end, dir.path(), nullptr});
}

void GuiTest::TearDown() {
    if (start && start->mainWindow()) WaitIdle();
    start.reset();
    // Windows that deleted themselves on closing go now.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void GuiTest::Serve(cfg::sim::Network network, cfg::sim::EngineOptions options) {
    // A network served again keeps its port, as a scale that restarts does.
    const quint16 port = server ? server->port() : 0;
    server.reset();
    engine = std::make_unique<cfg::sim::Engine>(std::move(network), options);
    server = std::make_unique<cfg::sim::TcpServer>(*engine);
    ASSERT_TRUE(server->Start(port));
}

cfg::FrmSelectCOM& GuiTest::Start() {
    start = std::make_unique<cfg::FrmSelectCOM>(*services);
    EXPECT_TRUE(start->Load());
    start->show();
    return *start;
}

cfg::FrmConfiguracion* GuiTest::PassStart() {
    Start();
    QTest::keyClicks(Child<QLineEdit>(start.get(), "TxtPass"), " qwztr");
    Child<QPushButton>(start.get(), "Command1_0")->click();
    EXPECT_NE(start->tcpDialog(), nullptr);
    return start->tcpDialog();
}

void GuiTest::ConnectTcp(const QString& port) {
    cfg::FrmConfiguracion* tcp = start->tcpDialog();
    Child<QLineEdit>(tcp, "Text1")->setText("127.0.0.1");
    Child<QLineEdit>(tcp, "Text2")
        ->setText(port.isEmpty() ? QString::number(server->port()) : port);
    Child<QPushButton>(tcp, "Command1_0")->click();
}

cfg::FrmMain& GuiTest::Connected() {
    if (!server) Serve();
    PassStart();
    ConnectTcp();
    cfg::FrmMain* main = start->mainWindow();
    EXPECT_TRUE(WaitUntil([&] { return main->isVisible() && !main->Busy(); }));
    EXPECT_FALSE(main->model().Items().empty());
    return *main;
}

void GuiTest::WaitIdle() {
    cfg::FrmMain* main = start->mainWindow();
    EXPECT_TRUE(WaitUntil([&] { return !main->Busy(); }));
}

QList<QByteArray> GuiTest::Writes() const {
    QList<QByteArray> writes;
    for (const QByteArray& request : engine->Requests())
        if (request.size() > 10 && request[10] == 0x01) writes.append(request);
    return writes;
}

QString GuiTest::DataIni() const {
    return QString::fromLatin1(ReadAll(dir.filePath("data.ini")));
}

}  // namespace cfgtest
