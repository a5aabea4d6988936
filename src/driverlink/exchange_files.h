// The files DORVANE and KORA1 exchange, one set per serial port, in KORA1's
// data directory: base name + ".00" + the port digit.
#pragma once

#include <string>

namespace dorvane {

struct ExchangeFiles {
  std::string Matr;   // SR_MATR: KORA1 connected and ready
  std::string Dati;   // SR_DATI: the job
  std::string Start;  // SR_START: start signal
  std::string Err;    // SR_ERR: error text, first line
  std::string Out;    // SR_OUT: result
  std::string End;    // FINESCO: job finished
};

ExchangeFiles MakeExchangeFiles(const std::string& kora1DataDir, const std::string& port);

}  // namespace dorvane
