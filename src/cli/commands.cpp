#include "cli/commands.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QStringEncoder>
#include <algorithm>
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
#include "transports/serialports.h"

namespace cfg {

namespace cli {

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
    bool Quiet() const { return Given("quiet"); }
};

}  // namespace cli

namespace {

using cli::Context;

int Usage(std::FILE* err, const QString& why = {}) {
    return AnswerRequest(Request::Wrong, "cfgtarascope-cli", cli::UsageText(), why, nullptr, err);
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
    WriteTree(model, c.out);
}

int Read(const QStringList& args, const Context& c) {
    Session session(c.err, c.folder, c.history, c.Quiet());
    if (const int status = Open(session, args[0], c.err); status != kExitOk) return status;
    PrintTree(session.model(), c);
    return session.Finish(kExitOk);
}

int Save(const QStringList& args, const Context& c) {
    std::FILE* const err = c.err;
    const bool common = !c.Given("no-common");
    std::optional<std::set<int>> wanted;
    if (c.Given("scales")) {
        const std::optional<std::vector<int>> numbers = ScaleNumbers(c.line.Value("scales"), err);
        if (!numbers) return kExitUsage;
        wanted.emplace(numbers->begin(), numbers->end());
    }
    const QString path = args[1];
    // An existing file is overwritten: nobody is there to be asked.
    if (const SavePath answer = CheckSavePath(path); !SavePathMessage(answer).isEmpty()) {
        WriteLine(err, SavePathMessage(answer));
        return answer == SavePath::Empty ? kExitUsage : kExitFile;
    }

    Session session(err, c.folder, c.history, c.Quiet());
    if (const int status = Open(session, args[0], err); status != kExitOk) return status;

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
    const Result<SavedCounts> saved = Guardar_Datos_Archivo(session.model(), path, common, scales);
    if (!saved) {
        WriteLine(err, saved.error().text);
        return session.Finish(kExitFile);
    }
    if (c.Json())
        WriteJson(c.out, {{QStringLiteral("scales"), saved->scales},
                          {QStringLiteral("items"), saved->items}});
    session.op().Show(QStringLiteral("Datos Guardados"), Icon::Information);
    if (const auto missing = MissingFromFile(session.model(), common, scales); !missing.empty())
        WriteLine(err,
                  QStringLiteral("Fichero incompleto, sin datos de: ") + ReadFailureList(missing));
    return session.Finish(kExitOk);
}

int Load(const QStringList& args, const Context& c) {
    Session session(c.err, c.folder, c.history, c.Quiet());
    if (const int status = Open(session, args[0], c.err); status != kExitOk) return status;
    QStringList log;
    const auto line = [&](const QString& text) {
        c.Json() ? log.append(text) : WriteLine(c.out, text);
    };
    auto [status, sent] = std::pair(session.Load(args[1], line), QJsonValue());
    // What the file changed, before the send makes it what the scales hold.
    const std::vector<ValueChange> changes = ChangedItems(session.model());
    if (status == kExitOk) std::tie(status, sent) = SendUnlessDry(session, c, ScopeGiven(c));
    if (c.Json())
        WriteJson(c.out, {{QStringLiteral("log"), QJsonArray::fromStringList(log)},
                          {QStringLiteral("changes"), ChangesJson(changes)},
                          {QStringLiteral("send"), sent}});
    return session.Finish(status);
}

int Diff(const QStringList& args, const Context& c) {
    std::FILE* const err = c.err;
    Session session(err, c.folder, c.history, c.Quiet());
    if (const int status = Open(session, args[0], err); status != kExitOk) return status;
    if (const int status = session.Load(args[1], {}); status != kExitOk)
        return session.Finish(status);
    return session.Finish(PrintChanges(ChangedItems(session.model()), c));
}

int Clone(const QStringList& args, const Context& c) {
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
    const std::optional<std::vector<int>> from = ScaleNumbers(args[1], c.err);
    if (!from) return kExitUsage;
    if (from->size() != 1)
        return Usage(c.err, QStringLiteral("Número de balanza no válido: ") + args[1]);
    const std::optional<std::vector<int>> to = ScaleNumbers(args[2], c.err);
    if (!to) return kExitUsage;
    Session session(c.err, c.folder, c.history, c.Quiet());
    if (const int status = Open(session, args[0], c.err); status != kExitOk) return status;

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
    bool ownerOk = false, idOk = false;
    const int owner = args[1].toInt(&ownerOk);
    const int id = args[2].toInt(&idOk);
    if (!ownerOk || !idOk) return Usage(err, QStringLiteral("OWNER e ID son números"));
    Session session(err, c.folder, c.history, c.Quiet());
    if (const int status = Open(session, args[0], err); status != kExitOk) return status;

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
    const QString value = args[3];
    if (item.type == kEnumeration) {
        input.enumIndex = OptionNamed(item.options, value);
    } else if (item.type == kNumber) {
        input.number = value;
        input.numberShown = true;
    } else {
        input.text = value;
    }
    const QJsonValue before = item.known ? QJsonValue(item.value) : QJsonValue();
    const auto said = [&](const ItemRow& now, const ItemProgrammer::Result& result,
                          SetCheck check) {
        if (result.outcome == ItemProgrammer::Outcome::Invalid && item.type == kEnumeration) {
            QStringList options;
            for (int i = 0; i < item.options.size(); ++i)
                options.append(QStringLiteral("%1 %2").arg(i).arg(item.options[i]));
            WriteLine(err, QStringLiteral("Opciones: ") + options.join(QStringLiteral(", ")));
        }
        if (c.Json())
            WriteJson(c.out, ProgrammedJson(session.model(), now, before, result, check));
        else if (check != SetCheck::Sent || result.outcome == ItemProgrammer::Outcome::Accepted)
            WriteLine(c.out, session.model().NodeText(now.key));
    };
    const Selection selection{item.owner, item.id, item.type, item.length};
    if (c.Given("changes-only") || c.Given("dry-run")) {
        const std::optional<QString> wanted = ValueToProgram(selection, input, session.op());
        if (!wanted) {
            said(item, {}, SetCheck::Sent);
            return session.Finish(kExitItems);
        }
        // As a send would find it: the value the scale holds against the one to program.
        ItemRow next = item;
        next.readValue = item.value;
        next.readKnown = item.known;
        next.value = *wanted;
        next.known = true;
        const bool changes = Changed(next);
        if (!changes || c.Given("dry-run")) {
            said(changes ? next : item, {}, changes ? SetCheck::WouldChange : SetCheck::Unchanged);
            return session.Finish(kExitOk);
        }
    }
    ItemProgrammer programmer(session.link(), session.model());
    const ItemProgrammer::Result result =
        programmer.Modificar_Valor(selection, input, session.op());
    const bool accepted = result.outcome == ItemProgrammer::Outcome::Accepted;
    if (accepted) session.Programmed();
    said(session.model().Items()[accepted ? result.row : row], result, SetCheck::Sent);
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

    // Each subcommand, given the arguments after its name; the store is opened first.
    int List(const QStringList& args) { return Open() ? ListSnapshots(args) : kExitFile; }
    int Show(const QStringList& args) { return Open() ? ShowSnapshot(args[0]) : kExitFile; }
    int Diff(const QStringList& args) { return Open() ? DiffSnapshots(args) : kExitFile; }
    int Export(const QStringList& args) {
        return Open() ? ExportSnapshot(args[0], args[1]) : kExitFile;
    }

  private:
    bool Open() {
        const QString path = HistoryPath(c_.folder, c_.history);
        if (const Status opened = store_.Open(path); !opened) {
            WriteLine(
                c_.err,
                QStringLiteral("Historial no disponible (%1): %2").arg(path, opened.error().text));
            return false;
        }
        Notices();
        return true;
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
        const Result<std::optional<SnapshotInfo>> found =
            id ? store_.Load(*id, model) : Result<std::optional<SnapshotInfo>>(std::nullopt);
        Notices();
        if (!found) return Failed(found.error().text);
        if (*found) {
            if (info) *info = **found;
            return kExitOk;
        }
        WriteLine(c_.err, QStringLiteral("No existe la instantánea ") + text);
        return kExitUsage;
    }

    int ListSnapshots(const QStringList& args) {
        QString connection;
        if (!args.isEmpty()) {
            const std::optional<LinkTarget> target = CommandLineLink(args[0]);
            connection = NormalConnection(target->linkType, target->connectionText);
        }
        const Result<std::vector<SnapshotInfo>> infos = store_.List(connection);
        Notices();
        if (!infos) return Failed(infos.error().text);
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

    int ShowSnapshot(const QString& id) {
        ConfigModel model;
        if (const int status = Load(id, model); status != kExitOk) return status;
        PrintTree(model, c_);
        return kExitOk;
    }

    int DiffSnapshots(const QStringList& args) {
        ConfigModel a, b;
        SnapshotInfo info;
        if (const int status = Load(args[0], a, &info); status != kExitOk) return status;
        QString second = args.value(1);
        if (second.isEmpty()) {
            // The latest of the same network: another behind the same address is no earlier
            // state of this one.
            const Result<std::optional<SnapshotInfo>> latest =
                store_.Latest(info.connection, info.network);
            Notices();
            if (!latest || !*latest) return Failed(latest ? QString() : latest.error().text);
            second = QString::number((*latest)->id);
        }
        if (const int status = Load(second, b); status != kExitOk) return status;
        return PrintChanges(CompareValues(a, b), c_);
    }

    int ExportSnapshot(const QString& id, const QString& path) {
        if (const SavePath answer = CheckSavePath(path); !SavePathMessage(answer).isEmpty()) {
            WriteLine(c_.err, SavePathMessage(answer));
            return answer == SavePath::Empty ? kExitUsage : kExitFile;
        }
        ConfigModel model;
        if (const int status = Load(id, model); status != kExitOk) return status;
        if (const auto saved = Guardar_Datos_Archivo(model, path, true, ScalesInTree(model));
            !saved) {
            WriteLine(c_.err, saved.error().text);
            return kExitFile;
        }
        return kExitOk;
    }

  public:
    int Restore(const QStringList& args) {
        if (!Open()) return kExitFile;
        ConfigModel snapshot;
        SnapshotInfo info;
        if (const int status = Load(args[1], snapshot, &info); status != kExitOk) return status;

        Session session(c_.err, c_.folder, c_.history, c_.Quiet());
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

    int Prune(const QStringList&) {
        bool ok = false;
        const int keep = c_.Given("keep") ? c_.line.Value("keep").toInt(&ok) : 0;
        const QDate day = QDate::fromString(c_.line.Value("before"), QStringLiteral("yyyy-MM-dd"));
        if (c_.Given("keep") ? !ok || keep < 1 : !day.isValid())
            return Usage(c_.err, c_.Given("keep")
                                     ? QStringLiteral("--keep: un número de 1 en adelante")
                                     : QStringLiteral("--before: una fecha YYYY-MM-DD"));
        if (!Open()) return kExitFile;
        const Result<int> removed =
            c_.Given("keep") ? store_.PruneKeeping(keep) : store_.PruneBefore(day);
        Notices();
        if (!removed) return Failed(removed.error().text);
        WriteLine(c_.out, QString::number(*removed));
        return kExitOk;
    }

  private:
    const Context& c_;
    HistoryStore store_;
};

}  // namespace

void WriteTree(const ConfigModel& model, std::FILE* out) {
    const std::vector<TreeNode>& nodes = model.Nodes();
    // Written through a buffer of its own and flushed once: a read's tree has tens of thousands
    // of lines, and neither a flush per line nor the whole tree in one string comes cheap.
    QStringEncoder utf8(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    std::vector<char> buffer(1 << 16);
    char* end = buffer.data();
    const auto flush = [&] {
        std::fwrite(buffer.data(), 1, static_cast<std::size_t>(end - buffer.data()), out);
        end = buffer.data();
    };
    std::vector<std::pair<int, int>> stack;  // node and depth, the next on top
    for (int n = static_cast<int>(nodes.size()) - 1; n >= 0; --n)
        if (nodes[n].parent < 0) stack.emplace_back(n, 0);
    while (!stack.empty()) {
        const auto [node, depth] = stack.back();
        stack.pop_back();
        const QString& text = nodes[node].text;
        const qsizetype room = depth * 2 + utf8.requiredSpace(text.size()) + 1;
        if (room > static_cast<qsizetype>(buffer.size())) {
            flush();
            buffer.resize(static_cast<std::size_t>(room));
            end = buffer.data();
        } else if (room > buffer.data() + buffer.size() - end) {
            flush();
        }
        end = std::fill_n(end, depth * 2, ' ');
        end = utf8.appendToBuffer(end, text);
        *end++ = '\n';
        const std::vector<int>& children = nodes[node].children;
        for (auto child = children.rbegin(); child != children.rend(); ++child)
            stack.emplace_back(*child, depth + 1);
    }
    flush();
    std::fflush(out);
}

namespace cli {

namespace {

// History's subcommands, each on a store of its own.
template <int (HistoryCommand::*run)(const QStringList&)>
int OnHistory(const QStringList& args, const Context& c) {
    HistoryCommand history(c);
    return (history.*run)(args);
}

int Ports(const QStringList&, const Context& c) {
    QStringList lines;
    for (const SerialPortEntry& port : SerialPortsPresent()) {
        const int com = ComNumberOf(port.path);
        lines.append(QStringList{port.path, port.description,
                                 com > 0 ? QStringLiteral("COM%1").arg(com) : QString()}
                         .join(u'\t'));
    }
    if (!lines.isEmpty()) WriteLine(c.out, lines.join(u'\n'));
    return kExitOk;
}

constexpr Argument kConn{"CONN", ArgKind::Conn}, kId{"ID"};

}  // namespace

const std::vector<Option>& Options() {
    static const std::vector<Option> options = {
        {"json", nullptr, "un documento JSON en stdout en vez del texto"},
        {"dry-run", nullptr, "no envía nada"},
        {"changes-only", nullptr, "envía solo lo que cambia lo que la balanza tiene"},
        {"no-common", nullptr, "sin los datos comunes"},
        {"scales", "N,N,...", "solo esas balanzas"},
        {"allow-partial", nullptr, "sobrescribe FILE aunque la lectura fuera incompleta"},
        {"menus", "ID,...", "solo los items de esos menús"},
        {"items", "ID,...", "solo esos items"},
        {"force", nullptr, "restaura aunque la red leída sea otra"},
        {"keep", "N", "conserva las N instantáneas más nuevas de cada red"},
        {"before", "YYYY-MM-DD", "borra las instantáneas anteriores a ese día (UTC)"},
        {"quiet", nullptr, "sin progreso ni avisos: solo fallos y lo que no se hizo", true, 'q'},
        {"history", "FILE", "otro historial", true},
        {"no-history", nullptr, "no guarda nada en el historial", true},
    };
    return options;
}

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = {
        {"read", {kConn}, {}, true, "lee la red e imprime el árbol de la configuración", Read},
        {"save",
         {kConn, {"FILE", ArgKind::FileToWrite}},
         {"scales", "no-common", "allow-partial"},
         true,
         "guarda en FILE la configuración leída",
         Save},
        {"load",
         {kConn, {"FILE", ArgKind::FileToRead}},
         {"dry-run", "changes-only"},
         true,
         "carga FILE en lo leído y envía la configuración",
         Load},
        {"diff",
         {kConn, {"FILE", ArgKind::FileToRead}},
         {},
         true,
         "lista los items que FILE cambiaría",
         Diff},
        {"set",
         {kConn, {"OWNER"}, kId, {"VALUE"}},
         {"changes-only", "dry-run"},
         true,
         "programa un item (OWNER 0: el sistema)",
         Set},
        {"clone",
         {kConn, {"FROM"}, {"TO[,TO...]"}},
         {"dry-run", "menus", "items"},
         true,
         "copia los valores de la balanza FROM en las balanzas TO",
         Clone},
        {"ports", {}, {}, false, "lista los puertos serie presentes", Ports},
        {"history list",
         {{"CONN", ArgKind::Conn, true}},
         {},
         true,
         "las instantáneas guardadas, la más antigua primero",
         OnHistory<&HistoryCommand::List>},
        {"history show",
         {kId},
         {},
         true,
         "el árbol de una instantánea",
         OnHistory<&HistoryCommand::Show>},
        {"history diff",
         {kId, {"ID2", ArgKind::Word, true}},
         {},
         true,
         "lo que difiere entre dos instantáneas",
         OnHistory<&HistoryCommand::Diff>},
        {"history export",
         {kId, {"FILE", ArgKind::FileToWrite}},
         {},
         false,
         "escribe en FILE lo que save habría escrito entonces",
         OnHistory<&HistoryCommand::Export>},
        {"history restore",
         {kConn, kId},
         {"dry-run", "changes-only", "force"},
         true,
         "devuelve a la red los valores de una instantánea",
         OnHistory<&HistoryCommand::Restore>},
        {"history prune",
         {},
         {"keep", "before"},
         false,
         "borra instantáneas antiguas",
         OnHistory<&HistoryCommand::Prune>,
         true},
    };
    return commands;
}

namespace {

const Option& OptionNamed(std::string_view name) {
    const std::vector<Option>& options = Options();
    return *std::find_if(options.begin(), options.end(),
                         [&](const Option& o) { return name == o.name; });
}

QString OptionText(const Option& option) {
    QString text = QStringLiteral("--") + QLatin1String(option.name);
    if (option.value) text += u' ' + QLatin1String(option.value);
    return text;
}

// The command the words name; nothing, with what is wrong in `fault`, when none.
const Command* Find(const QStringList& words, QString* fault) {
    bool group = false;
    for (const Command& command : Commands()) {
        const QStringList name = QString::fromLatin1(command.name).split(u' ');
        group = group || (name.size() > 1 && name[0] == words[0]);
        if (words.mid(0, name.size()) == name) return &command;
    }
    if (!group)
        *fault = QStringLiteral("Orden desconocida: ") + words[0];
    else if (words.size() < 2)
        *fault = QStringLiteral("Falta la suborden de ") + words[0];
    else
        *fault = QStringLiteral("Suborden desconocida de %1: %2").arg(words[0], words[1]);
    return nullptr;
}

// What is wrong with the options given to `command`, empty when nothing.
QString OptionFault(const Command& command, const Context& c) {
    int given = 0;
    for (const Option& option : Options()) {
        if (!c.Given(option.name) || option.everyCommand) continue;
        const bool takes =
            (command.json && option.name == std::string_view("json")) ||
            std::find_if(command.options.begin(), command.options.end(), [&](const char* o) {
                return o == std::string_view(option.name);
            }) != command.options.end();
        if (!takes)
            return QStringLiteral("Opción no válida para esta orden: --") +
                   QLatin1String(option.name);
        given += option.name == std::string_view("json") ? 0 : 1;
    }
    if (command.oneOption && given != 1) {
        QStringList options;
        for (const char* name : command.options) options.append(OptionText(OptionNamed(name)));
        return QStringLiteral("%1: una y solo una de %2")
            .arg(QLatin1String(command.name), options.join(QStringLiteral(" o ")));
    }
    return {};
}

// What is wrong with a file argument, found without the network; empty when nothing.
QString FileFault(const QString& path, ArgKind kind) {
    const QFileInfo file(path);
    if (kind == ArgKind::FileToRead) {
        if (!file.exists()) return QStringLiteral("el fichero no existe");
        if (file.isDir()) return QStringLiteral("es una carpeta");
        if (!file.isReadable()) return QStringLiteral("no se puede leer");
        return {};
    }
    if (path.trimmed().isEmpty()) return {};  // the save's own message says it
    if (file.isDir()) return QStringLiteral("es una carpeta");
    const QFileInfo folder(file.absolutePath());
    if (!folder.isDir()) return QStringLiteral("la carpeta no existe");
    // The file is written beside its name, then renamed over it.
    if (!folder.isWritable()) return QStringLiteral("no se puede escribir en la carpeta");
    return {};
}

// The checks made before the link: each fault said in its line, files first; the status.
int CheckedArguments(const Command& command, const QStringList& args, std::FILE* err) {
    QStringList files, conns;
    for (int i = 0; i < args.size(); ++i) {
        const ArgKind kind = command.args[i].kind;
        if (kind == ArgKind::Conn) {
            if (const auto fault = CommandLineLinkFault(args[i]))
                conns.append(
                    QStringLiteral("CONN no válido (%1): %2").arg(fault->part, fault->reason));
        } else if (kind != ArgKind::Word) {
            if (const QString fault = FileFault(args[i], kind); !fault.isEmpty()) {
                files.append(args[i] + QStringLiteral(": ") + fault);
            } else if (kind == ArgKind::FileToRead) {
                // A file the load would refuse is refused before a read of the network that
                // takes a minute on a large one.
                if (const Status valid = CheckConfigurationFile(args[i]); !valid) {
                    if (!valid.error().before.isEmpty()) files.append(valid.error().before);
                    files.append(valid.error().text);
                }
            }
        }
    }
    for (const QString& line : files + conns) WriteLine(err, line);
    return !files.isEmpty() ? kExitFile : !conns.isEmpty() ? kExitUsage : kExitOk;
}

}  // namespace

QString Synopsis(const Command& command) {
    QStringList words{QLatin1String(command.name)};
    for (const Argument& arg : command.args)
        words.append(arg.optional ? u'[' + QLatin1String(arg.name) + u']'
                                  : QLatin1String(arg.name));
    QStringList options;
    for (const char* name : command.options) options.append(OptionText(OptionNamed(name)));
    if (command.oneOption) {
        words.append(u'(' + options.join(QStringLiteral(" | ")) + u')');
    } else {
        for (const QString& option : options) words.append(u'[' + option + u']');
    }
    if (command.json) words.append(QStringLiteral("[--json]"));
    return words.join(u' ');
}

QString UsageText() {
    QStringList lines{QStringLiteral("Uso:")};
    for (const Command& command : Commands()) {
        lines.append(QStringLiteral("  cfgtarascope-cli ") + Synopsis(command));
        lines.append(QStringLiteral("      ") + QString::fromUtf8(command.description));
    }
    lines.append(QStringLiteral("  cfgtarascope-cli --help | --version"));
    lines.append(QStringLiteral("Opciones:"));
    for (const Option& option : Options()) {
        const QString name =
            (option.shortName ? QStringLiteral("-%1, ").arg(option.shortName) : QString()) +
            OptionText(option);
        lines.append(QStringLiteral("  %1 %2%3")
                         .arg(name.leftJustified(22), QString::fromUtf8(option.description),
                              option.everyCommand ? QStringLiteral(" (toda orden)") : QString()));
    }
    lines.append(
        QStringLiteral("Un VALUE como -7 es un valor; otro que empiece por un guion va "
                       "tras --"));
    lines.append(QStringLiteral("CONN: HOST:PORT o serial:DEVICE:SPEED,PARITY,BITS"));
    return lines.join(u'\n');
}

}  // namespace cli

namespace {

QList<QCommandLineOption> ParserOptions() {
    QList<QCommandLineOption> options;
    for (const cli::Option& option : cli::Options()) {
        QStringList names{QLatin1String(option.name)};
        if (option.shortName) names.prepend(QString(QLatin1Char(option.shortName)));
        options.append({names, {}, option.value ? QLatin1String(option.value) : QString()});
    }
    return options;
}

}  // namespace

int RunCommandLine(const QStringList& args, std::FILE* out, std::FILE* err, const QString& folder) {
    CommandLine line(ParserOptions());
    if (const Request request = line.Parse(args); request != Request::Run) {
        QString fault;
        if (request == Request::Wrong) {
            const auto [wrong, typed] = line.WrongArgument();
            fault = wrong == CommandLine::Wrong::Unknown ? QStringLiteral("Opción desconocida: ")
                    : wrong == CommandLine::Wrong::MissingValue
                        ? QStringLiteral("Falta el valor de ")
                        : QStringLiteral("Opción sin valor: ");
            fault += typed;
        }
        return AnswerRequest(request, "cfgtarascope-cli", cli::UsageText(), fault, out, err);
    }
    Context c{out, err, folder, {}, line};
    // Taken by every command.
    c.history.record = !c.Given("no-history");
    if (c.Given("history")) {
        c.history.path = line.Value(QStringLiteral("history"));
        if (c.history.path.isEmpty())
            return Usage(err, QStringLiteral("Falta el valor de --history"));
    }
    const QStringList positional = line.Positional();
    if (positional.isEmpty()) return Usage(err, QStringLiteral("Falta la orden"));
    QString fault;
    const cli::Command* command = cli::Find(positional, &fault);
    if (!command) return Usage(err, fault);
    if (fault = cli::OptionFault(*command, c); !fault.isEmpty()) return Usage(err, fault);
    const QStringList given = positional.mid(QString::fromLatin1(command->name).count(u' ') + 1);
    const auto required = std::count_if(command->args.begin(), command->args.end(),
                                        [](const cli::Argument& a) { return !a.optional; });
    if (given.size() < required)
        return Usage(err, QStringLiteral("Falta el argumento ") +
                              QLatin1String(command->args[given.size()].name));
    if (given.size() > static_cast<qsizetype>(command->args.size()))
        return Usage(err, QStringLiteral("Sobra el argumento: ") + given[command->args.size()]);
    if (const int status = cli::CheckedArguments(*command, given, err); status != kExitOk)
        return status;
    return command->run(given, c);
}

}  // namespace cfg
