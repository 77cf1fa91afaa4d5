#include "gui/desktop.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

#include "core/common/programfolder.h"
#include "core/link/trafficlog.h"
#include "core/settings/clsconfig.h"
#include "gui/frmconexion.h"
#include "gui/frmmain.h"
#include "gui/frmselectcom.h"
#include "gui/instance.h"

namespace cfg {

Desktop::Desktop(DesktopServices& services)
    : services_(services), start_(std::make_unique<FrmSelectCOM>(services)) {
    connect(start_.get(), &FrmSelectCOM::codeAccepted, this, &Desktop::Accepted);
}

Desktop::~Desktop() = default;

bool Desktop::Start() {
    config_ = std::make_unique<ClsConfig>(services_.programFolder, services_.log);
    if (!config_->Exists()) config_->WriteConfiguration();
    if (!config_->ReadConfiguration(services_.messages)) {
        services_.program.EndProgram();
        return false;
    }
    start_->Load(*config_);
    start_->show();
    return true;
}

void Desktop::Accepted(int type) {
    config_->WriteConfiguration();
    if (!main_) main_ = std::make_unique<FrmMain>(services_, *config_);
    if (type == 0) {
        if (!tcp_) tcp_ = std::make_unique<FrmConfiguracion>(services_, *config_, *main_);
        tcp_->show();
    } else {
        if (!serial_) serial_ = std::make_unique<FrmConf232>(services_, *config_, *main_);
        serial_->show();
    }
}

void Desktop::Raise() {
    // The last window of the way in that is showing: the start dialog, a connection dialog,
    // then the main window.
    QWidget* shown = nullptr;
    for (QWidget* w : {static_cast<QWidget*>(start_.get()), static_cast<QWidget*>(tcp_.get()),
                       static_cast<QWidget*>(serial_.get()), static_cast<QWidget*>(main_.get())})
        if (w && w->isVisible()) shown = w;
    if (!shown) return;
    shown->showNormal();
    shown->raise();
    shown->activateWindow();
}

namespace {
class ApplicationEnd : public ProgramControl {
  public:
    void EndProgram() override { QCoreApplication::exit(0); }
};
}  // namespace

QTranslator* LoadQtSpanish(QCoreApplication& app) {
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_es"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return nullptr;
    }
    QCoreApplication::installTranslator(translator);
    return translator;
}

int RunDesktop(QApplication& app, SingleInstance& instance) {
    LoadQtSpanish(app);
    // The task bar shows the program's icon: its own, and the desktop entry it belongs to.
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/programa/icono.svg")));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.cfgtarascope.CfgTarascope"));
    // The windows end the program themselves ("Salir", "Cancelar", a failed read).
    app.setQuitOnLastWindowClosed(false);
    const QString folder = ResolveProgramFolder(QCoreApplication::applicationDirPath());
    TrafficLog log(folder);
    BoxMessages messages;
    DialogFileChooser files;
    ApplicationEnd end;
    DesktopServices services{messages, files, end, folder, &log};

    Desktop desktop(services);
    QObject::connect(&instance, &SingleInstance::forwardAsked, &desktop, &Desktop::Raise);
    if (!desktop.Start()) return 0;
    return app.exec();
}

}  // namespace cfg
