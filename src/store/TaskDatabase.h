// SPDX-License-Identifier: GPL-3.0-or-later
// The task database: one SQLCipher file keyed with the program's password,
// and the small helpers every statement goes through. Statements are the
// fixed templates of Statements.h, filled with FillStatement.
#pragma once

#include "store/StoreError.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <initializer_list>
#include <variant>
#include <vector>

struct sqlite3;

namespace tarnwick {

// One connection on a task database file.
class TaskDatabase
{
public:
    // What a connection is for. One that only reads takes a read-only
    // database read-only; one that may change rows refuses it.
    enum class OpenFor
    {
        Changes,
        Reading
    };

    TaskDatabase() = default;
    ~TaskDatabase();
    TaskDatabase(const TaskDatabase&) = delete;
    TaskDatabase& operator=(const TaskDatabase&) = delete;

    // Closes the connection if open, then opens the existing file at `path`
    // with the key, WAL and a busy timeout. Raises StoreError naming the
    // file, with the engine's message, when the file is missing (kind
    // NoDatabaseFile) or cannot be opened. A file that is not a task
    // database (empty, another format, another key, without the five
    // tables) is refused as NotATaskDatabase before anything is written:
    // opening never changes a file that is not already a task database.
    // A database that cannot be written (no owner write bit, no write
    // permission, a folder that cannot take the engine's side files) is
    // refused as ReadOnly for Changes, and for Reading opened read-only,
    // making nothing beside it.
    void open(const QString& path, OpenFor purpose = OpenFor::Changes);
    void close();
    bool isOpen() const { return m_db != nullptr; }
    bool isReadOnly() const { return m_readOnly; }
    // Whether the file has the tables added beside the first five (run
    // history, task options). Without them (a read-only file made by an
    // older build) their readers find nothing and their writers do nothing.
    bool hasAddedTables() const { return m_addedTables; }
    const QString& path() const { return m_path; }
    sqlite3* handle() const { return m_db; }

    // Runs statements that give no rows; raises StoreError on failure, its
    // message the file's path and the engine's text.
    void execute(const QString& statement);

    // How long a statement waits for another connection's write lock before
    // it fails as Busy.
    static constexpr int kBusyTimeoutMs = 5000;
    void setBusyTimeout(int ms);

private:
    sqlite3* m_db = nullptr;
    QString m_path;
    bool m_readOnly = false;
    bool m_addedTables = false;
};

// Lets statements fail at once, rather than wait, while it lives: for the
// user-interface thread, which must not stand still while another program
// holds the database; its caller waits elsewhere and tries again.
class NoBusyWait
{
public:
    explicit NoBusyWait(TaskDatabase& db) : m_db(db) { m_db.setBusyTimeout(0); }
    ~NoBusyWait() { m_db.setBusyTimeout(TaskDatabase::kBusyTimeoutMs); }
    NoBusyWait(const NoBusyWait&) = delete;
    NoBusyWait& operator=(const NoBusyWait&) = delete;

private:
    TaskDatabase& m_db;
};

// Makes a new database file at `path` with the empty schema. Raises
// StoreError, changing nothing, when a file is already there.
void CreateTaskDatabase(const QString& path);

// Opens `db` on the program folder's Tarnwick.dat.
void OpenTaskDatabase(TaskDatabase& db,
                      TaskDatabase::OpenFor purpose = TaskDatabase::OpenFor::Changes);

// A result of RunQuery: rows read first to last, columns by name.
class TaskQuery
{
public:
    explicit TaskQuery(TaskDatabase& db) : m_db(&db) {}

    TaskDatabase& database() const { return *m_db; }
    void close();

    bool eof() const { return m_row >= m_rows.size(); }
    void next() { ++m_row; }
    std::size_t rowCount() const { return m_rows.size(); }

    // Column reads of the current row. NULL reads as empty text, 0, false or
    // the zero date-time. A column the result does not have raises
    // StoreError, and so does a value that cannot be read as the kind asked.
    QString text(const char* column) const;
    qint64 integer(const char* column) const;
    bool yesNo(const char* column) const;
    QDateTime dateTime(const char* column) const;
    bool isNull(const char* column) const;

private:
    friend void RunQuery(TaskQuery&, const QString&);
    const QVariant& value(const char* column) const;

    TaskDatabase* m_db;
    QStringList m_columns;
    std::vector<std::vector<QVariant>> m_rows;
    std::size_t m_row = 0;
};

// Closes any previous result of `query` and opens the result of `statement`.
void RunQuery(TaskQuery& query, const QString& statement);
// Executes a statement that gives no rows (insert, update, delete).
void RunStatement(TaskQuery& query, const QString& statement);

// Doubles every single quote.
QString EscapeQuotes(const QString& text);

// One value for a statement template: text for %s, a number for %d.
using StatementArg = std::variant<QString, qint64>;

// Fills a catalogue template printf-style: each %s with its text passed
// through EscapeQuotes (so callers never escape themselves), each %d with
// its decimal number. A wrong count or kind of values is a programming
// error and throws std::logic_error.
QString FillStatement(const char* statementTemplate, std::initializer_list<StatementArg> args);
QString FillStatement(const char* statementTemplate, const std::vector<StatementArg>& args);

// One transaction on a connection: rolled back unless committed, so a
// failure part-way leaves the rows as they were. Opened inside another one
// it is a savepoint of it, so whole-task saves can be gathered into one.
class StoreTransaction
{
public:
    explicit StoreTransaction(TaskDatabase& db);
    ~StoreTransaction();
    StoreTransaction(const StoreTransaction&) = delete;
    StoreTransaction& operator=(const StoreTransaction&) = delete;
    void commit();

private:
    TaskDatabase& m_db;
    bool m_open = true;
    bool m_nested = false;
};

} // namespace tarnwick
