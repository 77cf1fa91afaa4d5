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

// The option an argument names, without its dashes and value; empty for a value.
QString OptionName(const QString& arg) {
    if (arg.size() < 2 || arg[0] != u'-' || LooksLikeNumber(arg)) return {};
    return arg.mid(arg.startsWith(u"--") ? 2 : 1).section(u'=', 0, 0);
}

}  // namespace

void WriteLine(std::FILE* stream, const QString& text) {
    const QByteArray line = text.toUtf8() + '\n';
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stream);
    std::fflush(stream);
}

CommandLine::CommandLine(const QList<QCommandLineOption>& options) {
    parser_.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser_.addOptions(options);
    for (const QCommandLineOption& option : options)
        if (!option.valueName().isEmpty()) valued_.append(option.names());
    parser_.addOption({{QStringLiteral("h"), QStringLiteral("help")}, {}});
    parser_.addOption({QStringLiteral("version"), {}});
}

Request CommandLine::Parse(const QStringList& args) {
    typed_ = args.mid(0, args.indexOf(QStringLiteral("--")));
    QStringList marked{QString()};  // the parser skips the program's name
    for (const QString& arg : args)
        marked.append(LooksLikeNumber(arg) || arg.startsWith(kValueMark) ? kValueMark + arg : arg);
    if (!parser_.parse(marked)) return Request::Wrong;
    if (parser_.isSet(QStringLiteral("help"))) return Request::Help;
    if (parser_.isSet(QStringLiteral("version"))) return Request::Version;
    return Request::Run;
}

std::pair<CommandLine::Wrong, QString> CommandLine::WrongArgument() const {
    const QStringList unknown = parser_.unknownOptionNames();
    for (const QString& arg : typed_) {
        const QString name = OptionName(arg);
        if (!unknown.isEmpty() && name == unknown.front()) return {Wrong::Unknown, arg};
        if (unknown.isEmpty() && arg.contains(u'=') && !name.isEmpty() && !valued_.contains(name))
            return {Wrong::UnexpectedValue, arg};
    }
    // The parser takes whatever follows an option as its value: only the last can lack one.
    return {Wrong::MissingValue, typed_.value(typed_.size() - 1)};
}

QStringList CommandLine::Unknown() const {
    QStringList names;
    for (const QString& arg : typed_)
        if (parser_.unknownOptionNames().contains(OptionName(arg))) names.append(arg);
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
