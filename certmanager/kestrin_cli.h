// Kestrin without a window, for servers without a desktop: the certificates
// of a store, the current settings, and the settings written exactly as the
// window's "Speichern" writes them, after the same checks. Messages are
// German, like the window's; each function returns the exit status.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "shared/cert_store.h"
#include "shared/settings_file.h"

namespace velunor {

// One line per certificate: subject, issuer, validity, whether the private
// key is there; then one line per file that cannot be read. 0, or 1 when
// the store cannot be read.
int ListCertificates(const CertStore& store, const std::string& name, std::FILE* out,
                     std::FILE* err);

// The three settings of Velunor.CFG, one per line. 0, or 1 when the file is
// missing or cannot be read.
int ShowSettings(const std::filesystem::path& program_dir, std::FILE* out, std::FILE* err);

// Writes Velunor.CFG and says on `out` what it wrote. Refused with exit
// status 2 and a message: a subject that is not in "MY" with its private
// key, a URL with a line break, a Velunor.CFG that exists but cannot be read
// (the window never saves over one either), and, as root, a program
// directory of another account (the message names the command to run as
// that account: `command`, Kestrin's own command line). 1 when the file
// cannot be written.
int SetSettings(const CertStore& store, const std::filesystem::path& program_dir,
                const TransmissionSettings& values, std::FILE* out, std::FILE* err,
                const std::vector<std::string>& command);

}  // namespace velunor
