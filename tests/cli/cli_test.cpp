// The headless front ends against a simulated network on loopback: the command-line tool
// in-process, and the programs themselves with no display. Each run has a program folder of its
// own, where the logs go.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>

#include "cli/commands.h"
#include "sim/simtestsupport.h"
#include "support/testsupport.h"

namespace cfg {
namespace {

using cfgtest::ReadAll;

struct CliRun {
    int status = -1;
    QStringList out;
    QString err;
};

QString Drain(std::FILE* file) {  // from its start, then closed
    std::rewind(file);
    QFile in;
    in.open(file, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    return QString::fromUtf8(in.readAll());
}

class CliTest : public ::testing::Test {
  protected:
    void Serve(sim::Network network = sim::DefaultNetwork(), sim::FaultOptions faults = {}) {
        const quint16 port = served ? served->server.port() : 0;
        served.reset();
        served = std::make_unique<simtest::Served>(std::move(network), std::move(faults), port);
        conn = served->Address();
    }
    CliRun Cli(const QStringList& args) {
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        CliRun run;
        run.status = RunCommandLine(args, out, err, dir.path());
        const QString text = Drain(out);
        run.out =
            text.isEmpty() ? QStringList() : text.chopped(text.endsWith('\n') ? 1 : 0).split('\n');
        run.err = Drain(err);
        return run;
    }
    QList<QByteArray> Writes() const { return served->Writes(); }
    QString File(const QString& name) const { return dir.filePath(name); }
    // Runs a program from a link in the program folder, as if installed there.
    int Start(const QString& program, const QStringList& args, QByteArray* out = nullptr) {
        const QString installed = File(QFileInfo(program).fileName());
        if (!QFile::exists(installed) &&
            ::link(program.toLocal8Bit().constData(), installed.toLocal8Bit().constData()) != 0)
            QFile::copy(program, installed);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(installed, args);
        if (!process.waitForFinished(60000)) return -1;
        if (out) *out = process.readAllStandardOutput();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    }

    QTemporaryDir dir;
    std::unique_ptr<simtest::Served> served;
    QString conn;
};

TEST(ExitStatus, TheFirstOf3425And1) {
    const int cases[][3] = {{kExitOk, kExitOk, kExitOk},
                            {kExitItems, kExitOk, kExitItems},
                            {kExitItems, kExitPartial, kExitPartial},
                            {kExitUsage, kExitPartial, kExitUsage},
                            {kExitUsage, kExitFile, kExitFile},
                            {kExitFile, kExitNetwork, kExitNetwork}};
    for (const auto& c : cases) {
        EXPECT_EQ(WorstStatus(c[0], c[1]), c[2]) << c[0] << " " << c[1];
        EXPECT_EQ(WorstStatus(c[1], c[0]), c[2]) << c[1] << " " << c[0];
    }
}

// What each command ends with: its words (CONN the network, NAME.xml a file saved from it),
// status, a line of its stderr ("^": the first, "=": all of it; ADDR the network's address, DIR
// the run's folder), and the faults of the network
// served for it.
struct StatusCase {
    const char* args;
    int status;
    const char* err = "";
    sim::FaultOptions faults = {};
};
class CliStatus : public CliTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(CliStatus, IsTheFirstThatApplies) {
    sim::Network network = sim::DefaultNetwork();  // without the grouped items: sent 200 ms apart
    for (QList<sim::Record>* records : {&network.system, &network.shared})
        records->removeIf([](const sim::Record& r) { return sim::IsGroupId(r.id); });
    for (sim::Scale& scale : network.scales)
        scale.values.removeIf([](auto value) { return sim::IsGroupId(value.key()); });
    Serve(network);
    ASSERT_EQ(Cli({"save", conn, File("red.xml")}).status, kExitOk);
    cfgtest::WriteAll(File("bad.xml"), "not a configuration <TARASCOPE>");
    cfgtest::WriteAll(File("other.xml"), "<OTHER/>");
    cfgtest::WriteAll(File("cut.xml"), ReadAll(File("red.xml")).left(3000));
    Serve(network, GetParam().faults);
    QStringList args = QString::fromUtf8(GetParam().args).split('|');
    args.replaceInStrings("CONN", conn)
        .replaceInStrings(QRegularExpression("^(\\w+\\.xml)$"), File("\\1"))
        .replaceInStrings(QRegularExpression("^DIR"), dir.path());
    const CliRun run = Cli(args);
    EXPECT_EQ(run.status, GetParam().status) << run.err.toStdString();
    const QString err =
        QString::fromUtf8(GetParam().err).replace("ADDR", conn).replace("DIR", dir.path());
    const bool said = err.startsWith('^')   ? run.err.startsWith(err.mid(1))
                      : err.startsWith('=') ? run.err == err.mid(1)
                                            : run.err.contains(err);
    EXPECT_TRUE(said) << run.err.toStdString();
    // A usage error is said, never half done.
    EXPECT_TRUE(run.status != kExitUsage || (run.out.isEmpty() && Writes().isEmpty()));
}

// The network is answered, then nothing more whatever the connection: a retry cannot help.
const sim::FaultOptions kDrop1{.shortAfter = 1, .refusedIds = {}}, kRefuse20{.refusedIds = {20}};
const StatusCase kStatusCases[] = {
    // What is wrong, said first: commands, arguments, options.
    {"read", kExitUsage, "^Falta el argumento CONN\nUso:"},
    {"load|CONN", kExitUsage, "^Falta el argumento FILE\n"},
    {"read|CONN|extra", kExitUsage, "^Sobra el argumento: extra\n"},
    {"bogus|CONN", kExitUsage, "^Orden desconocida: bogus\n"},
    {"history", kExitUsage, "^Falta la suborden de history\n"},
    {"history|lst", kExitUsage, "^Suborden desconocida de history: lst\n"},
    {"read|CONN|-foo", kExitUsage, "^Opción desconocida: -foo\n"},
    {"save|h:1|f.xml|--scales", kExitUsage, "^Falta el valor de --scales\n"},
    {"read|CONN|--json=1", kExitUsage, "^Opción sin valor: --json=1\n"},
    // A CONN that is no connection text: one line, before any file or link.
    {"read|127.0.0.1", kExitUsage, "=CONN no válido (puerto): falta «:PUERTO» tras la dirección\n"},
    {"read|127.0.0.1:65536", kExitUsage, "=CONN no válido (puerto): ha de ser de 1 a 65535\n"},
    {"read|1.2.3.4:0", kExitUsage, "^CONN no válido (puerto)"},
    {"read|1.2.3.256:5", kExitUsage, "^CONN no válido (dirección): no es una dirección IPv4"},
    {"read|:5", kExitUsage, "^CONN no válido (dirección)"},
    {"read|0x7f.1:5", kExitUsage, "^CONN no válido (dirección): no es un nombre de host"},
    {"history|list|h", kExitUsage, "^CONN no válido (puerto)"},
    {"read|serial:/dev/null", kExitUsage, "^CONN no válido (velocidad)"},
    {"read|serial::9600,N,8", kExitUsage, "^CONN no válido (dispositivo)"},
    {"read|serial:/dev/x:0,N,8", kExitUsage, "^CONN no válido (velocidad)"},
    {"read|serial:/dev/x:9600,X,8", kExitUsage, "^CONN no válido (paridad)"},
    {"read|serial:/dev/x:9600,e,6", kExitUsage, "^CONN no válido (bits)"},
    {"read|serial:/dev/x:9600,e,8,1", kExitUsage, "^CONN no válido (bits)"},
    // Files before the link, each named: 4 before 2.
    {"diff|CONN|missing.xml", kExitFile, "=DIR/missing.xml: el fichero no existe\n"},
    {"load|CONN|DIR", kExitFile, "=DIR: es una carpeta\n"},
    {"save|CONN|DIR", kExitFile, "=DIR: es una carpeta\n"},
    {"save|CONN|DIR/no/c.xml", kExitFile, "=DIR/no/c.xml: la carpeta no existe\n"},
    {"history|export|1|DIR/no/c.xml", kExitFile, "^DIR/no/c.xml: la carpeta no"},
    {"load|:1|missing.xml", kExitFile,
     "=DIR/missing.xml: el fichero no existe\nCONN no válido (dirección): falta la dirección "
     "antes de «:»\n"},
    // A well-formed CONN not reached: where, and what happened.
    {"read|127.0.0.1:1:00", kExitNetwork,
     "^Error al conectar con la balanza: 127.0.0.1:1: conexión rechazada\n"},
    {"read|serial:/dev/nonexistent:9600,e,8", kExitNetwork,
     "^Error al conectar con la balanza: /dev/nonexistent: no existe\n"},
    {"read|CONN|-q",
     kExitNetwork,
     "=Error de comunicaciones con ADDR: sin respuesta en 3 s\n",
     {.silentAfter = 0, .refusedIds = {}}},
    // The network is read, then the line drops: the system's structure cannot be read.
    {"read|CONN", kExitNetwork, "Error de comunicaciones con ADDR: ", kDrop1},
    {"save|CONN|red.xml|--scales|5", kExitUsage},
    {"load|CONN|bad.xml", kExitFile, "Error de acceso al fichero, o no es un fichero"},
    {"load|CONN|red.xml", kExitItems,
     "Item sistema : 20 (Nombre comercio): rechazado: No se puede programar", kRefuse20},
    {"diff|CONN|other.xml", kExitFile, "no contiene datos de configuración"},
    // A file the load would refuse, refused before the link (the address answers nothing).
    {"diff|127.0.0.1:1|cut.xml", kExitFile,
     "=Error de acceso al fichero, o no es un fichero con estructura válida\n"},
    {"load|CONN|cut.xml|--dry-run", kExitFile, "no es un fichero con estructura"},
    {"diff|CONN|red.xml", kExitOk},
    {"set|CONN|0|12|99999", kExitItems,
     "La balanza no acepta la programación de este Item con el valor indicado.\nDatos erróneos"},
    {"set|CONN|0|35|1", kExitItems},  // read-only
    {"set|CONN|0|15|31/02/25", kExitItems, "Introduzca las fechas en formato dd/mm/yy"},
    {"set|CONN|0|999|1", kExitUsage},
    // A scale the network lacks, or no number, sends nothing.
    {"clone|CONN|5|2", kExitUsage, "La balanza 5 no está en la red"},
    {"clone|CONN|1|2,5", kExitUsage, "La balanza 5 no está en la red"},
    {"clone|CONN|x|2", kExitUsage, "^Número de balanza no válido: x"},
    {"clone|CONN|1|2,x", kExitUsage, "^Número de balanza no válido: x"},
    {"clone|CONN|1|2|--menus|99", kExitUsage, "La balanza 1 no tiene el menú 99"},
    {"clone|CONN|1|2|--items|10,999", kExitUsage, "La balanza 1 no tiene el item 999"},
    {"clone|CONN|1|2|--items|122", kExitUsage, "El item 122 de la balanza 1 es de solo lectura"},
    {"clone|CONN|1|2|--items|1x", kExitUsage, "^ID no válido en --items: 1x"},
    {"history|show|9", kExitUsage},
    {"history|diff|1|9", kExitUsage},
    {"history|export|0|x.xml", kExitUsage},
    {"history|restore|CONN|abc", kExitUsage},
    {"read|CONN|--history|/nonexistent/h.db", kExitOk, "Historial no disponible"},
    {"history|list|--history|/nonexistent/h.db", kExitFile},
    // Options go with the commands that take them.
    {"save|h:1|f.xml|--dry-run", kExitUsage, "^Opción no válida para esta orden: --dry-run"},
    {"read|h:1|--dry-run", kExitUsage, "^Opción no válida para esta orden: --dry-run"},
    {"history|export|1|f.xml|--json", kExitUsage, "^Opción no válida para esta orden"},
    {"ports|--json", kExitUsage, "^Opción no válida para esta orden: --json"},
    {"read|h:1|--bogus", kExitUsage, "^Opción desconocida: --bogus"},
    {"set|h:1|0|20|-x", kExitUsage, "^Opción desconocida: -x"},
    {"history|prune", kExitUsage, "^history prune: una y solo una de --keep N o --before YYYY"},
    {"history|prune|--keep|1|--before|2026-01-01", kExitUsage, "^history prune: una y solo"},
    {"history|prune|--keep|0", kExitUsage, "^--keep: un número de 1 en adelante"},
    {"history|prune|--before|2026-02-30", kExitUsage, "^--before: una fecha YYYY-MM-DD"},
    // Quiet: failures, refusals and what was not done only.
    {"read|CONN|-q", kExitOk, "="},
    {"save|CONN|new.xml|--quiet", kExitOk, "="},
    {"load|CONN|red.xml|-q", kExitItems,
     "=Item sistema : 20 (Nombre comercio): rechazado: No se puede programar\n", kRefuse20},
};
INSTANTIATE_TEST_SUITE_P(Commands, CliStatus, ::testing::ValuesIn(kStatusCases),
                         [](const auto& test) {
                             return cfgtest::CaseName(test.index, test.param.args);
                         });

// The tree as read prints it, in tree order and in UTF-8, however much larger than what is written
// at a time: lines of 50 to 70,000 bytes, the longest alone larger than that.
TEST(ReadTree, IsEveryNodeALineInTreeOrder) {
    ConfigModel model;
    QByteArray expected;
    const auto add = [&](const QString& parent, const QString& key, const QString& text,
                         int depth) {
        ASSERT_GE(model.AddNode(parent, key, text, "valor", NodeKind::SystemItem), 0);
        expected += QByteArray(depth * 2, ' ') + text.toUtf8() + '\n';
    };
    add({}, "Red", "Red", 0);
    for (int n = 0; n < 3000; ++n) {
        const QString key = QString("m%1").arg(n);
        add("Red", key, QString("Menú %1 ").arg(n) + QString(n % 997 == 5 ? 35000 : 40, u'ñ'), 1);
        add(key, key + "i", QString("Opción %1 = €").arg(n), 2);
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::tmpfile(), &std::fclose);
    WriteTree(model, file.get());
    std::rewind(file.get());
    QByteArray written(expected.size() + 1, '\0');
    written.resize(static_cast<qsizetype>(
        std::fread(written.data(), 1, static_cast<std::size_t>(written.size()), file.get())));
    EXPECT_EQ(written.size(), expected.size());
    EXPECT_TRUE(written == expected);
}

// The man page's synopsis is the command table's: every command, its arguments and options.
TEST(CommandTable, IsTheManPagesSynopsis) {
    const QString man = QString::fromUtf8(ReadAll(CFG_CLI_MAN_PAGE));
    QStringList synopsis, table;
    for (QString line : man.section(".SH SYNOPSIS\n.nf\n", 1).section("\n.fi", 0, 0).split('\n'))
        if (line.contains("[\\fIOPTIONS\\fR] "))
            synopsis.append(line.remove(QRegularExpression("\\\\f[BIR]"))
                                .replace("\\-", "-")
                                .section("[OPTIONS] ", 1));
    for (const cli::Command& command : cli::Commands()) table.append(cli::Synopsis(command));
    EXPECT_EQ(synopsis, table);
}

// A read that leaves owners unread ends every command with 5, each owner named on stderr,
// whatever the command did with the rest; save still writes its file and says what it lacks.
TEST_F(CliTest, APartialReadIsNeverSuccess) {
    Serve();
    ASSERT_EQ(Cli({"save", conn, File("red.xml")}).status, kExitOk);
    const QList<QByteArray> requests = served->engine.Requests();
    // The index of the n-th request to a destination (two bytes) with a function code.
    const auto nth = [&](const char* destination, int function, int n) {
        for (int i = 0; i < requests.size(); ++i)
            if (requests[i].mid(2, 2) == QByteArray(destination, 2) &&
                requests[i][10] == function && n-- == 0)
                return i;
        return -1;
    };
    // Every reply cut short from a request on, whatever the connection (a retry cannot help), or
    // scale 2's values never read.
    const auto after = [](int n) { return sim::FaultOptions{.shortAfter = n, .refusedIds = {}}; };
    const sim::FaultOptions scale2{.unreadableScales = {2}, .refusedIds = {}};
    const std::pair<sim::FaultOptions, QStringList> faults[] = {
        {after(nth("\x00\x00", 0x00, 1)), {"valores del sistema", "balanza 1", "balanza 7"}},
        {after(nth("\x20\x00", 0x02, 0)), {"balanza 1 (estructura)"}},
        {scale2, {"balanza 2 (valores)"}}};
    for (const auto& [fault, unread] : faults) {
        for (QStringList args : {QStringList{"read", "CONN"},
                                 {"save", "CONN", File("partial.xml")},
                                 {"load", "CONN", File("red.xml"), "--dry-run"},
                                 {"diff", "CONN", File("red.xml")},
                                 {"set", "CONN", "0", "12", "3"}}) {
            Serve(sim::DefaultNetwork(), fault);
            const CliRun run = Cli(args.replaceInStrings("CONN", conn));
            EXPECT_EQ(run.status, kExitPartial) << unread[0].toStdString() << args[0].toStdString();
            for (const QString& owner : unread)
                EXPECT_TRUE(run.err.contains("Lectura incompleta, sin leer: " + owner + "\n"))
                    << run.err.toStdString();
        }
    }
    // The first partial save wrote its new file; an existing one is kept whole, unless forced.
    ASSERT_TRUE(QFile::exists(File("partial.xml")));
    QFile::copy(File("red.xml"), File("backup.xml"));
    const CliRun kept = Cli({"save", conn, File("backup.xml")});
    EXPECT_TRUE(kept.status == kExitPartial &&
                kept.err.contains("no se sobrescribe el fichero " + File("backup.xml")));
    EXPECT_EQ(ReadAll(File("backup.xml")), ReadAll(File("red.xml")));
    const CliRun forced = Cli({"save", conn, File("backup.xml"), "--allow-partial"});
    EXPECT_TRUE(forced.status == kExitPartial &&
                forced.err.contains("Fichero incompleto, sin datos de: balanza 2 (valores)"));
    EXPECT_LT(ReadAll(File("backup.xml")).size(), ReadAll(File("red.xml")).size());
    EXPECT_TRUE(
        Cli({"read", conn}).out.contains("        Vendedores"));  // scale 2's items, without values
    EXPECT_TRUE(ReadAll(File("nlog.txt")).contains("Lectura incompleta, sin leer: balanza 2"));

    // A scale numbered 0 would be read as the system a second time: it is not read.
    sim::Network network = sim::DefaultNetwork();
    network.scales[1].number = 0;
    Serve(network);
    const CliRun zero = Cli({"read", conn});
    EXPECT_EQ(zero.status, kExitPartial);
    EXPECT_TRUE(zero.err.contains("Lectura incompleta, sin leer: balanza 0 (número no válido)"));
    EXPECT_EQ(zero.out.filter(QRegularExpression("^    Balanza ")).size(), 3);
    EXPECT_EQ(zero.out.count("  Datos Comunes"), 1);
}

// Read, save, load and send: the tree as printed, the file as chosen, every item written
// once, the grouped ones twice in a row, and the scales hold exactly what they held, down to the
// bytes no text stands for.
TEST_F(CliTest, ReadSaveDiffLoadAndSendChangeNothing) {
    sim::Network network = sim::DefaultNetwork();
    for (sim::Record& record : network.system) {
        if (record.id == 21) record.value.bytes = QByteArray("C/ Mayor, 13 \xB3|\x01-<(2)");
        if (record.id == 30) record.value.number = 3001;  // 1500.5: no write puts it back
    }
    Serve(network);
    const CliRun read = Cli({"read", conn});
    const QStringList& tree = read.out;
    EXPECT_EQ(tree.mid(0, 3), (QStringList{"Red", "  Operativa Balanzas",
                                           "    Balanza 1.Mostrador : 1.MAC : 0A1B2C3D4E"}));
    for (const char* line :
         {"        Despl vertical = -5", "  Datos Comunes",
          "      Modo de red = (No seleccionable)", "      Direcci\u00F3n = C/ Mayor  13 |     2 "})
        EXPECT_TRUE(tree.contains(QString::fromUtf8(line))) << line;
    // Menus of the other kind of owner, and what follows the marker, are passed over.
    EXPECT_FALSE(tree.join('\n').contains("Menú balanza") ||
                 tree.join('\n').contains("Red de sistema"));
    EXPECT_TRUE(read.err.contains("Leyendo Datos Equipo 7"));

    ASSERT_EQ(Cli({"save", conn, File("red.xml")}).status, kExitOk);
    const QByteArray saved = ReadAll(File("red.xml"));
    EXPECT_TRUE(saved.startsWith(
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\r\n<TARASCOPE>\r\n    <COMMON>\r\n"));
    EXPECT_TRUE(saved.contains("<VALUE> ~Mercado Central~ </VALUE>"));  // a grouped item's spaces
    EXPECT_TRUE(saved.contains("<VALUE> C/ Mayor, 13 || - (2) </VALUE>"));
    ASSERT_EQ(Cli({"save", conn, File("a.xml"), "--scales", "7,2", "--no-common"}).status, kExitOk);
    const QByteArray some = ReadAll(File("a.xml"));
    EXPECT_FALSE(some.contains("<COMMON>") || some.contains("<SCALE number=\"1\">"));
    EXPECT_LT(some.indexOf("<SCALE number=\"2\">"), some.indexOf("<SCALE number=\"7\">"));

    const CliRun dry = Cli({"load", conn, File("red.xml"), "--dry-run"});
    EXPECT_EQ(dry.status, kExitOk);
    // Only the enumeration without options and the number no write puts back are turned away.
    EXPECT_EQ(dry.out.filter("Ignorando"),
              (QStringList{"Ignorando item 14 con valor incompatible",
                           "Ignorando item 30 con valor incompatible"}));
    EXPECT_EQ(dry.out.last(), "****Proceso finalizado");
    EXPECT_TRUE(Writes().isEmpty());
    EXPECT_EQ(Cli({"load", conn, File("red.xml")}).status, kExitOk);
    EXPECT_EQ(served->engine.network(), network);
    EXPECT_EQ(Cli({"read", conn}).out, tree);
    int grouped = 0;
    const QList<QByteArray> writes = Writes();
    for (int i = 0; i < writes.size(); ++i) {
        EXPECT_EQ(writes[i].mid(11, 2), QByteArray("\x01\x00", 2));
        const int id = uchar(writes[i][13]) | uchar(writes[i][14]) << 8;
        const bool twice = (i + 1 < writes.size() && writes[i + 1] == writes[i]) ||
                           (i > 0 && writes[i - 1] == writes[i]);
        EXPECT_EQ(twice, id >= 152 && id <= 157) << id;
        grouped += twice ? 1 : 0;
    }
    EXPECT_EQ(grouped, 4 * 6 * 2);
}

// What the network held, run after run: listed, shown as `read` printed it, compared, exported
// as `save` wrote it, and put back exactly, sending only what differs; another shop behind the
// same address is another network, restored from only when forced; a damaged snapshot refused.
// A history that cannot be opened never stops a command (see the status table).
TEST_F(CliTest, HistoryListsShowsComparesExportsAndRestores) {
    Serve();
    const CliRun read = Cli({"read", conn});
    ASSERT_EQ(Cli({"save", conn, File("red.xml")}).status, kExitOk);
    // A grouped item set: its node as read back; the diff and the restore find it on the scale.
    ASSERT_EQ(Cli({"set", conn, "3", "153", "Puesto 77"}).out, QStringList{"Línea 2 = Puesto 77"});
    EXPECT_EQ(Cli({"read", conn, "--no-history"}).status, kExitOk);
    // The same link however it is typed.
    const QString typed = QString(conn).replace("127.0.0.1", "127.000.0.01");
    const CliRun list = Cli({"history", "list", typed});
    ASSERT_EQ(list.out.size(), 2);  // read, set: the reads that found nothing new add nothing
    const QRegularExpression line(
        QString("^2\t\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ\tset\t%1\t4\t%2\t4a7a8e83bc10$")
            .arg(QRegularExpression::escape(conn), list.out[0].section('\t', 5, 5)));
    EXPECT_TRUE(line.match(list.out[1]).hasMatch()) << list.out[1].toStdString();
    EXPECT_EQ(Cli({"history", "show", "1"}).out, read.out);
    EXPECT_EQ(Cli({"history", "export", "1", File("again.xml")}).status, kExitOk);
    EXPECT_EQ(ReadAll(File("again.xml")), ReadAll(File("red.xml")));
    const CliRun diff = Cli({"history", "diff", "1"});
    EXPECT_EQ(diff.status, kExitItems);
    EXPECT_EQ(diff.out, QStringList{"3\t153\tLínea 2\tPuesto 3\tPuesto 77"});
    EXPECT_EQ(Cli({"history", "diff", "2"}).status, kExitOk);

    served->engine.ClearRequests();
    const CliRun restore = Cli({"history", "restore", conn, "1", "--changes-only"});
    EXPECT_EQ(restore.status, kExitOk);
    EXPECT_EQ(restore.out, QStringList{"3\t153\tLínea 2\tPuesto 77\tPuesto 3"});
    EXPECT_EQ(Writes().size(), 2);  // a grouped item, sent twice
    EXPECT_EQ(served->engine.network(), sim::DefaultNetwork());

    sim::Network other = sim::DefaultNetwork();
    other.scales.pop_back();
    Serve(other);
    ASSERT_EQ(Cli({"read", conn}).status, kExitOk);
    EXPECT_EQ(Cli({"history", "list"}).out.last().section('\t', 6), "33a0e4257e6b");
    EXPECT_EQ(Cli({"history", "diff", "1"}).status, kExitOk);  // with the send, not this read
    const CliRun refused = Cli({"history", "restore", conn, "2"});
    EXPECT_TRUE(refused.status == kExitUsage && refused.out.isEmpty() && Writes().isEmpty());
    EXPECT_TRUE(refused.err.split('\n').contains(
        "La instantánea 2 es de otra red (4a7a8e83bc10); la red leída es 33a0e4257e6b. Nada "
        "restaurado (--force para restaurarla)"));
    EXPECT_EQ(Cli({"history", "restore", conn, "2", "--force", "--changes-only"}).out,
              QStringList{"3\t153\tLínea 2\tPuesto 3\tPuesto 77"});
    ASSERT_EQ(Cli({"clone", conn, "1", "2"}).status, kExitOk);
    const QString sends = Cli({"history", "list", "--json"}).out.value(0);  // 3, 5 and 6
    EXPECT_TRUE(sends.count("\"send\":\"restore\"") == 2 && sends.contains("\"send\":\"clone\""));
    EXPECT_EQ(Cli({"history", "prune", "--keep", "1"}).out, QStringList{"4"});  // 1, 2, 4 and 5

    // Snapshot 6 with a part claiming 4 GiB: refused by every command, and the database kept.
    const QString db = File("history.db");
    cfgtest::Sql(db,
                 "UPDATE part SET data = x'fffffff0' || substr(data, 5) WHERE hash = "
                 "(SELECT substr(manifest, 1, 20) FROM snapshot WHERE id = 6)");
    for (const QString& args :
         QStringList{"show 6", "diff 6", "export 6 " + File("x.xml"), "restore " + conn + " 6"}) {
        const CliRun run = Cli(("history " + args).split(' '));
        EXPECT_EQ(QString::number(run.status) + run.err, "4Historial: instantánea 6 dañada\n")
            << args.toStdString();
    }
    EXPECT_TRUE(Cli({"history", "list"}).out.size() == 2 && !QFile::exists(db + ".damaged"));
    EXPECT_TRUE(Writes().size() == 7 && !QFile::exists(File("x.xml")));  // 2 restored, 5 cloned

    // A file that is no database at all is moved aside too, and a new history started.
    cfgtest::WriteAll(db, QByteArray(4096, 'x'));
    EXPECT_TRUE(Cli({"read", conn}).err.contains("history.db.damaged"));
    EXPECT_EQ(Cli({"history", "list"}).out.size(), 1);
    EXPECT_EQ(ReadAll(db + ".damaged"), QByteArray(4096, 'x'));
}

// Scale 1's editable values onto scales 3 and 2: what changes, listed in the scale list's order,
// and sent alone; the serial number, read-only, stays.
TEST_F(CliTest, CloneCopiesAScaleAndSendsOnlyWhatChanges) {
    Serve();
    const QStringList changes{"2\t101\tModo de trabajo\t0\t1",
                              "2\t103\tDespl vertical\t-5\t0",
                              "2\t104\tNombre balanza\tPescadería\tCharcutería",
                              "2\t153\tLínea 2\tPuesto 2\tPuesto 1",
                              "3\t10\tIdioma\t1\t0",
                              "3\t104\tNombre balanza\tFrutería\tCharcutería",
                              "3\t153\tLínea 2\tPuesto 3\tPuesto 1"};
    EXPECT_EQ(Cli({"clone", conn, "1", "3,2", "--dry-run"}).out, changes);
    // Only the menus and items named: "Cabecera ticket" holds Línea 2.
    const std::pair<QStringList, QStringList> chosen[] = {
        {{"--menus", "4"}, {changes[3], changes[6]}},
        {{"--items", "104,10"}, {changes[2], changes[4], changes[5]}},
        {{"--menus", "4", "--items", "104"}, {changes[2], changes[3], changes[5], changes[6]}}};
    for (const auto& [options, lines] : chosen)
        EXPECT_EQ(Cli(QStringList{"clone", conn, "1", "3,2", "--dry-run"} + options).out, lines);
    EXPECT_TRUE(Writes().isEmpty());
    const CliRun clone = Cli({"clone", conn, "1", "3,2"});
    EXPECT_EQ(clone.status, kExitOk) << clone.err.toStdString();
    EXPECT_EQ(clone.out, changes);
    EXPECT_TRUE(Cli({"clone", conn, "1", "2,3", "--dry-run"}).out.isEmpty());
    EXPECT_EQ(Writes().size(), 9);  // line 2, a grouped item, twice to each scale
    sim::Network expected = sim::DefaultNetwork();
    for (sim::Scale* scale : {&expected.scales[1], &expected.scales[2]}) {
        const sim::Value serial = scale->values[122];
        scale->values = expected.scales[0].values;
        scale->values.insert(122, serial);
    }
    EXPECT_EQ(served->engine.network(), expected);
}

// --json says what the text says, in one document: the tree node by node, with each item's
// owner, ID, type and value; the changes (a diff's one per line); the load's lines and what
// became of each item sent.
TEST_F(CliTest, EveryJsonDocumentSaysWhatTheTextSays) {
    sim::Network network = sim::DefaultNetwork();
    for (int i = 0; i < network.scales.size(); ++i) network.scales[i].mostrador = 40 + i;
    Serve(network, {.refusedIds = {20}});
    const auto json = [&](QStringList args, int status) {
        const CliRun run = Cli(args << "--json");
        EXPECT_EQ(run.status, status) << args.join(' ').toStdString() << run.err.toStdString();
        EXPECT_EQ(run.out.size(), 1) << args.join(' ').toStdString();
        return QJsonDocument::fromJson(run.out.value(0).toUtf8()).object();
    };
    QStringList tree;
    std::map<QString, QJsonObject> items;  // by "owner id"
    std::function<void(const QJsonValue&, int)> walk = [&](const QJsonValue& node, int depth) {
        tree.append(QString(depth * 2, ' ') + node["text"].toString());
        if (node["scale"].isDouble()) {  // a scale's fields as its text gives them
            EXPECT_EQ(QString("Balanza %1.Mostrador : %2.MAC : %3")
                          .arg(node["scale"].toInt())
                          .arg(node["mostrador"].toInt())
                          .arg(node["mac"].toString()),
                      node["text"].toString());
        }
        EXPECT_FALSE(node["id"].isDouble() && node["children"].isArray());  // only items have IDs
        if (node["id"].isDouble())
            items[QString("%1 %2").arg(node["owner"].toInt()).arg(node["id"].toInt())] =
                node.toObject();
        for (const QJsonValue child : node["children"].toArray()) walk(child, depth + 1);
    };
    for (const QJsonValue root : json({"read", conn}, kExitOk)["tree"].toArray()) walk(root, 0);
    EXPECT_EQ(tree, Cli({"read", conn}).out);
    EXPECT_EQ(items["3 10"], QJsonDocument::fromJson(R"({"owner":3,"id":10,"type":"enum",
        "value":"1","editable":true,"options":["Español","Inglés","Francés","Portugués"],
        "text":"Idioma = Inglés"})")
                                 .object());
    EXPECT_EQ(items["2 103"]["type"], "number");
    EXPECT_EQ(items["3 122"]["editable"], false);

    // Each object's fields, named, as a line of the text: tab-separated, "-" for none.
    const auto lines = [](const QJsonValue& array, const QStringList& names) {
        QStringList text;
        for (const QJsonValue o : array.toArray()) {
            QStringList fields;
            for (const QString& n : names)
                fields.append(o[n].isDouble() ? QString::number(o[n].toInt()) : o[n].toString("-"));
            text.append(fields.join('\t'));
        }
        return text;
    };
    const QStringList change{"owner", "id", "text", "before", "after"};
    const QJsonObject clone = json({"clone", conn, "1", "3", "--dry-run"}, kExitOk);
    EXPECT_EQ(lines(clone["changes"], change), Cli({"clone", conn, "1", "3", "--dry-run"}).out);
    EXPECT_TRUE(clone["send"].isNull());

    EXPECT_EQ(json({"save", conn, File("red.xml")}, kExitOk),
              QJsonObject({{"scales", 4}, {"items", 108}}));
    EXPECT_EQ(json({"save", conn, File("a.xml"), "--scales", "7", "--no-common"}, kExitOk),
              QJsonObject({{"scales", 1}, {"items", 22}}));
    cfgtest::WriteAll(File("changed.xml"),
                      ReadAll(File("red.xml"))
                          .replace("<VALUE> Puesto 3 </VALUE>", "<VALUE> Puesto 9 </VALUE>")
                          .replace("Hermanos", "Primos"));
    const QStringList changed = {
        "0\t20\tNombre comercio\tCarnicería Hermanos Peña\tCarnicería Primos Peña",
        "3\t153\tLínea 2\tPuesto 3\tPuesto 9"};
    EXPECT_EQ(lines(json({"diff", conn, File("changed.xml")}, kExitItems)["changes"], change),
              changed);
    const CliRun diff = Cli({"diff", conn, File("changed.xml")});
    EXPECT_TRUE(diff.status == kExitItems && diff.out == changed)
        << diff.out.join('\n').toStdString();
    const QJsonObject load =
        json({"load", conn, File("changed.xml"), "--changes-only"}, kExitItems);
    EXPECT_EQ(load["log"].toArray().last(), "****Proceso finalizado");
    EXPECT_EQ(lines(load["changes"], change), changed);
    EXPECT_EQ(load["send"]["refused"], 1);
    EXPECT_EQ(load["send"]["accepted"], 1);
    EXPECT_EQ(load["send"]["items"][0].toObject(),
              QJsonDocument::fromJson(R"({"owner":0,"id":20,"text":"Nombre comercio",
        "value":"Carnicería Primos Peña","outcome":"refused","code":98,
        "reason":"No se puede programar"})")
                  .object());
    EXPECT_EQ(load["send"]["items"][1]["outcome"], "accepted");

    // A set prints the item's node as read back: an option by its text, a negative number.
    EXPECT_EQ(Cli({"set", conn, "3", "10", "1"}).out, QStringList{"Idioma = Inglés"});
    EXPECT_EQ(Cli({"set", conn, "2", "103", "-7"}).out, QStringList{"Despl vertical = -7"});
    const QJsonObject set = json({"set", conn, "2", "103", "-7"}, kExitOk);
    EXPECT_EQ(set["node"], "Despl vertical = -7");
    EXPECT_EQ(set["outcome"], "accepted");
    EXPECT_EQ(json({"set", conn, "0", "20", "x"}, kExitItems),
              QJsonDocument::fromJson(R"({"owner":0,"id":20,"text":"Nombre comercio",
        "before":"Carnicería Hermanos Peña","value":"Carnicería Hermanos Peña",
        "outcome":"refused","node":"Nombre comercio = Carnicería Hermanos Peña","code":98,
        "reason":"No se puede programar"})")
                  .object());
    const QJsonValue snapshots = json({"history", "list"}, kExitOk)["snapshots"];
    EXPECT_EQ(lines(snapshots, {"id", "time", "cause", "connection", "scales", "known", "network"}),
              Cli({"history", "list"}).out);
    EXPECT_EQ(lines(snapshots, {"cause", "send"}),
              (QStringList{"read\t-", "send\tchanges"} + QStringList(3, "set\t-")));
    EXPECT_EQ(lines(json({"history", "diff", "1"}, kExitItems)["changes"], change),
              Cli({"history", "diff", "1"}).out);
}

// A set names an option by its index or its text; --changes-only sends nothing the scale holds
// (numbers as numbers), --dry-run nothing at all; a value no option has lists the options.
TEST_F(CliTest, SetTakesOptionTextsAndSendsOnlyWhatChanges) {
    Serve();
    const struct {
        QStringList args;
        int status;
        const char* outcome;
        const char* value;
        qsizetype writes;
    } cases[] = {
        {{"3", "10", " INGLES ", "--changes-only"}, kExitOk, "unchanged", "1", 0},
        {{"3", "10", "01", "--dry-run"}, kExitOk, "unchanged", "1", 0},
        {{"3", "10", "francés", "--dry-run"}, kExitOk, "would-change", "2", 0},
        {{"3", "10", "4"}, kExitItems, "invalid", "1", 0},
        {{"3", "10", "-1"}, kExitItems, "invalid", "1", 0},
        {{"2", "103", "-05", "--changes-only"}, kExitOk, "unchanged", "-5", 0},
        {{"2", "103", "-6", "--changes-only"}, kExitOk, "accepted", "-6", 1},
        {{"3", "10", "portugues", "--changes-only"}, kExitOk, "accepted", "3", 1},
    };
    for (const auto& c : cases) {
        const qsizetype before = Writes().size();
        const CliRun run = Cli(QStringList{"set", conn} + c.args + QStringList{"--json"});
        const QJsonObject set = QJsonDocument::fromJson(run.out.value(0).toUtf8()).object();
        const std::string name = c.args.join(' ').toStdString();
        EXPECT_EQ(run.status, c.status) << name << run.err.toStdString();
        EXPECT_EQ(set["outcome"], c.outcome) << name;
        EXPECT_EQ(set["value"], c.value) << name;
        EXPECT_EQ(Writes().size() - before, c.writes) << name;
        EXPECT_EQ(run.err.contains("Valor no válido\nOpciones: 0 Español, 1 Inglés, 2 Francés, "
                                   "3 Portugués\n"),
                  c.outcome == std::string("invalid"))
            << name;
    }
}

// Each program tells its usage and its version, the project's, on stdout with status 0.
TEST_F(CliTest, EveryProgramTellsItsUsageAndVersion) {
    for (const QString program : {CFG_CLI_PROGRAM, CFG_SIM_PROGRAM, CFG_DESKTOP_PROGRAM}) {
        const QByteArray name = QFileInfo(program).fileName().toUtf8();
        QByteArray out;
        EXPECT_EQ(Start(program, {"--version"}, &out), 0) << name.constData();
        EXPECT_EQ(out, name + " " CFG_VERSION "\n");
        EXPECT_EQ(Start(program, {"--help"}, &out), 0) << name.constData();
        EXPECT_TRUE(out.contains(name + " ")) << out.constData();
    }
}

// A batch request is longer than 23 characters and not blank.
TEST_F(CliTest, BatchModeConnectsLoadsAndSends) {
    for (const auto& [arguments, batch] :
         {std::pair{QString(23, 'x'), false}, {QString(24, 'x'), true}, {QString(30, ' '), false}})
        EXPECT_EQ(IsBatchRequest(arguments), batch) << arguments.size();
    Serve();
    ASSERT_EQ(Cli({"save", conn, File("red.xml")}).status, kExitOk);
    cfgtest::WriteAll(File("cut.xml"), ReadAll(File("red.xml")).left(3000));
    // Twenty characters of connection text with its trailing spaces, then the path; only a
    // whole file sent.
    for (const auto& [connection, file, status] :
         {std::tuple{conn, "cut.xml", kExitFile},
          {QString("127.0.0.1:1"), "cut.xml", kExitFile},  // known before the link
          {QString("127.0.0.1:1"), "red.xml", kExitNetwork},
          {conn, "red.xml", kExitOk}}) {
        EXPECT_EQ(Start(CFG_DESKTOP_PROGRAM, {connection.leftJustified(20, ' ') + File(file)}),
                  status);
        EXPECT_EQ(Writes().isEmpty(), status != kExitOk) << file;
    }
}

// The soak in short: a send-all against a simulator that drops the line and stays silent now
// and then; every item is accounted for as the simulator saw it.
TEST_F(CliTest, SendAllAccountsForEveryItemThroughDropsAndSilence) {
    QByteArray out;
    EXPECT_EQ(Start(CFG_SOAK_PROGRAM, {"4", "60", "40", "97", "1"}, &out), 0) << out.constData();
    EXPECT_TRUE(out.contains("items lost: 0\n") && !out.contains(" 0 faults injected"))
        << out.constData();
}

}  // namespace
}  // namespace cfg
