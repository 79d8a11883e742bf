#include "platform/registry_store.h"

#include "platform/autostart_entry.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QLoggingCategory>
#include <QMutexLocker>
#include <QRecursiveMutex>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <vector>

namespace kelmor::platform {

namespace {

Q_LOGGING_CATEGORY(lcRegistry, "kelmor.registry", QtWarningMsg)

// How long a change waits for another writer to finish, and how often it looks.
constexpr int LockTimeoutMs = 5000;
constexpr int LockPollMs = 3;

// QLockFile's own waiting sleeps 100 ms and more between tries; a writer holds the lock for a
// few milliseconds, so look more often.
bool lockStore(QLockFile &lock)
{
    QElapsedTimer waited;
    waited.start();
    while (!lock.tryLock(0)) {
        if (lock.error() != QLockFile::LockFailedError || waited.elapsed() >= LockTimeoutMs)
            return false;
        QThread::msleep(LockPollMs);
    }
    return true;
}

struct Node
{
    QString name;
    QList<RegeditValue> values;
    // In name order, letter case ignored.
    std::vector<std::unique_ptr<Node>> children;

    static bool before(const std::unique_ptr<Node> &node, QStringView name)
    {
        return QStringView(node->name).compare(name, Qt::CaseInsensitive) < 0;
    }

    Node *child(QStringView name) const
    {
        const auto it = std::lower_bound(children.begin(), children.end(), name, before);
        if (it != children.end() &&
            QStringView((*it)->name).compare(name, Qt::CaseInsensitive) == 0)
            return it->get();
        return nullptr;
    }

    Node *addChild(const QString &name)
    {
        if (Node *existing = child(name))
            return existing;
        const auto it =
            std::lower_bound(children.begin(), children.end(), QStringView(name), before);
        auto node = std::make_unique<Node>();
        node->name = name;
        return children.insert(it, std::move(node))->get();
    }

    void removeChild(QStringView name)
    {
        const auto it = std::lower_bound(children.begin(), children.end(), name, before);
        if (it != children.end() &&
            QStringView((*it)->name).compare(name, Qt::CaseInsensitive) == 0)
            children.erase(it);
    }

    qsizetype valueIndex(QStringView name) const
    {
        for (qsizetype i = 0; i < values.size(); ++i) {
            if (QStringView(values[i].name).compare(name, Qt::CaseInsensitive) == 0)
                return i;
        }
        return -1;
    }

    // Sets or replaces a value; false when it held these data already.
    bool setValue(const QString &name, quint32 type, const QByteArray &data)
    {
        const qsizetype at = valueIndex(name);
        if (at < 0) {
            values.append(RegeditValue{name, type, data});
            return true;
        }
        if (values[at].type == type && values[at].data == data)
            return false;
        values[at].type = type;
        values[at].data = data;
        return true;
    }

