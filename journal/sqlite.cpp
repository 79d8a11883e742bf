#include "journal/sqlite.h"

#include <sqlite3.h>

#include <QFile>

namespace kelmor::journal::sqlite {

Connection::Connection(const QString &path, Mode mode)
{
    int flags = SQLITE_OPEN_NOMUTEX;
    switch (mode) {
    case Mode::ReadOnly:
        flags |= SQLITE_OPEN_READONLY;
        break;
    case Mode::ReadWrite:
        flags |= SQLITE_OPEN_READWRITE;
        break;
    case Mode::Create:
        flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
        break;
    }
    const QByteArray name = QFile::encodeName(path);
    const int rc = sqlite3_open_v2(name.constData(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const std::string message = m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(rc);
        const int code = m_db ? sqlite3_extended_errcode(m_db) : rc;
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        throw Error(code, message);
    }
    sqlite3_extended_result_codes(m_db, 1);
}

Connection::~Connection()
{
    sqlite3_close_v2(m_db);
}

void Connection::check(int rc) const
{
    if (rc == SQLITE_OK || rc == SQLITE_ROW || rc == SQLITE_DONE)
        return;
    throw Error(rc, sqlite3_errmsg(m_db));
}

void Connection::exec(const char *sql)
{
    char *message = nullptr;
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        const std::string text = message ? message : sqlite3_errstr(rc);
        sqlite3_free(message);
        throw Error(sqlite3_extended_errcode(m_db), text);
    }
}

std::int64_t Connection::queryInt(const char *sql)
{
    Statement s(*this, sql);
    return s.step() ? s.integer(0) : 0;
}

std::int64_t Connection::lastInsertId() const
{
    return sqlite3_last_insert_rowid(m_db);
}

bool Connection::isReadOnly() const
{
    return sqlite3_db_readonly(m_db, "main") == 1;
}

void Connection::setBusyTimeout(int ms)
{
    sqlite3_busy_timeout(m_db, ms);
}

Statement::Statement(Connection &db, const char *sql)
    : m_db(db)
{
    db.check(sqlite3_prepare_v2(db.handle(), sql, -1, &m_statement, nullptr));
}

Statement::~Statement()
{
    sqlite3_finalize(m_statement);
}

Statement &Statement::bind(int index, std::int64_t value)
{
    m_db.check(sqlite3_bind_int64(m_statement, index, value));
    return *this;
}

Statement &Statement::bind(int index, double value)
{
    m_db.check(sqlite3_bind_double(m_statement, index, value));
    return *this;
}

Statement &Statement::bind(int index, const QString &value)
{
    const QByteArray utf8 = value.toUtf8();
    m_db.check(sqlite3_bind_text(m_statement, index, utf8.constData(), int(utf8.size()),
                                 SQLITE_TRANSIENT));
    return *this;
}

Statement &Statement::bindNull(int index)
{
    m_db.check(sqlite3_bind_null(m_statement, index));
    return *this;
}

bool Statement::step()
{
    const int rc = sqlite3_step(m_statement);
    m_db.check(rc);
    return rc == SQLITE_ROW;
}

void Statement::run()
{
    while (step()) {
    }
}

void Statement::reset()
{
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
}

std::int64_t Statement::integer(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

double Statement::real(int column) const
{
    return sqlite3_column_double(m_statement, column);
}

QString Statement::text(int column) const
{
    const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
    const int size = sqlite3_column_bytes(m_statement, column);
    return data ? QString::fromUtf8(data, size) : QString();
}

bool Statement::isNull(int column) const
{
    return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

Transaction::Transaction(Connection &db)
    : m_db(db)
{
    m_db.exec("BEGIN IMMEDIATE");
}

Transaction::~Transaction()
{
    if (!m_done)
        sqlite3_exec(m_db.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::commit()
{
    m_db.exec("COMMIT");
    m_done = true;
}

} // namespace kelmor::journal::sqlite
