// The simulated device's line: the pseudo-terminal, the published link to its slave, hang-ups.
#include "simdevice_p.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

// Whether a serial-port lock file (as QSerialPort and other serial programs write them) exists for
// the device, in any of the usual lock folders.
bool serialLockHeld(const QString &device) {
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

} // namespace

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
    if (!linkFree(linkPath, error))
        return false;
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
    QByteArray name;
    if (!openMaster(skipped, &name, error) || !openSlave(name, error))
        return false;

    if (!publishLink(d->slavePath))
        return ptyFailed(QStringLiteral("link ") + linkPath, error);

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

// Closes what start() opened and says why it failed (the reason is errno's).
bool SimDevice::ptyFailed(const QString &what, QString *error) {
    if (error)
        *error = what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
    closePty();
    return false;
}

bool SimDevice::linkFree(const QString &linkPath, QString *error) const {
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
    return true;
}

// Opens the master end of a pseudo-terminal whose number carries no lock file; *name is its slave.
bool SimDevice::openMaster(std::vector<int> &skipped, QByteArray *name, QString *error) {
    char slaveName[128];
    for (;;) {
        d->master = posix_openpt(O_RDWR | O_NOCTTY);
        if (d->master < 0)
            return ptyFailed(QStringLiteral("posix_openpt"), error);
        ::fcntl(d->master, F_SETFL, ::fcntl(d->master, F_GETFL) | O_NONBLOCK);
        ::fcntl(d->master, F_SETFD, FD_CLOEXEC);
        if (grantpt(d->master) != 0 || unlockpt(d->master) != 0)
            return ptyFailed(QStringLiteral("grantpt/unlockpt"), error);
        if (ptsname_r(d->master, slaveName, sizeof slaveName) != 0)
            return ptyFailed(QStringLiteral("ptsname"), error);
        if (skipped.size() >= 16 || !serialLockHeld(QString::fromLocal8Bit(slaveName)))
            break;
        skipped.push_back(d->master);
        d->master = -1;
    }
    *name = QByteArray(slaveName);
    return true;
}

// Holds the slave end open, raw at 9600 baud until the programmer sets its own speed.
bool SimDevice::openSlave(const QByteArray &name, QString *error) {
    d->slavePath = QString::fromLocal8Bit(name);
    d->slave = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (d->slave < 0)
        return ptyFailed(QStringLiteral("open ") + d->slavePath, error);
    termios tio{};
    if (::tcgetattr(d->slave, &tio) != 0)
        return ptyFailed(QStringLiteral("tcgetattr"), error);
    cfmakeraw(&tio);
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    if (::tcsetattr(d->slave, TCSANOW, &tio) != 0)
        return ptyFailed(QStringLiteral("tcsetattr"), error);
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

// A pulled adapter takes its device node along. Leaving the link on the dead slave would let it
// lead to whichever pseudo-terminal gets that number next, perhaps another program's.
void SimDevice::hangUpLine() {
    const QString slave = d->slavePath;
    closePty();
    if (QFileInfo(d->link).symLinkTarget() == slave)
        publishLink(d->link + QStringLiteral(".hung-up"));
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
