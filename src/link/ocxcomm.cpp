// STUB: serial control.
#include "link/ocxcomm.h"

QString commPortDeviceName(int n, const QString &) { return QStringLiteral("/dev/ttyS%1").arg(n - 1); }
OcxComm::OcxComm(const QString &programFolder, QObject *parent) : QObject(parent), m_programFolder(programFolder) {}
OcxComm::~OcxComm() = default;
CommError OcxComm::setCommPort(int n) { m_commPort = n; return {}; }
CommError OcxComm::setSettings(const QString &settings) { m_settings = settings; return {}; }
bool OcxComm::PortOpen() const { return false; }
CommError OcxComm::setPortOpen(bool) { return {}; }
void OcxComm::Output(const QByteArray &) {}
int OcxComm::InBufferCount() const { return 0; }
QByteArray OcxComm::Input() { return {}; }
QString OcxComm::deviceName() const { return commPortDeviceName(m_commPort, m_programFolder); }
void OcxComm::handleError(int) {}
