#include "simdevice.h"

#include <vector>

#include <QScopeGuard>

#include <QDir>

#include <QDateTime>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimeZone>
#include <QTimer>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr qint64 splitGapNs = 50'000'000;
constexpr int clockLen = 10;
constexpr int textBlockLen = 256;
constexpr int textLen = 2 * textBlockLen;
const QList<quint32> defaultCounters = {1523, 312, 14650, 3};

// Reply length to the command byte (0: unknown command) and payload length (0: none).
struct CommandShape {
    int replyLen = 0;
    int payloadLen = 0;
};

CommandShape commandShape(quint8 code) {
    switch (code) {
    case 0xA0:
        return {4, 0};
    case 0xA1:
        return {4, clockLen};
    case 0xA2:
        return {4, 81};
    case 0xA3:
    case 0xA4:
    case 0xA5:
    case 0xA6:
        return {4, textBlockLen};
    case 0xA9:
        return {4, 22};
    case 0xAA:
        return {4, 16};
    case 0xAB:
        return {12, 0};
    case 0xAC:
        return {6, 0};
    case 0xAD:
        return {8, 0};
    case 0xAE:
        return {4, 3};
    default:
        return {};
    }
}

int baudFromSpeed(speed_t speed) {
    switch (speed) {
    case B300:
        return 300;
    case B600:
        return 600;
    case B1200:
        return 1200;
    case B2400:
        return 2400;
    case B4800:
        return 4800;
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    case B230400:
        return 230400;
    default:
        return 0;
    }
}

char toBcd(int value) {
    return char((value / 10) << 4 | (value % 10));
}

int fromBcd(char byte) {
    const int high = quint8(byte) >> 4;
    const int low = quint8(byte) & 0x0F;
    return high > 9 || low > 9 ? -1 : high * 10 + low;
}

QByteArray hex2(char byte) {
    return QByteArray(1, byte).toHex().toUpper();
}

void putLe32(QByteArray &memory, int addr, quint32 value) {
    for (int i = 0; i < 4; ++i)
        memory[addr + i] = char(value >> (8 * i));
}

quint32 le32(const QByteArray &memory, int addr) {
    quint32 value = 0;
    for (int i = 0; i < 4; ++i)
        value |= quint32(quint8(memory.at(addr + i))) << (8 * i);
    return value;
}

QByteArray storedText(const QByteArray &memory, int addr) {
    const QByteArray text = memory.mid(addr, textLen);
    const int end = text.indexOf('\0');
    return end < 0 ? text : text.left(end);
}

// Lines of a stored text for the printer: CR, LF or CR LF end a line, anything not printable
// ASCII becomes '?', so the ticket never carries control bytes.
QList<QByteArray> printableLines(const QByteArray &text) {
    QList<QByteArray> lines;
    QByteArray line;
    for (int i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '\r' || c == '\n') {
            lines.append(line);
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text.at(i + 1) == '\n')
                ++i;
        } else {
            line.append(c >= 32 && c < 127 ? c : '?');
        }
    }
    if (!line.isEmpty())
        lines.append(line);
    return lines;
}

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

QString simFrameLine(const SimFrame &frame) {
    return QStringLiteral(
               "frame received_us=%1 since_reply_us=%2 payload_since_reply_us=%3 command=%4 payload=%5")
        .arg(frame.receivedUs)
        .arg(frame.sinceReplyUs)
        .arg(frame.payloadSinceReplyUs)
        .arg(QString::fromLatin1(hex2(char(frame.command))))
        .arg(QString::fromLatin1(frame.payload.toHex(' ').toUpper()));
}

struct SimDevice::Private {
    struct OutByte {
        char byte;
        qint64 dueNs;
        int replyId; // non-zero on the last byte of a reply
    };
    struct InByte {
        char byte;
        qint64 arrivalNs;
        qint64 readNs;
    };

    SimController controller = SimController::PIC18F4520;
    quint16 version = 310;
    QByteArray dip = QByteArray::fromHex("0F00A5FF");
    quint16 serial = 1234;
    quint8 status = 0x12;
    int baud = 0;
    QList<SimFault> faults;

    int master = -1;
    int slave = -1; // held open so the master never sees a hang-up while the programmer's port is closed
    QString link;
    QString slavePath;
    QString publishedTarget; // what the link was last pointed at by this device; empty once removed
    QSocketNotifier *readNotifier = nullptr;
    QSocketNotifier *writeNotifier = nullptr;
    QTimer rxTimer;
    QTimer txTimer;
    QTimer payloadTimer;

