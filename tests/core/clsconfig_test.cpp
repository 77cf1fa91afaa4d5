#include "core/settings/clsconfig.h"

#include <gtest/gtest.h>

#include <QDir>

#include "support/testsupport.h"

using cfgtest::WriteAll;

namespace cfg {
namespace {

class ClsConfigTest : public ::testing::Test {
  protected:
    // Writes data.ini with these lines inside the root and reads it into a fresh object.
    ClsConfig ReadWith(const QByteArray& inside) {
        WriteAll(dir.filePath("data.ini"), "<?xml version=\"1.0\" ?>\r\n<cfgtarascope>\r\n" +
                                               inside + "\r\n</cfgtarascope>\r\n");
        ClsConfig config(dir.path());
        EXPECT_TRUE(config.ReadConfiguration(messages));
        return config;
    }
    QTemporaryDir dir;
    cfgtest::RecordingOperation messages;
};

// data.ini as the tool writes it, from the texts of its settings in file order; a tenth is the
// serial device, written only when there is one.
QByteArray Ini(const QStringList& v) {
    const QString device =
        v.size() > 9 ? "        <serialdevice> " + v[9] + " </serialdevice>\r\n" : QString();
    return QString(
               "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\r\n<cfgtarascope>\r\n<lang> %1 "
               "</lang>\r\n<filepath> %2 </filepath>\r\n<commode> %3 </commode>\r\n    <TCP>\r\n"
               "        <tcphost> %4 </tcphost>\r\n        <tcpport> %5 </tcpport>\r\n    </TCP>"
               "\r\n\r\n    <RS232>\r\n        <serialport> %6 </serialport>\r\n        "
               "<serialspeed> %7 </serialspeed>\r\n        <serialparity> %8 </serialparity>\r\n"
               "        <serialbits> %9 </serialbits>\r\n%10    "
               "</RS232>\r\n\r\n</cfgtarascope>\r\n\r\n")
        .arg(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], device)
        .toLatin1();
}

TEST_F(ClsConfigTest, DefaultsAreWrittenByteForByteAndEverySettingGoesBackAsRead) {
    ASSERT_TRUE(ClsConfig(dir.path()).WriteConfiguration());
    const QString folder = dir.path() + QDir::separator();
    EXPECT_EQ(cfgtest::ReadAll(dir.filePath("data.ini")),
              Ini({"org", folder, "0", "", "6000", "1", "19200", "E", "8"}));
    for (const QByteArray& other :
         {Ini({"esp", dir.path(), "1", "192.168.001.020", "6001", "9", "2400", "O", "7"}),
          Ini({"org", dir.path(), "1", "", "6000", "1", "19200", "E", "8", "/dev/ttyUSB0"})}) {
        WriteAll(dir.filePath("data.ini"), other);
        ClsConfig read(dir.path());
        ASSERT_TRUE(read.ReadConfiguration(messages));
        QFile::remove(dir.filePath("data.ini"));
        ASSERT_TRUE(read.WriteConfiguration());
        EXPECT_EQ(cfgtest::ReadAll(dir.filePath("data.ini")), other);
    }
    EXPECT_TRUE(messages.shown.empty());
}

// A value out of its range keeps the default and earns one warning for the whole file.
TEST_F(ClsConfigTest, ValuesAreCheckedOneByOne) {
    // Read as port, speed, bits, parity, TCP port, mode, language and host.
    const std::tuple<QByteArray, bool, QString> cases[] = {
        // clang-format off
        {"<TCP><tcpport> 0 </tcpport></TCP>", true, "1 19200 8 E 6000 0 org "},
        {"<TCP><tcpport> 65536 </tcpport></TCP>", true, "1 19200 8 E 6000 0 org "},
        {"<TCP><tcpport> 65535 </tcpport></TCP>", false, "1 19200 8 E 65535 0 org "},
        {"<TCP><tcpport> 65535.6 </tcpport></TCP>", true, "1 19200 8 E 6000 0 org "},  // before rounding
        {"<tcp><TCPPORT> 7000 </TCPPORT></tcp>", false, "1 19200 8 E 7000 0 org "},
        {"<RS232><serialport> .1 </serialport></RS232>", true, "1 19200 8 E 6000 0 org "},
        {"<RS232><serialport> 0 </serialport></RS232>", true, "1 19200 8 E 6000 0 org "},
        {"<RS232><serialport> 9 </serialport></RS232>", false, "9 19200 8 E 6000 0 org "},
        {"<RS232><serialport> 10 </serialport><serialbits> 7 </serialbits>"
         "<serialparity> x </serialparity></RS232>", true, "1 19200 7 E 6000 0 org "},
        {"<RS232><serialspeed> 14400 </serialspeed></RS232>", false, "1 14400 8 E 6000 0 org "},
        {"<RS232><serialspeed> 9600 </serialspeed></RS232>", false, "1 9600 8 E 6000 0 org "},
        {"<RS232><serialspeed> 2400 </serialspeed></RS232>", false, "1 2400 8 E 6000 0 org "},
        {"<RS232><serialspeed> 1200 </serialspeed></RS232>", false, "1 1200 8 E 6000 0 org "},
        {"<RS232><serialspeed> 4800 </serialspeed></RS232>", true, "1 19200 8 E 6000 0 org "},
        {"<RS232><serialbits> 9 </serialbits></RS232>", true, "1 19200 8 E 6000 0 org "},
        {"<RS232><serialparity> n </serialparity></RS232>", false, "1 19200 8 N 6000 0 org "},
        {"<TCP><tcphost> 10.0.0.5 </tcphost></TCP><commode> 7 </commode>", false,
         "1 19200 8 E 6000 7 org 010.000.000.005"},
        {"<TCP><tcphost> server </tcphost></TCP><lang>  </lang><commode> 2.5 </commode>", false,
         "1 19200 8 E 6000 2 org server"},
        // clang-format on
    };
    for (const auto& [inside, warned, read] : cases) {
        SCOPED_TRACE(inside.constData());
        const ClsConfig c = ReadWith(inside);
        EXPECT_EQ(QString::asprintf("%d %d %d %ls %d %d %ls %ls", c.SerialPort, c.SerialSpeed,
                                    c.SerialBits, qUtf16Printable(c.SerialParity), c.TcpPort,
                                    c.ComMode, qUtf16Printable(c.Lang), qUtf16Printable(c.TcpHost)),
                  read);
        EXPECT_EQ(messages.TakeShown(),
                  warned ? QStringList{"exclamation: El fichero de configuración data.ini tiene "
                                       "datos incorrectos, pero ha sido leído ignorando los fallos"}
                         : QStringList());
    }
}

// A folder that does not exist is the program's own.
TEST_F(ClsConfigTest, FilePathIsAnExistingFolder) {
    QDir(dir.path()).mkdir("files");
    const std::pair<QString, QString> paths[] = {
        {dir.filePath("gone"), dir.path() + QDir::separator()},
        {dir.filePath("files"), dir.filePath("files")},
        {"", dir.path() + QDir::separator()}};
    for (const auto& [path, read] : paths)
        EXPECT_EQ(ReadWith("<filepath> " + path.toLatin1() + " </filepath>").FilePath, read);
    EXPECT_TRUE(messages.shown.empty());
}

// The settings keep the reader's rules: a file cut short is read as far as it goes, a character
// per byte; a file that is no settings file is refused, and said.
TEST_F(ClsConfigTest, ACutFileIsReadAsFarAsItGoesAnUnusableOneRefused) {
    WriteAll(dir.filePath("data.ini"),
             "<cfgtarascope>\r\n<TCP><tcphost> \xC3\xB1 </tcphost></TCP><lang>");
    ClsConfig config(dir.path());
    EXPECT_TRUE(config.ReadConfiguration(messages) && config.TcpHost == "\u00C3\u00B1");
    for (const QByteArray& text : {QByteArray("<?xml?>\r\n<otherroot>\r\n</otherroot>\r\n"),
                                   QByteArray(), QByteArray("</cfgtarascope>")}) {
        WriteAll(dir.filePath("data.ini"), text);
        EXPECT_FALSE(ClsConfig(dir.path()).ReadConfiguration(messages)) << text.data();
        EXPECT_TRUE(
            messages.TakeShown().endsWith("critical: Error : Fichero de configuración incorrecto"));
    }
    QFile::remove(dir.filePath("data.ini"));
    EXPECT_FALSE(ClsConfig(dir.path()).Exists());
    EXPECT_FALSE(ClsConfig(dir.path()).ReadConfiguration(messages));
    EXPECT_FALSE(ClsConfig(dir.filePath("no/such/folder")).WriteConfiguration());
}

}  // namespace
}  // namespace cfg
