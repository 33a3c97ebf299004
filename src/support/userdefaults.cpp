// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/userdefaults.h"

#include <QSettings>

namespace {

// A fresh QSettings per use: it is cheap (Qt shares the parsed file between instances) and,
// unlike a shared instance, safe on any thread.
QSettings openStore() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Modgate"),
                     QStringLiteral("Modgate"));
}

} // namespace

UserDefaults& UserDefaults::standard() {
    static UserDefaults defaults;
    return defaults;
}

void UserDefaults::registerDefaults(const QVariantMap& defaults) {
    std::lock_guard lock(registeredMutex);
    for (auto it = defaults.cbegin(); it != defaults.cend(); ++it)
        registered.insert(it.key(), it.value());
}

void UserDefaults::setArgumentValue(const QString& key, const std::optional<QVariant>& value) {
    std::lock_guard lock(registeredMutex);
    if (value)
        arguments.insert(key, *value);
    else
        arguments.remove(key);
}

std::optional<QVariant> UserDefaults::objectForKey(const QString& key) const {
    {
        std::lock_guard lock(registeredMutex);
        if (const auto it = arguments.constFind(key); it != arguments.cend())
            return it.value();
    }
    {
        QSettings store = openStore();
        if (store.contains(key))
            return store.value(key);
    }
    std::lock_guard lock(registeredMutex);
    const auto it = registered.constFind(key);
    if (it != registered.cend())
        return it.value();
    return std::nullopt;
}

std::optional<QString> UserDefaults::stringForKey(const QString& key) const {
    const auto value = objectForKey(key);
    if (!value || !value->canConvert<QString>())
        return std::nullopt;
    // Qt hands an empty stored string back as a null QString; it is still a value.
    QString text = value->toString();
    if (text.isNull())
        text = QLatin1String("");
    return text;
}

bool UserDefaults::boolForKey(const QString& key) const {
    const auto value = objectForKey(key);
    return value && value->toBool();
}

void UserDefaults::setObjectForKey(const std::optional<QVariant>& value, const QString& key) {
    {
        // The player's own choice outlasts what the command line said.
        std::lock_guard lock(registeredMutex);
        arguments.remove(key);
    }
    QSettings store = openStore();
    if (value)
        store.setValue(key, *value);
    else
        store.remove(key);
    store.sync();
}
