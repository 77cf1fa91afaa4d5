// The main window's own flows: the editor a node shows, "Modificar Valor", "Enviar Todo a
// Balanzas", "Salir".
#include "guitestsupport.h"

#include <QClipboard>
#include <QListWidget>
#include <QMessageBox>
#include <QTimer>
#include <numeric>
#include "core/files/configsave.h"
#include "core/history/historystore.h"

#include "gui/frmabrir.h"
#include "gui/frmcopiar.h"
#include "gui/frmhistorial.h"
#include "gui/frminforme.h"

namespace cfgtest {
namespace {

using cfg::ItemRow;

class MainWindowTest : public GuiTest {
  protected:
    // As the mouse does: the node becomes current, then the click.
    void Click(const QString& key) {
        auto* tree = Child<QTreeWidget>(start->mainWindow(), "Arbol");
        tree->setCurrentItem(start->mainWindow()->NodeItem(key));
        emit tree->itemClicked(tree->currentItem(), 0);
    }
    QStringList Editors() {
        QStringList names;
        for (const char* name : {"CmbValor", "TxtNumero", "TxtString", "CmbEnum", "LblInfo"})
            if (!Child<QWidget>(start->mainWindow(), name)->isHidden()) names.append(name);
        return names;
    }
};

// The window shows what the core's editor state says; its boxes filter keys as the core does.
TEST_F(MainWindowTest, EachNodeShowsItsEditorAndHint) {
    cfg::FrmMain& main = Connected();
    auto* text = Child<QLineEdit>(&main, "TxtString");
    auto* number = Child<QLineEdit>(&main, "TxtNumero");
    const QString enumeration =
        Find(cfg::kEnumeration, true, [](const ItemRow& r) { return r.optionCount() > 1; });
    Click(enumeration);
    EXPECT_EQ(Editors(), QStringList({"CmbValor", "CmbEnum"}));
    EXPECT_EQ(Child<QComboBox>(&main, "CmbEnum")->currentText(),
              Row(enumeration).options[Row(enumeration).value.toInt()]);
    const QString despl =
        Find(cfg::kNumber, true, [](const ItemRow& r) { return r.text == "Despl vertical"; });
    Click(despl);
    EXPECT_EQ(Editors(), QStringList({"CmbValor", "TxtNumero", "LblInfo"}));
    EXPECT_EQ(Child<QLabel>(&main, "LblInfo")->text(), "Max. " + QString(Row(despl).length, '9'));
    number->clear();
    QTest::keyClicks(number, "-1,5a;");  // the digits run on to ':' and ';'
    EXPECT_EQ(number->text(), "-1.5;");
    const QString string = Find(cfg::kString, false);
    Click(string);
    EXPECT_EQ(text->maxLength(), Row(string).length);
    Click(Find(cfg::kDate, false));  // not cut by the limit the string item left
    EXPECT_EQ(Editors(), QStringList({"CmbValor", "TxtString"}));
    text->setText("01/02/03 ");
    EXPECT_EQ(text->text(), "01/02/03 ");
    Click("Red");
    EXPECT_TRUE(Editors().isEmpty());
}

// The editor follows the node the technician sees, whatever moved it there: a click, the arrow
// keys, type-ahead, the filter. Only that item is programmed; a read-only one is named and
// shown, never edited.
TEST_F(MainWindowTest, TheEditorFollowsTheCurrentNodeWhateverMovesIt) {
    cfg::FrmMain& main = Connected();
    auto* tree = Child<QTreeWidget>(&main, "Arbol");
    auto* filter = Child<QLineEdit>(&main, "TxtFiltro");
    const auto key = [&](int id) { return main.model().Items()[main.model().FindItem(0, id)].key; };
    main.NodeItem(Row(key(30)).menuKey)->setExpanded(true);
    const QStringList number{"CmbValor", "TxtNumero", "LblInfo"};
    // System items 30 to 35 stand in this order in one menu; 35 is read-only.
    const std::tuple<std::function<void()>, int, QStringList> steps[] = {
        {[&] { Click(key(30)); }, 30, number},
        {[&] {
             for (int i = 0; i < 3; ++i) QTest::keyClick(tree, Qt::Key_Down);
         },
         33, number},
        {[&] { QTest::keyClicks(tree, "Total"); }, 35, {"LblInfo"}},
        {[&] { QTest::keyClick(tree, Qt::Key_Up); }, 34, {"CmbValor", "TxtString"}},
        {[&] { tree->setCurrentItem(main.NodeItem(key(33))); }, 33, number},
        {[&] { filter->setText("Tara"); }, 0, {}},  // 33 hidden
        {[&] { filter->clear(); }, 33, number},
    };
    for (const auto& [act, id, editors] : steps) {
        act();
        EXPECT_EQ(Editors(), editors) << id;
        auto* line = Child<QLabel>(&main, "LblItem");
        EXPECT_EQ(line->isVisible() ? line->text() : QString(),
                  id ? "Sistema · " + QString::number(id) + " " + Row(key(id)).text : QString());
        if (id == 35) {
            EXPECT_EQ(Child<QLabel>(&main, "LblInfo")->text(), "Solo lectura");
            EXPECT_EQ(Child<QLabel>(&main, "LblValor")->text(), Row(key(35)).value);
        }
    }
    Child<QLineEdit>(&main, "TxtNumero")->setText("777");  // on 33, clicked on 30
    Press("CmbValor");
    const QList<cfg::sim::Record> system = served->engine.network().system;
    EXPECT_EQ(std::find_if(system.begin(), system.end(), [](auto& r) { return r.id == 33; })
                  ->value.number,
              777);
    EXPECT_EQ(Row(key(30)).value, Row(key(30)).readValue);
    EXPECT_EQ(Writes(), 1);
}

// Every action without the mouse: a number typed over the old one and Enter, Enter on an option
// list, and the window's keys.
TEST_F(MainWindowTest, TheKeyboardReachesEveryAction) {
    cfg::FrmMain& main = Connected();
    QApplication::setActiveWindow(&main);
    auto* number = Child<QLineEdit>(&main, "TxtNumero");
    Click(Find(cfg::kNumber, true, [](const ItemRow& r) { return r.length >= 2; }));
    number->setFocus();
    QCoreApplication::processEvents();
    QTest::keyClicks(number, "42");
    EXPECT_EQ(number->text(), "42");  // typed over what the box held
    QTest::keyClick(number, Qt::Key_Return);
    WaitIdle();
    const QString options =
        Find(cfg::kEnumeration, true, [](const ItemRow& r) { return r.optionCount() > 1; });
    Click(options);
    auto* list = Child<QComboBox>(&main, "CmbEnum");
    list->setCurrentIndex(1 - list->currentIndex());
    QTest::keyClick(list, Qt::Key_Enter);
    WaitIdle();
    EXPECT_EQ(Writes(), 2);
    EXPECT_EQ(Row(options).value, QString::number(list->currentIndex()));

    const std::pair<QKeySequence, const char*> windows[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_S), "FrmGuardar"},
        {QKeySequence(Qt::CTRL | Qt::Key_O), "FrmAbrir"}};
    for (const auto& [keys, name] : windows) {
        QTest::keySequence(&main, keys);
        QWidget* window = Visible(name);
        ASSERT_TRUE(window) << name;
        window->close();
        EXPECT_TRUE(WaitUntil([&] { return main.isEnabled(); }));
        QApplication::setActiveWindow(&main);
    }
    QTest::keySequence(&main, QKeySequence(Qt::CTRL | Qt::Key_F));
    EXPECT_TRUE(Child<QLineEdit>(&main, "TxtFiltro")->hasFocus());
    const int requests = served->engine.RequestCount();
    QTest::keySequence(&main, QKeySequence(Qt::Key_F5));
    WaitIdle();
    EXPECT_GT(served->engine.RequestCount(), requests);  // read again
    QTest::keySequence(&main, QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_EQ(ended, 1);
}

// The causes of the snapshots a run recorded, oldest first, a send's with what it sent.
QString Causes(const QString& folder) {
    return cfgtest::Sql(folder + "/history.db",
                        "SELECT group_concat(trim(cause || ' ' || send), ', ') FROM (SELECT cause, "
                        "send FROM snapshot ORDER BY id)")
        .toString();
}

// "Modificar Valor": refused as not a number (nothing sent), then accepted (stored, shown and
// read back from the scale), the window disabled while it sends. "Historial": the snapshots
// newest first, in local time, compared, and one put back into the tree, ready to be sent; one of
// another network behind the connection only when confirmed.
TEST_F(MainWindowTest, ModificarValorStoresWhatTheScaleAcceptedAndHistorialPutsItBack) {
    cfg::FrmMain& main = Connected();
    auto* button = Child<QPushButton>(&main, "CmbValor");
    const QString key =
        Find(cfg::kNumber, true, [](const ItemRow& r) { return r.owner == 3 && r.length >= 2; });
    const int id = Row(key).id;
    const auto scaleValue = [&] {
        return served->engine.network().scales[2].values.value(id).number;
    };
    const QString before = Row(key).value;
    const std::tuple<const char*, QString, int, int, QString> steps[] = {
        {"1.2.3", "critical: Valor no válido", 0, scaleValue(), before}, {"42", "", 1, 42, "42"}};
    for (const auto& [typed, shown, writes, stored, value] : steps) {
        Click(key);
        Child<QLineEdit>(&main, "TxtNumero")->setText(typed);
        button->click();
        EXPECT_TRUE(writes == 0 || !Child<QTreeWidget>(&main, "Arbol")->isEnabled());
        WaitIdle();
        EXPECT_EQ(messages.TakeShown(), shown.isEmpty() ? QStringList() : QStringList{shown})
            << typed;
        EXPECT_EQ(Writes(), writes) << typed;
        EXPECT_EQ(scaleValue(), stored) << typed;
        EXPECT_EQ(main.NodeItem(key)->text(0), Row(key).text + " = " + value) << typed;
        EXPECT_EQ(Child<QLineEdit>(&main, "TxtNumero")->text(), typed);  // refused, it stays
        EXPECT_TRUE(main.isEnabled());
        EXPECT_EQ(button->text(), "Modificar Valor");
    }
    EXPECT_EQ(Causes(dir.path()), "read, set");
    {  // another shop behind the same connection, its value 7, read at noon UTC
        cfg::ConfigModel other = main.model();
        other.Scales().pop_back();
        std::vector<cfg::Held> held = cfg::HeldByNetwork(other);
        held[static_cast<std::size_t>(other.FindItemByKey(key))].value = "7";
        cfg::HistoryStore store;
        ASSERT_TRUE(store.Open(dir.filePath("history.db")) &&
                    store.Record(cfg::SnapshotCause::Read, served->Address(), other, held, {},
                                 {QDate(2026, 7, 1), QTime(12, 0), Qt::UTC}));
    }
    qputenv("TZ", "XST-5:30");  // the technician's local time, five and a half hours ahead
    tzset();
    const auto utc = qScopeGuard([] { qunsetenv("TZ"), tzset(); });
    Child<QPushButton>(&main, "CmdHistorial")->click();
    auto* window = Visible<cfg::FrmHistorial>();
    ASSERT_TRUE(window && !main.isEnabled());
    const auto idle = [&] { EXPECT_TRUE(WaitUntil([&] { return window->isEnabled(); })); };
    idle();
    auto* list = Child<QTreeWidget>(window, "Lista");
    auto* found = Child<QTreeWidget>(window, "Diferencias");
    ASSERT_EQ(list->topLevelItemCount(), 3);
    EXPECT_EQ(list->topLevelItem(0)->text(1), "2026-07-01 17:30:00");
    EXPECT_EQ(list->topLevelItem(1)->text(2), "Modificar Valor");
    const QString line = QString("%1 %2").arg(Row(key).id).arg(Row(key).text);
    const std::pair<std::vector<int>, QStringList> comparisons[] = {
        {{1, 2}, {"Balanza 3", line, before, "42"}},  // the two snapshots
        {{2}, {"Balanza 3", line, before, "42"}},     // the read against the tree now
        {{1}, {}},
    };
    for (const auto& [rows, expected] : comparisons) {
        list->clearSelection();
        for (int r : rows) list->topLevelItem(r)->setSelected(true);
        Child<QPushButton>(window, "CmdComparar")->click();
        idle();
        EXPECT_EQ(Rows(found), expected) << rows.size();
    }
    messages.TakeAsked();
    for (const auto& [row, answer, restored] :
         {std::tuple<int, bool, QString>{0, false, "42"}, {0, true, "7"}, {2, false, before}}) {
        messages.answer = answer;
        list->clearSelection();
        list->topLevelItem(row)->setSelected(true);
        Child<QPushButton>(window, "CmdRestaurar")->click();
        idle();
        EXPECT_EQ(main.NodeItem(key)->text(0), Row(key).text + " = " + restored) << row << answer;
    }
    EXPECT_EQ(messages.TakeAsked(),  // not for the connected network's own
              QStringList(2,
                          "exclamation, No: La instantánea 3 es de otra red (33a0e4257e6b); la "
                          "red conectada es 4a7a8e83bc10. ¿Restaurarla en el árbol?"));
    EXPECT_EQ(Rows(found), (QStringList{"Balanza 3", line, "42", before}));
    EXPECT_EQ(Writes(), 1);  // nothing sent until "Enviar Todo a Balanzas"
    Child<QPushButton>(window, "CmdCerrar")->click();
    EXPECT_TRUE(WaitUntil([&] { return main.isEnabled(); }));
    messages.answer = true;
    messages.scopeAnswer = cfg::SendScope::Changed;
    Press("Command2");
    EXPECT_EQ(Causes(dir.path()), "read, set, read, send restore");
    // A file loaded over restored values: what is sent is the file's, not a restore.
    Child<QPushButton>(&main, "CmdHistorial")->click();
    window = Visible<cfg::FrmHistorial>();
    ASSERT_NE(window, nullptr);
    list = Child<QTreeWidget>(window, "Lista");
    ASSERT_TRUE(WaitUntil([&] { return list->topLevelItemCount() == 4; }));
    list->findItems("Modificar Valor", Qt::MatchExactly, 2).value(0)->setSelected(true);
    Child<QPushButton>(window, "CmdRestaurar")->click();
    idle();
    Child<QPushButton>(window, "CmdCerrar")->click();
    ASSERT_TRUE(WaitUntil([&] { return main.isEnabled(); }));
    const QString file = dir.filePath("red.xml");
    std::vector<int> scales;
    for (const cfg::ScaleEntry& s : main.model().Scales()) scales.push_back(s.number);
    ASSERT_TRUE(cfg::Guardar_Datos_Archivo(main.model(), file, true, scales));
    Child<QPushButton>(&main, "Command1_2")->click();
    auto* open = Visible<cfg::FrmAbrir>();
    ASSERT_NE(open, nullptr);
    Child<QLineEdit>(open, "TxtRuta")->setText(file);
    Child<QPushButton>(open, "Command1_1")->click();
    ASSERT_TRUE(WaitUntil([&] { return messages.shown.size() == 1; }));
    open->close();
    ASSERT_TRUE(WaitUntil([&] { return main.isEnabled(); }));
    ASSERT_EQ(main.NodeItem(key)->text(0), Row(key).text + " = 42");
    Press("Command2");
    EXPECT_EQ(Causes(dir.path()), "read, set, read, send restore, send changes");
}

TEST_F(MainWindowTest, EnviarTodoAsksFirstAndSaysHowItEndedThenSalirEnds) {
    cfg::sim::Network network = cfg::sim::DefaultNetwork();
    network.scales = {network.scales.front()};  // few items: the grouped ones take 400 ms each
    Serve(network);
    cfg::FrmMain& main = Connected();
    auto* busy = Child<QLabel>(&main, "Label1_2");
    for (const bool answer : {false, true}) {
        messages.answer = answer;
        Press("Command2");
        EXPECT_EQ(messages.TakeAsked(),
                  QStringList{"question: Se enviarán todas las configuraciones a balanzas.¿Está "
                              "seguro?"});
        EXPECT_EQ(busy->isVisible(), answer);  // nothing said to be sent after a No
        EXPECT_TRUE(main.isEnabled());
        EXPECT_EQ(Writes() > 0, answer);
    }
    const cfg::SendSummary& summary = main.lastSend();
    EXPECT_GT(summary.sent, 10);
    EXPECT_EQ(Writes(), summary.sent + summary.refused + 6);  // the six grouped go twice
    EXPECT_TRUE(busy->text().startsWith("Envio Finalizado!!!"));
    EXPECT_EQ(busy->text(), summary.FinalCaption());
    Child<QPushButton>(&main, "Command1_0")->click();  // "Salir" ends without asking
    EXPECT_EQ(ended, 1);
    EXPECT_TRUE(messages.TakeAsked().isEmpty());
    EXPECT_EQ(Causes(dir.path()), "read, send all");  // nothing for the No
}

// The filter keeps the nodes holding every word typed, with their ancestors expanded, counts
// them, and Esc gives back the tree as it was, the current node kept.
TEST_F(MainWindowTest, FiltroNarrowsTheTreeAndEscGivesItBack) {
    cfg::FrmMain& main = Connected();
    auto* tree = Child<QTreeWidget>(&main, "Arbol");
    auto* box = Child<QLineEdit>(&main, "TxtFiltro");
    const QString key = Find(cfg::kNumber, true, [](const ItemRow& r) { return r.owner == 3; });
    tree->setCurrentItem(main.NodeItem(key));
    const auto state = [&] {
        QString flags;
        for (QTreeWidgetItemIterator it(tree); *it; ++it)
            flags += QString("%1%2 ").arg((*it)->isHidden()).arg((*it)->isExpanded());
        return flags;
    };
    const QString before = state();
    const QString text = Row(key).text;
    box->setText(text.toUpper());
    int holding = 0;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        const bool holds = (*it)->text(0).contains(text, Qt::CaseInsensitive);
        bool below = false;
        for (int c = 0; c < (*it)->childCount(); ++c) below = below || !(*it)->child(c)->isHidden();
        holding += holds;
        EXPECT_EQ(!(*it)->isHidden(), holds || below) << (*it)->text(0).toStdString();
        EXPECT_TRUE(!below || (*it)->isExpanded());
    }
    EXPECT_GE(holding, 4);  // the item on every scale
    EXPECT_EQ(Child<QLabel>(&main, "LblFiltro")->text(), QString("%1 coincidencias").arg(holding));
    QTest::keyClick(box, Qt::Key_Escape);
    EXPECT_TRUE(box->text().isEmpty());
    EXPECT_EQ(state(), before);
    EXPECT_EQ(tree->currentItem(), main.NodeItem(key));
}

