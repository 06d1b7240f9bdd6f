// SPDX-License-Identifier: GPL-3.0-or-later
// SQLCipher connection and statement helpers.
#include "store/TaskDatabase.h"

#include "platform/ProgramFolder.h"
#include "store/DateTexts.h"
#include "store/Statements.h"

#include <sqlcipher/sqlite3.h>

#include <QFile>
#include <QFileInfo>

#include <stdexcept>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarnwick {

namespace {

QString EngineMessage(sqlite3* db)
{
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
}

// An engine failure on the file at `path`: the message names the file and
// keeps the engine's own text, so a person can tell which file is meant. A
// lock held by another writer past the busy timeout is told apart: the
// caller may wait and try again.
StoreError EngineFailure(sqlite3* db, const QString& path, const QString& engineText)
{
    const int code = db ? sqlite3_errcode(db) & 0xff : SQLITE_NOMEM;
    const bool busy = code == SQLITE_BUSY || code == SQLITE_LOCKED;
    return StoreError(QStringLiteral("%1: %2").arg(path, engineText),
                      busy ? StoreError::Kind::Busy : StoreError::Kind::Other);
}

// Runs one or more statements that give no rows.
void Exec(sqlite3* db, const QString& path, const QByteArray& sql)
{
    char* error = nullptr;
    if (sqlite3_exec(db, sql.constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        const QString message = error ? QString::fromUtf8(error) : EngineMessage(db);
        sqlite3_free(error);
        throw EngineFailure(db, path, message);
    }
}

// Refuses a file that is there but holds no task database. Nothing was
// written to it, and the message says so.
StoreError NotATaskDatabase(const QString& path, const QString& why)
{
    return StoreError(
        QStringLiteral("%1 is not a task database (%2); it was left as it is").arg(path, why),
        StoreError::Kind::NotATaskDatabase);
}

// Why opening the file at `path` failed, told in words that name the file.
StoreError OpenFailure(const QString& path, int engineCode, const QString& engineText)
{
    const QFileInfo info(path);
    if (!info.exists())
        return StoreError(QStringLiteral("no task database at %1 (%2)").arg(path, engineText),
                          StoreError::Kind::NoDatabaseFile);
    if (engineCode == SQLITE_NOTADB)
        return NotATaskDatabase(path, engineText);
    return StoreError(QStringLiteral("cannot open the task database %1: %2").arg(path, engineText));
}

// How a connection is keyed: with the password (the engine derives the
// key from it and the file's salt), with the key derived once for the
// fixed salt, or, for a file being made, with that key and the salt the
// engine is to write into its first page.
enum class Keying { Password, RawKey, NewFile };

QByteArray KeyStatement(Keying keying)
{
    switch (keying) {
    case Keying::RawKey:
        return QByteArray("PRAGMA key = \"x'") + sql::DatabaseRawKeyHex + "'\";";
    case Keying::NewFile:
        return QByteArray("PRAGMA key = \"x'") + sql::DatabaseRawKeyHex + sql::DatabaseSaltHex +
               "'\";";
    case Keying::Password:
        break;
    }
    return QByteArray("PRAGMA key = '") + sql::DatabaseKey + "';";
}

// The key for the existing file at `path`: the derived one when the file
// starts with the fixed salt, the password otherwise (a file made by hand
// or by an older build) and when the start cannot be read (the open then
// fails with the engine's own words). Non-blocking, so that a fifo in the
// file's place cannot hold the program up here.
Keying KeyingFor(const QString& path)
{
    constexpr std::size_t saltSize = sizeof(sql::DatabaseSalt) - 1;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return Keying::Password;
    char start[saltSize] = {};
    struct stat status = {};
    const bool salted = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
                        ::pread(fd, start, saltSize, 0) == static_cast<ssize_t>(saltSize) &&
                        std::memcmp(start, sql::DatabaseSalt, saltSize) == 0;
    ::close(fd);
    return salted ? Keying::RawKey : Keying::Password;
}

// Opens and keys a connection on `name` (a file name, or a URI when `flags`
// say so). On failure returns nullptr and the engine's own code and text.
sqlite3* OpenKeyed(const QByteArray& name, int flags, Keying keying, int& engineCode,
                   QString& engineText)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(name.constData(), &db, flags | SQLITE_OPEN_FULLMUTEX, nullptr) ==
        SQLITE_OK) {
        // Set before the first read: another connection that opens or
        // closes the file at the same moment (recovering or removing the
        // -wal file) holds it locked for a short while, which is waited
        // out, not reported as "database is locked".
        sqlite3_busy_timeout(db, TaskDatabase::kBusyTimeoutMs);
        const QByteArray key = KeyStatement(keying);
        // Reading the schema is what proves the key: a wrong key or a file
        // that is no database fails here with the engine's own message.
        if (sqlite3_exec(db, key.constData(), nullptr, nullptr, nullptr) == SQLITE_OK &&
            sqlite3_exec(db, "SELECT count(*) FROM sqlite_master;", nullptr, nullptr, nullptr) ==
                SQLITE_OK)
            return db;
    }
    engineCode = db ? sqlite3_errcode(db) : SQLITE_NOMEM;
    engineText = EngineMessage(db);
    sqlite3_close(db);
    return nullptr;
}

