#include "platform/qt/QtSettingsStore.h"

#include <QMutex>
#include <QMutexLocker>

namespace tessarel {
namespace {

QString KeyOf(const std::string& section, const std::string& key) {
    return QString::fromStdString(section) + QLatin1Char('/') + QString::fromStdString(key);
}

// The reading thread reads ProgramDirectory while the UI thread may read other keys.
QMutex& StoreMutex() {
    static QMutex mutex;
    return mutex;
}

} // namespace

QtSettingsStore::QtSettingsStore() : settings_(QStringLiteral("Quendralight"), QStringLiteral("Tessarel")) {}

std::int32_t QtSettingsStore::readInt(const std::string& section, const std::string& key, std::int32_t def) {
    QMutexLocker lock(&StoreMutex());
    bool ok = false;
    const int value = settings_.value(KeyOf(section, key), def).toInt(&ok);
    return ok ? value : def;
}

std::u16string QtSettingsStore::readString(const std::string& section, const std::string& key,
                                           const std::u16string& def) {
    QMutexLocker lock(&StoreMutex());
    const QVariant value = settings_.value(KeyOf(section, key));
    if (!value.isValid())
        return def;
    return value.toString().toStdU16String();
}

void QtSettingsStore::writeInt(const std::string& section, const std::string& key, std::int32_t value) {
    QMutexLocker lock(&StoreMutex());
    settings_.setValue(KeyOf(section, key), value);
    settings_.sync();
}

void QtSettingsStore::writeString(const std::string& section, const std::string& key,
                                  const std::u16string& value) {
    QMutexLocker lock(&StoreMutex());
    settings_.setValue(KeyOf(section, key), QString::fromStdU16String(value));
    settings_.sync();
}

} // namespace tessarel
