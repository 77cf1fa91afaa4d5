#include "gui/desktop.h"

#include <QApplication>

#include "core/common/programfolder.h"
#include "core/link/trafficlog.h"
#include "gui/frmselectcom.h"
#include "gui/guiservices.h"

namespace cfg {

namespace {
class ApplicationEnd : public ProgramControl {
  public:
    void EndProgram() override { QCoreApplication::exit(0); }
};
}  // namespace

int RunDesktop(QApplication& app) {
    // The windows end the program themselves ("Salir", "Cancelar", a failed read).
    app.setQuitOnLastWindowClosed(false);
    const QString folder = ResolveProgramFolder(QCoreApplication::applicationDirPath());
    TrafficLog log(folder);
    BoxMessages messages;
    DialogFileChooser files;
    ApplicationEnd end;
    DesktopServices services{messages, files, end, folder, &log};

    FrmSelectCOM start(services);
    if (!start.Load()) return 0;
    start.show();
    return app.exec();
}

}  // namespace cfg
