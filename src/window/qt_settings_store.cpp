#include "qt_settings_store.h"

#include <QFileInfo>

#include <climits>

namespace tarnwick {

namespace {

QString key(const std::string& name) {
    return QString::fromStdString(name);
}

// A stored integer: a number written in decimal within 32 bits.
std::optional<int32_t> integerOf(const QVariant& value) {
    bool ok = false;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: {
        const qlonglong n = value.toLongLong(&ok);
        if (!ok || n < INT_MIN || n > INT_MAX) return std::nullopt;
        return static_cast<int32_t>(n);
    }
    case QMetaType::QString: break;
    default: return std::nullopt;
    }
    const int n = value.toString().trimmed().toInt(&ok, 10);
    if (!ok) return std::nullopt;
    return n;
}

} // namespace

QtSettingsStore::QtSettingsStore()
    : settings_(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                            QStringLiteral("Brackenfold"),
                                            QStringLiteral("Tarnwick"))) {}

QtSettingsStore::~QtSettingsStore() = default;

QString QtSettingsStore::fileName() const {
    return settings_->fileName();
}

bool QtSettingsStore::openForReading() {
    return QFileInfo::exists(settings_->fileName()) && settings_->status() == QSettings::NoError;
}

bool QtSettingsStore::openForWriting() {
    return settings_->isWritable();
}

bool QtSettingsStore::contains(const std::string& name) {
    return settings_->contains(key(name));
}

std::optional<int32_t> QtSettingsStore::readInteger(const std::string& name) {
    return integerOf(settings_->value(key(name)));
}

// Booleans are written as 0 and 1; any other number reads as true, and the
// words true and false are understood as well.
std::optional<bool> QtSettingsStore::readBoolean(const std::string& name) {
    const QVariant value = settings_->value(key(name));
    if (value.typeId() == QMetaType::Bool) return value.toBool();
    if (value.typeId() == QMetaType::QString) {
        const QString word = value.toString().trimmed();
        if (word.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) return true;
        if (word.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) return false;
    }
    if (const auto n = integerOf(value)) return *n != 0;
    return std::nullopt;
}

std::optional<std::string> QtSettingsStore::readString(const std::string& name) {
    const QVariant value = settings_->value(key(name));
    if (value.typeId() != QMetaType::QString) return std::nullopt;
    return value.toString().toStdString();
}

void QtSettingsStore::writeInteger(const std::string& name, int32_t value) {
    settings_->setValue(key(name), value);
}

void QtSettingsStore::writeBoolean(const std::string& name, bool value) {
    settings_->setValue(key(name), value ? 1 : 0);
}

void QtSettingsStore::writeString(const std::string& name, const std::string& value) {
    settings_->setValue(key(name), QString::fromStdString(value));
}

void QtSettingsStore::finishWriting() {
    settings_->sync();
}

} // namespace tarnwick
