#include "cli/commands.h"

#include <functional>
#include <set>

#include "core/common/version.h"
#include "core/editing/clone.h"
#include "core/editing/programming.h"
#include "core/editing/sendall.h"
#include "core/files/configload.h"
#include "core/files/configsave.h"
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
    "  cfgtarascope-cli save CONN FILE [--scales N,N,...] [--no-common]\n"
    "  cfgtarascope-cli load CONN FILE [--dry-run] [--changes-only]\n"
    "  cfgtarascope-cli diff CONN FILE\n"
    "  cfgtarascope-cli clone CONN FROM TO[,TO...] [--dry-run]\n"
    "  cfgtarascope-cli set  CONN OWNER ID VALUE\n"
    "  cfgtarascope-cli history list [CONN]\n"
    "  cfgtarascope-cli history show ID\n"
    "  cfgtarascope-cli history diff ID [ID2]\n"
    "  cfgtarascope-cli history export ID FILE\n"
    "  cfgtarascope-cli history restore CONN ID [--dry-run] [--changes-only]\n"
    "  cfgtarascope-cli --help | --version\n"
    "Opciones de toda orden: --history FILE (otro historial), --no-history (no guardar nada)\n"
    "CONN: HOST:PORT o serial:DEVICE:SPEED,PARITY,BITS";

// What every command is given.
struct Context {
    std::FILE* out;
    std::FILE* err;
    QString folder;
    HistoryOption history;
};

int Usage(std::FILE* err, const QString& why = {}) {
    if (!why.isEmpty()) WriteLine(err, why);
    WriteLine(err, QString::fromUtf8(kUsage));
    return kExitUsage;
}

// Opens the session on a command line's connection: a text it cannot take is a usage error.
int Open(Session& session, const QString& conn, std::FILE* err) {
    const std::optional<LinkTarget> target = CommandLineLink(conn);
    if (!target) return Usage(err, QStringLiteral("Conexión no válida: ") + conn);
    return session.Open(target->linkType, target->connectionText);
}

// Takes the given flags out of `args`: which of them were there. Anything else starting with
// "--" is a usage error (an empty answer).
std::optional<std::set<QString>> TakeFlags(QStringList& args, const std::set<QString>& known) {
    std::set<QString> found;
    for (qsizetype i = args.size() - 1; i >= 0; --i) {
        if (!args[i].startsWith(u"--")) continue;
        if (!known.contains(args[i])) return std::nullopt;
        found.insert(args[i]);
        args.removeAt(i);
    }
    return found;
}

