// STUB: profile functions.
#include "shell/codewindows.h"

QString ProfileStringGet(const QString &, const QString &, const QString &DefaultValue, const QString &)
{
    return DefaultValue;
}
qint64 ProfileIntGet(const QString &, const QString &, qint64 DefaultValue, const QString &) { return DefaultValue; }
bool ProfileStringWrite(const QString &, const QString &, const QString &, const QString &) { return false; }
