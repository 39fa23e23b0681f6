// nerax-lt-cli: `ports` and `info` in-process and as programs against the
// virtual detector; the command-line host's dialogs and console echo.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "pages/main_window.h"
#include "cli/cli.h"
#include "support/cli_run.h"

extern char** environ;

namespace {

using Lines = std::vector<std::string>;

struct CliResult {
    int code;
    std::string out, err;
};

CliResult cli(const Lines& args) {
    std::ostringstream out, err;
    int code = runCli(args, out, err);
    return {code, out.str(), err.str()};
}

class CliTest : public SimFixture {
protected:
    ScopedWorkDir work;  // no stray INI file, reports land here
    std::string port() const { return std::to_string(comNumber()); }
};

TEST_F(CliTest, InfoConnectsAndPrintsTheInformationReadout) {
    CliResult r = cli({"info", "--port", port()});
    EXPECT_EQ(r.code, 0) << r.err;
    Lines want = {">>Connected"};
    for (const auto& line : defaultIdentityReadout()) want.push_back(line);
    EXPECT_EQ(linesOf(r.out), want);
    EXPECT_EQ(r.out.find('\r'), std::string::npos);
}

TEST_F(CliTest, InfoWithoutADetectorPrintsTheErrorLineAndFails) {
    CliResult r = cli({"info", "--port", std::to_string(comNumber() + 1)});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(linesOf(r.out), Lines{">>WIN Error [2]: Invalid Handle (-1)"});

    detector().injectFault(6, {nerax_sim::FaultKind::NotAcknowledged}, 1);
    r = cli({"info", "--port", port()});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(linesOf(r.out), Lines{">>QOB Error [5] device doesn't acknowledge to connect command"});
}

TEST_F(CliTest, UsageErrorsExitWithTwoAndUsageOnStderr) {
    const Lines cases[] = {
        {},
        {"nonsense"},
        {"info"},
        {"info", "--port"},
        {"info", "--port", "abc"},
        {"info", "--port", "0"},
        {"info", "--port", "256"},
        {"info", "--port", "7", "--bogus"},
        {"info", "--port", "7", "extra"},
        {"ports", "--port", "7"},
    };
    for (const Lines& args : cases) {
        CliResult r = cli(args);
        std::string joined;
        for (const auto& a : args) joined += a + " ";
        EXPECT_EQ(r.code, 2) << joined;
        EXPECT_TRUE(r.out.empty()) << joined;
        EXPECT_NE(r.err.find("usage: nerax-lt-cli"), std::string::npos) << joined;
    }
}

TEST_F(CliTest, PortsListsTheDetectorUnderItsFriendlyName) {
    CliResult r = cli({"ports"});
    EXPECT_EQ(r.code, 0) << r.err;
    Lines lines = linesOf(r.out);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "COM" + port() + "|NERAX LT (virtual)"), lines.end()) << r.out;
    EXPECT_TRUE(std::is_sorted(lines.begin(), lines.end())) << r.out;
    for (const auto& line : lines) EXPECT_EQ(line.rfind("COM", 0), 0u) << line;
}

// ---- the command-line host ------------------------------------------------

