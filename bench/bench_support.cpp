#include "bench_support.h"

#include <algorithm>
#include <cmath>

#include <linux/magic.h>
#include <sys/vfs.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

#include "text/paths.h"

namespace dorvane::bench {

namespace {

// What kind of file system holds dir, for the summary.
std::string Kind(const std::string& dir) {
  struct statfs st {};
  if (::statfs(dir.c_str(), &st) != 0) return "?";
  switch (static_cast<unsigned long>(st.f_type)) {
    case TMPFS_MAGIC: return "tmpfs";
    case EXT4_SUPER_MAGIC: return "ext4";
    case XFS_SUPER_MAGIC: return "xfs";
    case BTRFS_SUPER_MAGIC: return "btrfs";
    case OVERLAYFS_SUPER_MAGIC: return "overlayfs";
    default: return "other";
  }
}

}  // namespace

const std::vector<Place>& Places() {
  static const std::vector<Place> places = [] {
    std::vector<Place> list;
    std::error_code ec;
    if (std::filesystem::is_directory("/dev/shm", ec) && Kind("/dev/shm") == "tmpfs")
      list.push_back({"ram", "/dev/shm", "/dev/shm (tmpfs)"});
    const char* disk = std::getenv("DORVANE_BENCH_DISK");
    if (list.empty() || (disk && std::string(disk) == "1")) {
      std::string tmp = std::filesystem::temp_directory_path().string();
      list.push_back({"tmp", tmp, tmp + " (" + Kind(tmp) + ")"});
    }
    return list;
  }();
  return places;
}

TempDir::TempDir(const Place& place) {
  std::filesystem::path base = place.dir;
  std::random_device seed;
  std::mt19937_64 random(seed());
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[48];
    std::snprintf(name, sizeof name, "dorvane-bench-%016llx", static_cast<unsigned long long>(random()));
    std::filesystem::path dir = base / name;
    if (std::filesystem::create_directory(dir)) {
      path_ = dir.string();
      return;
    }
  }
  throw std::runtime_error("cannot create a scratch directory in " + base.string());
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string TempDir::File(std::string_view name) const { return JoinPath(path_, name); }

void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path);
}

void WriteFiles(const TempDir& dir, std::size_t count, std::string_view prefix, std::string_view bytes) {
  for (std::size_t i = 0; i < count; ++i) {
    char number[24];
    std::snprintf(number, sizeof number, "%06zu", i);
    WriteFile(dir.File(std::string(prefix) + number), bytes);
  }
}

namespace {

constexpr const char* kArticles[] = {
    "PANE INTEGRALE",       "LATTE INTERO 1L",     "MOZZARELLA DI BUFALA", "POMODORI PELATI 400G",
    "CAFFE' MACINATO 250G", "ACQUA MINERALE 1,5L", "PARMIGIANO 24 MESI",   "OLIO EXTRAVERGINE 1L",
    "BISCOTTI FROLLINI",    "DETERSIVO PIATTI",    "MELE GOLDEN KG",       "PASTA DI SEMOLA 500G",
};
constexpr std::size_t kArticleCount = sizeof kArticles / sizeof kArticles[0];

// Writes text left-aligned into columns col .. col+width-1 (counted from 1),
// padding the record with blanks as fixed-column files are.
void Put(std::string& record, std::size_t col, std::size_t width, std::string_view text) {
  if (record.size() < col - 1 + width) record.resize(col - 1 + width, ' ');
  std::copy_n(text.data(), std::min(text.size(), width), record.begin() + static_cast<std::ptrdiff_t>(col - 1));
}

std::string Cents(long long cents, const char* format) {
  char buf[32];
  std::snprintf(buf, sizeof buf, format, cents / 100, cents % 100);
  return buf;
}

void EndRecord(std::string& out, const std::string& record) {
  out += record;
  out += "\r\n";
}

}  // namespace

