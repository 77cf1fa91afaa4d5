#include "cli/commands.h"

#include <QJsonArray>
#include <functional>
#include <set>
#include <string_view>
#include <tuple>

#include "cli/json.h"
#include "core/common/commandline.h"
#include "core/editing/clone.h"
#include "core/editing/programming.h"
#include "core/editing/sendall.h"
#include "core/files/configload.h"
#include "core/files/configsave.h"
#include "core/history/compare.h"
#include "core/history/historystore.h"
#include "core/model/configmodel.h"
#include "core/network/networkreader.h"
#include "headless/session.h"
#include "transports/connectiontext.h"

namespace cfg {

namespace {

const char* const kUsage =
    "Uso:\n"
    "  cfgtarascope-cli read CONN\n"
    "  cfgtarascope-cli save CONN FILE [--scales N,N,...] [--no-common] [--allow-partial]\n"
    "  cfgtarascope-cli load CONN FILE [--dry-run] [--changes-only]\n"
    "  cfgtarascope-cli diff CONN FILE\n"
    "  cfgtarascope-cli clone CONN FROM TO[,TO...] [--dry-run] [--menus ID,...] [--items ID,...]\n"
    "  cfgtarascope-cli set  CONN OWNER ID VALUE\n"
    "  cfgtarascope-cli history list [CONN]\n"
    "  cfgtarascope-cli history show ID\n"
    "  cfgtarascope-cli history diff ID [ID2]\n"
    "  cfgtarascope-cli history export ID FILE\n"
    "  cfgtarascope-cli history restore CONN ID [--dry-run] [--changes-only] [--force]\n"
    "  cfgtarascope-cli history prune (--keep N | --before YYYY-MM-DD)\n"
    "  cfgtarascope-cli --help | --version\n"
    "Opciones de toda orden: --history FILE (otro historial), --no-history (no guardar nada)\n"
    "--json: un documento JSON en stdout en vez del texto (read, diff, load, set, clone,\n"
    "  history list, show, diff y restore)\n"
    "Un VALUE como -7 es un valor; otro que empiece por un guion va tras --\n"
    "CONN: HOST:PORT o serial:DEVICE:SPEED,PARITY,BITS";

// The options that only some commands take; each command names those it takes.
const char* const kCommandOptions[] = {"json",   "dry-run",       "changes-only", "no-common",
                                       "scales", "allow-partial", "menus",        "items",
                                       "force",  "keep",          "before"};

QList<QCommandLineOption> Options() {
    return {{QStringLiteral("json"), {}},
            {QStringLiteral("dry-run"), {}},
            {QStringLiteral("changes-only"), {}},
            {QStringLiteral("no-common"), {}},
            {QStringLiteral("scales"), {}, QStringLiteral("N,N,...")},
            {QStringLiteral("allow-partial"), {}},
            {QStringLiteral("menus"), {}, QStringLiteral("ID,...")},
            {QStringLiteral("items"), {}, QStringLiteral("ID,...")},
            {QStringLiteral("force"), {}},
            {QStringLiteral("keep"), {}, QStringLiteral("N")},
            {QStringLiteral("before"), {}, QStringLiteral("YYYY-MM-DD")},
            {QStringLiteral("history"), {}, QStringLiteral("FILE")},
            {QStringLiteral("no-history"), {}}};
}

// What every command is given.
struct Context {
    std::FILE* out;
    std::FILE* err;
    QString folder;
    HistoryOption history;
    const CommandLine& line;