// Made larger, the window gives the room to the tree; the buttons keep their place on the right.
TEST_F(MainWindowTest, AWiderWindowWidensTheTree) {
    cfg::FrmMain& main = Connected();
    auto* tree = Child<QTreeWidget>(&main, "Arbol");
    auto* send = Child<QPushButton>(&main, "Command2");
    const QSize before = tree->size();
    const auto fromRight = [&] { return main.width() - send->mapTo(&main, QPoint()).x(); };
    const int right = fromRight();
    main.resize(main.size() + QSize(400, 300));
    QCoreApplication::processEvents();
    EXPECT_EQ(tree->size(), before + QSize(400, 300));
    EXPECT_EQ(fromRight(), right);
}

// "Enviar Todo a Balanzas" asks with the items changed since the read and may send only those,
// showing what is done and left; an item a scale refused is listed in the report, copied and
// saved. What the tree holds and the scales do not is marked, counted, and not let go without a
// question whose Enter keeps it: the item refused stays marked, the one accepted does not.
TEST_F(MainWindowTest, EnviarTodoOffersTheChangesThenReportsAndKeepsWhatFailed) {
    QList<int> numbers;
    for (const cfg::sim::Record& r : cfg::sim::DefaultNetwork().shared)
        if (r.code == cfg::kNumber && !r.ReadOnly() && !cfg::sim::IsGroupId(r.id))
            numbers.append(r.id);
    ASSERT_GE(numbers.size(), 2);
    Serve(cfg::sim::DefaultNetwork(), {.latencyMs = 30, .refusedIds = {numbers[1]}});
    cfg::FrmMain& main = Connected();
    Edit([&](cfg::ConfigModel& model) {
        for (int id : {numbers[0], numbers[1]}) {
            ItemRow& row = model.Item(model.FindItem(3, id));
            row.value = row.readValue == "1" ? "2" : "1";
        }
    });
    messages.scopeAnswer = cfg::SendScope::Changed;
    Child<QPushButton>(&main, "Command2")->click();
    auto* progress = Child<QLabel>(&main, "LblProgreso");
    EXPECT_TRUE(WaitUntil([&] { return progress->isVisible(); }));
    EXPECT_TRUE(progress->text().startsWith("Items enviados: ")) << progress->text().toStdString();
    WaitIdle();
    EXPECT_FALSE(progress->isVisible());
    EXPECT_EQ(messages.changesAsked, 2);
    EXPECT_EQ(Writes(), 2);
    EXPECT_EQ(Causes(dir.path()), "read, send changes");
    auto* report = Visible<cfg::FrmInforme>();
    ASSERT_TRUE(report);
    const ItemRow& refused = main.model().Items()[main.model().FindItem(3, numbers[1])];
    EXPECT_EQ(Rows(Child<QTreeWidget>(report, "Lista")),
              (QStringList{"Balanza 3", QString("%1 %2").arg(refused.id).arg(refused.text),
                           refused.value, "Rechazado"}));
    chosen = dir.filePath("informe.txt");
    Child<QPushButton>(report, "CmdGuardar")->click();
    Child<QPushButton>(report, "CmdCopiar")->click();
    const QString saved = QString::fromUtf8(ReadAll(*chosen));
    EXPECT_TRUE(saved.endsWith(QString("3\t%1\t%2\t%3\tRechazado\tNo se puede programar\n")
                                   .arg(refused.id)
                                   .arg(refused.text, refused.value)));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), saved);
    // Reintentar sends what the report lists once more, without a question, and reports anew.
    Child<QPushButton>(report, "CmdReintentar")->click();
    WaitIdle();
    EXPECT_EQ(Writes(), 3);
    EXPECT_EQ(messages.changesAsked, 2);
    EXPECT_EQ(Causes(dir.path()), "read, send changes, send changes");
    report = Visible<cfg::FrmInforme>();
    ASSERT_TRUE(report);
    EXPECT_EQ(Child<QTreeWidget>(report, "Lista")->topLevelItemCount(), 1);
    report->close();

    const auto colour = [&](int id) {
        const QString key = main.model().Items()[main.model().FindItem(3, id)].key;
        const QVariant brush = main.NodeItem(key)->data(0, Qt::ForegroundRole);
        return brush.isValid() ? brush.value<QBrush>().color() : QColor();
    };
    EXPECT_EQ(colour(numbers[1]), QColor(200, 90, 0));
    EXPECT_EQ(colour(numbers[0]), QColor());
    auto* count = Child<QLabel>(&main, "LblCambios");
    EXPECT_TRUE(count->isVisible());
    EXPECT_EQ(count->text(), "1 cambio sin enviar");
    const std::pair<const char*, QString> buttons[] = {
        {"Command3",
         "Hay cambios sin enviar a las balanzas (1), que se perderán al recargar. "
         "¿Recargar de todos modos?"},
        {"Command1_0", "Hay cambios sin enviar a las balanzas (1). ¿Salir de todos modos?"},
    };
    messages.answer = false;
    messages.TakeAsked();  // the send's
    for (const auto& [button, question] : buttons) {
        Press(button);
        EXPECT_EQ(messages.TakeAsked(), QStringList{"exclamation, No: " + question});
        EXPECT_EQ(colour(numbers[1]), QColor(200, 90, 0)) << button;  // not read again
    }
    EXPECT_EQ(ended, 0);
    messages.answer = true;
    Child<QPushButton>(&main, "Command1_0")->click();
    EXPECT_EQ(ended, 1);
}

