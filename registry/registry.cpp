#include "registry/registry.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QProcessEnvironment>
#include <QSaveFile>

#include <cmath>
#include <optional>

namespace kelmor::registry {

using namespace kelmor::platform;

namespace {

Q_LOGGING_CATEGORY(lcRegistryClass, "kelmor.registry.files", QtWarningMsg)

const QString ErrorSource = QStringLiteral("RegistryClass");
constexpr int MaxMessageLength = 255;

// A key opened for the length of one member.
class OpenedKey
{
public:
    OpenedKey() = default;
    ~OpenedKey() { close(); }
    OpenedKey(const OpenedKey &) = delete;
    OpenedKey &operator=(const OpenedKey &) = delete;

    HKEY *out() { return &m_handle; }
    HKEY handle() const { return m_handle; }
    explicit operator bool() const { return m_handle != 0; }
    void close()
    {
        if (m_handle)
            regCloseKey(m_handle);
        m_handle = 0;
    }

private:
    HKEY m_handle = 0;
};

// The result check after every registry call.
long check(long code, OpenedKey *open = nullptr)
{
    if (code == ERROR_SUCCESS || code == ERROR_FILE_NOT_FOUND || code == ERROR_NO_MORE_ITEMS)
        return code;
    if (open)
        open->close();
    throw RegistryError(code, regMessageText(code).left(MaxMessageLength));
}

[[noreturn]] void raiseUnsupportedType()
{
    throw RegistryError(1, UnsupportedTypeText);
}

QString typeName(quint32 type)
{
    switch (type) {
    case REG_SZ:
        return QStringLiteral("REG_SZ");
    case REG_EXPAND_SZ:
        return QStringLiteral("REG_EXPAND_SZ");
    case REG_BINARY:
        return QStringLiteral("REG_BINARY");
    case REG_DWORD:
        return QStringLiteral("REG_DWORD");
    case REG_MULTI_SZ:
        return QStringLiteral("REG_MULTI_SZ");
    default:
        return {};
    }
}

QByteArray valueBytes(const QVariant &value, quint32 type)
{
    if (value.typeId() == QMetaType::QByteArray)
        return value.toByteArray();
    if (type == REG_MULTI_SZ && value.typeId() == QMetaType::QStringList) {
        QByteArray bytes;
        for (const QString &item : value.toStringList()) {
            bytes += item.toUtf8();
            bytes += '\0';
        }
        return bytes;
    }
    return value.toString().toUtf8();
}

constexpr qulonglong MaxDword = 4294967295ULL;

// The 32-bit pattern of a whole number from 0 to 4294967295.
std::optional<quint32> dwordPattern(const QVariant &value)
{
    bool ok = false;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short: {
        const qlonglong number = value.toLongLong(&ok);
        if (ok && number >= 0 && qulonglong(number) <= MaxDword)
            return quint32(number);
        return std::nullopt;
    }
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort: {
        const qulonglong number = value.toULongLong(&ok);
        if (ok && number <= MaxDword)
            return quint32(number);
        return std::nullopt;
    }
    case QMetaType::Double:
    case QMetaType::Float: {
        const double number = value.toDouble();
        if (std::isfinite(number) && number >= 0 && number <= double(MaxDword) &&
            std::floor(number) == number)
            return quint32(number);
        return std::nullopt;
    }
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        const QString text = value.toString().trimmed();
        const qulonglong number = text.toULongLong(&ok, 10);
        if (ok && !text.startsWith(QLatin1Char('-')) && number <= MaxDword)
            return quint32(number);
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

// The data of a value as Value gives it.
QVariant valueFromData(quint32 type, QByteArray data)
{
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_MULTI_SZ:
    case REG_BINARY: {
        // The terminating zero byte that writing adds.
        if (!data.isEmpty() && data.back() == '\0')
            data.chop(1);
        if (type == REG_BINARY)
            return data;
        const QString text = QString::fromUtf8(data);
        return type == REG_EXPAND_SZ ? expandEnvironmentStrings(text) : text;
    }
    case REG_DWORD: {
        quint32 number = 0;
        for (qsizetype i = std::min<qsizetype>(data.size(), 4) - 1; i >= 0; --i)
            number = (number << 8) | static_cast<unsigned char>(data[i]);
        return QVariant::fromValue(number);
    }
    default:
        raiseUnsupportedType();
    }
}

QString normalizedPath(const QString &path)
{
    return path.split(QLatin1Char('\\'), Qt::SkipEmptyParts).join(QLatin1Char('\\'));
}

void appendKeyTree(QByteArray &out, HKEY handle, const QString &fullName)
{
    RegeditKey key{fullName, {}};
    for (quint32 i = 0;; ++i) {
        RegeditValue value;
        if (check(regEnumValue(handle, i, &value.name, &value.type, &value.data)) != ERROR_SUCCESS)
            break;
        // The default value comes first, right under the key line.
        if (value.name.isEmpty())
            key.values.prepend(value);
        else
            key.values.append(value);
    }
    appendRegeditKey(out, key);
    for (quint32 i = 0;; ++i) {
        QString subKey;
        if (check(regEnumKey(handle, i, &subKey)) != ERROR_SUCCESS)
            break;
        OpenedKey child;
        check(regOpenKey(handle, subKey, child.out()));
        if (child)
            appendKeyTree(out, child.handle(), fullName + QLatin1Char('\\') + subKey);
    }
}

} // namespace

RegistryError::RegistryError(long number, const QString &description)
    : std::runtime_error(description.toStdString())
    , m_number(number)
    , m_description(description)
{
}

QString RegistryError::source() const
{
    return ErrorSource;
}

QString expandEnvironmentStrings(const QString &text)
{
    if (!text.contains(QLatin1Char('%')))
        return text;
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QStringList names = environment.keys();
    auto lookup = [&](QStringView name) -> QString {
        for (const QString &candidate : names) {
            if (QStringView(candidate).compare(name, Qt::CaseInsensitive) == 0)
                return environment.value(candidate);
        }
        return {};
    };
    QString out;
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype open = text.indexOf(QLatin1Char('%'), i);
        if (open < 0) {
            out += QStringView(text).mid(i);
            break;
        }
        out += QStringView(text).mid(i, open - i);
        const qsizetype close = text.indexOf(QLatin1Char('%'), open + 1);
        if (close < 0) {
            out += QStringView(text).mid(open);
            break;
        }
        const QStringView name = QStringView(text).mid(open + 1, close - open - 1);
        const QString value = name.isEmpty() ? QString() : lookup(name);
        if (value.isEmpty()) {
            // Not a reference: keep the "%" and look again from the next one.
            out += QLatin1Char('%');
            i = open + 1;
            continue;
        }
        out += value;
        i = close + 1;
    }
    return out;
}

