#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <memory>

#include "gui/desktop.h"
#include "gui/frmconexion.h"
#include "gui/frmmain.h"
#include "gui/frmselectcom.h"
#include "gui/guiservices.h"
#include "gui/linkworker.h"
#include "sim/simtestsupport.h"
#include "support/testsupport.h"

namespace cfgtest {

// Processes window events until `done` holds; false after `ms` milliseconds.
inline bool WaitUntil(const std::function<bool()>& done, int ms = 30000) {
    QElapsedTimer timer;
    timer.start();
    for (; !done(); QThread::msleep(2)) {
        if (timer.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    QCoreApplication::processEvents();
    return true;
}

// The visible top-level window of type T (and of that object name, when one is given).
template <typename T = QWidget>
T* Visible(const char* name = nullptr) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<T*>(w);
            window && window->isVisible() && (!name || w->objectName() == name))
            return window;
    return nullptr;
}

// The windows of one run against an in-process simulated network, in a program folder of their
// own, with messages, file dialogs and the end of the program recorded.
class GuiTest : public ::testing::Test, public cfg::ProgramControl, public cfg::FileChooser {
  protected:
    void EndProgram() override { ++ended; }
    std::optional<QString> ChooseSave(QWidget*, const QString&) override { return chosen; }
    std::optional<QString> ChooseOpen(QWidget*, const QString&) override { return chosen; }

    void TearDown() override {
        if (start && start->mainWindow()) WaitIdle();
        start.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // A network served again keeps its port, as a scale that restarts does.
    void Serve(cfg::sim::Network network = cfg::sim::DefaultNetwork(),
               cfg::sim::FaultOptions faults = {}) {
        const quint16 port = served ? served->server.port() : 0;
        served.reset();
        served = std::make_unique<simtest::Served>(std::move(network), std::move(faults), port);
    }
    // The start dialog, loaded and shown, then passed with `code` on connection type `type`.
    cfg::FrmSelectCOM& Start(const char* code = nullptr, int type = 0) {
        start = std::make_unique<cfg::Desktop>(services);
        EXPECT_TRUE(start->Start());
        cfg::FrmSelectCOM& dialog = *start->startDialog();
        if (!code) return dialog;
        Child<QComboBox>(&dialog, "Combo1")->setCurrentIndex(type);
        QTest::keyClicks(Child<QLineEdit>(&dialog, "TxtPass"), code);
        Child<QPushButton>(&dialog, "Command1_0")->click();
        return dialog;
    }
    // Asks the TCP/IP dialog for the simulator.
    void ConnectTcp() {
        Child<QLineEdit>(start->tcpDialog(), "Text1")->setText("127.0.0.1");
        Child<QLineEdit>(start->tcpDialog(), "Text2")
            ->setText(QString::number(served->server.port()));
        Child<QPushButton>(start->tcpDialog(), "Command1_0")->click();
    }
    // From the start dialog to the main window with the network read.
    cfg::FrmMain& Connected() {
        if (!served) Serve();
        Start(" qwztr");
        ConnectTcp();
        cfg::FrmMain* main = start->mainWindow();
        EXPECT_TRUE(WaitUntil([&] { return main->isVisible() && !main->Busy(); }));
        return *main;
    }
    void WaitIdle() {
        EXPECT_TRUE(WaitUntil([&] { return !start->mainWindow()->Busy(); }));
    }
    // A button of the main window pressed, and its work awaited.
    void Press(const char* button) {
        Child<QPushButton>(start->mainWindow(), button)->click();
        WaitIdle();
    }
    int Writes() const { return static_cast<int>(served->Writes().size()); }
    // The key of the first editable item of a type and owner kind that `more` takes.
    QString Find(int type, bool onScale,
                 const std::function<bool(const cfg::ItemRow&)>& more = {}) {
        for (const cfg::ItemRow& row : start->mainWindow()->model().Items())
            if (row.type == type && row.order < 100 && (row.owner > 0) == onScale &&
                !cfg::protocol::IsGroupItem(row.id) && (!more || more(row)))
                return row.key;
        ADD_FAILURE() << "no item of type " << type;
        return {};
    }
    const cfg::ItemRow& Row(const QString& key) {
        const cfg::ConfigModel& model = start->mainWindow()->model();
        return model.Items()[model.FindItemByKey(key)];
    }
    // Changes the main window's model where it lives, as its jobs do.
    void Edit(const std::function<void(cfg::ConfigModel&)>& change) {
        bool done = false;
        start->mainWindow()->worker().Run(
            [&](cfg::Workbench& bench, cfg::ScaleLink&) { change(bench.model()); },
            [&] { done = true; });
        EXPECT_TRUE(WaitUntil([&] { return done; }));
    }
    QString DataIni() const { return QString::fromLatin1(ReadAll(dir.filePath("data.ini"))); }
    template <typename T>
    static T* Child(QObject* parent, const char* name) {
        T* child = parent->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    // The texts of the first `columns` columns of every top-level row, row after row.
    static QStringList Rows(QTreeWidget* tree, int columns = 4) {
        QStringList texts;
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            for (int c = 0; c < columns; ++c) texts.append(tree->topLevelItem(i)->text(c));
        return texts;
    }

    // The view holds the model's nodes, each under the same parent, with its text and an image.
    static void ExpectMirrored(cfg::FrmMain& main) {
        QStringList view, model;
        const auto key = [&](QTreeWidgetItem* item) {
            return item ? main.model().Node(item->data(0, Qt::UserRole).toInt()).key : QString();
        };
        for (QTreeWidgetItemIterator it(main.findChild<QTreeWidget*>("Arbol")); *it; ++it)
            view.append(key((*it)->parent()) + " " + key(*it) + " " + (*it)->text(0) +
                        ((*it)->icon(0).isNull() ? " (no image)" : ""));
        for (const cfg::TreeNode& node : main.model().Nodes())
            model.append((node.parent >= 0 ? main.model().Node(node.parent).key : "") + " " +
                         node.key + " " + node.text);
        view.sort();
        model.sort();
        EXPECT_EQ(view, model);
    }

    QTemporaryDir dir;
    RecordingOperation messages;
    std::optional<QString> chosen;
    int ended = 0;
    cfg::DesktopServices services{messages, *this, *this, dir.path(), nullptr};
    std::unique_ptr<simtest::Served> served;
    std::unique_ptr<cfg::Desktop> start;
};

}  // namespace cfgtest
