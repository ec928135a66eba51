// The history database's tables, as the README documents them for anyone who queries the file.
// PRAGMA user_version says which of them a file has; a file of an older version is brought up
// to date step by step when it is opened, a file of a newer one is left alone.
#pragma once

#include <string>

namespace corvane {

class TSqlite;

constexpr int kHistorySchemaVersion = 1;

enum class TSchemaResult { Ready, Newer, Failed };

// Creates the tables of an empty file or migrates an older one, in one transaction.
TSchemaResult PrepareSchema(TSqlite& db, std::string& error);

} // namespace corvane
