#include "core/files/configsave.h"

#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <map>
#include <set>

#include "core/model/configmodel.h"
#include "core/protocol/protocol.h"
#include "core/xml/xmlwriter.h"

namespace cfg {

namespace {

// Returns the number of items written.
int WriteMenu(ClsXMLWriter& writer, const ConfigModel& model, const MenuRow& menu, bool marking) {
    const QStringList idText = {QStringLiteral("id"), QStringLiteral("text")};
    writer.SetDataBlock(QStringLiteral("MENU"), 2, idText, {QString::number(menu.id), menu.text});
    for (int row : model.ItemsOfMenu(menu.key)) {
        const ItemRow& item = model.Items()[row];
        writer.SetDataBlock(QStringLiteral("OPTION"), 2, idText,
                            {QString::number(item.id), item.text});
        // Marked in the file only: the model keeps the value the scales hold. A value that
        // was never read has no VALUE: loading would take it for 0 or an empty text.
        const bool mark = marking && protocol::IsGroupItem(item.id);
        if (item.known)
            writer.SetData(QStringLiteral("VALUE"), mark ? MarkSpaces(item.value) : item.value);
        writer.SetData(QStringLiteral("LENGTH"), QString::number(item.length));
        writer.SetData(QStringLiteral("ORDER"), QString::number(item.order));
        const QString type = ItemTypeName(item.type);
        if (!type.isEmpty()) writer.SetData(QStringLiteral("TYPE"), type);
        if (item.type == kEnumeration) {
            writer.SetSimpleBlock(QStringLiteral("AVAILABLE"));
            for (const QString& option : item.options)
                writer.SetData(QStringLiteral("ITEM"), option);
            writer.EndDataBlock();
        }
        writer.EndDataBlock();
    }
    writer.EndDataBlock();
    return static_cast<int>(model.ItemsOfMenu(menu.key).size());
}

}  // namespace

QString MarkSpaces(const QString& value) {
    QString marked = value;
    if (marked.endsWith(u' ')) marked[marked.size() - 1] = u'~';
    if (marked.startsWith(u' ')) marked[0] = u'~';
    return marked;
}

SavePath CheckSavePath(const QString& path) {
    if (path.trimmed().isEmpty()) return SavePath::Empty;
    if (path.contains(QChar(u'\0'))) return SavePath::Invalid;
    // A folder of that name is no file to overwrite: writing to it fails later, with its message.
    return QFileInfo(path).isFile() ? SavePath::Exists : SavePath::Ok;
}

QString SavePathMessage(SavePath answer) {
    switch (answer) {
        case SavePath::Empty:
            return QStringLiteral("Elija nombre del fichero");
        case SavePath::Invalid:
            return QStringLiteral("Ruta no válida");
        case SavePath::Exists:
        case SavePath::Ok:
            break;
    }
    return {};
}

std::vector<int> ScalesInTree(const ConfigModel& model) {
    std::vector<int> scales;
    std::set<int> seen;
    for (const TreeNode& node : model.Nodes())
        if (node.kind == NodeKind::Scale && seen.insert(node.owner).second)
            scales.push_back(node.owner);
    return scales;
}

std::vector<ReadFailure> MissingFromFile(const ConfigModel& model, bool common,
                                         const std::vector<int>& scales) {
    std::vector<ReadFailure> missing;
    for (const ReadFailure& failure : model.ReadFailures()) {
        const bool wanted =
            failure.part == ReadFailure::SystemValues
                ? common
                : failure.part != ReadFailure::ScaleNumberZero &&
                      std::find(scales.begin(), scales.end(), failure.owner) != scales.end();
        if (wanted) missing.push_back(failure);
    }
    return missing;
}

int ValuesNotHeld(const ConfigModel& model, bool common, const std::vector<int>& scales) {
    const std::set<int> owners(scales.begin(), scales.end());
    int count = 0;
    // The rows a file holds are those of the menus it holds.
    for (const MenuRow& menu : model.Menus()) {
        if (menu.owner == 0 ? !common : !owners.contains(menu.owner)) continue;
        for (int row : model.ItemsOfMenu(menu.key)) count += Changed(model.Items()[row]) ? 1 : 0;
    }
    return count;
}

Result<SavedCounts> Guardar_Datos_Archivo(const ConfigModel& model, const QString& path,
                                          bool common, const std::vector<int>& scales) {
    // The menus of each owner in table order, gathered in one pass.
    std::vector<int> systemMenus;
    std::map<int, std::vector<int>> scaleMenus;
    for (int m = 0; m < static_cast<int>(model.Menus().size()); ++m) {
        const int owner = model.Menus()[m].owner;
        if (owner == 0) {
            systemMenus.push_back(m);
        } else {
            scaleMenus[owner].push_back(m);
        }
    }

    SavedCounts written;
    ClsXMLWriter writer;
    writer.setDocument(path);
    if (!writer.OpenDoc(QStringLiteral("TARASCOPE")))
        return Error(Error::File, writer.errorString());
    if (common) {
        writer.SetSimpleBlock(QStringLiteral("COMMON"));
        for (int m : systemMenus)
            written.items += WriteMenu(writer, model, model.Menus()[m], false);
        writer.EndDataBlock();
    }
    for (int scale : scales) {
        writer.SetDataBlock(QStringLiteral("SCALE"), 1, {QStringLiteral("number")},
                            {QString::number(scale)});
        for (int m : scaleMenus[scale])
            written.items += WriteMenu(writer, model, model.Menus()[m], true);
        writer.EndDataBlock();
        ++written.scales;
    }
    if (writer.CloseDoc()) return written;
    return Error(Error::File, writer.errorString());
}

}  // namespace cfg
