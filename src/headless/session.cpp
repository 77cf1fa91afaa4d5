#include "headless/session.h"

#include <QCoreApplication>

#include "core/common/programfolder.h"
#include "core/editing/sendall.h"
#include "core/files/configload.h"
#include "core/network/networkreader.h"
#include "transports/connectiontext.h"

namespace cfg {

namespace {
QString ProgramFolder() {
    return ResolveProgramFolder(
        QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString());
}
}  // namespace

int WorstStatus(int a, int b) {
    static constexpr int kOrder[] = {kExitNetwork, kExitFile, kExitUsage, kExitPartial, kExitItems};
    for (int status : kOrder)
        if (a == status || b == status) return status;
    return a != kExitOk ? a : b;
}

QString HistoryPath(const QString& programFolder, const HistoryOption& option) {
    if (!option.path.isEmpty()) return option.path;
    return HistoryFileIn(programFolder.isEmpty() ? ProgramFolder() : programFolder);
}

Session::Session(std::FILE* err, const QString& programFolder, HistoryOption history, bool quiet)
    : folder_(programFolder.isEmpty() ? ProgramFolder() : programFolder),
      log_(folder_),
      op_(err, &log_, quiet),
      err_(err),
      history_(history.record ? std::make_unique<HistoryRecorder>(HistoryPath(folder_, history))
                              : nullptr) {}

Session::~Session() = default;

void Session::Record(SnapshotCause cause, const std::vector<Held>& held,
                     std::optional<SendKind> send) {
    if (!history_) return;
    if (const QString said = history_->Record(cause, model_, held, send); !said.isEmpty())
        WriteLine(err_, said);
}

int Session::Open(int linkType, const QString& text, bool quietConnect) {
    if (link_.Connect(0, linkType, text) != 0) {
        if (!quietConnect)
            op_.Show(QStringLiteral("Error al conectar con la balanza: ") + link_.LastError(),
                     Icon::Critical);
        return kExitNetwork;
    }
    // A script's reader learns where and why the read failed.
    op_.SetCriticalDetail([this, address = NormalConnection(linkType, text)] {
        return QStringLiteral("con %1: %2").arg(address, link_.LastError());
    });
    const bool read = NetworkReader(link_, model_).Lee_Datos(op_);
    op_.SetCriticalDetail({});
    if (op_.Cancelled()) WriteLine(err_, QStringLiteral("Lectura cancelada"));
    if (!read) return kExitNetwork;
    if (history_) history_->SetConnection(NormalConnection(linkType, text));
    // What was not read is said now, and the command goes on with the rest.
    for (const ReadFailure& failure : model_.ReadFailures()) {
        const QString line =
            QStringLiteral("Lectura incompleta, sin leer: ") + ReadFailureName(failure);
        WriteLine(err_, line);
        log_.Escribe_NLog(line);
    }
    log_.Flush();
    Record(model_.ReadFailures().empty() ? SnapshotCause::Read : SnapshotCause::Partial,
           HeldByNetwork(model_));
    // Cancelled: nothing more is done, no send and no file.
    return op_.Cancelled() ? kExitPartial : kExitOk;
}

void Session::Programmed() {
    Record(SnapshotCause::Set, HeldByNetwork(model_));
}

int Session::Load(const QString& path, const LineSink& lines) {
    op_.SetLines(lines);
    bool configuration = false;
    const bool loaded = LoadConfigurationFile(model_, path, op_, &configuration);
    op_.SetLines({});  // the sink may not outlive the load
    if (!loaded) return kExitFile;
    // Nobody reads the lines of an unattended run: a file that is no configuration must not
    // pass for one that matches the network.
    if (configuration) return kExitOk;
    WriteLine(err_, QStringLiteral("El fichero no contiene datos de configuración: ") + path);
    return kExitFile;
}

int Session::SendAll(SendScope scope, SendSummary* kept, std::optional<SendKind> kind) {
    const SendSummary summary = Command2_Click(link_, model_, op_, scope);
    for (const QString& line : summary.details) WriteLine(err_, line);
    Record(SnapshotCause::Send, HeldAfterSend(model_, summary), kind.value_or(SentAs(summary)));
    if (kept) *kept = summary;
    return summary.Clean() ? kExitOk : kExitItems;
}

int Session::Finish(int status) const {
    return WorstStatus(status, model_.ReadFailures().empty() ? kExitOk : kExitPartial);
}

bool IsBatchRequest(const QString& arguments) {
    return !arguments.trimmed().isEmpty() && arguments.size() > 23;
}

int RunBatch(const QString& connection, const QString& file, std::FILE* err) {
    Session session(err);
    // The network is read before the file is loaded: loading matches the file against it,
    // and an empty model would send nothing.
    if (const int status = session.Open(ScaleLink::Tcp, connection, true); status != kExitOk)
        return status;
    if (const int status = session.Load(file, [err](const QString& line) { WriteLine(err, line); });
        status != kExitOk)
        return session.Finish(status);
    return session.Finish(session.SendAll());
}

}  // namespace cfg
