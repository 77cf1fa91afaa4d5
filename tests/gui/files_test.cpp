#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>

#include "core/files/configsave.h"
#include "core/settings/clsconfig.h"
#include "gui/frmabrir.h"
#include "gui/frmguardar.h"
#include "guitestsupport.h"

namespace cfgtest {
namespace {

using cfg::Icon;

template <typename T>
T* TopLevel() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<T*>(w); window && window->isVisible()) return window;
    return nullptr;
}

TEST_F(GuiTest, SaveWindowWritesTheChosenScales) {
    cfg::FrmMain& main = Connected();
    Child<QPushButton>(&main, "Command1_1")->click();
    auto* save = TopLevel<cfg::FrmGuardar>();
    ASSERT_NE(save, nullptr);
    EXPECT_FALSE(main.isEnabled());
    auto* path = Child<QLineEdit>(save, "TxtRuta");
    EXPECT_EQ(path->text(), start->config().FilePath);
    auto* scales = Child<QListWidget>(save, "ListaBal");
    ASSERT_EQ(scales->count(), 4);
    EXPECT_EQ(scales->item(3)->text(), "7");
    EXPECT_EQ(scales->selectedItems().size(), 4);

    // "Guardar datos de balanzas:" unchecked deselects every scale; checked again, none.
    auto* withScales = Child<QCheckBox>(save, "Check1");
    withScales->setChecked(false);
    EXPECT_TRUE(scales->selectedItems().isEmpty());
    withScales->setChecked(true);
    EXPECT_TRUE(scales->selectedItems().isEmpty());
    scales->item(1)->setSelected(true);
    scales->item(3)->setSelected(true);

    // "..." puts the chosen file in the box and its folder in the settings.
    const QString file = dir.filePath("red.xml");
    files.answer = file;
    Child<QPushButton>(save, "CmdSelect")->click();
    EXPECT_EQ(path->text(), file);
    EXPECT_EQ(start->config().FilePath, dir.path() + "/");
    EXPECT_TRUE(DataIni().contains("<filepath> " + dir.path() + "/ </filepath>"));

    path->setText("   ");
    Child<QPushButton>(save, "Command1_1")->click();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Elija nombre del fichero");
    EXPECT_EQ(messages.shown[0].icon, Icon::Critical);
    EXPECT_TRUE(save->isVisible());

    path->setText(file);
    Child<QPushButton>(save, "Command1_1")->click();
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[1].text, "Datos Guardados");
    EXPECT_EQ(messages.shown[1].icon, Icon::Information);
    ASSERT_TRUE(WaitUntil([&] { return main.isEnabled(); }));
    EXPECT_EQ(TopLevel<cfg::FrmGuardar>(), nullptr);

    // Byte for byte what the core writes for the system and scales 2 and 7.
    const QString expected = dir.filePath("expected.xml");
    cfg::Guardar_Datos_Archivo(main.model(), expected, true, {2, 7});
    EXPECT_EQ(ReadAll(file), ReadAll(expected));

    // Overwriting asks first; No leaves the file and the window as they were.
    Child<QPushButton>(&main, "Command1_1")->click();
    save = TopLevel<cfg::FrmGuardar>();
    ASSERT_NE(save, nullptr);
    Child<QLineEdit>(save, "TxtRuta")->setText(file);
    Child<QCheckBox>(save, "ChkGeneral")->setChecked(false);
    messages.answer = false;
    Child<QPushButton>(save, "Command1_1")->click();
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_EQ(messages.asked[0].text, "el fichero ya existe, ¿Sobreescribir?");
    EXPECT_EQ(messages.asked[0].icon, Icon::Exclamation);
    EXPECT_TRUE(save->isVisible());
    EXPECT_EQ(ReadAll(file), ReadAll(expected));
    // Cancelar closes it, and the main window takes input again.
    Child<QPushButton>(save, "Command1_0")->click();
    ASSERT_TRUE(WaitUntil([&] { return main.isEnabled(); }));
}