QString Registry::RootName(HKEY root)
{
    return registryRootName(root);
}

void Registry::SetValue(HKEY root, const QString &path, const QString &name, quint32 type,
                        const QVariant &value)
{
    if (type == REG_NONE)
        type = REG_SZ;
    QByteArray data;
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_BINARY:
    case REG_MULTI_SZ:
        data = valueBytes(value, type);
        data += '\0';
        break;
    case REG_DWORD: {
        const auto pattern = dwordPattern(value);
        if (!pattern)
            throw RegistryError(2, QStringLiteral("Значение типа REG_DWORD должно быть целым "
                                                  "числом от 0 до 4294967295."));
        for (int i = 0; i < 4; ++i)
            data += char((*pattern >> (8 * i)) & 0xFF);
        break;
    }
    default:
        raiseUnsupportedType();
    }
    OpenedKey key;
    check(regCreateKey(root, path, typeName(type), key.out()), &key);
    check(regSetValue(key.handle(), name, type, data), &key);
}

QVariant Registry::Value(HKEY root, const QString &path, const QString &name, quint32 type)
{
    Q_UNUSED(type);
    OpenedKey key;
    if (check(regOpenKey(root, path, key.out()), &key) == ERROR_FILE_NOT_FOUND)
        return {};
    quint32 valueType = REG_NONE;
    QByteArray data;
    if (check(regQueryValue(key.handle(), name, &valueType, &data), &key) == ERROR_FILE_NOT_FOUND)
        raiseUnsupportedType();
    return valueFromData(valueType, data);
}

bool Registry::IsThere(HKEY root, const QString &path, const QString &name)
{
    OpenedKey key;
    if (check(regOpenKey(root, path, key.out()), &key) == ERROR_FILE_NOT_FOUND)
        return false;
    if (name.isEmpty())
        return true;
    return check(regQueryValue(key.handle(), name, nullptr, nullptr), &key) != ERROR_FILE_NOT_FOUND;
}