    bool Given(const char* option) const { return line.IsSet(QLatin1String(option)); }
    // One JSON document on `out` instead of the text.
    bool Json() const { return Given("json"); }
};

int Usage(std::FILE* err, const QString& why = {}) {
    return AnswerRequest(Request::Wrong, "cfgtarascope-cli", QString::fromUtf8(kUsage), why,
                         nullptr, err);
}

// Whether the command takes every option given; when not, the usage has been said.
bool Takes(const Context& c, std::initializer_list<std::string_view> takes) {
    for (const char* option : kCommandOptions) {
        if (!c.Given(option) || std::find(takes.begin(), takes.end(), option) != takes.end())
            continue;
        Usage(c.err,
              QStringLiteral("Opción no válida para esta orden: --") + QLatin1String(option));
        return false;
    }
    return true;
}

// Opens the session on a command line's connection: a text it cannot take is a usage error.
int Open(Session& session, const QString& conn, std::FILE* err) {
    const std::optional<LinkTarget> target = CommandLineLink(conn);
    if (!target) return Usage(err, QStringLiteral("Conexión no válida: ") + conn);
    return session.Open(target->linkType, target->connectionText);
}

// The numbers of a comma-separated list (of scales, unless `fault` says what else); nothing, and
// the usage said, when one is not a number.
std::optional<std::vector<int>> ScaleNumbers(
    const QString& list, std::FILE* err,
    const QString& fault = QStringLiteral("Número de balanza no válido: ")) {
    std::vector<int> numbers;
    for (const QString& part : list.split(u',')) {
        bool ok = false;
        numbers.push_back(part.trimmed().toInt(&ok));
        if (!ok) {
            Usage(err, fault + part);
            return std::nullopt;
        }
    }
    return numbers;
}

// Whether scale `number` is one of `scales`; said on `err` when it is not.
bool InNetwork(const std::vector<int>& scales, int number, std::FILE* err) {
    if (std::find(scales.begin(), scales.end(), number) != scales.end()) return true;
    WriteLine(err, QStringLiteral("La balanza %1 no está en la red").arg(number));
    return false;
}

// One line of a difference: owner, ID, item text, value before, value after.
QString DiffRow(const ValueChange& c) {
    return QStringList{QString::number(c.owner), QString::number(c.id), c.text, c.before, c.after}
        .join(u'\t');
}
QString DiffLines(const std::vector<ValueChange>& changes) {
    QStringList rows;
    for (const ValueChange& c : changes) rows.append(DiffRow(c));
    return rows.join(u'\n');
}

// What a comparison found, as lines or a document: kExitItems when it found anything.
int PrintChanges(const std::vector<ValueChange>& changes, const Context& c) {
    if (c.Json())
        WriteJson(c.out, {{QStringLiteral("changes"), ChangesJson(changes)}});
    else if (!changes.empty())
        WriteLine(c.out, DiffLines(changes));
    return changes.empty() ? kExitOk : kExitItems;
}

SendScope ScopeGiven(const Context& c) {
    return c.Given("changes-only") ? SendScope::Changed : SendScope::All;
}

// Sends as load does, unless it is a dry run: the status, and what became of each item for the
// document (null when nothing was sent). The history records the send as `kind`, by default as
// the scope says.
std::pair<int, QJsonValue> SendUnlessDry(Session& session, const Context& c, SendScope scope,
                                         std::optional<SendKind> kind = {}) {
    if (c.Given("dry-run")) return {kExitOk, QJsonValue()};
    SendSummary summary;
    const int status = session.SendAll(scope, &summary, kind);
    return {status, SendJson(session.model(), summary)};
}

// The changes a clone or a restore made in the model, printed, then sent as a changes-only or a
// whole send.
int SendChanges(Session& session, const std::vector<ValueChange>& changes, const Context& c,
                SendScope scope, SendKind kind) {
    if (!c.Json() && !changes.empty()) WriteLine(c.out, DiffLines(changes));
    const auto [status, sent] = SendUnlessDry(session, c, scope, kind);
    if (c.Json())
        WriteJson(c.out, {{QStringLiteral("changes"), ChangesJson(changes)},
                          {QStringLiteral("send"), sent}});
    return session.Finish(status);
}

// The tree as lines or as a document.
void PrintTree(const ConfigModel& model, const Context& c) {
    if (c.Json()) return WriteJson(c.out, {{QStringLiteral("tree"), TreeJson(model)}});
    // One write for the whole tree: a flush per line cost more than the read itself.
    if (const QString tree = TreeText(model); !tree.isEmpty()) WriteLine(c.out, tree);
}

int Read(const QStringList& args, const Context& c) {
    if (!Takes(c, {"json"})) return kExitUsage;
    if (args.size() != 2) return Usage(c.err);
    Session session(c.err, c.folder, c.history);
    if (const int status = Open(session, args[1], c.err); status != kExitOk) return status;
    PrintTree(session.model(), c);
    return session.Finish(kExitOk);
}

int Save(const QStringList& args, const Context& c) {
    std::FILE* const err = c.err;
    if (!Takes(c, {"scales", "no-common", "allow-partial"})) return kExitUsage;
    if (args.size() != 3) return Usage(err);
    const bool common = !c.Given("no-common");
    std::optional<std::set<int>> wanted;
    if (c.Given("scales")) {
        const std::optional<std::vector<int>> numbers = ScaleNumbers(c.line.Value("scales"), err);
        if (!numbers) return kExitUsage;
        wanted.emplace(numbers->begin(), numbers->end());
    }
    const QString path = args[2];
    // An existing file is overwritten: nobody is there to be asked.
    if (const SavePath answer = CheckSavePath(path); !SavePathMessage(answer).isEmpty()) {
        WriteLine(err, SavePathMessage(answer));
        return answer == SavePath::Empty ? kExitUsage : kExitFile;
    }

    Session session(err, c.folder, c.history);
    if (const int status = Open(session, args[1], err); status != kExitOk) return status;

    // As the save window offers them: the scales of the tree, in its order.
    std::vector<int> scales = ScalesInTree(session.model());
    if (wanted) {
        for (int number : *wanted)
            if (!InNetwork(scales, number, err)) return session.Finish(kExitUsage);
        std::erase_if(scales, [&](int n) { return !wanted->contains(n); });
    }
    // A backup is worth more than a file that lacks what the read could not read.
    if (!session.model().ReadFailures().empty() && !c.Given("allow-partial") &&
        CheckSavePath(path) == SavePath::Exists) {
        WriteLine(err, QStringLiteral("Lectura incompleta: no se sobrescribe el fichero %1 "
                                      "(--allow-partial lo sobrescribe)")
                           .arg(path));
        return session.Finish(kExitOk);
    }
    if (QString error; !Guardar_Datos_Archivo(session.model(), path, common, scales, &error)) {
        WriteLine(err, error);
        return session.Finish(kExitFile);
    }
    session.op().Show(QStringLiteral("Datos Guardados"), Icon::Information);
    if (const auto missing = MissingFromFile(session.model(), common, scales); !missing.empty())
        WriteLine(err,
                  QStringLiteral("Fichero incompleto, sin datos de: ") + ReadFailureList(missing));
    return session.Finish(kExitOk);
}

int Load(const QStringList& args, const Context& c) {
    if (!Takes(c, {"dry-run", "changes-only", "json"})) return kExitUsage;
    if (args.size() != 3) return Usage(c.err);
    Session session(c.err, c.folder, c.history);
    if (const int status = Open(session, args[1], c.err); status != kExitOk) return status;
    QStringList log;
    const auto line = [&](const QString& text) {
        c.Json() ? log.append(text) : WriteLine(c.out, text);
    };
    auto [status, sent] = std::pair(session.Load(args[2], line), QJsonValue());
    if (status == kExitOk) std::tie(status, sent) = SendUnlessDry(session, c, ScopeGiven(c));
    if (c.Json())
        WriteJson(c.out, {{QStringLiteral("log"), QJsonArray::fromStringList(log)},
                          {QStringLiteral("send"), sent}});
    return session.Finish(status);
}

int Diff(const QStringList& args, const Context& c) {
    std::FILE* const err = c.err;
    if (!Takes(c, {"json"})) return kExitUsage;
    if (args.size() != 3) return Usage(err);
    Session session(err, c.folder, c.history);
    if (const int status = Open(session, args[1], err); status != kExitOk) return status;
    if (const int status = session.Load(args[2], {}); status != kExitOk)
        return session.Finish(status);
    return session.Finish(PrintChanges(ChangedItems(session.model()), c));
}

int Clone(const QStringList& args, const Context& c) {
    if (!Takes(c, {"dry-run", "json", "menus", "items"})) return kExitUsage;
    if (args.size() != 4) return Usage(c.err);
    CloneChoice choice;
    for (auto [option, ids] : {std::pair{"menus", &choice.menus}, {"items", &choice.items}}) {
        if (!c.Given(option)) continue;
        const auto numbers =
            ScaleNumbers(c.line.Value(QLatin1String(option)), c.err,
                         QStringLiteral("ID no válido en --%1: ").arg(QLatin1String(option)));
        if (!numbers) return kExitUsage;
        ids->insert(numbers->begin(), numbers->end());
        choice.everything = false;
    }
    const std::optional<std::vector<int>> from = ScaleNumbers(args[2], c.err);
    if (!from) return kExitUsage;
    if (from->size() != 1)
        return Usage(c.err, QStringLiteral("Número de balanza no válido: ") + args[2]);
    const std::optional<std::vector<int>> to = ScaleNumbers(args[3], c.err);
    if (!to) return kExitUsage;
    Session session(c.err, c.folder, c.history);
    if (const int status = Open(session, args[1], c.err); status != kExitOk) return status;

    std::vector<int> scales;
    for (const ScaleEntry& scale : session.model().Scales()) scales.push_back(scale.number);
    if (!InNetwork(scales, from->front(), c.err)) return session.Finish(kExitUsage);
    for (int number : *to)
        if (!InNetwork(scales, number, c.err)) return session.Finish(kExitUsage);
    if (const QString fault = CloneChoiceFault(session.model(), from->front(), choice);
        !fault.isEmpty()) {
        WriteLine(c.err, fault);
        return session.Finish(kExitUsage);
    }
    return SendChanges(session, CloneScale(session.model(), from->front(), *to, choice), c,
                       SendScope::Changed, SendKind::Clone);
}

int Set(const QStringList& args, const Context& c) {
    std::FILE* const err = c.err;
    if (!Takes(c, {"json"})) return kExitUsage;
    if (args.size() != 5) return Usage(err);
    bool ownerOk = false, idOk = false;
    const int owner = args[2].toInt(&ownerOk);
    const int id = args[3].toInt(&idOk);
    if (!ownerOk || !idOk) return Usage(err, QStringLiteral("OWNER e ID son números"));
    Session session(err, c.folder, c.history);
    if (const int status = Open(session, args[1], err); status != kExitOk) return status;

    const int row = session.model().FindItem(owner, id);
    if (row < 0) {
        WriteLine(err, QStringLiteral("No existe el item %1 de %2").arg(id).arg(owner));
        return session.Finish(kExitUsage);
    }
    const ItemRow item = session.model().Items()[row];
    // What the editor offers: nothing for read-only items or option lists without options.
    if (item.order >= kFirstReadOnlyOrder ||
        (item.type == kEnumeration && item.options.isEmpty())) {
        WriteLine(err, QStringLiteral("El item %1 no se puede modificar").arg(id));
        return session.Finish(kExitItems);
    }
    EditorInput input;
    const QString value = args[4];
    if (item.type == kEnumeration) {
        bool ok = false;
        const int index = value.toInt(&ok);
        input.enumIndex = ok && index >= 0 && index < item.optionCount() ? index : -1;
    } else if (item.type == kNumber) {
        input.number = value;
        input.numberShown = true;
    } else {
        input.text = value;
    }
    ItemProgrammer programmer(session.link(), session.model());
    const ItemProgrammer::Result result = programmer.Modificar_Valor(
        {item.owner, item.id, item.type, item.length}, input, session.op());
    const bool accepted = result.outcome == ItemProgrammer::Outcome::Accepted;
    if (accepted) session.Programmed();
    const ItemRow& now = session.model().Items()[accepted ? result.row : row];
    if (c.Json()) {
        WriteJson(c.out, ProgrammedJson(session.model(), now, result));
    } else if (accepted) {
        WriteLine(c.out, session.model().NodeText(now.key));
    }
    return session.Finish(accepted ? kExitOk : kExitItems);
}

// --- history ---

std::optional<qint64> SnapshotId(const QString& text) {
    bool ok = false;
    const qint64 id = text.toLongLong(&ok);
    if (!ok || id <= 0) return std::nullopt;
    return id;
}

class HistoryCommand {
  public:
    explicit HistoryCommand(const Context& c) : c_(c) {}

