#include "tests/fault_schedule.h"

#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <random>
#include <stdexcept>
#include <thread>

#include "tests/proof_server.h"
#include "tests/received_publication.h"
#include "tests/service_process.h"
#include "tests/small_network.h"
#include "tests/tcp_cutter.h"
#include "tests/test_support.h"
#include "tests/transmission_sim.h"

namespace velunor::testing {

namespace fs = std::filesystem;

namespace {

// `since` holds whole seconds, and the simulator stores a request a moment
// after the sender's lease check; a term is matched that close.
constexpr double kTolerance = 1.5;
// The watched price: station 2's Diesel (central product 3).
constexpr int kStation = 2;
constexpr int kProduct = 3;
constexpr const char* kPsId = "id-0002";
constexpr const char* kFinalPrice = "1.299";

double Now() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}
void Sleep(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

// The last `n` bytes of `text`: what a process said last.
std::string Tail(const std::string& text, size_t n) {
  return text.substr(text.size() > n ? text.size() - n : 0);
}

std::string Seconds(double s) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", s);
  return text;
}

// (year, counter) of a publication id "P-2026-12"; (0, 0) when it has none.
std::pair<long, long> Number(const std::string& id) {
  const size_t last = id.rfind('-');
  const size_t before =
      last == std::string::npos || last == 0 ? std::string::npos : id.rfind('-', last - 1);
  if (before == std::string::npos) return {0, 0};
  try {
    return {std::stol(id.substr(before + 1, last - before - 1)), std::stol(id.substr(last + 1))};
  } catch (const std::exception&) {
    return {0, 0};
  }
}

const char* Name(int instance) { return instance == 0 ? "alpha" : "beta"; }

}  // namespace

std::map<std::string, std::vector<std::string>> CheckInvariants(const ScheduleRecord& record) {
  std::map<std::string, std::vector<std::string>> broken = {
      {"one reporter", {}}, {"no number twice", {}},      {"numbers rise", {}},
      {"final price", {}},  {"no history row twice", {}}, {"nobody ends by itself", {}}};
  std::map<std::string, int> seen;
  std::map<std::string, std::pair<long, long>> last_number;
  for (const ScheduleRecord::Transmission& t : record.transmissions) {
    // The holder once the tolerance has passed, or the sender's own term
    // beginning within it.
    int holder = -2;
    bool own_term_near = false;
    for (const ScheduleRecord::Term& term : record.terms) {
      if (term.since <= t.time - kTolerance) {
        holder = term.holder;
      } else if (term.since <= t.time + kTolerance && term.holder == t.sender) {
        own_term_near = true;
      }
    }
    const std::string what =
        std::string(Name(t.sender)) + " sent " + t.id + " at " + std::to_string(t.time);
    if (holder != t.sender && !own_term_near) {
      broken["one reporter"].push_back(
          what + " while the lease was " +
          (holder == -2 ? std::string("not yet taken")
                        : std::string("held by ") + (holder < 0 ? "another name" : Name(holder))));
    }
    if (++seen[t.kind + " " + t.id] == 2) broken["no number twice"].push_back(what + " again");
    const auto number = Number(t.id);
    const auto previous = last_number.find(t.kind);
    if (previous != last_number.end() && number <= previous->second) {
      broken["numbers rise"].push_back(what + " after " + std::to_string(previous->second.first) +
                                       "-" + std::to_string(previous->second.second));
    }
    last_number[t.kind] =
        std::max(number, previous == last_number.end() ? number : previous->second);
  }
  const auto arrived =
      std::find_if(record.transmissions.begin(), record.transmissions.end(),
                   [&](const ScheduleRecord::Transmission& t) {
                     return t.price == record.final_price && t.time >= record.final_price_set;
                   });
  const double limit = record.last_fault_end + record.lease_seconds + 30;
  if (arrived == record.transmissions.end()) {
    broken["final price"].push_back("the price set after the last fault never arrived");
  } else if (arrived->time > limit) {
    broken["final price"].push_back("the price set after the last fault arrived " +
                                    Seconds(arrived->time - record.last_fault_end) + " after it");
  }
  broken["no history row twice"] = record.repeated_history_rows;
  broken["nobody ends by itself"] = record.own_ends;
  return broken;
}

