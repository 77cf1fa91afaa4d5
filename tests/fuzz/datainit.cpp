// Any bytes as data.ini. Whatever it holds, the settings read are ones the program can use, and
// once written they read back the same without a message.
#include <tuple>

#include "core/settings/clsconfig.h"
#include "fuzzsupport.h"

using cfgfuzz::Require;

static auto Settings(const cfg::ClsConfig& c) {
    return std::tuple(c.ComMode, c.TcpHost, c.TcpPort, c.SerialPort, c.SerialSpeed, c.SerialParity,
                      c.SerialBits, c.FilePath, c.Lang);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString folder = cfgfuzz::InputFile("data.ini", data, size);
    cfg::ClsConfig read(folder), again(folder);
    cfgtest::RecordingOperation messages, quiet;
    Require(read.ReadConfiguration(messages) ||
                (!messages.shown.empty() &&
                 messages.shown.back().text == "Error : Fichero de configuración incorrecto"),
            "only a file without its root is refused, with its message");
    Require(read.TcpPort >= 1 && read.TcpPort <= 65535 && read.SerialPort >= 1 &&
                read.SerialPort <= 9 &&
                QList<int>{19200, 14400, 9600, 2400, 1200}.contains(read.SerialSpeed) &&
                (read.SerialBits == 7 || read.SerialBits == 8) &&
                QStringList{"E", "O", "N"}.contains(read.SerialParity) && !read.Lang.isEmpty(),
            "the settings read are usable");
    Require(read.WriteConfiguration(), "the settings are written");
    Require(
        again.ReadConfiguration(quiet) && quiet.shown.empty() && Settings(again) == Settings(read),
        "written settings read back the same, without a message");
    return 0;
}
