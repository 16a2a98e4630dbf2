#include "link/ocxcomm.h"
#include "textfiles/texthelpers.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPort>
#include <QTimer>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <termios.h>
#endif

QString commErrorText(int number) {
    switch (number) {
    case commErrNone:
        return {};
    case commErrPortOpen:
        return QStringLiteral("Operation not valid while the port is open");
    case commErrPortNotFound:
        return QStringLiteral("Port not found");
    case commErrInvalidPort:
        return QStringLiteral("Invalid port number");
    case commErrInvalidSettings:
        return QStringLiteral("Invalid settings");
    case commErrPermission:
        return QStringLiteral("Permission denied");
    case commErrInUse:
        return QStringLiteral("Port already in use");
    case commErrAlreadyOpen:
        return QStringLiteral("Port already open");
    case commErrUnsupported:
        return QStringLiteral("Port does not accept the line settings");
    case commErrResource:
        return QStringLiteral("Port no longer available");
    case commErrRead:
        return QStringLiteral("Error reading from the port");
    case commErrWrite:
        return QStringLiteral("Error writing to the port");
    case commErrTimeout:
        return QStringLiteral("Port timed out");
    case commErrNotOpen:
        return QStringLiteral("Port not open");
    default:
        return QStringLiteral("Unknown port error");
    }
}

QString commPortDeviceName(int n, const QString &programFolder) {
#ifdef Q_OS_WIN
    Q_UNUSED(programFolder);
    return QStringLiteral("COM%1").arg(n);
#else
    // An entry in the program's folder wins, even a dangling link: the operator meant that port,
    // so opening it must fail rather than fall back to a serial port nobody asked for.
    const QString entry = QDir(programFolder).filePath(QStringLiteral("COM%1").arg(n));
    const QFileInfo info(entry);
    if (info.exists() || info.isSymLink())
        return entry;
    return QStringLiteral("/dev/ttyS%1").arg(n - 1);
#endif
}

bool commSettingsParse(const QString &settings, CommSettings *result) {
    const QStringList parts = settings.split(QLatin1Char(','));
    if (parts.size() != 4)
        return false;
    CommSettings s;
    bool ok = false;
    s.baud = parts[0].trimmed().toInt(&ok);
    if (!ok || s.baud <= 0)
        return false;
    const QString parity = parts[1].trimmed().toUpper();
    if (parity.size() != 1 || !QStringLiteral("NEOMS").contains(parity))
        return false;
    s.parity = parity[0].toLatin1();
    s.dataBits = parts[2].trimmed().toInt(&ok);
    if (!ok || s.dataBits < 5 || s.dataBits > 8)
        return false;
    s.stopBits = parts[3].trimmed().toInt(&ok);
    if (!ok || (s.stopBits != 1 && s.stopBits != 2))
        return false;
    if (result)
        *result = s;
    return true;
}

static int serialErrorNumber(QSerialPort::SerialPortError error, const QString &device) {
    switch (error) {
    case QSerialPort::NoError:
        return commErrNone;
    case QSerialPort::DeviceNotFoundError:
        return commErrPortNotFound;
    case QSerialPort::PermissionError: {
#ifdef Q_OS_WIN
        // Windows denies access to a COM port that another program holds open.
        Q_UNUSED(device);
        return commErrInUse;
#else
        // Qt reports a busy or locked device as a permission error; a device we may read and
        // write is held by someone else.
        const QFileInfo info(device);
        return info.isReadable() && info.isWritable() ? commErrInUse : commErrPermission;
#endif
    }
    case QSerialPort::OpenError:
        return commErrAlreadyOpen;
    case QSerialPort::WriteError:
        return commErrWrite;
    case QSerialPort::ReadError:
        return commErrRead;
    case QSerialPort::ResourceError:
        return commErrResource;
    case QSerialPort::UnsupportedOperationError:
        return commErrUnsupported;
    case QSerialPort::TimeoutError:
        return commErrTimeout;
    case QSerialPort::NotOpenError:
        return commErrNotOpen;
    case QSerialPort::UnknownError:
        break;
    }
    return commErrUnknown;
}

static CommError makeError(int number) {
    return CommError{number, commErrorText(number)};
}