std::string ScheduleFigures::Summary() const {
  std::string text = "faults:";
  for (const auto& [kind, n] : faults) text += " " + kind + " " + std::to_string(n) + ",";
  text.back() = '\n';
  text += "takeovers: " + std::to_string(takeovers) + "\n";
  text += "longest time with nobody reporting: " + Seconds(longest_silence) + "\n";
  text += "double reports: " + std::to_string(double_reports) + "\n";
  text += "instances that ended by themselves: " + std::to_string(ended_by_themselves) + "\n";
  text += "starts ended by a database fault: " + std::to_string(starts_ended_by_database) + "\n";
  const auto times = [](const std::vector<double>& list) {
    std::string t;
    for (double s : list) t += " " + (s < 0 ? std::string("never") : Seconds(s));
    return t.empty() ? std::string(" none") : t;
  };
  text += "reporting again after kill -9 of the holder:" + times(takeover_after_kill) + "\n";
  text +=
      "reporting again after the death of the holder's node:" + times(takeover_after_node_death) +
      "\n";
  for (const auto& [name, evidence] : invariants) {
    text += "invariant \"" + name + "\": ";
    text += evidence.empty() ? "holds\n" : "BROKEN " + std::to_string(evidence.size()) + "x\n";
    for (size_t i = 0; i < evidence.size() && i < 5; ++i) text += "  " + evidence[i] + "\n";
  }
  for (const std::string& note : notes) text += "note: " + note + "\n";
  return text;
}

namespace {

enum Fault {
  kKill,
  kStopShort,
  kStopLong,
  kRestart,
  kCut,
  kFreezeShort,
  kFreezeLong,
  kNodeDeath,
  kFaultKinds
};
constexpr const char* kFaultNames[] = {"kill -9",        "SIGSTOP < lease", "SIGSTOP > lease",
                                       "restart",        "connection cut",  "freeze < lease",
                                       "freeze > lease", "node death"};

class Schedule {
 public:
  explicit Schedule(const ScheduleConfig& config)
      : config_(config), rng_(config.seed), certs_(dir_.path() / "certs") {
    if (config.galera) {
      galera_ = std::make_unique<GaleraCluster>();
    } else {
      server_ = std::make_unique<PrivateServer>();
    }
    auto db = Db();
    TestDb::Reset(*db);
    InsertStationNetwork(*db);
    for (int i = 0; i < 2; ++i) {
      Instance& in = instances_[i];
      in.dir = dir_.path() / Name(i);
      in.sim = std::make_unique<MdmSim>(certs_, dir_.path() / ("sim-" + std::string(Name(i))),
                                        MdmSim::Config{{"ack"}});
      const int target = galera_ ? galera_->port(i + 1) : server_->port();
      in.relay = std::make_unique<TcpCutter>(target, TcpCutter::Mode::kPass);
      WriteProgramDir(in.dir, "127.0.0.1:" + std::to_string(in.relay->port()), certs_, *in.sim);
    }
  }
  ~Schedule() {
    stop_watching_ = true;
    if (watcher_.joinable()) watcher_.join();
  }

