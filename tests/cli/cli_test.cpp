#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

#include "cli/commands.h"
#include "sim/engine.h"
#include "sim/simnetwork.h"
#include "sim/tcpserver.h"
#include "support/testsupport.h"

using cfgtest::ReadAll;

namespace cfg {
namespace {

struct CliRun {
    int status = -1;
    QStringList out;
    QString err;
};

QString Drain(std::FILE* file) {
    std::rewind(file);
    QByteArray bytes;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, static_cast<qsizetype>(n));
    std::fclose(file);
    return QString::fromUtf8(bytes);
}

// A simulated network on loopback, and the command-line tool run against it in-process.
class CliTest : public ::testing::Test {
  protected:
    void Serve(sim::Network network = sim::DefaultNetwork(), sim::EngineOptions options = {}) {
        server.reset();
        engine = std::make_unique<sim::Engine>(std::move(network), options);
        server = std::make_unique<sim::TcpServer>(*engine);
        ASSERT_TRUE(server->Start());
        conn = QString("127.0.0.1:%1").arg(server->port());
    }
    CliRun Cli(QStringList args) {
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        CliRun run;
        run.status = RunCommandLine(args, out, err);
        QString text = Drain(out);
        if (text.endsWith('\n')) text.chop(1);
        run.out = text.isEmpty() ? QStringList() : text.split('\n');
        run.err = Drain(err);
        return run;
    }
    // The write requests the simulator received, in order.
    QList<QByteArray> Writes() const {
        QList<QByteArray> writes;
        for (const QByteArray& r : engine->Requests())
            if (r.size() > 10 && r[10] == 0x01) writes.append(r);
        return writes;
    }
    QString File(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    std::unique_ptr<sim::Engine> engine;
    std::unique_ptr<sim::TcpServer> server;
    QString conn;
};

TEST_F(CliTest, ReadPrintsTheTree) {
    Serve();
    const CliRun run = Cli({"read", conn});
    ASSERT_EQ(run.status, kExitOk) << run.err.toStdString();
    ASSERT_GT(run.out.size(), 100);
    EXPECT_EQ(run.out[0], QString("Red"));
    EXPECT_EQ(run.out[1], QString("  Operativa Balanzas"));
    EXPECT_EQ(run.out[2], QString("    Balanza 1.Mostrador : 1.MAC : 0A1B2C3D4E"));
    EXPECT_TRUE(run.out.contains("        Despl vertical = -5"));
    EXPECT_TRUE(run.out.contains("  Datos Comunes"));
    EXPECT_TRUE(run.out.contains("      Tara máxima = 1500"));
    EXPECT_TRUE(run.out.contains("      Modo de red = (No seleccionable)"));
    // Menus of the other kind of owner, and what follows the marker, are passed over.
    EXPECT_FALSE(run.out.join('\n').contains("Menú balanza"));
    EXPECT_FALSE(run.out.join('\n').contains("Red de sistema"));
    EXPECT_TRUE(run.err.contains("Leyendo Datos Equipo 7"));
}

TEST_F(CliTest, ReadANetworkWithoutScales) {
    sim::Network network = sim::DefaultNetwork();
    network.scales.clear();
    Serve(network);
    const CliRun run = Cli({"read", conn});
    ASSERT_EQ(run.status, kExitOk);
    EXPECT_EQ(run.out.mid(0, 3), (QStringList{"Red", "  Operativa Balanzas", "  Datos Comunes"}));
    EXPECT_FALSE(run.err.contains("Leyendo Datos Equipo"));
}

TEST_F(CliTest, FailuresToConnectOrReadTheSystem) {
    Serve();
    const quint16 port = server->port();
    server.reset();
    CliRun run = Cli({"read", QString("127.0.0.1:%1").arg(port)});
    EXPECT_EQ(run.status, kExitNetwork);
    EXPECT_TRUE(run.err.contains("Error al conectar con la balanza"));

    // The network is read, then the line drops: the system's structure cannot be read.
    sim::EngineOptions options;
    options.faults.dropAfter = 1;
    Serve(sim::DefaultNetwork(), options);
    run = Cli({"read", conn});
    EXPECT_EQ(run.status, kExitNetwork);
    EXPECT_TRUE(run.err.contains("Error de comunicaciones"));
    EXPECT_TRUE(run.out.isEmpty());

    EXPECT_EQ(Cli({"read"}).status, kExitUsage);
    EXPECT_EQ(Cli({"bogus", conn}).status, kExitUsage);
    EXPECT_EQ(Cli({"read", "serial:/dev/null"}).status, kExitUsage);
}

// A read that leaves owners unread ends every command with 5, each owner named on stderr,
// whatever the command did with the rest; save still writes its file and says what it lacks.
TEST_F(CliTest, APartialReadIsNeverSuccess) {
    Serve();
    ASSERT_EQ(Cli({"save", conn, File("red.xml")}).status, kExitOk);
    // The index of the n-th request to a destination (two bytes) with a function code.
    const QList<QByteArray> requests = engine->Requests();
    const auto nth = [&](const char* destination, int function, int n) {
        for (int i = 0; i < requests.size(); ++i)
            if (requests[i].mid(2, 2) == QByteArray(destination, 2) &&
                requests[i][10] == function && n-- == 0)
                return i;
        return -1;
    };
    struct Fault {
        const char* name;
        int dropAt;  // the connection closes instead of answering this request
        QStringList unread;
    };
    const Fault faults[] = {
        {"second page of the system's values",
         nth("\x00\x00", 0x00, 1),
         {"valores del sistema", "balanza 1", "balanza 7"}},
        {"scale 1's structure", nth("\x20\x00", 0x02, 0), {"balanza 1 (estructura)"}},
        {"scale 2's values", nth("\x02\x02", 0x00, 0), {"balanza 2 (valores)"}},
    };
    for (const Fault& fault : faults) {
        ASSERT_GT(fault.dropAt, 0) << fault.name;
        sim::EngineOptions options;
        options.faults.dropAfter = fault.dropAt;
        Serve(sim::DefaultNetwork(), options);
        const QStringList commands[] = {{"read", conn},
                                        {"save", conn, File("partial.xml")},
                                        {"load", conn, File("red.xml"), "--dry-run"},
                                        {"diff", conn, File("red.xml")},
                                        {"set", conn, "0", "12", "3"}};
        for (const QStringList& args : commands) {
            const std::string name = std::string(fault.name) + ": " + args[0].toStdString();
            const CliRun run = Cli(args);
            EXPECT_EQ(run.status, kExitPartial) << name << run.err.toStdString();
            for (const QString& owner : fault.unread)
                EXPECT_TRUE(run.err.contains("Lectura incompleta, sin leer: " + owner + "\n"))
                    << name << run.err.toStdString();
        }
        EXPECT_TRUE(QFile::exists(File("partial.xml"))) << fault.name;
    }
    // The file says what it lacks; the tree keeps scale 2's items, without values.
    const CliRun run = Cli({"save", conn, File("partial.xml"), "--scales", "2"});
    EXPECT_TRUE(run.err.contains("Fichero incompleto, sin datos de: balanza 2 (valores)"));
    EXPECT_TRUE(Cli({"read", conn}).out.contains("        Vendedores"));

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

TEST(ExitStatus, TheFirstOf3425And1) {
    const int cases[][3] = {{kExitOk, kExitOk, kExitOk},
                            {kExitItems, kExitOk, kExitItems},
                            {kExitItems, kExitPartial, kExitPartial},
                            {kExitUsage, kExitPartial, kExitUsage},
                            {kExitPartial, kExitFile, kExitFile},
                            {kExitFile, kExitNetwork, kExitNetwork}};
    for (const auto& c : cases) {
        EXPECT_EQ(WorstStatus(c[0], c[1]), c[2]) << c[0] << " " << c[1];
        EXPECT_EQ(WorstStatus(c[1], c[0]), c[2]) << c[1] << " " << c[0];
    }
}

TEST_F(CliTest, SaveLoadAndDiffRoundTrip) {
    Serve();
    ASSERT_EQ(Cli({"save", conn, File("red.xml")}).status, kExitOk);
    const QByteArray saved = ReadAll(File("red.xml"));
    EXPECT_TRUE(saved.startsWith(
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\r\n<TARASCOPE>\r\n    <COMMON>\r\n"));
    // The leading and trailing spaces of a grouped item are marked in the scale sections.
    EXPECT_TRUE(saved.contains("<VALUE> ~Mercado Central~ </VALUE>"));

    // Loading what was just saved changes nothing: no line turns an item away but the
    // enumeration without options, whose value no option fits.
    CliRun run = Cli({"load", conn, File("red.xml"), "--dry-run"});
    ASSERT_EQ(run.status, kExitOk) << run.err.toStdString();
    for (const QString& line : run.out) {
        if (line.startsWith("Ignorando")) {
            EXPECT_EQ(line, QString("Ignorando item 14 con valor incompatible"));
        }
    }
    EXPECT_EQ(run.out.last(), QString("****Proceso finalizado"));
    EXPECT_TRUE(Writes().isEmpty());
    run = Cli({"diff", conn, File("red.xml")});
    EXPECT_EQ(run.status, kExitOk);
    EXPECT_TRUE(run.out.isEmpty());

    QByteArray changed = saved;
    changed.replace("<VALUE> Puesto 3 </VALUE>", "<VALUE> Puesto 9 </VALUE>");
    cfgtest::WriteAll(File("changed.xml"), changed);
    run = Cli({"diff", conn, File("changed.xml")});
    EXPECT_EQ(run.status, kExitItems);
    EXPECT_EQ(run.out, QStringList{QString("3\t153\tLínea 2\tPuesto 3\tPuesto 9")});
}

TEST_F(CliTest, SaveChoosesScalesAndCommonData) {
    Serve();
    ASSERT_EQ(Cli({"save", conn, File("a.xml"), "--scales", "7,2", "--no-common"}).status, kExitOk);
    const QByteArray text = ReadAll(File("a.xml"));
    EXPECT_FALSE(text.contains("<COMMON>"));
    EXPECT_LT(text.indexOf("<SCALE number=\"2\">"), text.indexOf("<SCALE number=\"7\">"));
    EXPECT_FALSE(text.contains("<SCALE number=\"1\">"));
    EXPECT_EQ(Cli({"save", conn, File("b.xml"), "--scales", "5"}).status, kExitUsage);
    EXPECT_EQ(Cli({"save", conn, File("no/such/dir/c.xml")}).status, kExitFile);
}

// Read, save, load and send: every item is written, and the scales hold exactly what they
// held, down to the bytes no text stands for.
TEST_F(CliTest, LoadSendsEveryEditableItemAndChangesNothing) {
    sim::Network network = sim::DefaultNetwork();
    for (sim::Record& record : network.system) {
        if (record.id == 21) record.value.bytes = QByteArray("C/ Mayor, 13 \xB3|\x01-<(2)");
        if (record.id == 30) record.value.number = 3001;  // 1500.5: no write puts it back
    }
    Serve(network);
    const QStringList tree = Cli({"read", conn}).out;
    ASSERT_EQ(Cli({"save", conn, File("red.xml")}).status, kExitOk);
    EXPECT_TRUE(ReadAll(File("red.xml")).contains("<VALUE> C/ Mayor, 13 || - (2) </VALUE>"));
    EXPECT_TRUE(tree.contains("      Direcci\u00F3n = C/ Mayor  13 |     2 "));
    const CliRun run = Cli({"load", conn, File("red.xml")});
    EXPECT_EQ(run.status, kExitOk) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("Envio Finalizado!!!"));
    EXPECT_EQ(engine->network(), network);
    EXPECT_EQ(Cli({"read", conn}).out, tree);
    const QList<QByteArray> writes = Writes();
    ASSERT_FALSE(writes.isEmpty());
    // Every write carries one item; the grouped ones go twice in a row.
    int doubled = 0;
    for (int i = 0; i < writes.size(); ++i) {
        EXPECT_EQ(writes[i].mid(11, 2), QByteArray("\x01\x00", 2));
        const int id = static_cast<unsigned char>(writes[i][13]) |
                       static_cast<unsigned char>(writes[i][14]) << 8;
        if (id >= 152 && id <= 157) {
            ++doubled;
            const bool first = i + 1 < writes.size() && writes[i + 1] == writes[i];
            EXPECT_TRUE(first || (i > 0 && writes[i - 1] == writes[i]));
        }
    }
    EXPECT_EQ(doubled, 4 * 6 * 2);
}

TEST_F(CliTest, LoadReportsRefusalsAndBadFiles) {
    sim::EngineOptions options;
    options.faults.refusedIds = {20};
    Serve(sim::DefaultNetwork(), options);
    ASSERT_EQ(Cli({"save", conn, File("red.xml")}).status, kExitOk);
    CliRun run = Cli({"load", conn, File("red.xml")});
    EXPECT_EQ(run.status, kExitItems);
    EXPECT_TRUE(
        run.err.contains("Item sistema : 20 (Nombre comercio): rechazado: No se puede programar"));
    EXPECT_TRUE(
        run.err.contains("Envio Finalizado!!! Rechazados: 1, sin respuesta: 0, no enviados: 0"));

    cfgtest::WriteAll(File("bad.xml"), "not a configuration <TARASCOPE>");
    engine->ClearRequests();
    run = Cli({"load", conn, File("bad.xml")});
    EXPECT_EQ(run.status, kExitFile);
    EXPECT_TRUE(
        run.err.contains("Error de acceso al fichero, o no es un fichero con estructura válida"));
    EXPECT_TRUE(Writes().isEmpty());
    EXPECT_EQ(Cli({"load", conn, File("missing.xml")}).status, kExitFile);
}

TEST_F(CliTest, SetProgramsOneItem) {
    Serve();
    struct Case {
        QStringList args;
        int status;
        QString printed;
        QString error = {};  // in what goes to stderr
    };
    const Case cases[] = {
        {{"0", "12", "3"}, kExitOk, "Decimales precio = 3"},
        {{"3", "10", "1"}, kExitOk, "Idioma = Inglés"},
        {{"2", "103", "-7"}, kExitOk, "Despl vertical = -7"},
        {{"7", "153", "Puesto 77"}, kExitOk, "Línea 2 = Puesto 77"},
        {{"0", "15", "31/12/24"}, kExitOk, "Fecha instalación = 31/12/24"},
        {{"0", "15", "31-12-24"}, kExitItems, ""},
        {{"0", "12", "99999"},  // longer than the scale takes
         kExitItems,
         "",
         "La balanza no acepta la programación de este Item con el valor indicado.\nDatos "
         "erróneos"},
        {{"0", "35", "1"}, kExitItems, ""},  // read-only
        {{"0", "999", "1"}, kExitUsage, ""},
    };
    for (const Case& c : cases) {
        const std::string name = c.args.join(' ').toStdString();
        const CliRun run = Cli(QStringList{"set", conn} + c.args);
        EXPECT_EQ(run.status, c.status) << name << run.err.toStdString();
        EXPECT_EQ(run.out.value(0), c.printed) << name;
        EXPECT_TRUE(run.err.contains(c.error)) << name << run.err.toStdString();
    }
    // The value is in the scale: a new reading shows it.
    EXPECT_TRUE(Cli({"read", conn}).out.contains("        Línea 2 = Puesto 77"));
}

TEST(BatchRequest, LengthAndBlankRules) {
    EXPECT_FALSE(IsBatchRequest(QString(23, 'x')));
    EXPECT_TRUE(IsBatchRequest(QString(24, 'x')));
    EXPECT_FALSE(IsBatchRequest(QString(30, ' ')));
    EXPECT_FALSE(IsBatchRequest(""));
}

// The programs themselves, with no display at all.
class ProgramTest : public CliTest {
  protected:
    int Start(const QString& program, const QStringList& args, QByteArray* out = nullptr) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(program, args);
        if (!process.waitForFinished(60000)) return -1;
        if (out) *out = process.readAllStandardOutput();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    }
};

TEST_F(ProgramTest, BatchModeConnectsLoadsAndSends) {
    Serve();
    ASSERT_EQ(Cli({"save", conn, File("red.xml")}).status, kExitOk);
    engine->ClearRequests();
    // Twenty characters of connection text with its trailing spaces, then the path.
    const QString connection = QString("127.0.0.1:%1").arg(server->port()).leftJustified(20, ' ');
    EXPECT_EQ(Start(CFG_DESKTOP_PROGRAM, {connection + File("red.xml")}), kExitOk);
    EXPECT_FALSE(Writes().isEmpty());

    // A connection that fails ends the run at once.
    const QString dead = QString("127.0.0.1:1").leftJustified(20, ' ');
    EXPECT_EQ(Start(CFG_DESKTOP_PROGRAM, {dead + File("red.xml")}), kExitNetwork);
}

// The soak in short: a send-all against a simulator that drops the line and stays silent now
// and then; every item is accounted for as the simulator saw it.
TEST_F(ProgramTest, SendAllAccountsForEveryItemThroughDropsAndSilence) {
    QByteArray out;
    EXPECT_EQ(Start(CFG_SOAK_PROGRAM, {"4", "60", "40", "97", "1"}, &out), 0) << out.constData();
    EXPECT_TRUE(out.contains("items lost: 0\n")) << out.constData();
    EXPECT_FALSE(out.contains(" 0 faults injected")) << out.constData();
}

TEST_F(ProgramTest, ReadOverAPseudoTerminal) {
    QProcess sim;
    sim.start(CFG_SIM_PROGRAM, {"--pty", "--max-seconds", "60"});
    QString pty;
    while (pty.isEmpty() && sim.waitForReadyRead(10000)) {
        while (sim.canReadLine()) {
            const QString line = QString::fromUtf8(sim.readLine()).trimmed();
            if (line.startsWith("pty ")) pty = line.mid(4);
        }
    }
    ASSERT_FALSE(pty.isEmpty());
    QByteArray out;
    EXPECT_EQ(Start(CFG_CLI_PROGRAM, {"read", "serial:" + pty + ":19200,E,8"}, &out), kExitOk);
    EXPECT_TRUE(out.contains("    Balanza 7.Mostrador : 3.MAC : 01EC0B29E0\n"));
    sim.terminate();
    sim.waitForFinished(5000);
}

}  // namespace
}  // namespace cfg