    bool removeValue(QStringView name)
    {
        const qsizetype at = valueIndex(name);
        if (at < 0)
            return false;
        values.removeAt(at);
        return true;
    }
};

// The levels of the Run key as a new store names them (the key is found in any letter case).
const QStringList &runKeyLevels()
{
    static const QStringList levels = {QStringLiteral("Software"), QStringLiteral("Microsoft"),
                                       QStringLiteral("Windows"), QStringLiteral("CurrentVersion"),
                                       QStringLiteral("Run")};
    return levels;
}

bool isRunKey(const QStringList &path)
{
    const QStringList &run = runKeyLevels();
    if (path.size() != run.size())
        return false;
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (path[i].compare(run[i], Qt::CaseInsensitive) != 0)
            return false;
    }
    return true;
}

Node *findNode(Node &root, const QStringList &path)
{
    Node *node = &root;
    for (const QString &level : path) {
        node = node->child(level);
        if (!node)
            return nullptr;
    }
    return node;
}

Node *createNode(Node &root, const QStringList &path, bool *created)
{
    Node *node = &root;
    for (const QString &level : path) {
        Node *next = node->child(level);
        if (!next) {
            next = node->addChild(level);
            *created = true;
        }
        node = next;
    }
    return node;
}

// Levels of a key path: "\" separates them; empty levels (a leading, doubled or trailing "\")
// are skipped.
long splitKeyPath(const QString &text, QStringList *levels)
{
    for (const QString &level : text.split(QLatin1Char('\\'), Qt::SkipEmptyParts)) {
        if (level.size() > MaxKeyNameLength)
            return ERROR_INVALID_PARAMETER;
        levels->append(level);
    }
    if (levels->size() > MaxKeyDepth)
        return ERROR_INVALID_PARAMETER;
    return ERROR_SUCCESS;
}

enum class StoreState { Fine, Missing, Damaged, Unreadable };

struct Store
{
    std::unique_ptr<Node> root = std::make_unique<Node>();
    StoreState state = StoreState::Missing;
    QString problem;
};

void ensureRunKey(Node &root)
{
    bool created = false;
    createNode(root, runKeyLevels(), &created);
}

// The last warning about the store file: every call reads the file, and one damaged file is
// reported once (until it changes or a write replaces it).
QString &lastWarning()
{
    static QString last;
    return last;
}

void warnOnce(const QString &message, const QString &fileState = QString())
{
    const QString key = message + fileState;
    if (key == lastWarning())
        return;
    lastWarning() = key;
    qCWarning(lcRegistry).noquote() << message;
}

bool fillTree(const RegeditContents &contents, Node &root, QString *problem)
{
    const QString rootName = registryRootName(HKEY_CURRENT_USER);
    for (const RegeditKey &key : contents.keys) {
        const qsizetype slash = key.name.indexOf(QLatin1Char('\\'));
        const QString keyRoot = slash < 0 ? key.name : key.name.left(slash);
        if (keyRoot.compare(rootName, Qt::CaseInsensitive) != 0) {
            *problem = QStringLiteral("раздел «%1» не из HKEY_CURRENT_USER").arg(key.name);
            return false;
        }
        QStringList levels;
        if (splitKeyPath(slash < 0 ? QString() : key.name.mid(slash + 1), &levels) !=
            ERROR_SUCCESS) {
            *problem = QStringLiteral("слишком длинное имя раздела «%1»").arg(key.name.left(80));
            return false;
        }
        bool created = false;
        Node *node = createNode(root, levels, &created);
        for (const RegeditValue &value : key.values) {
            if (value.name.size() > MaxValueNameLength) {
                *problem = QStringLiteral("слишком длинное имя значения в разделе «%1»")
                               .arg(key.name.left(80));
                return false;
            }
            node->setValue(value.name, value.type, value.data);
        }
    }
    return true;
}

Store loadStore(const QString &path)
{
    Store store;
    const QFileInfo info(path);
    if (!info.exists()) {
        ensureRunKey(*store.root);
        return store;
    }
    QFile file(path);
    if (info.size() > MaxRegistryFileSize) {
        store.state = StoreState::Damaged;
        store.problem = QStringLiteral("файл больше 64 МиБ");
    } else if (!file.open(QIODevice::ReadOnly)) {
        store.state = StoreState::Unreadable;
        store.problem = file.errorString();
    } else {
        const QByteArray bytes = file.read(MaxRegistryFileSize + 1);
        const RegeditContents contents = readRegeditFile(bytes, RegeditReading::Strict);
        QString problem;
        if (contents.errorLine > 0) {
            store.state = StoreState::Damaged;
            store.problem =
                QStringLiteral("строка %1: %2").arg(contents.errorLine).arg(contents.error);
        } else if (!fillTree(contents, *store.root, &problem)) {
            store.state = StoreState::Damaged;
            store.problem = problem;
        } else {
            store.state = StoreState::Fine;
        }
    }
    const QString fileState =
        QStringLiteral(" %1 %2").arg(info.size()).arg(info.lastModified().toMSecsSinceEpoch());
    if (store.state == StoreState::Damaged) {
        store.root = std::make_unique<Node>();
        warnOnce(QStringLiteral("Файл реестра «%1» повреждён (%2); реестр читается пустым.")
                     .arg(QDir::toNativeSeparators(path), store.problem),
                 fileState);
    } else if (store.state == StoreState::Unreadable) {
        warnOnce(QStringLiteral("Файл реестра «%1» не читается (%2); реестр читается пустым.")
                     .arg(QDir::toNativeSeparators(path), store.problem),
                 fileState);
    }
    ensureRunKey(*store.root);
    return store;
}

void appendTree(QList<RegeditKey> &keys, const Node &node, const QString &name)
{
    keys.append(RegeditKey{name, node.values});
    for (const auto &child : node.children)
        appendTree(keys, *child, name + QLatin1Char('\\') + child->name);
}

long saveStore(const QString &path, const Store &store)
{
    if (store.state == StoreState::Unreadable)
        return ERROR_CANTREAD;
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        warnOnce(QStringLiteral("Не удается создать папку файла реестра «%1».")
                     .arg(QDir::toNativeSeparators(path)));
        return ERROR_CANTWRITE;
    }
    if (store.state == StoreState::Damaged && QFileInfo::exists(path)) {
        const QString aside = path + QStringLiteral(".damaged");
        QFile::remove(aside);
        if (QFile::rename(path, aside))
            qCWarning(lcRegistry).noquote()
                << QStringLiteral("Повреждённый файл реестра сохранён как «%1».")
                       .arg(QDir::toNativeSeparators(aside));
    }
    QList<RegeditKey> keys;
    appendTree(keys, *store.root, registryRootName(HKEY_CURRENT_USER));
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(writeRegeditFile(keys));
        if (file.commit()) {
            lastWarning().clear();
            return ERROR_SUCCESS;
        }
    }
    warnOnce(QStringLiteral("Не удается записать файл реестра «%1»: %2")
                 .arg(QDir::toNativeSeparators(path), file.errorString()));
    return ERROR_CANTWRITE;
}