  ScheduleFigures Run() {
    watcher_ = std::thread([this] { Watch(); });
    // Both machines come up together, as after a power cut.
    Start(0);
    Start(1);
    WaitUntil(
        [&] {
          const int holder = Holder();
          return holder >= 0 && instances_[holder].sim->RequestCount() > 0;
        },
        30);
    Sleep(3);
    const double begin = begin_ = Now();
    std::vector<Fault> order;
    for (int f = 0; f < kFaultKinds; ++f) {
      if (f != kNodeDeath || galera_) order.push_back(static_cast<Fault>(f));
    }
    std::shuffle(order.begin(), order.end(), rng_);
    for (size_t n = 0; n < order.size() || Now() - begin < config_.seconds; ++n) {
      Supervise();
      const Fault fault =
          n < order.size()
              ? order[n]
              : order[std::uniform_int_distribution<size_t>(0, order.size() - 1)(rng_)];
      const double at = Now();
      Apply(fault);
      applied_.push_back(Seconds(at - begin) + " " + kFaultNames[fault] + " on " + victim_);
      ++figures_.faults[kFaultNames[fault]];
      Sleep(config_.bounded ? Between(1, 2.5) : Between(1, 6));
    }
    Supervise();
    record_.last_fault_end = Now();
    record_.final_price = kFinalPrice;
    record_.final_price_set = Now();
    {
      // No change of the watcher's may land after this one.
      const std::lock_guard<std::mutex> lock(prices_mutex_);
      changing_prices_ = false;
      SetUpstreamPrice(*Db(), kStation, kProduct, kFinalPrice, Datum(++price_changes_));
    }
    if (!WaitUntil([&] { return FinalPriceArrived(); }, config_.lease_seconds + 35)) {
      // Who holds what at the server while nobody reports.
      try {
        if (server_) {
          figures_.notes.push_back(
              "open transactions and sessions:\n" +
              server_->RunAsRoot(
                  "select trx_mysql_thread_id, trx_started, trx_state, trx_rows_locked, trx_query "
                  "from information_schema.innodb_trx; select id, host, command, time, state, "
                  "left(info, 120) from information_schema.processlist where command <> "
                  "'Daemon'"));
        }
      } catch (const std::exception& e) {
        figures_.notes.push_back(std::string("the server could not be asked: ") + e.what());
      }
    }
    for (Instance& in : instances_) in.process->Signal(SIGTERM);
    for (Instance& in : instances_) in.process->Wait(30);
    stop_watching_ = true;
    watcher_.join();
    Collect();
    return figures_;
  }

 private:
  struct Instance {
    fs::path dir;
    std::unique_ptr<MdmSim> sim;
    std::unique_ptr<TcpCutter> relay;
    std::unique_ptr<ServiceProcess> process;
    int runs = 0;
  };
  struct Death {
    double time;
    bool node;  // a node's death rather than a kill -9
  };

  double Between(double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(rng_);
  }
  static std::string Datum(int change) {
    // Distinct upstream times, all before the services' clocks (09:05).
    char text[32];
    std::snprintf(text, sizeof text, "2026-12-06 %02d:%02d:%02d", 7 + change / 3600,
                  change / 60 % 60, change % 60);
    return text;
  }

  // A connection to `lox`: the single server, or the first Galera node
  // that answers, the third (no instance's) first.
  std::unique_ptr<Connection> Db() const {
    if (server_) return server_->Connect();
    std::string failure;
    for (int node : {3, 1, 2}) {
      try {
        return galera_->Connect(node);
      } catch (const std::exception& e) {
        failure = e.what();
      }
    }
    throw std::runtime_error("no Galera node answers: " + failure);
  }

  // Reads the lease row every 200 ms, and changes the watched price upstream
  // every 3 s while the schedule runs.
  void Watch() {
    std::unique_ptr<Connection> db;
    double next_price = Now() + 3;
    while (!stop_watching_) {
      try {
        if (!db) {
          db = Db();
          // The lease's times are UTC: read in the session's zone they would
          // be off by its offset, and every term would seem to start early.
          db->Execute("set time_zone = '+00:00'");
        }
        const ResultSet r = db->Query(
            "select holder, unix_timestamp(since) from velunor_lease where id = 1 and since is "
            "not null");
        if (r.RecordCount() == 1) {
          const std::string holder = r.ValueAt(0, 0).value_or("");
          const ScheduleRecord::Term term{holder == "alpha"  ? 0
                                          : holder == "beta" ? 1
                                                             : -1,
                                          std::stod(r.ValueAt(0, 1).value_or("0"))};
          const std::lock_guard<std::mutex> lock(terms_mutex_);
          if (record_.terms.empty() || record_.terms.back().holder != term.holder ||
              record_.terms.back().since != term.since) {
            record_.terms.push_back(term);
          }
        }
        const std::lock_guard<std::mutex> lock(prices_mutex_);
        if (changing_prices_ && Now() >= next_price) {
          const int change = ++price_changes_;
          char price[16];
          std::snprintf(price, sizeof price, "1.%03d", 400 + change % 500);
          SetUpstreamPrice(*db, kStation, kProduct, price, Datum(change));
          next_price = Now() + 3;
        }
      } catch (const std::exception&) {
        db.reset();  // a node that died; the next one is asked
      }
      Sleep(0.2);
    }
  }

