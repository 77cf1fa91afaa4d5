#include "core/common/commandline.h"

#include "core/common/version.h"

namespace cfg {

namespace {

// Marks an argument the parser must take as a value. A private-use character stands first in
// no argument typed on a terminal; one that does is marked as well, so that taking one mark
// off always gives back what was typed.
constexpr QChar kValueMark(0xE000);

bool LooksLikeNumber(const QString& arg) {
    if (arg.size() < 2 || arg[0] != u'-') return false;
    const qsizetype digit = (arg[1] == u'.' || arg[1] == u',') ? 2 : 1;
    return digit < arg.size() && arg[digit].isDigit();
}

QString Unmarked(const QString& arg) {
    return arg.startsWith(kValueMark) ? arg.mid(1) : arg;
}

}  // namespace

void WriteLine(std::FILE* stream, const QString& text) {
    const QByteArray line = text.toUtf8() + '\n';
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stream);
    std::fflush(stream);
}

CommandLine::CommandLine(const QList<QCommandLineOption>& options) {
    parser_.addOptions(options);
    parser_.addOption({{QStringLiteral("h"), QStringLiteral("help")}, {}});
    parser_.addOption({QStringLiteral("version"), {}});
}

Request CommandLine::Parse(const QStringList& args) {
    QStringList marked{QString()};  // the parser skips the program's name
    for (const QString& arg : args)
        marked.append(LooksLikeNumber(arg) || arg.startsWith(kValueMark) ? kValueMark + arg : arg);
    if (!parser_.parse(marked)) return Request::Wrong;
    if (parser_.isSet(QStringLiteral("help"))) return Request::Help;
    if (parser_.isSet(QStringLiteral("version"))) return Request::Version;
    return Request::Run;
}

QStringList CommandLine::Unknown() const {
    QStringList names = parser_.unknownOptionNames();
    for (QString& name : names) name.prepend(name.size() == 1 ? u"-" : u"--");
    return names;
}

QString CommandLine::Value(const QString& option) const {
    return Unmarked(parser_.value(option));
}

QStringList CommandLine::Positional() const {
    QStringList args = parser_.positionalArguments();
    for (QString& arg : args) arg = Unmarked(arg);
    return args;
}

int AnswerRequest(Request request, const char* program, const QString& usage, const QString& fault,
                  std::FILE* out, std::FILE* err) {
    const QString lines = usage.endsWith(u'\n') ? usage.chopped(1) : usage;
    switch (request) {
        case Request::Help:
            WriteLine(out, lines);
            return 0;
        case Request::Version:
            WriteLine(out, QLatin1String(program) + u' ' + QLatin1String(kVersion));
            return 0;
        case Request::Run:
        case Request::Wrong:
            break;
    }
    if (!fault.isEmpty()) WriteLine(err, fault);
    WriteLine(err, lines);
    return 2;
}

}  // namespace cfg
