// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/desktop.h"

namespace toolkit {

std::optional<QUrl> openableAddress(const QString &address)
{
    const QString text = address.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty())
        return std::nullopt;
    return url;
}

} // namespace toolkit
