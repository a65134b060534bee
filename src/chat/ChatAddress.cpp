#include "ChatAddress.h"

namespace ChatAddress {

QString UserPart(const QString& address)
{
    const int at = address.indexOf(QLatin1Char('@'));
    return at < 0 ? QString() : address.left(at).trimmed();
}

bool IsFrom(const QString& address, const QString& userName)
{
    const QString user = UserPart(address);
    return !user.isEmpty() && user.compare(userName, Qt::CaseInsensitive) == 0;
}

bool IsServer(const QString& address, const QString& domain)
{
    if (domain.isEmpty() || address.contains(QLatin1Char('@')))
        return false;
    const QString bare = address.section(QLatin1Char('/'), 0, 0);
    return bare.compare(domain, Qt::CaseInsensitive) == 0;
}

bool IsUsableUserName(const QString& userName)
{
    return !userName.isEmpty() && userName != QLatin1String(".") && userName != QLatin1String("..")
        && !userName.contains(QLatin1Char('/')) && !userName.contains(QLatin1Char('\\'))
        && !userName.contains(QChar(0));
}

} // namespace ChatAddress
