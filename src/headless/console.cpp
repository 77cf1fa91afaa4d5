#include "headless/console.h"

namespace cfg {

void WriteLine(std::FILE* stream, const QString& text) {
    const QByteArray line = text.toUtf8() + '\n';
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stream);
    std::fflush(stream);
}

void ConsoleOperation::Show(const QString& text, Icon) {
    WriteLine(messages_, text);
}

void ConsoleOperation::Caption(const QString& caption) {
    WriteLine(messages_, caption);
}

void ConsoleOperation::Line(const QString& line) {
    if (lines_) WriteLine(lines_, line);
}

}  // namespace cfg