bool Registry::DeleteValue(HKEY root, const QString &path, const QString &name)
{
    if (name.isEmpty())
        return false;
    OpenedKey key;
    if (check(regOpenKey(root, path, key.out()), &key) == ERROR_SUCCESS)
        check(regDeleteValue(key.handle(), name), &key);
    return true;
}

bool Registry::DeleteKey(HKEY root, const QString &path)
{
    OpenedKey key;
    if (check(regOpenKey(root, path, key.out()), &key) == ERROR_SUCCESS)
        check(regDeleteKey(key.handle(), QString()), &key);
    return true;
}

QStringList Registry::SubKeys(HKEY root, const QString &path)
{
    RegistryBatch snapshot;
    OpenedKey key;
    QStringList names;
    if (check(regOpenKey(root, path, key.out()), &key) != ERROR_SUCCESS)
        return names;
    for (quint32 i = 0;; ++i) {
        QString name;
        if (check(regEnumKey(key.handle(), i, &name), &key) != ERROR_SUCCESS)
            break;
        names << name;
    }
    return names;
}

QList<Registry::NamedValue> Registry::SubValues(HKEY root, const QString &path)
{
    RegistryBatch snapshot;
    OpenedKey key;
    QList<NamedValue> rows;
    if (check(regOpenKey(root, path, key.out()), &key) != ERROR_SUCCESS)
        return rows;
    for (quint32 i = 0;; ++i) {
        QString name;
        quint32 type = REG_NONE;
        QByteArray data;
        if (check(regEnumValue(key.handle(), i, &name, &type, &data), &key) != ERROR_SUCCESS)
            break;
        rows.append({name, valueFromData(type, data)});
    }
    return rows;
}

quint32 Registry::ValueType(HKEY root, const QString &path, const QString &name)
{
    OpenedKey key;
    if (check(regOpenKey(root, path, key.out()), &key) != ERROR_SUCCESS)
        return REG_NONE;
    quint32 type = REG_NONE;
    if (check(regQueryValue(key.handle(), name, &type, nullptr), &key) != ERROR_SUCCESS)
        return REG_NONE;
    return type;
}

bool Registry::SaveToFile(HKEY root, const QString &path, const QString &fileName)
{
    if (fileName.isEmpty())
        return false;
    const QString rootName = registryRootName(root);
    if (rootName.isEmpty())
        return false;
    QByteArray out = regeditHeader();
    {
        RegistryBatch snapshot;
        OpenedKey key;
        if (check(regOpenKey(root, path, key.out()), &key) != ERROR_SUCCESS)
            return false;
        const QString keyPath = normalizedPath(path);
        appendKeyTree(out, key.handle(),
                      keyPath.isEmpty() ? rootName : rootName + QLatin1Char('\\') + keyPath);
    }
    QSaveFile file(fileName);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(out);
        if (file.commit())
            return true;
    }
    qCWarning(lcRegistryClass).noquote()
        << QStringLiteral("Не удается записать файл реестра «%1»: %2")
               .arg(QDir::toNativeSeparators(fileName), file.errorString());
    return false;
}

bool Registry::LoadFromFile(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (file.size() > MaxRegistryFileSize) {
        qCWarning(lcRegistryClass).noquote()
            << QStringLiteral("Файл реестра «%1» больше 64 МиБ и не читается.")
                   .arg(QDir::toNativeSeparators(fileName));
        return false;
    }
    const QByteArray bytes = file.read(MaxRegistryFileSize + 1);
    file.close();
    const RegeditContents contents = readRegeditFile(bytes, RegeditReading::Lenient);
    if (!contents.isRegedit)
        return false;

    RegistryBatch batch;
    for (const RegeditKey &entry : contents.keys) {
        const qsizetype slash = entry.name.indexOf(QLatin1Char('\\'));
        const HKEY root = registryRootFromName(slash < 0 ? entry.name : entry.name.left(slash));
        if (!root)
            continue;
        OpenedKey key;
        check(regCreateKey(root, slash < 0 ? QString() : entry.name.mid(slash + 1), QString(),
                           key.out()),
              &key);
        if (!key)
            continue;
        for (const RegeditValue &value : entry.values)
            check(regSetValue(key.handle(), value.name, value.type, value.data), &key);
    }
    check(batch.commit());
    return true;
}

} // namespace kelmor::registry
