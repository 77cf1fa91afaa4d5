#pragma once

#include <QString>
#include <QStringList>
#include <cstdio>

#include "headless/session.h"

namespace cfg {

class ConfigModel;

// Runs `cfgtarascope-cli` with its arguments (without the program name): results on `out`,
// messages and progress on `err`, logs in `programFolder` (the program's own when empty).
// Returns the exit status.
int RunCommandLine(const QStringList& args, std::FILE* out, std::FILE* err,
                   const QString& programFolder = {});

// The tree as `read` prints it: one node a line, in tree order, two spaces per level; the lines
// joined by "\n", without one after the last.
QString TreeText(const ConfigModel& model);

}  // namespace cfg
