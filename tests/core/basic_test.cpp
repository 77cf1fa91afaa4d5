#include "core/common/basic.h"

#include <gtest/gtest.h>

#include <limits>

#include "support/testsupport.h"

namespace cfg {
namespace {

TEST(Numbers, LeadingNumberAndIsNumeric) {
    struct Case {
        QString text;
        double value;
        bool numeric;
    };
    const Case cases[] = {
        {"6000", 6000, true},
        {"60:00", 60, false},
        {"", 0, false},
        {"abc", 0, false},
        {" 12 ", 12, true},
        {"1 2", 12, false},
        {"6000.5", 6000.5, true},
        {"-5", -5, true},
        {"+7", 7, true},
        {"1e3", 1000, true},
        {"1E+2", 100, true},
        {"2D1", 20, true},
        {"1e", 1, false},
        {".5", 0.5, true},
        {"5.", 5, true},
        {".", 0, false},
        {"-", 0, false},
        {"12abc", 12, false},
        {"0x10", 0, false},
        {"\t8\t", 8, true},
        {"- 5", -5, false},
        {"1e400", 0, true},
        {"-1e-400", 0, true},
        {"+-1", 0, false},
        {"123456789012345678901234567890", 1.2345678901234568e29, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LeadingNumber(c.text), c.value) << c.text.toStdString();
        EXPECT_EQ(IsNumeric(c.text), c.numeric) << c.text.toStdString();
    }
}

TEST(Numbers, WholeNumberRoundsHalfToEven) {
    EXPECT_EQ(ToWholeNumber(2.5), 2);
    EXPECT_EQ(ToWholeNumber(3.5), 4);
    EXPECT_EQ(ToWholeNumber(-2.5), -2);
    EXPECT_EQ(ToWholeNumber(6000.5), 6000);
    EXPECT_EQ(ToWholeNumber(1e20), std::numeric_limits<int>::max());
    EXPECT_EQ(ToWholeNumber(-1e20), std::numeric_limits<int>::min());
}

TEST(Numbers, TrimSpacesOnlyTrimsSpaces) {
    EXPECT_EQ(TrimSpaces("  a b  "), QString("a b"));
    EXPECT_EQ(TrimSpaces("\ta\t"), QString("\ta\t"));
    EXPECT_EQ(TrimSpaces("   "), QString(""));
}

}  // namespace
}  // namespace cfg