// "Cancelar" (or Esc) stops a read or a send after the exchange under way: the read is one in
// part, naming what it left; the send reports what it did not send.
TEST_F(MainWindowTest, CancelStopsAReadOrASendWhereItIs) {
    Serve(cfg::sim::DefaultNetwork(), {.latencyMs = 20, .refusedIds = {}});
    cfg::FrmMain& main = Connected();
    auto* cancel = Child<QPushButton>(&main, "CmdCancelar");
    EXPECT_FALSE(cancel->isVisible());
    // Some way in (past the system's structure and values), then stopped.
    const auto stop = [&](const char* button, const std::function<void()>& how) {
        const int from = served->engine.RequestCount();
        Child<QPushButton>(&main, button)->click();
        EXPECT_TRUE(WaitUntil(
            [&] { return cancel->isVisible() && served->engine.RequestCount() > from + 12; }));
        how();
        WaitIdle();
        EXPECT_FALSE(cancel->isVisible());
        return served->engine.RequestCount() - from;
    };
    stop("Command3", [&] { cancel->click(); });
    EXPECT_TRUE(Child<QLabel>(&main, "LblAviso")->text().endsWith("balanza 3; balanza 7"))
        << Child<QLabel>(&main, "LblAviso")->text().toStdString();
    ExpectMirrored(main);  // what was read, on the items of the read before
    const int sent = stop("Command2", [&] { QTest::keyClick(&main, Qt::Key_Escape); });
    EXPECT_LT(sent, 20);
    EXPECT_TRUE(main.lastSend().cancelled > 0);
    EXPECT_TRUE(Child<QLabel>(&main, "Label1_2")->text().startsWith("Envio Cancelado!!!"));
}

