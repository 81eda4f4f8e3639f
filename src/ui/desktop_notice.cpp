// SPDX-License-Identifier: MIT
#include "ui/desktop_notice.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QGuiApplication>
#include <QStringList>
#include <QVariantMap>

namespace coffer {

void SendDesktopNotice(const QString& program, const QString& summary, const QString& body) {
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return;
    const QString service = QStringLiteral("org.freedesktop.Notifications");
    QDBusMessage notify = QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/Notifications"),
                                                         service, QStringLiteral("Notify"));
    // The program's menu entry, where it has one, lends the notice its icon.
    QVariantMap hints;
    if (const QString entry = QGuiApplication::desktopFileName(); !entry.isEmpty())
        hints.insert(QStringLiteral("desktop-entry"), entry);
    notify << program << quint32{0} << QString() << summary << body << QStringList() << hints << qint32{-1};
    QDBusConnection::sessionBus().asyncCall(notify);
}

} // namespace coffer