  int Holder() {
    const std::lock_guard<std::mutex> lock(terms_mutex_);
    return record_.terms.empty() ? -1 : record_.terms.back().holder;
  }

  void Start(int i) {
    Instance& in = instances_[i];
    in.process = std::make_unique<ServiceProcess>(
        VELUNOR_BIN,
        InstanceOptions(in.dir, certs_.store, in.dir / ("run" + std::to_string(++in.runs)), Name(i),
                        config_.lease_seconds));
  }

  // A start that could not reach its database, or lost it while loading,
  // ends: the only ends a fault may cause. Any other end is the service's.
  static bool StartEndedByDatabase(const std::string& out) {
    return out.find("Keine Verbindung zur Datenbank möglich") != std::string::npos ||
           (out.find("Fehler beim Programmstart - wird beendet") != std::string::npos &&
            out.find(" / -2147467259 / ") != std::string::npos);
  }

  // An instance that ended without being told to is started again, as the
  // service manager would.
  void Supervise() {
    for (int i = 0; i < 2; ++i) {
      ServiceProcess& p = *instances_[i].process;
      if (p.Running()) continue;
      const std::string out = p.Stdout() + p.Stderr();
      if (StartEndedByDatabase(out)) {
        ++figures_.starts_ended_by_database;
        earlier_ends_.push_back(std::string(Name(i)) + " (a start that ended): " + Tail(out, 1500));
      } else {
        ++figures_.ended_by_themselves;
        record_.own_ends.push_back(std::string(Name(i)) + " ended by itself: " + Tail(out, 300));
      }
      Start(i);
    }
  }

  // The holder with two chances in three (always when `aimed`), so that
  // most faults hit the one reporting.
  int Victim(bool aimed) {
    const int holder = Holder();
    if (holder >= 0 && (aimed || Between(0, 3) < 2)) return holder;
    return Between(0, 2) < 1 ? 0 : 1;
  }

  double Short() { return config_.bounded ? Between(2, 5) : Between(2, config_.lease_seconds - 3); }
  double Long() {
    const double lease = config_.lease_seconds;
    return config_.bounded ? lease + Between(2, 4) : lease + Between(2, lease);
  }

  void Apply(Fault fault) {
    if (fault == kNodeDeath) {
      const int holder = Holder();
      const int node = holder >= 0 && (config_.bounded || Between(0, 3) < 2)
                           ? holder + 1
                           : 1 + static_cast<int>(rng_() % 3);
      if (holder >= 0 && node == holder + 1) deaths_.push_back({Now(), true});
      victim_ = "node " + std::to_string(node);
      galera_->Kill(node);
      Sleep(Between(2, 6));
      try {
        galera_->Start(node);
      } catch (const std::runtime_error& e) {
        figures_.notes.push_back(std::string("node did not rejoin at once: ") + e.what());
        galera_->Start(node);
      }
      return;
    }
    const int v = Victim(config_.bounded && fault == kKill);
    victim_ = Name(v);
    Instance& in = instances_[v];
    switch (fault) {
      case kKill:
        if (Holder() == v) deaths_.push_back({Now(), false});
        in.process->Signal(SIGKILL);
        in.process->Wait(10);
        // Back soon it takes its own lease back; after the lease the other
        // has taken over.
        Sleep(config_.bounded ? Between(1, 4) : Between(1, 2.0 * config_.lease_seconds));
        Start(v);
        break;
      case kStopShort:
      case kStopLong:
        in.process->Signal(SIGSTOP);
        Sleep(fault == kStopShort ? Short() : Long());
        in.process->Signal(SIGCONT);
        break;
      case kRestart:
        in.process->Signal(SIGTERM);
        in.process->Wait(30);
        Start(v);
        break;
      case kCut:
        in.relay->CutOpenConnections();
        break;
      case kFreezeShort:
      case kFreezeLong:
        in.relay->SetFrozen(true);
        Sleep(fault == kFreezeShort ? Short() : Long());
        in.relay->SetFrozen(false);
        break;
      default:
        break;
    }
  }

  bool FinalPriceArrived() const {
    for (const Instance& in : instances_) {
      for (int n = in.sim->RequestCount(); n >= 1; --n) {
        if (in.sim->RequestTime(n) < record_.final_price_set) break;
        if (ParseReceived(in.sim->RequestBody(n)).Price(kPsId, "Diesel") == kFinalPrice) {
          return true;
        }
      }
    }
    return false;
  }