// What the keyed database `db` lacks of the five tables and the columns
// the statements use, in words ("it has no table Task", "its table Task has
// no column TargetDir"), or an empty text when it is all there. Only reads:
// it decides whether the file is ours before anything is written to it.
QString MissingSchema(sqlite3* db)
{
    // Whether the statement compiles and, when `row`, gives a row.
    const auto answers = [db](const QByteArray& sql, bool row) {
        sqlite3_stmt* stmt = nullptr;
        bool ok = sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) == SQLITE_OK;
        if (ok && row)
            ok = sqlite3_step(stmt) == SQLITE_ROW;
        sqlite3_finalize(stmt);
        return ok;
    };
    for (const sql::SchemaTable& table : sql::kSchemaTables) {
        const QByteArray name(table.name);
        if (!answers("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = '" + name + "';",
                     true))
            return QStringLiteral("it has no table %1").arg(QLatin1StringView(table.name));
    }
    for (const sql::SchemaTable& table : sql::kSchemaTables) {
        const QByteArray name(table.name);
        for (const char* column : table.columns) {
            if (!answers("SELECT [" + QByteArray(column) + "] FROM [" + name + "] LIMIT 0;", false))
                return QStringLiteral("its table %1 has no column %2")
                    .arg(QLatin1StringView(table.name), QLatin1StringView(column));
        }
    }
    return QString();
}

QVariant ColumnValue(sqlite3_stmt* stmt, int i)
{
    switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_NULL:
        return QVariant();
    case SQLITE_INTEGER:
        return QVariant(static_cast<qint64>(sqlite3_column_int64(stmt, i)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(stmt, i));
    default:
        return QVariant(
            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i)),
                              sqlite3_column_bytes(stmt, i)));
    }
}

// Why the database at `path` cannot be changed, or an empty text when it
// can. A file without its owner's write bit counts as read-only even for
// root, who could write it anyway: the bit is the user's way of saying
// "do not change this". The folder must take the engine's side files, and
// side files left by someone else must be writable too.
QString ReadOnlyReason(const QString& path)
{
    const QByteArray file = QFile::encodeName(path);
    struct stat status = {};
    if (::stat(file.constData(), &status) != 0)
        return QString();
    if (::access(file.constData(), W_OK) != 0 || (status.st_mode & S_IWUSR) == 0)
        return QStringLiteral("the file has no write permission");
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    if (::access(folder.constData(), W_OK | X_OK) != 0)
        return QStringLiteral("its folder is not writable");
    for (const QLatin1StringView suffix : {QLatin1StringView("-wal"), QLatin1StringView("-shm")}) {
        const QByteArray side = file + QByteArray(suffix.data(), suffix.size());
        if (::access(side.constData(), F_OK) == 0 && ::access(side.constData(), W_OK) != 0)
            return QStringLiteral("%1 beside it is not writable").arg(path + suffix);
    }
    return QString();
}

