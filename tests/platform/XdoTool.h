#pragma once

#include <QProcess>
#include <QStringList>

// Types and clicks on the test's X display as a user would, through the XTEST extension. The
// server has handled the input when this returns.
inline bool xdotool(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
}
