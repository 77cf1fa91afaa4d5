// Any bytes as a file for the XML reader. A file that opens is a tree of elements numbered in
// document order: each element is reached from its parent by its ID and by its name, and GoBack
// returns to the parent.
#include <QTemporaryDir>

#include "core/xml/xmlerror.h"
#include "core/xml/xmlreader.h"
#include "fuzzsupport.h"

namespace {

using cfgfuzz::Require;

// Moves from `parent` into its child `id`, walks everything inside it and comes back; the
// number of elements walked.
int Visit(cfg::ClsXMLReader& reader, int parent, int id, const QString& name) {
    Require(reader.SearchChildID(id) && reader.LabelID() == id, "a child is found by its ID");
    Require(reader.LabelName() == name, "a child found by its ID has its name");
    int attributes = -1;
    QStringList names, values;
    reader.GetAttributes(attributes, names, values);
    Require(attributes >= 0 && names.size() == attributes + 1 && values.size() == attributes + 1,
            "attribute lists hold one spare entry");
    reader.LabelData();

    QList<int> ids;
    QStringList children;
    const int count = reader.GetChildren(ids, children);
    Require(count == 0 || (ids.size() == count + 1 && children.size() == count + 1),
            "child lists hold one spare entry");
    int walked = 1;
    for (int i = 0; i < count; ++i) {
        // Start tags are numbered in document order: a child follows its elder siblings' content.
        Require(ids[i] == id + walked, "children are numbered in document order");
        walked += Visit(reader, id, ids[i], children[i]);
    }

    reader.GoBack();
    Require(reader.LabelID() == parent, "GoBack returns to the parent");
    Require(reader.SearchString(u' ' + name.toLower() + u' ') &&
                reader.LabelName().toUpper() == name.toUpper(),
            "a child is found by its name, whatever its case");
    reader.GoBack();
    Require(reader.LabelID() == parent, "GoBack from a name search returns");
    if (reader.SearchString(u'/' + name)) {
        reader.GoBack();
        Require(reader.LabelID() == parent, "GoBack from an end tag returns");
    }
    return walked;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("input.xml"));
    cfgtest::WriteAll(path, cfgfuzz::Input(data, size));
    cfg::ClsXMLReader reader;
    reader.setDocument(path);
    if (!reader.OpenDoc()) {
        Require(reader.error().code == cfg::XmlError::NotValid,
                "a readable file opens or is not valid");
        return 0;
    }
    Require(reader.LabelID() == -1 && reader.LabelName().isEmpty() && reader.LabelData().isEmpty(),
            "the cursor starts above the top level");
    int next = 0;
    for (;;) {
        reader.Reset();
        if (!reader.SearchChildID(next)) break;
        const QString name = reader.LabelName();
        reader.Reset();
        next += Visit(reader, -1, next, name);
    }
    Require(!reader.SearchChildID(-1) && reader.LabelID() == -1, "no element has ID -1");
    return 0;
}
