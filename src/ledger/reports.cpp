#include "ledger/reports.h"

#include <algorithm>

#include "ledger/line_filter.h"
#include "text/paths.h"
#include "text/text.h"

namespace dorvane::ledger {

namespace {

std::string TimeOf(const std::string& stamp) { return stamp.size() >= 19 ? stamp.substr(11, 8) : stamp; }

std::string Short(const std::string& hash) { return hash.size() > 16 ? hash.substr(0, 16) + "..." : hash; }

// The text on one line: line ends become " / ".
std::string OneLine(std::string_view text) {
  std::string out;
  bool gap = false;
  for (char c : text) {
    if (c == '\r' || c == '\n') {
      gap = true;
      continue;
    }
    if (gap && !out.empty()) out += " / ";
    gap = false;
    out += c;
  }
  return out;
}

void Pad(std::string& out, const char* label, int value) {
  std::string line = "  ";
  line += label;
  std::string number = std::to_string(value);
  while (line.size() + number.size() < 30) line += ' ';
  out += line + number + "\n";
}

void CsvText(std::string& out, std::string_view text) {
  out += '"';
  if (!text.empty() && (text[0] == '=' || text[0] == '+' || text[0] == '-' || text[0] == '@' || text[0] == '\t' ||
                        text[0] == '\r'))
    out += '\'';
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

}  // namespace

bool DaySummary::Add(const Record& r, bool waiting, std::string_view line) {
  if (r.settled.compare(0, day_.size(), day_) != 0 || day_.empty()) return false;
  if (!waiting && !line.empty() && r.n >= lastN_) {
    lastN_ = r.n;
    lastLine_ = std::string(WithoutLineEnd(line));
  }
  if (waiting) ++waiting_;
  if (r.outcome == kOutcomePrinted) {
    ++printed_;
    std::int64_t cents;
    if (ParseAmount(r.total, cents)) {
      ++withTotal_;
      totalCents_ += cents;
    }
  } else if (r.outcome == kOutcomeRefused) {
    refused_.push_back({r, waiting});
  } else if (r.outcome == kOutcomeUnknown) {
    unknown_.push_back({r, waiting});
  } else {
    failed_.push_back({r, waiting});
  }
  return true;
}

std::string DaySummary::Text(const std::string& where) const {
  std::string out = "REGISTRO SCONTRINI DI ZTK DORVANE - RIEPILOGO DEL " + day_ + "\n";
  out += "Cartella del registro: " + where + "\n\n";
  const auto copies = [&](const Item& i) {
    std::string s;
    for (std::size_t c = 0; c < i.r.copies.size(); ++c)
      s += (c == 0 ? "    copia conservata: " : "    consegnato a KORA1: ") + JoinPath(where, i.r.copies[c]) + "\n";
    return s;
  };
  const auto label = [](const Item& i) {
    std::string s = i.waiting ? "  (in attesa di scrittura)" : "  n. " + std::to_string(i.r.n);
    return s + "  preso " + TimeOf(i.r.taken) + "  chiuso " + TimeOf(i.r.settled) + "  " + i.r.input;
  };
  if (!unknown_.empty()) {
    out += "ESITI SCONOSCIUTI DA CONTROLLARE: " + std::to_string(unknown_.size()) + "\n";
    for (const Item& i : unknown_) {
      out += label(i) + "\n";
      out += "    motivo: " + OneLine(i.r.reason) + "\n";
      out += "    input: " + JoinPath(i.r.folder, i.r.input) + ", " + std::to_string(i.r.inputBytes) +
             " byte, SHA-256 " + Short(i.r.inputSha256) + "\n";
      out += "    consegnati a KORA1: " + std::to_string(i.r.dataBytes) + " byte (FNV-1a " + i.r.dataFnv1a + ")\n";
      for (const std::string& f : i.r.filedAs) out += "    archiviato come: " + f + "\n";
      out += copies(i);
      out += "    Da controllare: sul giornale elettronico della stampante (o sull'ultimo scontrino\n"
             "    emesso verso le " + TimeOf(i.r.taken) + ") se questo scontrino è stato stampato. Se non lo è,\n";
      // The copy is this job's own; a file in the error folder may since
      // hold another job of the same name.
      out += i.r.copies.empty() ? "    rimetterlo nella cartella di ingresso; se lo è, non rimandarlo.\n"
                                : "    copiare la copia conservata nella cartella di ingresso con un nome nuovo,\n"
                                  "    che il filtro accetti; se lo è, non rimandarlo.\n";
    }
    out += "\n";
  }
  out += "LAVORI: " + std::to_string(Jobs()) + "\n";
  Pad(out, "stampati:", printed_);
  Pad(out, "rifiutati da KORA1:", static_cast<int>(refused_.size()));
  Pad(out, "esiti sconosciuti:", static_cast<int>(unknown_.size()));
  Pad(out, "input non consegnati:", static_cast<int>(failed_.size()));
  out += "TOTALE DEGLI SCONTRINI STAMPATI: " + FormatAmount(totalCents_) + " (" + std::to_string(withTotal_) +
         " con TOTALE, " + std::to_string(printed_ - withTotal_) + " senza)\n";
  if (waiting_ > 0)
    out += "RECORD IN ATTESA DI SCRITTURA NEL REGISTRO: " + std::to_string(waiting_) + "\n";
  if (Jobs() == 0) out += "Nessun lavoro registrato in questo giorno.\n";
  for (const auto& [title, items] : {std::pair{"RIFIUTATI DA KORA1", &refused_}, {"INPUT NON CONSEGNATI", &failed_}}) {
    if (items->empty()) continue;
    out += std::string("\n") + title + ": " + std::to_string(items->size()) + "\n";
    for (const Item& i : *items) out += label(i) + "\n    motivo: " + OneLine(i.r.reason) + "\n" + copies(i);
  }
  // Kept away from the PC, the hash shows later whether records were
  // removed from the end, which the chain alone cannot see.
  if (!lastLine_.empty())
    out += "\nULTIMO RECORD DEL GIORNO: n. " + std::to_string(lastN_) + ", hash\n  " + LineHash(lastLine_) +
           "\nAnnotarlo fuori dal PC: \"dorvane-ledger verify --head HASH\" controlla che il registro\n"
           "lo contenga ancora (nessun record tolto dalla fine).\n";
  return out;
}

Status ReadDay(FileSystem& fs, const std::string& dir, DaySummary& summary, std::vector<std::string>* lines) {
  const std::string& day = summary.Day();
  const std::string month = JoinPath(dir, MonthFileName(day.substr(0, 7)));
  if (fs.Exists(month)) {
    // The day's records are at the end of its month's file: read back from
    // the end until a record of an earlier day, or the whole file.
    std::string bytes;
    std::uint64_t size = 0;
    for (std::size_t want = 1 << 20;; want *= 4) {
      if (Status st = fs.ReadTail(month, want, bytes, size); !st) return st;
      if (bytes.size() >= size) break;
      std::size_t nl = bytes.find('\n');
      std::string_view first = nl == std::string::npos ? std::string_view() : std::string_view(bytes).substr(nl + 1);
      first = first.substr(0, first.find('\n'));
      Record r;
      if (FromLine(first, r) && r.settled.compare(0, day.size(), day) < 0) break;
    }
    std::string_view view(bytes);
    if (bytes.size() < size) view.remove_prefix(std::min(view.size(), view.find('\n') + 1));
    ForEachLine(view, [&](std::string_view line) {
      Record r;
      if (FromLine(line, r) && summary.Add(r, false, line) && lines) lines->emplace_back(WithoutLineEnd(line));
    });
  }
  std::string pending;
  if (fs.Exists(JoinPath(dir, kPendingFileName)) && fs.ReadAll(JoinPath(dir, kPendingFileName), pending)) {
    ForEachLine(pending, [&](std::string_view line) {
      Record r;
      if (FromLine(line, r, false) && summary.Add(r, true) && lines) lines->emplace_back(WithoutLineEnd(line));
    });
  }
  return Status::Ok();
}

Status WriteDaySummary(FileSystem& fs, const std::string& dir, const std::string& day, std::string& path) {
  DaySummary summary(day);
  if (Status st = ReadDay(fs, dir, summary); !st) return st;
  std::string text;
  for (char c : Utf8ToCp1252(summary.Text(Cp1252ToUtf8(dir)))) {
    if (c == '\n') text += '\r';
    text += c;
  }
  path = JoinPath(dir, kSummaryFileName);
  return fs.WriteAll(path, text);
}

bool Query::NameMatches(std::string_view input) const {
  const std::string recorded = Utf8ToCp1252(input), typed = Utf8ToCp1252(name);
  if (MatchesPattern(recorded, typed)) return true;
  // A name recorded before names were kept as the system has them: its
  // UTF-8 bytes were read as Windows-1252.
  const bool beyondAscii = std::any_of(recorded.begin(), recorded.end(), [](char c) { return c & 0x80; });
  return beyondAscii && IsValidUtf8(recorded) && MatchesPattern(Utf8ToCp1252(recorded), typed);
}

bool Query::Matches(const Record& r) const {
  if (!name.empty() && !NameMatches(r.input)) return false;
  if (!from.empty() && r.settled < from) return false;
  if (!to.empty() && r.settled > to) return false;
  if (!outcome.empty() && r.outcome != outcome) return false;
  if (!text.empty()) {
    const NoCaseFinder finder(text);
    if (!finder.In(r.answer) && !finder.In(r.reason)) return false;
  }
  return true;
}

std::string NormaliseStamp(std::string_view text, bool endOfDay) {
  std::string t = Trim(text);
  std::string date, time;
  const auto digits = [](std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  if (t.size() >= 10 && t[4] == '-' && t[7] == '-' && digits(t.substr(0, 4)) && digits(t.substr(5, 2)) &&
      digits(t.substr(8, 2))) {
    date = t.substr(0, 10);
  } else if (t.size() >= 10 && t[2] == '/' && t[5] == '/' && digits(t.substr(0, 2)) && digits(t.substr(3, 2)) &&
             digits(t.substr(6, 4))) {
    date = t.substr(6, 4) + "-" + t.substr(3, 2) + "-" + t.substr(0, 2);
  } else {
    return {};
  }
  const int month = std::stoi(date.substr(5, 2)), day = std::stoi(date.substr(8, 2));
  if (month < 1 || month > 12 || day < 1 || day > 31) return {};
  std::string rest = t.substr(10);
  if (rest.empty()) return date + (endOfDay ? " 23:59:59" : " 00:00:00");
  if (rest[0] != ' ' && rest[0] != 'T') return {};
  rest = Trim(rest.substr(1));
  if (rest.size() == 5 && digits(rest.substr(0, 2)) && rest[2] == ':' && digits(rest.substr(3, 2)))
    return date + " " + rest + (endOfDay ? ":59" : ":00");
  if (rest.size() == 8 && digits(rest.substr(0, 2)) && rest[2] == ':' && digits(rest.substr(3, 2)) && rest[5] == ':' &&
      digits(rest.substr(6, 2)))
    return date + " " + rest;
  return {};
}

std::string CsvHeader() {
  return "N.;Chiuso;Preso;Esito;Motivo;Input;Cartella;Byte input;SHA-256 input;Tracciato;Byte dati;FNV-1a dati;"
         "Scontrino;Totale;Archiviato come;Ripreso;Risposta di KORA1;Copie conservate\r\n";
}

std::string CsvRow(const Record& r, bool waiting) {
  std::string out;
  const auto text = [&](std::string_view t) {
    out += ';';
    CsvText(out, t);
  };
  if (waiting) {
    CsvText(out, kWaitingMark);
  } else {
    out = std::to_string(r.n);
  }
  const auto number = [&](std::uint64_t v) { out += ";" + std::to_string(v); };
  // A stamp unquoted, so that a spreadsheet reading quoted fields as text
  // still takes it for a date and time.
  const auto stamp = [&](const std::string& t) {
    if (NormaliseStamp(t, false) == t) {
      out += ";" + t;
    } else {
      text(t);
    }
  };
  stamp(r.settled);
  stamp(r.taken);
  text(r.outcome);
  text(r.reason);
  text(r.input);
  text(r.folder);
  number(r.inputBytes);
  text(r.inputSha256);
  text(r.layout);
  number(r.dataBytes);
  text(r.dataFnv1a);
  text(r.receipt);
  // An amount is a number for Excel: decimal comma, unquoted (a minus sign
  // followed by digits is a number, never a formula). Anything else is text.
  std::int64_t cents;
  if (ParseAmount(r.total, cents)) {
    out += ";" + FormatAmount(cents);
  } else {
    text(r.total);
  }
  const auto list = [&](const std::vector<std::string>& items) {
    std::string joined;
    for (const std::string& f : items) joined += (joined.empty() ? "" : " | ") + f;
    text(joined);
  };
  list(r.filedAs);
  text(r.recovered ? "sì" : "no");
  text(r.answer);
  list(r.copies);
  out += "\r\n";
  return out;
}

std::string ChainVerifier::Where(const Place& p) {
  return p.file + " riga " + std::to_string(p.line) + (p.n ? " (record n. " + std::to_string(p.n) + ")" : "");
}

bool ChainVerifier::Line(const std::string& file, std::uint64_t number, std::string_view line) {
  if (broken_) return false;
  line = WithoutLineEnd(line);
  if (line.find_first_not_of(" \t") == std::string_view::npos) return true;
  Record r;
  if (!ChainFields(line, r.n, r.previous)) {
    trailing_.push_back({file, number, 0});
    return true;
  }
  const Place here{file, number, r.n};
  if (r.previous != expected_ || (records_ > 0 && r.n != last_.n + 1)) {
    broken_ = true;
    if (records_ == 0) {
      breakText_ = "il primo record letto, " + Where(here) +
                   ", segue un record che non è nel registro: mancano i record prima di esso (o i file dei mesi "
                   "precedenti).";
    } else if (r.n != last_.n + 1) {
      breakText_ = Where(here) + " segue " + Where(last_) + ": " +
                   (r.n > last_.n + 1 ? "mancano record tra i due, o sono stati spostati."
                                      : "record fuori ordine o ripetuti.");
    } else {
      breakText_ = Where(here) + " non segue " + Where(last_) +
                   ": uno dei due è stato modificato, o un record tra i due è stato tolto.";
    }
    if (!trailing_.empty()) breakText_ += " Prima di esso: riga danneggiata " + Where(trailing_.back()) + ".";
    return false;
  }
  outside_.insert(outside_.end(), trailing_.begin(), trailing_.end());
  trailing_.clear();
  expected_ = LineHash(line);
  last_ = here;
  ++records_;
  if (!head_.empty() && expected_ == head_) headAt_ = here;
  return true;
}

std::string ChainVerifier::Report() const {
  std::string out;
  if (broken_) {
    out = "CATENA INTERROTTA: " + breakText_ + "\n";
    out += "Record integri prima dell'interruzione: " + std::to_string(records_) + ".\n";
  } else if (!trailing_.empty()) {
    out = "REGISTRO NON INTEGRO: " + Where(trailing_.front()) +
          " non è un record intero (scrittura interrotta da un'interruzione di corrente, o riga modificata). ";
    out += "La catena è integra fino a " + (records_ ? Where(last_) : std::string("l'inizio")) + ": " +
           std::to_string(records_) + " record.\n";
  } else if (!head_.empty() && !headAt_.line) {
    out = "RECORD ANNOTATO NON TROVATO: nessun record del registro ha l'hash " + head_ +
          ": i record da esso in poi sono stati tolti (o l'hash non è di questo registro). ";
    out += "La catena è integra fino a " + (records_ ? Where(last_) : std::string("l'inizio")) + ": " +
           std::to_string(records_) + " record.\n";
  } else {
    out = "Registro integro: " + std::to_string(records_) + " record";
    if (records_) out += ", l'ultimo " + Where(last_);
    out += ".\nHash dell'ultimo record: " + expected_ + "\n";
    if (!head_.empty())
      out += "Il record annotato c'è: " + Where(headAt_) + "; dopo di esso " + std::to_string(last_.n - headAt_.n) +
             " record.\n";
  }
  for (const Place& p : outside_)
    out += "Riga fuori dalla catena (incompleta o danneggiata, nessun record perso): " + Where(p) + "\n";
  return out;
}

}  // namespace dorvane::ledger
