// The command lines of both programs, run as programs: the version they print, the help of the
// demo, and how an option the demo does not know is refused before anything else happens.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

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

TEST(Options, BothProgramsPrintTheOneVersionOfTheBuild)
{
    std::string version = YARVIK_VERSION;
    ASSERT_FALSE(version.empty());
    EXPECT_EQ(version.find_first_not_of("0123456789.+abcdefghijklmnopqrstuvwxyz~"), std::string::npos)
        << "not usable as a Debian version: " << version;

    ProgramRun demo = run(YARVIK_BIN, "--version");
    EXPECT_EQ(demo.status, 0);
    EXPECT_EQ(demo.out, "yarvik " + version + "\n");
    EXPECT_EQ(demo.err, "");

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
    for (const char* part : {"Escape", "--version", "\n  0  ", "\n  1  ", "\n  2  "}) {
        EXPECT_NE(r.out.find(part), std::string::npos) << "no '" << part << "' in:\n" << r.out;
    }
    EXPECT_EQ(run(YARVIK_BIN, "-h").out, r.out);
}

TEST(Options, AnUnknownOptionIsNamedInOneLineWithStatusTwoAndNothingRuns)
{
    for (const char* args : {"--bogus", "foo", "--version --bogus", "--help -x", "''"}) {
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
    // No display: the demo itself answers, as it always has, with its one reason and status 1.
    ProgramRun r = run(YARVIK_BIN, "");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lineCount(r.err), 1) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST(Options, AVersionThatCannotBeWrittenIsAFailure)
{
    ProgramRun r = run(YARVIK_BIN, "--version", "/dev/full");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lineCount(r.err), 1) << r.err;
}

}  // namespace
