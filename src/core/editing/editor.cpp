#include "core/editing/editor.h"

#include "core/model/configmodel.h"

namespace cfg {

namespace {
constexpr int kBackspace = 8;
constexpr int kComma = 44;
constexpr int kMinus = 45;
constexpr int kPoint = 46;

bool DigitOrColon(int code) {
    return code >= 48 && code <= 59;
}
}  // namespace

QString NumberHint(int length) {
    // 10^length - 1 is the digit 9 written `length` times; no floating point, no overflow.
    return QStringLiteral("Max. ") + (length > 0 ? QString(length, u'9') : QStringLiteral("0"));
}

QString TextHint(int length) {
    return QStringLiteral("Max. %1 cars.").arg(length);
}

EditorState EditorFor(const ConfigModel& model, const QString& nodeKey) {
    EditorState state;
    // Only item rows carry their node's key.
    const int row = model.FindItemByKey(nodeKey);
    if (row < 0) return state;
    const ItemRow& item = model.Items()[row];
    state.row = row;
    if (item.order >= kFirstReadOnlyOrder) {
        state.readOnly = true;
        state.text = ShownValue(item).value_or(QString());
        return state;
    }

    state.buttonShown = true;
    state.selection = Selection{item.owner, item.id, item.type, item.length};
    switch (item.type) {
        case kEnumeration: {
            state.editor = EditorKind::Enumeration;
            if (item.optionCount() < 1) break;
            state.buttonEnabled = true;
            state.options = item.options;
            if (const std::optional<int> index = OptionIndex(item)) state.selectedOption = *index;
            break;
        }
        case kNumber:
            state.editor = EditorKind::Number;
            state.buttonEnabled = true;
            state.hintShown = true;
            state.hint = NumberHint(item.length);
            state.text = item.value;
            state.permiteNegativo =
                item.text.compare(QStringLiteral("Despl vertical"), Qt::CaseInsensitive) == 0;
            break;
        case kString:
            state.editor = EditorKind::Text;
            state.buttonEnabled = true;
            state.hintShown = true;
            state.hint = TextHint(item.length);
            state.maxLength = item.length;
            state.text = item.value;
            break;
        case kDate:
            // No limit of its own: one left by a short string item must not cut a date.
            state.editor = EditorKind::Date;
            state.buttonEnabled = true;
            state.text = item.value;
            break;
        default:
            break;
    }
    return state;
}

int FiltraTeclaNumero(int code, bool permiteNegativo) {
    if (DigitOrColon(code) || code == kBackspace || code == kPoint) return code;
    if (code == kComma) return kPoint;
    if (code == kMinus && permiteNegativo) return code;
    return 0;
}

int FiltraTeclaConexion(int code) {
    if (DigitOrColon(code) || code == kBackspace || code == kPoint) return code;
    return 0;
}

}  // namespace cfg
