#include "core/editing/sendall.h"

#include <gtest/gtest.h>

#include "core/link/trafficlog.h"
#include "support/testsupport.h"

using namespace cfgtest;

namespace cfg {
namespace {

// One entry written to scale 3 (or to the system).
QByteArray Write(int id, int type, const QByteArray& bytes, int destination = 0x0203) {
    return cfgtest::Request(destination, Bytes({1, 1, 0}) + cfgtest::Entry(id, type, bytes));
}

class SendAllTest : public ::testing::Test {
  protected:
    void SetUp() override { op.log = &log; }
    SendSummary Send() { return Command2_Click(link, model, op); }
    QTemporaryDir dir;
    TrafficLog log{dir.path()};
    ScriptedLink link{[](const QByteArray&) { return ScriptedLink::Answer{0, WriteAnswer(1, 0)}; }};
    ConfigModel model;
    cfgtest::RecordingOperation op;
};

// In table order; order 100 and unknown values never go, the grouped items go twice.
TEST_F(SendAllTest, OneWritePerEditableKnownItem) {
    model.AppendItem(Row(0, 12, kNumber, 0, 1, "-617.5"));
    model.AppendItem(Row(0, 13, kNumber, 0, 100, "5"));
    model.AppendItem(Row(3, 40, kEnumeration, 0, 99, "1.4"));
    model.AppendItem(Row(3, 41, kDate, 0, 1, "31/12/99"));
    model.AppendItem(Row(3, 42, kString, 0, 1, QString("Peña")));
    model.AppendItem(Row(3, 157, kString, 0, 1, "G"));
    model.AppendItem(Row(3, 158, kString, 0, 1, "H"));
    model.AppendItem(Row(3, 43, kNumber, 0, 1, "0"));
    model.Item(7).known = false;
    model.AppendItem(Row(3, 44, kDate, 0, 1, "311299"));
    const SendSummary summary = Send();
    EXPECT_EQ(std::pair(summary.sent, summary.skipped), std::pair(6, 2));
    // clang-format off
    EXPECT_EQ(link.requests, (QList<QByteArray>{
        Write(12, 7, Bytes({0x96, 0xFD, 0xFF, 0xFF, 0}), 0), Write(40, 5, "\1"),  // -618
        Write(41, 9, Text("311299")), Write(42, 8, Text("Pe\xA4""a")), Write(157, 8, Text("G")),
        Write(157, 8, Text("G")), Write(158, 8, Text("H"))}));
    // clang-format on
    EXPECT_EQ(op.pauses, (std::vector<int>{200, 200}));
    EXPECT_EQ(op.captions.mid(0, 3), (QStringList{"begin Enviando...", "Envío Item sistema : 12",
                                                  "Envío Item balanza 3 : 40"}));
    EXPECT_EQ(op.captions.last(),
              QString("end Envio Finalizado!!! Rechazados: 0, sin respuesta: 0, no enviados: 2"));
    const QByteArray nlog = cfgtest::ReadAll(dir.filePath("nlog.txt"));
    EXPECT_TRUE(nlog.contains("Item balanza 3 : 43 (Opcion 43): valor desconocido, no enviado"));
    EXPECT_TRUE(nlog.contains("Item balanza 3 : 44 (Opcion 44): fecha no v\xE1lida, no enviada"));
}

TEST_F(SendAllTest, RefusalsAndSilenceDoNotStopTheRun) {
    for (int id = 1; id <= 4; ++id) {
        model.AppendItem(Row(2, id, kNumber, 0, 1, {}));
        StoreRead(model.Item(id - 1), "5", {});
        model.Item(id - 1).value = "1";
    }
    link.SetResponder([](const QByteArray& r) {
        if (r[13] == 2 || r[13] == 4) return ScriptedLink::Answer{0, WriteAnswer(0, 98)};
        return r[13] == 3 ? ScriptedLink::Answer{1, {}}
                          : ScriptedLink::Answer{0, WriteAnswer(1, 0)};
    });
    const SendSummary summary = Send();
    EXPECT_EQ(link.requests.size(), 4);
    EXPECT_EQ(std::tuple(summary.sent, summary.refused, summary.unanswered), std::tuple(1, 2, 1));
    EXPECT_EQ(summary.details,
              (QStringList{"Item balanza 2 : 2 (Opcion 2): rechazado: No se puede programar",
                           "Item balanza 2 : 3 (Opcion 3): sin respuesta",
                           "Item balanza 2 : 4 (Opcion 4): rechazado: No se puede programar"}));
    EXPECT_EQ(op.captions.last(),
              QString("end Envio Finalizado!!! Rechazados: 2, sin respuesta: 1, no enviados: 0"));
    EXPECT_EQ(ReportText(SendReport(model, summary)),
              "Dueño\tItem\tTexto\tValor\tResultado\tMotivo\n"
              "2\t2\tOpcion 2\t1\tRechazado\tNo se puede programar\n"
              "2\t3\tOpcion 3\t1\tSin respuesta\tpuede o no haberse aplicado\n"
              "2\t4\tOpcion 4\t1\tRechazado\tNo se puede programar\n");
    EXPECT_EQ(op.progress,
              (std::vector<std::pair<int, int>>{{0, 4}, {1, 4}, {2, 4}, {3, 4}, {4, 4}}));
    QStringList held;  // the value sent once accepted, the one before a refusal, "?" unanswered
    for (const Held& h : HeldAfterSend(model, summary)) held.append(h.known ? h.value : "?");
    EXPECT_EQ(held, (QStringList{"1", "5", "?", "5"}));
}

// Stopped after an exchange, the send leaves the rest unsent, each said; the two writes of a
// grouped item never part.
TEST_F(SendAllTest, ACancelledSendStopsBetweenItems) {
    for (int id : {1, 152, 2, 3}) model.AppendItem(Row(2, id, kNumber, 0, 1, "1"));
    op.cancel = [&] { return link.requests.size() >= 2; };
    const SendSummary summary = Send();
    EXPECT_EQ(link.requests.size(), 3);  // 1, then 152 twice
    EXPECT_EQ(std::tuple(summary.sent, summary.cancelled), std::tuple(2, 2));
    EXPECT_EQ(op.captions.last(),
              QString("end Envio Cancelado!!! Rechazados: 0, sin respuesta: 0, no enviados: 2"));
    EXPECT_EQ(ReportText(SendReport(model, summary)).section('\n', 1),
              "2\t2\tOpcion 2\t1\tNo enviado\tenvío cancelado\n"
              "2\t3\tOpcion 3\t1\tNo enviado\tenvío cancelado\n");
}

// The question lists what changed since the read, and its answer may send only that.
TEST_F(SendAllTest, TheAnswerCanNarrowTheSendToTheChangedItems) {
    for (int id = 1; id <= 3; ++id) {
        model.AppendItem(Row(2, id, kNumber, 0, 1, "1"));
        StoreRead(model.Item(id - 1), "1", {});
    }
    model.Item(1).value = "2";
    op.scopeAnswer = SendScope::Changed;
    const SendSummary summary = Send();
    EXPECT_EQ(op.changesAsked, 1);
    EXPECT_EQ(link.requests, (QList<QByteArray>{Write(2, 7, Bytes({2, 0, 0, 0, 0}), 0x0202)}));
    EXPECT_EQ(summary.items.size(), 1u);
    EXPECT_EQ(op.progress.back(), std::pair(1, 1));
}

}  // namespace
}  // namespace cfg
