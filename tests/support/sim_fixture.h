// Test helper: a virtual detector on a pseudo-terminal, registered as a COM
// number in a private ports folder that NERAX_LT_PORTS points to.
//
//   class MyTest : public SimFixture {};
//   TEST_F(MyTest, Connects) {
//       QOB qob;
//       ASSERT_EQ(qob.connect(comNumber(), 0, 0, 0), 1);
//       detector().withModel([](nerax_sim::DetectorModel& m) { m.flow[0] = 90; });
//   }
//
// Tests that need a different image override simOptions() (called once,
// before the detector starts), or use SimulatedDetector directly.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/virtual_detector.h"

// Owns a started detector, its COM entry and a temporary ports folder.
class SimulatedDetector {
public:
    explicit SimulatedDetector(const nerax_sim::DetectorOptions& options = {}, int comNumber = 201);
    ~SimulatedDetector();
    SimulatedDetector(const SimulatedDetector&) = delete;
    SimulatedDetector& operator=(const SimulatedDetector&) = delete;

    bool ok() const { return ok_; }  // started and registered
    const std::string& error() const { return error_; }
    int comNumber() const { return com_; }
    const std::string& portsFolder() const { return folder_; }
    std::string devicePath() const { return detector_->devicePath(); }
    nerax_sim::VirtualDetector& detector() { return *detector_; }

private:
    std::unique_ptr<nerax_sim::VirtualDetector> detector_;
    std::string folder_;
    std::string previousPorts_;
    bool hadPreviousPorts_ = false;
    int com_;
    bool ok_ = false;
    std::string error_;
};

class SimFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Override to change the image, flags or timing of the detector.
    virtual nerax_sim::DetectorOptions simOptions() const { return {}; }
    virtual int simComNumber() const { return 201; }

    int comNumber() const { return sim_->comNumber(); }
    nerax_sim::VirtualDetector& detector() { return sim_->detector(); }
    const std::string& portsFolder() const { return sim_->portsFolder(); }
    SimulatedDetector& sim() { return *sim_; }

private:
    std::unique_ptr<SimulatedDetector> sim_;
};

// The "Information" readout of the detector's default image, line by line.
std::vector<std::string> defaultIdentityReadout();
