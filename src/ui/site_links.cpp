// SPDX-License-Identifier: MIT
#include "ui/site_links.h"

#include <QUrl>

namespace coffer {

QString DomainLabel(const QString& baseAddress) {
    const QStringList labels = QUrl(baseAddress).host().split(u'.', Qt::SkipEmptyParts);
    return labels.size() >= 2 ? labels[labels.size() - 2] : labels.value(0);
}

bool ContainsSiteLabel(const QString& address, const QStringList& labels) {
    for (const QString& label : labels)
        if (!label.isEmpty() && address.contains(label, Qt::CaseInsensitive))
            return true;
    return false;
}

} // namespace coffer
