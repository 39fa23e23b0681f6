#include "support/sim_fixture.h"

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

SimulatedDetector::SimulatedDetector(const nerax_sim::DetectorOptions& options, int comNumber)
    : detector_(std::make_unique<nerax_sim::VirtualDetector>(options)), com_(comNumber) {
    char pattern[] = "/tmp/nerax-sim-ports-XXXXXX";
    if (!mkdtemp(pattern)) {
        error_ = "mkdtemp failed";
        return;
    }
    folder_ = pattern;
    if (const char* p = std::getenv("NERAX_LT_PORTS")) {
        hadPreviousPorts_ = true;
        previousPorts_ = p;
    }
    setenv("NERAX_LT_PORTS", folder_.c_str(), 1);
    if (!detector_->start() || !detector_->registerPort(com_, folder_)) {
        error_ = detector_->lastError();
        return;
    }
    ok_ = true;
}

SimulatedDetector::~SimulatedDetector() {
    detector_->stop();
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
    if (hadPreviousPorts_) setenv("NERAX_LT_PORTS", previousPorts_.c_str(), 1);
    else unsetenv("NERAX_LT_PORTS");
}

void SimFixture::SetUp() {
    sim_ = std::make_unique<SimulatedDetector>(simOptions(), simComNumber());
    ASSERT_TRUE(sim_->ok()) << "virtual detector: " << sim_->error();
}

void SimFixture::TearDown() { sim_.reset(); }
