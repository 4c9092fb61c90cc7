// The history store over any back end's database: every rule that is not
// SQL lives here once (history_core.cpp), each back end gives only its
// connection and SQL (sqlite_history.cpp, postgres_history.cpp).
//
//   std::unique_ptr<HistoryStore> store = makeHistoryStore(std::move(database), "group/app");
#pragma once

#include "export/history/history_database.h"
#include "export/history/history_store.h"

std::unique_ptr<HistoryStore> makeHistoryStore(std::unique_ptr<HistoryDatabase> database,
                                               const std::string& project);

// The history of a SQLite file or of a PostgreSQL server (openHistory
// picks by the location).
std::unique_ptr<HistoryStore> openSqliteHistory(const std::string& path, const std::string& project,
                                                HistoryAccess access, std::string* error);
std::unique_ptr<HistoryStore> openPostgresHistory(const std::string& url, const std::string& project,
                                                  HistoryAccess access, std::string* error);

// True when the file starts like an SQLite database.
bool isSqliteFile(const std::string& path);
