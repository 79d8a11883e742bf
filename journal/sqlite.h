#pragma once

// A thin RAII layer over SQLite's C interface: one connection, prepared statements, a
// transaction that rolls back unless committed, and errors that keep SQLite's result code.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <stdexcept>

struct sqlite3;
struct sqlite3_stmt;

namespace kelmor::journal::sqlite {

class Error : public std::runtime_error
{
public:
    Error(int code, const std::string &message)
        : std::runtime_error(message)
        , m_code(code)
    {
    }
    // SQLite's primary result code (SQLITE_BUSY, SQLITE_CORRUPT, …).
    int code() const { return m_code & 0xFF; }
    int extendedCode() const { return m_code; }

private:
    int m_code;
};

class Connection
{
public:
    enum class Mode { ReadOnly, ReadWrite, Create };

    // Opens the file; throws Error when SQLite cannot.
    Connection(const QString &path, Mode mode);
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    void exec(const char *sql);
    // The first column of the first row as an integer (0 without a row).
    std::int64_t queryInt(const char *sql);
    std::int64_t lastInsertId() const;
    bool isReadOnly() const;
    void setBusyTimeout(int ms);
    sqlite3 *handle() const { return m_db; }
    // Throws Error for a result code other than OK, ROW and DONE.
    void check(int rc) const;

private:
    sqlite3 *m_db = nullptr;
};

class Statement
{
public:
    Statement(Connection &db, const char *sql);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    // Parameters count from 1.
    Statement &bind(int index, std::int64_t value);
    Statement &bind(int index, int value) { return bind(index, std::int64_t(value)); }
    Statement &bind(int index, double value);
    Statement &bind(int index, const QString &value);
    Statement &bindNull(int index);
    // One step: true while a row is there.
    bool step();
    // Runs a statement that returns no rows.
    void run();
    void reset();

    // Columns count from 0.
    std::int64_t integer(int column) const;
    double real(int column) const;
    QString text(int column) const;
    bool isNull(int column) const;

private:
    Connection &m_db;
    sqlite3_stmt *m_statement = nullptr;
};

// BEGIN IMMEDIATE: the write lock is taken at once, so a change never fails half way for
// another writer. Rolls back on destruction unless commit() ran.
class Transaction
{
public:
    explicit Transaction(Connection &db);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    void commit();

private:
    Connection &m_db;
    bool m_done = false;
};

} // namespace kelmor::journal::sqlite
