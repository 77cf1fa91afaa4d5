#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <cstdio>
#include <thread>

#include "core/common/operation.h"
#include "core/files/configsave.h"
#include "core/network/networkreader.h"
#include "gui/treemirror.h"
#include "guitestsupport.h"
#include "support/scriptedlink.h"

namespace cfgtest {
namespace {

using cfg::Icon;
using cfg::ItemRow;

// The first editable row of a type, of a scale (owner > 0) or of the system.
const ItemRow* FindRow(const cfg::ConfigModel& model, int type, bool onScale,
                       const std::function<bool(const ItemRow&)>& more = {}) {
    for (const ItemRow& row : model.Items()) {
        if (row.type == type && row.order < 100 && (row.owner > 0) == onScale &&
            !cfg::protocol::IsGroupItem(row.id) && (!more || more(row)))
            return &row;
    }
    return nullptr;
}

class MainWindowTest : public GuiTest {
  protected:
    void Click(cfg::FrmMain& main, const QString& key) {
        QTreeWidgetItem* item = main.NodeItem(key);
        ASSERT_NE(item, nullptr) << key.toStdString();
        emit Child<QTreeWidget>(&main, "Arbol")->itemClicked(item, 0);
    }
    // The raw number a scale holds for an item.
    std::int32_t ScaleNumber(int scale, int id) {
        for (const cfg::sim::Scale& s : engine->network().scales)
            if (s.number == scale) return s.values.value(id).number;
        return -1;
    }
};

TEST_F(MainWindowTest, EachNodeShowsItsEditorAndHint) {
    cfg::FrmMain& main = Connected();
    const cfg::ConfigModel& model = main.model();
    auto* text = Child<QLineEdit>(&main, "TxtString");
    auto* options = Child<QComboBox>(&main, "CmbEnum");
    auto* hint = Child<QLabel>(&main, "LblInfo");
    const auto shown = [&] {
        QStringList names;
        for (const char* name : {"CmbValor", "TxtNumero", "TxtString", "CmbEnum", "LblInfo"})
            if (!Child<QWidget>(&main, name)->isHidden()) names.append(name);
        return names;
    };

    const ItemRow* enumeration = FindRow(model, cfg::kEnumeration, true,
                                         [](const ItemRow& r) { return r.optionCount() > 1; });
    const ItemRow* numberRow = FindRow(model, cfg::kNumber, true);
    const ItemRow* stringRow = FindRow(model, cfg::kString, false);
    const ItemRow* dateRow = FindRow(model, cfg::kDate, false);
    ASSERT_TRUE(enumeration && numberRow && stringRow && dateRow);

    Click(main, enumeration->key);
    EXPECT_EQ(shown(), QStringList({"CmbValor", "CmbEnum"}));
    EXPECT_TRUE(Child<QPushButton>(&main, "CmbValor")->isEnabled());
    EXPECT_EQ(options->count(), enumeration->optionCount());
    EXPECT_EQ(options->itemText(1), enumeration->options[1]);
    EXPECT_EQ(options->currentIndex(), enumeration->value.toInt());

    Click(main, numberRow->key);
    EXPECT_EQ(shown(), QStringList({"CmbValor", "TxtNumero", "LblInfo"}));
    EXPECT_EQ(hint->text(), "Max. " + QString(numberRow->length, '9'));
    EXPECT_EQ(Child<QLineEdit>(&main, "TxtNumero")->text(), numberRow->value);

    Click(main, stringRow->key);
    EXPECT_EQ(shown(), QStringList({"CmbValor", "TxtString", "LblInfo"}));
    EXPECT_EQ(hint->text(), QString("Max. %1 cars.").arg(stringRow->length));
    EXPECT_EQ(text->maxLength(), stringRow->length);
    EXPECT_EQ(text->text(), stringRow->value);

    // A date is not cut by the limit the string item left.
    Click(main, dateRow->key);
    EXPECT_EQ(shown(), QStringList({"CmbValor", "TxtString"}));
    EXPECT_EQ(text->text(), dateRow->value);
    text->setText("01/02/03 ");
    EXPECT_EQ(text->text(), "01/02/03 ");

    // Nodes that are not editable items hide everything.
    const ItemRow* readOnly = nullptr;
    for (const ItemRow& row : model.Items())
        if (row.order >= 100 && !row.key.isEmpty()) readOnly = &row;
    ASSERT_NE(readOnly, nullptr);
    for (const QString& key : {readOnly->key, QString("Red"), QString("Sistema"), QString("bal001"),
                               model.Menus().front().key}) {
        Click(main, numberRow->key);
        Click(main, key);
        EXPECT_TRUE(shown().isEmpty()) << key.toStdString();
    }
}

TEST_F(MainWindowTest, NumberEditorKeyFilter) {
    cfg::FrmMain& main = Connected();
    auto* number = Child<QLineEdit>(&main, "TxtNumero");
    Click(main, FindRow(main.model(), cfg::kNumber, true)->key);
    number->clear();
    QTest::keyClicks(number, "-1,5a:;");
    EXPECT_EQ(number->text(), "1.5:;");

    const ItemRow* despl = FindRow(main.model(), cfg::kNumber, true, [](const ItemRow& r) {
        return r.text.compare("Despl vertical", Qt::CaseInsensitive) == 0;
    });
    ASSERT_NE(despl, nullptr);
    Click(main, despl->key);
    number->clear();
    QTest::keyClicks(number, "-1,5");
    EXPECT_EQ(number->text(), "-1.5");
}

TEST_F(MainWindowTest, ModificarValorAcceptedRefusedAndInvalid) {
    cfg::FrmMain& main = Connected();
    auto* button = Child<QPushButton>(&main, "CmbValor");
    auto* number = Child<QLineEdit>(&main, "TxtNumero");
    const ItemRow* row = FindRow(main.model(), cfg::kNumber, true,
                                 [](const ItemRow& r) { return r.owner == 3 && r.length >= 2; });
    ASSERT_NE(row, nullptr);
    const QString key = row->key;
    const int id = row->id;
    const QString before = main.NodeItem(key)->text(0);

    // Not a number: nothing is sent.
    Click(main, key);
    number->setText("1.2.3");
    button->click();
    WaitIdle();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Valor no válido");
    EXPECT_EQ(messages.shown[0].icon, Icon::Critical);
    EXPECT_TRUE(Writes().isEmpty());

    // Accepted: stored, shown, and read back from the scale.
    messages.shown.clear();
    number->setText("42");
    button->click();
    EXPECT_FALSE(main.isEnabled());
    WaitIdle();
    EXPECT_TRUE(messages.shown.empty()) << LastShown().toStdString();
    EXPECT_TRUE(main.isEnabled());
    EXPECT_EQ(button->text(), "Modificar Valor");
    ASSERT_EQ(Writes().size(), 1);
    EXPECT_EQ(ScaleNumber(3, id), 42);
    const int index = main.model().FindItem(3, id);
    const ItemRow& stored = main.model().Items()[index];
    EXPECT_EQ(main.NodeItem(key)->text(0), stored.text + " = " + stored.value);
    EXPECT_NE(main.NodeItem(key)->text(0), before);

    // Refused by the scale: a warning, and nothing changes.
    cfg::sim::EngineOptions refusing;
    refusing.faults.refusedIds = {id};
    const QString accepted = main.NodeItem(key)->text(0);
    Serve(engine->network(), refusing);
    bool connected = false;
    main.Connect(0, QString("127.0.0.1:%1").arg(server->port()),
                 [&](int result) { connected = result == 0; });
    WaitIdle();
    ASSERT_TRUE(connected);
    number->setText("77");
    button->click();
    WaitIdle();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.startsWith(
        "La balanza no acepta la programación de este Item con el valor indicado."));
    EXPECT_EQ(messages.shown[0].icon, Icon::Exclamation);
    EXPECT_EQ(main.NodeItem(key)->text(0), accepted);
    EXPECT_EQ(main.model().Items()[index].value, stored.value);
    EXPECT_EQ(ScaleNumber(3, id), 42);
}

TEST_F(MainWindowTest, ModificarValorOfAnEnumerationAndAWrongDate) {
    cfg::FrmMain& main = Connected();
    auto* button = Child<QPushButton>(&main, "CmbValor");
    const ItemRow* row = FindRow(main.model(), cfg::kEnumeration, false, [](const ItemRow& r) {
        return r.optionCount() > 1 && r.value != "1";
    });
    ASSERT_NE(row, nullptr);
    const QString key = row->key;
    const QString option = row->options[1];
    const QString text = row->text;
    Click(main, key);
    Child<QComboBox>(&main, "CmbEnum")->setCurrentIndex(1);
    button->click();
    WaitIdle();
    EXPECT_TRUE(messages.shown.empty()) << LastShown().toStdString();
    EXPECT_EQ(main.NodeItem(key)->text(0), text + " = " + option);

    const ItemRow* date = FindRow(main.model(), cfg::kDate, false);
    ASSERT_NE(date, nullptr);
    Click(main, date->key);
    auto* box = Child<QLineEdit>(&main, "TxtString");
    box->setText(" 1/2/2003 ");
    button->click();
    WaitIdle();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Introduzca las fechas en formato dd/mm/yy");
    EXPECT_EQ(box->text(), "1/2/2003");  // trimmed and written back
    EXPECT_EQ(Writes().size(), 1);
}

// The default network with one scale and without the grouped items, which take 400 ms each.
cfg::sim::Network SmallNetwork() {
    const auto grouped = [](const cfg::sim::Record& r) { return cfg::sim::IsGroupId(r.id); };
    cfg::sim::Network network = cfg::sim::DefaultNetwork();
    network.scales = {network.scales.front()};
    network.shared.removeIf(grouped);
    network.system.removeIf(grouped);
    network.scales.front().values.removeIf([](auto it) { return cfg::sim::IsGroupId(it.key()); });
    return network;
}

TEST_F(MainWindowTest, EnviarTodoDeclinedAndConfirmed) {
    Serve(SmallNetwork());
    cfg::FrmMain& main = Connected();
    auto* busy = Child<QLabel>(&main, "Label1_2");
    messages.answer = false;
    Child<QPushButton>(&main, "Command2")->click();
    WaitIdle();
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_EQ(messages.asked[0].text,
              "Se enviarán todas las configuraciones a balanzas.¿Está seguro?");
    EXPECT_EQ(messages.asked[0].icon, Icon::Question);
    EXPECT_TRUE(Writes().isEmpty());
    EXPECT_TRUE(busy->isVisible());
    EXPECT_EQ(busy->text(), "Enviando...");

    messages.answer = true;
    Child<QPushButton>(&main, "Command2")->click();
    WaitIdle();
    EXPECT_EQ(messages.asked.size(), 2u);
    const cfg::SendSummary& summary = main.lastSend();
    EXPECT_TRUE(summary.confirmed);
    EXPECT_GT(summary.sent, 10);
    EXPECT_EQ(Writes().size(), summary.sent + summary.refused);
    EXPECT_TRUE(busy->isVisible());
    EXPECT_EQ(busy->text(), summary.FinalCaption());
    EXPECT_TRUE(busy->text().startsWith("Envio Finalizado!!!"));
    EXPECT_TRUE(main.isEnabled());
}

TEST_F(MainWindowTest, SalirEndsTheProgram) {
    cfg::FrmMain& main = Connected();
    Child<QPushButton>(&main, "Command1_0")->click();
    EXPECT_EQ(end.ended, 1);
    EXPECT_TRUE(messages.asked.empty());
}

TEST(BackgroundTest, BandsOfFiftyDarkenFromTheBottomUp) {
    QImage image(8, 500, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    cfg::Pinta_Fondo(painter, image.width(), image.height());
    painter.end();
    // Ten bands; band k from the bottom has (10 - k) tenths of the first colour.
    for (int band = 0; band < 10; ++band) {
        const double share = (10 - band) / 10.0;
        const QRgb expected =
            qRgb(int(12 * share + 1e-9), int(81 * share + 1e-9), int(179 * share + 1e-9));
        for (int y : {499 - band * 50, 450 - band * 50})
            for (int x : {0, 7}) EXPECT_EQ(image.pixel(x, y), expected) << "band " << band;
    }
}

// The mirror of a large network: 60 scales of about 400 items, read on another thread. The
// time is printed for the record, not judged.
TEST(TreeMirrorTest, LargeNetworkIsMirroredWhole) {
    cfg::sim::Engine engine(cfg::sim::GenerateNetwork(60, 400));
    ScriptedLink link([&](const QByteArray& request) {
        return ScriptedLink::Answer{0, engine.HandleRequest(request)};
    });
    cfg::ConfigModel model;
    QTreeWidget tree;
    tree.setUniformRowHeights(true);
    tree.show();
    cfg::TreeMirror mirror(model, tree, cfg::LoadTreeImages());
    bool read = false;
    std::thread reader([&] {
        cfg::Operation quiet;
        read = cfg::NetworkReader(link, model).Lee_Datos(quiet);
    });
    reader.join();
    ASSERT_TRUE(read);

    QElapsedTimer timer;
    timer.start();
    mirror.Flush();
    QCoreApplication::processEvents();
    const qint64 ms = timer.elapsed();
    std::printf("[ figure ] %zu nodes (%zu items) mirrored in %lld ms\n", model.Nodes().size(),
                model.Items().size(), static_cast<long long>(ms));

    int viewItems = 0;
    for (QTreeWidgetItemIterator it(&tree); *it; ++it) ++viewItems;
    EXPECT_EQ(viewItems, static_cast<int>(model.Nodes().size()));
    EXPECT_GT(model.Items().size(), 60u * 350u);
    for (const cfg::TreeNode& node : model.Nodes()) {
        QTreeWidgetItem* item = mirror.Find(node.key);
        ASSERT_NE(item, nullptr);
        ASSERT_EQ(item->text(0), node.text);
    }
}

}  // namespace
}  // namespace cfgtest
