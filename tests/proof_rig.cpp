#include "tests/proof_rig.h"

#include <fstream>
#include <stdexcept>

#include "service/transmission/curl_transport.h"
#include "service/transmission/soap_transaction.h"

namespace velunor::testing {

namespace {

// The real procedures, except that the transmissions go through a transport
// of their own with a short time-out; everything else is the service's.
class ShortTimeoutProcedures : public ServiceProcedures {
 public:
  ShortTimeoutProcedures(VelunorState& state, std::chrono::milliseconds timeout)
      : ServiceProcedures(state), state_(state), transport_(state.certs, Options(timeout)) {}

  void XML_Out_Station() override {
    ServiceProcedures::XML_Out_Station();
    sende_art_ = "Stationdata";
  }
  void XML_Out_Preise() override {
    ServiceProcedures::XML_Out_Preise();
    sende_art_ = "Pricedata";
  }
  int SOAPTransaction(const std::string& sende_daten, const std::string& url) override {
    const Transmission transmission{sende_daten, sende_art_, url,
                              state_.db.settings.VerwendetesZertifikat};
    return velunor::SOAPTransaction(transmission, state_.env, state_.komm_log, transport_);
  }

 private:
  static CurlTransport::Options Options(std::chrono::milliseconds timeout) {
    CurlTransport::Options o;
    o.timeout = timeout;
    return o;
  }
  VelunorState& state_;
  CurlTransport transport_;
  std::string sende_art_;
};

}  // namespace

ServiceRig::ServiceRig(Options options)
    : options_(std::move(options)), clock_(DateTime{2026, 12, 6, 9, 5, 0}) {
  program_dir_ = options_.program_dir.empty() ? work_.path() / "program" : options_.program_dir;
  std::filesystem::create_directories(program_dir_);
  certs_ = std::make_unique<TestCertificates>(work_.path() / "certs");
  MdmSim::Config config;
  config.outcomes = options_.outcomes;
  sim_ = std::make_unique<MdmSim>(*certs_, work_.path() / "sim", config);

  const std::string server = options_.db_server.empty() ? TestDb::Server() : options_.db_server;
  std::ofstream(program_dir_ / "STATION.INI", std::ios::binary) << "Proof\r\n"
                                                                << server << "\r\n"
                                                                << TestDb::kUser << "\r\n"
                                                                << TestDb::kPassword << "\r\n";
  const std::string station_url =
      options_.station_url.empty() ? sim_->Url("/mdm/stationdata") : options_.station_url;
  const std::string price_url =
      options_.price_url.empty() ? sim_->Url("/mdm/pricedata") : options_.price_url;
  std::ofstream(program_dir_ / "Velunor.CFG", std::ios::binary) << certs_->client_subject << "\r\n"
                                                                << station_url << "\r\n"
                                                                << price_url << "\r\n";

  state_ = std::make_unique<VelunorState>(program_dir_, certs_->store, clock_, model_, front_end_);
  if (options_.transport_timeout.count() > 0) {
    procedures_ = std::make_unique<ShortTimeoutProcedures>(*state_, options_.transport_timeout);
  } else {
    procedures_ = std::make_unique<ServiceProcedures>(*state_);
  }
  window_ = std::make_unique<MarktTransp>(
      state_->env, *procedures_, front_end_,
      StationIniTarget{&state_->db.DbServer, &state_->db.DbBenutzer, &state_->db.DbPasswort});
}

ServiceRig::~ServiceRig() {
  if (!window_->unloaded()) window_->Form_Unload();
}

bool ServiceRig::Start() {
  window_->Form_Load();
  try {
    window_->Form_Activate();
  } catch (const ProgramEnd&) {
    return false;
  }
  return running();
}

void ServiceRig::Tick(int n) {
  for (int i = 0; i < n; ++i) window_->Haupt_Timer_Timer();
}

void ServiceRig::TickUntilState(int state, int max_ticks) {
  for (int i = 0; i < max_ticks; ++i) {
    if (window_->AblaufStatus == state) return;
    Tick();
  }
  if (window_->AblaufStatus == state) return;
  throw std::runtime_error("the scheduler did not reach state " + std::to_string(state) +
                           " within " + std::to_string(max_ticks) + " ticks; it stands at " +
                           std::to_string(window_->AblaufStatus));
}

void ServiceRig::TickToPriceState(int state) {
  if (window_->AblaufStatus != 0) {
    throw std::runtime_error("a price export can only start from idle, not from state " +
                             std::to_string(window_->AblaufStatus));
  }
  // The tick counter passes 90 on the next tick: the automatic price export.
  window_->TaktZaehler = 90;
  Tick();
  if (window_->AblaufStatus != 1) {
    throw std::runtime_error("the idle tick started state " +
                             std::to_string(window_->AblaufStatus) +
                             " instead of the price export");
  }
  TickUntilState(state, 10);
}

void ServiceRig::RunPriceExport() {
  TickToPriceState(1);
  TickUntilState(0, 10);
}

void ServiceRig::RunFirstExports() {
  const MasterData& m = state_->db.stammdaten;
  for (int i = 0; i < 100; ++i) {
    Tick();
    if (window_->AblaufStatus == 0 && !m.StationPublicationNumber.empty() &&
        !m.PricePublicationNumber.empty()) {
      return;
    }
  }
  throw std::runtime_error("the first publications were not made within 100 ticks");
}

std::vector<std::string> ServiceRig::ErrorLines() const {
  std::vector<std::string> lines;
  std::ifstream in(program_dir_ / "MTS-Error-0.LOG", std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
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
