#include "transports/connectiontext.h"

#include <gtest/gtest.h>

#include "support/testsupport.h"

namespace cfgtest {
namespace {

// Each case is "TEXT|READING"; a text without a reading is refused.
template <typename Reading>
class TextTest : public ::testing::TestWithParam<const char*> {
  protected:
    void Check(std::optional<Reading> (*parse)(const QString&), QString (*show)(const Reading&)) {
        const QString text = QString::fromUtf8(GetParam()).section(u'|', 0, 0);
        const std::optional<Reading> read = parse(text);
        EXPECT_EQ(read ? show(*read) : QString(), QString::fromUtf8(GetParam()).section(u'|', 1))
            << GetParam();
    }
};

using TcpText = TextTest<cfg::TcpEndpoint>;
TEST_P(TcpText, ReadsAsItsAddressOrNameAndPort) {
    Check(cfg::ParseTcpText, [](const cfg::TcpEndpoint& e) {
        return QStringLiteral("%1 %2 %3").arg(e.ipv4, 0, 16).arg(e.host).arg(e.port);
    });
}
INSTANTIATE_TEST_SUITE_P(
    Texts, TcpText,
    ::testing::Values("127.0.0.1:6000|7f000001  6000", "010.000.000.001:6000|a000001  6000",
                      "0000255.255.255.0255:65535|ffffffff  65535",
                      "  10.0.0.5:6000      |a000005  6000", "127.0.0.1:60:00|7f000001  60",
                      "scale-1.shop_7.example:6000|0 scale-1.shop_7.example 6000",
                      "1.2.3.x:6000|0 1.2.3.x 6000", "", "127.0.0.1", "1.2.3.4.5:6000",
                      "127.0.0.1:0", "127.0.0.1:65536", "127.0.0.1:99999999999999999999999",
                      ":6000", "10.0.5:6000", "10.0.0.256:6000", "2130706433:6000",
                      "host name:6000", "0x7f000001:6000", "bal\u00f1a:6000", "[::1]:6000"),
    [](const auto& test) { return cfgtest::CaseName(test.index, test.param, '|'); });

using SerialText = TextTest<cfg::SerialSettings>;
// COM n is /dev/ttyS(n-1); the link tests point others at a pty through CFGTARASCOPE_COMn.
TEST_P(SerialText, ReadsAsItsSettingsAndDevice) {
    Check(cfg::ParseSerialText, [](const cfg::SerialSettings& s) {
        return QString::asprintf("%d %c %d %d %ls", s.speed, s.parity, s.dataBits, s.comNumber,
                                 qUtf16Printable(cfg::SerialDevice(s)));
    });
}
INSTANTIATE_TEST_SUITE_P(
    Texts, SerialText,
    ::testing::Values("19200,E,8,1|19200 E 8 1 /dev/ttyS0", "1200,O,7,9|1200 O 7 9 /dev/ttyS8",
                      " 14400 , e , 7 , 3 |14400 E 7 3 /dev/ttyS2",
                      "9600,N,8,255|9600 N 8 255 /dev/ttyS254",

                      "115200,N,8,COM3|115200 N 8 0 COM3", "", "19200,E,8", "0,E,8,1",
                      "19200,X,8,1", "19200,E,4,1", "19200,E,9,1", "19200,E,8,0", "19200,E,8,256"),
    [](const auto& test) { return cfgtest::CaseName(test.index, test.param, '|'); });

using CommandLineLink = TextTest<cfg::LinkTarget>;
TEST_P(CommandLineLink, GivesTheLinkTypeAndConnectText) {
    Check(cfg::CommandLineLink, [](const cfg::LinkTarget& t) {
        return QString::number(t.linkType) + " " + t.connectionText;
    });
}
INSTANTIATE_TEST_SUITE_P(Texts, CommandLineLink,
                         ::testing::Values("127.0.0.1:6000|0 127.0.0.1:6000",
                                           "serial:/dev/ttyUSB0:19200,E,8|1 19200,E,8,/dev/ttyUSB0",
                                           "serial:2:9600,N,7|1 9600,N,7,2",
                                           "serial:/dev/odd:name:1200,O,8|1 1200,O,8,/dev/odd:name",
                                           "serial:", "serial:/dev/ttyUSB0"),
                         [](const auto& test) {
                             return cfgtest::CaseName(test.index, test.param, '|');
                         });

// One text per link however it is typed; a device path is kept as it is, "%1" and all.
TEST(NormalConnection, NamesALinkOneWay) {
    const std::tuple<int, const char*, const char*> cases[] = {
        {0, " 010.000.000.001:3001 ", "10.0.0.1:3001"},
        {0, "Scale-1.Shop:60:00", "scale-1.shop:60"},
        {1, "9600,n,8,/dev/x%1", "serial:/dev/x%1:9600,N,8"},
        {1, "19200,E,7,/dev/%2%1", "serial:/dev/%2%1:19200,E,7"},
        {1, "19200,E,8,1", "serial:/dev/ttyS0:19200,E,8"},
    };
    for (const auto& [type, text, normal] : cases)
        EXPECT_EQ(cfg::NormalConnection(type, text), normal) << text;
}

}  // namespace
}  // namespace cfgtest
