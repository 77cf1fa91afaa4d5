#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <cstdio>
#include <vector>

#include "core/editing/programming.h"

// The documents `--json` writes instead of the text, for scripts.
namespace cfg {

class ConfigModel;
struct ItemRow;
struct SendSummary;
struct SnapshotInfo;
struct ValueChange;

// One document on `out`, UTF-8, ended by a newline.
void WriteJson(std::FILE* out, const QJsonObject& document);

// The roots of the tree, each node with its text and children; an item's node also with its
// owner, ID, type, value (null when unknown), options and whether it can be edited; a scale's
// with its number, Mostrador number and MAC.
QJsonArray TreeJson(const ConfigModel& model);
// Owner, ID, text, before and after, as the text lines give them.
QJsonArray ChangesJson(const std::vector<ValueChange>& changes);
// The counts of a send and every item it took, with its outcome.
QJsonObject SendJson(const ConfigModel& model, const SendSummary& summary);
// What a set found before sending, when it did not send.
enum class SetCheck { Sent, Unchanged, WouldChange };
// An item as a set left it (after the menu's re-read when accepted), with the value `before` it,
// the outcome and, for a refusal, the scale's code and reason.
QJsonObject ProgrammedJson(const ConfigModel& model, const ItemRow& item, const QJsonValue& before,
                           const ItemProgrammer::Result& result, SetCheck check = SetCheck::Sent);
QJsonArray SnapshotsJson(const std::vector<SnapshotInfo>& snapshots);

}  // namespace cfg
