#include "cli/commands.h"

#include <functional>
#include <set>

#include "core/editing/programming.h"
#include "core/editing/sendall.h"
#include "core/files/configload.h"
#include "core/files/configsave.h"
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
    "  cfgtarascope-cli load CONN FILE [--dry-run]\n"
    "  cfgtarascope-cli diff CONN FILE\n"
    "  cfgtarascope-cli set  CONN OWNER ID VALUE\n"
    "CONN: HOST:PORT o serial:DEVICE:SPEED,PARITY,BITS";

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

int Read(const QStringList& args, std::FILE* out, std::FILE* err, const QString& folder) {
    if (args.size() != 2) return Usage(err);
    Session session(err, folder);
    if (const int status = Open(session, args[1], err); status != kExitOk) return status;
    // One write for the whole tree: a flush per line cost more than the read itself.
    if (const QString tree = TreeText(session.model()); !tree.isEmpty()) WriteLine(out, tree);
    return session.Finish(kExitOk);
}

int Save(const QStringList& args, std::FILE* err, const QString& folder) {
    if (args.size() < 3) return Usage(err);
    bool common = true;
    std::optional<std::set<int>> wanted;
    for (qsizetype i = 3; i < args.size(); ++i) {
        if (args[i] == u"--no-common") {
            common = false;
        } else if (args[i] == u"--scales" && i + 1 < args.size()) {
            wanted.emplace();
            for (const QString& part : args[++i].split(u',')) {
                bool ok = false;
                const int number = part.trimmed().toInt(&ok);
                if (!ok) return Usage(err, QStringLiteral("Número de balanza no válido: ") + part);
                wanted->insert(number);
            }
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

    Session session(err, folder);
    if (const int status = Open(session, args[1], err); status != kExitOk) return status;

    // As the save window offers them: the scales of the tree, in its order.
    std::vector<int> scales = ScalesInTree(session.model());
    if (wanted) {
        for (int number : *wanted) {
            if (std::find(scales.begin(), scales.end(), number) == scales.end()) {
                WriteLine(err, QStringLiteral("La balanza %1 no está en la red").arg(number));
                return session.Finish(kExitUsage);
            }
        }
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

int Load(const QStringList& args, std::FILE* out, std::FILE* err, const QString& folder) {
    const bool dryRun = args.size() == 4 && args[3] == u"--dry-run";
    if (args.size() != 3 && !dryRun) return Usage(err);
    Session session(err, folder);
    if (const int status = Open(session, args[1], err); status != kExitOk) return status;
    if (const int status = session.Load(args[2], out); status != kExitOk)
        return session.Finish(status);
    return session.Finish(dryRun ? kExitOk : session.SendAll());
}

int Diff(const QStringList& args, std::FILE* out, std::FILE* err, const QString& folder) {
    if (args.size() != 3) return Usage(err);
    Session session(err, folder);
    if (const int status = Open(session, args[1], err); status != kExitOk) return status;
    QStringList before;
    for (const ItemRow& item : session.model().Items()) before.append(item.value);
    if (const int status = session.Load(args[2], nullptr); status != kExitOk)
        return session.Finish(status);
    QStringList rows;
    const auto& items = session.model().Items();
    for (qsizetype row = 0; row < before.size(); ++row) {
        const ItemRow& item = items[row];
        if (!Changed(item)) continue;
        rows.append(QStringList{QString::number(item.owner), QString::number(item.id), item.text,
                                before[row], item.value}
                        .join(u'\t'));
    }
    if (rows.isEmpty()) return session.Finish(kExitOk);
    WriteLine(out, rows.join(u'\n'));
    return session.Finish(kExitItems);
}

int Set(const QStringList& args, std::FILE* out, std::FILE* err, const QString& folder) {
    if (args.size() != 5) return Usage(err);
    bool ownerOk = false, idOk = false;
    const int owner = args[2].toInt(&ownerOk);
    const int id = args[3].toInt(&idOk);
    if (!ownerOk || !idOk) return Usage(err, QStringLiteral("OWNER e ID son números"));
    Session session(err, folder);
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
    WriteLine(out, session.model().NodeText(session.model().Items()[result.row].key));
    return session.Finish(kExitOk);
}

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
    if (args.isEmpty()) return Usage(err);
    const QString& command = args[0];
    if (command == u"read") return Read(args, out, err, folder);
    if (command == u"save") return Save(args, err, folder);
    if (command == u"load") return Load(args, out, err, folder);
    if (command == u"diff") return Diff(args, out, err, folder);
    if (command == u"set") return Set(args, out, err, folder);
    return Usage(err, QStringLiteral("Orden desconocida: ") + command);
}

}  // namespace cfg
