// Crash recovery: while a curve window holds unsaved curves, every window is written into a recovery session
// in the program's data folder at an interval; a normal end removes it. A recovery session found at the next
// start is what an abnormal end left behind, and the user is offered to restore it.
//
// The windows are taken on the event loop (a copy of their curves); the session's text is made and written on
// a thread of its own, so that a large curve never holds up a redraw. One program at a time keeps the
// recovery session: a second one started meanwhile keeps none.
#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <thread>

class Tcurvewindow;

class TRecovery : public QObject {
public:
    // The interval of the writes: 60 seconds, or the seconds (decimals allowed) in the environment variable
    // GRAPHMILL_RECOVERY_INTERVAL.
    static int IntervalMs();

    // main: the main window, whose chain is kept; folder: where the recovery session and its lock go.
    TRecovery(Tcurvewindow& main, const QString& folder, int intervalMs);
    ~TRecovery() override;
    TRecovery(const TRecovery&) = delete;
    TRecovery& operator=(const TRecovery&) = delete;

    QString FileName() const { return file_; }
    // Whether this program keeps the recovery session (no other running program does).
    bool Keeps() const { return keeps_; }

    // After the main window has shown: offers a recovery session left behind to be restored, then starts
    // the writes.
    void Start();
    // One write: the session when a window holds unsaved curves, else no recovery session at all. A write
    // still in progress is left to end; this one is skipped.
    void Tick();
    // The normal end: waits for a write in progress and removes the recovery session.
    void Finish();
    // Waits for a write in progress.
    void WaitForWrite();
    // Writes begun so far.
    int WriteCount() const { return writes_; }

private:
    Tcurvewindow& main_;
    QString file_;
    QLockFile lock_;
    bool keeps_ = false;
    QTimer timer_;
    std::thread writer_;
    std::atomic<bool> writing_{false};
    int writes_ = 0;
};
