#include "driverlink/safety_rules.h"

namespace dorvane {

namespace {
const char* RuleText(SafetyRule rule) {
  switch (rule) {
    case SafetyRule::kPrintedAgain: return "REGOLA DI SICUREZZA VIOLATA: SCONTRINO GIA' STAMPATO, NON INVIATO DI NUOVO";
    case SafetyRule::kJobInFlight: return "REGOLA DI SICUREZZA VIOLATA: UN LAVORO E' ANCORA IN CORSO SU KORA1, "
                                          "NESSUN NUOVO INVIO";
    case SafetyRule::kJobNotAsRecorded: return "REGOLA DI SICUREZZA VIOLATA: LAVORO PER KORA1 DIVERSO DA QUELLO "
                                               "REGISTRATO, NON AVVIATO";
    case SafetyRule::kNotRecorded: return "REGOLA DI SICUREZZA VIOLATA: REGISTRO SCONTRINI NON SALVATO, FILE DI "
                                          "INPUT NON CANCELLATO";
  }
  return "";
}
}  // namespace

bool SafetyRules::Break(SafetyRule rule) {
  broken_ = true;
  link_.ShowResult(RuleText(rule));
  link_.host.LogEvent(kErr, link_.result);
  link_.host.DumpState();
  return false;
}

bool SafetyRules::MayHandOver(const std::string& input, const std::string& key) {
  if (link_.journal.WasPrinted(input, key)) return Break(SafetyRule::kPrintedAgain);
  if (link_.journal.Job() || link_.Present(link_.x.Start)) return Break(SafetyRule::kJobInFlight);
  return true;
}

bool SafetyRules::HandedOverAsRecorded() {
  const std::optional<Job>& job = link_.journal.Job();
  std::string data;
  const bool same = job && link_.fs.ReadAll(link_.x.Dati, data) && data.size() == job->dataSize &&
                    JobChecksum(data) == job->dataChecksum;
  return same || Break(SafetyRule::kJobNotAsRecorded);
}

bool SafetyRules::MayDeleteInput() { return link_.events.Recorded() || Break(SafetyRule::kNotRecorded); }

bool SafetyRules::TakeBroken() {
  const bool broken = broken_;
  broken_ = false;
  return broken;
}

}  // namespace dorvane
