#include "fulltext/sqlite_connection.h"

#include <QFile>

#include <sqlite3.h>

namespace kelmor::fulltext {

SqliteError::SqliteError(int code, const std::string &message)
    : std::runtime_error(message)
    , m_code(code)
{
}

bool SqliteError::isDamage() const
{
    const int primary = m_code & 0xFF;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB || primary == SQLITE_FORMAT;
}

bool SqliteError::isBusy() const
{
    const int primary = m_code & 0xFF;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

void SqliteConnection::Closer::operator()(sqlite3 *db) const
{
    sqlite3_close_v2(db);
}

SqliteConnection::SqliteConnection(const QString &path)
{
    sqlite3 *db = nullptr;
    const QByteArray name =
        path == QLatin1String(":memory:") ? QByteArray(":memory:") : QFile::encodeName(path);
    const int rc = sqlite3_open_v2(
        name.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
        nullptr);
    m_db.reset(db); // closed also when opening failed
    if (rc != SQLITE_OK)
        throw SqliteError(rc, db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    sqlite3_extended_result_codes(db, 1);
}

SqliteConnection::~SqliteConnection() = default;

void SqliteConnection::check(int rc) const
{
    if (rc != SQLITE_OK)
        throw SqliteError(sqlite3_extended_errcode(m_db.get()), sqlite3_errmsg(m_db.get()));
}

void SqliteConnection::exec(const char *sql)
{
    check(sqlite3_exec(m_db.get(), sql, nullptr, nullptr, nullptr));
}

SqliteStatement SqliteConnection::prepare(const QByteArray &sql)
{
    sqlite3_stmt *statement = nullptr;
    check(sqlite3_prepare_v2(m_db.get(), sql.constData(), int(sql.size()), &statement, nullptr));
    return SqliteStatement(*this, statement);
}

qint64 SqliteConnection::lastInsertRowid() const
{
    return sqlite3_last_insert_rowid(m_db.get());
}

SqliteStatement::SqliteStatement(SqliteConnection &connection, sqlite3_stmt *statement)
    : m_connection(&connection)
    , m_statement(statement)
{
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(m_statement);
}

SqliteStatement::SqliteStatement(SqliteStatement &&other) noexcept
    : m_connection(other.m_connection)
    , m_statement(other.m_statement)
{
    other.m_statement = nullptr;
}

SqliteStatement &SqliteStatement::bind(int index, qint64 value)
{
    m_connection->check(sqlite3_bind_int64(m_statement, index, value));
    return *this;
}

SqliteStatement &SqliteStatement::bind(int index, const QString &text)
{
    return bind(index, text.toUtf8());
}

SqliteStatement &SqliteStatement::bind(int index, const QByteArray &utf8)
{
    m_connection->check(sqlite3_bind_text(m_statement, index, utf8.constData(), int(utf8.size()),
                                          SQLITE_TRANSIENT));
    return *this;
}

SqliteStatement &SqliteStatement::bindBlob(int index, QByteArrayView bytes)
{
    m_connection->check(
        sqlite3_bind_blob(m_statement, index, bytes.data(), int(bytes.size()), SQLITE_TRANSIENT));
    return *this;
}

SqliteStatement &SqliteStatement::bindPointer(int index, void *pointer, const char *type)
{
    m_connection->check(sqlite3_bind_pointer(m_statement, index, pointer, type, nullptr));
    return *this;
}

bool SqliteStatement::step()
{
    const int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    const int code = sqlite3_extended_errcode(m_connection->handle());
    const std::string message = sqlite3_errmsg(m_connection->handle());
    sqlite3_reset(m_statement);
    throw SqliteError(code, message);
}

void SqliteStatement::run()
{
    while (step()) {
    }
}

void SqliteStatement::reset()
{
    sqlite3_reset(m_statement);
}

qint64 SqliteStatement::integer(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

double SqliteStatement::real(int column) const
{
    return sqlite3_column_double(m_statement, column);
}

QString SqliteStatement::text(int column) const
{
    const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
    const int size = sqlite3_column_bytes(m_statement, column);
    return data ? QString::fromUtf8(data, size) : QString();
}

} // namespace kelmor::fulltext
