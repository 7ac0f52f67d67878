// The one fixture of the tests that drive the whole service in the test
// process (tests/proof_rig.h) on the small station network of the private
// database: the network seeded afresh for each test, and started rigs on it.
#pragma once

#include <memory>

#include <gtest/gtest.h>

#include "tests/proof_rig.h"
#include "tests/test_support.h"

namespace velunor::testing {

class RigTest : public ::testing::Test {
 protected:
  // A rig on `options` that has started and made its first exports; a start
  // that ended the program fails the test with its messages and error log.
  static std::unique_ptr<ServiceRig> StartedRig(const ServiceRig::Options& options = {}) {
    auto rig = std::make_unique<ServiceRig>(options);
    EXPECT_TRUE(rig->Start()) << Joined(rig->front_end().messages) << Joined(rig->ErrorLines());
    rig->RunFirstExports();
    return rig;
  }

  std::unique_ptr<Connection> sql_ = ConnectToStationNetwork();
};

}  // namespace velunor::testing
