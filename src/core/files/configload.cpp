#include "core/files/configload.h"

#include <QFileInfo>
#include <QStringList>
#include <algorithm>

#include "core/common/basic.h"
#include "core/common/operation.h"
#include "core/link/trafficlog.h"
#include "core/model/configmodel.h"
#include "core/protocol/tools.h"
#include "core/xml/xmlerror.h"
#include "core/xml/xmlreader.h"

namespace cfg {

namespace {

QString Normal(const QString& name) {
    return TrimSpaces(name).toUpper();
}

// The rounded value of the first attribute named `name`, or -1 when it is missing or not a
// number.
int NumberAttribute(ClsXMLReader& reader, const QString& name, bool lastWins, int& count) {
    QStringList names, values;
    reader.GetAttributes(count, names, values);
    int number = -1;
    for (int i = 0; i < count; ++i) {
        if (Normal(names[i]) != name) continue;
        const QString value = TrimSpaces(values[i]);
        if (IsNumeric(value)) number = ToWholeNumber(LeadingNumber(value));
        if (!lastWins) break;
    }
    return number;
}

class Loader {
  public:
    Loader(ConfigModel& model, ClsXMLReader& reader, Operation& op)
        : model_(model), reader_(reader), op_(op), nlog_(op.Log()) {}

    // False when the file holds no configuration.
    bool Run();

  private:
    // Runs `handle` inside each child of the element under the cursor; false when it has none.
    // One child at a time: a root of a million children costs no list of them.
    template <typename Handle>
    bool ForEachChild(Handle handle) {
        return reader_.VisitChildren([&](int id, const QString& name) {
            reader_.SearchChildID(id);
            handle(name);
            reader_.GoBack();
        }) > 0;
    }

    void Leer_Menu(int owner);
    void Leer_Opcion(int owner);
    void Log(const QString& line) { op_.Line(line); }
    // Every text read from the file goes to nlog.txt.
    QString Data() {
        QString text = reader_.LabelData();
        if (nlog_) nlog_->Escribe_NLog(text);
        return text;
    }