// The URI that opens `path` for reading only, as an immutable file: no
// locks, no -wal or -shm made beside it. The engine of this generation
// cannot read a WAL database read-only any other way without making them.
QByteArray ImmutableUri(const QString& path)
{
    return "file:" + QFile::encodeName(path).toPercentEncoding("/") + "?immutable=1";
}

} // namespace

TaskDatabase::~TaskDatabase()
{
    close();
}

void TaskDatabase::open(const QString& path, OpenFor purpose)
{
    close();
    // The engine takes an empty file for an empty database and would write
    // a header into it; what the user put there is not ours to change.
    const QFileInfo info(path);
    if (info.isFile() && info.size() == 0)
        throw NotATaskDatabase(path, QStringLiteral("the file is empty"));

    // Opened read-write, a file that cannot be written would still get -wal
    // and -shm files beside it, with its own read-only mode, and they would
    // then keep every later open from working. So a read-only database is
    // refused for changes and read as an immutable file otherwise.
    const QString readOnly = info.isFile() ? ReadOnlyReason(path) : QString();
    if (!readOnly.isEmpty()) {
        if (purpose == OpenFor::Changes)
            throw StoreError(QStringLiteral("%1 is read-only (%2); it can be read but not changed")
                                 .arg(path, readOnly),
                             StoreError::Kind::ReadOnly);
        // Read that way, changes still waiting in the -wal file would be
        // missed: say so rather than show stale tasks.
        const QString wal = path + QStringLiteral("-wal");
        if (QFileInfo(wal).size() > 0)
            throw StoreError(QStringLiteral("%1 is read-only (%2), and changes not yet written "
                                            "into it wait in %3; it can be read once it is "
                                            "writable")
                                 .arg(path, readOnly, wal),
                             StoreError::Kind::ReadOnly);
    }

    int engineCode = SQLITE_OK;
    QString engineText;
    const Keying keying = KeyingFor(path);
    sqlite3* db = readOnly.isEmpty()
                      ? OpenKeyed(QFile::encodeName(path), SQLITE_OPEN_READWRITE, keying,
                                  engineCode, engineText)
                      : OpenKeyed(ImmutableUri(path), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI,
                                  keying, engineCode, engineText);
    if (!db)
        throw OpenFailure(path, engineCode, engineText);
    // Checked before anything below may write (the switch to WAL rewrites
    // the file's header): a database of some other program keyed the same
    // way is left as it is, byte for byte.
    const QString missing = MissingSchema(db);
    if (!missing.isEmpty()) {
        sqlite3_close(db);
        throw NotATaskDatabase(path, missing);
    }
    m_db = db;
    m_path = path;
    m_readOnly = !readOnly.isEmpty();
    if (!m_readOnly) {
        // WAL lets the window and a command-line run share the file. A file
        // that cannot switch (read-only medium) still works in its own mode.
        try {
            Exec(m_db, m_path, "PRAGMA journal_mode = WAL;");
        } catch (const StoreError&) {
        }
        // A file made by an older build gets the added tables now; one that
        // cannot take them (a full disk, another writer holding it past the
        // timeout) still opens, and works as a read-only one does.
        try {
            Exec(m_db, m_path, sql::CreateAddedTables);
        } catch (const StoreError&) {
        }
    }
    sqlite3_stmt* stmt = nullptr;
    m_addedTables = sqlite3_prepare_v2(m_db, sql::CountAddedTables, -1, &stmt, nullptr) ==
                        SQLITE_OK &&
                    sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_int(stmt, 0) == 2;
    sqlite3_finalize(stmt);
}

void TaskDatabase::close()
{
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    m_path.clear();
    m_readOnly = false;
    m_addedTables = false;
}