// A read in part is said by a notice that blocks nothing and stays until the next read; the
// save window says what a file would lack, as the scales chosen change.
TEST_F(GuiTest, APartialReadIsNoticedAndTheSaveWindowSaysWhatTheFileLacks) {
    cfg::sim::EngineOptions options;
    options.faults.dropAfter = 19;  // scale 2's first value request
    Serve(cfg::sim::DefaultNetwork(), options);
    cfg::FrmMain& main = Connected();
    auto* notice = Child<QLabel>(&main, "LblAviso");
    EXPECT_FALSE(notice->isHidden());
    EXPECT_EQ(notice->text(), "Lectura incompleta, sin leer: balanza 2 (valores)");
    EXPECT_TRUE(messages.shown.empty());

    Child<QPushButton>(&main, "Command1_1")->click();
    auto* save = TopLevel<cfg::FrmGuardar>();
    ASSERT_NE(save, nullptr);
    auto* status = Child<QLabel>(save, "LblEstado");
    EXPECT_EQ(status->text(), "El fichero quedará incompleto, sin datos de: balanza 2 (valores)");
    Child<QListWidget>(save, "ListaBal")->item(1)->setSelected(false);
    EXPECT_TRUE(status->isHidden());
    Child<QPushButton>(save, "Command1_0")->click();
    ASSERT_TRUE(WaitUntil([&] { return main.isEnabled(); }));

    Serve();
    Child<QPushButton>(&main, "Command3")->click();
    WaitIdle();
    EXPECT_TRUE(notice->isHidden());
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(main.model().ReadFailures().empty());
}

TEST_F(GuiTest, OpenWindowLoadsAFileAndLogsIt) {
    cfg::FrmMain& main = Connected();
    // A file saved from this network, with one number of the system changed.
    const cfg::ItemRow* changed = nullptr;
    for (const cfg::ItemRow& row : main.model().Items())
        if (row.owner == 0 && row.type == cfg::kNumber && row.order < 100 && row.length >= 2 &&
            row.value != "12")
            changed = &row;
    ASSERT_NE(changed, nullptr);
    const QString key = changed->key;
    const QString itemText = changed->text;
    const QString file = dir.filePath("red.xml");
    cfg::Guardar_Datos_Archivo(main.model(), file, true, {1, 2, 3, 7});
    QByteArray bytes = ReadAll(file);
    const QByteArray option =
        QString("<OPTION id=\"%1\" text=\"%2\">").arg(changed->id).arg(changed->text).toLatin1();
    const qsizetype at = bytes.indexOf(option);
    ASSERT_GE(at, 0);
    const qsizetype valueAt = bytes.indexOf("<VALUE> ", at) + 8;
    const qsizetype valueEnd = bytes.indexOf(" </VALUE>", valueAt);
    bytes.replace(valueAt, valueEnd - valueAt, "12");
    WriteAll(file, bytes);

    Child<QPushButton>(&main, "Command1_2")->click();
    auto* open = TopLevel<cfg::FrmAbrir>();
    ASSERT_NE(open, nullptr);
    EXPECT_FALSE(main.isEnabled());
    EXPECT_EQ(open->windowTitle(), "CfgTaraScope");
    auto* path = Child<QLineEdit>(open, "TxtRuta");
    EXPECT_TRUE(path->text().isEmpty());
    auto* abrir = Child<QPushButton>(open, "Command1_1");

    struct Refusal {
        QString path;
        const char* message;
    };
    for (const Refusal& r : {Refusal{"", "Elija nombre del fichero"},
                             Refusal{dir.filePath("none.xml"), "El fichero no existe"}}) {
        messages.shown.clear();
        path->setText(r.path);
        abrir->click();
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, QString::fromUtf8(r.message));
        EXPECT_EQ(messages.shown[0].icon, Icon::Critical);
    }

    messages.shown.clear();
    path->setText(file);
    abrir->click();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.startsWith("Proceso finalizado, los datos no han sido"));
    EXPECT_EQ(messages.shown[0].icon, Icon::Information);
    EXPECT_TRUE(open->isVisible());
    auto* log = Child<QListWidget>(open, "Lista");
    ASSERT_GT(log->count(), 10);
    EXPECT_EQ(log->item(0)->text(), "****leyendo datos comunes");
    EXPECT_EQ(log->item(log->count() - 1)->text(), "****Proceso finalizado");
    for (int i = 0; i < log->count(); ++i)
        EXPECT_FALSE(log->item(i)->text().contains("no coincidente"))
            << log->item(i)->text().toStdString();
    ASSERT_TRUE(WaitUntil([&] { return main.NodeItem(key)->text(0) == itemText + " = 12"; }));
    EXPECT_TRUE(Writes().isEmpty());  // nothing is sent

    // Past 9000 lines the list starts again (filled hidden: repainting is what takes time).
    open->hide();
    while (log->count() < cfg::FrmAbrir::kMaxLines) open->Agregar_Linea("x");
    EXPECT_EQ(log->count(), cfg::FrmAbrir::kMaxLines);
    open->Agregar_Linea("y");
    EXPECT_EQ(log->count(), 0);
    open->Agregar_Linea("z");
    ASSERT_EQ(log->count(), 1);
    EXPECT_EQ(log->item(0)->text(), "z");

    // Closing the window in any way lets the main window take input again.
    open->close();
    ASSERT_TRUE(WaitUntil([&] { return main.isEnabled(); }));
}

}  // namespace
}  // namespace cfgtest