CommError OcxComm::portError(int number) const {
    // The operator sees the port as chosen in the list and what it was tried as, so a missing
    // adapter or a wrong choice shows at once: "COM3 (/dev/ttyS2) not found".
    QString what;
    switch (number) {
    case commErrPortNotFound:
        what = QStringLiteral("not found");
        break;
    case commErrPermission:
        what = QStringLiteral("may not be opened (permission denied)");
        break;
    case commErrInUse:
        what = QStringLiteral("is in use by another program");
        break;
    case commErrAlreadyOpen:
        what = QStringLiteral("is already open");
        break;
    case commErrUnsupported:
        what = QStringLiteral("does not accept the line settings");
        break;
    case commErrResource:
        what = QStringLiteral("is no longer available");
        break;
    default:
        return makeError(number);
    }
    const QString device = QDir::toNativeSeparators(deviceName());
    const QString port = QStringLiteral("COM%1").arg(m_commPort);
    const QString name = device == port ? port : QStringLiteral("%1 (%2)").arg(port, messageQuote(device));
    return CommError{number, name + QLatin1Char(' ') + what};
}

OcxComm::OcxComm(const QString &programFolder, QObject *parent)
    : QObject(parent), m_programFolder(programFolder), m_port(new QSerialPort(this)),
      m_holdTimer(new QTimer(this)) {
    m_clock.start();
    m_holdTimer->setSingleShot(true);
    connect(m_holdTimer, &QTimer::timeout, this, &OcxComm::releaseInput);
    connect(m_port, &QSerialPort::readyRead, this, [this] {
        if (m_holding || m_port->bytesAvailable() <= 0)
            return;
        m_commEvent = comEvReceive;
        emit OnComm();
    });
    connect(m_port, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError error) { handleError(error); });
}

OcxComm::~OcxComm() = default;

CommError OcxComm::setCommPort(int n) {
    if (m_port->isOpen())
        return makeError(commErrPortOpen);
    if (n < 1 || n > 16)
        return makeError(commErrInvalidPort);
    m_commPort = n;
    return {};
}

CommError OcxComm::setSettings(const QString &settings) {
    if (!commSettingsParse(settings, nullptr))
        return makeError(commErrInvalidSettings);
    m_settings = settings;
    return m_port->isOpen() ? applySettings() : CommError{};
}

CommError OcxComm::applySettings() {
    CommSettings s;
    commSettingsParse(m_settings, &s);
    QSerialPort::Parity parity = QSerialPort::NoParity;
    switch (s.parity) {
    case 'E':
        parity = QSerialPort::EvenParity;
        break;
    case 'O':
        parity = QSerialPort::OddParity;
        break;
    case 'M':
        parity = QSerialPort::MarkParity;
        break;
    case 'S':
        parity = QSerialPort::SpaceParity;
        break;
    default:
        break;
    }
    const bool ok = m_port->setBaudRate(s.baud) && m_port->setParity(parity) &&
                    m_port->setDataBits(static_cast<QSerialPort::DataBits>(s.dataBits)) &&
                    m_port->setStopBits(s.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop) &&
                    m_port->setFlowControl(QSerialPort::NoFlowControl);
    if (ok)
        return {};
    const CommError error = portError(serialErrorNumber(m_port->error(), m_port->portName()));
    m_port->clearError();
    return error.number ? error : portError(commErrUnsupported);
}

bool OcxComm::PortOpen() const {
    return m_port->isOpen();
}

CommError OcxComm::setPortOpen(bool open) {
    if (!open) {
        endHold();
        if (m_port->isOpen())
            m_port->close();
        m_commEvent = 0;
        return {};
    }
    if (m_port->isOpen())
        return portError(commErrAlreadyOpen);
    const QString device = deviceName();
#ifdef Q_OS_WIN
    // Windows' own "COMn"; QSerialPort opens it as \\.\COMn, the form ports above 9 need.
    m_port->setPortName(device);
#else
    // Open the device a "COMn" link leads to, so the port's lock file names the real device: two
    // programs reaching one adapter through different links then see each other, and links of the
    // same name in different folders do not.
    const QString target = QFileInfo(device).canonicalFilePath();
    m_port->setPortName(target.isEmpty() ? device : target);
#endif
    m_port->clearError();
    ++m_opening;
    m_losing = false;
    if (!m_port->open(QIODevice::ReadWrite)) {
        const CommError error = portError(serialErrorNumber(m_port->error(), device));
        m_port->clearError();
        return error;
    }
    const CommError error = applySettings();
    if (error) {
        m_port->close();
        return error;
    }
    // Bytes the device sent before we listened belong to nobody's exchange.
    m_port->clear();
    m_lineFreeNs = 0;
    return {};
}