void TaskDatabase::setBusyTimeout(int ms)
{
    if (m_db)
        sqlite3_busy_timeout(m_db, ms);
}

void TaskDatabase::execute(const QString& statement)
{
    if (!m_db)
        throw StoreError(QStringLiteral("The task database is not open"));
    Exec(m_db, m_path, statement.toUtf8());
}

void CreateTaskDatabase(const QString& path)
{
    // Made here, for the user alone (it lists every folder the user
    // mirrors), and only when nothing is there yet; the engine makes its
    // -wal and -shm files with the same permissions.
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                          0600);
    if (fd < 0) {
        if (errno == EEXIST)
            throw StoreError(QStringLiteral("%1 already exists; it was left as it is").arg(path));
        throw StoreError(QStringLiteral("cannot make the task database %1: %2")
                             .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    }
    ::close(fd);
    int engineCode = SQLITE_OK;
    QString engineText;
    sqlite3* db = OpenKeyed(QFile::encodeName(path), SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                            Keying::NewFile, engineCode, engineText);
    if (!db) {
        QFile::remove(path);
        throw StoreError(
            QStringLiteral("cannot make the task database %1: %2").arg(path, engineText));
    }
    try {
        Exec(db, path, "BEGIN;");
        Exec(db, path, sql::CreateSchema);
        Exec(db, path, sql::CreateAddedTables);
        Exec(db, path, "COMMIT;");
        Exec(db, path, "PRAGMA journal_mode = WAL;");
    } catch (...) {
        sqlite3_close(db);
        QFile::remove(path);
        throw;
    }
    sqlite3_close(db);
}

void OpenTaskDatabase(TaskDatabase& db, TaskDatabase::OpenFor purpose)
{
    db.open(TaskDatabasePath(), purpose);
}

void TaskQuery::close()
{
    m_columns.clear();
    m_rows.clear();
    m_row = 0;
}

const QVariant& TaskQuery::value(const char* column) const
{
    const QLatin1String wanted(column);
    qsizetype index = 0;
    while (index < m_columns.size() && m_columns[index].compare(wanted, Qt::CaseInsensitive) != 0)
        ++index;
    if (index == m_columns.size())
        throw StoreError(QStringLiteral("Field '%1' not found").arg(QLatin1String(column)));
    if (eof())
        throw StoreError(
            QStringLiteral("No current row for field '%1'").arg(QLatin1String(column)));
    return m_rows[m_row][static_cast<std::size_t>(index)];
}

bool TaskQuery::isNull(const char* column) const
{
    return value(column).isNull();
}

QString TaskQuery::text(const char* column) const
{
    const QVariant& v = value(column);
    return v.isNull() ? QString() : v.toString();
}

qint64 TaskQuery::integer(const char* column) const
{
    const QVariant& v = value(column);
    if (v.isNull())
        return 0;
    if (v.typeId() == QMetaType::LongLong)
        return v.toLongLong();
    bool ok = false;
    const qint64 number = v.toString().trimmed().toLongLong(&ok);
    if (!ok)
        throw StoreError(QStringLiteral("'%1' is not a valid integer value for field '%2'")
                             .arg(v.toString(), QLatin1String(column)));
    return number;
}

bool TaskQuery::yesNo(const char* column) const
{
    const QVariant& v = value(column);
    if (v.isNull())
        return false;
    if (v.typeId() == QMetaType::LongLong)
        return v.toLongLong() != 0;
    const QString t = v.toString().trimmed();
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const qint64 number = t.toLongLong(&ok);
    if (!ok)
        throw StoreError(QStringLiteral("'%1' is not a valid yes/no value for field '%2'")
                             .arg(t, QLatin1String(column)));
    return number != 0;
}

QDateTime TaskQuery::dateTime(const char* column) const
{
    const QVariant& v = value(column);
    if (v.isNull())
        return ZeroDateTime();
    return DateTimeFromText(v.toString());
}