    int Run(QStringList args) {
        if (args.size() < 2) return Usage(c_.err);
        const QString command = args[1];
        args.remove(0, 2);
        if (command == u"restore") return Restore(args);
        if (command == u"prune") return Prune(args);
        // An export writes the file save would: it has nothing to say on stdout.
        if (!(command == u"export" ? Takes(c_, {}) : Takes(c_, {"json"}))) return kExitUsage;
        if (!Open()) return kExitFile;
        if (command == u"list" && args.size() <= 1) return List(args);
        if (command == u"show" && args.size() == 1) return Show(args[0]);
        if (command == u"diff" && (args.size() == 1 || args.size() == 2)) return Diff(args);
        if (command == u"export" && args.size() == 2) return Export(args[0], args[1]);
        return Usage(c_.err);
    }

  private:
    bool Open() {
        QString error;
        const QString path = HistoryPath(c_.folder, c_.history);
        if (store_.Open(path, &error)) {
            Notices();
            return true;
        }
        WriteLine(c_.err, QStringLiteral("Historial no disponible (%1): %2").arg(path, error));
        return false;
    }
    // What the store did on its own (a damaged database moved aside), said at once.
    void Notices() {
        if (const QString notice = store_.TakeNotice(); !notice.isEmpty())
            WriteLine(c_.err, notice);
    }
    // A store's failure said: the status to end with.
    int Failed(const QString& error) {
        WriteLine(c_.err, QStringLiteral("Historial: ") + error);
        return kExitFile;
    }