    QElapsedTimer elapsed;
    qint64 monotonicBaseNs = 0; // the monotonic clock when `elapsed` started

    QList<InByte> rx; // read, waiting for their arrival time
    qint64 lastArrivalNs = 0;
    QList<OutByte> tx; // waiting for their due time
    qint64 lastDueNs = std::numeric_limits<qint64>::min() / 2;
    int nextReplyId = 1;
    int lastReplyEndId = 0;
    qint64 lastReplyEndNs = -1;

    bool awaitingPayload = false;
    SimFrame frame;
    int payloadLen = 0;
    int firstReplyId = 0;

    QDateTime clockBase; // the device clock at clockBaseNs; invalid when the clock is stopped
    qint64 clockBaseNs = 0;
    int clockWeekday = 1;

    qint64 now() const { return elapsed.nsecsElapsed(); }
};

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

// Whether a serial-port lock file (as QSerialPort and other serial programs write them) exists for
// the device, in any of the usual lock folders.
static bool serialLockHeld(const QString &device) {
    QString name = device;
    name.remove(0, name.startsWith(QLatin1String("/dev/")) ? 5 : 0);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    const QStringList folders = {QStringLiteral("/var/lock"), QStringLiteral("/etc/locks"),
                                 QStringLiteral("/var/spool/locks"), QStringLiteral("/var/spool/uucp"),
                                 QDir::tempPath()};
    for (const QString &folder : folders)
        if (QFileInfo::exists(folder + QStringLiteral("/LCK..") + name))
            return true;
    return false;
}

// Points the published link at target through a temporary link renamed over the old one, so the
// published name never goes missing.
bool SimDevice::publishLink(const QString &target) {
    const QString temp = QStringLiteral("%1.%2.tmp").arg(d->link).arg(::getpid());
    QFile::remove(temp);
    if (::symlink(QFile::encodeName(target).constData(), QFile::encodeName(temp).constData()) != 0)
        return false;
    if (::rename(QFile::encodeName(temp).constData(), QFile::encodeName(d->link).constData()) != 0) {
        const int saved = errno;
        QFile::remove(temp);
        errno = saved;
        return false;
    }
    d->publishedTarget = target;
    return true;
}

bool SimDevice::start(const QString &linkPath, QString *error) {
    const auto fail = [this, error](const QString &what) {
        if (error)
            *error = what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        closePty();
        return false;
    };
    // Never replace a port entry this device did not publish itself (a link to a real adapter,
    // say): stop() would then delete it.
    char current[4096];
    const ssize_t currentLength =
        ::readlink(QFile::encodeName(linkPath).constData(), current, sizeof current);
    const bool ours = linkPath == d->link && !d->publishedTarget.isEmpty() && currentLength > 0 &&
                      QFile::decodeName(QByteArray(current, int(currentLength))) == d->publishedTarget;
    const QFileInfo entry(linkPath);
    if ((entry.exists() || entry.isSymLink()) && !ours) {
        if (error)
            *error = QStringLiteral("%1 already exists and is not a link this simulated device made; "
                                    "remove it or publish another name")
                         .arg(linkPath);
        return false;
    }
    closePty();
    d->link = linkPath;

    // A pseudo-terminal number that was just freed may still carry a serial-port lock file of a
    // program that has not yet noticed its own line hang up; that program would make the port look
    // in use. Skip such numbers (holding them open meanwhile, so they are not handed out again).
    std::vector<int> skipped;
    const auto releaseSkipped = qScopeGuard([&skipped] {
        for (const int fd : skipped)
            ::close(fd);
    });
    char name[128];
    for (;;) {
        d->master = posix_openpt(O_RDWR | O_NOCTTY);
        if (d->master < 0)
            return fail(QStringLiteral("posix_openpt"));
        ::fcntl(d->master, F_SETFL, ::fcntl(d->master, F_GETFL) | O_NONBLOCK);
        ::fcntl(d->master, F_SETFD, FD_CLOEXEC);
        if (grantpt(d->master) != 0 || unlockpt(d->master) != 0)
            return fail(QStringLiteral("grantpt/unlockpt"));
        if (ptsname_r(d->master, name, sizeof name) != 0)
            return fail(QStringLiteral("ptsname"));
        if (skipped.size() >= 16 || !serialLockHeld(QString::fromLocal8Bit(name)))
            break;
        skipped.push_back(d->master);
        d->master = -1;
    }
    d->slavePath = QString::fromLocal8Bit(name);
    d->slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (d->slave < 0)
        return fail(QStringLiteral("open ") + d->slavePath);
    termios tio{};
    if (::tcgetattr(d->slave, &tio) != 0)
        return fail(QStringLiteral("tcgetattr"));
    cfmakeraw(&tio);
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    if (::tcsetattr(d->slave, TCSANOW, &tio) != 0)
        return fail(QStringLiteral("tcsetattr"));

    if (!publishLink(d->slavePath))
        return fail(QStringLiteral("link ") + linkPath);

    d->readNotifier = new QSocketNotifier(d->master, QSocketNotifier::Read, this);
    connect(d->readNotifier, &QSocketNotifier::activated, this, &SimDevice::onReadable);
    d->writeNotifier = new QSocketNotifier(d->master, QSocketNotifier::Write, this);
    d->writeNotifier->setEnabled(false);
    connect(d->writeNotifier, &QSocketNotifier::activated, this, [this] {
        d->writeNotifier->setEnabled(false);
        flushDue();
    });
    return true;
}

