// The one fixture of the tests that run the program velunor as an
// installation would (as a service process, or `velunor --check`): a fresh
// folder with the test certificates, an endpoint simulator that
// acknowledges, and program directories in it that name the private
// database and the simulator. Throws as TestCertificates and MdmSim do.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "tests/service_process.h"
#include "tests/test_base.h"
#include "tests/transmission_sim.h"

namespace velunor::testing {

class ServiceProcessTest : public ::testing::Test {
 protected:
  ServiceProcessTest();

  // dir_/program, the program directory unless a test names another.
  std::filesystem::path ProgramDir() const { return dir_.path() / "program"; }
  // Makes `program_dir` (ProgramDir() when empty) as WriteProgramDir does for
  // the simulator, naming `db_server` (no STATION.INI when "") and
  // `station_url` (the simulator's when ""); returns it.
  std::filesystem::path WriteProgramDir(const std::string& db_server,
                                        const std::string& station_url = "",
                                        std::filesystem::path program_dir = {}) const;
  // velunor on `program_dir` (ProgramDir() when empty) with the test
  // certificates' store, its output in dir_/`output`.
  ServiceProcess::Options Options(const std::string& output,
                                  const std::filesystem::path& program_dir = {}) const;
  // Starts velunor; throws std::runtime_error when it cannot be started.
  static std::unique_ptr<ServiceProcess> Run(const ServiceProcess::Options& options);

  TempDir dir_;
  TestCertificates certs_;
  MdmSim sim_;
};

}  // namespace velunor::testing
