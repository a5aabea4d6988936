#include "driverlink/exchange_files.h"

#include "text/paths.h"

namespace dorvane {

ExchangeFiles MakeExchangeFiles(const std::string& kora1DataDir, const std::string& port) {
  auto path = [&](const char* base) { return JoinPath(kora1DataDir, std::string(base) + ".00" + port); };
  return {path("SR_MATR"), path("SR_DATI"), path("SR_START"), path("SR_ERR"), path("SR_OUT"), path("FINESCO")};
}

}  // namespace dorvane
