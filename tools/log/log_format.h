// The page log's records as text: a table for people, CSV for spreadsheets,
// JSON for programs. Also turns the --since argument into the log's time
// form. Pure functions, so the formats are tested without a database.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "journal/page_log.h"

namespace zentrel {

std::string AsTable(const std::vector<PageRecord>& records);
std::string AsCsv(const std::vector<PageRecord>& records);
std::string AsJson(const std::vector<PageRecord>& records);

// "2026-12-07", "2026-12-07 08:30", "2026-12-07T08:30:00Z" (UTC) or an age
// ("90m", "24h", "7d") before `now`, as the log writes its times; nullopt
// for anything else.
std::optional<std::string> SinceTime(const std::string& text, std::time_t now);

// One CSV record, CRLF-ended: quoted where needed, formula cells guarded.
std::string CsvRow(const std::vector<std::string>& fields);

}  // namespace zentrel
