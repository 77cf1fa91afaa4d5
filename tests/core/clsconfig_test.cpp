#include "core/settings/clsconfig.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "support/testsupport.h"

using cfgtest::ReadAll;
using cfgtest::RecordingOperation;
using cfgtest::WriteAll;

namespace cfg {
namespace {

const QString kWarning = QString(
    "El fichero de configuración data.ini tiene datos incorrectos, pero ha sido leído "
    "ignorando los fallos");
const QString kBadFile = QString("Error : Fichero de configuración incorrecto");

QByteArray DefaultText(const QString& folder) {
    return "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\r\n"
           "<cfgtarascope>\r\n"
           "<lang> org </lang>\r\n"
           "<filepath> " +
           (folder + QDir::separator()).toLatin1() +
           " </filepath>\r\n"
           "<commode> 0 </commode>\r\n"
           "    <TCP>\r\n"
           "        <tcphost>  </tcphost>\r\n"
           "        <tcpport> 6000 </tcpport>\r\n"
           "    </TCP>\r\n"
           "\r\n"
           "    <RS232>\r\n"
           "        <serialport> 1 </serialport>\r\n"
           "        <serialspeed> 19200 </serialspeed>\r\n"
           "        <serialparity> E </serialparity>\r\n"
           "        <serialbits> 8 </serialbits>\r\n"
           "    </RS232>\r\n"
           "\r\n"
           "</cfgtarascope>\r\n"
           "\r\n";
}

class ClsConfigTest : public ::testing::Test {
  protected:
    // Writes data.ini with these lines inside the root and reads it into a fresh object.
    ClsConfig ReadWith(const QByteArray& inside) {
        WriteAll(dir.filePath("data.ini"),
                 "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\r\n<cfgtarascope>\r\n" + inside +
                     "\r\n</cfgtarascope>\r\n");
        ClsConfig config(dir.path());
        result = config.ReadConfiguration(messages);
        return config;
    }
    int Warnings() const {
        int n = 0;
        for (const auto& m : messages.shown) n += m.text == kWarning && m.icon == Icon::Exclamation;
        return n;
    }

