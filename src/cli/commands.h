#pragma once

#include <QString>
#include <QStringList>
#include <cstdio>
#include <vector>

#include "headless/session.h"

namespace cfg {

class ConfigModel;

// Runs `cfgtarascope-cli` with its arguments (without the program name): results on `out`,
// messages and progress on `err`, logs in `programFolder` (the program's own when empty).
// Returns the exit status.
int RunCommandLine(const QStringList& args, std::FILE* out, std::FILE* err,
                   const QString& programFolder = {});

// The tree as `read` prints it into `out`: one node a line, in tree order, two spaces per level,
// each line ended by "\n".
void WriteTree(const ConfigModel& model, std::FILE* out);

// The command line declared once: the usage, the checks made before anything runs and the bash
// completion are read from these tables.
namespace cli {

// What stands where an argument goes: what is checked before the link, and what completes it.
enum class ArgKind { Conn, FileToRead, FileToWrite, Word };
struct Argument {
    const char* name;
    ArgKind kind = ArgKind::Word;
    bool optional = false;
};

struct Option {
    const char* name;
    const char* value;  // what it takes, nullptr for none
    const char* description;
    bool everyCommand = false;
    char shortName = 0;
};

struct Context;
struct Command {
    const char* name;  // with its subcommand: "history list"
    std::vector<Argument> args;
    std::vector<const char*> options;  // the options it takes besides every command's and --json
    bool json;                         // takes --json
    const char* description;
    int (*run)(const QStringList& args, const Context& c);  // the arguments after its name
    bool oneOption = false;                                 // exactly one of `options` is given
};

const std::vector<Option>& Options();
const std::vector<Command>& Commands();

// A command's synopsis after the program's name: "save CONN FILE [--scales N,N,...] [--json]".
QString Synopsis(const Command& command);
QString UsageText();
// The bash completion script of the program.
QString BashCompletion();

}  // namespace cli

}  // namespace cfg
