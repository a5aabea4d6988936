// The notifications of the tray icon: which episodes are told, with which
// icon, title and text, at their start and at their end. One table
// (notices.cpp); the manual holds the same rows (05-messaggi.md, "Notifiche
// dell'icona") and tests/packaging/check_manual.py compares the two.
#pragma once

#include <string>
#include <vector>

#include "platform/ui.h"

namespace dorvane {

enum class Episode {
  kPaperOut,           // PaperHeld ... PaperReleased (or the job settled printed)
  kRefused,            // Settled, Outcome::kRefused
  kUnknownOutcome,     // Settled, Outcome::kUnknown
  kInputFailed,        // Settled, Outcome::kInputFailed
  kKora1Lost,          // Kora1Lost, then no Kora1Found for 10 s ... Kora1Found
  kFolderUnreachable,  // FolderUnreachable, then no FolderBack for 10 s ... FolderBack
  kFilingFailed,       // FilingFailed ... FiledLater
  kLinkRefused,        // LinkRefused
  kFiledUnderOtherName,  // FiledUnderOtherName
  kLedgerUnwritable,   // LedgerWritable(false) ... LedgerWritable(true)
  kJournalUnwritable,  // JournalUnwritable ... JournalWritable
};

enum class Phase { kStart, kEnd };

// Texts are Windows-1252 templates: "<file>" and the other placeholders take
// the episode's values; a part in square brackets shows only when every
// placeholder in it has a value.
struct NoticeRow {
  Episode episode;
  Phase phase;
  NoticeIcon icon;
  const char* title;
  const char* text;
};

// Every row, in the manual's order.
const std::vector<NoticeRow>& NoticeTable();
// The row of an episode's start or end; nullptr when the episode has no
// such row (one-shot episodes have no end).
const NoticeRow* FindNotice(Episode episode, Phase phase);

// The values an episode's texts can show.
struct NoticeValues {
  std::string file;    // <file>: the input's name, without its folder
  std::string line;    // <riga>: SR_ERR's first line
  std::string reason;  // <motivo>: why, as the program or the port says it
  std::string folder;  // <cartella>: the folder's path
  std::string name;    // <nome>: a link's name
};

// The template with its placeholders filled in.
std::string RenderNotice(const std::string& textTemplate, const NoticeValues& values);

// "informazione", "avviso", "errore": the icon's word in the manual and the status file.
const char* IconWord(NoticeIcon icon);

}  // namespace dorvane
