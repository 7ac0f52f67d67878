// The whole service with its status server on a free port, over the private
// MariaDB and the endpoint simulator, for the tests that read it as a
// monitor, a browser or an operator would.
#pragma once

#include <httplib.h>

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "tests/proof_rig.h"
#include "tests/rig_test.h"
#include "tests/small_network.h"
#include "tests/test_support.h"

namespace velunor::testing {

inline httplib::Result Get(int port, const std::string& path) {
  httplib::Client client("127.0.0.1", port);
  client.set_read_timeout(10, 0);
  return client.Get(path.c_str());
}

class StatusRigTest : public RigTest {
 protected:
  // `options` with the status server on a free port.
  static ServiceRig::Options WithStatus(ServiceRig::Options options = {}) {
    options.status_address = "127.0.0.1:0";
    return options;
  }
  // A started rig with its first exports made and its status server up.
  static std::unique_ptr<ServiceRig> StartedRig(const ServiceRig::Options& options = {}) {
    auto rig = RigTest::StartedRig(WithStatus(options));
    EXPECT_GT(rig->service().status_port(), 0);
    return rig;
  }

  // A price change upstream, then the export that reports it.
  void PriceChange(ServiceRig& rig, const std::string& price) {
    ++changes_;
    testing::SetUpstreamPrice(*sql_, 2, 2, price,
                              "2026-12-06 09:" + std::to_string(10 + changes_) + ":00");
    rig.RunPriceExport();
  }

  int changes_ = 0;
};

}  // namespace velunor::testing
