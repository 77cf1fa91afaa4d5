#include <QFileInfo>
#include <QSerialPort>
#include <QThread>

#include "transports/connectiontext.h"
#include "transports/linkbackend.h"
#include "transports/linkcomponent.h"

#ifdef Q_OS_LINUX
#include <sys/stat.h>
#include <sys/sysmacros.h>
#endif

namespace cfg {
namespace {

// Linux pseudo-terminal slaves (major numbers 136 to 143, /dev/pts/*) take bytes both ways but
// refuse some line settings, parity among them.
bool IsPseudoTerminal([[maybe_unused]] const QSerialPort& port, const QString& device) {
#ifdef Q_OS_LINUX
    struct stat info {};
    if (::fstat(static_cast<int>(port.handle()), &info) == 0 && S_ISCHR(info.st_mode)) {
        const unsigned int majorNumber = major(info.st_rdev);
        if (majorNumber >= 136 && majorNumber <= 143) return true;
    }
    return QFileInfo(device).canonicalFilePath().startsWith(QLatin1String("/dev/pts/"));
#else
    Q_UNUSED(device);
    return false;
#endif
}

QSerialPort::Parity ToParity(char letter) {
    switch (letter) {
        case 'E':
            return QSerialPort::EvenParity;
        case 'O':
            return QSerialPort::OddParity;
        default:
            return QSerialPort::NoParity;
    }
}

class SerialBackend final : public LinkBackend {
  public:
    ~SerialBackend() override { Close(); }

    int Open(const QString& text, QDeadlineTimer /*deadline*/, QString& error) override {
        Close();
        const auto settings = ParseSerialText(text);
        if (!settings) {
            error = QStringLiteral("texto de conexión serie no válido: «%1»").arg(text);
            return LinkComponent::kBadText;
        }
        const QString device = SerialDevice(*settings);
        auto port = std::make_unique<QSerialPort>();
        port->setPortName(device);
        if (!port->open(QIODevice::ReadWrite)) {
            switch (port->error()) {
                case QSerialPort::PermissionError:
                    // Serial devices belong to the dialout group, which a new user is not in.
                    error = device + QStringLiteral(
                                         ": sin permiso para abrirlo (el usuario ha de "
                                         "pertenecer al grupo dialout)");
                    break;
                case QSerialPort::DeviceNotFoundError:
                    error = device + QStringLiteral(": no existe");
                    break;
                default:
                    error = device + QStringLiteral(": no se puede abrir (ocupado o sin acceso)");
                    break;
            }
            return LinkComponent::kPortNotOpened;
        }

        const bool pty = IsPseudoTerminal(*port, device);
        struct Setting {
            const char* name;
            bool applied;
        };
        // Each is applied on its own so a refusal names the setting.
        const Setting applied[] = {
            {"la velocidad", port->setBaudRate(settings->speed)},
            {"los bits de datos",
             port->setDataBits(static_cast<QSerialPort::DataBits>(settings->dataBits))},
            {"la paridad", port->setParity(ToParity(settings->parity))},
            {"los bits de parada", port->setStopBits(QSerialPort::OneStop)},
            {"el control de flujo", port->setFlowControl(QSerialPort::NoFlowControl)},
        };
        for (const Setting& s : applied) {
            if (s.applied || pty) continue;
            error =
                QStringLiteral("%1: el puerto no admite %2").arg(device, QString::fromUtf8(s.name));
            port->close();
            return LinkComponent::kSettingRefused;
        }
        port->clear(QSerialPort::AllDirections);
        port->clearError();
        port_ = std::move(port);
        return LinkComponent::kOk;
    }

    void Close() override {
        if (port_ && port_->thread() == QThread::currentThread() && port_->isOpen())
            port_->clear(QSerialPort::AllDirections);
        DisposeDevice(std::move(port_));
    }

    QIODevice* Device() const override { return port_.get(); }

    bool DiscardStale() override {
        if (!port_ || !port_->isOpen()) return false;
        port_->readAll();
        port_->clear(QSerialPort::Input);
        port_->clearError();
        return true;
    }

    bool PeerGone() const override {
        if (!port_) return true;
        const QSerialPort::SerialPortError error = port_->error();
        return error != QSerialPort::NoError && error != QSerialPort::TimeoutError;
    }

  private:
    std::unique_ptr<QSerialPort> port_;
};

}  // namespace

std::unique_ptr<LinkBackend> MakeSerialBackend() {
    return std::make_unique<SerialBackend>();
}

}  // namespace cfg
