#include "headless/session.h"

#include <QCoreApplication>

#include "core/common/programfolder.h"
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
      bench_(history.record ? HistoryPath(folder_, history) : QString()) {}

Session::~Session() = default;

void Session::Say(const QString& notice) {
    if (!notice.isEmpty()) WriteLine(err_, notice);
}

int Session::Open(int linkType, const QString& text, bool quietConnect) {
    if (link_.Connect(0, linkType, text) != 0) {
        if (!quietConnect)
            op_.Show(QStringLiteral("Error al conectar con la balanza: ") + link_.LastError(),
                     Icon::Critical);
        return kExitNetwork;
    }
    const QString address = NormalConnection(linkType, text);
    bench_.SetConnection(address);
    const Workbench::ReadResult read = bench_.Read(link_, op_);
    if (!read.read) {
        Error error = read.read.error();
        // A script's reader learns where and why the read failed.
        if (error.code == Error::Communication)
            error.text += QStringLiteral(" con %1: %2").arg(address, link_.LastError());
        ShowError(op_, error);
    }
    if (op_.Cancelled()) WriteLine(err_, QStringLiteral("Lectura cancelada"));
    if (!read.read) return kExitNetwork;
    // What was not read is said now, and the command goes on with the rest.
    for (const ReadFailure& failure : model().ReadFailures()) {
        const QString line =
            QStringLiteral("Lectura incompleta, sin leer: ") + ReadFailureName(failure);
        WriteLine(err_, line);
        log_.Escribe_NLog(line);
    }
    log_.Flush();
    Say(read.notice);
    // Cancelled: nothing more is done, no send and no file.
    return op_.Cancelled() ? kExitPartial : kExitOk;
}

void Session::Programmed() {
    Say(bench_.Programmed());
}

int Session::Load(const QString& path, const LineSink& lines) {
    op_.SetLines(lines);
    const Result<bool> loaded = bench_.LoadFile(path, op_);
    op_.SetLines({});  // the sink may not outlive the load
    if (!loaded) {
        ShowError(op_, loaded.error());
        return kExitFile;
    }
    // Nobody reads the lines of an unattended run: a file that is no configuration must not
    // pass for one that matches the network.
    if (*loaded) return kExitOk;
    WriteLine(err_, QStringLiteral("El fichero no contiene datos de configuración: ") + path);
    return kExitFile;
}

int Session::SendAll(SendScope scope, SendSummary* kept, std::optional<SendKind> kind) {
    Workbench::SendResult sent = bench_.Send(link_, op_, scope, kind);
    for (const QString& line : sent.summary.details) WriteLine(err_, line);
    Say(sent.notice);
    const int status = sent.summary.Clean() ? kExitOk : kExitItems;
    if (kept) *kept = std::move(sent.summary);
    return status;
}

int Session::Finish(int status) const {
    return WorstStatus(status, bench_.model().ReadFailures().empty() ? kExitOk : kExitPartial);
}

bool IsBatchRequest(const QString& arguments) {
    return !arguments.trimmed().isEmpty() && arguments.size() > 23;
}

int RunBatch(const QString& connection, const QString& file, std::FILE* err) {
    Session session(err);
    // A file the load would refuse is said before a long read of the network.
    if (const Status valid = CheckConfigurationFile(file); !valid) {
        ShowError(session.op(), valid.error());
        return kExitFile;
    }
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
