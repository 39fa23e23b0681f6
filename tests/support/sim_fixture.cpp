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
    if (hadPreviousPorts_)
        setenv("NERAX_LT_PORTS", previousPorts_.c_str(), 1);
    else
        unsetenv("NERAX_LT_PORTS");
}

void SimFixture::SetUp() {
    sim_ = std::make_unique<SimulatedDetector>(simOptions(), simComNumber());
    ASSERT_TRUE(sim_->ok()) << "virtual detector: " << sim_->error();
}

void SimFixture::TearDown() { sim_.reset(); }

std::vector<std::string> defaultIdentityReadout() {
    return {"ASD is connected       :Y",  "Super User             :N",  "ASD will restart       :N",
            "E2P read               :Y",  "E2P factory ok         :Y",  "E2P config  ok         :Y",
            "E2P loopbased ok       :Y",  "WRONG CONFIGURATION?   :N",  "Variant                :stand alone",
            "Num. of channels       :2",  "Num. of sensors        :2",  "QOB id                 :1",
            "Serial num. #1         :17", "Serial num. #2         :5",  "Serial num. #3         :3",
            "Serial num. #4         :42", "Params schema ID       :2",  "FW major version       :3",
            "FW minor version       :4",  "FW build version       :12", "HW version             :2",
            "MC version             :1",  "Manif. date DAY        :14", "Manif. date MON        :3",
            "Manif. date YEA        :17", "Manif. date HOU        :10", "Manif. date MIN        :30"};
}
