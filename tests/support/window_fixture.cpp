#include "support/window_fixture.h"

void SimWindowTest::SetUp() {
    SimFixture::SetUp();
    work = std::make_unique<ScopedWorkDir>();
    renewWindow();
}

void SimWindowTest::renewWindow() { window_ = std::make_unique<TFrmTestQOB>(host); }

void SimWindowTest::TearDown() {
    window_.reset();
    work.reset();
    SimFixture::TearDown();
}

void SimWindowTest::connect() {
    w().Edit1.Text = std::to_string(comNumber());
    w().Button1Click();
    ASSERT_TRUE(w().qob && w().qob->isConnected()) << (console().empty() ? "" : console().back());
}

SimWindowTest::Lines SimWindowTest::consoleFrom(size_t from) const {
    const Lines& all = console();
    if (from >= all.size()) return {};
    return Lines(all.begin() + static_cast<long>(from), all.end());
}