    // The snapshot `text` names into `model`: kExitOk, or the status to end with.
    int Load(const QString& text, ConfigModel& model, SnapshotInfo* info = nullptr) {
        const std::optional<qint64> id = SnapshotId(text);
        QString error;
        const std::optional<SnapshotInfo> found =
            id ? store_.Load(*id, model, &error) : std::nullopt;
        Notices();
        if (found) {
            if (info) *info = *found;
            return kExitOk;
        }
        if (!error.isEmpty()) return Failed(error);
        WriteLine(c_.err, QStringLiteral("No existe la instantánea ") + text);
        return kExitUsage;
    }

    int List(const QStringList& args) {
        QString connection;
        if (!args.isEmpty()) {
            const std::optional<LinkTarget> target = CommandLineLink(args[0]);
            if (!target) return Usage(c_.err, QStringLiteral("Conexión no válida: ") + args[0]);
            connection = NormalConnection(target->linkType, target->connectionText);
        }
        QString error;
        const auto infos = store_.List(connection, &error);
        Notices();
        if (!infos) return Failed(error);
        if (c_.Json()) {
            WriteJson(c_.out, {{QStringLiteral("snapshots"), SnapshotsJson(*infos)}});
            return kExitOk;
        }
        QStringList lines;
        for (const SnapshotInfo& i : *infos)
            lines.append(QStringList{QString::number(i.id), i.time.toString(Qt::ISODate),
                                     CauseName(i.cause), i.connection, QString::number(i.scales),
                                     QString::number(i.known), i.network}
                             .join(u'\t'));
        if (!lines.isEmpty()) WriteLine(c_.out, lines.join(u'\n'));
        return kExitOk;
    }