void RunQuery(TaskQuery& query, const QString& statement)
{
    query.close();
    sqlite3* db = query.database().handle();
    if (!db)
        throw StoreError(QStringLiteral("The task database is not open"));
    const QByteArray sql = statement.toUtf8();
    sqlite3_stmt* stmt = nullptr;
    const QString& path = query.database().path();
    if (sqlite3_prepare_v2(db, sql.constData(), static_cast<int>(sql.size()), &stmt, nullptr) !=
        SQLITE_OK)
        throw EngineFailure(db, path, EngineMessage(db));
    const int columns = sqlite3_column_count(stmt);
    for (int i = 0; i < columns; ++i)
        query.m_columns << QString::fromUtf8(sqlite3_column_name(stmt, i));
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        std::vector<QVariant> row;
        row.reserve(static_cast<std::size_t>(columns));
        for (int i = 0; i < columns; ++i)
            row.push_back(ColumnValue(stmt, i));
        query.m_rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) {
        const QString message = EngineMessage(db);
        sqlite3_finalize(stmt);
        query.close();
        throw EngineFailure(db, path, message);
    }
    sqlite3_finalize(stmt);
}

void RunStatement(TaskQuery& query, const QString& statement)
{
    query.close();
    query.database().execute(statement);
}

QString EscapeQuotes(const QString& text)
{
    QString escaped = text;
    escaped.replace(u'\'', QLatin1String("''"));
    return escaped;
}

namespace {

QString Fill(const char* statementTemplate, const StatementArg* arg, const StatementArg* end)
{
    QString out;
    for (const char* p = statementTemplate; *p; ++p) {
        if (*p != '%' || (p[1] != 's' && p[1] != 'd')) {
            out += QLatin1Char(*p);
            continue;
        }
        if (arg == end)
            throw std::logic_error(std::string("too few values for: ") + statementTemplate);
        if (p[1] == 's') {
            const QString* text = std::get_if<QString>(&*arg);
            if (!text)
                throw std::logic_error(std::string("%s given a number in: ") + statementTemplate);
            out += EscapeQuotes(*text);
        } else {
            const qint64* number = std::get_if<qint64>(&*arg);
            if (!number)
                throw std::logic_error(std::string("%d given a text in: ") + statementTemplate);
            out += QString::number(*number);
        }
        ++arg;
        ++p;
    }
    if (arg != end)
        throw std::logic_error(std::string("too many values for: ") + statementTemplate);
    return out;
}

} // namespace

QString FillStatement(const char* statementTemplate, std::initializer_list<StatementArg> args)
{
    return Fill(statementTemplate, args.begin(), args.end());
}

QString FillStatement(const char* statementTemplate, const std::vector<StatementArg>& args)
{
    return Fill(statementTemplate, args.data(), args.data() + args.size());
}

StoreTransaction::StoreTransaction(TaskDatabase& db) : m_db(db)
{
    // Inside a transaction already (an import saves many tasks at once),
    // this one becomes a savepoint of it: it still undoes only its own
    // statements, and the outer one decides whether anything stays.
    m_nested = m_db.handle() != nullptr && sqlite3_get_autocommit(m_db.handle()) == 0;
    m_db.execute(m_nested ? QStringLiteral("SAVEPOINT tarnwick_nested;")
                          : QStringLiteral("BEGIN IMMEDIATE;"));
}

StoreTransaction::~StoreTransaction()
{
    if (m_open) {
        try {
            m_db.execute(m_nested ? QStringLiteral("ROLLBACK TO tarnwick_nested; "
                                                   "RELEASE tarnwick_nested;")
                                  : QStringLiteral("ROLLBACK;"));
        } catch (const StoreError&) {
        }
    }
}

void StoreTransaction::commit()
{
    m_db.execute(m_nested ? QStringLiteral("RELEASE tarnwick_nested;") : QStringLiteral("COMMIT;"));
    m_open = false;
}

} // namespace tarnwick
