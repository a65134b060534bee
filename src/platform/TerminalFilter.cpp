#include "TerminalFilter.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cstring>

namespace {

QtMessageHandler previousHandler = nullptr;

bool IsGoneWindowRace(const QMessageLogContext& context, const QString& message)
{
    return context.category && std::strcmp(context.category, "qt.qpa.xcb") == 0
        && message.contains(QLatin1String("(BadWindow)"));
}

void Filter(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (IsGoneWindowRace(context, message))
        return;
    if (previousHandler)
        previousHandler(type, context, message);
    else
        qt_message_output(type, context, message);
}

} // namespace

void TerminalFilter::Install()
{
    previousHandler = qInstallMessageHandler(Filter);
}