struct OpenKey
{
    HKEY root = 0;
    QStringList path;
};

struct State
{
    QRecursiveMutex mutex;
    std::unordered_map<HKEY, OpenKey> handles;
    HKEY nextHandle = 1;

    // The batch of RegistryBatch, while one is open.
    int batchDepth = 0;
    QString batchPath;
    std::unique_ptr<QLockFile> batchLock;
    long batchLockCode = ERROR_SUCCESS;
    Store batchStore;
    bool batchDirty = false;
};

State &state()
{
    static State s;
    return s;
}

bool isPredefined(HKEY key)
{
    return key >= HKEY_CLASSES_ROOT && key <= HKEY_DYN_DATA;
}

std::optional<OpenKey> resolve(HKEY key)
{
    if (isPredefined(key))
        return OpenKey{key, {}};
    const auto it = state().handles.find(key);
    if (it == state().handles.end())
        return std::nullopt;
    return it->second;
}

// The root and the full path of subKey below an open handle.
long resolvePath(HKEY key, const QString &subKey, OpenKey *out)
{
    const auto base = resolve(key);
    if (!base)
        return ERROR_INVALID_HANDLE;
    *out = *base;
    return splitKeyPath(subKey, &out->path);
}

HKEY addHandle(OpenKey key)
{
    State &s = state();
    HKEY handle = s.nextHandle++;
    if (isPredefined(handle) || handle == 0) {
        s.nextHandle = HKEY_DYN_DATA + 1;
        handle = s.nextHandle++;
    }
    s.handles.emplace(handle, std::move(key));
    return handle;
}

// Runs f(root) on the store as this thread sees it: the batch's reading, else a fresh one.
template <typename F> long readStore(F &&f)
{
    State &s = state();
    if (s.batchDepth > 0)
        return f(*s.batchStore.root);
    Store store = loadStore(registryStorePath());
    return f(*store.root);
}

