#include "core/startup/ipcheck.h"

#include <gtest/gtest.h>

#include "support/testsupport.h"

namespace cfg {
namespace {

TEST(GeneraTextoIP, AcceptsRefusesAndRewrites) {
    struct Case {
        QString input;
        bool valid;
        QString after;
    };
    const Case cases[] = {
        {"10.0.0.5", true, "010.000.000.005"},
        {"1.2.3.4", true, "001.002.003.004"},
        {"0255.0.0.1", true, "255.000.000.001"},
        {"010.000.000.001", true, "010.000.000.001"},
        {"255.255.255.255", true, "255.255.255.255"},
        {"10.0.5", false, "10.0.5"},          // two dots
        {"10.0.0.256", false, "10.0.0.256"},  // a group too large: untouched
        {"10..0.5", false, "10..0.5"},        // double dot ends the scan, group 1 empty
        {".1.2.3", false, ".1.2.3"},
        {"1.2.3.x", false, "1.2.3.x"},           // a letter: refused at once
        {" 1.2.3.4", false, " 1.2.3.4"},         // so is a space
        {"1.2.3.4.", false, "001.002.003.004"},  // four valid groups are rewritten anyway
        {"1.2.3.4.5", false, "001.002.003.004"},
        {"1.2.3.4.5.6", false, "001.002.003.004"},
        {"1.2.3.4..", false, "001.002.003.004"},
        {"", false, ""},
        {"00000000000000000000001.2.3.4", true, "001.002.003.004"},
        {"99999999999999999999.2.3.4", false, "99999999999999999999.2.3.4"},
    };
    for (const Case& c : cases) {
        QString text = c.input;
        EXPECT_EQ(GeneraTextoIP(text), c.valid) << c.input.toStdString();
        EXPECT_EQ(text, c.after) << c.input.toStdString();
    }
}

}  // namespace
}  // namespace cfg