void SimDevice::stop() {
    // Remove the link only while it is still the one this device published: another device may
    // have published the same name since, even with the same pseudo-terminal number.
    char target[4096];
    const ssize_t length = ::readlink(QFile::encodeName(d->link).constData(), target, sizeof target);
    const bool ours = !d->publishedTarget.isEmpty() && length > 0 &&
                      QFile::decodeName(QByteArray(target, int(length))) == d->publishedTarget;
    closePty();
    if (ours)
        QFile::remove(d->link);
    d->publishedTarget.clear();
}

void SimDevice::closePty() {
    // Deferred deletion: this may run inside one of the notifiers' own handlers.
    for (QSocketNotifier **notifier : {&d->readNotifier, &d->writeNotifier}) {
        if (*notifier) {
            (*notifier)->setEnabled(false);
            (*notifier)->deleteLater();
            *notifier = nullptr;
        }
    }
    if (d->slave >= 0)
        ::close(d->slave);
    if (d->master >= 0)
        ::close(d->master);
    d->slave = d->master = -1;
    d->rx.clear();
    d->tx.clear();
    d->rxTimer.stop();
    d->txTimer.stop();
    d->payloadTimer.stop();
    d->awaitingPayload = false;
}

bool SimDevice::isRunning() const {
    return d->master >= 0;
}
QString SimDevice::linkPath() const {
    return d->link;
}
QString SimDevice::slavePath() const {
    return d->slavePath;
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

void SimDevice::setAuditCounters(const QList<quint32> &counters) {
    for (int i = 0; i < 4; ++i)
        putLe32(m_memory, addrCounters + 4 * i, counters.value(i));
}

void SimDevice::setBaud(int baud) {
    d->baud = qMax(0, baud);
}

int SimDevice::effectiveBaud() const {
    if (d->baud > 0)
        return d->baud;
    termios tio{};
    if (d->slave >= 0 && ::tcgetattr(d->slave, &tio) == 0) {
        if (const int baud = baudFromSpeed(::cfgetospeed(&tio)))
            return baud;
    }
    return 9600;
}

qint64 SimDevice::byteNs() const {
    return 10'000'000'000LL / effectiveBaud();
}

void SimDevice::addFault(const SimFault &fault) {
    d->faults.append(fault);
}
void SimDevice::clearFaults() {
    d->faults.clear();
}

void SimDevice::sendRaw(const QByteArray &bytes) {
    enqueue(bytes, 0, 0, 0);
}

QByteArray SimDevice::memory() const {
    QByteArray image = m_memory;
    image.replace(addrClock, clockLen, clockBytes());
    return image;
}

QString SimDevice::locationText() const {
    return QString::fromLatin1(storedText(m_memory, addrLocation));
}
QString SimDevice::disclaimerText() const {
    return QString::fromLatin1(storedText(m_memory, addrDisclaimer));
}

QByteArray SimDevice::auditTicket() const {
    const QByteArray clock = clockBytes();
    QList<QByteArray> lines;
    lines << "AUDIT TICKET";
    lines << hex2(clock.at(8)) + '/' + hex2(clock.at(7)) + '/' + hex2(clock.at(9)) + ' ' + hex2(clock.at(4)) +
                 ':' + hex2(clock.at(2)) + ':' + hex2(clock.at(0));
    lines << "SERIAL # " + QByteArray::number(d->serial) + "   VERSION " +
                 QByteArray::number(d->version / 100) + '.' +
                 QByteArray::number(d->version % 100).rightJustified(2, '0');
    lines << QByteArray();
    const QList<QByteArray> location = printableLines(storedText(m_memory, addrLocation));
    if (!location.isEmpty())
        lines << location << QByteArray();
    const auto counter = [this](int i) { return le32(m_memory, addrCounters + 4 * i); };
    lines << "GAMES PLAYED    " + QByteArray::number(counter(0)).rightJustified(10);
    lines << "TICKETS PRINTED " + QByteArray::number(counter(1)).rightJustified(10);
    lines << "DOLLARS PAID    " + ('$' + QByteArray::number(counter(2) / 100) + '.' +
                                   QByteArray::number(counter(2) % 100).rightJustified(2, '0'))
                                      .rightJustified(10);
    lines << "BONUSES WON     " + QByteArray::number(counter(3)).rightJustified(10);
    const QList<QByteArray> disclaimer = printableLines(storedText(m_memory, addrDisclaimer));
    if (!disclaimer.isEmpty())
        lines << QByteArray() << disclaimer;
    return lines.join("\r\n") + "\r\n";
}

QByteArray SimDevice::clockBytes() const {
    QByteArray bytes = m_memory.mid(addrClock, clockLen);
    if (!d->clockBase.isValid())
        return bytes; // not valid BCD when programmed: kept as it came, not running
    const QDateTime t = d->clockBase.addMSecs((d->now() - d->clockBaseNs) / 1'000'000);
    const qint64 days = d->clockBase.date().daysTo(t.date());
    bytes[0] = toBcd(t.time().second());
    bytes[2] = toBcd(t.time().minute());
    bytes[4] = toBcd(t.time().hour());
    bytes[6] = char((d->clockWeekday - 1 + days) % 7 + 1);
    bytes[7] = toBcd(t.date().day());
    bytes[8] = toBcd(t.date().month());
    bytes[9] = toBcd(t.date().year() % 100);
    return bytes;
}

void SimDevice::setClock(const QByteArray &payload) {
    m_memory.replace(addrClock, clockLen, payload);
    const int second = fromBcd(payload.at(0));
    const int minute = fromBcd(payload.at(2));
    const int hour = fromBcd(payload.at(4));
    const int weekday = quint8(payload.at(6));
    const int day = fromBcd(payload.at(7));
    const int month = fromBcd(payload.at(8));
    const int year = fromBcd(payload.at(9));
    const QDate date(2000 + year, month, day);
    const QTime time(hour, minute, second);
    const bool valid = year >= 0 && month >= 0 && day >= 0 && date.isValid() && hour >= 0 && minute >= 0 &&
                       second >= 0 && time.isValid() && weekday >= 1 && weekday <= 7;
    d->clockBase = valid ? QDateTime(date, time, QTimeZone::utc()) : QDateTime();
    d->clockBaseNs = d->now();
    d->clockWeekday = weekday;
}

// What the device does with a complete payload.
void SimDevice::store(quint8 command, const QByteArray &payload) {
    switch (command) {
    case 0xA1:
        setClock(payload);
        break;
    case 0xA2:
        m_memory.replace(addrOptions, payload.size(), payload);
        break;
    case 0xA3:
    case 0xA5: {
        // A first block starts a new text: the second block is cleared, so a text that fits
        // one block never runs on into what an older, longer text left behind.
        const int addr = command == 0xA3 ? addrDisclaimer : addrLocation;
        m_memory.replace(addr, textBlockLen, payload);
        m_memory.replace(addr + textBlockLen, textBlockLen, QByteArray(textBlockLen, '\0'));
        break;
    }
    case 0xA4:
        m_memory.replace(addrDisclaimer + textBlockLen, textBlockLen, payload);
        break;
    case 0xA6:
        m_memory.replace(addrLocation + textBlockLen, textBlockLen, payload);
        break;
    case 0xA9:
        m_memory.replace(addrPrinter, payload.size(), payload);
        break;
    case 0xAA:
        m_memory.replace(addrBonus, payload.size(), payload);
        break;
    default:
        break;
    }
}

QByteArray SimDevice::commandReply(quint8 command) const {
    QByteArray reply(commandShape(command).replyLen, '\0');
    reply[0] = char(command);
    switch (command) {
    case 0xAB:
        reply.replace(4, 4, QByteArray::fromHex("0055AAFF"));
        reply[8] = char(d->status);
        reply[9] = m_memory.at(addrOptions);
        reply[10] = char(d->serial & 0xFF);
        reply[11] = char(d->serial >> 8);
        break;
    case 0xAC:
        reply[4] = char(d->version & 0xFF);
        reply[5] = char(d->version >> 8);
        break;
    case 0xAD:
        reply.replace(4, 4, d->dip);
        break;
    default:
        break;
    }
    return reply;
}

QByteArray SimDevice::payloadReply(quint8 command, const QByteArray &payload) const {
    QByteArray reply;
    if (command == 0xAE) {
        const QByteArray image = memory();
        const int addr = quint8(payload.at(0)) | quint8(payload.at(1)) << 8;
        for (int i = 0; i < quint8(payload.at(2)); ++i)
            reply.append(image.at((addr + i) & (memorySize - 1)));
    }
    QByteArray trailer(4, '\0');
    trailer[0] = char(command);
    return reply + trailer;
}

void SimDevice::onReadable() {
    char buffer[4096];
    const qint64 readNs = d->now();
    const qint64 byteTime = byteNs();
    for (;;) {
        const ssize_t n = ::read(d->master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (ssize_t i = 0; i < n; ++i) {
            d->lastArrivalNs = qMax(readNs, d->lastArrivalNs) + byteTime;
            d->rx.append({buffer[i], d->lastArrivalNs, readNs});
        }
    }
    processArrived();
}

void SimDevice::processArrived() {
    while (isRunning() && !d->rx.isEmpty() && d->rx.first().arrivalNs <= d->now()) {
        const Private::InByte in = d->rx.takeFirst();
        receive(in.byte, in.arrivalNs, in.readNs);
    }
    if (isRunning() && !d->rx.isEmpty())
        d->rxTimer.start(int((d->rx.first().arrivalNs - d->now() + 999'999) / 1'000'000));
}

void SimDevice::receive(char byte, qint64 arrivalNs, qint64 readNs) {
    if (d->awaitingPayload) {
        if (d->frame.payload.isEmpty() && d->firstReplyId && d->lastReplyEndId == d->firstReplyId)
            d->frame.payloadSinceReplyUs = (readNs - d->lastReplyEndNs) / 1000;
        d->frame.payload.append(byte);
        if (d->frame.payload.size() < d->payloadLen) {
            d->payloadTimer.start(payloadTimeoutMs);
            return;
        }
        d->awaitingPayload = false;
        d->payloadTimer.stop();
        const SimFrame frame = d->frame;
        store(frame.command, frame.payload);
        const bool hungUp = respond(frame.command, 1, payloadReply(frame.command, frame.payload)) < 0;
        record(frame, hungUp);
        return;
    }

    SimFrame frame;
    frame.command = quint8(byte);
    frame.receivedUs = (d->monotonicBaseNs + arrivalNs) / 1000;
    if (d->lastReplyEndNs >= 0)
        frame.sinceReplyUs = (readNs - d->lastReplyEndNs) / 1000;
    const CommandShape shape = commandShape(frame.command);
    if (shape.replyLen == 0) {
        record(frame, false); // unknown command: ignored
        return;
    }
    const int result = respond(frame.command, 0, commandReply(frame.command));
    if (shape.payloadLen > 0 && result > 0) {
        d->frame = frame;
        d->payloadLen = shape.payloadLen;
        d->firstReplyId = result - 1;
        d->awaitingPayload = true;
        const qint64 replyLeftMs = qMax<qint64>(0, (d->lastDueNs - d->now()) / 1'000'000);
        d->payloadTimer.start(int(payloadTimeoutMs + replyLeftMs));
        return;
    }
    record(frame, result < 0);
}

void SimDevice::onPayloadTimeout() {
    if (!d->awaitingPayload)
        return;
    if (!d->rx.isEmpty()) { // bytes still on their way in
        d->payloadTimer.start(payloadTimeoutMs);
        return;
    }
    d->awaitingPayload = false;
    record(d->frame, false); // abandoned, with what payload came
}

void SimDevice::record(const SimFrame &frame, bool hungUpNow) {
    m_frames.append(frame);
    emit frameReceived(frame);
    if (hungUpNow)
        emit hungUp();
}

// Sends the reply of one phase with whatever faults apply. Returns -1 when the device hung up,
// 0 when the programmer must reject the reply (the exchange is dropped), else 1 + the reply's id
// (1 alone when nothing went out).
int SimDevice::respond(quint8 command, int phase, QByteArray reply) {
    const bool answers = d->controller == SimController::PIC18F4520;
    if (!answers)
        reply.clear();
    const int fullLen = reply.size();
    bool hangUp = false;
    bool silent = false;
    bool rejected = false;
    qint64 delayNs = 0;
    int piece = 0;
    QByteArray stray;
    for (int i = 0; i < d->faults.size();) {
        SimFault &fault = d->faults[i];
        if ((fault.command != -1 && fault.command != command) || fault.phase != phase) {
            ++i;
            continue;
        }
        switch (fault.kind) {
        case SimFault::HangUp:
            hangUp = true;
            break;
        case SimFault::Silence:
            silent = rejected = true;
            break;
        case SimFault::WrongEcho: {
            const int checked = phase == 0 ? 0 : reply.size() - 4;
            if (checked >= 0 && checked < reply.size()) {
                reply[checked] = char(reply.at(checked) + 1);
                rejected = true;
            }
            break;
        }
        case SimFault::ShortReply:
            if (fault.count < reply.size()) {
                reply.truncate(fault.count);
                rejected = true;
            }
            break;
        case SimFault::Delay:
            delayNs += qint64(fault.count) * 1'000'000;
            break;
        case SimFault::Split:
            piece = fault.count;
            break;
        case SimFault::StrayBytes:
            stray += QByteArray(fault.count, '\x55');
            rejected = rejected || fault.count > 0;
            break;
        }
        if (fault.times > 0 && --fault.times == 0)
            d->faults.removeAt(i);
        else
            ++i;
    }
    if (hangUp) {
        // A pulled adapter takes its device node along. Leaving the link on the dead slave would let
        // it lead to whichever pseudo-terminal gets that number next, perhaps another program's.
        const QString slave = d->slavePath;
        closePty();
        if (QFileInfo(d->link).symLinkTarget() == slave)
            publishLink(d->link + QStringLiteral(".hung-up"));
        return -1; // the caller reports the hang-up once the frame is recorded
    }
    if (silent)
        return 0;
    int replyId = 0;
    if (!(stray + reply).isEmpty())
        replyId = enqueue(stray + reply, delayNs, piece, true);
    // The ticket follows its reply as free text; the PIC16F877 prints it without a reply.
    if (command == 0xA0 && phase == 0)
        enqueue(auditTicket(), reply.isEmpty() ? delayNs : 0, 0, false);
    if (rejected && answers && fullLen > 0)
        return 0;
    return 1 + replyId;
}

int SimDevice::enqueue(const QByteArray &bytes, qint64 delayNs, int piece, bool isReply) {
    if (!isRunning() || bytes.isEmpty())
        return 0;
    const qint64 byteTime = byteNs();
    const int replyId = isReply ? d->nextReplyId++ : 0;
    // A byte reaches the other end when its stop bit has gone out, one byte time after it starts.
    qint64 due = qMax(d->now() + delayNs, d->lastDueNs) + byteTime;
    for (int i = 0; i < bytes.size(); ++i) {
        if (piece > 0 && i > 0 && i % piece == 0)
            due += splitGapNs;
        d->tx.append({bytes.at(i), due, i == bytes.size() - 1 ? replyId : 0});
        d->lastDueNs = due;
        due += byteTime;
    }
    flushDue();
    return replyId;
}

void SimDevice::flushDue() {
    if (!isRunning() || d->writeNotifier->isEnabled())
        return;
    const qint64 now = d->now();
    QByteArray due;
    while (due.size() < d->tx.size() && d->tx.at(due.size()).dueNs <= now)
        due.append(d->tx.at(due.size()).byte);
    qint64 written = 0;
    if (!due.isEmpty()) {
        written = ::write(d->master, due.constData(), size_t(due.size()));
        if (written < 0)
            written = 0;
        const qint64 writeNs = d->now();
        for (qint64 i = 0; i < written; ++i) {
            if (const int id = d->tx.takeFirst().replyId) {
                d->lastReplyEndId = id;
                d->lastReplyEndNs = writeNs;
            }
        }
    }
    if (written < due.size()) {
        // Nobody is reading the line and its buffer is full: go on once it drains.
        d->writeNotifier->setEnabled(true);
        return;
    }
    if (!d->tx.isEmpty())
        d->txTimer.start(int((d->tx.first().dueNs - now + 999'999) / 1'000'000));
}
