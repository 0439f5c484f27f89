#include "ui/LinkLock.h"

#include "core/PathIdentity.h"
#include "system/LogText.h"

#include <QDir>
#include <QUrl>

namespace freqrelay {

QString LinkLock::identityOf(const Settings& settings) {
    return QString::fromStdString(settings.rigctld ? "rigctld-" + settings.rigctld->text()
                                                   : "port-" + deviceIdentity(settings.port));
}

LinkLock::LinkLock(const Settings& settings) : identity_(identityOf(settings)), link_(readable(settings.linkName())) {
    const QString name =
        QStringLiteral("freqrelay-%1.lock").arg(QString::fromLatin1(QUrl::toPercentEncoding(identity_)));
    file_ = std::make_unique<QLockFile>(QDir(QDir::tempPath()).filePath(name));
    // Held for weeks: only a holder that is gone makes the lock stale, never
    // its age (a live holder's own lock on the file guards it too, where
    // the file system has such locks).
    file_->setStaleLockTime(0);
}

QString LinkLock::take(QString& warning) {
    if (file_->tryLock()) {
        return {};
    }
    if (file_->error() != QLockFile::LockFailedError) {
        warning = QStringLiteral("cannot make the lock %1: a second relay to %2 would not be stopped")
                      .arg(QDir::toNativeSeparators(file_->fileName()), link_);
        return {};
    }
    qint64 holder = 0;
    file_->getLockInfo(&holder, nullptr, nullptr);
    return QStringLiteral("another relay (process %1) already relays to %2").arg(QString::number(holder), link_);
}

}  // namespace freqrelay