std::string FasyVolaReceipt(std::size_t bytes) {
  std::string out;
  out.reserve(bytes + 512);
  EndRecord(out, "00 20240315 1432 CASSA 01 OPERATORE 03");

  // The footer: a discount on the subtotal, a text line, the payment of the
  // total (its length is fixed, so the size can be planned before the sum is known).
  auto footer = [](long long totalCents) {
    std::string subtotalDiscount, text, payment, out;
    Put(subtotalDiscount, 1, 2, "4");
    Put(subtotalDiscount, 3, 42, "SCONTO FEDELTA'");
    Put(subtotalDiscount, 45, 3, "001");
    Put(subtotalDiscount, 48, 3, "001");
    Put(subtotalDiscount, 51, 10, "5");
    Put(text, 1, 2, "5");
    Put(text, 5, 50, "GRAZIE E ARRIVEDERCI");
    Put(payment, 1, 2, "6");
    Put(payment, 3, 10, Cents(totalCents % 1000000000, "%7lld,%02lld"));
    Put(payment, 13, 36, "CONTANTI");
    Put(payment, 49, 3, "001");
    EndRecord(out, subtotalDiscount);
    EndRecord(out, text);
    EndRecord(out, payment);
    return out;
  };
  const std::size_t footerSize = footer(0).size();
  long long total = 0;

  for (std::size_t i = 0; out.size() + footerSize < bytes; ++i) {
    bool isReturn = i % 7 == 6;
    long long price = 45 + static_cast<long long>(i * 137 % 2400);
    long long quantity = i % 3 == 0 ? 2 : i % 5 == 0 ? 3 : 1;
    total += (isReturn ? -1 : 1) * price * quantity;
    std::string sale;
    Put(sale, 1, 2, isReturn ? "3" : "1");
    Put(sale, 3, 25, "");
    Put(sale, 28, 10, Cents(price, "%07lld,%02lld"));
    char department[8];
    std::snprintf(department, sizeof department, "%03zu", 1 + i % 4);
    Put(sale, 38, 3, department);
    Put(sale, 41, 42, kArticles[i % kArticleCount]);
    Put(sale, 83, 10, quantity == 1 ? "" : std::to_string(quantity));
    EndRecord(out, sale);

    if (isReturn || i % 11 == 10) {
      std::string discount;
      bool percentage = isReturn;
      Put(discount, 1, 2, "4");
      Put(discount, 3, 42, percentage ? "SCONTO" : "BUONO");
      Put(discount, 45, 3, "000");
      Put(discount, 48, 3, percentage ? "001" : "000");
      Put(discount, 51, 10, percentage ? "10" : "0,50");
      EndRecord(out, discount);
    }
  }
  out += footer(total > 0 ? total : 0);
  return out;
}

std::string ItinerisReceipt(std::size_t bytes) {
  std::string out;
  out.reserve(bytes + 512);
  out += "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\r\n";
  out += "<SCONTRINO>\r\n  <TESTATA><DATA>2024-03-15</DATA><ORA>14:32</ORA><CASSA>01</CASSA></TESTATA>\r\n";
  constexpr std::string_view kEnd = "</SCONTRINO>\r\n";

  for (std::size_t i = 0; out.size() + kEnd.size() < bytes; ++i) {
    bool isReturn = i % 5 == 4;
    long long price = 45 + static_cast<long long>(i * 137 % 2400);
    long long quantity = i % 3 == 0 ? 2 : 1;
    int discount = i % 4 == 3 ? 10 : 0;
    long long amount = price * quantity * (100 - discount) / 100;
    std::string description = kArticles[i % kArticleCount];
    if (i % 2 == 1)  // some programs write lower case; the converter prints upper case
      for (char& c : description)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');

    char code[16];
    std::snprintf(code, sizeof code, "80%011zu", 1000 + i * 7919 % 100000);
    out += "  <DETTAGLIO>\r\n";
    out += "    <CODICE>" + std::string(code) + "</CODICE>\r\n";
    out += "    <DESCRIZIONE>" + description + "</DESCRIZIONE>\r\n";
    out += "    <QTA>" + std::to_string(quantity) + "</QTA>\r\n";
    out += "    <PREZZO>" + Cents(price, "%lld,%02lld") + "</PREZZO>\r\n";
    out += "    <IMPORTO>" + Cents(amount, "%lld,%02lld") + "</IMPORTO>\r\n";
    out += "    <SCONTO1>" + std::to_string(discount) + "</SCONTO1>\r\n";
    out += "    <SCONTO2>0</SCONTO2>\r\n    <SCONTO3></SCONTO3>\r\n";
    out += "    <CODIVA>" + std::string(i % 5 == 0 ? "10" : "22") + "</CODIVA>\r\n";
    out += "    <CAUSALE_RIGA>" + std::string(isReturn ? "RESO" : "VENDITA") + "</CAUSALE_RIGA>\r\n";
    out += "  </DETTAGLIO>\r\n";
  }
  out += kEnd;
  return out;
}

namespace {
std::vector<Ratio>& RatioList() {
  static std::vector<Ratio> ratios;
  return ratios;
}
}  // namespace

bool AddRatio(std::string label, std::string numerator, std::string denominator, double goal) {
  RatioList().push_back({std::move(label), std::move(numerator), std::move(denominator), goal});
  return true;
}

const std::vector<Ratio>& Ratios() { return RatioList(); }

namespace {
std::vector<Goal>& GoalList() {
  static std::vector<Goal> goals;
  return goals;
}
}  // namespace

bool AddGoal(std::string label, std::string name, std::string counter, double goal, bool atMost) {
  GoalList().push_back({std::move(label), std::move(name), std::move(counter), goal, atMost});
  return true;
}

const std::vector<Goal>& Goals() { return GoalList(); }

double Percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  const auto rank = static_cast<std::size_t>(std::ceil(p * static_cast<double>(values.size())));
  return values[rank == 0 ? 0 : rank - 1];
}

void ReportLatencies(benchmark::State& state, const std::vector<double>& ms) {
  state.SetIterationTime(Percentile(ms, 0.95) / 1000);
  state.counters["p50_ms"] = Percentile(ms, 0.5);
  state.counters["p95_ms"] = Percentile(ms, 0.95);
}

}  // namespace dorvane::bench
