// The HTTP door's tokens (found by their hash only, gone once revoked, seen by
// a running door) and its settings file, read back as written.
#include <gtest/gtest.h>

#include <tuple>

#include "support/files.h"
#include "text/sha256.h"
#include "support/fakes.h"
#include "web/key_book.h"
#include "web/owner_only_file.h"
#include "web/spool.h"
#include "web/tokens.h"
#include "web/web_settings.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace dorvane::test {
namespace {

using namespace dorvane::web;

#ifdef _WIN32  // wine, which runs the Windows tests here, keeps no access lists on files
const bool kAccessListsKept = !::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version");
#else
const bool kAccessListsKept = true;
#endif

std::string New(const std::string& path, const char* name, unsigned scopes, std::vector<std::string> origins = {}) {
  std::string token, error;
  EXPECT_TRUE(CreateToken(path, name, scopes, origins, "2026-03-05 10:15:00", token, error)) << error;
  return token;
}

TEST(WebTokens, FoundByHashOnlyRevokedAndSeenByARunningDoor) {
  TempDir dir;
  const std::string path = dir.Path(kTokenFileName);
  // A file from before, readable by all, with a line nobody can read.
  dir.Write(kTokenFileName, "old\t" + std::string(64, 'a') + "\tread\t\t2025-01-01 00:00:00\r\nbroken line\r\n");
  TokenStore door(path);
  door.Refresh();
  ASSERT_EQ(door.All().size(), 1u);

  const std::string till = New(path, "cassa1", kScopePrint | kScopeRead, {"HTTPS://Till.Example:8443/"});
  const std::string admin = New(path, "shop", kScopeAdmin);
  ASSERT_TRUE(till.size() == 47 && till.rfind("dvw_", 0) == 0) << till;
  std::string token, error;
  for (const char* taken : {"CASSA1", "", "a b", "x/y", "0123456789012345678901234567890123456789X"})
    EXPECT_FALSE(CreateToken(path, taken, kScopeRead, {}, "", token, error)) << taken;
  EXPECT_FALSE(CreateToken(path, "n", 0, {}, "", token, error) ||
               CreateToken(path, "n", kScopeRead, {"https://a/b"}, "", token, error));

  const std::string file = dir.Read(kTokenFileName);
  EXPECT_EQ(std::tuple(Count(file, till.substr(4)), Count(file, Sha256Hex(till))), std::tuple(0, 1));
  EXPECT_TRUE(OwnerOnly(path) || !kAccessListsKept);

  door.Refresh();
  const TokenEntry found = door.Find(till).value_or(TokenEntry{});
  EXPECT_EQ(std::tie(found.name, found.scopes, found.origins),
            std::tuple("cassa1", kScopePrint | kScopeRead, std::vector<std::string>{"https://till.example:8443"}));
  const std::string cut = till.substr(0, 46);
  for (const std::string& wrong :
       {cut, till + "A", cut + (till.back() == 'A' ? "B" : "A"), Sha256Hex(till), cut.substr(46)})
    EXPECT_FALSE(door.Find(wrong)) << wrong;
  EXPECT_TRUE(door.OriginListed("https://till.example:8443") && !door.OriginListed("https://till.example"));

  // Revoked and made again at once: the same size, maybe the same time.
  ASSERT_TRUE(RevokeToken(path, "cassa1", error)) << error;
  EXPECT_FALSE(RevokeToken(path, "cassa1", error));
  const std::string again = New(path, "cassa1", kScopePrint | kScopeRead, {"https://till.example:8443"});
  door.Refresh();
  EXPECT_TRUE(!door.Find(till) && door.Find(again) && door.Find(admin));
}

TEST(WebTokens, OriginsAndScopesAsWritten) {
  // "as typed  as kept"; a row without the two blanks is no origin.
  const char* rows[] = {
      "https://till.example/app", "https://user@till.example", "ftp://till.example", "null", "https://",
      "https://till.example:", "https://till.example:70000", "https://till.example//", "https://till.example:84a3",
      "https://till example", "http://127.0.0.1  http://127.0.0.1", "http://[::1]:8080  http://[::1]:8080",
      "https://till.example:443  https://till.example", "http://till.example:80  http://till.example",
      "http://till.example:443  http://till.example:443", "HTTPS://Till.Example:8443/  https://till.example:8443"};
  for (const std::string row : rows) {
    const std::size_t gap = row.find("  ");
    std::string origin;
    EXPECT_EQ(NormalizeOrigin(row.substr(0, gap), origin), gap != std::string::npos) << row;
    EXPECT_TRUE(gap == std::string::npos || origin == row.substr(gap + 2)) << row << " -> " << origin;
  }
  unsigned scopes = 0;
  EXPECT_TRUE(ParseScopes("Admin, print", scopes) && ScopesText(scopes) == "print,admin");
  for (const char* bad : {"", "print,", "print,write"}) EXPECT_FALSE(ParseScopes(bad, scopes)) << bad;
}

TEST(WebSettings, ReadBackAsWrittenKeepingNamesOfLaterVersions) {
  TempDir dir;
  WebSettings s;
  std::string error;
  ASSERT_TRUE(ReadWebSettings(dir.Root(), s, error));
  EXPECT_EQ(std::tie(s.port, s.network, s.ratePerMinute), std::tuple(0, false, 600));
  dir.Write(kWebSettingsFileName, "Futuro=x\r\n\tporta = 8080 \r\nNomiHost=a, B,\r\n");
  ASSERT_TRUE(ReadWebSettings(dir.Root(), s, error)) << error;
  EXPECT_EQ(std::tie(s.port, s.hosts), std::tuple(8080, std::vector<std::string>{"a", "b"}));
  s = {8443, true, {"Till.Local", "[::1]"}, 1200};
  ASSERT_TRUE(WriteWebSettings(dir.Root(), s, error)) << error;
  EXPECT_EQ(dir.Read(kWebSettingsFileName),
            "Porta=8443\r\nRete=1\r\nNomiHost=till.local,[::1]\r\nRichiesteAlMinuto=1200\r\nFuturo=x\r\n");
  WebSettings back;
  ASSERT_TRUE(ReadWebSettings(dir.Root(), back, error)) << error;
  EXPECT_EQ(std::tie(back.port, back.network, back.hosts, back.ratePerMinute),
            std::tuple(8443, true, std::vector<std::string>{"till.local", "[::1]"}, 1200));
  EXPECT_FALSE(WriteWebSettings(dir.Root(), {8443, false, {}, 0}, error));
}

TEST(WebSettings, ABadLineIsNamed) {
  // The last line of each is the bad one.
  const char* rows[] = {"Porta=0", "Rete=0\r\n\r\nPorta=abc", "Porta=65536", "Porta=-1", "Rete=2", "Porta",
                        "RichiesteAlMinuto=100001", "RichiesteAlMinuto=0", "NomiHost=till.local:8080",
                        "Porta=1\nporta=2"};
  TempDir dir;
  WebSettings s;
  std::string error;
  for (const std::string content : rows) {
    dir.Write(kWebSettingsFileName, content);
    EXPECT_FALSE(ReadWebSettings(dir.Root(), s, error)) << content;
    EXPECT_EQ(Count(error, "riga " + std::to_string(1 + Count(content, "\n"))), 1) << content << ": " << error;
  }
}

// A month of keyed records larger than one read from its end, learnt from
// the ledger at start (no key file): each key knows its record's number, and
// the record is read back wherever it is; a number the file lacks gives
// nothing.
TEST(KeyBook, AKeysRecordIsReadBackFromItsMonthFilesEnd) {
  MemFileSystem mem;
  mem.AddDir("D");
  Spool spool(mem, "D");
  KeyBook book(mem, "D", spool);
  std::vector<std::string> lines{""};
  std::string month;
  for (int n = 1; n <= 300; ++n) {
    lines.push_back("{\"n\":" + std::to_string(n) + ",\"esito\":\"stampato\",\"chiave\":\"k" + std::to_string(n) +
                    "\",\"tracciato\":\"sarema\",\"x\":\"" + std::string(800, 'a') + "\"}");
    month += lines.back() + "\r\n";
  }
  const std::string file = "DORVREG-2026-03.jsonl";
  mem.Put(JoinPath("D", file), month);
  ASSERT_TRUE(book.Load([&](bool all, const auto& line) {
    EXPECT_TRUE(all);
    for (std::size_t n = 1; n < lines.size(); ++n) line(file, lines[n]);
  }));
  for (std::uint64_t n : {1, 2, 30, 150, 299, 300}) {
    const std::optional<KeyState> k = book.Find("k" + std::to_string(n));
    ASSERT_TRUE(k) << n;
    EXPECT_EQ(std::tie(k->n, k->monthFile, k->state), std::tie(n, file, "printed")) << n;
    EXPECT_EQ(book.ReadRecord(*k), lines[n]) << n;
  }
  KeyState k;
  k.monthFile = file;
  k.n = 301;
  EXPECT_EQ(book.ReadRecord(k), "");
  k.monthFile = "DORVREG-2026-04.jsonl";
  k.n = 1;
  EXPECT_EQ(book.ReadRecord(k), "");
}

}  // namespace
}  // namespace dorvane::test
