#include "transports/connectiontext.h"

#include <gtest/gtest.h>

#include "support/testsupport.h"

namespace cfgtest {
namespace {

constexpr quint32 Ip(quint32 a, quint32 b, quint32 c, quint32 d) {
    return (a << 24) | (b << 16) | (c << 8) | d;
}

TEST(TcpText, AcceptedTexts) {
    struct Case {
        QString text;
        quint32 ipv4;
        QString host;
        quint16 port;
    };
    const Case cases[] = {
        {"127.0.0.1:6000", Ip(127, 0, 0, 1), "", 6000},
        {"010.000.000.001:6000", Ip(10, 0, 0, 1), "", 6000},  // decimal, never octal
        {"192.168.008.009:6000", Ip(192, 168, 8, 9), "", 6000},
        {"0000255.255.255.0255:65535", Ip(255, 255, 255, 255), "", 65535},
        {"0.0.0.0:1", 0, "", 1},
        {"  10.0.0.5:6000      ", Ip(10, 0, 0, 5), "", 6000},  // a padded batch field
        {"127.0.0.1:60:00", Ip(127, 0, 0, 1), "", 60},
        {"127.0.0.1:00000000000000000000006000", Ip(127, 0, 0, 1), "", 6000},
        {"scale-1.shop_7.example:6000", 0, "scale-1.shop_7.example", 6000},
        {"1.2.3.x:6000", 0, "1.2.3.x", 6000},
    };
    for (const Case& c : cases) {
        const auto endpoint = cfg::ParseTcpText(c.text);
        ASSERT_TRUE(endpoint) << c.text.toStdString();
        EXPECT_EQ(endpoint->ipv4, c.ipv4) << c.text.toStdString();
        EXPECT_EQ(endpoint->host, c.host) << c.text.toStdString();
        EXPECT_EQ(endpoint->port, c.port) << c.text.toStdString();
    }
}

TEST(TcpText, RefusedTexts) {
    const QString texts[] = {
        "", "    ", "127.0.0.1", "127.0.0.1:", "127.0.0.1:00000", "127.0.0.1:65536",
        "127.0.0.1:99999999999999999999999", "127.0.0.1:abc",
        "127.0.0.1: 6000",  // the port must follow the colon at once
        ":6000",
        // numeric hosts that are not four decimal groups 0..255
        "10.0.5:6000", "10..0.5:6000", "10.0.0.256:6000", "1.2.3.4.5:6000", "10.0.0.5.:6000",
        ".10.0.0.5:6000", "2130706433:6000", "1.0.0.99999999999999:6000",
        // forms a resolver would read as numbers
        "0x7f.0.0.1:6000", "0x7f000001:6000", "1.0x7f:6000", "0X0A.0.0.1:6000",
        // not host names
        "host name:6000", "-scale:6000", "scale-:6000", "scale..local:6000", "bal\u00f1a:6000",
        "[::1]:6000"};
    for (const QString& text : texts) EXPECT_FALSE(cfg::ParseTcpText(text)) << text.toStdString();
}

TEST(SerialText, AcceptedTexts) {
    struct Case {
        QString text;
        qint32 speed;
        char parity;
        int bits;
        int com;
        QString device;
    };
    const Case cases[] = {
        {"19200,E,8,1", 19200, 'E', 8, 1, ""},
        {"1200,O,7,9", 1200, 'O', 7, 9, ""},
        {" 14400 , e , 7 , 3 ", 14400, 'E', 7, 3, ""},
        {"2400,n,5,003", 2400, 'N', 5, 3, ""},
        {"19200,E,8,/dev/serial/by-id/a,b", 19200, 'E', 8, 0, "/dev/serial/by-id/a,b"},
        {"115200,N,8,COM3", 115200, 'N', 8, 0, "COM3"},
    };
    for (const Case& c : cases) {
        const auto settings = cfg::ParseSerialText(c.text);
        ASSERT_TRUE(settings) << c.text.toStdString();
        EXPECT_EQ(settings->speed, c.speed) << c.text.toStdString();
        EXPECT_EQ(settings->parity, c.parity) << c.text.toStdString();
        EXPECT_EQ(settings->dataBits, c.bits) << c.text.toStdString();
        EXPECT_EQ(settings->comNumber, c.com) << c.text.toStdString();
        EXPECT_EQ(settings->device, c.device) << c.text.toStdString();
    }
}

TEST(SerialText, RefusedTexts) {
    const QString texts[] = {"", "19200,E,8", "19200,E,8,", "19200,E,8,   ",
                             // speed
                             ",E,8,1", "0,E,8,1", "abc,E,8,1", "99999999999,E,8,1",
                             // parity
                             "19200,,8,1", "19200,X,8,1", "19200,EE,8,1",
                             // data bits, COM number
                             "19200,E,,1", "19200,E,4,1", "19200,E,9,1", "19200,E,8,0",
                             "19200,E,8,256"};
    for (const QString& text : texts)
        EXPECT_FALSE(cfg::ParseSerialText(text)) << text.toStdString();
}

// Other COM numbers are pointed at a pty through CFGTARASCOPE_COMn by the link tests.
TEST(SerialText, ComNumberNamesItsDevice) {
    qunsetenv("CFGTARASCOPE_COM1");
    const auto com1 = cfg::ParseSerialText("19200,E,8,1");
    ASSERT_TRUE(com1);
#ifdef Q_OS_WIN
    EXPECT_EQ(cfg::SerialDevice(*com1), "COM1");
#else
    EXPECT_EQ(cfg::SerialDevice(*com1), "/dev/ttyS0");
#endif
}

TEST(CommandLineLink, BuildsTheConnectTextOfEitherLink) {
    struct Case {
        QString conn;
        int linkType;
        QString text;
    };
    const Case cases[] = {
        {"127.0.0.1:6000", 0, "127.0.0.1:6000"},
        {"serial:/dev/ttyUSB0:19200,E,8", 1, "19200,E,8,/dev/ttyUSB0"},
        {"serial:2:9600,N,7", 1, "9600,N,7,2"},
        {"serial:/dev/odd:name:1200,O,8", 1, "1200,O,8,/dev/odd:name"},
    };
    for (const Case& c : cases) {
        const auto target = cfg::CommandLineLink(c.conn);
        ASSERT_TRUE(target) << c.conn.toStdString();
        EXPECT_EQ(target->linkType, c.linkType) << c.conn.toStdString();
        EXPECT_EQ(target->connectionText, c.text) << c.conn.toStdString();
    }
    for (const QString conn : {"serial:", "serial:/dev/ttyUSB0", "serial::19200,E,8",
                               "serial:/dev/ttyUSB0:", "serial:/dev/x:19200,E,8,9"})
        EXPECT_FALSE(cfg::CommandLineLink(conn)) << conn.toStdString();
}

}  // namespace
}  // namespace cfgtest
