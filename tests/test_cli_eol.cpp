// nerax-lt-cli eol: the Manual EOL test from the command line against the
// virtual detector, in-process (keys from a string) and as a program (keys
// on its stdin pipe).
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "cli/cli.h"
#include "device/qob.h"
#include "support/cli_run.h"

extern char** environ;

namespace {

using nerax_sim::DetectorModel;
using Lines = std::vector<std::string>;

bool startsWith(const std::string& text, const std::string& part) { return text.rfind(part, 0) == 0; }

class CliEol : public SimCliTest {
protected:
    // The command with its keys, one a line.
    CliLines eol(Lines args, const std::string& keys) {
        std::istringstream in(keys);
        setCliKeyInput(in);
        args.insert(args.begin(), "eol");
        CliLines r = run(args);
        setCliKeyInput(std::cin);
        return r;
    }
    int requests() {
        return detector().withModel([](DetectorModel& m) {
            int total = 0;
            for (int n : m.requestCount) total += n;
            return total;
        });
    }
    Lines savedLogs(const std::string& folder) const {
        Lines names;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (startsWith(entry.path().filename().string(), "NERAX_LT_EOL_"))
                names.push_back(entry.path().filename().string());
        return names;
    }
    bool has(const Lines& lines, const std::string& line) const {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

TEST_F(CliEol, BadOptionsAreRefusedBeforeAnythingStarts) {
    struct Case {
        Lines args;
        const char* message;
    };
    const Case cases[] = {
        {{"--serial", "1.2.3.256"}, "--serial takes four bytes 0..255 as S1.S2.S3.S4, not \"1.2.3.256\""},
        {{"--serial", "1.2.3"}, "--serial takes four bytes"},
        {{"--serial", "1.2.3.4.5"}, "--serial takes four bytes"},
        {{"--serial", "1.-2.3.4"}, "--serial takes four bytes"},
        {{"--serial", "a.b.c.d"}, "--serial takes four bytes"},
        {{"--channels", "3"}, "--channels takes 1 or 2, not \"3\""},
        {{"--start", "0"}, "--start takes a step from 1 to 10, not \"0\""},
        {{"--start", "x"}, "--start takes a step from 1 to 10"},
        {{"--log-dir", "no-such-folder"}, "--log-dir \"no-such-folder\" is not a folder"},
        {{"--lop"}, "unexpected argument \"--lop\""},
    };
    for (const Case& c : cases) {
        const CliLines r = eol(c.args, "y\n");
        EXPECT_EQ(r.code, 2) << c.message;
        EXPECT_TRUE(r.out.empty()) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    EXPECT_EQ(requests(), 0);
    EXPECT_TRUE(savedLogs(work.path()).empty());
}

TEST_F(CliEol, KeysComeOneALineAndTheEndOfInputIsStop) {
    // y, an unknown line, N; then the input ends at step 3's wait.
    const CliLines r = eol({"--channels", "1", "--loop"}, "y\nx\r\nN\n");
    EXPECT_EQ(r.code, 1);
    ASSERT_GE(r.out.size(), 8u);
    EXPECT_TRUE(startsWith(r.out[0], "Inizio EOL manuale: "));
    EXPECT_EQ(Lines(r.out.begin() + 1, r.out.begin() + 6), (Lines{"", "LOOP BASED", "NUMERO DI CANALI: 1", "", ""}));
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), "    <<< PASSED >>>"), 1);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), "    <<< FAILED >>>"), 1);
    EXPECT_NE(r.err.find("\"x\" is no key"), std::string::npos) << r.err;
    const Lines tail(r.out.end() - 6, r.out.end());
    EXPECT_EQ(tail[0], "    <<< PREMERE SPAZIO PER ESEGUIRE PROGRAMMAZIONE EEPROM >>>");
    EXPECT_TRUE(startsWith(tail[2], "TEST STOPPED BY USER: ")) << tail[2];
    EXPECT_TRUE(startsWith(tail[4], "TEST ABORTED: ")) << tail[4];
    EXPECT_EQ(tail[5], "EOL RESULT: ABORTED");
    // Nothing was sent: steps 1 and 2 are the operator's.
    EXPECT_EQ(requests(), 0);
    EXPECT_EQ(savedLogs(work.path()).size(), 1u);
}

TEST_F(CliEol, TheImportTakesTheImageOption) {
    std::vector<uint8_t> image = detector().eepromBytes(0, 512);
    image[300] = 77;
    QOB::sealImage(image.data());
    std::string text;
    for (size_t i = 0; i < image.size(); ++i) text += std::to_string(i) + "=" + std::to_string(image[i]) + "\r\n";
    work.write("board.e2p", text);

    const CliLines without = eol({"--start", "3"}, "\n");
    EXPECT_TRUE(has(without.out, "!!!!file eeprom invalido"));
    EXPECT_EQ(without.out.back(), "EOL RESULT: ABORTED");

    const CliLines with = eol({"--start", "3", "--image", path("board.e2p")}, "\n");
    EXPECT_FALSE(has(with.out, "!!!!file eeprom invalido"));
    EXPECT_TRUE(has(with.out, "    EEPROM PROGRAMMATA CON SUCCESSO"));
    EXPECT_EQ(detector().eepromBytes(300, 1)[0], 77);
    EXPECT_EQ(with.out.back(), "EOL RESULT: ABORTED");
}

