#include "certmanager/kestrin_cli.h"

#include <algorithm>
#include <ctime>

#include "certmanager/kestrin_form.h"

namespace velunor {

namespace {

constexpr const char* kStoreMy = "MY";

std::string Validity(const CertificateDetails& d, std::time_t now) {
  std::string text =
      "gültig " + FormatValidity(d.not_before) + " bis " + FormatValidity(d.not_after);
  if (now < d.not_before) return text + " (noch nicht gültig)";
  if (now > d.not_after) return text + " (abgelaufen)";
  return text;
}

}  // namespace

int ListCertificates(const CertStore& store, const std::string& name, std::FILE* out,
                     std::FILE* err) {
  const std::vector<std::string> stores = store.Stores();
  if (std::find(stores.begin(), stores.end(), name) == stores.end()) {
    std::fprintf(err, "kestrin: Speicher \"%s\" gibt es nicht\n", name.c_str());
    return 1;
  }
  const StoreListing listing = store.List(name);
  const std::time_t now = std::time(nullptr);
  for (const CertificateEntry& c : listing.certificates) {
    std::fprintf(out, "%s | Aussteller: %s | %s | privater Schlüssel: %s\n",
                 c.details.subject.c_str(), c.details.issuer.c_str(),
                 Validity(c.details, now).c_str(), c.has_private_key ? "ja" : "nein");
  }
  for (const std::string& problem : listing.problems) {
    std::fprintf(out, "nicht lesbar: %s\n", problem.c_str());
  }
  return 0;
}

int ShowSettings(const std::filesystem::path& program_dir, std::FILE* out, std::FILE* err) {
  const std::filesystem::path file = program_dir / kSettingsFileName;
  const SettingsFileRead read = ReadSettingsFile(file);
  if (!read.found) {
    std::fprintf(err, "kestrin: %s gibt es nicht\n", file.c_str());
    return 1;
  }
  if (!read.error.empty()) {
    std::fprintf(err, "kestrin: %s\n", read.error.c_str());
    return 1;
  }
  std::fprintf(out, "Zertifikat: %s\nURL Grunddatenlieferung: %s\nURL Preisdatenlieferung: %s\n",
               read.values.VerwendetesZertifikat.c_str(),
               read.values.UrlGrunddatenlieferung.c_str(),
               read.values.UrlPreisdatenlieferung.c_str());
  return 0;
}

int SetSettings(const CertStore& store, const std::filesystem::path& program_dir,
                const TransmissionSettings& values, std::FILE* err) {
  const auto refuse = [&](const std::string& why) {
    std::fprintf(err, "kestrin: %s\n", why.c_str());
    return 2;
  };
  const std::filesystem::path file = program_dir / kSettingsFileName;
  const SettingsFileRead current = ReadSettingsFile(file);
  if (!current.error.empty()) {
    return refuse(current.error + "; die Einstellungen werden nicht überschrieben");
  }
  const auto chosen = store.Choose(kStoreMy, values.VerwendetesZertifikat);
  if (!chosen) {
    return refuse("Im Speicher \"MY\" gibt es kein Zertifikat \"" + values.VerwendetesZertifikat +
                  "\" (kestrin --list zeigt die vorhandenen)");
  }
  if (!chosen->has_private_key) {
    return refuse("Zum Zertifikat \"" + values.VerwendetesZertifikat +
                  "\" gibt es im Speicher \"MY\" keinen privaten Schlüssel");
  }
  const std::string problem = SettingsProblem(values);
  if (!problem.empty()) return refuse(problem);
  std::string error;
  if (!WriteSettingsFile(file, values, &error)) {
    std::fprintf(err, "kestrin: Die Einstellungen konnten nicht gespeichert werden: %s\n",
                 error.c_str());
    return 1;
  }
  return 0;
}

}  // namespace velunor
