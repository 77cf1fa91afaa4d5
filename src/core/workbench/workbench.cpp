#include "core/workbench/workbench.h"

#include "core/files/configload.h"
#include "core/history/compare.h"
#include "core/network/networkreader.h"

namespace cfg {

Workbench::Workbench(const QString& historyPath)
    : history_(historyPath.isEmpty() ? nullptr : std::make_unique<HistoryRecorder>(historyPath)) {}

Workbench::~Workbench() = default;

void Workbench::SetConnection(const QString& normal) {
    if (history_) history_->SetConnection(normal);
}

QString Workbench::Record(SnapshotCause cause, const std::function<std::vector<Held>()>& held,
                          std::optional<SendKind> send) {
    return history_ ? history_->Record(cause, model_, held(), send) : QString();
}

Workbench::ReadResult Workbench::Read(ScaleLink& link, Operation& op) {
    // The tree is made anew: values restored into the old one are gone with it.
    restored_ = false;
    ReadResult result{NetworkReader(link, model_).Lee_Datos(op), {}};
    if (result.read)
        result.notice =
            Record(model_.ReadFailures().empty() ? SnapshotCause::Read : SnapshotCause::Partial,
                   [this] { return HeldByNetwork(model_); });
    return result;
}

Workbench::SendResult Workbench::Finish(SendSummary summary, std::optional<SendKind> kind) {
    SendResult result;
    // A send the technician declined changed nothing on the scales.
    if (summary.confirmed) {
        const SendKind sent = kind ? *kind : restored_ ? SendKind::Restore : SentAs(summary);
        restored_ = false;
        result.notice = Record(
            SnapshotCause::Send, [&] { return HeldAfterSend(model_, summary); }, sent);
    }
    result.summary = std::move(summary);
    return result;
}

Workbench::SendResult Workbench::Send(ScaleLink& link, Operation& op, SendScope scope,
                                      std::optional<SendKind> kind) {
    return Finish(Command2_Click(link, model_, op, scope), kind);
}

Workbench::SendResult Workbench::SendAgain(ScaleLink& link, Operation& op,
                                           const std::vector<int>& rows) {
    return Finish(cfg::SendAgain(link, model_, op, rows), SendKind::Changes);
}

Workbench::SendResult Workbench::CloneAndSend(ScaleLink& link, Operation& op, int from,
                                              const std::vector<int>& to,
                                              const CloneChoice& choice) {
    CloneScale(model_, from, to, choice);
    return Finish(Command2_Click(link, model_, op, SendScope::Changed), SendKind::Clone);
}

Changes Workbench::ClonePreview(int from, const std::vector<int>& to,
                                const CloneChoice& choice) const {
    ConfigModel copy = model_;
    CloneScale(copy, from, to, choice);
    return WithOptionTexts(copy, ChangedItems(copy));
}

Workbench::ProgramResult Workbench::Program(ScaleLink& link, Operation& op,
                                            const Selection& selection, EditorInput& input) {
    ProgramResult result;
    result.result = ItemProgrammer(link, model_).Modificar_Valor(selection, input, op);
    if (result.result.outcome == ItemProgrammer::Outcome::Accepted) result.notice = Programmed();
    return result;
}

QString Workbench::Programmed() {
    return Record(SnapshotCause::Set, [this] { return HeldByNetwork(model_); });
}

Result<bool> Workbench::LoadFile(const QString& path, Operation& op) {
    Result<bool> loaded = LoadConfigurationFile(model_, path, op);
    // The file's values lie over any restored ones.
    if (loaded) restored_ = false;
    return loaded;
}

Workbench::HistoryList Workbench::History() {
    HistoryList list;
    list.network = NetworkFingerprint(model_.Scales());
    HistoryStore* store = history_ ? history_->Store(&list.notice) : nullptr;
    if (!store) return list;
    if (Result<std::vector<SnapshotInfo>> snapshots = store->List(history_->Connection()))
        list.snapshots = std::move(snapshots.value());
    else
        list.notice = snapshots.error().text;
    if (const QString notice = store->TakeNotice(); !notice.isEmpty()) list.notice = notice;
    return list;
}

std::pair<Snapshot, QString> Workbench::LoadSnapshot(qint64 id) {
    QString said;
    HistoryStore* store = history_ ? history_->Store(&said) : nullptr;
    if (!store) return {nullptr, said};
    auto snapshot = std::make_shared<ConfigModel>();
    const Result<std::optional<SnapshotInfo>> loaded = store->Load(id, *snapshot);
    said = loaded ? store->TakeNotice() : loaded.error().text;
    return {loaded && *loaded ? std::move(snapshot) : nullptr, said};
}

Changes Workbench::CompareNow(const ConfigModel& snapshot) const {
    return WithOptionTexts(model_, CompareValues(snapshot, model_));
}

Changes Workbench::Restore(const ConfigModel& snapshot) {
    restored_ = true;
    return WithOptionTexts(model_, RestoreValues(model_, snapshot));
}

}  // namespace cfg
