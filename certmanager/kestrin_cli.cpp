#include "certmanager/kestrin_cli.h"

#include <unistd.h>

#include <algorithm>
#include <ctime>

#include "certmanager/detail_text.h"
#include "certmanager/kestrin_form.h"
#include "shared/output_line.h"

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

// `word` as a shell reads it back: as it is when it holds nothing the shell
// would take apart, else in single quotes.
std::string ShellWord(const std::string& word) {
  const bool plain = !word.empty() && word.find_first_not_of(
                                          "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                          "0123456789_@%+=:,./-") == std::string::npos;
  if (plain) return word;
  std::string quoted = "'";
  for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

int ListCertificates(const CertStore& store, const std::string& name, std::FILE* out,
                     std::FILE* err) {
  const std::vector<std::string> stores = store.Stores();
  if (std::find(stores.begin(), stores.end(), name) == stores.end()) {
    PrintLine(err, "kestrin: Speicher \"" + name + "\" gibt es nicht");
    return 1;
  }
  const StoreListing listing = store.List(name);
  const std::time_t now = std::time(nullptr);
  for (const CertificateEntry& c : listing.certificates) {
    PrintLine(out, c.details.subject + " | Aussteller: " + c.details.issuer + " | " +
                       Validity(c.details, now) +
                       " | privater Schlüssel: " + (c.has_private_key ? "ja" : "nein"));
  }
  const auto [account, group] = ProcessAccount();
  for (const UnreadableFile& problem : listing.problems) {
    PrintLine(out, "nicht lesbar: " + UnreadableFileText(problem, account, group));
  }
  return 0;
}

int ShowSettings(const std::filesystem::path& program_dir, std::FILE* out, std::FILE* err) {
  const std::filesystem::path file = program_dir / kSettingsFileName;
  const SettingsFileRead read = ReadSettingsFile(file);
  if (!read.found) {
    PrintLine(err, "kestrin: " + file.string() + " gibt es nicht");
    return 1;
  }
  if (!read.status.ok()) {
    PrintLine(err, "kestrin: " + read.status.message());
    return 1;
  }
  PrintLine(out, "Zertifikat: " + read.values.VerwendetesZertifikat);
  PrintLine(out, "URL Grunddatenlieferung: " + read.values.UrlGrunddatenlieferung);
  PrintLine(out, "URL Preisdatenlieferung: " + read.values.UrlPreisdatenlieferung);
  return 0;
}

int SetSettings(const CertStore& store, const std::filesystem::path& program_dir,
                const TransmissionSettings& values, std::FILE* out, std::FILE* err,
                const std::vector<std::string>& command) {
  const auto refuse = [&](const std::string& why) {
    PrintLine(err, "kestrin: " + why);
    return 2;
  };
  const std::filesystem::path file = program_dir / kSettingsFileName;
  const std::string owner = ForeignOwner(program_dir, geteuid());
  if (!owner.empty()) {
    std::string as_owner = "runuser -u " + owner + " --";
    for (const std::string& word : command) as_owner.append(" ").append(ShellWord(word));
    return refuse(file.string() + " wird nicht als root geschrieben: " + program_dir.string() +
                  " gehört dem Konto " + owner +
                  ", unter dem Velunor läuft, und eine Datei von root dort könnte es nicht "
                  "mehr ersetzen. Bitte als dieses Konto aufrufen: " +
                  as_owner);
  }
  const SettingsFileRead current = ReadSettingsFile(file);
  if (!current.status.ok()) {
    return refuse(current.status.message() + "; die Einstellungen werden nicht überschrieben");
  }
  auto chosen = store.Choose(kStoreMy, values.VerwendetesZertifikat);
  TransmissionSettings taken = values;
  if (!chosen) {
    // Copied from --list, whose lines show a backslash doubled.
    const std::string listed = UnescapeLine(values.VerwendetesZertifikat);
    if (listed != values.VerwendetesZertifikat && (chosen = store.Choose(kStoreMy, listed))) {
      taken.VerwendetesZertifikat = listed;
    }
  }
  if (!chosen) {
    return refuse("Im Speicher \"MY\" gibt es kein Zertifikat \"" + values.VerwendetesZertifikat +
                  "\" (kestrin --list zeigt die vorhandenen)");
  }
  if (!chosen->has_private_key) {
    return refuse("Zum Zertifikat \"" + taken.VerwendetesZertifikat +
                  "\" gibt es im Speicher \"MY\" keinen privaten Schlüssel");
  }
  if (const Status checked = CheckSettings(taken); !checked.ok()) return refuse(checked.message());
  if (const Status saved = WriteSettingsFile(file, taken); !saved.ok()) {
    PrintLine(err,
              "kestrin: Die Einstellungen konnten nicht gespeichert werden: " + saved.message());
    return 1;
  }
  PrintLine(out, "Gespeichert in " + file.string() + ":");
  PrintLine(out, "Zertifikat: " + taken.VerwendetesZertifikat);
  PrintLine(out, "URL Grunddatenlieferung: " + taken.UrlGrunddatenlieferung);
  PrintLine(out, "URL Preisdatenlieferung: " + taken.UrlPreisdatenlieferung);
  return 0;
}

}  // namespace velunor