  void Collect() {
    record_.lease_seconds = config_.lease_seconds;
    for (int i = 0; i < 2; ++i) {
      const MdmSim& sim = *instances_[i].sim;
      for (int n = 1; n <= sim.RequestCount(); ++n) {
        const ReceivedPublication r = ParseReceived(sim.RequestBody(n));
        record_.transmissions.push_back(
            {i, sim.RequestTime(n), r.kind, r.id, r.Price(kPsId, "Diesel")});
      }
    }
    std::sort(record_.transmissions.begin(), record_.transmissions.end(),
              [](const auto& a, const auto& b) { return a.time < b.time; });
    auto db = Db();
    for (const char* table : {"mts_petrolstation_historie", "mts_petrolstation_price_historie"}) {
      const std::string columns = QueryRows(
          *db, std::string("select group_concat(column_name order by ordinal_position) from "
                           "information_schema.columns where table_schema = database() and "
                           "table_name = '") +
                   table + "' and column_name <> 'historie_id'");
      const std::string rows = QueryRows(*db, "select " + columns + ", count(*) from " + table +
                                                  " group by " + columns + " having count(*) > 1");
      if (!rows.empty()) record_.repeated_history_rows.push_back(std::string(table) + ": " + rows);
    }

    figures_.invariants = CheckInvariants(record_);
    if (!figures_.invariants["final price"].empty()) {
      // What each instance last said is where the reason for the silence is.
      for (int i = 0; i < 2; ++i) {
        const ServiceProcess& p = *instances_[i].process;
        const std::string out = p.Stdout() + "\n--- stderr:\n" + p.Stderr();
        figures_.notes.push_back(std::string(Name(i)) + " last said:\n" + Tail(out, 1500));
      }
      for (const std::string& end : earlier_ends_) figures_.notes.push_back(end);
      std::string terms = "lease terms (holder, since, from the first fault):";
      for (const ScheduleRecord::Term& t : record_.terms) {
        terms += " (" + std::to_string(t.holder) + ", " + Seconds(t.since - begin_) + ")";
      }
      figures_.notes.push_back(terms);
      std::string faults = "faults applied (from the first):";
      for (const std::string& f : applied_) faults += " " + f + ";";
      figures_.notes.push_back(faults);
    }
    figures_.double_reports = static_cast<int>(figures_.invariants["one reporter"].size());
    for (size_t i = 1; i < record_.terms.size(); ++i) {
      figures_.takeovers += record_.terms[i].holder != record_.terms[i - 1].holder ? 1 : 0;
    }
    const auto& sent = record_.transmissions;
    for (size_t i = 1; i < sent.size(); ++i) {
      figures_.longest_silence =
          std::max(figures_.longest_silence, sent[i].time - sent[i - 1].time);
    }
    for (const Death& d : deaths_) {
      const auto next =
          std::find_if(sent.begin(), sent.end(), [&](const auto& t) { return t.time > d.time; });
      (d.node ? figures_.takeover_after_node_death : figures_.takeover_after_kill)
          .push_back(next == sent.end() ? -1 : next->time - d.time);
    }
  }

  ScheduleConfig config_;
  std::mt19937 rng_;
  TempDir dir_;
  TestCertificates certs_;
  std::unique_ptr<PrivateServer> server_;
  std::unique_ptr<GaleraCluster> galera_;
  Instance instances_[2];
  std::thread watcher_;
  std::atomic<bool> stop_watching_{false};
  bool changing_prices_ = true;  // under prices_mutex_
  std::atomic<int> price_changes_{0};
  std::mutex terms_mutex_;
  std::mutex prices_mutex_;
  ScheduleRecord record_;
  std::vector<Death> deaths_;
  std::vector<std::string> applied_;  // when each fault began, which, and on whom
  std::string victim_;
  double begin_ = 0;                       // when the first fault came
  std::vector<std::string> earlier_ends_;  // what instances said that ended and were started again
  ScheduleFigures figures_;
};

}  // namespace

ScheduleFigures RunFaultSchedule(const ScheduleConfig& config) {
  Schedule schedule(config);
  return schedule.Run();
}

}  // namespace velunor::testing
