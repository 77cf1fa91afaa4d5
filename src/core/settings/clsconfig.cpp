#include "core/settings/clsconfig.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <initializer_list>

#include "core/common/basic.h"
#include "core/common/operation.h"
#include "core/link/trafficlog.h"
#include "core/startup/ipcheck.h"
#include "core/xml/xmlerror.h"
#include "core/xml/xmlreader.h"
#include "core/xml/xmlwriter.h"

namespace cfg {

namespace {

const QString kRoot = QStringLiteral("cfgtarascope");

// Reads the value of the child `name` of the element under the cursor, logged to nlog.txt;
// null when there is none.
QString ReadChild(ClsXMLReader& reader, TrafficLog* log, const QString& name) {
    if (!reader.SearchString(name)) return {};
    const QString text = reader.LabelData();
    if (log) log->Escribe_NLog(text);
    QString value = TrimSpaces(text);
    reader.GoBack();
    return value.isNull() ? QStringLiteral("") : value;
}

// A numeric value accepted when `accept` says so, of the value as written and of the whole
// number stored (0.1 is above 0, but would be stored as 0); otherwise a data error is noted.
void ReadNumber(ClsXMLReader& reader, TrafficLog* log, const QString& name, int& property,
                bool& dataError, bool (*accept)(double)) {
    const QString text = ReadChild(reader, log, name);
    if (text.isNull()) return;
    const double value = LeadingNumber(text);
    const int whole = ToWholeNumber(value);
    if (IsNumeric(text) && accept(value) && accept(whole)) {
        property = whole;
    } else {
        dataError = true;
    }
}

bool OneOf(double value, std::initializer_list<double> allowed) {
    for (double a : allowed)
        if (value == a) return true;
    return false;
}

}  // namespace

ClsConfig::ClsConfig(QString programFolder, TrafficLog* log)
    : FilePath(programFolder + QDir::separator()), folder_(std::move(programFolder)), log_(log) {}

QString ClsConfig::DataFile() const {
    return QDir(folder_).filePath(QStringLiteral("data.ini"));
}

bool ClsConfig::Exists() const {
    return QFileInfo::exists(DataFile());
}

bool ClsConfig::WriteConfiguration() const {
    const auto number = [](int value) { return QString::number(value); };
    ClsXMLWriter writer;
    writer.setDocument(DataFile());
    if (!writer.OpenDoc(kRoot)) return false;
    writer.SetData(QStringLiteral("lang"), Lang);
    writer.SetData(QStringLiteral("filepath"), FilePath);
    writer.SetData(QStringLiteral("commode"), number(ComMode));
    writer.SetSimpleBlock(QStringLiteral("TCP"));
    writer.SetData(QStringLiteral("tcphost"), TcpHost);
    writer.SetData(QStringLiteral("tcpport"), number(TcpPort));
    writer.EndDataBlock();
    writer.SetSimpleBlock(QStringLiteral("RS232"));
    writer.SetData(QStringLiteral("serialport"), number(SerialPort));
    writer.SetData(QStringLiteral("serialspeed"), number(SerialSpeed));
    writer.SetData(QStringLiteral("serialparity"), SerialParity);
    writer.SetData(QStringLiteral("serialbits"), number(SerialBits));
    if (!SerialDevice.isEmpty()) writer.SetData(QStringLiteral("serialdevice"), SerialDevice);
    writer.EndDataBlock();
    return writer.CloseDoc();
}

bool ClsConfig::ReadConfiguration(Operation& op) {
    ClsXMLReader reader;
    reader.setDocument(DataFile());
    // Unreadable or malformed counts as a file without its root.
    const bool opened = reader.OpenDoc();
    if (!opened && reader.error().unmatchedEndTag) op.Show(QStringLiteral("ERR"), Icon::None);
    if (!opened || !reader.SearchString(kRoot)) {
        op.Show(QStringLiteral("Error : Fichero de configuración incorrecto"), Icon::Critical);
        return false;
    }

    bool dataError = false;
    if (const QString lang = ReadChild(reader, log_, QStringLiteral("lang")); !lang.isNull())
        Lang = lang.isEmpty() ? QStringLiteral("org") : lang;
    if (const QString path = ReadChild(reader, log_, QStringLiteral("filepath")); !path.isNull())
        FilePath = !path.isEmpty() && QFileInfo::exists(path) ? path : folder_ + QDir::separator();
    if (const QString mode = ReadChild(reader, log_, QStringLiteral("commode")); !mode.isNull())
        ComMode = ToWholeNumber(LeadingNumber(mode));

    if (reader.SearchString(QStringLiteral("tcp"))) {
        if (QString host = ReadChild(reader, log_, QStringLiteral("tcphost")); !host.isNull()) {
            GeneraTextoIP(host);  // stored as it comes out, valid or not
            TcpHost = host;
        }
        ReadNumber(reader, log_, QStringLiteral("tcpport"), TcpPort, dataError,
                   [](double v) { return v > 0 && v < 65536; });
        reader.GoBack();
    }
    if (reader.SearchString(QStringLiteral("rs232"))) {
        ReadNumber(reader, log_, QStringLiteral("serialport"), SerialPort, dataError,
                   [](double v) { return v > 0 && v < 10; });
        ReadNumber(reader, log_, QStringLiteral("serialspeed"), SerialSpeed, dataError,
                   [](double v) {
                       return OneOf(v, {19200, 14400, 9600, 2400, 1200});
                   });
        ReadNumber(reader, log_, QStringLiteral("serialbits"), SerialBits, dataError, [](double v) {
            return OneOf(v, {8, 7});
        });
        if (const QString parity = ReadChild(reader, log_, QStringLiteral("serialparity"));
            !parity.isNull()) {
            const QString upper = parity.toUpper();
            if (upper == u"E" || upper == u"O" || upper == u"N") {
                SerialParity = upper;
            } else {
                dataError = true;
            }
        }
        SerialDevice = ReadChild(reader, log_, QStringLiteral("serialdevice"));
        reader.GoBack();
    }

    if (log_) log_->Flush();
    if (dataError) {
        op.Show(QStringLiteral("El fichero de configuración data.ini tiene datos incorrectos, "
                               "pero ha sido leído ignorando los fallos"),
                Icon::Exclamation);
    }
    return true;
}

}  // namespace cfg