// Runs f(root, &changed) under the writer's lock on a fresh reading and writes the store when
// the tree changed.
template <typename F> long writeStore(F &&f)
{
    State &s = state();
    if (s.batchDepth > 0) {
        if (s.batchLockCode != ERROR_SUCCESS)
            return s.batchLockCode;
        bool changed = false;
        const long code = f(*s.batchStore.root, &changed);
        s.batchDirty = s.batchDirty || changed;
        return code;
    }
    const QString path = registryStorePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lockStore(lock))
        return ERROR_LOCK_VIOLATION;
    Store store = loadStore(path);
    bool changed = false;
    long code = f(*store.root, &changed);
    if (changed) {
        const long saved = saveStore(path, store);
        if (code == ERROR_SUCCESS)
            code = saved;
    }
    return code;
}

// The command of a text value that can be an autostart entry: one line of text, not blank.
std::optional<QString> commandText(quint32 type, const QByteArray &data)
{
    if (type != REG_SZ)
        return std::nullopt;
    auto text = singleLineText(data);
    if (!text || text->trimmed().isEmpty())
        return std::nullopt;
    return text;
}

// The values of a key as enumeration gives them: the stored ones, and for the Run key the
// present autostart entries after them.
QList<RegeditValue> keyValues(const Node &node, bool runKey)
{
    if (!runKey)
        return node.values;
    const QStringList entries = autostartEntryNames();
    QList<RegeditValue> values;
    for (const RegeditValue &value : node.values) {
        const bool shadowed = std::any_of(entries.begin(), entries.end(), [&](const QString &e) {
            return e.compare(value.name, Qt::CaseInsensitive) == 0;
        });
        if (!shadowed)
            values.append(value);
    }
    for (const QString &entry : entries) {
        if (const auto command = readAutostartEntry(entry))
            values.append(RegeditValue{entry, REG_SZ, textData(*command)});
    }
    return values;
}

// Runs f on the key of an open handle: f(node, path) to read, f(node, path, &changed) under the
// writer's lock to change it. The result of f; ERROR_KEY_DELETED when the key is gone, otherRoot
// for a key outside HKEY_CURRENT_USER.
enum class Access { Read, Write };

template <Access access, typename F> long withOpenKey(HKEY key, long otherRoot, F &&f)
{
    QMutexLocker locker(&state().mutex);
    const auto open = resolve(key);
    if (!open)
        return ERROR_INVALID_HANDLE;
    if (open->root != HKEY_CURRENT_USER)
        return otherRoot;
    if constexpr (access == Access::Read) {
        return readStore([&](Node &root) {
            Node *node = findNode(root, open->path);
            return node ? f(*node, open->path) : ERROR_KEY_DELETED;
        });
    } else {
        return writeStore([&](Node &root, bool *changed) {
            Node *node = findNode(root, open->path);
            return node ? f(*node, open->path, changed) : ERROR_KEY_DELETED;
        });
    }
}

} // namespace

QString registryStorePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/ZEL_Programming.reg");
}

QString registryRootName(HKEY root)
{
    if (!isPredefined(root))
        return {};
    return QString::fromLatin1(RegistryRootNames[root - HKEY_CLASSES_ROOT]);
}

HKEY registryRootFromName(const QString &name)
{
    for (HKEY root = HKEY_CLASSES_ROOT; root <= HKEY_DYN_DATA; ++root) {
        if (name.compare(registryRootName(root), Qt::CaseInsensitive) == 0)
            return root;
    }
    return 0;
}

long regOpenKey(HKEY key, const QString &subKey, HKEY *result)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = 0;
    QMutexLocker locker(&state().mutex);
    OpenKey opened;
    long code = resolvePath(key, subKey, &opened);
    const QStringList &path = opened.path;
    if (code != ERROR_SUCCESS)
        return code;
    if (opened.root == HKEY_CURRENT_USER) {
        code = readStore([&](Node &root) {
            return findNode(root, path) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
        });
    } else if (!path.isEmpty()) {
        code = ERROR_FILE_NOT_FOUND;
    }
    if (code == ERROR_SUCCESS)
        *result = addHandle(opened);
    return code;
}

