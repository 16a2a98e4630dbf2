// The simulated device: its construction and the settings tests and kelvane-sim give it.
#include "simdevice_p.h"

#include <QDeadlineTimer>
#include <QTimeZone>

namespace {

const QList<quint32> defaultCounters = {1523, 312, 14650, 3};

} // namespace

SimDevice::SimDevice(QObject *parent)
    : QObject(parent), d(std::make_unique<Private>()), m_memory(memorySize, '\0') {
    d->elapsed.start();
    d->monotonicBaseNs = QDeadlineTimer::current(Qt::PreciseTimer).deadlineNSecs();
    for (QTimer *timer : {&d->rxTimer, &d->txTimer, &d->payloadTimer}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    connect(&d->rxTimer, &QTimer::timeout, this, &SimDevice::processArrived);
    connect(&d->txTimer, &QTimer::timeout, this, &SimDevice::flushDue);
    connect(&d->payloadTimer, &QTimer::timeout, this, &SimDevice::onPayloadTimeout);

    // The battery-backed clock runs from the PC's local time until it is programmed.
    const QDateTime local = QDateTime::currentDateTime();
    d->clockBase = QDateTime(local.date(), local.time(), QTimeZone::utc());
    d->clockBaseNs = d->now();
    d->clockWeekday = local.date().dayOfWeek() % 7 + 1;
    m_memory.replace(addrClock, clockLen, clockBytes());
    setAuditCounters(defaultCounters);
}

SimDevice::~SimDevice() {
    stop();
}

void SimDevice::setController(SimController controller) {
    d->controller = controller;
}
SimController SimDevice::controller() const {
    return d->controller;
}
void SimDevice::setVersion(quint16 versionTimes100) {
    d->version = versionTimes100;
}
void SimDevice::setDipSwitches(const QByteArray &banks) {
    d->dip = banks.leftJustified(4, '\0', true);
}
void SimDevice::setSerialNumber(quint16 serial) {
    d->serial = serial;
}
void SimDevice::setStatusByte(quint8 status) {
    d->status = status;
}
