// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <mutex>
#include <optional>

// The per-user preferences store. Every read goes to the store, so a value written anywhere
// (another object, another thread) is seen at the next use. Registered defaults stay in memory.
class UserDefaults {
public:
    static UserDefaults& standard();

    void registerDefaults(const QVariantMap& defaults);
    // A value for this run only, as the command line gives one: it wins over the stored value and
    // is never written to the store; writing the key (setObjectForKey) drops it, as does an
    // absent value.
    void setArgumentValue(const QString& key, const std::optional<QVariant>& value);
    // The argument value, else stored value, else registered default, else absent.
    std::optional<QVariant> objectForKey(const QString& key) const;
    // A string value, or absent when nothing usable is stored or registered.
    std::optional<QString> stringForKey(const QString& key) const;
    bool boolForKey(const QString& key) const;
    // An absent value removes the key from the store.
    void setObjectForKey(const std::optional<QVariant>& value, const QString& key);

private:
    UserDefaults() = default;

    mutable std::mutex registeredMutex;
    QVariantMap registered;
    QVariantMap arguments; // guarded by registeredMutex as well
};
