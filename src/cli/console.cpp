#include "console.h"

namespace cfg {

void WriteLine(std::FILE* stream, const QString& text) {
    const QByteArray line = text.toUtf8() + '\n';
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stream);
    std::fflush(stream);
}

void ConsoleMessages::Show(const QString& text, Icon) {
    WriteLine(stream_, text);
}

bool ConsoleMessages::Ask(const QString& text, Icon) {
    WriteLine(stream_, text + QStringLiteral(" Sí"));
    return true;
}

void ConsoleProgress::Caption(const QString& caption) {
    WriteLine(stream_, caption);
}

}  // namespace cfg