TEST(CliHostDialogs, AnswersComeFromTheOptions) {
    struct Case {
        CliAnswers answers;
        DialogResult yesNo, okCancel;
        std::string input;  // result of an input query with default "4"
        bool file;
    } cases[] = {
        {{}, DialogResult::No, DialogResult::Cancel, "4", false},
        {{true, std::nullopt, std::nullopt}, DialogResult::Yes, DialogResult::Ok, "4", false},
        {{false, std::string("12"), std::string("/tmp/x.txt")}, DialogResult::No, DialogResult::Cancel, "12", true},
    };
    for (const Case& c : cases) {
        std::ostringstream err;
        CliHost host(err, c.answers);
        EXPECT_EQ(host.messageBox("LOG SAVED!\n\nX.LOG", "", DialogKind::Information, DialogButtons::Ok),
                  DialogResult::Ok);
        EXPECT_EQ(host.messageBox("Clear logs?", "", DialogKind::Warning, DialogButtons::YesNo), c.yesNo);
        EXPECT_EQ(host.messageBox("Attach the pipes", "", DialogKind::Warning, DialogButtons::OkCancel), c.okCancel);
        std::string value = "4";
        EXPECT_TRUE(host.inputQuery("Ultrasonic energy parameter", "Best settings: 4, 2, 15", value));
        EXPECT_EQ(value, c.input);
        FileDialog save{"Export Logs", "TXT files (*.TXT)|*.TXT", "", "TXT", ""};
        EXPECT_EQ(host.executeSaveDialog(save), c.file);
        FileDialog open{"Import", "", "", "", ""};
        EXPECT_EQ(host.executeOpenDialog(open), c.file);
        if (c.file) { EXPECT_EQ(save.FileName, "/tmp/x.txt"); }
        EXPECT_NE(err.str().find("LOG SAVED!"), std::string::npos);
        EXPECT_NE(err.str().find("Clear logs?"), std::string::npos);
    }
}

TEST(CliConsole, LinesArePrintedAsTheyAreWritten) {
    ScopedWorkDir work;
    std::ostringstream out, err;
    CliArgs args;
    CliSession session(args, out, err);
    session.window->addConsoleLine("one");
    EXPECT_EQ(out.str(), "one\n");  // at once, not at the end
    session.window->addConsoleLine("two\r\nthree");
    session.window->clearConsole();
    session.window->addConsoleLine("four");
    EXPECT_EQ(out.str(), "one\ntwo\nthree\nfour\n");
}

// ---- as programs -------------------------------------------------------------

std::string binDir() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path().string() + "/bin";
}

// Runs a program with its stdout on a pipe.
struct Child {
    pid_t pid = -1;
    int out = -1;
};

Child spawn(const Lines& argv) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    Child child;
    if (posix_spawn(&child.pid, args[0], &actions, nullptr, args.data(), environ) != 0) child.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    child.out = pipeFds[0];
    return child;
}

std::string readLine(int fd) {
    std::string line;
    char c;
    while (read(fd, &c, 1) == 1 && c != '\n') line.push_back(c);
    return line;
}

std::string readAll(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
    return text;
}

int waitExit(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(CliProgram, InfoAndPortsAgainstTheSimulatorProgram) {
    ScopedWorkDir work;
    std::string folder = work.path() + "/ports";
    setenv("NERAX_LT_PORTS", folder.c_str(), 1);
    Child sim = spawn({binDir() + "/nerax-lt-sim", "--com", "222"});
    ASSERT_GT(sim.pid, 0);
    std::string announce = readLine(sim.out);
    ASSERT_EQ(announce.rfind("COM222 /dev/", 0), 0u) << announce;

    Child info = spawn({binDir() + "/nerax-lt-cli", "info", "--port", "222"});
    ASSERT_GT(info.pid, 0);
    Lines got = linesOf(readAll(info.out));
    close(info.out);
    EXPECT_EQ(waitExit(info.pid), 0);
    Lines want = {">>Connected"};
    for (const auto& line : defaultIdentityReadout()) want.push_back(line);
    EXPECT_EQ(got, want);

    Child ports = spawn({binDir() + "/nerax-lt-cli", "ports"});
    ASSERT_GT(ports.pid, 0);
    Lines listed = linesOf(readAll(ports.out));
    close(ports.out);
    EXPECT_EQ(waitExit(ports.pid), 0);
    EXPECT_NE(std::find(listed.begin(), listed.end(), "COM222|NERAX LT (virtual)"), listed.end());

    kill(sim.pid, SIGTERM);
    close(sim.out);
    waitExit(sim.pid);
    EXPECT_FALSE(std::filesystem::exists(folder + "/COM222"));
    unsetenv("NERAX_LT_PORTS");
}

}  // namespace