long regCreateKey(HKEY key, const QString &subKey, const QString &className, HKEY *result,
                  bool *created)
{
    Q_UNUSED(className);
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = 0;
    if (created)
        *created = false;
    QMutexLocker locker(&state().mutex);
    OpenKey opened;
    long code = resolvePath(key, subKey, &opened);
    const QStringList &path = opened.path;
    if (code != ERROR_SUCCESS)
        return code;
    if (opened.root == HKEY_CURRENT_USER) {
        code = writeStore([&](Node &root, bool *changed) {
            createNode(root, path, changed);
            if (created)
                *created = *changed;
            return ERROR_SUCCESS;
        });
    } else if (!path.isEmpty()) {
        code = ERROR_ACCESS_DENIED;
    }
    if (code == ERROR_SUCCESS)
        *result = addHandle(opened);
    return code;
}

long regQueryValue(HKEY key, const QString &name, quint32 *type, QByteArray *data)
{
    return withOpenKey<Access::Read>(
        key, ERROR_FILE_NOT_FOUND, [&](const Node &node, const QStringList &path) {
            std::optional<RegeditValue> value;
            if (isRunKey(path) && isAutostartEntryName(name)) {
                if (const auto command = readAutostartEntry(name))
                    value = RegeditValue{name, REG_SZ, textData(*command)};
            }
            if (!value) {
                const qsizetype at = node.valueIndex(name);
                if (at < 0)
                    return ERROR_FILE_NOT_FOUND;
                value = node.values[at];
            }
            if (type)
                *type = value->type;
            if (data)
                *data = value->data;
            return ERROR_SUCCESS;
        });
}

long regSetValue(HKEY key, const QString &name, quint32 type, const QByteArray &data)
{
    if (name.size() > MaxValueNameLength)
        return ERROR_INVALID_PARAMETER;
    return withOpenKey<Access::Write>(
        key, ERROR_ACCESS_DENIED, [&](Node &node, const QStringList &path, bool *changed) {
            if (isRunKey(path) && isAutostartEntryName(name)) {
                if (const auto command = commandText(type, data)) {
                    if (!writeAutostartEntry(name, *command))
                        return ERROR_CANTWRITE;
                    *changed = node.removeValue(name);
                    return ERROR_SUCCESS;
                }
                // Any other value of this name replaces the entry.
                if (readAutostartEntry(name) && !removeAutostartEntry(name))
                    return ERROR_CANTWRITE;
            }
            *changed = node.setValue(name, type, data);
            return ERROR_SUCCESS;
        });
}

long regDeleteValue(HKEY key, const QString &name)
{
    return withOpenKey<Access::Write>(
        key, ERROR_FILE_NOT_FOUND, [&](Node &node, const QStringList &path, bool *changed) {
            bool found = false;
            if (isRunKey(path) && isAutostartEntryName(name) && readAutostartEntry(name)) {
                if (!removeAutostartEntry(name))
                    return ERROR_CANTWRITE;
                found = true;
            }
            *changed = node.removeValue(name);
            return (found || *changed) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
        });
}

long regDeleteKey(HKEY key, const QString &subKey)
{
    QMutexLocker locker(&state().mutex);
    OpenKey opened;
    if (const long code = resolvePath(key, subKey, &opened))
        return code;
    const QStringList &path = opened.path;
    if (path.isEmpty())
        return ERROR_ACCESS_DENIED;
    if (opened.root != HKEY_CURRENT_USER)
        return ERROR_FILE_NOT_FOUND;
    return writeStore([&](Node &root, bool *changed) {
        Node *node = findNode(root, path);
        if (!node)
            return ERROR_FILE_NOT_FOUND;
        if (!node->children.empty() || isRunKey(path))
            return ERROR_ACCESS_DENIED;
        Node *parent = findNode(root, path.mid(0, path.size() - 1));
        parent->removeChild(path.back());
        *changed = true;
        return ERROR_SUCCESS;
    });
}