// Enter on the send question sends only what changed when anything did; else everything.
TEST(SendQuestion, EnterSendsTheChangesWhenAnyChanged) {
    const std::vector<cfg::ValueChange> two{{3, 40, "A", "1", "2"}, {3, 41, "B", "1", "2"}};
    for (const auto& [changes, preset] :
         {std::pair{two, QString("Solo cambios (2)")},
          std::pair{std::vector<cfg::ValueChange>{}, QString("Yes")}}) {
        QString pressed;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_TRUE(box);
            pressed = box->defaultButton()->text().remove(u'&');
            box->reject();
        });
        cfg::BoxMessages().AskSend("?", changes, cfg::SendScope::All);
        EXPECT_EQ(pressed, preset);
    }
}

// Captions that come faster than the pace are drawn as the latest once its time comes; one shown
// at once, and Stop, leave nothing waiting to overwrite it.
TEST(PacedLabel, ShowsTheLatestOnceDueAndNothingStale) {
    QLabel label;
    cfg::PacedLabel paced(label, 100);
    const std::tuple<std::vector<std::pair<QString, bool>>, bool, QString, QString> steps[] = {
        // given in a row (text, paced), then Stop; shown at once, and after the pace
        {{{"a", false}}, false, "a", "a"},
        {{{"b", true}, {"c", true}, {"d", true}}, false, "b", "d"},
        {{{"e", true}, {"f", true}, {"Fin", false}}, false, "Fin", "Fin"},
        {{{"g", true}, {"h", true}}, true, "g", "g"},
    };
    for (const auto& [given, stop, atOnce, later] : steps) {
        for (const auto& [text, pace] : given) paced.Show(text, pace);
        if (stop) paced.Stop();
        EXPECT_EQ(label.text(), atOnce);
        QTest::qWait(250);
        EXPECT_EQ(label.text(), later) << atOnce.toStdString();
    }
}

