// STUB: simulated device.
#include "simdevice.h"

struct SimDevice::Private {};
SimDevice::SimDevice(QObject *parent) : QObject(parent), m_memory(memorySize, '\0') {}
SimDevice::~SimDevice() = default;
bool SimDevice::start(const QString &, QString *) { return false; }
void SimDevice::stop() {}
bool SimDevice::isRunning() const { return false; }
QString SimDevice::linkPath() const { return {}; }
QString SimDevice::slavePath() const { return {}; }
void SimDevice::setController(SimController) {}
SimController SimDevice::controller() const { return SimController::PIC18F4520; }
void SimDevice::setVersion(quint16) {}
void SimDevice::setDipSwitches(const QByteArray &) {}
void SimDevice::setSerialNumber(quint16) {}
void SimDevice::setStatusByte(quint8) {}
void SimDevice::setBaud(int) {}
int SimDevice::effectiveBaud() const { return 9600; }
void SimDevice::addFault(const SimFault &) {}
void SimDevice::clearFaults() {}
void SimDevice::sendRaw(const QByteArray &) {}
QString SimDevice::locationText() const { return {}; }
QString SimDevice::disclaimerText() const { return {}; }
void SimDevice::onReadable() {}