// The numbers of a comma-separated list of scales; nothing, and the usage said, when one is not a
// number.
std::optional<std::vector<int>> ScaleNumbers(const QString& list, std::FILE* err) {
    std::vector<int> numbers;
    for (const QString& part : list.split(u',')) {
        bool ok = false;
        numbers.push_back(part.trimmed().toInt(&ok));
        if (!ok) {
            Usage(err, QStringLiteral("Número de balanza no válido: ") + part);
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

int Read(const QStringList& args, const Context& c) {
    if (args.size() != 2) return Usage(c.err);
    Session session(c.err, c.folder, c.history);
    if (const int status = Open(session, args[1], c.err); status != kExitOk) return status;
    // One write for the whole tree: a flush per line cost more than the read itself.
    if (const QString tree = TreeText(session.model()); !tree.isEmpty()) WriteLine(c.out, tree);
    return session.Finish(kExitOk);
}

int Save(const QStringList& args, const Context& c) {
    std::FILE* const err = c.err;
    if (args.size() < 3) return Usage(err);
    bool common = true;
    std::optional<std::set<int>> wanted;
    for (qsizetype i = 3; i < args.size(); ++i) {
        if (args[i] == u"--no-common") {
            common = false;
        } else if (args[i] == u"--scales" && i + 1 < args.size()) {
            const std::optional<std::vector<int>> numbers = ScaleNumbers(args[++i], err);
            if (!numbers) return kExitUsage;
            wanted.emplace(numbers->begin(), numbers->end());
        } else {
            return Usage(err, QStringLiteral("Opción desconocida: ") + args[i]);
        }
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

int Load(QStringList args, const Context& c) {
    const auto flags = TakeFlags(args, {"--dry-run", "--changes-only"});
    if (!flags || args.size() != 3) return Usage(c.err);
    Session session(c.err, c.folder, c.history);
    if (const int status = Open(session, args[1], c.err); status != kExitOk) return status;
    if (const int status = session.Load(args[2], c.out); status != kExitOk)
        return session.Finish(status);
    if (flags->contains("--dry-run")) return session.Finish(kExitOk);
    return session.Finish(
        session.SendAll(flags->contains("--changes-only") ? SendScope::Changed : SendScope::All));
}

int Diff(const QStringList& args, const Context& c) {
    std::FILE* const out = c.out;
    std::FILE* const err = c.err;
    if (args.size() != 3) return Usage(err);
    Session session(err, c.folder, c.history);
    if (const int status = Open(session, args[1], err); status != kExitOk) return status;
    if (const int status = session.Load(args[2], nullptr); status != kExitOk)
        return session.Finish(status);
    const std::vector<ValueChange> changes = ChangedItems(session.model());
    if (changes.empty()) return session.Finish(kExitOk);
    WriteLine(out, DiffLines(changes));
    return session.Finish(kExitItems);
}

int Clone(QStringList args, const Context& c) {
    const auto flags = TakeFlags(args, {"--dry-run"});
    if (!flags || args.size() != 4) return Usage(c.err);
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
    if (const auto changes = CloneScale(session.model(), from->front(), *to); !changes.empty())
        WriteLine(c.out, DiffLines(changes));
    if (flags->contains("--dry-run")) return session.Finish(kExitOk);
    return session.Finish(session.SendAll(SendScope::Changed));
}

int Set(const QStringList& args, const Context& c) {
    std::FILE* const out = c.out;
    std::FILE* const err = c.err;
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
    if (result.outcome != ItemProgrammer::Outcome::Accepted) return session.Finish(kExitItems);
    session.Programmed();
    WriteLine(out, session.model().NodeText(session.model().Items()[result.row].key));
    return session.Finish(kExitOk);
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
            if (const QString notice = store_.TakeNotice(); !notice.isEmpty())
                WriteLine(c_.err, notice);
            return true;
        }
        WriteLine(c_.err, QStringLiteral("Historial no disponible (%1): %2").arg(path, error));
        return false;
    }

    // The snapshot `text` names into `model`: kExitOk, or the status to end with.
    int Load(const QString& text, ConfigModel& model, SnapshotInfo* info = nullptr) {
        const std::optional<qint64> id = SnapshotId(text);
        QString error;
        const std::optional<SnapshotInfo> found =
            id ? store_.Load(*id, model, &error) : std::nullopt;
        if (found) {
            if (info) *info = *found;
            return kExitOk;
        }
        if (!error.isEmpty()) {
            WriteLine(c_.err, QStringLiteral("Historial: ") + error);
            return kExitFile;
        }
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
        if (!infos) {
            WriteLine(c_.err, QStringLiteral("Historial: ") + error);
            return kExitFile;
        }
        QStringList lines;
        for (const SnapshotInfo& i : *infos)
            lines.append(QStringList{QString::number(i.id), i.time.toString(Qt::ISODate),
                                     CauseName(i.cause), i.connection, QString::number(i.scales),
                                     QString::number(i.known)}
                             .join(u'\t'));
        if (!lines.isEmpty()) WriteLine(c_.out, lines.join(u'\n'));
        return kExitOk;
    }

    int Show(const QString& id) {
        ConfigModel model;
        if (const int status = Load(id, model); status != kExitOk) return status;
        if (const QString tree = TreeText(model); !tree.isEmpty()) WriteLine(c_.out, tree);
        return kExitOk;
    }

    int Diff(const QStringList& args) {
        ConfigModel a, b;
        SnapshotInfo info;
        if (const int status = Load(args[0], a, &info); status != kExitOk) return status;
        QString second = args.value(1);
        if (second.isEmpty()) {
            QString error;
            const auto latest = store_.Latest(info.connection, &error);
            if (!latest) {
                WriteLine(c_.err, QStringLiteral("Historial: ") + error);
                return kExitFile;
            }
            second = QString::number(latest->id);
        }
        if (const int status = Load(second, b); status != kExitOk) return status;
        const std::vector<ValueChange> changes = CompareValues(a, b);
        if (changes.empty()) return kExitOk;
        WriteLine(c_.out, DiffLines(changes));
        return kExitItems;
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

    int Restore(QStringList args) {
        const auto flags = TakeFlags(args, {"--dry-run", "--changes-only"});
        if (!flags || args.size() != 2) return Usage(c_.err);
        if (!CommandLineLink(args[0]))
            return Usage(c_.err, QStringLiteral("Conexión no válida: ") + args[0]);
        if (!Open()) return kExitFile;
        ConfigModel snapshot;
        if (const int status = Load(args[1], snapshot); status != kExitOk) return status;

        Session session(c_.err, c_.folder, c_.history);
        if (const int status = cfg::Open(session, args[0], c_.err); status != kExitOk)
            return status;
        if (const auto changes = RestoreValues(session.model(), snapshot); !changes.empty())
            WriteLine(c_.out, DiffLines(changes));
        if (flags->contains("--dry-run")) return session.Finish(kExitOk);
        return session.Finish(session.SendAll(flags->contains("--changes-only") ? SendScope::Changed
                                                                                : SendScope::All));
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

int RunCommandLine(QStringList args, std::FILE* out, std::FILE* err, const QString& folder) {
    Context c{out, err, folder, {}};
    // Taken by every command, wherever they stand.
    for (qsizetype i = 0; i < args.size();) {
        if (args[i] == u"--no-history") {
            c.history.record = false;
            args.removeAt(i);
        } else if (args[i] == u"--history") {
            if (i + 1 >= args.size() || args[i + 1].isEmpty()) return Usage(err);
            c.history.path = args[i + 1];
            args.remove(i, 2);
        } else {
            ++i;
        }
    }
    if (args.isEmpty()) return Usage(err);
    const QString& command = args[0];
    if (args == QStringList{QStringLiteral("--help")}) {
        WriteLine(out, QString::fromUtf8(kUsage));
        return kExitOk;
    }
    if (args == QStringList{QStringLiteral("--version")}) {
        WriteLine(out, QStringLiteral("cfgtarascope-cli ") + QLatin1String(kVersion));
        return kExitOk;
    }
    if (command == u"read") return Read(args, c);
    if (command == u"save") return Save(args, c);
    if (command == u"load") return Load(args, c);
    if (command == u"diff") return Diff(args, c);
    if (command == u"clone") return Clone(args, c);
    if (command == u"set") return Set(args, c);
    if (command == u"history") return HistoryCommand(c).Run(args);
    return Usage(err, QStringLiteral("Orden desconocida: ") + command);
}

}  // namespace cfg