// "Copiar a otras balanzas…": a scale's values onto the scales ticked, previewed with the
// model and the tree untouched, then sent as a changes-only send.
TEST_F(MainWindowTest, CopiarPreviewsThenSendsOnlyWhatChanges) {
    cfg::FrmMain& main = Connected();
    const auto preview = [&] {
        Click(cfg::keys::Scale(1));
        Child<QPushButton>(&main, "CmdCopiar")->click();
        auto* window = Visible<cfg::FrmCopiar>();
        EXPECT_TRUE(window);
        auto* scales = Child<QListWidget>(window, "ListaBal");
        EXPECT_EQ(scales->count(), 3);  // the others
        scales->item(0)->setCheckState(Qt::Checked);
        Child<QPushButton>(window, "CmdVista")->click();
        EXPECT_TRUE(WaitUntil([&] { return window->isEnabled(); }));
        return window;
    };
    cfg::FrmCopiar* window = preview();
    auto* rows = Child<QTreeWidget>(window, "Cambios");
    const int all = rows->topLevelItemCount();
    ASSERT_GT(all, 1);
    int options = 0;
    for (int i = 0; i < all; ++i) {
        QTreeWidgetItem* line = rows->topLevelItem(i);
        EXPECT_EQ(line->text(0), "Balanza 2");
        const int id = line->text(1).section(u' ', 0, 0).toInt();
        const ItemRow& target = main.model().Items()[main.model().FindItem(2, id)];
        EXPECT_EQ(target.value, target.readValue);  // the preview changed nothing
        // An enumeration by its option's text.
        const bool option = target.type == cfg::kEnumeration;
        options += option;
        EXPECT_EQ(line->text(2),
                  option ? target.options.value(target.value.toInt()) : target.value);
        EXPECT_EQ(main.NodeItem(target.key)->text(0),
                  target.text + " = " + cfg::ShownValue(target).value_or(""));
    }
    EXPECT_GT(options, 0);
    // Every menu was ticked; only "Cabecera ticket" left, and the preview and the send take
    // only its items.
    auto* menus = Child<QTreeWidget>(window, "Menus");
    for (int i = 0; i < menus->topLevelItemCount(); ++i) {
        EXPECT_EQ(menus->topLevelItem(i)->checkState(0), Qt::Checked);
        if (menus->topLevelItem(i)->text(0) != "Cabecera ticket")
            menus->topLevelItem(i)->setCheckState(0, Qt::Unchecked);
    }
    EXPECT_FALSE(Child<QPushButton>(window, "CmdEnviar")->isEnabled());
    Child<QPushButton>(window, "CmdVista")->click();
    ASSERT_TRUE(WaitUntil([&] { return window->isEnabled(); }));
    ASSERT_EQ(rows->topLevelItemCount(), 1);
    EXPECT_EQ(rows->topLevelItem(0)->text(1), "153 Línea 2");
    Child<QPushButton>(window, "CmdEnviar")->click();
    WaitIdle();
    EXPECT_EQ(Writes(), 2);  // a grouped item, twice
    EXPECT_EQ(Causes(dir.path()), "read, send clone");
    EXPECT_EQ(Child<QTreeWidget>(preview(), "Cambios")->topLevelItemCount(), all - 1);

    // Every scale but the source, sixty seen at once, all or none at a click.
    std::vector<int> sixty(60);
    std::iota(sixty.begin(), sixty.end(), 1);
    auto* big = new cfg::FrmCopiar(main.worker(), {}, 1, sixty);
    big->show();
    auto* scales = Child<QListWidget>(big, "ListaBal");
    ASSERT_EQ(scales->count(), 59);
    for (const auto& [button, ticked] : {std::pair{"CmdTodas", 59}, {"CmdNinguna", 0}}) {
        Child<QPushButton>(big, button)->click();
        for (int i = 0; i < scales->count(); ++i) {
            EXPECT_TRUE(
                scales->viewport()->rect().contains(scales->visualItemRect(scales->item(i))));
            EXPECT_EQ(scales->item(i)->checkState(), ticked ? Qt::Checked : Qt::Unchecked);
        }
    }
    big->close();
}

}  // namespace
}  // namespace cfgtest