    int Show(const QString& id) {
        ConfigModel model;
        if (const int status = Load(id, model); status != kExitOk) return status;
        PrintTree(model, c_);
        return kExitOk;
    }

    int Diff(const QStringList& args) {
        ConfigModel a, b;
        SnapshotInfo info;
        if (const int status = Load(args[0], a, &info); status != kExitOk) return status;
        QString second = args.value(1);
        if (second.isEmpty()) {
            // The latest of the same network: another behind the same address is no earlier
            // state of this one.
            QString error;
            const auto latest = store_.Latest(info.connection, info.network, &error);
            Notices();
            if (!latest) return Failed(error);
            second = QString::number(latest->id);
        }
        if (const int status = Load(second, b); status != kExitOk) return status;
        return PrintChanges(CompareValues(a, b), c_);
    }

    int Export(const QString& id, const QString& path) {
        if (const SavePath answer = CheckSavePath(path); !SavePathMessage(answer).isEmpty()) {
            WriteLine(c_.err, SavePathMessage(answer));
            return answer == SavePath::Empty ? kExitUsage : kExitFile;
        }
        ConfigModel model;
        if (const int status = Load(id, model); status != kExitOk) return status;
        if (QString error; !Guardar_Datos_Archivo(model, path, true, ScalesInTree(model), &error)) {
            WriteLine(c_.err, error);
            return kExitFile;
        }
        return kExitOk;
    }

