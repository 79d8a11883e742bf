#pragma once

// A small RAII layer over the SQLite C interface: a connection, a prepared statement, and the
// error that carries SQLite's result code, so that callers can tell a damaged or locked file
// from other failures.

#include <QByteArray>
#include <QString>

#include <memory>
#include <stdexcept>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace kelmor::fulltext {

class SqliteError : public std::runtime_error
{
public:
    SqliteError(int code, const std::string &message);
    // The extended result code.
    int code() const { return m_code; }
    // The file is not a database, or its content is damaged.
    bool isDamage() const;
    // Another connection holds the lock this one needed.
    bool isBusy() const;

private:
    int m_code;
};

class SqliteStatement;

class SqliteConnection
{
public:
    // Opens (creating when missing) the database file, or a private in-memory database for
    // ":memory:". Throws SqliteError.
    explicit SqliteConnection(const QString &path);
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection &) = delete;
    SqliteConnection &operator=(const SqliteConnection &) = delete;

    sqlite3 *handle() const { return m_db.get(); }

    // Runs statements without results; throws SqliteError.
    void exec(const char *sql);
    // A prepared statement; throws SqliteError.
    SqliteStatement prepare(const QByteArray &sql);
    qint64 lastInsertRowid() const;

    // Throws SqliteError when rc is not SQLITE_OK, with the connection's message.
    void check(int rc) const;

private:
    struct Closer
    {
        void operator()(sqlite3 *db) const;
    };
    std::unique_ptr<sqlite3, Closer> m_db;
};

class SqliteStatement
{
public:
    SqliteStatement(SqliteConnection &connection, sqlite3_stmt *statement);
    ~SqliteStatement();
    SqliteStatement(SqliteStatement &&other) noexcept;
    SqliteStatement &operator=(SqliteStatement &&) = delete;
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    // Parameters count from 1.
    SqliteStatement &bind(int index, qint64 value);
    SqliteStatement &bind(int index, const QString &text);
    SqliteStatement &bind(int index, const QByteArray &utf8);
    SqliteStatement &bindBlob(int index, QByteArrayView bytes);
    // A pointer for an extension that asks for one by its type name (not owned).
    SqliteStatement &bindPointer(int index, void *pointer, const char *type);

    // The next row: true while there is one; false when done. Throws SqliteError.
    bool step();
    // Steps to the end, for statements without results.
    void run();
    // Rewinds the statement so that it runs again; the bindings stay.
    void reset();

    qint64 integer(int column) const;
    double real(int column) const;
    QString text(int column) const;

private:
    SqliteConnection *m_connection;
    sqlite3_stmt *m_statement;
};

} // namespace kelmor::fulltext
