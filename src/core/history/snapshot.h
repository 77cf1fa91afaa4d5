#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>
#include <vector>

#include "core/model/configmodel.h"

namespace cfg {

struct SendSummary;

// Why a snapshot was taken.
enum class SnapshotCause { Read, Partial, Set, Send };
QString CauseName(SnapshotCause cause);  // "read", "partial", "set", "send"
std::optional<SnapshotCause> CauseFromName(const QString& name);
// What a send sent: everything, the changes only, a clone, a snapshot restored.
enum class SendKind { All, Changes, Clone, Restore };
QString SendKindName(SendKind kind);  // "all", "changes", "clone", "restore"
std::optional<SendKind> SendKindFromName(const QString& name);

// The network a scale list names, whatever address it is reached at: the first 12 hexadecimal
// digits of the SHA-256 of its lines "N,M,MAC\n", in list order.
QString NetworkFingerprint(const std::vector<ScaleEntry>& scales);

// What a send of everything, or of the changes only, sent.
SendKind SentAs(const SendSummary& summary);

// A snapshot cut into parts: the same configuration gives the same parts, so a store keeps
// each part once however many snapshots share it. The first part describes the rest.
// Parts are known by the SHA-1 of their bytes.
constexpr qsizetype kHashSize = 20;
QByteArray PartHash(QByteArrayView bytes);
struct SnapshotParts {
    std::vector<QByteArray> parts;   // the bytes of the parts asked for, the others empty
    std::vector<QByteArray> hashes;  // of the parts packed
    std::vector<qsizetype> sizes;    // in bytes, of the parts packed
    int scales = 0;
    int items = 0;
    int known = 0;
};
// Every part's hash and size, and the bytes of the first only: each other part is hashed as it
// is packed, a few kilobytes at a time, so that a snapshot that repeats what is stored costs no
// more memory than that.
SnapshotParts HashSnapshot(const ConfigModel& model, const std::vector<Held>& held);
// The bytes and hashes of the parts `wanted` flags (by index), of every part when it is empty.
SnapshotParts EncodeSnapshot(const ConfigModel& model, const std::vector<Held>& held,
                             const std::vector<bool>& wanted = {});

// Rebuilds the model a snapshot was taken of, each row holding its held value as read. False
// (the model then undefined) when the parts do not make a snapshot: every count, kind and
// reference is checked before it is used.
bool DecodeSnapshot(const std::vector<QByteArray>& parts, ConfigModel& model);
// The scale list of a snapshot's first part; nothing when it is not one.
std::optional<std::vector<ScaleEntry>> SnapshotScales(const QByteArray& head);

}  // namespace cfg
