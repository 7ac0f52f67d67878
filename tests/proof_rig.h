// A whole velunor service inside a test process: a program directory with
// STATION.INI and Velunor.CFG, test certificates, a running endpoint
// simulator, and the service as main assembles it (service.h), whose timer
// the test drives tick by tick on a fake clock (so error-log retry pauses
// are counted, not slept). For the scheduler, load and fault tests and the
// price-chain benchmark. Single-threaded.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "service/common/clock.h"
#include "service/common/window_model.h"
#include "service/common/window_view.h"
#include "service/core/markt_transp.h"
#include "service/core/service.h"
#include "tests/fake_front_end.h"
#include "tests/test_support.h"
#include "tests/transmission_sim.h"

namespace velunor::testing {

class ServiceRig {
 public:
  struct Options {
    std::string db_server{};  // "host:port"; empty: the shared test database (not reset here)
    std::vector<std::string> outcomes = {"ack"};
    // Where the service's files go; empty: a fresh temporary directory.
    std::filesystem::path program_dir{};
    // Above 0: the transport's time-out instead of the service's 60 s, so
    // that a test can wait for it.
    std::chrono::milliseconds transport_timeout{0};
    // URLs to send the publications to instead of the simulator's.
    std::string station_url{};
    std::string price_url{};
    // The status server's address ("127.0.0.1:0": any free port); "" for none.
    std::string status_address{};
    std::uintmax_t archive_max_bytes = Operations::kDefaultArchiveBytes;
    // The service's database session tells the fake clock's time (now(),
    // the transfer log's times), so that ages the server computes follow
    // the clock the test moves.
    bool database_follows_clock = false;
    // The service's disk; null: the machine's. Must outlive the rig.
    FileSystem* files = nullptr;
    // The reporter lease's length and the instance's name ("": the host's).
    int lease_seconds = 60;
    std::string instance_name{};
  };

  // Makes certificates, starts the simulator, writes the two files and
  // assembles the service.
  // Throws std::runtime_error when the simulator does not come up.
  explicit ServiceRig(Options options);
  ~ServiceRig();

  // Form_Load and Form_Activate; false when the start ended the program.
  bool Start();
  // The end of a program run and the start of the next one: a new process
  // state on the same program directory, database and simulator.
  bool Restart();
  void Tick(int n = 1);
  // Ticks until the scheduler stands at `state`; throws std::runtime_error
  // when it does not within `max_ticks`.
  void TickUntilState(SchedulerState state, int max_ticks = 200);
  // From idle: lets the tick counter reach the automatic price export and
  // ticks until the chain stands at `state`, whose step the next tick runs.
  void TickToPriceState(SchedulerState state);
  // A whole automatic price export, from idle back to idle.
  void RunPriceExport();
  // After the start: ticks until the first station and price publications
  // have been made and the scheduler is idle (bounded like TickUntilState).
  void RunFirstExports();

  Service& service() { return *service_; }
  MarktTransp& window() { return service_->window(); }
  ProcessState& state() { return service_->state(); }
  MdmSim& sim() { return *sim_; }
  const TestCertificates& certs() const { return *certs_; }
  FakeClock& clock() { return clock_; }
  // The service state, and the operator window as a view of it.
  ServiceState& shown() { return *shown_; }
  WindowModel& model() { return *model_; }
  FakeFrontEnd& front_end() { return *front_end_; }
  const std::filesystem::path& program_dir() const { return program_dir_; }
  bool running() const {
    return front_end_->exit_code == -1 && !service_->window().scheduler().unloaded();
  }

  // Lines of the error log file MTS-Error-0.LOG.
  std::vector<std::string> ErrorLines() const { return ReadErrorLog(program_dir_); }
  // The body of the simulator's last request ("" when none).
  std::string LastRequest() const;
  // Rows of the transfer log with this code.
  int TransferLogCount(Connection& db, int code) const;

 private:
  // A new process state, window and front end on the same files.
  void Assemble();

  Options options_;
  TempDir work_;
  std::filesystem::path program_dir_;
  std::unique_ptr<TestCertificates> certs_;
  std::unique_ptr<MdmSim> sim_;
  FakeClock clock_;
  std::unique_ptr<ServiceState> shown_;
  std::unique_ptr<WindowModel> model_;
  std::unique_ptr<WindowView> view_;
  std::unique_ptr<FakeFrontEnd> front_end_;
  std::unique_ptr<Service> service_;
};

}  // namespace velunor::testing