    int Restore(const QStringList& args) {
        if (!Takes(c_, {"dry-run", "changes-only", "json", "force"})) return kExitUsage;
        if (args.size() != 2) return Usage(c_.err);
        if (!CommandLineLink(args[0]))
            return Usage(c_.err, QStringLiteral("Conexión no válida: ") + args[0]);
        if (!Open()) return kExitFile;
        ConfigModel snapshot;
        SnapshotInfo info;
        if (const int status = Load(args[1], snapshot, &info); status != kExitOk) return status;

        Session session(c_.err, c_.folder, c_.history);
        if (const int status = cfg::Open(session, args[0], c_.err); status != kExitOk)
            return status;
        // Another shop's values behind the same address would be sent as if they were this one's.
        if (const QString read = NetworkFingerprint(session.model().Scales());
            read != info.network && !c_.Given("force")) {
            WriteLine(c_.err, QStringLiteral("La instantánea %1 es de otra red (%2); la red leída "
                                             "es %3. Nada restaurado (--force para restaurarla)")
                                  .arg(QString::number(info.id), info.network, read));
            return session.Finish(kExitUsage);
        }
        return SendChanges(session, RestoreValues(session.model(), snapshot), c_, ScopeGiven(c_),
                           SendKind::Restore);
    }

    int Prune(const QStringList& args) {
        if (!Takes(c_, {"keep", "before"})) return kExitUsage;
        if (!args.isEmpty() || c_.Given("keep") == c_.Given("before"))
            return Usage(c_.err, QStringLiteral("prune: --keep N o --before YYYY-MM-DD"));
        bool ok = false;
        const int keep = c_.Given("keep") ? c_.line.Value("keep").toInt(&ok) : 0;
        const QDate day = QDate::fromString(c_.line.Value("before"), QStringLiteral("yyyy-MM-dd"));
        if (c_.Given("keep") ? !ok || keep < 1 : !day.isValid())
            return Usage(c_.err, c_.Given("keep")
                                     ? QStringLiteral("--keep: un número de 1 en adelante")
                                     : QStringLiteral("--before: una fecha YYYY-MM-DD"));
        if (!Open()) return kExitFile;
        QString error;
        const std::optional<int> removed =
            c_.Given("keep") ? store_.PruneKeeping(keep, &error) : store_.PruneBefore(day, &error);
        Notices();
        if (!removed) return Failed(error);
        WriteLine(c_.out, QString::number(*removed));
        return kExitOk;
    }

    const Context& c_;
    HistoryStore store_;
};

}  // namespace

QString TreeText(const ConfigModel& model) {
    QString text;
    bool first = true;
    std::function<void(int, int)> walk = [&](int node, int depth) {
        if (!first) text.append(u'\n');
        first = false;
        text.resize(text.size() + depth * 2, u' ');
        text.append(model.Node(node).text);
        for (int child : model.Node(node).children) walk(child, depth + 1);
    };
    for (int n = 0; n < static_cast<int>(model.Nodes().size()); ++n)
        if (model.Node(n).parent < 0) walk(n, 0);
    return text;
}

int RunCommandLine(const QStringList& args, std::FILE* out, std::FILE* err, const QString& folder) {
    CommandLine line(Options());
    if (const Request request = line.Parse(args); request != Request::Run) {
        QString fault;
        if (!line.Unknown().isEmpty())
            fault = QStringLiteral("Opción desconocida: ") + line.Unknown().front();
        else if (request == Request::Wrong)
            fault = QStringLiteral("Opción no válida: ") + line.Fault();
        return AnswerRequest(request, "cfgtarascope-cli", QString::fromUtf8(kUsage), fault, out,
                             err);
    }
    Context c{out, err, folder, {}, line};
    // Taken by every command.
    c.history.record = !c.Given("no-history");
    if (c.Given("history")) {
        c.history.path = line.Value(QStringLiteral("history"));
        if (c.history.path.isEmpty()) return Usage(err);
    }
    const QStringList positional = line.Positional();
    if (positional.isEmpty()) return Usage(err);
    const QString& command = positional[0];
    if (command == u"read") return Read(positional, c);
    if (command == u"save") return Save(positional, c);
    if (command == u"load") return Load(positional, c);
    if (command == u"diff") return Diff(positional, c);
    if (command == u"clone") return Clone(positional, c);
    if (command == u"set") return Set(positional, c);
    if (command == u"history") return HistoryCommand(c).Run(positional);
    return Usage(err, QStringLiteral("Orden desconocida: ") + command);
}

}  // namespace cfg
