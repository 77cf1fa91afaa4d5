#pragma once

#include <QString>
#include <QStringList>
#include <cstdio>

namespace cfg {

class ConfigModel;

// Exit statuses of the headless front ends.
enum ExitStatus {
    kExitOk = 0,       // everything done and accepted
    kExitItems = 1,    // some item refused, failed or skipped; or differences found
    kExitUsage = 2,    // the command line is wrong
    kExitNetwork = 3,  // the connection or the network read failed
    kExitFile = 4,     // a file is missing, unreadable or not valid
    kExitPartial = 5,  // the network was read only in part
};

// The status of a command to which two of the above apply: the first of 3, 4, 2, 5, 1, 0.
int WorstStatus(int a, int b);

// Runs `cfgtarascope-cli` with its arguments (without the program name): results on `out`,
// messages and progress on `err`. Returns the exit status.
int RunCommandLine(const QStringList& args, std::FILE* out, std::FILE* err);

// The desktop program's unattended run: connects over TCP/IP with `connection`, reads the
// network, loads `file` into it and sends the whole configuration. Everything is told on `err`.
int RunBatch(const QString& connection, const QString& file, std::FILE* err);

// The argument string counts as a batch request: not blank and longer than 23 characters.
bool IsBatchRequest(const QString& arguments);

// The tree as `read` prints it: one node a line, in tree order, two spaces per level.
QStringList TreeLines(const ConfigModel& model);

}  // namespace cfg
