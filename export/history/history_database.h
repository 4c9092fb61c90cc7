// What a back end of the history gives its core (history_core.h): queries
// on its connection, its transactions and its bulk inserts. The core's SQL
// reads alike in SQLite and PostgreSQL: parameters ?1, ?2, ...; ids,
// counts and statuses are integers; names, keys and texts are bytes
// (SQLite keeps TEXT or BLOB as each column was made, PostgreSQL bytea).
//
//   std::unique_ptr<HistoryQuery> q = db.query("SELECT id, key FROM runs WHERE project = ?1");
//   q->bindText(1, project);
//   while (q->step() == HistoryQuery::Row) use(q->integer(0), q->bytes(1));
//   if (q->step() == HistoryQuery::Failed) ... db.error()
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The schema both back ends keep; a newer one is refused, an older one
// brought up to date by writing.
constexpr int64_t kHistorySchema = 3;

// The words of a refusal, the same from every back end.
constexpr char kNotAHistory[] = "not a history file";
std::string newerSchemaError(int64_t version);
constexpr char kSchemaChanged[] = "the history changed its schema while it was open";

class HistoryQuery {
 public:
  enum Step { Row, Done, Failed };

  virtual ~HistoryQuery() = default;
  // Parameters by 1-based index, columns by 0-based index.
  virtual void bind(int index, int64_t value) = 0;
  virtual void bindText(int index, const std::string& text) = 0;
  virtual void bindBlob(int index, const std::string& bytes) = 0;
  // The next row; Failed with the database's error() set.
  virtual Step step() = 0;
  // Ready for new binds and to run again.
  virtual void reset() = 0;
  virtual bool isNull(int column) = 0;
  // True when the value is an integer, not text, a real or null.
  virtual bool isInteger(int column) = 0;
  virtual int64_t integer(int column) = 0;
  // The value's bytes; an integer's in decimal, for messages.
  virtual std::string bytes(int column) = 0;
};

// A value of a bulk insert; bytes are borrowed for the call.
struct SqlValue {
  enum Kind { Integer, Text, Blob };
  Kind kind = Integer;
  int64_t integer = 0;
  const std::string* bytes = nullptr;

  static SqlValue of(int64_t value) { return {Integer, value, nullptr}; }
  static SqlValue text(const std::string& value) { return {Text, 0, &value}; }
  static SqlValue blob(const std::string& value) { return {Blob, 0, &value}; }
};

// Rows for one bulk insert into table: row(i, values) fills the values of
// row i in the order of columns.
struct TableRows {
  const char* table;
  std::vector<const char*> columns;
  size_t count;
  std::function<void(size_t row, std::vector<SqlValue>* values)> row;
};

class HistoryDatabase {
 public:
  virtual ~HistoryDatabase() = default;

  virtual std::unique_ptr<HistoryQuery> query(const std::string& sql) = 0;

  // Reading: a transaction is open (a reading store's lasting one), else
  // one is opened for a call so that its queries see one state.
  virtual bool inTransaction() = 0;
  virtual bool beginRead() = 0;
  virtual bool endRead() = 0;

  // Writing: a transaction in which no other writer of the project writes,
  // on a history that passed the back end's checks; *schema is the schema
  // found in it.
  virtual bool beginWrite(const std::string& project, int64_t* schema) = 0;
  // Commits (and gives the space of dropped rows back), or rolls back so
  // that the history is as it was.
  virtual bool commit() = 0;
  virtual void rollback() = 0;
  // count new ids of table, ascending.
  virtual bool newIds(const char* table, size_t count, std::vector<int64_t>* ids) = 0;
  virtual bool insert(const TableRows& rows) = 0;

  // Why the last call failed; "damaged: ..." for a broken history.
  const std::string& error() const { return error_; }
  // The schema of the history as it is read: an older one where a server
  // is read without being written.
  int64_t schema() const { return schema_; }

 protected:
  std::string error_;
  int64_t schema_ = kHistorySchema;
};
