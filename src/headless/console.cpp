#include "headless/console.h"

#include <unistd.h>

#include "headless/interrupt.h"

namespace cfg {

ConsoleOperation::ConsoleOperation(std::FILE* messages, TrafficLog* log, bool quiet)
    : messages_(messages), log_(log), terminal_(isatty(fileno(messages)) == 1), quiet_(quiet) {}

void ConsoleOperation::Show(const QString& text, Icon icon) {
    if (quiet_ && icon == Icon::Information) return;
    ClearStatus();
    WriteLine(messages_, icon == Icon::Critical && detail_ ? text + u' ' + detail_() : text);
}

void ConsoleOperation::Caption(const QString& caption) {
    if (quiet_) return;
    if (!terminal_) return WriteLine(messages_, caption);
    caption_ = caption;
    if (pace_.Due()) Status();
}

void ConsoleOperation::End() {
    ClearStatus();
    progress_.clear();
    pace_ = {};
}

void ConsoleOperation::EndShowing(const QString& caption) {
    End();
    if (!quiet_) WriteLine(messages_, caption);
}

void ConsoleOperation::Progress(int done, int total, Counted counted) {
    if (!terminal_ || quiet_) return;
    if (std::optional<QString> text = pace_.Next(done, total, counted)) {
        progress_ = std::move(*text);
        Status();
    }
}

void ConsoleOperation::Status() {
    const QString text =
        progress_.isEmpty() ? caption_ : progress_ + QStringLiteral(" · ") + caption_;
    const QByteArray line = "\r" + text.toUtf8() + "\x1b[K";
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), messages_);
    std::fflush(messages_);
    statusShown_ = true;
}

void ConsoleOperation::ClearStatus() {
    if (!statusShown_) return;
    std::fputs("\r\x1b[K", messages_);
    statusShown_ = false;
}

bool ConsoleOperation::Cancelled() {
    return InterruptRequested();
}

void ConsoleOperation::Line(const QString& line) {
    if (lines_) lines_(line);
}

}  // namespace cfg
