#include "cli/cli.h"

#include "pages/main_window.h"

namespace {

CliAnswers answersOf(const CliArgs& args) {
    CliAnswers a;
    a.yes = args.flags.count("yes") > 0;
    if (const std::string* v = args.value("answer")) a.answer = *v;
    if (const std::string* v = args.value("file")) a.file = *v;
    return a;
}

}  // namespace

CliSession::CliSession(const CliArgs& args, std::ostream& out, std::ostream& err)
    : host(err, answersOf(args)), out_(out) {
    window = std::make_unique<TFrmTestQOB>(host);
    window->memLog.onChange = [this](Control&) { echoConsole(); };
    window->FormCreate();
}

CliSession::~CliSession() {
    window->memLog.onChange = nullptr;
    out_.flush();
}

void CliSession::echoConsole() {
    const TStrings& lines = window->memLog.Lines;
    if (lines.generation() != generation_) {
        // Cleared or rewritten: go on from what is there now.
        generation_ = lines.generation();
        printed_ = std::min(printed_, static_cast<size_t>(lines.Count()));
        if (lines.Count() == 0) printed_ = 0;
    }
    for (; printed_ < static_cast<size_t>(lines.Count()); ++printed_) out_ << lines[static_cast<int>(printed_)] << "\n";
    out_.flush();
}

bool CliSession::connect(int port) {
    window->Edit1.Text = std::to_string(port);
    window->Button1Click();
    return window->qob && window->qob->isConnected();
}

std::unique_ptr<CliSession> connectedSession(const CliArgs& args, std::ostream& out, std::ostream& err, int& code,
                                             const std::function<bool()>& options,
                                             const std::function<int(TFrmTestQOB&)>& beforeConnect) {
    int port = 0;
    if (!cliPortOption(args, err, port) || (options && !options())) {
        code = kCliUsage;
        return nullptr;
    }
    auto session = std::make_unique<CliSession>(args, out, err);
    if (beforeConnect) {
        code = beforeConnect(*session->window);
        if (code != kCliOk) return nullptr;
    }
    if (!session->connect(port)) {
        code = kCliFailed;
        return nullptr;
    }
    code = kCliOk;
    return session;
}

void CliSession::printLines(const TMemo& memo) {
    for (const auto& line : memo.Lines.lines()) out_ << line << "\n";
    out_.flush();
}
