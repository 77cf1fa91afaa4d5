#include "core/editing/programming.h"

#include <QDate>
#include <QList>
#include <algorithm>
#include <limits>

#include "core/common/basic.h"
#include "core/common/operation.h"
#include "core/editing/itemwrite.h"
#include "core/link/scalelink.h"
#include "core/link/trafficlog.h"
#include "core/model/configmodel.h"
#include "core/protocol/protocol.h"
#include "core/protocol/tools.h"

namespace cfg {

namespace {

const QString kInvalid = QStringLiteral("Valor no válido");
const QString kBadDate = QStringLiteral("Introduzca las fechas en formato dd/mm/yy");
const QString kSendError = QStringLiteral("Error en el envío");
const QString kRefused =
    QStringLiteral("La balanza no acepta la programación de este Item con el valor indicado.");

bool FitsInt32(double value) {
    const double whole = RoundHalfEven(value);
    return whole >= std::numeric_limits<std::int32_t>::min() &&
           whole <= std::numeric_limits<std::int32_t>::max();
}

// dd/mm/yy naming a day of the calendar, in the year 20yy: a typed 31/02 would reach the scale.
bool IsDate(const QString& text) {
    if (text.size() != 8 || text[2] != u'/' || text[5] != u'/') return false;
    const auto two = [&](int at) {
        const auto digit = [&](int i) { return text[i] >= u'0' && text[i] <= u'9'; };
        return digit(at) && digit(at + 1)
                   ? (text[at].unicode() - u'0') * 10 + text[at + 1].unicode() - u'0'
                   : -1;
    };
    const int day = two(0), month = two(3), year = two(6);
    return day >= 0 && month >= 0 && year >= 0 && QDate(2000 + year, month, day).isValid();
}

}  // namespace

std::optional<QString> ValueToProgram(const Selection& selection, EditorInput& input,
                                      Operation& op) {
    if (input.numberShown &&
        (!IsNumeric(input.number) || !FitsInt32(LeadingNumber(input.number)))) {
        op.Show(kInvalid, Icon::Critical);
        return std::nullopt;
    }
    switch (selection.type) {
        case kEnumeration:
            // Nothing selected would go out as 0xFF.
            if (input.enumIndex < 0) {
                op.Show(kInvalid, Icon::Critical);
                return std::nullopt;
            }
            return QString::number(input.enumIndex);
        case kNumber:
            return input.number;
        case kDate:
            input.text = TrimSpaces(input.text);
            if (!IsDate(input.text)) {
                op.Show(kBadDate, Icon::Critical);
                return std::nullopt;
            }
            return input.text;
        case kString:
            // The editor holds no more than the item's length; neither may a script.
            if (input.text.size() > selection.length || input.text.size() > 255) {
                op.Show(kInvalid, Icon::Critical);
                return std::nullopt;
            }
            return input.text;
        default:
            return input.text;
    }
}

int OptionNamed(const QStringList& options, const QString& typed) {
    const bool digits = !typed.isEmpty() && std::all_of(typed.begin(), typed.end(), [](QChar c) {
        return c >= u'0' && c <= u'9';
    });
    if (digits) {
        bool ok = false;
        const int index = typed.toInt(&ok);
        if (ok && index < options.size()) return index;
    }
    const QString wanted = FoldedForSearch(typed.trimmed());
    for (int i = 0; i < options.size(); ++i)
        if (FoldedForSearch(options[i].trimmed()) == wanted) return i;
    return -1;
}

ItemProgrammer::ItemProgrammer(ScaleLink& link, ConfigModel& model) : link_(link), model_(model) {}

ItemProgrammer::Result ItemProgrammer::Modificar_Valor(const Selection& selection,
                                                       EditorInput& input, Operation& op) {
    Result result;
    const std::optional<QString> value = ValueToProgram(selection, input, op);
    if (!value) return result;

    QByteArray request;
    QByteArray entry;  // the edited item's entry
    bool doubled = false;
    if (protocol::IsGroupItem(selection.id)) {
        int count = 0;
        for (int row = 0; row < static_cast<int>(model_.Items().size()) && count == 0; ++row) {
            const ItemRow& item = model_.Items()[row];
            if (item.id == selection.id && item.owner == selection.owner)
                count = Lee_Menu_Grupo(row, selection.owner);
        }
        // The edited value goes into the entry of the edited item, wherever the menu put it.
        int edited = -1;
        for (int j = 0; j < count && edited < 0; ++j)
            if (itemsGrupo_[j].id == selection.id) edited = j;
        if (edited < 0) {
            op.Show(kSendError, Icon::Critical);
            result.outcome = Outcome::Failed;
            return result;
        }
        MenuEntry& target = itemsGrupo_[edited];
        if (target.value != *value) {
            target.value = *value;
            target.asRead = false;
        }
        // The other items go back as the scale holds them.
        QList<QByteArray> entries;
        for (int j = 0; j < count; ++j) {
            const MenuEntry& g = itemsGrupo_[j];
            entries.append(protocol::ItemEntry(g.id, g.type, g.value,
                                               g.asRead && g.type == kString ? &g.bytes : nullptr));
        }
        entry = entries[edited];
        request = protocol::WriteRequest(selection.owner, entries);
        doubled = true;
    } else {
        const int row = model_.FindItem(selection.owner, selection.id);
        const bool same = row >= 0 && model_.Items()[row].value == *value;
        entry = protocol::ItemEntry(selection.id, selection.type, *value,
                                    same ? UnchangedBytes(model_.Items()[row]) : nullptr);
        request = protocol::WriteRequest(selection.owner, {entry});
    }

    op.Sending(true);
    const WriteReply reply = ExchangeWrite(link_, request, doubled, op);
    TrafficLog* log = op.Log();
    if (log && reply.exchanged) log->Escribe_Log(reply.reply);

    if (!reply.answered) {
        op.Show(kSendError, Icon::Critical);
        result.outcome = Outcome::Failed;
    } else if (reply.accepted <= 0) {
        const QString reason = protocol::RefusalReason(reply.errorCode);
        if (log) log->Escribe_Log(reply.reply, QStringLiteral("Motivo: ") + reason);
        op.Show(kRefused + u'\n' + reason, Icon::Exclamation);
        result.outcome = Outcome::Refused;
        result.errorCode = reply.errorCode;
    } else {
        result.outcome = Outcome::Accepted;
        result.row = model_.FindItem(selection.owner, selection.id);
        if (result.row >= 0) {
            ItemRow& item = model_.Item(result.row);
            // The scale holds what went out: the entry's bytes after its ID, type and length.
            StoreAccepted(item, *value, entry.mid(4));
            // A text is shown as typed until the menu is read back.
            const bool typed = item.type == kString || item.type == kDate;
            model_.SetItemNodeText(result.row, typed ? std::optional(*value) : std::nullopt);
        }
    }
    op.Sending(false);
    if (result.row >= 0) Relee_Menu(result.row);
    return result;
}

void ItemProgrammer::Relee_Menu(int row) {
    ReadMenu(row, model_.Items()[row].owner, false);
}

int ItemProgrammer::Lee_Menu_Grupo(int row, int owner) {
    return ReadMenu(row, owner, true);
}

int ItemProgrammer::ReadMenu(int row, int owner, bool keepEntries) {
    const int menu = model_.FindMenuByKey(model_.Items()[row].menuKey);
    const int menuId = menu < 0 ? 0 : model_.Menus()[menu].id;
    const protocol::Reply reply = protocol::ExchangeRead(
        link_, protocol::MenuRequest(protocol::Destination::Owner(owner), menuId),
        protocol::kPagedReplyMinimum);
    if (!reply.ok) return 0;
    const protocol::Page page = protocol::PageOf(reply.bytes);

    qsizetype pos = 0;
    int decoded = 0;
    for (; decoded < page.count && pos < page.data.size(); ++decoded) {
        const protocol::ValueEntry entry = protocol::DecodeValueEntry(page.data, pos);
        // Without a known layout the entries after this one cannot be found.
        if (entry.length == 0) break;
        pos += entry.length;
        if (keepEntries && decoded < kMenuEntries)
            itemsGrupo_[decoded] = {entry.id, entry.type, entry.value, entry.bytes, true};

        // Only the item of the owner that was read: another scale's row with the same ID
        // must not show this scale's value.
        const int match = model_.FindItem(owner, entry.id);
        if (match < 0) continue;
        ItemRow& item = model_.Item(match);
        StoreRead(item, entry.value, entry.bytes);
        model_.SetItemNodeText(match);
    }
    return std::min(decoded, kMenuEntries);
}

}  // namespace cfg
