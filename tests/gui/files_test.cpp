// The save and open windows, shown without blocking while the main window waits.
#include <QCheckBox>
#include <QListWidget>

#include "core/files/configsave.h"
#include "core/settings/clsconfig.h"
#include "gui/frmabrir.h"
#include "gui/frmguardar.h"
#include "guitestsupport.h"

namespace cfgtest {
namespace {

// A read in part is said by a notice that blocks nothing and stays until the next read; the save
// window says what a file would lack, as the scales chosen change.
TEST_F(GuiTest, SaveWindowWritesTheChosenScalesSaysWhatTheyLackAndAsksBeforeOverwriting) {
    Serve(cfg::sim::DefaultNetwork(), {.unreadableScales = {2}, .refusedIds = {}});
    cfg::FrmMain& main = Connected();
    auto* notice = Child<QLabel>(&main, "LblAviso");
    EXPECT_EQ(notice->isHidden() ? "" : notice->text(),
              "Lectura incompleta, sin leer: balanza 2 (valores)");
    Child<QPushButton>(&main, "Command1_1")->click();
    auto* save = Visible<cfg::FrmGuardar>();
    ASSERT_NE(save, nullptr);
    EXPECT_FALSE(main.isEnabled());
    auto* path = Child<QLineEdit>(save, "TxtRuta");
    EXPECT_EQ(path->text(), start->config().FilePath);
    auto* scales = Child<QListWidget>(save, "ListaBal");
    EXPECT_EQ(scales->selectedItems().size(), 4);
    auto* status = Child<QLabel>(save, "LblEstado");
    EXPECT_EQ(status->text(), "El fichero quedará incompleto, sin datos de: balanza 2 (valores)");
    // Unchecking "Guardar datos de balanzas:" deselects every scale; checked again, none.
    Child<QCheckBox>(save, "Check1")->setChecked(false);
    Child<QCheckBox>(save, "Check1")->setChecked(true);
    EXPECT_TRUE(scales->selectedItems().isEmpty() && status->isHidden());
    scales->item(1)->setSelected(true);
    scales->item(3)->setSelected(true);
    EXPECT_FALSE(status->isHidden());
    // "..." puts the chosen file in the box and its folder in the settings.
    const QString file = dir.filePath("red.xml");
    chosen = file;
    Child<QPushButton>(save, "CmdSelect")->click();
    EXPECT_EQ(path->text(), file);
    EXPECT_TRUE(DataIni().contains("<filepath> " + dir.path() + "/ </filepath>"));
    path->setText("   ");
    Child<QPushButton>(save, "Command1_1")->click();
    path->setText(file);
    Child<QPushButton>(save, "Command1_1")->click();
    EXPECT_EQ(messages.TakeShown(),
              (QStringList{"critical: Elija nombre del fichero", "information: Datos Guardados"}));
    ASSERT_TRUE(WaitUntil([&] { return main.isEnabled(); }));
    const QString expected = dir.filePath("expected.xml");
    ASSERT_TRUE(cfg::Guardar_Datos_Archivo(main.model(), expected, true, {2, 7}));
    EXPECT_EQ(ReadAll(file), ReadAll(expected));

    // Values the scales do not hold are counted over the parts chosen. Over an existing file,
    // one that would lack what was not read is asked about with No preset; else as ever. No
    // leaves the file and the window as they were; "Cancelar" closes it.
    Edit([](cfg::ConfigModel& model) {
        for (const auto& [owner, id] : {std::pair{0, 12}, {1, 102}})
            model.Item(model.FindItem(owner, id)).value = "9";
    });
    Child<QPushButton>(&main, "Command1_1")->click();
    save = Visible<cfg::FrmGuardar>();
    status = Child<QLabel>(save, "LblEstado");
    scales = Child<QListWidget>(save, "ListaBal");
    EXPECT_EQ(status->text(),
              "El fichero quedará incompleto, sin datos de: balanza 2 (valores)\n"
              "2 valores del fichero no están en las balanzas");
    Child<QLineEdit>(save, "TxtRuta")->setText(file);
    Child<QCheckBox>(save, "ChkGeneral")->setChecked(false);
    EXPECT_TRUE(status->text().endsWith("\n1 valor del fichero no está en las balanzas"));
    messages.answer = false;
    Child<QPushButton>(save, "Command1_1")->click();
    scales->item(1)->setSelected(false);
    Child<QPushButton>(save, "Command1_1")->click();
    scales->item(0)->setSelected(false);
    EXPECT_TRUE(status->isHidden());
    EXPECT_EQ(messages.TakeAsked(),
              (QStringList{"exclamation, No: El fichero ya existe y la lectura fue incompleta: el "
                           "fichero nuevo no tendrá datos de: balanza 2 (valores). ¿Sobreescribir "
                           "el fichero existente?",
                           "exclamation: el fichero ya existe, ¿Sobreescribir?"}));
    EXPECT_TRUE(save->isVisible());
    EXPECT_EQ(ReadAll(file), ReadAll(expected));
    Child<QPushButton>(save, "Command1_0")->click();
    ASSERT_TRUE(WaitUntil([&] { return main.isEnabled(); }));
    Serve();
    messages.answer = true;  // the two values set above are let go
    Press("Command3");
    EXPECT_TRUE(notice->isHidden());
}

TEST_F(GuiTest, OpenWindowLoadsAFileLogsItAndSendsNothing) {
    cfg::FrmMain& main = Connected();
    const QString key = Find(cfg::kNumber, false, [](const cfg::ItemRow& r) {
        return r.length >= 2 && r.value != "12";
    });
    const QString text = Row(key).text, file = dir.filePath("red.xml");
    ASSERT_TRUE(cfg::Guardar_Datos_Archivo(main.model(), file, true, {1, 2, 3, 7}));
    QByteArray bytes = ReadAll(file);
    const qsizetype at = bytes.indexOf(
        QString("<OPTION id=\"%1\" text=\"%2\">").arg(Row(key).id).arg(text).toLatin1());
    const qsizetype valueAt = bytes.indexOf("<VALUE> ", at) + 8;
    WriteAll(file, bytes.replace(valueAt, bytes.indexOf(" </VALUE>", valueAt) - valueAt, "12"));
    const QString cut = dir.filePath("cut.xml");  // past the value changed
    WriteAll(cut, bytes.left(valueAt + 40));

    Child<QPushButton>(&main, "Command1_2")->click();
    auto* open = Visible<cfg::FrmAbrir>();
    ASSERT_NE(open, nullptr);
    EXPECT_FALSE(main.isEnabled());
    EXPECT_EQ(open->windowTitle(), "CfgTaraScope");
    auto* path = Child<QLineEdit>(open, "TxtRuta");
    EXPECT_TRUE(path->text().isEmpty());
    auto* abrir = Child<QPushButton>(open, "Command1_1");
    for (const QString& typed : {QString(), dir.filePath("none.xml"), cut, file}) {
        path->setText(typed);
        ASSERT_TRUE(WaitUntil([&] { return abrir->isEnabled(); }));
        abrir->click();
    }
    ASSERT_TRUE(WaitUntil([&] { return messages.shown.size() == 4; }));
    const QStringList shown = messages.TakeShown();
    EXPECT_EQ(shown.mid(0, 3),
              (QStringList{"critical: Elija nombre del fichero", "critical: El fichero no existe",
                           "critical: Error de acceso al fichero, o no es un fichero con "
                           "estructura válida"}));
    EXPECT_TRUE(shown[3].startsWith("information: Proceso finalizado, los datos no han sido"));
    auto* log = Child<QListWidget>(open, "Lista");
    ASSERT_GT(log->count(), 10);
    EXPECT_EQ(log->item(0)->text(), "****leyendo datos comunes");
    EXPECT_EQ(log->item(log->count() - 1)->text(), "****Proceso finalizado");
    EXPECT_TRUE(log->findItems("no coincidente", Qt::MatchContains).isEmpty());
    ASSERT_TRUE(WaitUntil([&] { return !main.Busy(); }));  // the model is read once idle
    EXPECT_EQ(main.NodeItem(key)->text(0), text + " = 12");
    EXPECT_EQ(Writes(), 0);

    open->close();
    ASSERT_TRUE(WaitUntil([&] { return main.isEnabled(); }));
}

}  // namespace
}  // namespace cfgtest