long regEnumKey(HKEY key, quint32 index, QString *name)
{
    return withOpenKey<Access::Read>(key, ERROR_NO_MORE_ITEMS,
                                     [&](const Node &node, const QStringList &) {
                                         if (index >= node.children.size())
                                             return ERROR_NO_MORE_ITEMS;
                                         if (name)
                                             *name = node.children[index]->name;
                                         return ERROR_SUCCESS;
                                     });
}

long regEnumValue(HKEY key, quint32 index, QString *name, quint32 *type, QByteArray *data)
{
    return withOpenKey<Access::Read>(
        key, ERROR_NO_MORE_ITEMS, [&](const Node &node, const QStringList &path) {
            const QList<RegeditValue> values = keyValues(node, isRunKey(path));
            if (index >= quint32(values.size()))
                return ERROR_NO_MORE_ITEMS;
            const RegeditValue &value = values[index];
            if (name)
                *name = value.name;
            if (type)
                *type = value.type;
            if (data)
                *data = value.data;
            return ERROR_SUCCESS;
        });
}

long regCloseKey(HKEY key)
{
    QMutexLocker locker(&state().mutex);
    if (isPredefined(key))
        return ERROR_SUCCESS;
    return state().handles.erase(key) > 0 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

QString regMessageText(long code)
{
    static const struct
    {
        long code;
        const char *text;
    } messages[] = {
        {ERROR_SUCCESS, "Операция успешно завершена."},
        {ERROR_FILE_NOT_FOUND, "Не удается найти указанный файл."},
        {ERROR_ACCESS_DENIED, "Отказано в доступе."},
        {ERROR_INVALID_HANDLE, "Неверный дескриптор."},
        {ERROR_LOCK_VIOLATION, "Процесс не может получить доступ к файлу, так как часть этого "
                               "файла заблокирована другим процессом."},
        {ERROR_INVALID_PARAMETER, "Параметр задан неверно."},
        {ERROR_NO_MORE_ITEMS, "Данных больше нет."},
        {ERROR_CANTREAD, "Не удается прочитать раздел реестра."},
        {ERROR_CANTWRITE, "Не удается записать раздел реестра."},
        {ERROR_KEY_DELETED, "Недопустимая операция с разделом реестра, помеченным для удаления."},
    };
    for (const auto &message : messages) {
        if (message.code == code)
            return QString::fromUtf8(message.text);
    }
    return QStringLiteral("Неизвестная ошибка (код %1).").arg(code);
}

RegistryBatch::RegistryBatch()
{
    State &s = state();
    s.mutex.lock();
    if (s.batchDepth++ > 0)
        return;
    m_outer = true;
    s.batchPath = registryStorePath();
    QDir().mkpath(QFileInfo(s.batchPath).absolutePath());
    s.batchLock = std::make_unique<QLockFile>(s.batchPath + QStringLiteral(".lock"));
    // Without the lock (a read-only settings folder, a writer that does not finish) the batch
    // still reads; its changes are refused.
    s.batchLockCode = lockStore(*s.batchLock) ? ERROR_SUCCESS : ERROR_LOCK_VIOLATION;
    s.batchStore = loadStore(s.batchPath);
    s.batchDirty = false;
}

RegistryBatch::~RegistryBatch()
{
    State &s = state();
    if (m_outer) {
        commit();
        s.batchLock.reset();
        s.batchStore = Store{};
        s.batchLockCode = ERROR_SUCCESS;
    }
    --s.batchDepth;
    s.mutex.unlock();
}

long RegistryBatch::commit()
{
    State &s = state();
    if (!m_outer || !s.batchDirty)
        return ERROR_SUCCESS;
    if (s.batchLockCode != ERROR_SUCCESS)
        return s.batchLockCode;
    const long code = saveStore(s.batchPath, s.batchStore);
    if (code == ERROR_SUCCESS) {
        s.batchDirty = false;
        // Written once: a damaged file is set aside only the first time.
        s.batchStore.state = StoreState::Fine;
    }
    return code;
}

} // namespace kelmor::platform