TEST_F(CliEol, AFinishedRunPrintsItsLogAndVerdictAndSavesTheLog) {
    std::filesystem::create_directory(path("logs"));
    const CliLines r = eol({"--start", "10", "--serial", "17.3.0.42", "--log-dir", path("logs")}, "\n");
    EXPECT_EQ(r.code, 0) << r.err;
    ASSERT_GE(r.out.size(), 4u);
    EXPECT_TRUE(startsWith(r.out[r.out.size() - 3], "FINE TEST: "));
    EXPECT_EQ(r.out.back(), "EOL RESULT: PASS");
    EXPECT_TRUE(has(r.out, "    RTC set ok"));
    const Lines saved = savedLogs(path("logs"));
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_TRUE(startsWith(saved[0], "NERAX_LT_EOL_17-3-0-42_")) << saved[0];
    // The file holds what was printed, then the comment block.
    Lines file = linesOf(work.read("logs/" + saved[0]), true);
    Lines printed(r.out.begin(), r.out.end() - 1);
    printed.insert(printed.end(), {"", "Commenti:", "", ""});
    EXPECT_EQ(file, printed);
    EXPECT_NE(r.err.find("EOL log: " + path("logs") + "/" + saved[0]), std::string::npos) << r.err;

    // A failing board: FAIL with the count, exit 1.
    detector().injectFault(20, nerax_sim::Fault{nerax_sim::FaultKind::NotAcknowledged});
    const CliLines failed = eol({"--start", "10", "--log-dir", path("logs")}, "\n");
    EXPECT_EQ(failed.code, 1);
    EXPECT_TRUE(has(failed.out, "!!!!RTC set non riuscito"));
    EXPECT_EQ(failed.out.back(), "EOL RESULT: FAIL (1)");
}

// ---- as a program ---------------------------------------------------------------

// The program with its stdin and stdout on pipes, in the working directory.
struct Program {
    pid_t pid = -1;
    int in = -1, out = -1;
    // The output up to and including a line that holds `part`.
    std::string readUntil(const std::string& part) {
        std::string text, line;
        char c;
        while (read(out, &c, 1) == 1) {
            text.push_back(c);
            if (c != '\n') {
                line.push_back(c);
                continue;
            }
            if (line.find(part) != std::string::npos) break;
            line.clear();
        }
        return text;
    }
    std::string readAll() { return readUntil("\x01"); }
    int wait() {
        close(in);
        close(out);
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

Program spawnEol(const std::string& folder, int port, Lines args) {
    const std::string bin =
        std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path().string() + "/bin/nerax-lt-cli";
    args.insert(args.begin(), {bin, "eol", "--port", std::to_string(port)});
    int in[2], out[2];
    Program p;
    if (pipe(in) != 0 || pipe(out) != 0) return p;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclose(&actions, in[1]);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&p.pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) p.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    p.in = in[1];
    p.out = out[0];
    return p;
}

TEST_F(CliEol, AsAProgramItReadsItsKeysFromStdin) {
    Program p = spawnEol(work.path(), comNumber(), {"--start", "10"});
    ASSERT_GT(p.pid, 0);
    // Space at the step's wait; the input stays open and the run ends by itself.
    p.readUntil("<<< PREMERE SPAZIO PER FINALIZZARE EEPROM >>>");
    ASSERT_EQ(write(p.in, "\n", 1), 1);
    const Lines lines = linesOf(p.readAll());
    EXPECT_EQ(p.wait(), 0);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "EOL RESULT: PASS");
    EXPECT_EQ(savedLogs(work.path()).size(), 1u);
}

TEST_F(CliEol, CtrlCIsStop) {
    Program p = spawnEol(work.path(), comNumber(), {});
    ASSERT_GT(p.pid, 0);
    p.readUntil("<<< PREMERE Y SE TEST OK");
    kill(p.pid, SIGINT);
    const Lines lines = linesOf(p.readAll());
    EXPECT_EQ(p.wait(), 1);
    ASSERT_GE(lines.size(), 5u);
    EXPECT_TRUE(startsWith(lines[lines.size() - 4], "TEST STOPPED BY USER: ")) << lines[lines.size() - 4];
    EXPECT_TRUE(startsWith(lines[lines.size() - 2], "TEST ABORTED: "));
    EXPECT_EQ(lines.back(), "EOL RESULT: ABORTED");
    EXPECT_EQ(savedLogs(work.path()).size(), 1u);
}

}  // namespace
