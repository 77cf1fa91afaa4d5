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
// owner, ID, type, value (null when unknown), options and whether it can be edited.
QJsonArray TreeJson(const ConfigModel& model);
// Owner, ID, text, before and after, as the text lines give them.
QJsonArray ChangesJson(const std::vector<ValueChange>& changes);
// The counts of a send and every item it took, with its outcome.
QJsonObject SendJson(const ConfigModel& model, const SendSummary& summary);
// An item as a programming left it (after the menu's re-read when accepted), with the outcome.
QJsonObject ProgrammedJson(const ConfigModel& model, const ItemRow& item,
                           const ItemProgrammer::Result& result);
QJsonArray SnapshotsJson(const std::vector<SnapshotInfo>& snapshots);

}  // namespace cfg