    ConfigModel& model_;
    ClsXMLReader& reader_;
    Operation& op_;
    TrafficLog* nlog_;
};

bool Loader::Run() {
    if (!reader_.SearchString(QStringLiteral("TARASCOPE"))) {
        Log(QStringLiteral("****no se encontraron datos de configuración"));
        return false;
    }
    if (!reader_.SearchString(QStringLiteral("COMMON"))) {
        Log(QStringLiteral("****No existen datos comunes"));
    } else {
        Log(QStringLiteral("****leyendo datos comunes"));
        const bool any = ForEachChild([&](const QString& name) {
            if (Normal(name) != u"MENU") {
                Log(QStringLiteral("****Ignorando elemento ") + name);
            } else {
                Leer_Menu(0);
            }
        });
        if (!any) Log(QStringLiteral("****datos comunes vacíos"));
        reader_.GoBack();
    }

    reader_.Reset();
    reader_.SearchString(QStringLiteral("TARASCOPE"));
    Log(QStringLiteral("****leyendo datos de balanzas"));
    ForEachChild([&](const QString& name) {
        if (Normal(name) != u"SCALE") return;
        int attributes = 0;
        const int number = NumberAttribute(reader_, QStringLiteral("NUMBER"), true, attributes);
        if (attributes == 0) {
            Log(QStringLiteral("***Ignorando dato de balanza sin número"));
            return;
        }
        if (number < 1 || number > 60) {
            Log(QStringLiteral("***Ignorando dato de balanza sin número válido"));
            return;
        }
        const auto& scales = model_.Scales();
        if (std::none_of(scales.begin(), scales.end(),
                         [&](const ScaleEntry& s) { return s.number == number; })) {
            Log(QStringLiteral("***Ignorando dato de balanza %1 no existente en el sistema actual")
                    .arg(number));
            return;
        }
        Log(QStringLiteral("***leyendo datos de balanza %1").arg(number));
        const bool any = ForEachChild([&](const QString& child) {
            if (Normal(child) != u"MENU") {
                Log(QStringLiteral("***Ignorando elemento ") + child);
            } else {
                Leer_Menu(number);
            }
        });
        if (!any) Log(QStringLiteral("***datos de balanza vacíos"));
    });
    return true;
}

void Loader::Leer_Menu(int owner) {
    const QString name = reader_.LabelName();
    int attributes = 0;
    const int id = NumberAttribute(reader_, QStringLiteral("ID"), false, attributes);
    if (attributes == 0) {
        Log(QStringLiteral("**Ignorando menu no válido ") + name);
        return;
    }
    if (id < 0) {
        Log(QStringLiteral("**Ignorando menú sin ID reconocido ") + name);
        return;
    }
    if (model_.FindMenu(owner, id) < 0) {
        Log(QStringLiteral("**Ignorando menú %1 - ID no coincidente %2").arg(name).arg(id));
        return;
    }
    Log(QStringLiteral("**tratando menú %1").arg(id));
    const bool any = ForEachChild([&](const QString& child) {
        if (TrimSpaces(child).toLower() == u"option") {
            Leer_Opcion(owner);
        } else {
            Log(QStringLiteral("**Ignorando elemento desconocido ") + child);
        }
    });
    if (!any) Log(QStringLiteral("**Menú vacío"));
}

void Loader::Leer_Opcion(int owner) {
    int attributes = 0;
    const int id = NumberAttribute(reader_, QStringLiteral("ID"), false, attributes);
    if (attributes == 0) {
        Log(QStringLiteral("Ignorando item sin ID"));
        return;
    }
    if (id == -1) {
        Log(QStringLiteral("Ignorando item sin ID válido"));
        return;
    }

    // The leaves of the option, each looked up among its children.
    const auto leaf = [&](const QString& name) -> QString {
        if (!reader_.SearchString(name)) return {};
        QString data = Data();
        reader_.GoBack();
        return data.isNull() ? QStringLiteral("") : data;
    };
    int valid = 0;
    QString value;
    int length = 0, order = 0, type = 0;
    if (const QString data = leaf(QStringLiteral("VALUE")); !data.isNull()) {
        value = TrimSpaces(data);
        if (value.size() == 5 && (value.toUpper() == u"QWZTR" || value.toUpper() == u"LMKDV"))
            value += u' ';
        if (value.contains(u'~')) {
            if (value.endsWith(u'~')) value[value.size() - 1] = u' ';
            if (value.startsWith(u'~')) value[0] = u' ';
        }
        valid = 1;
    }
    for (auto [name, field] : {std::pair{QStringLiteral("LENGTH"), &length},
                               std::pair{QStringLiteral("ORDER"), &order}}) {
        const QString data = leaf(name);
        if (!data.isNull() && IsNumeric(data)) {
            *field = ToWholeNumber(LeadingNumber(data));
            ++valid;
        }
    }
    if (const QString data = leaf(QStringLiteral("TYPE")); !data.isNull()) {
        ++valid;
        const QString word = TrimSpaces(data).toLower();
        if (word == u"string")
            type = kString;
        else if (word == u"enum")
            type = kEnumeration;
        else if (word == u"number")
            type = kNumber;
        else if (word == u"date")
            type = kDate;
        else
            --valid;
    }
    if (type == kEnumeration && valid == 4 && reader_.SearchString(QStringLiteral("AVAILABLE"))) {
        // Read, as every value of the file is, but not compared with the item's options.
        ForEachChild([&](const QString&) { Data(); });
        reader_.GoBack();
    }
    if (valid != 4) {
        Log(QStringLiteral("Ignorando item %1 contenido no válido").arg(id));
        return;
    }
    Log(QStringLiteral("tratando item %1").arg(id));

    const int row = model_.FindItem(owner, id);
    if (row < 0) {
        Log(QStringLiteral("Ignorando item %1 no coincidente").arg(id));
        return;
    }
    ItemRow& item = model_.Item(row);
    if (item.type != type) {
        Log(QStringLiteral("Ignorando item %1 con tipo no coincidente").arg(id));
        return;
    }
    if (item.length != length) {
        Log(QStringLiteral("Ignorando item %1 con longitud no coincidente").arg(id));
        return;
    }
    if (item.order != order) {
        Log(QStringLiteral("Ignorando item %1 con orden no coincidente").arg(id));
        return;
    }
    if (item.order >= kFirstReadOnlyOrder) return;

    bool compatible = false;
    switch (item.type) {
        case kEnumeration: {
            if (value.isEmpty()) value = QStringLiteral("0");
            // The option shown and programmed is the value rounded: it must be one of them
            // (3.6 of four options would program a fifth; a negative index, 0xFF).
            const int index = ToWholeNumber(LeadingNumber(value));
            compatible = IsNumeric(value) && index >= 0 && index < item.optionCount();
            break;
        }
        case kNumber:
            if (value.isEmpty()) value = QStringLiteral("0");
            compatible = IsNumeric(value) && value.size() <= item.length;
            break;
        case kString:
            compatible = value.size() <= item.length;
            break;
        case kDate:
            compatible =
                value.isEmpty() || value.size() == 8 || (value.size() == 6 && IsNumeric(value));
            // Six digits are kept in the "dd/mm/yy" form the model holds dates in, so that
            // sending programs the same six digits.
            if (compatible && value.size() == 6) value = DateValue(value);
            break;
        default:
            break;
    }
    // A file saved by a UTF-8 editor can hold characters that no byte of the scales stands
    // for; one read as ISO-8859-1 holds bytes, which go as they are.
    if (!compatible || (reader_.readAsUtf8() && !InCodePage(value))) {
        Log(QStringLiteral("Ignorando item %1 con valor incompatible").arg(item.id));
        return;
    }
    // A file cannot keep the spaces around a value: a string that differs from what the scale
    // holds only by them is what the scale holds.
    if (item.type == kString && item.readKnown && TrimSpaces(value) == TrimSpaces(item.readValue))
        value = item.readValue;
    item.value = value;
    item.known = true;
}

}  // namespace

OpenPath CheckOpenPath(const QString& path) {
    if (path.trimmed().isEmpty()) return OpenPath::Empty;
    if (path.contains(QChar(u'\0'))) return OpenPath::Invalid;
    return QFileInfo(path).isFile() ? OpenPath::Ok : OpenPath::Missing;
}

QString OpenPathMessage(OpenPath answer) {
    switch (answer) {
        case OpenPath::Empty:
            return QStringLiteral("Elija nombre del fichero");
        case OpenPath::Invalid:
            return QStringLiteral("Ruta no válida");
        case OpenPath::Missing:
            return QStringLiteral("El fichero no existe");
        case OpenPath::Ok:
            break;
    }
    return {};
}

Result<bool> LoadConfigurationFile(ConfigModel& model, const QString& path, Operation& op) {
    if (const OpenPath answer = CheckOpenPath(path); answer != OpenPath::Ok)
        return Error{Error::File, OpenPathMessage(answer)};
    return Leer_Datos_Archivo(model, path, op);
}

namespace {
// Opens a configuration document in `reader`.
Status OpenConfiguration(ClsXMLReader& reader, const QString& path) {
    reader.setDocument(path);
    reader.setEncoding(ClsXMLReader::Encoding::Utf8WhenValid);
    // The reader takes a document cut short for a whole one; its values would pass for the
    // network's when they are only what the cut left.
    if (!reader.OpenDoc() || reader.endsOpen())
        return Error(
            Error::File,
            QStringLiteral("Error de acceso al fichero, o no es un fichero con estructura válida"),
            reader.error().unmatchedEndTag ? QStringLiteral("ERR") : QString());
    return {};
}
}  // namespace

Status CheckConfigurationFile(const QString& path) {
    if (const OpenPath answer = CheckOpenPath(path); answer != OpenPath::Ok)
        return Error(Error::File, OpenPathMessage(answer));
    ClsXMLReader reader;
    return OpenConfiguration(reader, path);
}

Result<bool> Leer_Datos_Archivo(ConfigModel& model, const QString& path, Operation& op) {
    ClsXMLReader reader;
    if (Status opened = OpenConfiguration(reader, path); !opened) return opened.error();
    if (reader.readAsUtf8()) op.Line(QStringLiteral("****Fichero leído como UTF-8"));
    const bool held = Loader(model, reader, op).Run();
    // What the file held reaches nlog.txt when the reading is over.
    if (TrafficLog* nlog = op.Log()) nlog->Flush();
    op.Line(QStringLiteral("****Actualizando árbol"));
    Actualizar_Arbol(model);
    op.Line(QStringLiteral("****Proceso finalizado"));
    op.LinesDone();
    return held;
}

void Actualizar_Arbol(ConfigModel& model) {
    for (int row = 0; row < static_cast<int>(model.Items().size()); ++row) {
        ItemRow& item = model.Item(row);
        if (item.type == kEnumeration && item.value.isEmpty()) item.value = QStringLiteral("0");
        model.SetItemNodeText(row);
    }
}

}  // namespace cfg
