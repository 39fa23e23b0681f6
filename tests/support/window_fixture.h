// Test helper: the main window on a scripted host, in a fresh working
// directory, next to a running virtual detector.
//
//   class MyTest : public SimWindowTest {};
//   TEST_F(MyTest, Reads) { connect(); w().btnStateClick(); ... }
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "pages/main_window.h"
#include "support/scripted_host.h"
#include "support/sim_fixture.h"
#include "support/work_dir.h"

class SimWindowTest : public SimFixture {
protected:
    using Lines = std::vector<std::string>;
    void SetUp() override;
    void TearDown() override;

    TFrmTestQOB& w() { return *window_; }
    // Connect through the window's Connect handler; asserts success.
    void connect();
    const Lines& console() const { return window_->memLog.Lines.lines(); }
    const Lines& stateView() const { return window_->memState.Lines.lines(); }
    // Console lines from `from` on.
    Lines consoleFrom(size_t from) const;
    // A fresh window on the same host, detector and working directory.
    void renewWindow();

    ScriptedHost host;
    std::unique_ptr<ScopedWorkDir> work;

private:
    std::unique_ptr<TFrmTestQOB> window_;
};
