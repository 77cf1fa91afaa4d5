#pragma once

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <optional>

#include "gui/frmconexion.h"
#include "gui/frmmain.h"
#include "gui/frmselectcom.h"
#include "gui/guiservices.h"
#include "sim/engine.h"
#include "sim/simnetwork.h"
#include "sim/tcpserver.h"
#include "support/testsupport.h"

namespace cfgtest {

class RecordingEnd : public cfg::ProgramControl {
  public:
    void EndProgram() override { ++ended; }
    int ended = 0;
};

// Answers the file dialogs as a test tells it.
class RecordingFiles : public cfg::FileChooser {
  public:
    std::optional<QString> ChooseSave(QWidget*, const QString&) override { return answer; }
    std::optional<QString> ChooseOpen(QWidget*, const QString&) override { return answer; }
    std::optional<QString> answer;
};

// Processes window events until `done` holds; false after `ms` milliseconds.
bool WaitUntil(const std::function<bool()>& done, int ms = 30000);

// The windows of one run against an in-process simulated network, with messages, file
// dialogs and the end of the program recorded.
class GuiTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    void Serve(cfg::sim::Network network = cfg::sim::DefaultNetwork(),
               cfg::sim::EngineOptions options = {});
    // The start dialog, loaded and shown.
    cfg::FrmSelectCOM& Start();
    // The start dialog passed with the access code: the TCP/IP dialog it opened.
    cfg::FrmConfiguracion* PassStart();
    // Asks the TCP/IP dialog for 127.0.0.1 at `port`, the simulator's when empty.
    void ConnectTcp(const QString& port = {});
    // From the start dialog to the main window with the network read.
    cfg::FrmMain& Connected();
    // Waits for the main window's operation to end.
    void WaitIdle();
    // The write requests the simulator received.
    QList<QByteArray> Writes() const;
    QString DataIni() const;
    // The last message shown; empty when none.
    QString LastShown() const {
        return messages.shown.empty() ? QString() : messages.shown.back().text;
    }

    template <typename T>
    static T* Child(QObject* parent, const char* name) {
        T* child = parent->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }

    QTemporaryDir dir;
    RecordingOperation messages;
    RecordingFiles files;
    RecordingEnd end;
    std::unique_ptr<cfg::DesktopServices> services;
    std::unique_ptr<cfg::sim::Engine> engine;
    std::unique_ptr<cfg::sim::TcpServer> server;
    std::unique_ptr<cfg::FrmSelectCOM> start;
};

}  // namespace cfgtest
