// Any bytes as data.ini. Whatever it holds, the settings read are ones the program can use, and
// once written they read back the same without a message.
#include <QTemporaryDir>
#include <tuple>

#include "core/settings/clsconfig.h"
#include "fuzzsupport.h"

namespace {

using cfgfuzz::Require;

bool Usable(const cfg::ClsConfig& c) {
    return c.TcpPort >= 1 && c.TcpPort <= 65535 && c.SerialPort >= 1 && c.SerialPort <= 9 &&
           QList<int>{19200, 14400, 9600, 2400, 1200}.contains(c.SerialSpeed) &&
           (c.SerialBits == 7 || c.SerialBits == 8) &&
           QStringList{"E", "O", "N"}.contains(c.SerialParity) && !c.Lang.isEmpty();
}

auto Settings(const cfg::ClsConfig& c) {
    return std::tuple(c.ComMode, c.TcpHost, c.TcpPort, c.SerialPort, c.SerialSpeed, c.SerialParity,
                      c.SerialBits, c.FilePath, c.Lang);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const QTemporaryDir folder;
    cfgtest::WriteAll(folder.filePath(QStringLiteral("data.ini")), cfgfuzz::Input(data, size));
    cfg::ClsConfig read(folder.path());
    cfgtest::RecordingOperation messages;
    const bool rooted = read.ReadConfiguration(messages);
    Require(rooted || (!messages.shown.empty() &&
                       messages.shown.back().text ==
                           QStringLiteral("Error : Fichero de configuración incorrecto")),
            "only a file without its root is refused, with its message");
    Require(Usable(read), "the settings read are usable");

    Require(read.WriteConfiguration(), "the settings are written");
    cfg::ClsConfig again(folder.path());
    cfgtest::RecordingOperation quiet;
    Require(again.ReadConfiguration(quiet) && quiet.shown.empty(),
            "written settings read back without a message");
    Require(Settings(again) == Settings(read), "written settings read back the same");
    return 0;
}
