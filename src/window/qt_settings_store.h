#pragma once
// The stored settings as an INI file in the user's configuration folder
// (Brackenfold/Tarnwick.ini): integers and Booleans as numbers, strings as
// text.

#include "window/settings.h"

#include <QSettings>

#include <memory>

namespace tarnwick {

class QtSettingsStore : public SettingsStore {
public:
    QtSettingsStore();
    ~QtSettingsStore() override;

    bool openForReading() override;
    bool openForWriting() override;
    bool contains(const std::string& name) override;
    std::optional<int32_t> readInteger(const std::string& name) override;
    std::optional<bool> readBoolean(const std::string& name) override;
    std::optional<std::string> readString(const std::string& name) override;
    void writeInteger(const std::string& name, int32_t value) override;
    void writeBoolean(const std::string& name, bool value) override;
    void writeString(const std::string& name, const std::string& value) override;
    void finishWriting() override;

    QString fileName() const;

private:
    std::unique_ptr<QSettings> settings_;
};

} // namespace tarnwick
