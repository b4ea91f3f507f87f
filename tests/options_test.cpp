// The command lines of both programs: the demo's ways to be shown as its parser reads them, and
// run as programs, the version they print, the help of the demo, and how an option the demo
// does not know is refused before anything else happens.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "shell/options.h"
#include "yarvik_version.h"

#if !defined(YARVIK_BIN) || !defined(YARVIK_CAPTURE_BIN)
#error "YARVIK_BIN and YARVIK_CAPTURE_BIN must name the two programs"
#endif

namespace {

struct ProgramRun {
    int status;
    std::string out;
    std::string err;
};

std::string slurp(const std::string& path)
{
    std::ifstream in(path);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Runs `program args` with no display and the silent sound driver, so that a run that wrongly
// starts the demo ends at once with status 1 instead of showing anything.
ProgramRun run(const std::string& program, const std::string& args, const std::string& stdoutTo = "")
{
    std::string base = std::string(::testing::TempDir()) + "options_" + std::to_string(getpid());
    std::string out = stdoutTo.empty() ? base + ".out" : stdoutTo;
    std::string cmd = "DISPLAY= SDL_AUDIODRIVER=dummy " + program + " " + args + " >'" + out + "' 2>'" + base + ".err'";
    int raw = std::system(cmd.c_str());
    return ProgramRun{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, stdoutTo.empty() ? slurp(out) : "", slurp(base + ".err")};
}

int lineCount(const std::string& s)
{
    int n = 0;
    for (char c : s) {
        n += c == '\n';
    }
    return n;
}

// parseDemoOptions on `args`: its status, what it read and what it wrote on standard error.
int parse(std::vector<std::string> args, DemoOptions* options, std::string* err)
{
    std::vector<char*> argv = {const_cast<char*>("yarvik")};
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    *options = DEMO_OPTIONS_START;
    ::testing::internal::CaptureStderr();
    int status = parseDemoOptions(static_cast<int>(argv.size()), argv.data(), options);
    *err = ::testing::internal::GetCapturedStderr();
    return status;
}

TEST(Options, WindowAndDesktopChooseHowTheDemoIsShownAndBadOrSecondChoicesAreRefused)
{
    struct Case {
        std::vector<std::string> args;
        WindowRequest window;
    };
    for (const Case& c : {Case{{}, WINDOW_REQUEST_START}, Case{{"--window"}, {WINDOW_CAPTIONED, 640, 480, 0}},
                          Case{{"--window", "1280x960"}, {WINDOW_CAPTIONED, 1280, 960, 0}},
                          Case{{"--window", "641X479"}, {WINDOW_CAPTIONED, 641, 479, 0}},
                          Case{{"--window", "160x120"}, {WINDOW_CAPTIONED, 160, 120, 0}},
                          Case{{"--window", "8192x8192"}, {WINDOW_CAPTIONED, 8192, 8192, 0}},
                          Case{{"--desktop"}, {WINDOW_DESKTOP, 640, 480, 0}}}) {
        DemoOptions o;
        std::string err;
        EXPECT_EQ(parse(c.args, &o, &err), OPTIONS_RUN) << err;
        EXPECT_TRUE(o.window.mode == c.window.mode && o.window.width == c.window.width &&
                    o.window.height == c.window.height && o.window.samples == 0)
            << (c.args.empty() ? "" : c.args.back()) << ": " << o.window.mode << " " << o.window.width << "x"
            << o.window.height;
        EXPECT_EQ(err, "");
    }
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--window", "abc"}, {"--window", "1280"}, {"--window", "1280x960x2"}, {"--window", "159x120"},
             {"--window", "640x119"}, {"--window", "8193x600"}, {"--window", "x960"}, {"--window", " 640x480"},
             {"--window", "99999999999999999999x480"}, {"--window", "--desktop"}, {"--desktop", "--desktop"},
             {"--window", "800x600", "--window"}, {"--desktop", "1280x960"}}) {
        DemoOptions o;
        std::string err;
        EXPECT_EQ(parse(args, &o, &err), EXIT_USAGE) << args[1];
        EXPECT_EQ(lineCount(err), 1) << args[1] << ": " << err;
        EXPECT_NE(err.find(args[0] == "--window" && args[1] != "800x600" ? args[1] : args.back()), std::string::npos)
            << "the option or size named: " << err;
    }
}

TEST(Options, BothProgramsPrintTheOneVersionOfTheBuild)
{
    std::string version = YARVIK_VERSION;
    ASSERT_FALSE(version.empty());
    EXPECT_EQ(version.find_first_not_of("0123456789.+abcdefghijklmnopqrstuvwxyz~"), std::string::npos)
        << "not usable as a Debian version: " << version;

    // --window takes no option after it for its size.
    for (const char* args : {"--version", "--window --version"}) {
        ProgramRun demo = run(YARVIK_BIN, args);
        EXPECT_EQ(demo.status, 0) << args;
        EXPECT_EQ(demo.out, "yarvik " + version + "\n") << args;
        EXPECT_EQ(demo.err, "") << args;
    }

    ProgramRun capture = run(YARVIK_CAPTURE_BIN, "--version");
    EXPECT_EQ(capture.status, 0);
    EXPECT_EQ(capture.out, "yarvik-capture " + version + "\n");
}

TEST(Options, HelpDescribesTheKeysAndEveryExitStatus)
{
    ProgramRun r = run(YARVIK_BIN, "--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.rfind("usage: yarvik", 0), 0u) << r.out;
    for (const char* part : {"Escape", "--version", "--window [WxH]", "--desktop", "\n  0  ", "\n  1  ", "\n  2  "}) {
        EXPECT_NE(r.out.find(part), std::string::npos) << "no '" << part << "' in:\n" << r.out;
    }
    EXPECT_EQ(run(YARVIK_BIN, "-h").out, r.out);
}

TEST(Options, AnUnknownOptionIsNamedInOneLineWithStatusTwoAndNothingRuns)
{
    for (const char* args : {"--bogus", "foo", "--version --bogus", "--help -x", "''", "--window 1x1",
                             "--window --desktop"}) {
        ProgramRun r = run(YARVIK_BIN, args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(lineCount(r.err), 1) << args << ": " << r.err;
        EXPECT_EQ(r.out, "") << args;
    }
    EXPECT_NE(run(YARVIK_BIN, "--bogus").err.find("'--bogus'"), std::string::npos);
    EXPECT_NE(run(YARVIK_BIN, "--help foo").err.find("'foo'"), std::string::npos);
}

TEST(Options, WithoutOptionsTheDemoStartsAsBefore)
{
    // No display: the demo itself answers, as it always has, with its one reason and status 1;
    // so does it when asked for a window or the desktop.
    for (const char* args : {"", "--window", "--window 800x600", "--desktop"}) {
        ProgramRun r = run(YARVIK_BIN, args);
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_EQ(lineCount(r.err), 1) << args << ": " << r.err;
        EXPECT_NE(r.err.find("display"), std::string::npos) << args << ": " << r.err;
        EXPECT_EQ(r.out, "") << args;
    }
}

TEST(Options, AVersionOrHelpThatCannotBeWrittenIsAFailure)
{
    for (const char* program : {YARVIK_BIN, YARVIK_CAPTURE_BIN}) {
        for (const char* args : {"--version", "--help"}) {
            ProgramRun r = run(program, args, "/dev/full");
            EXPECT_EQ(r.status, 1) << program << " " << args;
            EXPECT_EQ(lineCount(r.err), 1) << r.err;
        }
    }
}

}  // namespace
