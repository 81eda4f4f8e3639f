// SPDX-License-Identifier: MIT
#pragma once
// Recognising links to the armory and the item database site by their domain labels.

#include <QString>
#include <QStringList>

namespace coffer {

// The second-level label of a base address's host: "http://www.lorehold.example" gives "lorehold".
QString DomainLabel(const QString& baseAddress);

// Whether the address contains any of the labels, letter case ignored.
bool ContainsSiteLabel(const QString& address, const QStringList& labels);

} // namespace coffer
