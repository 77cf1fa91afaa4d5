#include "core/common/commandline.h"

#include <gtest/gtest.h>

namespace cfg {
namespace {

// A setting may be negative: a dash and a digit make a value wherever it stands; any other
// dash starts an option, and "--" ends them. What was typed comes back unchanged.
TEST(CommandLine, ADashAndADigitIsAValueAndEveryValueComesBackAsTyped) {
    struct Case {
        QStringList args;
        Request request;
        QStringList positional;
        QString history = {};
    };
    const QString marked = QString(QChar(0xE000)) + "-7";
    const Case cases[] = {
        {{"set", "c", "0", "103", "-7"}, Request::Run, {"set", "c", "0", "103", "-7"}},
        {{"-0,5", "--json", "-.5", "-1e3"}, Request::Run, {"-0,5", "-.5", "-1e3"}},
        {{"--history", "-3.db", "x"}, Request::Run, {"x"}, "-3.db"},
        {{marked, "--", "-x", "--json"}, Request::Run, {marked, "-x", "--json"}},
        {{"-x"}, Request::Wrong, {}},
        {{"-"}, Request::Run, {"-"}},
        {{"read", "--history"}, Request::Wrong, {}},
        {{"read", "-h"}, Request::Help, {"read"}},
        {{"--version", "--help"}, Request::Help, {}},
    };
    for (const Case& c : cases) {
        CommandLine line({{"json", {}}, {"history", {}, "FILE"}});
        EXPECT_EQ(line.Parse(c.args), c.request) << c.args.join(' ').toStdString();
        if (c.request == Request::Wrong) continue;
        EXPECT_EQ(line.Positional(), c.positional) << c.args.join(' ').toStdString();
        EXPECT_EQ(line.Value("history"), c.history);
    }
}

}  // namespace
}  // namespace cfg
