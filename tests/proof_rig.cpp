#include "tests/proof_rig.h"

#include <fstream>
#include <stdexcept>

#include "service/transmission/curl_transport.h"
#include "service/transmission/soap_transaction.h"

namespace velunor::testing {

ServiceRig::ServiceRig(Options options)
    : options_(std::move(options)), clock_(DateTime{2026, 12, 6, 9, 5, 0}) {
  program_dir_ = options_.program_dir.empty() ? work_.path() / "program" : options_.program_dir;
  certs_ = std::make_unique<TestCertificates>(work_.path() / "certs");
  MdmSim::Config config;
  config.outcomes = options_.outcomes;
  sim_ = std::make_unique<MdmSim>(*certs_, work_.path() / "sim", config);

  WriteProgramDir(program_dir_, options_.db_server.empty() ? TestDb::Server() : options_.db_server,
                  *certs_, *sim_, options_.station_url, options_.price_url);
  Assemble();
}

void ServiceRig::Assemble() {
  if (service_ && !service_->window().unloaded()) service_->window().Form_Unload();
  service_.reset();
  // A new program run: a new window and front end as well.
  front_end_ = std::make_unique<FakeFrontEnd>();
  model_ = std::make_unique<WindowModel>();
  ServiceSetup setup;
  setup.program_dir = program_dir_;
  setup.cert_store = certs_->store;
  if (options_.transport_timeout.count() > 0)
    setup.transport_options.timeout = options_.transport_timeout;
  setup.status_address = options_.status_address;
  setup.archive_max_bytes = options_.archive_max_bytes;
  service_ = std::make_unique<Service>(setup, clock_, *model_, *front_end_);
  if (options_.database_follows_clock) {
    state().db.connection_suffix +=
        ";INITSTMT=set timestamp = " + std::to_string(clock_.EpochSeconds());
  }
}

ServiceRig::~ServiceRig() {
  if (!service_->window().unloaded()) service_->window().Form_Unload();
}

bool ServiceRig::Start() {
  window().Form_Load();
  try {
    window().Form_Activate();
  } catch (const ProgramEnd&) {
    return false;
  }
  return running();
}

bool ServiceRig::Restart() {
  Assemble();
  return Start();
}

void ServiceRig::Tick(int n) {
  for (int i = 0; i < n; ++i) {
    DbState& db = state().db;
    if (options_.database_follows_clock && db.DbVerbindung && db.DbVerbindung->IsOpen()) {
      db.db().Execute("set timestamp = " + std::to_string(clock_.EpochSeconds()));
    }
    window().Haupt_Timer_Timer();
  }
}

void ServiceRig::TickUntilState(int state, int max_ticks) {
  for (int i = 0; i < max_ticks; ++i) {
    if (scheduler().AblaufStatus == state) return;
    Tick();
  }
  if (scheduler().AblaufStatus == state) return;
  throw std::runtime_error("the scheduler did not reach state " + std::to_string(state) +
                           " within " + std::to_string(max_ticks) + " ticks; it stands at " +
                           std::to_string(scheduler().AblaufStatus));
}

void ServiceRig::TickToPriceState(int state) {
  if (scheduler().AblaufStatus != 0) {
    throw std::runtime_error("a price export can only start from idle, not from state " +
                             std::to_string(scheduler().AblaufStatus));
  }
  // The tick counter passes 90 on the next tick: the automatic price export.
  scheduler().TaktZaehler = 90;
  Tick();
  if (scheduler().AblaufStatus != 1) {
    throw std::runtime_error("the idle tick started state " +
                             std::to_string(scheduler().AblaufStatus) +
                             " instead of the price export");
  }
  TickUntilState(state, 10);
}

void ServiceRig::RunPriceExport() {
  TickToPriceState(1);
  TickUntilState(0, 10);
}

void ServiceRig::RunFirstExports() {
  const MasterData& m = state().db.stammdaten;
  for (int i = 0; i < 100; ++i) {
    Tick();
    if (scheduler().AblaufStatus == 0 && !m.StationPublicationNumber.empty() &&
        !m.PricePublicationNumber.empty()) {
      return;
    }
  }
  throw std::runtime_error("the first publications were not made within 100 ticks");
}

std::string ServiceRig::LastRequest() const {
  const int n = sim_->RequestCount();
  return n == 0 ? "" : sim_->RequestBody(n);
}

int ServiceRig::TransferLogCount(Connection& db, int code) const {
  const ResultSet rs = db.Query("select count(*) from mts_petrolstation_log where log_code = " +
                                std::to_string(code));
  return std::stoi(*rs.ValueAt(0, 0));
}

}  // namespace velunor::testing
