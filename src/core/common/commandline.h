#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <utility>

// Every program's command line parsed the same way.
namespace cfg {

// What a command line asks for.
enum class Request {
    Run,      // the program's own work
    Help,     // --help or -h: the usage on stdout, status 0
    Version,  // --version: "PROGRAM VERSION" on stdout, status 0
    Wrong,    // not understood: why and the usage on stderr, status 2
};

// A command line parsed with the program's own options, to which --help (-h) and --version are
// added. Options may stand anywhere, and "--" ends them. An argument that starts with a dash and
// a digit, such as -7 or -0,5, is a value, not an option: a setting may well be negative. One
// dash or two start the same option: -foo is the option foo, never -f -o -o.
class CommandLine {
  public:
    explicit CommandLine(const QList<QCommandLineOption>& options);

    // `args` without the program's name.
    Request Parse(const QStringList& args);
    // Why the command line was not understood, in the parser's words.
    QString Fault() const { return parser_.errorText(); }
    // Which argument was not understood, as typed, and why.
    enum class Wrong { Unknown, MissingValue, UnexpectedValue };
    std::pair<Wrong, QString> WrongArgument() const;
    // The options given that are not the program's, with their dashes.
    QStringList Unknown() const;

    bool IsSet(const QString& option) const { return parser_.isSet(option); }
    QString Value(const QString& option) const;
    QStringList Positional() const;

  private:
    QCommandLineParser parser_;
    QStringList typed_;
    QStringList valued_;  // the options that take a value
};

// Writes one line, UTF-8, at once.
void WriteLine(std::FILE* stream, const QString& text);

// The end of a run whose command line asked for no work of the program (Help, Version or
// Wrong): writes what it asked for and returns the status. `fault` says why it was wrong; the
// usage follows it.
int AnswerRequest(Request request, const char* program, const QString& usage, const QString& fault,
                  std::FILE* out, std::FILE* err);

}  // namespace cfg
