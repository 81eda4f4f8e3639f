// SPDX-License-Identifier: MIT
#pragma once
// A notice on the desktop through the freedesktop notification service of the session bus. The call goes
// out without waiting for its answer, so the window never waits on the bus; an error answer (no service,
// none started on demand) is taken as "no service": the window's status tells the same in any case. With
// no session bus named in the environment nothing is sent, rather than a bus being launched.

#include <QString>

namespace coffer {

// `program` names the sender, as the notice shows it; `summary` its first line, `body` the rest.
void SendDesktopNotice(const QString& program, const QString& summary, const QString& body);

} // namespace coffer
