#include "app/recovery.h"

#include "app/curvewin.h"
#include "app/sessionstore.h"
#include "plot/UserMessages.h"

#include <QDir>
#include <QFile>

int TRecovery::IntervalMs() {
    bool ok = false;
    const double seconds = qEnvironmentVariable("GRAPHMILL_RECOVERY_INTERVAL").toDouble(&ok);
    // At least a tenth of a second, at most a day.
    if (ok && seconds >= 0.1 && seconds <= 86400) return static_cast<int>(seconds * 1000);
    return 60 * 1000;
}

TRecovery::TRecovery(Tcurvewindow& main, const QString& folder, int intervalMs)
    : main_(main), file_(QDir(folder).filePath(QStringLiteral("recovery.gmsession"))),
      lock_(QDir(folder).filePath(QStringLiteral("recovery.lock"))) {
    QDir().mkpath(folder);
    // The lock of a program that was killed names a process that is gone: it is taken over, whatever its age.
    lock_.setStaleLockTime(0);
    keeps_ = lock_.tryLock(0);
    timer_.setInterval(intervalMs);
    connect(&timer_, &QTimer::timeout, this, &TRecovery::Tick);
}

TRecovery::~TRecovery() {
    WaitForWrite();
}

void TRecovery::Start() {
    if (!keeps_) return;
    if (QFile::exists(file_)) {
        const bool restore = Messages().Confirm(
            &main_, QStringLiteral("Graphmill did not end normally last time. Restore the unsaved curves it "
                                   "kept in %1?")
                        .arg(file_));
        if (!restore || main_.OpenSession(file_)) {
            QFile::remove(file_);
        } else {
            // A recovery session that cannot be read is kept aside, not written over.
            const QString aside = file_ + QStringLiteral(".unread");
            QFile::remove(aside);
            QFile::rename(file_, aside);
        }
    }
    timer_.start();
}

void TRecovery::Tick() {
    if (!keeps_ || writing_) return;
    WaitForWrite();
    if (!SessionHasUnsavedCurves(main_)) {
        QFile::remove(file_);
        return;
    }
    ++writes_;
    writing_ = true;
    writer_ = std::thread([this, session = CaptureSession(main_)] {
        QString error;
        // No backup: the recovery session is only ever the latest state.
        WriteSession(file_, SessionToJson(session), error, false);
        writing_ = false;
    });
}

void TRecovery::WaitForWrite() {
    if (writer_.joinable()) writer_.join();
}

void TRecovery::Finish() {
    timer_.stop();
    WaitForWrite();
    if (keeps_) QFile::remove(file_);
}
