// The simulated device's faults: parsing --fault and applying faults to the replies they match.
#include "simdevice_p.h"

namespace {

QString faultKindName(SimFault::Kind kind) {
    switch (kind) {
    case SimFault::Silence:
        return QStringLiteral("silence");
    case SimFault::WrongEcho:
        return QStringLiteral("wrong-echo");
    case SimFault::ShortReply:
        return QStringLiteral("short");
    case SimFault::Delay:
        return QStringLiteral("delay");
    case SimFault::Split:
        return QStringLiteral("split");
    case SimFault::StrayBytes:
        return QStringLiteral("stray");
    case SimFault::HangUp:
        return QStringLiteral("hangup");
    }
    return {};
}

// What one fault does to the reply and to the effect of the faults that matched it before.
void applyFault(const SimFault &fault, int phase, QByteArray &reply, SimFaultEffect &effect) {
    switch (fault.kind) {
    case SimFault::HangUp:
        effect.hangUp = true;
        break;
    case SimFault::Silence:
        effect.silent = effect.rejected = true;
        break;
    case SimFault::WrongEcho: {
        const int checked = phase == 0 ? 0 : reply.size() - 4;
        if (checked >= 0 && checked < reply.size()) {
            reply[checked] = char(reply.at(checked) + 1);
            effect.rejected = true;
        }
        break;
    }
    case SimFault::ShortReply:
        if (fault.count < reply.size()) {
            reply.truncate(fault.count);
            effect.rejected = true;
        }
        break;
    case SimFault::Delay:
        effect.delayNs += qint64(fault.count) * 1'000'000;
        break;
    case SimFault::Split:
        effect.piece = fault.count;
        break;
    case SimFault::StrayBytes:
        effect.stray += QByteArray(fault.count, '\x55');
        effect.rejected = effect.rejected || fault.count > 0;
        break;
    }
}

} // namespace

bool simFaultParse(const QString &text, SimFault *fault, QString *error) {
    const auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    const QStringList parts = text.trimmed().split(QLatin1Char(':'));
    if (parts.size() > 5)
        return fail(QStringLiteral("too many fields in \"%1\"").arg(text));
    SimFault result;
    bool known = false;
    for (int k = SimFault::Silence; k <= SimFault::HangUp; ++k) {
        if (parts.at(0).compare(faultKindName(SimFault::Kind(k)), Qt::CaseInsensitive) == 0) {
            result.kind = SimFault::Kind(k);
            known = true;
        }
    }
    if (!known)
        return fail(QStringLiteral("unknown fault kind \"%1\"").arg(parts.at(0)));
    if (parts.size() > 1 && !parts.at(1).isEmpty() &&
        parts.at(1).compare(QLatin1String("any"), Qt::CaseInsensitive) != 0) {
        QString code = parts.at(1);
        if (code.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
            code = code.mid(2);
        bool ok = false;
        result.command = code.toInt(&ok, 16);
        if (!ok || result.command < 0 || result.command > 0xFF)
            return fail(QStringLiteral("command \"%1\" is not a hex byte or \"any\"").arg(parts.at(1)));
    }
    const auto number = [&parts](int i, int fallback, int min, bool *ok) {
        *ok = true;
        if (parts.size() <= i || parts.at(i).isEmpty())
            return fallback;
        const int value = parts.at(i).toInt(ok);
        *ok = *ok && value >= min;
        return value;
    };
    bool ok = false;
    result.phase = number(2, 0, 0, &ok);
    if (!ok || result.phase > 1)
        return fail(QStringLiteral("phase must be 0 or 1"));
    result.count = number(3, 0, 0, &ok);
    if (!ok)
        return fail(QStringLiteral("count must be a whole number of 0 or more"));
    result.times = number(4, 1, -1, &ok);
    if (!ok)
        return fail(QStringLiteral("times must be -1 (always) or a whole number"));
    *fault = result;
    return true;
}

void SimDevice::addFault(const SimFault &fault) {
    d->faults.append(fault);
}
void SimDevice::clearFaults() {
    d->faults.clear();
}

// Applies the faults that match the reply (counting down their times) and says what they do.
SimFaultEffect SimDevice::applyFaults(quint8 command, int phase, QByteArray &reply) {
    SimFaultEffect effect;
    for (int i = 0; i < d->faults.size();) {
        SimFault &fault = d->faults[i];
        if ((fault.command != -1 && fault.command != command) || fault.phase != phase) {
            ++i;
            continue;
        }
        applyFault(fault, phase, reply, effect);
        if (fault.times > 0 && --fault.times == 0)
            d->faults.removeAt(i);
        else
            ++i;
    }
    return effect;
}
