// The Linux program's command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/posix/program_options.h"

namespace {

using Action = ProgramOptions::Action;

ProgramOptions Parse(std::vector<std::string> arguments) { return ParseProgramOptions(arguments); }

}  // namespace

TEST(ProgramOptionsTest, KnownOptionsChooseTheActionAndHelpComesFirst) {
    EXPECT_EQ(Parse({}).action, Action::kRun);
    EXPECT_EQ(Parse({"--help"}).action, Action::kHelp);
    EXPECT_EQ(Parse({"-h"}).action, Action::kHelp);
    EXPECT_EQ(Parse({"--version"}).action, Action::kVersion);
    EXPECT_EQ(Parse({"--version", "--help"}).action, Action::kHelp);
    EXPECT_EQ(Parse({"--version", "--version"}).action, Action::kVersion);
    EXPECT_FALSE(Parse({}).headless);
    EXPECT_TRUE(Parse({"--headless"}).headless);
    EXPECT_EQ(Parse({"--headless"}).action, Action::kRun);
    EXPECT_EQ(Parse({"--headless", "--bogus"}).action, Action::kError);
}

TEST(ProgramOptionsTest, AnyUnknownArgumentMakesTheLineAnErrorNamingTheFirst) {
    struct Case {
        std::vector<std::string> arguments;
        std::string error;
    };
    const Case cases[] = {
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"--help", "-x", "--also-bad"}, "unknown option '-x'"},
        {{"--Help"}, "unknown option '--Help'"},  // options are case-sensitive
        {{"--help=1"}, "unknown option '--help=1'"},
        {{"--"}, "unknown option '--'"},
        {{"slides.pptx", "--help"}, "unexpected argument 'slides.pptx'"},
        {{"-"}, "unexpected argument '-'"},
        {{""}, "unexpected argument ''"},
    };
    for (const Case& c : cases) {
        ProgramOptions options = Parse(c.arguments);
        EXPECT_EQ(options.action, Action::kError) << c.error;
        EXPECT_EQ(options.error, c.error);
    }
}