void OcxComm::Output(const QByteArray &bytes) {
    if (!m_port->isOpen())
        return;
    m_port->write(bytes);
    // Send at once rather than on the next pass of the event loop: the device is waiting.
    m_port->flush();
    // Ten bits a byte (start, 8 data, stop), after whatever is still on the line, and one byte's
    // time more: the UART starts a little after the write returns.
    CommSettings s;
    commSettingsParse(m_settings, &s);
    const qint64 byteNs = 10 * 1'000'000'000LL / s.baud;
    const qint64 now = m_clock.nsecsElapsed();
    m_lineFreeNs = (m_lineFreeNs > now ? m_lineFreeNs : now + byteNs) + bytes.size() * byteNs;
}

int OcxComm::OutBufferCount() const {
    if (!m_port->isOpen())
        return 0;
    qint64 queued = m_port->bytesToWrite();
#ifdef Q_OS_WIN
    COMSTAT status{};
    DWORD errors = 0;
    if (ClearCommError(m_port->handle(), &errors, &status))
        queued += status.cbOutQue;
#else
    int driver = 0;
    if (::ioctl(m_port->handle(), TIOCOUTQ, &driver) == 0)
        queued += driver;
#endif
    CommSettings s;
    commSettingsParse(m_settings, &s);
    const qint64 byteNs = 10 * 1'000'000'000LL / s.baud;
    const qint64 onLine = (m_lineFreeNs - m_clock.nsecsElapsed() + byteNs - 1) / byteNs;
    return int(qMax(queued, onLine));
}

QByteArray OcxComm::Input() {
    return m_port->isOpen() ? m_port->readAll() : QByteArray();
}

void OcxComm::holdInput(int ms) {
    if (m_holding || !m_port->isOpen())
        return;
    m_holding = true;
    // A full read buffer makes the port stop reading, and so stop waking the program, until the
    // buffer is read or its limit lifted.
    m_port->setReadBufferSize(1);
    m_holdTimer->start(ms);
}

void OcxComm::releaseInput() {
    if (!m_holding)
        return;
    endHold();
    // Take what waits in the port now, rather than on the next pass of the event loop; reading
    // raises readyRead and so the notification.
    if (!m_port->waitForReadyRead(0)) {
        // Nothing new in the port is no fault of it.
        if (m_port->error() == QSerialPort::TimeoutError)
            m_port->clearError();
        if (m_port->bytesAvailable() > 0) {
            m_commEvent = comEvReceive;
            emit OnComm();
        }
    }
}

void OcxComm::endHold() {
    if (!m_holding)
        return;
    m_holding = false;
    m_holdTimer->stop();
    m_port->setReadBufferSize(0);
}

QString OcxComm::deviceName() const {
    return commPortDeviceName(m_commPort, m_programFolder);
}

void OcxComm::handleError(int error) {
    // Qt keeps the port open after it vanished and raises the same error again on every pass of
    // the event loop; close it on the first one. Not from inside the notifier that raised it.
    if (m_losing || !m_port->isOpen())
        return;
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError &&
        error != QSerialPort::WriteError)
        return;
    m_losing = true;
    const QString reason =
        commErrorText(serialErrorNumber(static_cast<QSerialPort::SerialPortError>(error), deviceName()));
    const int opening = m_opening;
    QMetaObject::invokeMethod(
        this, [this, opening, reason] { closeLostPort(opening, reason); }, Qt::QueuedConnection);
}

void OcxComm::closeLostPort(int opening, const QString &reason) {
    if (opening != m_opening || !m_port->isOpen())
        return;
    m_losing = false;
    endHold();
    m_port->close();
    m_port->clearError();
    m_commEvent = 0;
    emit portLost(reason);
}
