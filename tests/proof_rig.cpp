#include "tests/proof_rig.h"

#include <stdexcept>

#include "service/transmission/curl_transport.h"
#include "service/transmission/soap_transaction.h"

namespace velunor::testing {

ServiceRig::ServiceRig(Options options)
    : options_(std::move(options)), clock_(DateTime{2026, 12, 6, 9, 5, 0}) {
  program_dir_ = options_.program_dir.empty() ? work_.path() / "program" : options_.program_dir;
  certs_ = std::make_unique<TestCertificates>(work_.path() / "certs");
  sim_ = std::make_unique<MdmSim>(*certs_, work_.path() / "sim", MdmSim::Config{options_.outcomes});

  WriteProgramDir(program_dir_, options_.db_server.empty() ? TestDb::Server() : options_.db_server,
                  *certs_, *sim_, options_.station_url, options_.price_url);
  Assemble();
}

void ServiceRig::Assemble() {
  if (service_ && !service_->window().scheduler().unloaded()) service_->window().Form_Unload();
  service_.reset();
  // A new program run: a new window and front end as well.
  view_.reset();
  front_end_ = std::make_unique<FakeFrontEnd>();
  shown_ = std::make_unique<ServiceState>();
  model_ = std::make_unique<WindowModel>();
  view_ = std::make_unique<WindowView>(*shown_, *model_);
  ServiceSetup setup;
  setup.config.program_dir = program_dir_;
  setup.config.cert_store = certs_->store;
  if (options_.transport_timeout.count() > 0)
    setup.transport_options.timeout = options_.transport_timeout;
  if (!options_.status_address.empty()) {
    setup.config.status_address = ParseStatusAddress(options_.status_address);
    if (!setup.config.status_address) {
      throw std::runtime_error(std::string("not HOST:PORT: ").append(options_.status_address));
    }
  }
  setup.config.archive_max_bytes = options_.archive_max_bytes;
  setup.files = options_.files;
  setup.config.lease_seconds = options_.lease_seconds;
  setup.config.instance_name = options_.instance_name;
  service_ = std::make_unique<Service>(setup, clock_, *shown_, *front_end_);
  if (options_.database_follows_clock) {
    state().db.connection_suffix +=
        ";INITSTMT=set timestamp = " + std::to_string(clock_.EpochSeconds());
  }
}

ServiceRig::~ServiceRig() {
  if (!service_->window().scheduler().unloaded()) service_->window().Form_Unload();
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

void ServiceRig::TickUntilState(SchedulerState state, int max_ticks) {
  for (int i = 0; i < max_ticks && window().scheduler().state() != state; ++i) Tick();
  if (window().scheduler().state() == state) return;
  throw std::runtime_error("the scheduler did not reach state " + std::to_string(state) +
                           " within " + std::to_string(max_ticks) + " ticks; it stands at " +
                           std::to_string(window().scheduler().state()));
}

void ServiceRig::TickToPriceState(SchedulerState state) {
  if (window().scheduler().state() != kIdle) {
    throw std::runtime_error("a price export can only start from idle, not from state " +
                             std::to_string(window().scheduler().state()));
  }
  // The tick counter passes 90 on the next tick: the automatic price export.
  window().scheduler().SetTaktZaehler(90);
  Tick();
  if (window().scheduler().state() != kReadPrices) {
    throw std::runtime_error("the idle tick started state " +
                             std::to_string(window().scheduler().state()) +
                             " instead of the price export");
  }
  TickUntilState(state, 10);
}

void ServiceRig::RunPriceExport() {
  TickToPriceState(kReadPrices);
  TickUntilState(kIdle, 10);
}

void ServiceRig::RunFirstExports() {
  const MasterData& m = state().db.stammdaten;
  for (int i = 0; i < 100; ++i) {
    Tick();
    if (window().scheduler().state() == kIdle && !m.StationPublicationNumber.empty() &&
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
