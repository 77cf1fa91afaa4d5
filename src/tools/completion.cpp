// Prints the bash completion of cfgtarascope-cli, from its command table (dist/CMakeLists.txt).
#include <cstdio>

#include "cli/commands.h"

int main() {
    const QByteArray script = cfg::cli::BashCompletion().toUtf8();
    return std::fwrite(script.constData(), 1, static_cast<std::size_t>(script.size()), stdout) ==
                   static_cast<std::size_t>(script.size())
               ? 0
               : 1;
}
