#include "core/settings/clsconfig.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

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
        messages.shown.clear();
        EXPECT_TRUE(config.ReadConfiguration(messages));
        return config;
    }
    QTemporaryDir dir;
    cfgtest::RecordingOperation messages;
};

// data.ini as the tool writes it, from the texts of its settings in file order.
QByteArray Ini(const QStringList& v) {
    return QString(
               "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\r\n<cfgtarascope>\r\n"
               "<lang> %1 </lang>\r\n<filepath> %2 </filepath>\r\n<commode> %3 </commode>\r\n"
               "    <TCP>\r\n        <tcphost> %4 </tcphost>\r\n        <tcpport> %5 </tcpport>\r\n"
               "    </TCP>\r\n\r\n    <RS232>\r\n        <serialport> %6 </serialport>\r\n"
               "        <serialspeed> %7 </serialspeed>\r\n        <serialparity> %8 "
               "</serialparity>\r\n"
               "        <serialbits> %9 </serialbits>\r\n    "
               "</RS232>\r\n\r\n</cfgtarascope>\r\n\r\n")
        .arg(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8])
        .toLatin1();
}

TEST_F(ClsConfigTest, DefaultsAreWrittenByteForByteAndEverySettingGoesBackAsRead) {
    ASSERT_TRUE(ClsConfig(dir.path()).WriteConfiguration());
    const QString folder = dir.path() + QDir::separator();
    EXPECT_EQ(cfgtest::ReadAll(dir.filePath("data.ini")),
              Ini({"org", folder, "0", "", "6000", "1", "19200", "E", "8"}));
    const QByteArray other =
        Ini({"esp", dir.path(), "1", "192.168.001.020", "6001", "9", "2400", "O", "7"});
    WriteAll(dir.filePath("data.ini"), other);
    ClsConfig read(dir.path());
    ASSERT_TRUE(read.ReadConfiguration(messages));
    QFile::remove(dir.filePath("data.ini"));
    ASSERT_TRUE(read.WriteConfiguration());
    EXPECT_EQ(cfgtest::ReadAll(dir.filePath("data.ini")), other);
    EXPECT_TRUE(messages.shown.empty());
}

// A value out of its range keeps the default and earns one warning for the whole file.
TEST_F(ClsConfigTest, ValuesAreCheckedOneByOne) {
    const struct {
        QByteArray inside;
        bool warned;
        QString read;  // port speed bits parity tcpport
    } cases[] = {
        // clang-format off
        {"<TCP><tcpport> 0 </tcpport></TCP>", true, "1 19200 8 E 6000"},
        {"<TCP><tcpport> 65536 </tcpport></TCP>", true, "1 19200 8 E 6000"},
        {"<TCP><tcpport> 65535 </tcpport></TCP>", false, "1 19200 8 E 65535"},
        {"<TCP><tcpport> 6000.5 </tcpport></TCP>", false, "1 19200 8 E 6000"},
        {"<TCP><tcpport> 65535.6 </tcpport></TCP>", true, "1 19200 8 E 6000"},  // before rounding
        {"<TCP><tcpport> 60a </tcpport></TCP>", true, "1 19200 8 E 6000"},
        {"<tcp><TCPPORT> 7000 </TCPPORT></tcp>", false, "1 19200 8 E 7000"},
        {"<RS232><serialport> .1 </serialport></RS232>", true, "1 19200 8 E 6000"},
        {"<RS232><serialport> 0 </serialport></RS232>", true, "1 19200 8 E 6000"},
        {"<RS232><serialport> 9 </serialport></RS232>", false, "9 19200 8 E 6000"},
        {"<RS232><serialport> 10 </serialport><serialbits> 7 </serialbits>"
         "<serialparity> x </serialparity></RS232>", true, "1 19200 7 E 6000"},
        {"<RS232><serialspeed> 14400 </serialspeed></RS232>", false, "1 14400 8 E 6000"},
        {"<RS232><serialspeed> 9600 </serialspeed></RS232>", false, "1 9600 8 E 6000"},
        {"<RS232><serialspeed> 2400 </serialspeed></RS232>", false, "1 2400 8 E 6000"},
        {"<RS232><serialspeed> 1200 </serialspeed></RS232>", false, "1 1200 8 E 6000"},
        {"<RS232><serialspeed> 4800 </serialspeed></RS232>", true, "1 19200 8 E 6000"},
        {"<RS232><serialbits> 9 </serialbits></RS232>", true, "1 19200 8 E 6000"},
        {"<RS232><serialparity> n </serialparity></RS232>", false, "1 19200 8 N 6000"},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.inside.constData());
        const ClsConfig config = ReadWith(c.inside);
        EXPECT_EQ(QString("%1 %2 %3 %4 %5")
                      .arg(config.SerialPort)
                      .arg(config.SerialSpeed)
                      .arg(config.SerialBits)
                      .arg(config.SerialParity)
                      .arg(config.TcpPort),
                  c.read);
        ASSERT_EQ(messages.shown.size(), c.warned ? 1u : 0u);
        if (c.warned) {
            EXPECT_EQ(messages.shown[0].text,
                      QString("El fichero de configuración data.ini tiene datos incorrectos, pero "
                              "ha sido leído ignorando los fallos"));
            EXPECT_EQ(messages.shown[0].icon, Icon::Exclamation);
        }
    }
}

TEST_F(ClsConfigTest, HostModeLanguageAndPath) {
    QDir(dir.path()).mkdir("files");
    const std::pair<QByteArray, QString> cases[] = {
        {"<TCP><tcphost> 10.0.0.5 </tcphost></TCP><commode> 7 </commode>", "010.000.000.005 7 org"},
        {"<TCP><tcphost> server </tcphost></TCP><lang>  </lang><commode> 2.5 </commode>",
         "server 2 org"},
        {"<lang> esp </lang>", " 0 esp"},
    };
    for (const auto& [inside, read] : cases) {
        const ClsConfig config = ReadWith(inside);
        EXPECT_EQ(QString("%1 %2 %3").arg(config.TcpHost).arg(config.ComMode).arg(config.Lang),
                  read);
    }
    const std::pair<QString, QString> paths[] = {
        {dir.filePath("gone"), dir.path() + QDir::separator()},
        {dir.filePath("files"), dir.filePath("files")},
        {"", dir.path() + QDir::separator()}};
    for (const auto& [path, read] : paths)
        EXPECT_EQ(ReadWith("<filepath> " + path.toLatin1() + " </filepath>").FilePath, read);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ClsConfigTest, UnusableFilesAreRefused) {
    for (const QByteArray& text : {QByteArray("<?xml?>\r\n<otherroot>\r\n</otherroot>\r\n"),
                                   QByteArray(), QByteArray("</cfgtarascope>")}) {
        WriteAll(dir.filePath("data.ini"), text);
        messages.shown.clear();
        EXPECT_FALSE(ClsConfig(dir.path()).ReadConfiguration(messages)) << text.data();
        ASSERT_FALSE(messages.shown.empty());
        EXPECT_EQ(messages.shown.back().text,
                  QString("Error : Fichero de configuración incorrecto"));
        EXPECT_EQ(messages.shown.back().icon, Icon::Critical);
    }
    QFile::remove(dir.filePath("data.ini"));
    EXPECT_FALSE(ClsConfig(dir.path()).Exists());
    EXPECT_FALSE(ClsConfig(dir.path()).ReadConfiguration(messages));
    EXPECT_FALSE(ClsConfig(dir.filePath("no/such/folder")).WriteConfiguration());
}

}  // namespace
}  // namespace cfg