    QTemporaryDir dir;
    RecordingOperation messages;
    bool result = false;
};

TEST_F(ClsConfigTest, DefaultsAreWrittenByteForByte) {
    const ClsConfig config(dir.path());
    ASSERT_TRUE(config.WriteConfiguration());
    EXPECT_EQ(ReadAll(dir.filePath("data.ini")), DefaultText(dir.path()));
}

TEST_F(ClsConfigTest, EverySettingSurvivesWriteAndRead) {
    ClsConfig written(dir.path());
    written.ComMode = 1;
    written.TcpHost = "192.168.001.020";
    written.TcpPort = 6001;
    written.SerialPort = 9;
    written.SerialSpeed = 2400;
    written.SerialParity = "O";
    written.SerialBits = 7;
    written.FilePath = dir.path();
    written.Lang = "esp";
    ASSERT_TRUE(written.WriteConfiguration());

    ClsConfig read(dir.path());
    ASSERT_TRUE(read.ReadConfiguration(messages));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(read.ComMode, 1);
    EXPECT_EQ(read.TcpHost, QString("192.168.001.020"));
    EXPECT_EQ(read.TcpPort, 6001);
    EXPECT_EQ(read.SerialPort, 9);
    EXPECT_EQ(read.SerialSpeed, 2400);
    EXPECT_EQ(read.SerialParity, QString("O"));
    EXPECT_EQ(read.SerialBits, 7);
    EXPECT_EQ(read.FilePath, dir.path());
    EXPECT_EQ(read.Lang, QString("esp"));
}

TEST_F(ClsConfigTest, ValuesAreCheckedOneByOne) {
    struct Case {
        const char* inside;
        int warnings;
        int tcpPort, serialPort, serialSpeed, serialBits;
        const char* parity;
    };
    const Case cases[] = {
        {"<TCP><tcpport> 0 </tcpport></TCP>", 1, 6000, 1, 19200, 8, "E"},
        {"<TCP><tcpport> 65536 </tcpport></TCP>", 1, 6000, 1, 19200, 8, "E"},
        {"<TCP><tcpport> 65535 </tcpport></TCP>", 0, 65535, 1, 19200, 8, "E"},
        {"<TCP><tcpport> 6000.5 </tcpport></TCP>", 0, 6000, 1, 19200, 8, "E"},
        // In range only before it is made whole.
        {"<TCP><tcpport> 65535.6 </tcpport></TCP>", 1, 6000, 1, 19200, 8, "E"},
        {"<RS232><serialport> .1 </serialport></RS232>", 1, 6000, 1, 19200, 8, "E"},
        {"<TCP><tcpport> 60a </tcpport></TCP>", 1, 6000, 1, 19200, 8, "E"},
        {"<tcp><TCPPORT> 7000 </TCPPORT></tcp>", 0, 7000, 1, 19200, 8, "E"},
        // Several bad values give one warning; the good ones stay in effect.
        {"<TCP><tcpport> 0 </tcpport></TCP><RS232><serialport> 10 </serialport>"
         "<serialspeed> 4800 </serialspeed><serialparity> x </serialparity>"
         "<serialbits> 7 </serialbits></RS232>",
         1, 6000, 1, 19200, 7, "E"},
        {"<RS232><serialparity> n </serialparity></RS232>", 0, 6000, 1, 19200, 8, "N"},
        {"<RS232><serialport> 9 </serialport><serialspeed> 1200 </serialspeed></RS232>", 0, 6000, 9,
         1200, 8, "E"},
        {"<RS232><serialport> 0 </serialport></RS232>", 1, 6000, 1, 19200, 8, "E"},
        {"<RS232><serialbits> 9 </serialbits></RS232>", 1, 6000, 1, 19200, 8, "E"},
    };
    for (const Case& c : cases) {
        messages.shown.clear();
        const ClsConfig config = ReadWith(c.inside);
        SCOPED_TRACE(c.inside);
        EXPECT_TRUE(result);
        EXPECT_EQ(Warnings(), c.warnings);
        EXPECT_EQ(messages.shown.size(), static_cast<size_t>(c.warnings));
        EXPECT_EQ(config.TcpPort, c.tcpPort);
        EXPECT_EQ(config.SerialPort, c.serialPort);
        EXPECT_EQ(config.SerialSpeed, c.serialSpeed);
        EXPECT_EQ(config.SerialBits, c.serialBits);
        EXPECT_EQ(config.SerialParity, QString(c.parity));
    }
}

TEST_F(ClsConfigTest, HostModeLanguageAndPath) {
    ClsConfig config = ReadWith("<TCP><tcphost> 10.0.0.5 </tcphost></TCP><commode> 7 </commode>");
    EXPECT_EQ(config.TcpHost, QString("010.000.000.005"));
    EXPECT_EQ(config.ComMode, 7);
    EXPECT_TRUE(messages.shown.empty());

    config = ReadWith("<TCP><tcphost> scale-server </tcphost></TCP><lang>  </lang>");
    EXPECT_EQ(config.TcpHost, QString("scale-server"));
    EXPECT_EQ(config.Lang, QString("org"));
    EXPECT_TRUE(messages.shown.empty());

    config = ReadWith("<filepath> " + dir.filePath("gone").toLatin1() + " </filepath>");
    EXPECT_EQ(config.FilePath, dir.path() + QDir::separator());
    QDir(dir.path()).mkdir("files");
    config = ReadWith("<filepath> " + dir.filePath("files").toLatin1() + " </filepath>");
    EXPECT_EQ(config.FilePath, dir.filePath("files"));
    config = ReadWith("<filepath>  </filepath><commode> 2.5 </commode>");
    EXPECT_EQ(config.FilePath, dir.path() + QDir::separator());
    EXPECT_EQ(config.ComMode, 2);
}

TEST_F(ClsConfigTest, UnusableFilesAreRefused) {
    const QByteArray files[] = {
        "<?xml version=\"1.0\" ?>\r\n<otherroot>\r\n<lang> org </lang>\r\n</otherroot>\r\n",
        "",                 // empty
        "</cfgtarascope>",  // end tag without start
    };
    for (const QByteArray& text : files) {
        WriteAll(dir.filePath("data.ini"), text);
        messages.shown.clear();
        ClsConfig config(dir.path());
        EXPECT_FALSE(config.ReadConfiguration(messages)) << text.data();
        ASSERT_FALSE(messages.shown.empty());
        EXPECT_EQ(messages.shown.back().text, kBadFile);
        EXPECT_EQ(messages.shown.back().icon, Icon::Critical);
    }
    QFile::remove(dir.filePath("data.ini"));
    ClsConfig missing(dir.path());
    EXPECT_FALSE(missing.Exists());
    EXPECT_FALSE(missing.ReadConfiguration(messages));
}

TEST_F(ClsConfigTest, WriteIntoAMissingFolderFails) {
    ClsConfig config(dir.filePath("no/such/folder"));
    EXPECT_FALSE(config.WriteConfiguration());
}

}  // namespace
}  // namespace cfg
