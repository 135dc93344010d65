#include "common/qt/settings_store.h"

#include <QSettings>
#include <QString>

#include <memory>

namespace {

std::string settings_file;

// The registry keeps each value's type; INI text does not, so a DWORD is
// written the way registry exports write it ("dword:0000000a").  A string
// that would read as a typed value gets the "sz:" mark.
const QString DWORD_MARK = "dword:";
const QString STRING_MARK = "sz:";

std::unique_ptr<QSettings> open_settings()
{
    if (!settings_file.empty())
        return std::make_unique<QSettings>(QString::fromStdString(settings_file), QSettings::IniFormat);
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, "Orvo", "Keldana");
}

QString value_path(const std::string& key, const std::string& name)
{
    QString group = QString::fromStdString(settings_group_of(key));
    QString value = QString::fromStdString(name);
    return group.isEmpty() ? value : group + "/" + value;
}

std::optional<QString> read_raw(const std::string& key, const std::string& name)
{
    auto settings = open_settings();
    QVariant value = settings->value(value_path(key, name));
    if (!value.isValid())
        return std::nullopt;
    // An unquoted INI text with commas reads back as a list.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(", ");
    return value.toString();
}

std::string write_failure;

void write_raw(const std::string& key, const std::string& name, const QString& text)
{
    auto settings = open_settings();
    settings->setValue(value_path(key, name), text);
    settings->sync();
    // A folder or a read-only file in place of the INI file: nothing was stored.
    if ((settings->status() != QSettings::NoError || !settings->isWritable()) && write_failure.empty())
        write_failure = settings->fileName().toStdString();
}

}  // namespace

std::string settings_group_of(const std::string& key)
{
    const std::string prefix = "Software\\Orvo\\Keldana\\";
    std::string group = key.compare(0, prefix.size(), prefix) == 0 ? key.substr(prefix.size()) : key;
    for (char& c : group)
        if (c == '\\')
            c = '/';
    return group;
}

std::optional<std::string> read_setting_string(const std::string& key, const std::string& name)
{
    auto raw = read_raw(key, name);
    if (!raw || raw->startsWith(DWORD_MARK))
        return std::nullopt;
    if (raw->startsWith(STRING_MARK))
        return raw->mid(STRING_MARK.size()).toStdString();
    return raw->toStdString();
}

std::optional<uint32_t> read_setting_dword(const std::string& key, const std::string& name)
{
    auto raw = read_raw(key, name);
    if (!raw || !raw->startsWith(DWORD_MARK))
        return std::nullopt;
    QString digits = raw->mid(DWORD_MARK.size());
    bool ok = false;
    qulonglong value = digits.toULongLong(&ok, 16);
    if (!ok || digits.isEmpty() || digits.size() > 8 || value > 0xFFFFFFFFull)
        return std::nullopt;
    return static_cast<uint32_t>(value);
}

void write_setting_string(const std::string& key, const std::string& name, const std::string& text)
{
    QString value = QString::fromStdString(text);
    if (value.startsWith(DWORD_MARK) || value.startsWith(STRING_MARK))
        value = STRING_MARK + value;
    write_raw(key, name, value);
}

void write_setting_dword(const std::string& key, const std::string& name, uint32_t value)
{
    write_raw(key, name, DWORD_MARK + QString("%1").arg(value, 8, 16, QChar('0')));
}

void set_settings_file(const std::string& path) { settings_file = path; }

std::string take_settings_write_failure()
{
    std::string file;
    file.swap(write_failure);
    return file;
}
