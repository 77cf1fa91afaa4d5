#include "settings/clsconfig.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <initializer_list>

#include "common/basic.h"
#include "common/messages.h"
#include "startup/ipcheck.h"
#include "xml/xmlerror.h"
#include "xml/xmlreader.h"
#include "xml/xmlwriter.h"

namespace cfg {

namespace {

const QString kRoot = QStringLiteral("cfgtarascope");

// Reads the value of the child `name` of the element under the cursor; null when there is none.
QString ReadChild(ClsXMLReader& reader, const QString& name) {
    if (!reader.SearchString(name)) return {};
    QString value = TrimSpaces(reader.LabelData());
    reader.GoBack();
    return value.isNull() ? QStringLiteral("") : value;
}

// A numeric value accepted when `accept` says so, of the value as written and of the whole
// number stored (0.1 is above 0, but would be stored as 0); otherwise a data error is noted.
void ReadNumber(ClsXMLReader& reader, const QString& name, int& property, bool& dataError,
                bool (*accept)(double)) {
    const QString text = ReadChild(reader, name);
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
    try {
        ClsXMLWriter writer;
        writer.setDocument(DataFile());
        writer.OpenDoc(kRoot);
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
        writer.EndDataBlock();
        writer.CloseDoc();
        return true;
    } catch (const XmlError&) {
        return false;
    } catch (const XmlWriteError&) {
        return false;
    }
}

bool ClsConfig::ReadConfiguration(Messages& messages, ProgramControl& program) {
    ClsXMLReader reader(&messages, log_);
    reader.setDocument(DataFile());
    bool rooted = false;
    try {
        reader.OpenDoc();
        rooted = reader.SearchString(kRoot);
    } catch (const XmlError&) {
        // Unreadable or malformed counts as a file without its root.
    }
    if (!rooted) {
        messages.Show(QStringLiteral("Error : Fichero de configuración incorrecto"),
                      Icon::Critical);
        program.EndProgram();
        return false;
    }

    bool dataError = false;
    if (const QString lang = ReadChild(reader, QStringLiteral("lang")); !lang.isNull())
        Lang = lang.isEmpty() ? QStringLiteral("org") : lang;
    if (const QString path = ReadChild(reader, QStringLiteral("filepath")); !path.isNull())
        FilePath = !path.isEmpty() && QFileInfo::exists(path) ? path : folder_ + QDir::separator();
    if (const QString mode = ReadChild(reader, QStringLiteral("commode")); !mode.isNull())
        ComMode = ToWholeNumber(LeadingNumber(mode));

    if (reader.SearchString(QStringLiteral("tcp"))) {
        if (QString host = ReadChild(reader, QStringLiteral("tcphost")); !host.isNull()) {
            GeneraTextoIP(host);  // stored as it comes out, valid or not
            TcpHost = host;
        }
        ReadNumber(reader, QStringLiteral("tcpport"), TcpPort, dataError,
                   [](double v) { return v > 0 && v < 65536; });
        reader.GoBack();
    }
    if (reader.SearchString(QStringLiteral("rs232"))) {
        ReadNumber(reader, QStringLiteral("serialport"), SerialPort, dataError,
                   [](double v) { return v > 0 && v < 10; });
        ReadNumber(reader, QStringLiteral("serialspeed"), SerialSpeed, dataError, [](double v) {
            return OneOf(v, {19200, 14400, 9600, 2400, 1200});
        });
        ReadNumber(reader, QStringLiteral("serialbits"), SerialBits, dataError, [](double v) {
            return OneOf(v, {8, 7});
        });
        if (const QString parity = ReadChild(reader, QStringLiteral("serialparity"));
            !parity.isNull()) {
            const QString upper = parity.toUpper();
            if (upper == u"E" || upper == u"O" || upper == u"N") {
                SerialParity = upper;
            } else {
                dataError = true;
            }
        }
        reader.GoBack();
    }

    if (dataError) {
        messages.Show(
            QStringLiteral("El fichero de configuración data.ini tiene datos incorrectos, "
                           "pero ha sido leído ignorando los fallos"),
            Icon::Exclamation);
    }
    return true;
}

}  // namespace cfg
