#include "core/common/operation.h"

#include <chrono>
#include <thread>

#include "core/model/configmodel.h"

namespace cfg {

QString ProgressText(int done, int total, Counted counted, qint64 elapsedMs) {
    QString text = (counted == Counted::Scales ? QStringLiteral("Balanzas leídas: %1 de %2")
                                               : QStringLiteral("Items enviados: %1 de %2"))
                       .arg(done)
                       .arg(total);
    if (done <= 0 || done >= total) return text;
    const qint64 leftSeconds = (elapsedMs * (total - done) / done + 999) / 1000;
    return text + (leftSeconds < 90
                       ? QStringLiteral(", quedan unos %1 s").arg(leftSeconds)
                       : QStringLiteral(", quedan unos %1 min").arg((leftSeconds + 30) / 60));
}

bool ProgressPace::Due() {
    constexpr qint64 kRedrawMs = 100;
    if (drawn_.isValid() && drawn_.elapsed() < kRedrawMs) return false;
    drawn_.start();
    return true;
}

std::optional<QString> ProgressPace::Next(int done, int total, Counted counted) {
    if (done == 0 || !started_.isValid()) started_.start();
    const bool last = done >= total;
    if (!Due() && !last) return std::nullopt;
    return ProgressText(done, total, counted, started_.elapsed());
}

std::optional<SendScope> Operation::AskSend(const QString& text,
                                            const std::vector<ValueChange>& changes,
                                            SendScope scope) {
    (void)changes;
    if (!Ask(text, Icon::Question, Default::Yes)) return std::nullopt;
    return scope;
}

void Operation::Pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void ShowError(Operation& op, const Error& error) {
    if (error.code == Error::Cancelled) return;
    if (!error.before.isEmpty()) op.Show(error.before, Icon::None);
    op.Show(error.text, Icon::Critical);
}

}  // namespace cfg
