#include "gui/frmconexion.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/common/basic.h"
#include "core/editing/editor.h"
#include "core/link/scalelink.h"
#include "core/settings/clsconfig.h"
#include "core/startup/ipcheck.h"
#include "gui/frmmain.h"

namespace cfg {

namespace {

const QString kConnecting = QStringLiteral("Conectando...");
const QString kConnectError = QStringLiteral("Error al conectar con la balanza");

std::array<QPushButton*, 2> DialogButtons(QDialog* dialog) {
    std::array<QPushButton*, 2> buttons{new QPushButton(QStringLiteral("Aceptar"), dialog),
                                        new QPushButton(QStringLiteral("Cancelar"), dialog)};
    buttons[0]->setObjectName(QStringLiteral("Command1_0"));
    buttons[1]->setObjectName(QStringLiteral("Command1_1"));
    buttons[0]->setDefault(true);
    buttons[1]->setAutoDefault(false);
    return buttons;
}

}  // namespace

FrmConfiguracion::FrmConfiguracion(DesktopServices& services, ClsConfig& config, FrmMain& main,
                                   QWidget* parent)
    : QDialog(parent), services_(services), config_(config), main_(main) {
    setObjectName(QStringLiteral("FrmConfiguracion"));
    setWindowTitle(QStringLiteral("Conexión"));
    Label1 = new QLabel(QStringLiteral("Indique IP de la Balanza Servidora"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    auto* Label2 = new QLabel(QStringLiteral("Puerto :"), this);
    Text2 = new QLineEdit(QStringLiteral("6000"), this);
    Text2->setObjectName(QStringLiteral("Text2"));
    for (QLineEdit* box : {Text1, Text2}) new KeyFilter(box, FiltraTeclaConexion);
    Command1 = DialogButtons(this);

    auto* layout = new QGridLayout(this);
    layout->addWidget(Label1, 0, 0, 1, 2);
    layout->addWidget(Text1, 1, 0, 1, 2);
    layout->addWidget(Label2, 2, 0);
    layout->addWidget(Text2, 2, 1);
    layout->addLayout(ButtonRow({Command1[0], Command1[1]}), 3, 0, 1, 2);
    setMinimumWidth(340);

    // Load.
    Text1->setText(config_.TcpHost);
    Text2->setText(QString::number(config_.TcpPort));
    Text1->setFocus();

    connect(Command1[0], &QPushButton::clicked, this, &FrmConfiguracion::Aceptar_Click);
    connect(Command1[1], &QPushButton::clicked, this, &FrmConfiguracion::reject);
}

void FrmConfiguracion::Aceptar_Click() {
    setEnabled(false);
    QString address = Text1->text();
    if (!GeneraTextoIP(address)) {
        services_.messages.Show(QStringLiteral("IP incorrecta"), Icon::Critical);
        setEnabled(true);
        return;
    }
    const double port = LeadingNumber(Text2->text());
    if (port < 1 || port > 65535) {
        services_.messages.Show(QStringLiteral("Puerto no válido"), Icon::Critical);
        setEnabled(true);
        return;
    }
    const QString caption = Label1->text();
    Label1->setText(kConnecting);
    main_.Connect(ScaleLink::Tcp, Text1->text() + u':' + Text2->text(),
                  [this, caption, port](int result) {
                      Label1->setText(caption);
                      if (result != 0) services_.messages.Show(kConnectError, Icon::Critical);
                      config_.TcpHost = Text1->text();
                      config_.TcpPort = ToWholeNumber(port);
                      config_.WriteConfiguration();
                      main_.Configure(15);
                      hide();
                      setEnabled(true);
                      main_.show();
                      if (result == 0) main_.Lee_Datos();
                  });
}

void FrmConfiguracion::reject() {
    if (!isEnabled()) return;  // a connection attempt is under way
    QDialog::reject();
    services_.program.EndProgram();
}

namespace {
// A list whose entries are made again as it opens: adapters come and go while the dialog waits.
class PortList : public QComboBox {
  public:
    PortList(QWidget* parent, std::function<void()> refresh)
        : QComboBox(parent), refresh_(std::move(refresh)) {}
    void showPopup() override {
        refresh_();
        QComboBox::showPopup();
    }

  private:
    std::function<void()> refresh_;
};
}  // namespace

FrmConf232::FrmConf232(DesktopServices& services, ClsConfig& config, FrmMain& main, QWidget* parent)
    : QDialog(parent), services_(services), config_(config), main_(main) {
    setObjectName(QStringLiteral("FrmConf232"));
    setWindowTitle(QStringLiteral("Conexión"));
    Label1 = new QLabel(QStringLiteral("Indique Configuración de Comunicaciones"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    const auto list = [this](const QString& name, const QStringList& items) {
        auto* box = new QComboBox(this);
        box->setObjectName(name);
        box->addItems(items);
        return box;
    };
    CmbPuerto = new PortList(this, [this] { RefreshPorts(); });
    CmbPuerto->setObjectName(QStringLiteral("CmbPuerto"));
    CmbPuerto->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    CmbSpeed = list(QStringLiteral("CmbSpeed"), {"19200", "14400", "9600", "2400", "1200"});
    CmbParidad = list(QStringLiteral("CmbParidad"), {"E", "O", "N"});
    CmbBits = list(QStringLiteral("CmbBits"), {"8", "7"});
    Command1 = DialogButtons(this);

    auto* layout = new QGridLayout(this);
    layout->addWidget(Label1, 0, 0, 1, 2);
    const QStringList captions{"Puerto :", "Velocidad :", "Paridad :", "Bits :"};
    const std::array<QComboBox*, 4> boxes{CmbPuerto, CmbSpeed, CmbParidad, CmbBits};
    for (int i = 0; i < 4; ++i) {
        layout->addWidget(new QLabel(captions[i], this), i + 1, 0);
        layout->addWidget(boxes[static_cast<size_t>(i)], i + 1, 1);
    }
    layout->addLayout(ButtonRow({Command1[0], Command1[1]}), 5, 0, 1, 2);
    setMinimumWidth(340);

    // Load: the first entry of every list, or the device last connected to when present.
    RefreshPorts();
    for (QComboBox* box : boxes) box->setCurrentIndex(0);
    if (const int kept = CmbPuerto->findData(config_.SerialDevice);
        !config_.SerialDevice.isEmpty() && kept >= 0)
        CmbPuerto->setCurrentIndex(kept);
    CmbPuerto->setFocus();

    connect(Command1[0], &QPushButton::clicked, this, &FrmConf232::Aceptar_Click);
    connect(Command1[1], &QPushButton::clicked, this, &FrmConf232::reject);
}

void FrmConf232::RefreshPorts() {
    const QVariant chosen = CmbPuerto->currentData();
    CmbPuerto->clear();
    for (int n = 1; n <= 9; ++n) CmbPuerto->addItem(QStringLiteral("COM%1").arg(n), n);
    for (const SerialPortEntry& port : services_.ports()) {
        const QString text = port.description.isEmpty()
                                 ? port.path
                                 : port.path + QStringLiteral(" (") + port.description + u')';
        CmbPuerto->addItem(text, port.path);
    }
    CmbPuerto->setCurrentIndex(std::max(0, CmbPuerto->findData(chosen)));
}

QString FrmConf232::ConnectionText() const {
    return QStringList{CmbSpeed->currentText(), CmbParidad->currentText(), CmbBits->currentText(),
                       CmbPuerto->currentData().toString()}
        .join(u',');
}

void FrmConf232::Aceptar_Click() {
    setEnabled(false);
    const QString caption = Label1->text();
    Label1->setText(kConnecting);
    const QVariant port = CmbPuerto->currentData();
    main_.Connect(ScaleLink::Serial, ConnectionText(), [this, caption, port](int result) {
        Label1->setText(caption);
        setEnabled(true);
        if (result != 0) {
            // Which device, and why: missing, or a user outside the dialout group.
            const QString why = main_.connectError();
            services_.messages.Show(why.isEmpty() ? kConnectError : kConnectError + u'\n' + why,
                                    Icon::Critical);
            return;
        }
        if (port.typeId() == QMetaType::QString) {
            config_.SerialDevice = port.toString();
            config_.WriteConfiguration();
        }
        main_.Configure(15);
        hide();
        main_.show();
        main_.Lee_Datos();
    });
}

void FrmConf232::reject() {
    if (!isEnabled()) return;
    QDialog::reject();
    services_.program.EndProgram();
}

}  // namespace cfg
